#include "driver/windows_installer.h"

#include <cstring>
#include <stdexcept>

#include "platform/logger.h"
#include "platform/registry.h"
#include "platform/sysinfo.h"

namespace {

bool locate(char* out, size_t capacity) {
    if (osGeneration == 1 && osVersion.wProductType != VER_NT_WORKSTATION) {
        GetSystemDirectoryA(out, static_cast<UINT>(capacity));
    } else {
        try {
            const RegistryKey key =
                RegistryKey::open(RegistryKey::machine(), "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer");
            if (!key.queryTextInto("InstallerLocation", out, capacity, false)) return false;
        } catch (const std::runtime_error&) {
            return false;
        }
    }
    constexpr const char* kProgram = "\\msiexec.exe";
    if (std::strlen(out) + std::strlen(kProgram) >= capacity) {
        LAUNCHER_LOG(ERROR, "GetWIPath", "Windows Installer path does not fit in " << capacity << " bytes: " << out);
        return false;
    }
    std::strcat(out, kProgram);
    return true;
}

}  // namespace

bool GetWIPath(std::string& out) {
    char path[MAX_PATH] = {};
    const bool found = locate(path, sizeof path);
    out = found ? path : "";
    return found;
}
