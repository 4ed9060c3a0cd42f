#pragma once
// The update agent: written from the launcher's resources after a good installation, installed
// unless an equal or newer agent is present, an older one replaced with its schedule and
// notification choice carried over, then the runtime registered with it.
#include <cstddef>
#include <cstdint>
#include <string>

#include "driver/exit_codes.h"
#include "driver/installer_command.h"
#include "product_facts.h"

namespace update_agent {

constexpr const char* kBundledVersion = MAKO_AGENT_VERSION;
constexpr const char* kFirstCurrentVersion = "2.3.0.0";  // first agent of the current policy layout
constexpr const char* kProductCode = MAKO_AGENT_PRODUCT_CODE;
constexpr const char* kVersionKey = "SOFTWARE\\Velmora\\Auto Update";
constexpr const char* kRegistrationProgram = "\\Mako\\Mako Update\\maureg.exe";

// Statuses of the agent's installation. They are logged and never become the launcher's exit code,
// except kAgentFolderLinked; any other value is the Windows Installer's result.
constexpr int32_t kAgentInstalled = 0;
constexpr int32_t kAgentFolderNotCreated = -1;  // or the package path would not fit in MAX_PATH
constexpr int32_t kAgentNotNewer = -2;          // an equal or newer agent is installed; nothing run
constexpr int32_t kAgentInstallerOrRegistrationFailed = -3;
constexpr int32_t kAgentRegistrationRaised = -4;
constexpr int32_t kAgentPackageMissing = -5;
constexpr int32_t kAgentFolderLinked = -6;  // a folder on the package's way is a link; nothing written
constexpr int32_t kAgentPackageDamaged = -7;  // the package's digest differs; emptied, not installed
constexpr int32_t kAgentCommandTooLong = exit_code::InvalidCommandLine;  // nothing run

// CreateProcess takes at most 32,767 characters including the terminator.
constexpr size_t kProcessCommandCapacity = 32767;

}  // namespace update_agent

// "<msiexec>" /i "<package>" ALLUSERS=1 /qn, or with DISABLE=1 right after the package's closing
// quote when the agent is to be installed disabled. Never cut: refused (buffer "agentCommand") when
// it would not fit in a process command line.
ComposedCommand composeAgentInstallCommand(const std::string& msiexecPath, const std::string& packagePath,
                                           bool enabled);

#if defined(_WIN32)
#include "platform/win32.h"

// The runtime of this version is registered: its key opens for reading in the registry view of the
// launcher's own bitness (the 64-bit view when nativeX64).
bool IsLoomRegistered(bool nativeX64);

// Writes the agent's package to <user data>\Brennic\Mako\AU\au.msi and installs it, the package
// held against writing and deletion while it is installed. kAgentFolderNotCreated,
// kAgentFolderLinked (IsLinkedFolder), kAgentPackageMissing, kAgentPackageDamaged, else
// InstallAutoUpdate's status.
int32_t ExtractAndInstallAU(HINSTANCE moduleInstance, bool autoUpdateEnabled);

// kAgentInstalled (and registered), kAgentNotNewer, kAgentInstallerOrRegistrationFailed (no Windows
// Installer path, or the registration program failed), kAgentRegistrationRaised, kAgentCommandTooLong,
// or the Windows Installer's result of the agent installation (an old agent is then already removed).
int32_t InstallAutoUpdate(const std::string& packagePath, bool enabled);

// The installed agent's "AUVersion" text (32-bit view). False when the key or value cannot be read.
bool GetAUVersion(std::string& out);
// An agent is installed and the bundled one is newer. An unparsable version counts as no agent.
bool IsAUInstalledOlder();
// No agent is installed (or its version is unparsable), or the bundled one is newer.
bool IsAUUpgradable();
// The installed agent predates the current policy layout. False (logged) when there is none.
bool IsAUOlderThanForge3();
// Removes the installed agent by its product code; the Windows Installer's result.
uint32_t UninstallAU();
#endif
