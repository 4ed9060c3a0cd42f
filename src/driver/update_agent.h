#pragma once
// The update agent: written from the launcher's resources after a good installation, installed
// unless an equal or newer agent is present, an older one replaced with its schedule and
// notification choice carried over, then the runtime registered with it.
#include <cstddef>
#include <cstdint>
#include <string>

#include "driver/installer_command.h"
#include "product_facts.h"

namespace update_agent {

constexpr const char* kBundledVersion = MAKO_AGENT_VERSION;
constexpr const char* kFirstCurrentVersion = "2.3.0.0";  // first agent of the current policy layout
constexpr const char* kProductCode = MAKO_AGENT_PRODUCT_CODE;
constexpr const char* kVersionKey = "SOFTWARE\\Velmora\\Auto Update";
constexpr const char* kRegistrationProgram = "\\Mako\\Mako Update\\maureg.exe";

// ExtractAndInstallAU: a folder on the package's way is a link or junction; nothing was written.
constexpr int32_t kAgentFolderLinked = -6;

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
// held against writing and deletion while it is installed. -1 when a folder cannot be created (or
// the package path would not fit in MAX_PATH), update_agent::kAgentFolderLinked when one is a link
// or junction (IsLinkedFolder), -5 when the package resource is missing, else InstallAutoUpdate's
// status. The caller ignores the result except kAgentFolderLinked.
int32_t ExtractAndInstallAU(HINSTANCE moduleInstance, bool autoUpdateEnabled);

// 0 installed and registered; -2 an equal or newer agent is installed (nothing run); -3 no Windows
// Installer path, or the registration program failed; -4 the registration step raised; 1639 the
// install command could not be run as composed (nothing run); any other value the Windows
// Installer's result of the agent installation (an old agent is then already removed).
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
