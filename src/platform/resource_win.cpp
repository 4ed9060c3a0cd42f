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

bool isStringTable(uintptr_t type) { return type == reinterpret_cast<uintptr_t>(RT_STRING); }

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

    const bool strings = isStringTable(type);
    // A string table is stored in blocks of 16 entries; block n + 1 holds identifiers 16n to 16n + 15.
    const LPCSTR findName = strings ? MAKEINTRESOURCEA(name / 16 + 1) : nameArg();
    HRSRC found = FindResourceA(module, findName, typeArg());
    if (found == nullptr) fail("cannot find resource", GetLastError(), reinterpret_cast<const void*>(&FindResourceA), 65);

    if (strings) {
        // A buffer size of 0 asks for a pointer into the mapped block itself.
        const WCHAR* text = nullptr;
        const int length = LoadStringW(module, static_cast<UINT>(name), reinterpret_cast<LPWSTR>(&text), 0);
        if (size) *size = length > 0 && text != nullptr ? static_cast<size_t>(length) * sizeof(WCHAR) : 0;
        return text;
    }

    const DWORD bytes = SizeofResource(module, found);
    HGLOBAL loaded = LoadResource(module, found);
    if (loaded == nullptr) fail("cannot load resource", GetLastError(), reinterpret_cast<const void*>(&LoadResource), 85);
    if (size) *size = bytes;
    return LockResource(loaded);
}

StringResource::StringResource(UINT id, HMODULE resourceModule)
    : Resource(MAKEINTRESOURCEA(id), RT_STRING, resourceModule) {}

std::string StringResource::string(const std::string& fallback) const {
    const SourceLocation here{__FILE__, "StringResource::string", 163};
    try {
        size_t size = 0;
        const auto* text = static_cast<const wchar_t*>(getPtr(&size));
        if (text == nullptr || size == 0) return std::string();
        return tstrings::toMultiByte(std::wstring(text, size / sizeof(wchar_t)));
    } catch (const std::exception& e) {
        reportException(e, here);
    } catch (...) {
        reportUnknownException(here);
    }
    return fallback;
}

std::string loadStringEntry(HMODULE module, UINT id, size_t capacity) {
    std::string buffer(capacity, '\0');
    const int length = LoadStringA(module, id, &buffer[0], static_cast<int>(capacity));
    buffer.resize(length > 0 ? static_cast<size_t>(length) : 0);
    return buffer;
}
