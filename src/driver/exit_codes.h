#pragma once
// The launcher's exit codes. Deployment scripts rely on these numbers: never renumber them.
// On the normal path the exit code is the Windows Installer's own result (0 success, 3010 success
// with a restart pending, 1603 fatal error, ...).
namespace exit_code {

constexpr int Success = 0;
constexpr int PackageMissing = 1;           // the development-kit package is not in the launcher
constexpr int UserDataFolderMissing = 3;    // ERROR_PATH_NOT_FOUND: no per-user folder to write the payload to
constexpr int LinkedFolder = 5;             // ERROR_ACCESS_DENIED: a folder to write into is a link or junction
constexpr int AnotherInstallRunning = -1;   // marker held by another launcher, or refused by an installed copy
constexpr int NoInstallerPath = -3;         // the Windows Installer program could not be located
constexpr int ConfigurationError = -80;     // a configuration source is faulty, or the export failed
constexpr int UnexpectedException = -99;    // an exception reached the entry point
constexpr int ExecutorFailed = 1627;        // ERROR_FUNCTION_FAILED: the installer could not be run
constexpr int PayloadDamaged = 1620;         // ERROR_INSTALL_PACKAGE_INVALID: a payload part's digest differs
constexpr int InvalidCommandLine = 1639;    // ERROR_INVALID_COMMAND_LINE: a command would not fit

}  // namespace exit_code
