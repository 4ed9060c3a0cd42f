#pragma once
// Run-time binding of system functions that older Windows versions lack, so that the launcher
// still starts there. System libraries are loaded by full path from the system folder, never by
// bare name (which would search the program's folder first).
#include <string>
#include <type_traits>
#include <utility>

#include "platform/errors.h"
#include "platform/win32.h"

class Dll {
public:
    // Loads the library at path (UTF-8). Throws MdsError<SysError> with LoadLibraryW's error.
    explicit Dll(const std::string& path);
    // Loads <system folder>\name. Throws as above, or std::runtime_error when the system folder
    // cannot be determined.
    static Dll system(const std::string& name);

    Dll(Dll&& other) noexcept;
    Dll& operator=(Dll&& other) noexcept;
    Dll(const Dll&) = delete;
    Dll& operator=(const Dll&) = delete;
    ~Dll();

    HMODULE get() const noexcept { return handle; }
    const std::wstring& getPath() const noexcept { return path; }

private:
    HMODULE handle = nullptr;
    bool owned = false;
    std::wstring path;
};

// Restricts the search for libraries loaded by name, by this process and the system components in
// it, to the system folder: the program's folder is often Downloads, where anyone can leave a DLL.
// Where the system lacks SetDefaultDllDirectories (before Windows 8 without its update), only the
// current folder is taken out of the search (SetDllDirectoryA("")). Returns whether the first took.
bool restrictDllSearchToSystemFolder();

// Throws MdsError<std::runtime_error> "function <name> is not available", raised at file/function.
[[noreturn]] void throwFunctionNotAvailable(const std::string& name, const char* file, const char* function);

// A function of a loaded library. Keeps the library loaded as long as it lives. A function the
// library lacks is null: test before converting when the caller can do without it.
template <class F>
class DllFunction {
    static_assert(std::is_pointer<F>::value, "F is a function pointer type");

public:
    DllFunction(Dll library, const std::string& functionName)
        : dll(std::move(library)),
          function(reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(dll.get(), functionName.c_str())))),
          name(functionName) {}

    bool isNull() const noexcept { return function == nullptr; }
    explicit operator bool() const noexcept { return function != nullptr; }
    // The bound function; throws when the library lacks it.
    operator F() const {
        if (function == nullptr) throwFunctionNotAvailable(name, __FILE__, __FUNCTION__);
        return function;
    }

private:
    Dll dll;
    F function;
    std::string name;
};
