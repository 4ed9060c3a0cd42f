// The built launcher end to end under Wine: installs, exit codes, reinstall requests, the marker and
// the user-interface language (support and fixture in e2e_support.h).
#include "e2e/e2e_support.h"

using ::testing::HasSubstr;
using ::testing::Not;

namespace {

using namespace e2e;

TEST_F(LauncherE2E, SilentInstallInstallsKitFromExtractedPayload) {
    const LauncherRun run = runLauncher("/s");
    EXPECT_EQ(0, run.exitCode);

    expectOneInstallCall(run, "0");
    if (!run.installerCalls.empty()) {
        const std::string command = field(run.installerCalls[0], "command");
        EXPECT_THAT(command, HasSubstr(" /qn ADDLOCAL=PublicloomFeature,ToolsFeature WRAPPER=1"));
        EXPECT_THAT(command, Not(HasSubstr("TRANSFORMS=")));
    }
    expectKitInstalled();

    // The payload as carried, in this bitness's work folder only.
    for (const char* name : kPayloadFiles) {
        const std::string extracted = readFile(workFolder(kWorkFolderName) + "\\" + name);
        const std::string carried = readFile(std::string(E2E_PAYLOAD_DIR) + "\\" + name);
        EXPECT_FALSE(carried.empty()) << name;
        EXPECT_TRUE(extracted == carried) << name << ": " << extracted.size() << " bytes, carried " << carried.size();
        EXPECT_FALSE(fileExists(workFolder(kOtherWorkFolderName) + "\\" + name)) << kOtherWorkFolderName << name;
    }

    // The public runtime ran silently from the kit's folder and was deleted afterwards.
    EXPECT_THAT(run.loomRecord, HasSubstr("loom.exe\" /s LAUNCHEDFROMFORGE=1"));
    std::string makoHome;
    readString(kKitKey, "MakoHome", makoHome, kLauncherView);
    EXPECT_FALSE(makoHome.empty() || fileExists(makoHome + "\\loom.exe")) << makoHome;

    EXPECT_EQ("Wrapper exit code: 0", run.lastMessage()) << run.log;
}

// Runs that end before any installer is started.
TEST_F(LauncherE2E, ExitCodesWithoutInstallerRun) {
    struct Row {
        const char* what;
        std::function<std::string(const std::string& folder)> arguments;  // prepares what the row needs
        const char* program;
        long expected;
        std::vector<std::pair<const char*, std::string>> logged;  // level and part of an entry's message
        const char* lastMessage;                                   // nullptr: no "Wrapper exit code" line
    };
    const std::string longFolder = "C:\\Kits\\" + std::string(241, 'd');  // 249 bytes: within the 260-byte limit of a configured folder
    const std::vector<Row> rows = {
        {"installer location unreadable",
         [](const std::string&) {
             deleteValue(kInstallerKey, "InstallerLocation");
             return std::string("/s");
         },
         E2E_SETUP_EXE, -3, {}, nullptr},
        // FILLER=<2100 x> plus a space, " /qn" and the default ADDLOCAL: 2152 characters.
        {"installer arguments too long for their buffer",
         [](const std::string&) { return "/s MSI_CMDLINE=FILLER=" + std::string(2100, 'x'); }, E2E_SETUP_EXE, 1639,
         {{"ERROR", "The installer command was not run: installerArguments would be 2152 characters long; at most 2047 fit"}},
         "Wrapper exit code: 1639"},
        {"install folder pushes the command past its buffer",
         [&](const std::string&) { return "/s MSI_CMDLINE=FILLER=" + std::string(1700, 'x') + " INSTALLDIR=" + longFolder; },
         E2E_SETUP_EXE, 1639, {{"ERROR", "The installer command was not run: finalCommand would be "}},
         "Wrapper exit code: 1639"},
        {"package resource 101 missing", [](const std::string&) { return std::string("/s"); }, E2E_SETUP_NOKIT_EXE, 1,
         {}, "Wrapper exit code: 1"},
        // A file where the runtime settings folder belongs: the export fails before any installer runs.
        {"runtime settings file cannot be written",
         [](const std::string&) {
             emptyFolder(runtimeSettingsFolder());
             RemoveDirectoryA(runtimeSettingsFolder().c_str());
             writeFile(runtimeSettingsFolder(), "not a folder");
             const DWORD attributes = GetFileAttributesA(runtimeSettingsFolder().c_str());
             EXPECT_TRUE(attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY))
                 << "the settings folder could not be replaced by a file";
             return std::string("/s AUTO_UPDATE=Disable");
         },
         E2E_SETUP_EXE, -80,
         {{"ERROR", "Fails on writing to the runtime config file."},
          {"INFO", "Error occurred while exporting configuration settings. Exiting installer."}},
         nullptr},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        resetMachine();
        const std::string folder = nextRunFolder();
        Process process;
        start(process, row.program, row.arguments(folder), folder);
        const LauncherRun run = finish(process, folder);
        EXPECT_EQ(row.expected, run.exitCode);
        EXPECT_TRUE(run.installerCalls.empty()) << run.installerCalls.size() << " installer calls";
        for (const auto& line : row.logged)
            EXPECT_TRUE(run.logged(line.first, line.second)) << "not logged: " << line.second << "\n" << run.log;
        if (row.lastMessage) {
            EXPECT_EQ(row.lastMessage, run.lastMessage()) << run.log;
        } else {
            EXPECT_THAT(run.log, Not(HasSubstr("Wrapper exit code"))) << run.log;
        }
        restoreInstallerLocation();
        if (!(GetFileAttributesA(runtimeSettingsFolder().c_str()) & FILE_ATTRIBUTE_DIRECTORY)) {
            DeleteFileA(runtimeSettingsFolder().c_str());
        }
    }
}

// The installer's own result is the exit code; a failed install puts the runtime settings file back.
TEST_F(LauncherE2E, InstallerResultIsExitCodeAndFailureRestoresRuntimeSettings) {
    for (const std::string result : {"1603", "3010", "0"}) {
        SCOPED_TRACE("installer result " + result);
        resetMachine();
        createFolders(commonAppDataFolder() + "\\Brennic\\Mako");
        writeFile(runtimeSettingsFile(), "AUTO_UPDATE=Disable\n");
        const LauncherRun run = runLauncher("AUTO_UPDATE=Enable /s", {{"MAKO_TEST_MSIEXEC_RESULT", result}});
        EXPECT_EQ(std::stol(result), run.exitCode);
        expectOneInstallCall(run, result);
        const bool restored = result != "0";
        const std::string settings = readFile(runtimeSettingsFile());
        EXPECT_THAT(settings, HasSubstr(restored ? "AUTO_UPDATE=Disable" : "AUTO_UPDATE=Enable"));
        EXPECT_THAT(settings, Not(HasSubstr(restored ? "AUTO_UPDATE=Enable" : "AUTO_UPDATE=Disable")));
        EXPECT_EQ("Wrapper exit code: " + result, run.lastMessage());
    }
}

// A "reinstall" request left by the package's run gets exactly one identical rerun.
TEST_F(LauncherE2E, ReinstallRequestRerunsOnce) {
    for (const std::string request : {"once", "always"}) {  // how often the stand-in leaves the request
        SCOPED_TRACE("MAKO_TEST_REINSTALL=" + request);
        resetMachine();
        const LauncherRun run = runLauncher("/s", {{"MAKO_TEST_REINSTALL", request}, {"MAKO_TEST_MSIEXEC_RESULT", "0"}});
        EXPECT_EQ(0, run.exitCode);
        ASSERT_EQ(2u, run.installerCalls.size()) << run.log;
        EXPECT_EQ(field(run.installerCalls[0], "command"), field(run.installerCalls[1], "command"));
        std::string status = "<none>";
        readString(kVelmoraKey, "InstallStatus", status);
        EXPECT_EQ(request == "always" ? "reinstall" : "<none>", status);
    }
}

// A second launcher started while the first sits inside the installer is refused with -1; the
// first then ends normally.
TEST_F(LauncherE2E, SecondLauncherIsRefusedWhileFirstHoldsMarker) {
    const std::string firstFolder = nextRunFolder();
    const std::string release = firstFolder + "release";
    Process first;
    start(first, E2E_SETUP_EXE, "/s", firstFolder,
          {{"MAKO_TEST_PAUSE_UNTIL", release}, {"MAKO_TEST_MSIEXEC_RESULT", "0"}});

    // The event is set once the archives are written, right before or while the installer runs.
    bool inside = false;
    for (int waited = 0; waited < 120000 && !inside && first.running(); waited += 100) {
        if (HANDLE event = OpenEventA(SYNCHRONIZE, FALSE, "HaldenForgeCabExtractWaitEvent")) {
            inside = WaitForSingleObject(event, 0) == WAIT_OBJECT_0;
            CloseHandle(event);
        }
        if (!inside) Sleep(100);
    }
    ASSERT_TRUE(inside) << "the first launcher did not reach the installer";

    const LauncherRun second = runLauncher("/s");
    EXPECT_EQ(-1, second.exitCode);
    EXPECT_TRUE(second.logged("INFO", "Forge wrapper: Another Mako installation is in progress.")) << second.log;
    EXPECT_TRUE(second.installerCalls.empty());
    EXPECT_TRUE(first.running()) << "the first launcher ended before the second was checked";

    writeFile(release, "");
    const LauncherRun firstRun = finish(first, firstFolder);
    EXPECT_EQ(0, firstRun.exitCode);
    EXPECT_EQ(1u, firstRun.installerCalls.size());
    EXPECT_FALSE(fileExists(markerPath())) << "the marker outlived its holder";
}

void expectJapaneseInstall(const LauncherRun& run) {
    EXPECT_EQ(0, run.exitCode);
    expectOneInstallCall(run, "0");
    if (!run.installerCalls.empty()) {
        EXPECT_THAT(field(run.installerCalls[0], "command"), HasSubstr("forge3.1.0_27.msi\" TRANSFORMS=:1041 "));
    }
    expectKitInstalled();
    EXPECT_EQ("Wrapper exit code: 0", run.lastMessage());
}

TEST_F(LauncherE2E, LanguageSwitchSelectsTransformAndStillInstalls) { expectJapaneseInstall(runLauncher("/lang=1041 /s")); }

// Run as its own CTest test with LC_ALL=ja_JP.UTF-8.
TEST_F(LauncherE2E, JapaneseUiLanguageSelectsTransformWithoutSwitch) {
    ASSERT_EQ(1041, LANGIDFROMLCID(GetUserDefaultUILanguage()))
        << "LC_ALL=ja_JP.UTF-8 did not give a Japanese user interface: is the ja_JP.UTF-8 locale generated?";
    expectJapaneseInstall(runLauncher("/s"));
}

}  // namespace
