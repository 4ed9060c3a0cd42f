#pragma once
// Resources of a module: raw bytes of the payload's types, and string-table entries.
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/win32.h"

class Resource {
public:
    // name and type are integer identifiers (MAKEINTRESOURCEA) or texts; texts are copied.
    Resource(LPCSTR name, LPCSTR type, HMODULE module);
    virtual ~Resource() = default;

    // The resource's bytes, read-only and valid while the module stays loaded, and their count in
    // *size. Throws MdsError<SysError> when the resource is missing or cannot be loaded.
    const void* getPtr(size_t* size) const;

protected:
    LPCSTR nameArg() const;
    LPCSTR typeArg() const;

    std::string nameText;  // "#<number>" for an integer identifier
    uintptr_t name;        // the integer identifier, or 0 for a named resource
    std::string typeText;
    uintptr_t type;
    HMODULE module;
};

// String-table entry id of module in UTF-8, whatever the process code page: cut to capacity - 1
// UTF-16 characters as a buffer of that capacity would hold it, "" when absent. Nothing is logged.
std::string loadStringUtf8(HMODULE module, UINT id, size_t capacity);
