#include "product/au_config.h"

#include <stdexcept>
#include <vector>

#include "platform/dll.h"
#include "platform/handles.h"
#include "platform/logger.h"
// After windows.h: declarations only. crypt32.dll is not a known DLL and the launcher starts from
// download folders, so its functions are bound at run time from the system folder.
#include <wincrypt.h>
#include <dpapi.h>

namespace au {
namespace {

std::string sysErrorText(DWORD error) { return std::to_string(static_cast<unsigned long long>(error)); }

template <class F>
DllFunction<F> crypt32(const char* name) {
    return DllFunction<F>(Dll::system("crypt32.dll"), name);
}

uint32_t unprotect(std::vector<uint8_t> data) {
    const auto unprotectData = crypt32<decltype(&CryptUnprotectData)>("CryptUnprotectData");
    DATA_BLOB in{static_cast<DWORD>(data.size()), data.data()};
    DATA_BLOB out{};
    if (!static_cast<decltype(&CryptUnprotectData)>(unprotectData)(&in, nullptr, nullptr, nullptr, nullptr,
                                                                     CRYPTPROTECT_UI_FORBIDDEN, &out)) {
        throw std::runtime_error("decryption failed, sysError=" + sysErrorText(GetLastError()));
    }
    const unique_hlocal owner(out.pbData);
    if (out.cbData != 4) throw std::runtime_error("decrypted data has wrong size");
    return static_cast<uint32_t>(out.pbData[0]) | static_cast<uint32_t>(out.pbData[1]) << 8 |
           static_cast<uint32_t>(out.pbData[2]) << 16 | static_cast<uint32_t>(out.pbData[3]) << 24;
}

std::vector<uint8_t> protect(uint32_t value, DWORD scopeFlags) {
    const auto protectData = crypt32<decltype(&CryptProtectData)>("CryptProtectData");
    BYTE bytes[4] = {static_cast<BYTE>(value), static_cast<BYTE>(value >> 8), static_cast<BYTE>(value >> 16),
                     static_cast<BYTE>(value >> 24)};
    DATA_BLOB in{sizeof bytes, bytes};
    DATA_BLOB out{};
    if (!static_cast<decltype(&CryptProtectData)>(protectData)(&in, nullptr, nullptr, nullptr, nullptr,
                                                                 scopeFlags | CRYPTPROTECT_UI_FORBIDDEN, &out)) {
        throw std::runtime_error("encryption failed, sysError=" + sysErrorText(GetLastError()));
    }
    const unique_hlocal owner(out.pbData);
    return std::vector<uint8_t>(out.pbData, out.pbData + out.cbData);
}

std::string toBase64(const std::vector<uint8_t>& bytes) {
    const auto convert = crypt32<decltype(&CryptBinaryToStringA)>("CryptBinaryToStringA");
    const auto call = static_cast<decltype(&CryptBinaryToStringA)>(convert);
    constexpr DWORD flags = CRYPT_STRING_BASE64 | CRYPT_STRING_NOCRLF;
    DWORD size = 0;
    if (!call(bytes.data(), static_cast<DWORD>(bytes.size()), flags, nullptr, &size))
        throw std::runtime_error("binary2string (phase1) failed, sysError=" + sysErrorText(GetLastError()));
    std::string text(size, '\0');
    if (!call(bytes.data(), static_cast<DWORD>(bytes.size()), flags, &text[0], &size))
        throw std::runtime_error("binary2string (phase2) failed, sysError=" + sysErrorText(GetLastError()));
    text.resize(size);
    return text;
}

std::vector<uint8_t> fromBase64(const std::string& text) {
    const auto convert = crypt32<decltype(&CryptStringToBinaryA)>("CryptStringToBinaryA");
    const auto call = static_cast<decltype(&CryptStringToBinaryA)>(convert);
    const DWORD length = static_cast<DWORD>(text.size());
    DWORD size = 0;
    if (!call(text.c_str(), length, CRYPT_STRING_BASE64, nullptr, &size, nullptr, nullptr))
        throw std::runtime_error("string2binary (phase1) failed, sysError=" + sysErrorText(GetLastError()));
    std::vector<uint8_t> bytes(size);
    if (!call(text.c_str(), length, CRYPT_STRING_BASE64, bytes.data(), &size, nullptr, nullptr))
        throw std::runtime_error("string2binary (phase2) failed, sysError=" + sysErrorText(GetLastError()));
    bytes.resize(size);
    return bytes;
}

}  // namespace

RegData::RegData(int32_t layout, std::string key) : layoutVersion(layout), policyKey(std::move(key)) {}

const RegistryKey& RegData::key(int32_t location, bool write) {
    if (layoutVersion == 0 && location == MachineCheck) location = MachinePolicy;
    if (location < MachinePolicy || location > UserPolicy) throw std::logic_error("unknown reg location");
    RegistryKey& cached = (write ? writeKeys : readKeys)[location];
    if (!cached.handle()) {
        const RegistryKey& root = location == UserPolicy ? RegistryKey::user32() : RegistryKey::machine32();
        const std::string path = location == MachineCheck ? policyKey + "\\mucheck" : policyKey;
        cached = RegistryKey::open(root, path, write ? RegistryKey::ReadWrite : RegistryKey::ReadOnly);
    }
    return cached;
}

uint32_t RegData::getValue(const RegValueSpec& spec) {
    try {
        const RegistryKey& k = key(spec.location, false);
        int32_t type = spec.encryptionType;
        if (layoutVersion == 0 && type == MachineBase64) type = Plain;
        switch (type) {
            case Plain:
                return k.queryDword(spec.name);
            case UserProtected:
                return unprotect(k.queryBinary(spec.name));
            case MachineBase64:
                return unprotect(fromBase64(k.queryString(spec.name)));
            default:
                throw std::logic_error("unknown encryptionType");
        }
    } catch (const std::exception& e) {
        LAUNCHER_LOG(ERROR, "au::RegData::getValue", "getValue(DWORD) failed: " << e.what());
        throw;
    }
}

void RegData::setValue(const RegValueSpec& spec, uint32_t value) {
    try {
        const RegistryKey& k = key(spec.location, true);
        int32_t type = spec.encryptionType;
        if (layoutVersion == 0 && type == MachineBase64) type = Plain;
        switch (type) {
            case Plain:
                k.setDword(spec.name, value);
                break;
            case UserProtected:
                k.setBinary(spec.name, protect(value, 0));
                break;
            case MachineBase64:
                k.setString(spec.name, toBase64(protect(value, CRYPTPROTECT_LOCAL_MACHINE)));
                break;
            default:
                throw std::logic_error("unknown encryptionType");
        }
    } catch (const std::exception& e) {
        LAUNCHER_LOG(ERROR, "au::RegData::setValue", "setValue(DWORD) failed: " << e.what());
        throw;
    }
}

Config::Config(int32_t layout, std::string key) : regData(layout, std::move(key)), layoutVersion(layout) {}

Schedule Config::getSchedule(bool* ok) {
    if (ok) *ok = true;
    try {
        Schedule s;
        s.frequency = regData.getValue(values::Frequency);
        s.updateSchedule = regData.getValue(values::UpdateSchedule);
        s.updateMin = regData.getValue(values::UpdateMin);
        return s;
    } catch (const std::exception& e) {
        LAUNCHER_LOG(ERROR, "au::Config::getSchedule", "getSchedule failed: " << e.what() << ", rescheduling");
    }
    const Schedule fresh = randomSchedule();
    try {
        setSchedule(fresh);
    } catch (const std::exception&) {
        if (ok) *ok = false;
    }
    return fresh;
}

void Config::setSchedule(const Schedule& s) {
    regData.setValue(values::Frequency, s.frequency);
    regData.setValue(values::UpdateSchedule, s.updateSchedule);
    regData.setValue(values::UpdateMin, s.updateMin);
}

int32_t Config::readOrResetNotifyType() {
    try {
        const uint32_t download = regData.getValue(values::NotifyDownload);
        const uint32_t install = regData.getValue(values::NotifyInstall);
        if ((download != 0) == (install != 0)) throw std::runtime_error("inconsistent data");
        return install != 0 ? 1 : 0;
    } catch (const std::exception& e) {
        LAUNCHER_LOG(ERROR, "au::Config::getNotifyType", "getNotifyType failed: " << e.what() << ", reset to default");
    }
    try {
        setNotifyType(0);
    } catch (const std::exception&) {
    }
    return 0;
}

void Config::setNotifyType(int32_t type) {
    switch (type) {
        case 0:
            regData.setValue(values::NotifyDownload, 1);
            regData.setValue(values::NotifyInstall, 0);
            break;
        case 1:
            regData.setValue(values::NotifyDownload, 0);
            regData.setValue(values::NotifyInstall, 1);
            break;
        default:
            LAUNCHER_LOG(ERROR, "au::Config::setNotifyType", "setNotifyType: unknown value: " << type);
            throw std::runtime_error("unknown notifyType");
    }
}

}  // namespace au
