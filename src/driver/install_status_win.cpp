#include "driver/install_status.h"

#include <stdexcept>

#include "platform/registry.h"

namespace {

constexpr const char* kVelmoraKey = "Software\\Velmora";
constexpr const char* kInstallStatus = "InstallStatus";

}  // namespace

bool GetInstallStatus(char* out, size_t capacity) {
    try {
        const RegistryKey velmora = RegistryKey::open(RegistryKey::machine(), kVelmoraKey);
        return velmora.queryTextInto(kInstallStatus, out, capacity, true) && out[0] != '\0';
    } catch (const std::runtime_error&) {
        return false;
    }
}

bool SetInstallStatus(const char* valueOrNull) {
    // The request is only ever answered, never the reason to create the key.
    if (!RegistryKey::exists(RegistryKey::machine(), kVelmoraKey)) return false;
    try {
        const RegistryKey velmora = RegistryKey::open(RegistryKey::machine(), kVelmoraKey, RegistryKey::ReadWrite);
        if (valueOrNull != nullptr) {
            velmora.setString(kInstallStatus, valueOrNull);
            return true;
        }
        RegDeleteValueA(velmora.handle(), kInstallStatus);
        DWORD subkeys = 0;
        DWORD values = 0;
        if (RegQueryInfoKeyA(velmora.handle(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr,
                             nullptr, nullptr, nullptr) == ERROR_SUCCESS &&
            subkeys == 0 && values == 0) {
            RegDeleteKeyA(RegistryKey::machine().handle(), kVelmoraKey);
        }
        return true;
    } catch (const std::runtime_error&) {
        return false;
    }
}
