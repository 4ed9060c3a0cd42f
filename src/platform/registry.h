#pragma once
// Typed registry access. On 64-bit Windows the 32-bit launcher reads both views of the machine hive,
// so every key carries the view it was opened in and hands it on to the keys opened below it.
//
// Every failure throws std::runtime_error (no location prefix) with the message
// "<operation> (<name>) error: <detail>", the detail being a fixed word or the registry call's
// status in signed decimal. Callers that tolerate absence use exists or queryStringOr.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/handles.h"
#include "platform/win32.h"

// A value as stored: its registry type and its bytes.
struct RegistryValue {
    uint32_t type = 0;
    std::vector<uint8_t> bytes;
};

class RegistryKey {
public:
    enum Mode : int { ReadOnly = 0, ReadWrite = 1 };

    // The six predefined roots: not owned, never closed.
    static const RegistryKey& machine();    // HKEY_LOCAL_MACHINE, default view
    static const RegistryKey& machine32();  // HKEY_LOCAL_MACHINE, KEY_WOW64_32KEY
    static const RegistryKey& machine64();  // HKEY_LOCAL_MACHINE, KEY_WOW64_64KEY
    static const RegistryKey& user();
    static const RegistryKey& user32();
    static const RegistryKey& user64();

    RegistryKey() = default;
    RegistryKey(RegistryKey&& other) noexcept;
    // Closes what this key owned before taking the other's handle.
    RegistryKey& operator=(RegistryKey&& other) noexcept;
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;
    ~RegistryKey() { close(); }

    // Opens subkey of parent in parent's view: ReadOnly opens an existing key for reading,
    // ReadWrite (1) also writes and creates the key when missing. Throws "open key".
    static RegistryKey open(const RegistryKey& parent, const std::string& subkey, int mode = ReadOnly);
    // Whether subkey can be opened for reading; never throws.
    static bool exists(const RegistryKey& parent, const std::string& subkey);
    // Closes an owned handle (a failure is logged); the key is empty afterwards.
    void close() noexcept;

    // Throws "query value" with the status (2 for a missing value).
    RegistryValue queryValue(const std::string& name) const;
    // REG_DWORD of exactly 4 bytes, else "query dword value" with "wrong type" / "wrong size".
    uint32_t queryDword(const std::string& name) const;
    // REG_SZ or REG_EXPAND_SZ (not expanded), one trailing zero dropped; else "wrong type".
    std::string queryString(const std::string& name) const;
    // queryString, or fallback on any failure.
    std::string queryStringOr(const std::string& name, const std::string& fallback) const noexcept;
    // The value's bytes as a terminated text in out (capacity bytes), refused rather than cut: false,
    // out "", when the value is missing, not REG_SZ or REG_EXPAND_SZ while stringsOnly, or does not
    // fit with its terminator. Never throws.
    bool queryTextInto(const std::string& name, char* out, size_t capacity, bool stringsOnly) const noexcept;
    // REG_BINARY, else "query binary value" with "wrong type".
    std::vector<uint8_t> queryBinary(const std::string& name) const;

    void setDword(const std::string& name, uint32_t value) const;
    // Stored as REG_SZ with its terminating zero.
    void setString(const std::string& name, const std::string& value) const;
    void setBinary(const std::string& name, const std::vector<uint8_t>& value) const;

    // Names of the direct subkeys in the registry's order. Throws "enum subkeys" with the 1-based
    // position of the failing call.
    std::vector<std::string> enumSubkeys() const;

    HKEY handle() const { return hkey; }
    REGSAM view() const { return viewFlags; }
    bool isOwned() const { return owned; }

private:
    RegistryKey(HKEY root, REGSAM rootView) : hkey(root), viewFlags(rootView) {}

    HKEY hkey = nullptr;
    bool owned = false;
    REGSAM viewFlags = 0;
};

// "<operation> (<name>) error: <detail>"
std::string registryError(const std::string& operation, const std::string& name, const std::string& detail);

// A key under a fixed parent that can be opened again under another name; used by the check for an
// installed development kit or runtime of the same version. Closes what it holds on destruction.
class ReopenableKey {
public:
    explicit ReopenableKey(HKEY parentKey) : parent(parentKey) {}
    ReopenableKey(const ReopenableKey&) = delete;
    ReopenableKey& operator=(const ReopenableKey&) = delete;
    ~ReopenableKey();

    // Closes the held key when open (only a successful close clears isOpen), then opens subkey of the
    // parent with access. Returns the status of the open.
    LONG reopen(const std::string& subkey, REGSAM access);
    // Reads "BuildNumber" of the held key. On failure of the size query, result becomes {0, empty}.
    LONG queryBuildNumber(RegistryValue& result) const;

    bool open() const { return isOpen; }
    HKEY handle() const { return held; }

private:
    HKEY parent;
    HKEY held = nullptr;
    bool isOpen = false;
};
