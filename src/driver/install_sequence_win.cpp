// The install sequence: one straight run on the main thread from the command line to the exit
// code, with a worker thread that writes the archives while the Windows Installer already runs.
#include "driver/install_sequence.h"

#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "config/install_config.h"
#include "config/settings_folder_guard.h"
#include "config/settings_messages.h"
#include "driver/existing_installations.h"
#include "driver/exit_codes.h"
#include "driver/install_flag.h"
#include "driver/install_status.h"
#include "driver/installer_command.h"
#include "driver/machine_install_lock.h"
#include "driver/public_runtime.h"
#include "driver/windows_installer.h"
#include "driver/payload_extraction.h"
#include "driver/user_data_folder.h"
#include "driver/update_agent.h"
#include "platform/dll.h"
#include "platform/errors.h"
#include "platform/executor.h"
#include "platform/handles.h"
#include "platform/locale.h"
#include "platform/logger.h"
#include "platform/message_box.h"
#include "platform/resource.h"
#include "platform/resource_file.h"
#include "platform/sysinfo.h"
#include "platform/tstrings.h"
#include "platform/win_errors.h"
#include "string_ids.h"

namespace {

// Log lines of the sequence carry the launcher's own unit and entry function.
constexpr const char* kUnit = "wrapper";
constexpr const char* kEntry = "WinMain";
constexpr int kLanguageCatchLine = 189;
constexpr int kExitLine = 367;
constexpr unsigned kProductGeneration = 3;
// Room for the longest entry of the string table in any language.
constexpr size_t kWholeEntry = 4096;

void logExitCode(int code) {
    if (logEnabled(INFO)) {
        globalLogger.log(INFO, kUnit, kExitLine, kEntry, "Wrapper exit code: " + tstrings::toString(int32_t{code}));
    }
}

// Step 5: an explicit /lang overrides the language of the user's preferences when supported.
void applyLanguageSetting(InstallConfigData& config, uint16_t& transformLanguage) {
    if (!config.containsKey("/lang")) return;
    const int32_t requested = config.getLanguage();
    try {
        transformLanguage = langIdOf(Locale::fromLangId(requested));
    } catch (const std::exception& e) {
        reportException(e, SourceLocation{kUnit, kEntry, kLanguageCatchLine});
    } catch (...) {
        reportUnknownException(SourceLocation{kUnit, kEntry, kLanguageCatchLine});
    }
}

void showInstallInProgress(HINSTANCE module) {
    const std::string caption = loadStringUtf8(module, IDS_INSTALL_IN_PROGRESS_CAPTION, 256);
    const std::string text = loadStringUtf8(module, IDS_INSTALL_IN_PROGRESS, 1024);
    showMessageBox(text, caption, MB_ICONINFORMATION);
}

void warnUnsupportedSystem(HINSTANCE module, bool silent) {
    if (!silent) {
        MessageBoxDialog dialog(module);
        // The entry carries no placeholder; the substitution only keeps a stray '%' harmless.
        dialog.text = formatSettingsMessage(loadStringUtf8(module, IDS_UNSUPPORTED_OS, kWholeEntry),
                                            tstrings::toString(uint32_t{kProductGeneration}), "", SIZE_MAX);
        dialog.buttons = 0;
        dialog.icon = MB_ICONINFORMATION;
        dialog.show();
    }
    logit("This is an unsupported operationg system.");
}

// Step 19: the caller holds the event until the package's installer has ended (its processes wait
// on it). An event left by another process may already be set, which the package would take for the
// archives being written. The Windows error when there is no event: the package must then not be
// started at all, as it would wait for an event that nobody sets.
DWORD createArchiveEvent(unique_handle& cabEvent) {
    cabEvent.reset(CreateEventA(nullptr, TRUE, FALSE, payload::kCabExtractEventName));
    const DWORD created = GetLastError();
    // The package's wait depends on this event alone: say what the launcher got.
    if (cabEvent) {
        LAUNCHER_LOG(INFO, kEntry, payload::kCabExtractEventName
                                       << (created == ERROR_ALREADY_EXISTS ? " already existed" : " created")
                                       << ", handle " << cabEvent.get());
    } else {
        LAUNCHER_LOG(ERROR, kEntry, "CreateEvent(" << payload::kCabExtractEventName << ") failed with "
                                                   << describeSystemError(created));
        return created ? created : ERROR_INVALID_HANDLE;
    }
    if (cabEvent && created == ERROR_ALREADY_EXISTS) {
        if (ResetEvent(cabEvent.get())) {
            LAUNCHER_LOG(WARNING, kEntry, payload::kCabExtractEventName << " already existed; reset before extracting cabs");
        } else {
            LAUNCHER_LOG(ERROR, kEntry, "ResetEvent(" << payload::kCabExtractEventName << ") failed with "
                                                      << describeSystemError(GetLastError()));
        }
    }
    return ERROR_SUCCESS;
}

// The kit's installer reports these for an installation that took place, the last two with a
// restart to come (3010) or already started (1641).
bool kitInstalled(int installerResult) {
    return installerResult == ERROR_SUCCESS || installerResult == ERROR_SUCCESS_REBOOT_REQUIRED ||
           installerResult == ERROR_SUCCESS_REBOOT_INITIATED;
}

// A payload file that could not be written ends the run with its Windows error code; log is false
// where the failure was logged where it happened (the archive worker, the event).
int endOnPayloadWriteError(const PayloadWriteError& error, bool silent, bool log = false) {
    if (log) logPayloadWriteError(error);
    if (!silent) showPayloadWriteErrorBox(error);
    return static_cast<int>(error.code());
}

// A payload part that is not what the launcher was built with ends the run with 1620; the part was
// logged with both digests where it was found.
int endOnPayloadDamaged(const PayloadDamagedError& error, bool silent) {
    if (!silent) showPayloadDamagedBox(error);
    return exit_code::PayloadDamaged;
}

}  // namespace

int RunInstallSequence(HINSTANCE module) { return RunInstallSequence(module, GetCommandLineW()); }

int RunInstallSequence(HINSTANCE module, const std::wstring& commandLine) {
    // 1-3: library search path, user-interface language, bitness.
    restrictDllSearchToSystemFolder();  // again, for callers other than the launcher's entry
    uint16_t transformLanguage = langIdOf(Locale::preferred());
    const bool nativeX64 = !is32BitProcess();
    int exitCode = exit_code::PackageMissing;
    std::string publicRuntimeDir, installDir, installerArguments, installerLogPath;

    // 4: configuration, from a settings folder nobody but administrators can have led elsewhere.
    if (!SecureSettingsFolders()) {
        logit("The runtime configuration folder cannot be used safely. Exiting installer.");
        return exit_code::ConfigurationError;
    }
    InstallConfigData config(module);
    if (config.LoadConfigSettings(commandLine) != 0) {
        logit("Error occurred while loading configuration settings. Exiting installer.");
        return exit_code::ConfigurationError;
    }

    // 5-10: what the configuration asks for. The settings hold UTF-8; what goes on to command lines
    // goes in the process code page, and a value that has no exact form there ends the run here,
    // before anything is written.
    const bool silent = config.isSilent();
    applyLanguageSetting(config, transformLanguage);
    const auto ansiSetting = [&](const char* key, std::string& value) {
        return !config.containsKey(key) || config.getStringSettingAnsi(key, value, silent);
    };
    std::string msiCmdline;
    if (!ansiSetting("/INSTALLDIRPUBLOOM", publicRuntimeDir) || !ansiSetting("INSTALLDIR", installDir) ||
        !ansiSetting("MSI_CMDLINE", msiCmdline) || !config.installerLogPathAnsi(installerLogPath, silent)) {
        logit("Error occurred while loading configuration settings. Exiting installer.");
        return exit_code::ConfigurationError;
    }
    if (config.containsKey("MSI_CMDLINE")) installerArguments += msiCmdline + " ";
    const bool suppressRuntimeReboot = config.containsKey("REBOOT") && config.getStringSetting("REBOOT") == "ReallySuppress";
    const bool noStartMenu = config.containsKey("NOSTARTMENU") && config.isEnabled("NOSTARTMENU");

    // The marker, the work folders and the update agent's folder all lie under the user data folder.
    char userData[MAX_PATH] = {};
    if (!RequireUserDataFolder(userData)) return exit_code::UserDataFolderMissing;
    if (PayloadFoldersLinked(nativeX64)) return exit_code::LinkedFolder;

    // 11: one installation at a time on the machine, whatever the account, and for this user.
    const auto refuseAsInProgress = [&] {
        if (!silent) showInstallInProgress(module);
        logit("Forge wrapper: Another Mako installation is in progress. You must complete that installation before "
              "you can run this installer.");
        return exit_code::AnotherInstallRunning;
    };
    const MachineInstallLock machineLock;
    if (machineLock.state() == MachineInstallLock::State::HeldByAnother) return refuseAsInProgress();
    const bool machineLockHeld = machineLock.state() == MachineInstallLock::State::Held;
    char flagPath[MAX_PATH] = {};
    bool flagNameTaken = false;
    if (!GetInstallFlagPath(flagPath)) {
        logit("Fail to get the file path for Mako install flag ");
    } else {
        switch (RemoveStaleInstallFlag(flagPath)) {
        case InstallFlagState::Free:
            break;
        case InstallFlagState::HeldByAnother:
            return refuseAsInProgress();
        case InstallFlagState::CannotBeRemoved:
            // Without the machine-wide lock this may be a holder that the system reports so.
            if (!machineLockHeld) return refuseAsInProgress();
            flagNameTaken = true;
        }
    }

    // 12: systems older than Vista get a warning, not a refusal.
    if (osGeneration <= 1) warnUnsupportedSystem(module, silent);

    // 13: hold the marker for the run, unless its name is taken and the machine-wide lock guards the
    // run alone.
    unique_handle installFlag;
    if (flagNameTaken) {
        LAUNCHER_LOG(WARNING, kEntry, "Going on without the install flag: the machine-wide installation lock is held");
    } else if (!(installFlag = SetInstallFlag())) {
        return exit_code::AnotherInstallRunning;
    }

    // Whatever can still refuse the run is settled before an installed copy is removed (14): the
    // package (15), the Windows Installer program (16) and the command (17).
    // 15: the development-kit package, held against writing and deletion until its installer is done.
    char msiPath[MAX_PATH] = {};
    unique_handle heldPackage;
    bool packageWritten = false;
    try {
        packageWritten = PrepareMsiPath(msiPath, nativeX64) &&
                         writeResourceToFile(module, MAKEINTRESOURCEA(payload::kForgePackageResourceId),
                                             payload::kInstallerResourceType, msiPath,
                                             PayloadDigest(module, payload::kForgePackageResourceId), &heldPackage);
    } catch (const PayloadWriteError& e) {
        return endOnPayloadWriteError(e, silent, true);
    } catch (const PayloadDamagedError& e) {
        return endOnPayloadDamaged(e, silent);
    }
    if (!packageWritten) {
        logExitCode(exitCode);
        return exitCode;
    }

    // 16: the Windows Installer program.
    std::string msiexecPath;
    if (!GetWIPath(msiexecPath)) {
        LAUNCHER_LOG(ERROR, kEntry, "The Windows Installer program could not be located: no readable "
                                    "InstallerLocation under HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer");
        return exit_code::NoInstallerPath;
    }

    // 17: the installer command.
    ForgeCommandInputs inputs;
    inputs.silent = silent;
    inputs.installerArguments = installerArguments;
    inputs.hasAddLocalKey = config.containsKey("ADDLOCAL");
    inputs.transformLanguage = transformLanguage;
    inputs.msiexecPath = msiexecPath;
    inputs.msiPath = msiPath;
    inputs.installerLogPath = installerLogPath;
    inputs.installDir = installDir;
    inputs.noStartMenu = noStartMenu;
    const ComposedCommand composed = composeForgeCommand(inputs);
    if (!composed.ok) {
        LAUNCHER_LOG(ERROR, kEntry, "The installer command was not run: " << composed.failure());
        logExitCode(exit_code::InvalidCommandLine);
        return exit_code::InvalidCommandLine;
    }
    installerArguments = composed.installerArguments;
    const std::string& finalCommand = composed.command;

    // 14: deal with an installed copy of this version.
    if (UninstallLoomOrForgeIfSameVersionExists(silent, nativeX64) == 0) return exit_code::AnotherInstallRunning;
    logit(tstrings::format("szForgeExeCommand = %s\n", finalCommand.c_str()));

    // 18: persist the settings before anything is installed. A failure ends the run before any
    // installer runs, with the configuration-error code.
    if (config.exportSettings() != 0) {
        logit("Error occurred while exporting configuration settings. Exiting installer.");
        return exit_code::ConfigurationError;
    }

    // 19-21: archives on the worker, the installer on this thread, one rerun on request.
    unique_handle cabEvent;
    if (const DWORD error = createArchiveEvent(cabEvent)) {
        config.restoreSettings();
        return endOnPayloadWriteError(PayloadWriteError("Installer : Wrapper.CreateEvent ", error,
                                                        payload::kCabExtractEventName),
                                      silent);
    }
    {
        ArchiveWorker archiveWorker(module);
        exitCode = static_cast<int>(Executor::ExecProcessWithMessageLoop(msiexecPath, finalCommand));
        char installStatus[512] = {};
        if (GetInstallStatus(installStatus, sizeof installStatus) && std::strcmp(installStatus, "reinstall") == 0) {
            SetInstallStatus(nullptr);
            exitCode = static_cast<int>(Executor::ExecProcessWithMessageLoop(msiexecPath, finalCommand));
        }
        heldPackage.reset();
        // An archive that could not be written ends the run once its installer is done with it; the
        // runtime settings are put back first.
        if (const std::optional<PayloadWriteError>& failure = archiveWorker.finish()) {
            config.restoreSettings();
            return endOnPayloadWriteError(*failure, silent);
        }
        // Whatever the installer made of an emptied archive, the run failed on a damaged launcher.
        if (const std::optional<PayloadDamagedError>& damaged = archiveWorker.damaged()) {
            config.restoreSettings();
            return endOnPayloadDamaged(*damaged, silent);
        }
    }

    // 22: a failed installation puts the runtime settings file back.
    const bool installed = kitInstalled(exitCode);
    if (!installed) {
        logit(tstrings::format("Forge installation failed.  Return Code: %d, ErrorCode: %d", exitCode,
                               static_cast<int>(GetLastError())));
        config.restoreSettings();
    }

    // 23: the public runtime in silent mode, then the update agent after a good install.
    if (silent && selectsPublicRuntime(installerArguments)) {
        RunPublicRuntime(noStartMenu, publicRuntimeDir, suppressRuntimeReboot);
    }
    if (installed && IsLoomRegistered(nativeX64)) {
        try {
            if (ExtractAndInstallAU(module, config.isEnabled("AUTO_UPDATE")) == update_agent::kAgentFolderLinked) {
                exitCode = exit_code::LinkedFolder;
            }
        } catch (const PayloadWriteError& e) {
            return endOnPayloadWriteError(e, silent, true);
        }
    }

    // 24: normal end.
    logExitCode(exitCode);
    return exitCode;
}

int LauncherMain(HINSTANCE module) {
    try {
        return RunInstallSequence(module);
    } catch (const std::exception& e) {
        reportException(e, SourceLocation{kUnit, kEntry, __LINE__});
    } catch (...) {
        reportUnknownException(SourceLocation{kUnit, kEntry, __LINE__});
    }
    logExitCode(exit_code::UnexpectedException);
    return exit_code::UnexpectedException;
}
