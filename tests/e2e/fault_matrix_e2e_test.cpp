// The faults a silent run can meet, one row each, end to end under Wine. Every row starts from the
// runtime settings file below and asks for a change that the export writes, and checks: the exit
// code, a log entry, the settings file (as before the run, or exactly the exported one where the
// installation went ahead), no stray file in the work folders or beside the settings file, and no
// marker after the run. Then launchers started together.
#include <set>
#include <tuple>

#include "e2e/e2e_support.h"
// after windows.h
#include <sddl.h>

namespace {

using namespace e2e;

// An administrator's file; the launcher rewrites it in its own form, a restore gives it back as it was.
const char kSettingsBefore[] = "# kept as it was\r\nSPONSORS=Disable\n\nAUTO_UPDATE=Disable\r\n";
const char kSettingsExported[] = "AUTO_UPDATE=Enable\r\nSPONSORS=Disable\r\n";
const char kArguments[] = "/s AUTO_UPDATE=Enable ";
constexpr UINT kEndedByForce = 0xDEAD;

// Files other than the payload, the marker's folder's (none after the run) and the settings file.
std::vector<std::string> strayFiles() {
    const std::vector<std::string> payload(std::begin(kPayloadFiles), std::end(kPayloadFiles));
    const std::vector<std::pair<std::string, std::vector<std::string>>> expected = {
        {workFolder(kWorkFolderName), payload}, {workFolder(kOtherWorkFolderName), payload},
        {localLowFolder() + "\\Halden\\Mako", {}}, {localLowFolder() + "\\Brennic\\Mako\\AU", {"au.msi"}},
        {runtimeSettingsFolder(), {"mako.settings.cfg"}}};
    std::vector<std::string> stray;
    for (const auto& [folder, names] : expected)
        for (const std::string& name : filesIn(folder))
            if (std::find(names.begin(), names.end(), name) == names.end()) stray.push_back(folder + "\\" + name);
    return stray;
}

// Calls of the kit's installer, the update agent's left out.
size_t kitCalls(const LauncherRun& run) {
    const auto kit = [](const RecordedCall& call) { return field(call, "command").find("au.msi") == std::string::npos; };
    return std::count_if(run.installerCalls.begin(), run.installerCalls.end(), kit);
}

// Public: the rows' set-up functions take the fixture.
class FaultMatrixE2E : public LauncherE2E {
public:
    using LauncherE2E::nextRunFolder;
    // What a row sets up beside the launcher under test; ended or put back after the row.
    struct Stage {
        // The run folders of the launcher under test (its TEMP) and of the first one; where a full file
        // system is mounted above the runtime settings folder.
        std::string folder, firstFolder, fullDisk;
        Environment env = {{"MAKO_TEST_MSIEXEC_RESULT", "0"}};
        std::unique_ptr<Process> holder, first;  // hold_file; a launcher waiting inside the installer
        // The launcher under test is ended inside the installer; a folder stands under the marker's name.
        bool endByForce = false, markerFolder = false;
        Key deniedKey;
        std::vector<BYTE> savedSecurity;
        std::unique_ptr<LocalLowRedirect> localLow;  // another account's LocalLow, while a row needs it
        Handle eventSquatter;  // another kind of object under the archive event's name
    };
    Stage stage;

    // hold_file keeps path open for writing, sharing reading only, until ended or for the time given.
    void hold(const std::string& path, DWORD milliseconds = 600000) {
        const Handle ready(CreateEventA(nullptr, TRUE, FALSE, "mako-e2e-held"));
        stage.holder = std::make_unique<Process>();
        EXPECT_TRUE(stage.holder->start(E2E_HOLD_FILE_EXE, "\"" + path + "\" " + std::to_string(milliseconds) + " mako-e2e-held"))
            << stage.holder->error;
        EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(ready.get(), 60000)) << "hold_file did not take " << path;
    }

    // A launcher whose installer (the recording msiexec.exe) waits until <folder>release exists.
    void startPaused(Process& process, const std::string& folder, const std::string& arguments = kArguments) {
        Environment env = stage.env;
        env.emplace_back("MAKO_TEST_PAUSE_UNTIL", folder + "release");
        start(process, E2E_SETUP_EXE, arguments, folder, env);
        ASSERT_TRUE(waitFor([&] { return fileExists(folder + "release.waiting"); }, &process)) << "the launcher did not reach the installer";
    }

    // Denies everyone reading the key; the handle is kept for putting its rules back.
    void denyReading(const char* path) {
        ASSERT_TRUE(stage.deniedKey = openKey(path, READ_CONTROL | WRITE_DAC, 0)) << path;
        HKEY key = stage.deniedKey.get();
        DWORD size = 0;
        RegGetKeySecurity(key, DACL_SECURITY_INFORMATION, nullptr, &size);
        stage.savedSecurity.resize(size);
        ASSERT_EQ(ERROR_SUCCESS, RegGetKeySecurity(key, DACL_SECURITY_INFORMATION, stage.savedSecurity.data(), &size));
        PSECURITY_DESCRIPTOR denied = nullptr;
        ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorA("D:(D;;KR;;;WD)(A;;KA;;;WD)", SDDL_REVISION_1, &denied, nullptr));
        EXPECT_EQ(ERROR_SUCCESS, RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, denied));
        LocalFree(denied);
    }

    // A one-page tmpfs is mounted on the common application data folder (a mount point at the settings
    // folders themselves is refused) and the settings file copied onto it, so that any further file
    // there gets no byte written (ERROR_DISK_FULL).
    void fillDiskUnderSettings() {
        stage.fullDisk = unixPath(knownFolder(FOLDERID_ProgramData));
        const std::string file = unixPath(runtimeSettingsFile()), copy = unixPath(nextRunFolder() + "mako.settings.cfg");
        runShell("cp '" + file + "' '" + copy + "' && mount -t tmpfs -o size=4k mako-e2e-full '" + stage.fullDisk + "'");
        createFolders(runtimeSettingsFolder());
        runShell("cp '" + copy + "' '" + file + "'");
        ULARGE_INTEGER available{};
        ASSERT_TRUE(GetDiskFreeSpaceExA(runtimeSettingsFolder().c_str(), &available, nullptr, nullptr));
        ASSERT_EQ(0u, available.QuadPart) << "no full file system under the settings folder (mount needs root)";
    }

    void endStage() {
        stage.localLow.reset();
        if (stage.markerFolder) RemoveDirectoryA(markerPath().c_str());
        stage.holder.reset();
        if (stage.first) {
            writeFile(stage.firstFolder + "release", "");
            const LauncherRun first = finish(*stage.first, stage.firstFolder);
            EXPECT_EQ(0, first.exitCode) << first.lastMessage();
        }
        EXPECT_TRUE(!stage.deniedKey ||
                    RegSetKeySecurity(stage.deniedKey.get(), DACL_SECURITY_INFORMATION, stage.savedSecurity.data()) == ERROR_SUCCESS);
        if (!stage.fullDisk.empty()) {
            runShell("umount '" + stage.fullDisk + "'");
            DeleteFileA(runtimeSettingsFile().c_str());  // the one under the mount: the folder ends empty
        }
        for (const std::string& folder : {workFolder(kWorkFolderName), runtimeSettingsFolder()})
            if (!(GetFileAttributesA(folder.c_str()) & FILE_ATTRIBUTE_DIRECTORY)) DeleteFileA(folder.c_str());
        stage = Stage{};
    }

    void TearDown() override {
        endStage();
        LauncherE2E::TearDown();
    }
};

// A file where a folder must be (removed again by endStage).
void fileForFolder(const std::string& folder) {
    emptyFolder(folder);
    EXPECT_TRUE(RemoveDirectoryA(folder.c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND) << GetLastError();
    writeFile(folder, "not a folder");
}

TEST_F(FaultMatrixE2E, EachFaultEndsWithItsExitCodeAndLosesNoSetting) {
    ASSERT_EQ(1252u, GetACP()) << "run with LC_ALL=en_US.UTF-8";
    using Prepare = std::function<std::string(FaultMatrixE2E&)>;  // returns further arguments
    struct Row {
        const char* fault;
        Prepare prepare;
        const char* program;
        long exitCode;
        std::string logged;  // part of one log entry, "<LEVEL>: <message>"; empty: nothing logged
        bool exported;       // the settings file is the exported one rather than the one before the run
        size_t kitCalls;
        std::function<void(const LauncherRun&)> check = nullptr;
        const char* settingsAfter = nullptr;  // the settings file after the run, when neither of the above
    };
    const auto none = [](FaultMatrixE2E&) { return std::string(); };
    // installed: the installer's result says the kit is in place, so the exported settings stay.
    const auto installerResult = [](const char* fault, long result, bool installed = false) {
        const std::string code = std::to_string(result);
        return Row{fault, [code](FaultMatrixE2E& t) { return t.stage.env = {{"MAKO_TEST_MSIEXEC_RESULT", code}}, std::string(); },
                   E2E_SETUP_EXE, result, "INFO: Wrapper exit code: " + code, installed, 1, [installed](const LauncherRun& run) {
                       EXPECT_EQ(!installed, run.logged("INFO: Forge installation failed.")) << run.log;
                   }};
    };
    const auto configurationError = [](const char* fault, Prepare prepare, const std::string& logged, const char* program = E2E_SETUP_EXE) {
        return Row{fault, std::move(prepare), program, -80, logged, false, 0, [](const LauncherRun&) {
                       EXPECT_FALSE(fileExists(workFolder(kWorkFolderName) + "\\forge3.1.0_27.msi")) << "package written";
                   }};
    };
    const auto args = [](const std::string& text) { return [text](FaultMatrixE2E&) { return text; }; };
    const char* const kit = E2E_SETUP_EXE;
    const std::string unable = "ERROR: Unable to install Mako\n\n";
    const std::string settingsNotWritten = "ERROR: Fails on writing to the runtime config file.";
    const std::string japanese = "\xE6\x97\xA5\xE6\x9C\xAC", kitDir = "C:\\Kits\\" + japanese;
    const std::string refused = " contains characters that the language for non-Unicode programs of this computer cannot represent.";
    const std::string noInstaller = "ERROR: The Windows Installer program could not be located";

    // Launchers damaged on their way: one byte changed in the kit's package, the first, the second
    // (the one the stand-in package installs from) and the last archive, the update agent's package.
    std::map<std::string, std::string> damaged;
    using Part = std::tuple<const char*, const char*, int>;
    for (const auto& [name, type, id] : {Part{"kit", "MAKO_INSTALLER", 101}, Part{"ss", "MAKO_CAB9", 110},
                                         Part{"st", "MAKO_CAB10", 111}, Part{"sz", "MAKO_CAB11", 112},
                                         Part{"agent", "MAKO_INSTALLER", 105}})
        ASSERT_FALSE((damaged[name] = damagedLauncher(type, id, std::string("damaged-") + name + ".exe")).empty()) << name;
    const auto damagedArchive = [&damaged](const char* fault, const char* prefix, bool realInstaller) {
        const std::string archive = std::string(prefix) + "310270.cab";
        return Row{fault, [realInstaller](FaultMatrixE2E& t) { return realInstaller ? t.stage.env.clear() : void(), std::string(); },
                   damaged.at(prefix).c_str(), 1620, "ERROR: " + workFolder(kWorkFolderName) + "\\" + archive +
                   " is damaged: expected CRC-32C ", false, 1, [archive, realInstaller](const LauncherRun& run) {
                       const RecordedCall& call = run.installerCalls.at(0);
                       EXPECT_EQ("signalled", field(call, "event"));  // the installer never waited
                       EXPECT_THAT(field(call, "archives"), HasSubstr(archive + " has 0 bytes"));
                       EXPECT_FALSE(realInstaller && kitRegistered()) << "installed from a damaged archive";
                   }};
    };
    const std::vector<Row> rows = {
        {"package work folder is a file", [](FaultMatrixE2E&) { return fileForFolder(workFolder(kWorkFolderName)), std::string(); },
         kit, ERROR_PATH_NOT_FOUND, "ERROR: Installer : Wrapper.CreateFile  failed with error 3: ", false, 0},
        {"archive resource 112 missing", none, E2E_SETUP_NOCAB_EXE, 0, "INFO: Wrapper exit code: 0", true, 1,
         [](const LauncherRun& run) {
             EXPECT_EQ("signalled", field(run.installerCalls.at(0), "event"));
             EXPECT_EQ("sz310270.cab missing", field(run.installerCalls.at(0), "archives"));
         }},
        {"package resource 101 missing", none, E2E_SETUP_NOKIT_EXE, 1, "INFO: Wrapper exit code: 1", false, 0},
        {"package resource 101 damaged", none, damaged.at("kit").c_str(), 1620,
         "ERROR: " + workFolder(kWorkFolderName) + "\\forge3.1.0_27.msi is damaged: expected CRC-32C ", false, 0,
         [](const LauncherRun& run) {
             EXPECT_THAT(run.log, ::testing::ContainsRegex("CRC-32C \\w\\w\\w\\w\\w\\w\\w\\w, found \\w\\w\\w\\w\\w\\w\\w\\w\n"));
         }},
        damagedArchive("first archive damaged", "ss", false),
        damagedArchive("archive the package installs from damaged (real installer)", "st", true),
        damagedArchive("last archive damaged", "sz", false),
        {"agent package damaged (real installer)", [](FaultMatrixE2E& t) { return t.stage.env.clear(), std::string(); },
         damaged.at("agent").c_str(), 0, "ERROR: " + localLowFolder() + "\\Brennic\\Mako\\AU\\au.msi is damaged: ", true, 1,
         [](const LauncherRun& run) {
             EXPECT_EQ(1u, run.installerCalls.size()) << "an agent was installed";
             expectKitInstalled();
         }},
        {"agent resource 105 missing (real installer)", [](FaultMatrixE2E& t) { return t.stage.env.clear(), std::string(); },
         E2E_SETUP_NOAGENT_EXE, 0, "INFO: Wrapper exit code: 0", true, 1,
         [](const LauncherRun& run) {
             EXPECT_EQ(1u, run.installerCalls.size()) << "an agent was installed";
             EXPECT_TRUE(runtimeRegistered()) << "the runtime that lets the agent in is missing";
         }},
        {"no installer location", [](FaultMatrixE2E&) { return deleteValue(kInstallerKey, "InstallerLocation"), std::string(); },
         kit, -3, noInstaller, false, 0},
        {"installer key may not be read", [](FaultMatrixE2E& t) { return t.denyReading(kInstallerKey), std::string(); }, kit,
         -3, noInstaller, false, 0},
        // Refused like a newer build, never taken for no installed copy.
        {"kit key of this version may not be read",
         [](FaultMatrixE2E& t) { return setString(kKitKey, "BuildNumber", "9"), t.denyReading(kKitKey), std::string(); },
         kit, -1, "ERROR: Error Opening registry key SOFTWARE\\Velmora\\Mako Development Kit\\3.1.0_27: 5", false, 0},
        // FILLER=<2100 x> plus a space, " /qn" and the default ADDLOCAL: 2152 characters.
        {"installer arguments too long", args("MSI_CMDLINE=FILLER=" + std::string(2100, 'x')), kit, 1639,
         "ERROR: The installer command was not run: installerArguments would be 2152 characters long; at most 2047 fit", false, 0},
        // The folder fits a configured folder's 260 bytes.
        {"install folder pushes the command past its buffer",
         args("MSI_CMDLINE=FILLER=" + std::string(1700, 'x') + " INSTALLDIR=C:\\Kits\\" + std::string(241, 'd')), kit,
         1639, "ERROR: The installer command was not run: finalCommand would be ", false, 0},
        installerResult("installer result 1603", 1603),
        installerResult("installer result 3010 (installed, restart needed)", 3010, true),
        installerResult("installer result 1641 (installed, restart started)", 1641, true),
        installerResult("installer crashed (access violation)", static_cast<long>(0xC0000005)),
        {"runtime settings folder is a file", [](FaultMatrixE2E&) { return fileForFolder(runtimeSettingsFolder()), std::string(); },
         kit, -80, settingsNotWritten, false, 0},
        {"runtime settings file held without write sharing", [](FaultMatrixE2E& t) { return t.hold(runtimeSettingsFile()), std::string(); },
         kit, -80, settingsNotWritten, false, 0},
        {"disk full while the runtime settings file is saved",
         [](FaultMatrixE2E& t) { return t.fillDiskUnderSettings(), std::string(); }, kit, -80, settingsNotWritten, false, 0,
         [](const LauncherRun&) {
             EXPECT_EQ(std::vector<std::string>{"mako.settings.cfg"}, filesIn(runtimeSettingsFolder())) << "staged file left";
         }},
        // Wine makes a file's rules from its Unix mode: a mode that lets others write gives Everyone write rights.
        {"install configuration file others may change",
         [](FaultMatrixE2E& t) {
             writeFile(t.stage.folder + "install.cfg", "SPONSORS=Disable\n");
             runShell("chmod o+w '" + unixPath(t.stage.folder + "install.cfg") + "'");
             return "INSTALLCFG=" + t.stage.folder + "install.cfg";
         },
         kit, 0, "install.cfg may be changed by accounts other than administrators: Everyone (file). It is used as it is.",
         true, 1},
        {"kit folder others may change",
         [](FaultMatrixE2E& t) {
             t.stage.env.clear();  // the real installer, which leaves loom.exe in the kit's folder
             createFolders("C:\\Kits\\Open");
             runShell("chmod o+w '" + unixPath("C:\\Kits\\Open") + "'");
             return std::string("INSTALLDIR=C:\\Kits\\Open");
         },
         kit, 0, "ERROR: public runtime not installed: C:\\Kits\\Open\\\\loom.exe may be changed by accounts other than "
         "administrators: Everyone (folder)", true, 1,
         [](const LauncherRun& run) {
             EXPECT_TRUE(run.loomRecord.empty()) << run.loomRecord;
             removeTree("C:\\Kits\\Open");
         }},
        // Deployment tools run the launcher as the local system account, which has no account domain; on a
        // machine without the runtime settings file the export still creates it (written in binary, so its
        // line ends in LF alone) and the run goes on.
        {"local system account without a runtime settings file",
         [](FaultMatrixE2E&) { return DeleteFileA(runtimeSettingsFile().c_str()), std::string(); }, E2E_SETUP_SYSTEM_EXE, 0,
         "INFO: Wrapper exit code: 0", false, 1, nullptr, "AUTO_UPDATE=Enable\n"},
        {"log file held without write sharing", [](FaultMatrixE2E& t) { return t.hold(t.stage.folder + "musched.log"), std::string(); },
         kit, 0, "", true, 1},
        // A launcher waits inside the installer; the one under test gets another LocalLow, as another account
        // would: its marker lies elsewhere, the machine-wide lock is the same.
        {"second launcher of another account",
         [](FaultMatrixE2E& t) {
             t.stage.first = std::make_unique<Process>();
             t.startPaused(*t.stage.first, t.stage.firstFolder = t.nextRunFolder());
             t.stage.localLow = std::make_unique<LocalLowRedirect>(t.nextRunFolder() + "LocalLow");
             EXPECT_TRUE(t.stage.localLow->applied);
             return std::string();
         },
         kit, -1, "INFO: Forge wrapper: Another Mako installation is in progress.", false, 0},
        {"marker name taken by a folder",
         [](FaultMatrixE2E& t) {
             EXPECT_TRUE(t.stage.markerFolder = CreateDirectoryA(markerPath().c_str(), nullptr) != FALSE);
             return std::string();
         },
         kit, 0, "WARNING: The install flag's name is taken by a folder that cannot be removed: ", true, 1},
        // As a virus scanner holds a file it looks at.
        {"last run's package held for 3 seconds",
         [](FaultMatrixE2E& t) {
             createFolders(workFolder(kWorkFolderName));
             return t.hold(workFolder(kWorkFolderName) + "\\forge3.1.0_27.msi", 3000), std::string();
         },
         kit, 0, " is in use by another program (system error 32 ", true, 1},
        // The package must not start without an event to wait on.
        {"archive event's name taken by a mutex",
         [](FaultMatrixE2E& t) {
             return t.stage.eventSquatter.reset(CreateMutexA(nullptr, FALSE, "HaldenForgeCabExtractWaitEvent")), std::string();
         },
         kit, ERROR_INVALID_HANDLE, "ERROR: CreateEvent(HaldenForgeCabExtractWaitEvent) failed with system error 6", false, 0},
        // The settings exported before the installer started stay: no restore runs.
        {"launcher ended during the installation", [](FaultMatrixE2E& t) { return t.stage.endByForce = true, std::string(); },
         kit, static_cast<long>(kEndedByForce), "INFO: szForgeExeCommand = ", true, 1},
        // Under code page 1252, on a system that does not run the launcher with the UTF-8 code page.
        configurationError("public runtime folder the code page cannot hold", args("/INSTALLDIRPUBLOOM=" + kitDir),
                           unable + "The value of /INSTALLDIRPUBLOOM" + refused, E2E_SETUP_ANSI_EXE),
        configurationError("installer arguments the code page cannot hold", args("MSI_CMDLINE=KITNOTE=" + japanese),
                           unable + "The value of MSI_CMDLINE" + refused, E2E_SETUP_ANSI_EXE),
        configurationError("installer log the code page cannot hold",
                           [japanese](FaultMatrixE2E& t) { return "/l*v " + t.stage.folder + japanese + ".log"; },
                           unable + "The value of /l" + refused, E2E_SETUP_ANSI_EXE),
        configurationError("key without value in the runtime settings file",
                           [](FaultMatrixE2E&) { return writeSettings(std::string(kSettingsBefore) + "EULA\n"), std::string(); },
                           "mako.settings.cfg is malformed in line 5."),
        configurationError("installer log path with a quote", args("/l \"C:\\ceo\\x.log\\\" TRANSFORMS=C:\\evil.mst\""),
                           "There are errors in the following switches:\n\"C:\\ceo\\x.log\" TRANSFORMS=C:\\evil.mst\";"),
        configurationError("installer log path left out", args("/l /qn"), unable + "There are errors in the following switches:\n\"/l\";"),
    };
    // An installed copy of this build would be removed before the new one goes in: these refusals must
    // come before that, so that the machine keeps the kit it had (a removal would be a recorded kit call).
    const std::set<std::string> refusedWithACopyInstalled = {"no installer location", "installer arguments too long",
                                                             "package resource 101 missing", "package resource 101 damaged",
                                                             "package work folder is a file"};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.fault);
        resetMachine();
        writeSettings(kSettingsBefore);
        const bool copyInstalled = refusedWithACopyInstalled.count(row.fault) > 0;
        if (copyInstalled) {  // registered by hand
            ASSERT_TRUE(setString(kKitKey, "BuildNumber", "9", kLauncherView));
            ASSERT_TRUE(setString(kUninstallKey, "DisplayName", "Mako Development Kit", kLauncherView));
        }
        stage.folder = nextRunFolder();
        const std::string arguments = kArguments + row.prepare(*this), settingsBefore = readFile(runtimeSettingsFile());

        Process process;
        if (stage.endByForce) {  // the stand-in is released afterwards; its record shows it ended
            startPaused(process, stage.folder, arguments);
            EXPECT_TRUE(process.terminate(kEndedByForce));
            writeFile(stage.folder + "release", "");
            EXPECT_TRUE(waitFor([&] { return fileExists(stage.folder + "msiexec-calls.txt"); }));
        } else {
            start(process, row.program, arguments, stage.folder, stage.env);
        }
        const LauncherRun run = finish(process, stage.folder);

        EXPECT_EQ(row.exitCode, run.exitCode) << run.lastMessage();
        EXPECT_TRUE(row.logged.empty() ? run.log.empty() : run.logged(row.logged)) << "not logged: " << row.logged << "\n" << run.log;
        EXPECT_EQ(row.settingsAfter ? row.settingsAfter : row.exported ? kSettingsExported : settingsBefore,
                  readFile(runtimeSettingsFile()));
        EXPECT_EQ(row.kitCalls, kitCalls(run));
        if (row.check) row.check(run);
        if (copyInstalled) {
            EXPECT_TRUE(keyExists(kKitKey, kLauncherView) && keyExists(kUninstallKey, kLauncherView));
            deleteTree(kUninstallKey, kLauncherView);
        }
        endStage();
        EXPECT_THAT(strayFiles(), IsEmpty());
        EXPECT_FALSE(fileExists(markerPath())) << "the marker outlived the run";
    }
}

// Four launchers started together, round after round: the one that gets the marker waits inside the
// installer until all others have ended, so that every round shows they met. Every tenth round it is
// ended by force there, and a launcher started afterwards installs.
TEST_F(FaultMatrixE2E, OfLaunchersStartedTogetherExactlyOneInstalls) {
    constexpr int kRounds = 50, kLaunchers = 4;
    for (int round = 1; round <= kRounds; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        const std::string release = nextRunFolder() + "release";
        const Environment paused = {{"MAKO_TEST_MSIEXEC_RESULT", "0"}, {"MAKO_TEST_PAUSE_UNTIL", release}};
        Process launchers[kLaunchers];
        std::string folders[kLaunchers];
        for (int i = 0; i < kLaunchers; ++i) start(launchers[i], E2E_SETUP_EXE, "/s", folders[i] = nextRunFolder(), paused);

        ASSERT_TRUE(waitFor([&] { return fileExists(release + ".waiting"); })) << "none reached the installer";
        const auto isRunning = [](const Process& p) { return p.running(); };
        const auto running = [&] { return std::count_if(launchers, launchers + kLaunchers, isRunning); };
        for (int waited = 0; running() > 1 && waited < 120000; waited += 20) Sleep(20);
        ASSERT_EQ(1, running()) << "not exactly one launcher inside the installer";
        const int installing = static_cast<int>(std::find_if(launchers, launchers + kLaunchers, isRunning) - launchers);
        for (int i = 0; i < kLaunchers; ++i) {
            if (i == installing) continue;
            const LauncherRun refused = finish(launchers[i], folders[i]);
            // Under load Wine sometimes fails to set up the installer process of the launcher that got
            // the marker (1359); that launcher ends with the error and frees the marker for another.
            const bool installerNotStarted = refused.logged("ERROR: Executor.exec(): CreateProcess failed with system error 1359");
            EXPECT_EQ(installerNotStarted ? ERROR_INTERNAL_ERROR : -1, refused.exitCode) << refused.lastMessage();
            EXPECT_TRUE(refused.installerCalls.empty());
        }

        const bool endByForce = round % 10 == 0;
        EXPECT_TRUE(!endByForce || launchers[installing].terminate(kEndedByForce));
        writeFile(release, "");
        // A launcher ended by force no longer waits for its installer: wait for the call's last line.
        const std::string calls = folders[installing] + "msiexec-calls.txt";
        EXPECT_TRUE(waitFor([&] { return readFile(calls).find("\nresult: ") != std::string::npos; }))
            << "the installer stand-in did not end";
        const LauncherRun installed = finish(launchers[installing], folders[installing]);
        EXPECT_EQ(endByForce ? static_cast<long>(kEndedByForce) : 0, installed.exitCode) << installed.lastMessage();
        EXPECT_EQ(1u, kitCalls(installed));
        if (endByForce) {
            const LauncherRun late = runLauncher("/s", paused);
            EXPECT_EQ(0, late.exitCode) << late.lastMessage();
            EXPECT_EQ(1u, kitCalls(late));
        }
        ASSERT_FALSE(fileExists(markerPath())) << "the marker outlived the round";
    }
}

}  // namespace
