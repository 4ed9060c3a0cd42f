#include "platform/dll.h"

#include "platform/sysinfo.h"
#include "platform/tstrings.h"
#include "platform/win_errors.h"

namespace {
constexpr int kLoadFailedLine = 17;
constexpr int kNotAvailableLine = 104;
}  // namespace

Dll::Dll(const std::string& libraryPath) : path(tstrings::toUtf16(libraryPath)) {
    handle = LoadLibraryW(path.c_str());
    if (handle == nullptr) {
        const DWORD code = GetLastError();
        throw MdsError<SysError>(SysError("LoadLibraryW(" + libraryPath + ") failed", code, "System error", &LoadLibraryW),
                                 SourceLocation{__FILE__, "Dll::Dll", kLoadFailedLine});
    }
    owned = true;
}

Dll Dll::system(const std::string& name) { return Dll(joinPath(SysInfo::getSystem32Dir(), name)); }

Dll::Dll(Dll&& other) noexcept
    : handle(std::exchange(other.handle, nullptr)), owned(std::exchange(other.owned, false)), path(std::move(other.path)) {}

Dll& Dll::operator=(Dll&& other) noexcept {
    if (this != &other) {
        if (owned && handle) FreeLibrary(handle);
        handle = std::exchange(other.handle, nullptr);
        owned = std::exchange(other.owned, false);
        path = std::move(other.path);
    }
    return *this;
}

Dll::~Dll() {
    if (owned && handle) FreeLibrary(handle);
}

void throwFunctionNotAvailable(const std::string& name, const char* file, const char* function) {
    throw MdsError<std::runtime_error>(std::runtime_error("function " + name + " is not available"),
                                       SourceLocation{file, function, kNotAvailableLine});
}

bool restrictDllSearchToSystemFolder() {
    using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
    try {
        DllFunction<SetDefaultDllDirectoriesFn> setDefault(Dll::system("kernel32.dll"), "SetDefaultDllDirectories");
        if (setDefault && static_cast<SetDefaultDllDirectoriesFn>(setDefault)(LOAD_LIBRARY_SEARCH_SYSTEM32)) return true;
    } catch (const std::exception&) {
        // kernel32 from the system folder not loadable: the fallback below still applies
    }
    SetDllDirectoryA("");
    return false;
}
