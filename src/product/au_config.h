#pragma once
// The update agent's policy store: its check schedule and notification choice, kept in registry
// values under the policy key, some in clear and some protected with the system's data protection.
// Two layouts exist: agents of the older generation (layout 0) keep everything in clear under the
// policy key itself; current agents (layout 1) keep the schedule protected under "mucheck".
//
// Failures are standard exceptions (the registry's own included) unless a function says otherwise.
#include <cstdint>
#include <string>

#include "platform/registry.h"
#include "product/au_schedule.h"

namespace au {

constexpr const char* kPolicyKey = "SOFTWARE\\Velmora\\Mako Update\\Policy";

enum Location : int32_t {
    MachinePolicy = 0,  // machine, 32-bit view: <policy key>
    MachineCheck = 1,   // machine, 32-bit view: <policy key>\mucheck (layout 0: the policy key)
    UserPolicy = 2,     // user, 32-bit view: <policy key>
};

enum EncryptionType : int32_t {
    Plain = 0,          // REG_DWORD
    UserProtected = 1,  // REG_BINARY: the 4 little-endian bytes protected in the user's scope
    MachineBase64 = 2,  // REG_SZ: protected in the machine's scope, as Base64 text (layout 0: plain)
};

struct RegValueSpec {
    int32_t location;
    const char* name;
    int32_t encryptionType;
};

// Values of the catalogue without a known storage type; nothing here reads or writes them.
struct RegValueName {
    int32_t location;
    const char* name;
};

namespace values {
constexpr RegValueSpec EnableAutoUpdateCheck{UserPolicy, "EnableAutoUpdateCheck", UserProtected};
constexpr RegValueSpec ITCONFIG{MachinePolicy, "ITCONFIG", Plain};
constexpr RegValueSpec EnableMakoUpdate{MachinePolicy, "EnableMakoUpdate", Plain};
constexpr RegValueSpec Frequency{MachineCheck, "Frequency", MachineBase64};
constexpr RegValueSpec UpdateSchedule{MachineCheck, "UpdateSchedule", MachineBase64};
constexpr RegValueSpec UpdateMin{MachineCheck, "UpdateMin", MachineBase64};
constexpr RegValueName ScheduleId{MachineCheck, "ScheduleId"};
constexpr RegValueSpec NotifyDownload{MachineCheck, "NotifyDownload", Plain};
constexpr RegValueSpec NotifyInstall{MachineCheck, "NotifyInstall", Plain};
constexpr RegValueName LastUpdateBeginTime{MachineCheck, "LastUpdateBeginTime"};
constexpr RegValueName LastUpdateFinishTime{MachineCheck, "LastUpdateFinishTime"};
constexpr RegValueName LastUDCheckTime{MachineCheck, "LastUDCheckTime"};
constexpr RegValueSpec OEMDelay{MachinePolicy, "OEMDelay", Plain};
constexpr RegValueSpec OOBD{UserPolicy, "OOBD", UserProtected};
constexpr RegValueSpec StartupDelay{MachinePolicy, "StartupDelay", Plain};
constexpr RegValueSpec SDVC{UserPolicy, "SDVC", UserProtected};
constexpr RegValueName UpdateServletURL{MachinePolicy, "UpdateServletURL"};
constexpr RegValueName ManualUpdateServletURL{MachinePolicy, "ManualUpdateServletURL"};
}  // namespace values

// Typed access to the policy values. Keys are opened on first use (one for reading and one for
// writing per location) and closed with the object. policyKey is replaceable for tests only.
class RegData {
public:
    explicit RegData(int32_t layoutVersion, std::string policyKey = kPolicyKey);

    // Logs "getValue(DWORD) failed: ..." / "setValue(DWORD) failed: ..." and rethrows on failure.
    // setValue creates the key when missing.
    uint32_t getValue(const RegValueSpec& spec);
    void setValue(const RegValueSpec& spec, uint32_t value);

private:
    const RegistryKey& key(int32_t location, bool write);

    int32_t layoutVersion;
    std::string policyKey;
    RegistryKey readKeys[3];
    RegistryKey writeKeys[3];
};

class Config {
public:
    explicit Config(int32_t layoutVersion, std::string policyKey = kPolicyKey);
    virtual ~Config() = default;

    // Never raises a standard exception: a schedule that cannot be read is replaced by a fresh one,
    // which is also stored; *ok (when given) turns false only when storing it failed as well.
    Schedule getSchedule(bool* ok = nullptr);
    // Frequency, UpdateSchedule, UpdateMin in this order; a failure leaves the earlier ones written.
    void setSchedule(const Schedule& s);
    // 0: ask before downloading, 1: before installing. Missing or inconsistent values are reset to 0
    // (stored when possible); never raises a standard exception.
    int32_t readOrResetNotifyType();
    // Other types than 0 and 1 are logged and refused with "unknown notifyType"; nothing is written.
    void setNotifyType(int32_t type);

private:
    RegData regData;
    int32_t layoutVersion;
};

}  // namespace au
