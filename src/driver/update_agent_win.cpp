#include "driver/update_agent.h"

#include <optional>

#include "driver/existing_installations_keys.h"
#include "driver/payload_extraction.h"
#include "driver/payload_paths.h"
#include "driver/user_data_folder.h"
#include "driver/windows_installer.h"
#include "driver/wrapper_utils_log.h"
#include "platform/errors.h"
#include "platform/executor.h"
#include "platform/file_system.h"
#include "platform/handles.h"
#include "platform/logger.h"
#include "platform/registry.h"
#include "platform/resource_file.h"
#include "platform/sysinfo.h"
#include "platform/tstrings.h"
#include "product/au_config.h"
#include "product/version.h"

using namespace update_agent;

namespace {

// The agent's lines have always carried these line numbers.
constexpr int kNoVersionLine = 1448;
constexpr int kScheduleNotReadLine = 1380;
constexpr int kSettingsWriteLine = 1415;
constexpr int kRegistrationLine = 1433;
constexpr size_t kVersionCapacity = 2048;

// The installed agent's version; nothing when there is none or its text is not a version (an
// agent we cannot place is replaced without reading its policy).
std::optional<AgentVersionDetails> installedAgent() {
    std::string text;
    if (!GetAUVersion(text)) return std::nullopt;
    try {
        return AgentVersionDetails(text);
    } catch (const std::exception& e) {
        logit("Installed AU version is not usable, treated as no AU installed: " + std::string(e.what()));
        return std::nullopt;
    }
}

const AgentVersionDetails& bundledAgent() {
    static const AgentVersionDetails version(kBundledVersion);
    return version;
}

}  // namespace

bool IsLoomRegistered(bool nativeX64) {
    return RegistryKey::exists(nativeX64 ? RegistryKey::machine64() : RegistryKey::machine32(),
                               loomVersionKey());
}

bool GetAUVersion(std::string& out) {
    try {
        const RegistryKey key = RegistryKey::open(RegistryKey::machine32(), kVersionKey);
        const RegistryValue value = key.queryValue("AUVersion");
        if (value.bytes.size() > kVersionCapacity) return false;
        const std::string text(value.bytes.begin(), value.bytes.end());
        out = text.substr(0, text.find('\0'));
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

bool IsAUInstalledOlder() {
    const auto installed = installedAgent();
    return installed && VersionDetails::greaterThan(bundledAgent(), *installed);
}

bool IsAUUpgradable() {
    const auto installed = installedAgent();
    return !installed || VersionDetails::greaterThan(bundledAgent(), *installed);
}

bool IsAUOlderThanForge3() {
    const auto installed = installedAgent();
    if (!installed) {
        WRAPPER_UTILS_LOG(INFO, kNoVersionLine, "IsAUOlderThanForge3",
                          "Failed to determine AU version. Most probably there is no AU installed");
        return false;
    }
    return VersionDetails::greaterThan(AgentVersionDetails(kFirstCurrentVersion), *installed);
}

uint32_t UninstallAU() {
    std::string msiexec;
    GetWIPath(msiexec);
    return Executor::ExecProcessWithMessageLoop(msiexec,
                                                tstrings::format("\"%s\" /x %s /qn", msiexec.c_str(), kProductCode));
}

int32_t InstallAutoUpdate(const std::string& packagePath, bool enabled) {
    std::string msiexec;
    if (!GetWIPath(msiexec)) {
        logit("Error: InstallAutoUpdate(), couldn't find WIPath");
        return kAgentInstallerOrRegistrationFailed;
    }
    if (!IsAUUpgradable()) {
        logit("AU is not upgradable - Installed version >= the bundled version.\n");
        return kAgentNotNewer;
    }
    // Composed (and refused) before the old agent's policy is read or the agent removed, so that a
    // refused command leaves both alone.
    const ComposedCommand command = composeAgentInstallCommand(msiexec, packagePath, enabled);
    if (!command.ok) {
        LAUNCHER_LOG(ERROR, "InstallAutoUpdate",
                     "The update agent's install command was not run: it would be "
                         << command.failedLength << " characters long; at most " << kProcessCommandCapacity - 1
                         << " fit");
        return kAgentCommandTooLong;
    }

    const bool hadOlder = IsAUInstalledOlder();
    au::Schedule kept = au::randomSchedule();
    int32_t keptNotify = 0;
    bool scheduleRead = false;
    if (hadOlder) {
        au::Config config(IsAUOlderThanForge3() ? 0 : 1);
        kept = config.getSchedule(&scheduleRead);
        if (!scheduleRead) {
            WRAPPER_UTILS_LOG(WARNING, kScheduleNotReadLine, "InstallAutoUpdate",
                              "Failed to get existing AU schedule setting.");
        }
        keptNotify = config.readOrResetNotifyType();
    }

    if (IsAUInstalledOlder()) UninstallAU();
    logit(enabled ? "Auto Update is enabled" : "Auto Update is disabled via configuration settings");

    const uint32_t rc = Executor::ExecProcessWithMessageLoop(msiexec, command.command);
    if (rc != 0) {
        logit("Auto Update install failed");
        return static_cast<int32_t>(rc);
    }

    if (hadOlder) {
        try {
            au::Config config(1);
            if (scheduleRead) config.setSchedule(kept);
            config.setNotifyType(keptNotify);
        } catch (const std::exception& e) {
            reportException(e, SourceLocation{wrapper_utils::kUnit, "InstallAutoUpdate", kSettingsWriteLine});
        } catch (...) {
            reportUnknownException(SourceLocation{wrapper_utils::kUnit, "InstallAutoUpdate", kSettingsWriteLine});
        }
    }

    try {
        const std::string program = joinPath(SysInfo::getProgramFilesCommonX86Dir(), kRegistrationProgram);
        const std::string arguments = program + tstrings::format(" -r loom %s", productVersion().source().c_str());
        return Executor::ExecProcessWaitForFinish(program, arguments, 1) != 0 ? kAgentInstallerOrRegistrationFailed : kAgentInstalled;
    } catch (const std::exception& e) {
        reportException(e, SourceLocation{wrapper_utils::kUnit, "InstallAutoUpdate", kRegistrationLine});
    } catch (...) {
        reportUnknownException(SourceLocation{wrapper_utils::kUnit, "InstallAutoUpdate", kRegistrationLine});
    }
    return kAgentRegistrationRaised;
}

int32_t ExtractAndInstallAU(HINSTANCE moduleInstance, bool autoUpdateEnabled) {
    char userData[MAX_PATH] = {};
    // Without the folder the package would land under the drive's root, where anyone may write.
    if (!RequireUserDataFolder(userData)) return kAgentFolderNotCreated;
    const std::string brennic = std::string(userData) + "\\Brennic\\";
    const std::string mako = brennic + "Mako\\";
    const std::string agent = mako + "AU\\";
    const std::string package = agent + "au.msi";
    // A cut path would put the package somewhere else; refuse it like a folder we cannot create.
    if (package.size() >= MAX_PATH) {
        LAUNCHER_LOG(ERROR, "ExtractAndInstallAU",
                     "The update agent's package path would be " << package.size() << " characters long; at most "
                                                                 << MAX_PATH - 1 << " fit");
        return kAgentFolderNotCreated;
    }
    const struct {
        const std::string& folder;
        const char* failure;
    } folders[] = {
        {brennic, "Can not create the Brennic directory to extract installer files. \n"},
        {mako, "Can not create the Mako directory to extract installer files. \n"},
        {agent, "Can not create the AU directory to extract installer files. \n"},
    };
    for (const auto& f : folders) {
        if (!CreateDirectoryA(f.folder.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
            logit(f.failure);
            return kAgentFolderNotCreated;
        }
        if (IsLinkedFolder(f.folder)) return kAgentFolderLinked;
    }
    unique_handle held;
    try {
        if (!writeResourceToFile(moduleInstance, MAKEINTRESOURCEA(payload::kAgentPackageResourceId),
                                 payload::kInstallerResourceType, package,
                                 PayloadDigest(moduleInstance, payload::kAgentPackageResourceId), &held))
            return kAgentPackageMissing;
    } catch (const PayloadDamagedError&) {
        return kAgentPackageDamaged;  // logged with its digests; never installed
    }
    return InstallAutoUpdate(package, autoUpdateEnabled);
}
