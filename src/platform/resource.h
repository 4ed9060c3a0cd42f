#pragma once
// Resources of a module: raw bytes of any type, and string-table entries.
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
    // *size. A string-table entry comes as its UTF-16 characters (not zero-terminated); an empty or
    // absent entry inside an existing block has size 0. Throws MdsError<SysError> when the resource
    // (for strings: the entry's block) is missing or cannot be loaded.
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

// String-table entry id of module as LoadStringA gives it: in the process code page, cut to
// capacity - 1 bytes, "" when absent. Nothing is logged.
std::string loadStringEntry(HMODULE module, UINT id, size_t capacity);

class StringResource : public Resource {
public:
    StringResource(UINT id, HMODULE module);

    // The entry in the process code page. Any failure is logged as an ERROR and answered with
    // fallback; an empty or absent entry inside an existing block gives "".
    std::string string(const std::string& fallback) const;
};
