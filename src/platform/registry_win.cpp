#include "platform/registry.h"

#include <cstring>
#include <stdexcept>
#include <utility>

#include "platform/win_errors.h"

namespace {

std::string statusText(LONG status) { return std::to_string(static_cast<long>(status)); }

[[noreturn]] void fail(const char* operation, const std::string& name, const std::string& detail) {
    throw std::runtime_error(registryError(operation, name, detail));
}

}  // namespace

std::string registryError(const std::string& operation, const std::string& name, const std::string& detail) {
    return operation + " (" + name + ") error: " + detail;
}

const RegistryKey& RegistryKey::machine() {
    static const RegistryKey root(HKEY_LOCAL_MACHINE, 0);
    return root;
}
const RegistryKey& RegistryKey::machine32() {
    static const RegistryKey root(HKEY_LOCAL_MACHINE, KEY_WOW64_32KEY);
    return root;
}
const RegistryKey& RegistryKey::machine64() {
    static const RegistryKey root(HKEY_LOCAL_MACHINE, KEY_WOW64_64KEY);
    return root;
}
const RegistryKey& RegistryKey::user() {
    static const RegistryKey root(HKEY_CURRENT_USER, 0);
    return root;
}
const RegistryKey& RegistryKey::user32() {
    static const RegistryKey root(HKEY_CURRENT_USER, KEY_WOW64_32KEY);
    return root;
}
const RegistryKey& RegistryKey::user64() {
    static const RegistryKey root(HKEY_CURRENT_USER, KEY_WOW64_64KEY);
    return root;
}

RegistryKey::RegistryKey(RegistryKey&& other) noexcept
    : hkey(std::exchange(other.hkey, nullptr)),
      owned(std::exchange(other.owned, false)),
      viewFlags(other.viewFlags) {}

RegistryKey& RegistryKey::operator=(RegistryKey&& other) noexcept {
    if (this != &other) {
        close();
        hkey = std::exchange(other.hkey, nullptr);
        owned = std::exchange(other.owned, false);
        viewFlags = other.viewFlags;
    }
    return *this;
}

void RegistryKey::close() noexcept {
    if (owned) {
        closeRegHandle(hkey);
        owned = false;
        hkey = nullptr;
    }
}

RegistryKey RegistryKey::open(const RegistryKey& parent, const std::string& subkey, int mode) {
    const REGSAM access = KEY_READ | parent.viewFlags | (mode == ReadWrite ? KEY_WRITE : 0);
    HKEY opened = nullptr;
    const LONG status =
        mode == ReadWrite
            ? RegCreateKeyExA(parent.hkey, subkey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, access, nullptr,
                              &opened, nullptr)
            : RegOpenKeyExA(parent.hkey, subkey.c_str(), 0, access, &opened);
    if (status != ERROR_SUCCESS) fail("open key", subkey, statusText(status));
    RegistryKey key(opened, parent.viewFlags);
    key.owned = true;
    return key;
}

bool RegistryKey::exists(const RegistryKey& parent, const std::string& subkey) {
    try {
        RegistryKey key = open(parent, subkey, ReadOnly);
        key.close();
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

RegistryValue RegistryKey::queryValue(const std::string& name) const {
    RegistryValue value;
    DWORD type = 0;
    DWORD size = 0;
    LONG status = RegQueryValueExA(hkey, name.c_str(), nullptr, &type, nullptr, &size);
    // The value may grow between the size query and the read; ask again until it fits.
    while (status == ERROR_MORE_DATA || (status == ERROR_SUCCESS && size > value.bytes.size())) {
        value.bytes.resize(size);
        status = RegQueryValueExA(hkey, name.c_str(), nullptr, &type, value.bytes.data(), &size);
    }
    if (status != ERROR_SUCCESS) fail("query value", name, statusText(status));
    value.bytes.resize(size);
    value.type = type;
    return value;
}

bool RegistryKey::queryTextInto(const std::string& name, char* out, size_t capacity, bool stringsOnly) const noexcept {
    if (capacity == 0) return false;
    out[0] = '\0';
    try {
        const RegistryValue value = queryValue(name);
        if (stringsOnly && value.type != REG_SZ && value.type != REG_EXPAND_SZ) return false;
        const size_t size = value.bytes.size();
        const bool terminated = size > 0 && value.bytes[size - 1] == 0;
        if (size + (terminated ? 0 : 1) > capacity) return false;
        if (size > 0) std::memcpy(out, value.bytes.data(), size);
        if (!terminated) out[size] = '\0';
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

uint32_t RegistryKey::queryDword(const std::string& name) const {
    const RegistryValue value = queryValue(name);
    if (value.type != REG_DWORD) fail("query dword value", name, "wrong type");
    if (value.bytes.size() != 4) fail("query dword value", name, "wrong size");
    return uint32_t(value.bytes[0]) | uint32_t(value.bytes[1]) << 8 | uint32_t(value.bytes[2]) << 16 |
           uint32_t(value.bytes[3]) << 24;
}

std::string RegistryKey::queryString(const std::string& name) const {
    const RegistryValue value = queryValue(name);
    if (value.type != REG_SZ && value.type != REG_EXPAND_SZ) fail("query string value", name, "wrong type");
    std::string text(value.bytes.begin(), value.bytes.end());
    if (!text.empty() && text.back() == '\0') text.pop_back();
    return text;
}

std::string RegistryKey::queryStringOr(const std::string& name, const std::string& fallback) const noexcept {
    try {
        return queryString(name);
    } catch (const std::exception&) {
        return fallback;
    }
}

std::vector<uint8_t> RegistryKey::queryBinary(const std::string& name) const {
    RegistryValue value = queryValue(name);
    if (value.type != REG_BINARY) fail("query binary value", name, "wrong type");
    return std::move(value.bytes);
}

void RegistryKey::setDword(const std::string& name, uint32_t value) const {
    const BYTE bytes[4] = {BYTE(value), BYTE(value >> 8), BYTE(value >> 16), BYTE(value >> 24)};
    const LONG status = RegSetValueExA(hkey, name.c_str(), 0, REG_DWORD, bytes, sizeof(bytes));
    if (status != ERROR_SUCCESS) fail("set dword value", name, statusText(status));
}

void RegistryKey::setString(const std::string& name, const std::string& value) const {
    const LONG status = RegSetValueExA(hkey, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                       static_cast<DWORD>(value.size() + 1));
    if (status != ERROR_SUCCESS) fail("set string value", name, statusText(status));
}

void RegistryKey::setBinary(const std::string& name, const std::vector<uint8_t>& value) const {
    const LONG status =
        RegSetValueExA(hkey, name.c_str(), 0, REG_BINARY, value.data(), static_cast<DWORD>(value.size()));
    if (status != ERROR_SUCCESS) fail("set binary value", name, statusText(status));
}

std::vector<std::string> RegistryKey::enumSubkeys() const {
    std::vector<std::string> names;
    for (DWORD index = 0;; ++index) {
        char name[256];
        DWORD size = sizeof(name);
        const LONG status = RegEnumKeyExA(hkey, index, name, &size, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_NO_MORE_ITEMS) break;
        if (status != ERROR_SUCCESS) fail("enum subkeys", std::to_string(index + 1), statusText(status));
        names.emplace_back(name, size);
    }
    return names;
}

ReopenableKey::~ReopenableKey() {
    if (isOpen) closeRegHandle(held);
}

LONG ReopenableKey::reopen(const std::string& subkey, REGSAM access) {
    if (isOpen && RegCloseKey(held) == ERROR_SUCCESS) {
        isOpen = false;
        held = nullptr;
    }
    HKEY opened = nullptr;
    const LONG status = RegOpenKeyExA(parent, subkey.c_str(), 0, access, &opened);
    if (status == ERROR_SUCCESS) {
        held = opened;
        isOpen = true;
    }
    return status;
}

LONG ReopenableKey::queryBuildNumber(RegistryValue& result) const {
    DWORD type = 0;
    DWORD size = 0;
    LONG status = RegQueryValueExA(held, "BuildNumber", nullptr, &type, nullptr, &size);
    if (status != ERROR_SUCCESS) {
        result = RegistryValue{};
        return status;
    }
    result.bytes.assign(size, 0);
    status = RegQueryValueExA(held, "BuildNumber", nullptr, &type, result.bytes.data(), &size);
    result.type = type;
    if (status == ERROR_SUCCESS) result.bytes.resize(size);
    return status;
}
