#include "platform/resource.h"

#include "platform/errors.h"
#include "platform/tstrings.h"
#include "platform/win_errors.h"

namespace {

constexpr const char* kGetPtr = "Resource::getPtr";

std::string idText(LPCSTR id) {
    if (IS_INTRESOURCE(id)) return "#" + tstrings::toString(static_cast<uint32_t>(reinterpret_cast<uintptr_t>(id)));
    return std::string(id);
}

uintptr_t idNumber(LPCSTR id) { return IS_INTRESOURCE(id) ? reinterpret_cast<uintptr_t>(id) : 0; }

}  // namespace

Resource::Resource(LPCSTR resourceName, LPCSTR resourceType, HMODULE resourceModule)
    : nameText(idText(resourceName)),
      name(idNumber(resourceName)),
      typeText(idText(resourceType)),
      type(idNumber(resourceType)),
      module(resourceModule) {}

// Named resources point into our own copy of the text, so a copied Resource stays valid.
LPCSTR Resource::nameArg() const { return name ? MAKEINTRESOURCEA(name) : nameText.c_str(); }
LPCSTR Resource::typeArg() const { return type ? MAKEINTRESOURCEA(type) : typeText.c_str(); }

const void* Resource::getPtr(size_t* size) const {
    const auto fail = [this](const char* what, DWORD code, const void* failed, int line) {
        throw MdsError<SysError>(
            SysError(std::string(what) + " (name='" + nameText + "', type='" + typeText + "')", code, "System error",
                     failed),
            SourceLocation{__FILE__, kGetPtr, line});
    };

    HRSRC found = FindResourceA(module, nameArg(), typeArg());
    if (found == nullptr) fail("cannot find resource", GetLastError(), reinterpret_cast<const void*>(&FindResourceA), 65);

    const DWORD bytes = SizeofResource(module, found);
    HGLOBAL loaded = LoadResource(module, found);
    if (loaded == nullptr) fail("cannot load resource", GetLastError(), reinterpret_cast<const void*>(&LoadResource), 85);
    if (size) *size = bytes;
    return LockResource(loaded);
}

std::string loadStringUtf8(HMODULE module, UINT id, size_t capacity) {
    if (capacity == 0) return std::string();
    std::wstring buffer(capacity, L'\0');
    const int length = LoadStringW(module, id, &buffer[0], static_cast<int>(capacity));
    buffer.resize(length > 0 ? static_cast<size_t>(length) : 0);
    return tstrings::toUtf8(buffer);
}
