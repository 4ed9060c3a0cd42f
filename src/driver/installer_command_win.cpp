#include "driver/installer_command.h"

#include <cstring>

#include "driver/product_version.h"
#include "platform/all_utils.h"
#include "platform/executor.h"
#include "platform/handles.h"
#include "platform/logger.h"
#include "platform/sysinfo.h"
#include "platform/tstrings.h"
#include "platform/win32.h"

namespace {

constexpr const char* kInstallerKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer";
constexpr const char* kInstallStatus = "InstallStatus";
constexpr DWORD kReadWrite = KEY_READ | KEY_WRITE;

unique_hkey openKey(HKEY parent, const char* subkey, REGSAM access) {
    unique_hkey key;
    if (RegOpenKeyExA(parent, subkey, 0, access, key.put()) != ERROR_SUCCESS) return unique_hkey();
    return key;
}

// A REG_SZ or REG_EXPAND_SZ value into out, terminated. A value that fills the buffer without room
// for a terminator is refused rather than read short.
bool readString(HKEY key, const char* name, char* out, size_t capacity, bool checkType) {
    if (capacity == 0) return false;
    DWORD type = 0;
    DWORD size = static_cast<DWORD>(capacity);
    if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(out), &size) != ERROR_SUCCESS) {
        out[0] = '\0';
        return false;
    }
    if (checkType && type != REG_SZ && type != REG_EXPAND_SZ) {
        out[0] = '\0';
        return false;
    }
    if (size == 0) {
        out[0] = '\0';
        return true;
    }
    if (out[size - 1] == '\0') return true;
    if (size < capacity) {
        out[size] = '\0';
        return true;
    }
    out[0] = '\0';
    return false;
}

bool appendFitting(char* out, size_t capacity, const char* more) {
    const size_t length = std::strlen(out);
    const size_t extra = std::strlen(more);
    if (length + extra >= capacity) return false;
    std::memcpy(out + length, more, extra + 1);
    return true;
}

}  // namespace

bool GetWIPath(char* out, size_t capacity) {
    if (capacity == 0) return false;
    out[0] = '\0';
    bool found = false;
    if (osGeneration == 1 && osVersion.wProductType != VER_NT_WORKSTATION) {
        GetSystemDirectoryA(out, static_cast<UINT>(capacity));
        found = true;
    } else {
        unique_hkey key = openKey(HKEY_LOCAL_MACHINE, kInstallerKey, KEY_READ);
        if (!key) return false;
        found = readString(key.get(), "InstallerLocation", out, capacity, false);
    }
    if (!found) return false;
    if (!appendFitting(out, capacity, "\\msiexec.exe")) {
        LAUNCHER_LOG(ERROR, "GetWIPath", "Windows Installer path does not fit in " << capacity << " bytes: " << out);
        return false;
    }
    return true;
}

bool GetInstallStatus(char* out, size_t capacity) {
    unique_hkey software = openKey(HKEY_LOCAL_MACHINE, "Software", KEY_READ);
    if (!software) return false;
    unique_hkey velmora = openKey(software.get(), "Velmora", KEY_READ);
    if (!velmora) return false;
    return readString(velmora.get(), kInstallStatus, out, capacity, true) && out[0] != '\0';
}

bool SetInstallStatus(const char* valueOrNull) {
    unique_hkey software = openKey(HKEY_LOCAL_MACHINE, "Software", KEY_READ);
    if (!software) return false;
    unique_hkey velmora = openKey(software.get(), "Velmora", kReadWrite);
    if (!velmora) return false;

    if (valueOrNull == nullptr) {
        RegDeleteValueA(velmora.get(), kInstallStatus);
        DWORD subkeys = 0;
        DWORD values = 0;
        if (RegQueryInfoKeyA(velmora.get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr,
                             nullptr, nullptr, nullptr) == ERROR_SUCCESS &&
            subkeys == 0 && values == 0) {
            RegDeleteKeyA(software.get(), "Velmora");
        }
        return true;
    }
    // A value that was not stored is not reported as stored.
    return RegSetValueExA(velmora.get(), kInstallStatus, 0, REG_SZ, reinterpret_cast<const BYTE*>(valueOrNull),
                          static_cast<DWORD>(std::strlen(valueOrNull) + 1)) == ERROR_SUCCESS;
}

bool FindForgeHome(char (&out)[kCommandCapacity]) {
    const std::string keyName =
        tstrings::format("SOFTWARE\\Velmora\\Mako Development Kit\\%s", product_version::kProductVersion);
    unique_hkey key = openKey(HKEY_LOCAL_MACHINE, keyName.c_str(), KEY_READ);
    if (!key) {
        logit("FindForgeHome: Failed to open Forge main key!!");
        return false;
    }
    if (!readString(key.get(), "MakoHome", out, sizeof out, false)) {
        logit("FindForgeHome: Failed to query MakoHome value!!");
        return false;
    }
    return true;
}

PublicRuntimeOutcome RunPublicRuntime(bool noStartMenu, const std::string& publicRuntimeDir,
                                      bool suppressRuntimeReboot) {
    char forgeHome[kCommandCapacity] = {};
    if (!FindForgeHome(forgeHome)) return PublicRuntimeOutcome::NoForgeHome;

    const ComposedCommand installer = composeRuntimeInstallerPath(forgeHome);
    if (!installer.ok) {
        LAUNCHER_LOG(ERROR, "RunPublicRuntime", "public runtime not installed: " << installer.failure());
        return PublicRuntimeOutcome::Refused;
    }
    const std::string& runtimeInstaller = installer.command;

    PublicRuntimeOutcome outcome = PublicRuntimeOutcome::NotPresent;
    if (fileExists(runtimeInstaller)) {
        const ComposedCommand command =
            composeRuntimeCommand({runtimeInstaller, noStartMenu, publicRuntimeDir, suppressRuntimeReboot});
        if (command.ok) {
            Executor::ExecProcessWaitForFinish(runtimeInstaller, command.command, 1);
            outcome = PublicRuntimeOutcome::Ran;
        } else {
            LAUNCHER_LOG(ERROR, "RunPublicRuntime", "public runtime not installed: " << command.failure());
            outcome = PublicRuntimeOutcome::Refused;
        }
    }
    // The runtime installer is not left in the kit's folder, whether or not it ran.
    DeleteFileA(runtimeInstaller.c_str());
    return outcome;
}
