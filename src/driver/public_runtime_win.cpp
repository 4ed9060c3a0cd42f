#include "driver/public_runtime.h"

#include <stdexcept>

#include "driver/existing_installations_keys.h"
#include "driver/installer_command.h"
#include "platform/access_rules.h"
#include "platform/executor.h"
#include "platform/file_system.h"
#include "platform/logger.h"
#include "platform/registry.h"
#include "platform/tstrings.h"

namespace {

// "MakoHome" of this version's kit key into out; on failure logs which step failed.
bool FindForgeHome(char (&out)[kCommandCapacity]) {
    RegistryKey key;
    try {
        key = RegistryKey::open(RegistryKey::machine(), forgeVersionKey());
    } catch (const std::runtime_error&) {
        logit("FindForgeHome: Failed to open Forge main key!!");
        return false;
    }
    if (!key.queryTextInto("MakoHome", out, sizeof out, false)) {
        logit("FindForgeHome: Failed to query MakoHome value!!");
        return false;
    }
    return true;
}

}  // namespace

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
        // It runs elevated: a program that someone else may have changed or replaced is not started.
        const std::string writers =
            command.ok ? untrustedWritersOf(tstrings::multiByteToUtf8(runtimeInstaller)) : std::string();
        if (command.ok && writers.empty()) {
            Executor::ExecProcessWaitForFinish(runtimeInstaller, command.command, 1);
            outcome = PublicRuntimeOutcome::Ran;
        } else if (command.ok) {
            LAUNCHER_LOG(ERROR, "RunPublicRuntime",
                         "public runtime not installed: " << runtimeInstaller
                                                          << " may be changed by accounts other than administrators: "
                                                          << tstrings::utf8ToMultiByte(writers));
            outcome = PublicRuntimeOutcome::Refused;
        } else {
            LAUNCHER_LOG(ERROR, "RunPublicRuntime", "public runtime not installed: " << command.failure());
            outcome = PublicRuntimeOutcome::Refused;
        }
    }
    // The runtime installer is not left in the kit's folder, whether or not it ran.
    DeleteFileA(runtimeInstaller.c_str());
    return outcome;
}
