// The built launcher end to end under Wine: the real msiexec.exe installs the stand-in package,
// reached through the recording msiexec.exe that each case names in InstallerLocation. Every case
// starts from a machine without the kit, the runtime settings file, a reinstall request or a
// marker, and gets a temporary folder of its own (TEMP of the launcher: its log, the records).
#include "e2e/e2e_support.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <knownfolders.h>

#include <functional>

using ::testing::HasSubstr;
using ::testing::Not;

namespace {

#ifdef _WIN64
constexpr REGSAM kLauncherView = KEY_WOW64_64KEY;
constexpr REGSAM kOtherView = KEY_WOW64_32KEY;
const char kWorkFolderName[] = "forge3.1.0_27_x64";
const char kOtherWorkFolderName[] = "forge3.1.0_27";
#else
constexpr REGSAM kLauncherView = KEY_WOW64_32KEY;
constexpr REGSAM kOtherView = KEY_WOW64_64KEY;
const char kWorkFolderName[] = "forge3.1.0_27";
const char kOtherWorkFolderName[] = "forge3.1.0_27_x64";
#endif

const char kKitKey[] = "SOFTWARE\\Velmora\\Mako Development Kit\\3.1.0_27";
const char kRuntimeKey[] = "SOFTWARE\\Velmora\\Mako Runtime Environment\\3.1.0_27";
const char kUninstallKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" E2E_KIT_PRODUCT_CODE;
const char kInstallerKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer";
const char kVelmoraKey[] = "Software\\Velmora";
const char* const kPayloadFiles[] = {"forge3.1.0_27.msi", "ss310270.cab", "st310270.cab", "sj310270.cab",
                                     "sz310270.cab"};
constexpr DWORD kLauncherTimeoutMs = 300000;

std::string workFolder(const char* name) {
    return e2e::knownFolder(FOLDERID_LocalAppDataLow) + "\\Halden\\Mako\\" + name;
}
std::string markerPath() { return e2e::knownFolder(FOLDERID_LocalAppDataLow) + "\\Halden\\Mako\\MAKO_INSTALL_FLAG"; }
std::string runtimeSettingsFile() { return e2e::commonAppDataFolder() + "\\Brennic\\Mako\\mako.settings.cfg"; }
std::string realMsiexec() { return e2e::systemFolder() + "\\msiexec.exe"; }

bool kitRegistered() { return e2e::keyExists(kKitKey, kLauncherView) || e2e::keyExists(kUninstallKey, kLauncherView); }

// What one launcher run left behind.
struct LauncherRun {
    bool finished = false;
    long exitCode = 0;
    std::string folder;  // its TEMP, with trailing separator
    std::string log;
    std::vector<e2e::LogEntry> entries;
    std::vector<e2e::RecordedCall> installerCalls;
    std::string loomRecord;

    std::string lastMessage() const { return entries.empty() ? std::string("<empty log>") : entries.back().message; }
    bool logged(const std::string& level, const std::string& text) const {
        for (const e2e::LogEntry& entry : entries)
            if (entry.level == level && entry.message.find(text) != std::string::npos) return true;
        return false;
    }
};

using Environment = std::vector<std::pair<std::string, std::string>>;

class LauncherE2E : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        savedSettings.existed = e2e::fileExists(runtimeSettingsFile());
        savedSettings.bytes = e2e::readFile(runtimeSettingsFile());
        savedInstallerLocation.existed = e2e::readString(kInstallerKey, "InstallerLocation", savedInstallerLocation.bytes);
        // A run that died before restoring it left the stand-in's folder there.
        if (e2e::equalsIgnoreCase(savedInstallerLocation.bytes, E2E_RECORDER_DIR))
            savedInstallerLocation.bytes = e2e::systemFolder();
    }

    static void TearDownTestSuite() {
        uninstallKit();
        restoreInstallerLocation();
        if (savedSettings.existed) {
            e2e::writeFile(runtimeSettingsFile(), savedSettings.bytes);
        } else {
            DeleteFileA(runtimeSettingsFile().c_str());
        }
    }

    void SetUp() override {
        ASSERT_TRUE(e2e::fileExists(E2E_SETUP_EXE)) << E2E_SETUP_EXE;
        resetMachine();
    }

    void TearDown() override {
        restoreInstallerLocation();
        e2e::deleteValue(kVelmoraKey, "InstallStatus");
    }

    static void uninstallKit() {
        if (kitRegistered()) e2e::runToEnd(realMsiexec(), "/x " E2E_KIT_PRODUCT_CODE " /qn", kLauncherTimeoutMs);
        e2e::deleteKey(kRuntimeKey, kLauncherView);  // left by loom.exe, outside the package
    }

    static void restoreInstallerLocation() {
        if (savedInstallerLocation.existed) {
            e2e::setString(kInstallerKey, "InstallerLocation", savedInstallerLocation.bytes);
        } else {
            e2e::deleteValue(kInstallerKey, "InstallerLocation");
        }
    }

    // The state every case and every row of a table starts from; the launcher then finds the
    // recording msiexec.exe.
    void resetMachine() {
        uninstallKit();
        ASSERT_FALSE(kitRegistered()) << "the kit could not be removed before the case";
        DeleteFileA(runtimeSettingsFile().c_str());
        e2e::deleteValue(kVelmoraKey, "InstallStatus");
        DeleteFileA(markerPath().c_str());
        for (const char* folder : {kWorkFolderName, kOtherWorkFolderName}) e2e::emptyFolder(workFolder(folder));
        ASSERT_TRUE(e2e::setString(kInstallerKey, "InstallerLocation", E2E_RECORDER_DIR));
    }

    // A fresh folder for the next launcher run: <temp>\mako-e2e\<case>-<n>\.
    std::string nextRunFolder() {
        const std::string folder = e2e::tempFolder() + "mako-e2e\\" +
                                   ::testing::UnitTest::GetInstance()->current_test_info()->name() + "-" +
                                   std::to_string(++runs) + "\\";
        e2e::createFolders(folder.substr(0, folder.size() - 1));
        e2e::emptyFolder(folder.substr(0, folder.size() - 1));
        return folder;
    }

    // Starts the launcher with TEMP pointing at folder; the variables in env reach it and, through
    // it, the msiexec.exe stand-in.
    e2e::Process start(const std::string& program, const std::string& arguments, const std::string& folder,
                       const Environment& env = {}) {
        e2e::ScopedEnvironment scoped;
        scoped.set("TEMP", folder.substr(0, folder.size() - 1));
        scoped.set("TMP", folder.substr(0, folder.size() - 1));
        scoped.set("MAKO_TEST_RECORD", folder + "msiexec-calls.txt");
        scoped.set("MAKO_LOOM_RECORD", folder + "loom-calls.txt");
        for (const auto& variable : env) scoped.set(variable.first, variable.second);
        e2e::Process process;
        DWORD error = 0;
        EXPECT_TRUE(process.start(program, arguments, error)) << program << ": system error " << error;
        return process;
    }

    LauncherRun finish(e2e::Process& process, const std::string& folder) {
        LauncherRun run;
        run.folder = folder;
        run.finished = process.wait(kLauncherTimeoutMs, run.exitCode);
        EXPECT_TRUE(run.finished) << "the launcher did not end within " << kLauncherTimeoutMs << " ms";
        run.log = e2e::readFile(folder + "musched.log");
        run.entries = e2e::parseLog(run.log);
        run.installerCalls = e2e::parseRecord(e2e::readFile(folder + "msiexec-calls.txt"));
        run.loomRecord = e2e::readFile(folder + "loom-calls.txt");
        return run;
    }

    LauncherRun runLauncher(const std::string& arguments, const Environment& env = {},
                            const std::string& program = E2E_SETUP_EXE) {
        const std::string folder = nextRunFolder();
        e2e::Process process = start(program, arguments, folder, env);
        return finish(process, folder);
    }

    struct Saved {
        bool existed = false;
        std::string bytes;
    };
    static Saved savedSettings;
    static Saved savedInstallerLocation;
    int runs = 0;
};

LauncherE2E::Saved LauncherE2E::savedSettings;
LauncherE2E::Saved LauncherE2E::savedInstallerLocation;

// The kit of this bitness is installed from the work folder (after a run that returned 0).
void expectKitInstalled() {
    std::string makoHome, buildNumber;
    ASSERT_TRUE(e2e::readString(kKitKey, "MakoHome", makoHome, kLauncherView)) << "kit key missing in the launcher's view";
    EXPECT_TRUE(e2e::readString(kKitKey, "BuildNumber", buildNumber, kLauncherView));
    EXPECT_EQ("9", buildNumber);
    EXPECT_TRUE(e2e::keyExists(kUninstallKey, kLauncherView)) << "product code not registered: " << kUninstallKey;
    EXPECT_FALSE(e2e::keyExists(kKitKey, kOtherView)) << "kit key in the other registry view";
    if (!makoHome.empty() && makoHome.back() != '\\') makoHome += '\\';
    for (const char* file : {"README.txt", "src.dat", "lib\\tools.dat", "bin\\forge.dat"})
        EXPECT_TRUE(e2e::fileExists(makoHome + file)) << makoHome << file;
}

// The single installer call ran after the archives were complete and the event was set.
void expectOneInstallCall(const LauncherRun& run, const std::string& result) {
    ASSERT_EQ(1u, run.installerCalls.size()) << run.log;
    const e2e::RecordedCall& call = run.installerCalls[0];
    EXPECT_EQ("signalled", call.get("event"));
    EXPECT_EQ("complete", call.get("archives"));
    EXPECT_EQ(result, call.get("result"));
    EXPECT_TRUE(e2e::equalsIgnoreCase(workFolder(kWorkFolderName) + "\\forge3.1.0_27.msi", call.get("package")))
        << call.get("package");
}

TEST_F(LauncherE2E, SilentInstallInstallsKitFromExtractedPayload) {
    const LauncherRun run = runLauncher("/s");
    EXPECT_EQ(0, run.exitCode);

    expectOneInstallCall(run, "0");
    if (!run.installerCalls.empty()) {
        const std::string command = run.installerCalls[0].get("command");
        EXPECT_THAT(command, HasSubstr(" /qn ADDLOCAL=PublicloomFeature,ToolsFeature WRAPPER=1"));
        EXPECT_THAT(command, Not(HasSubstr("TRANSFORMS=")));
    }
    expectKitInstalled();

    // The payload as carried, in this bitness's work folder only.
    for (const char* name : kPayloadFiles) {
        const std::string extracted = e2e::readFile(workFolder(kWorkFolderName) + "\\" + name);
        const std::string carried = e2e::readFile(std::string(E2E_PAYLOAD_DIR) + "\\" + name);
        EXPECT_FALSE(carried.empty()) << name;
        EXPECT_TRUE(extracted == carried) << name << ": " << extracted.size() << " bytes, carried " << carried.size();
        EXPECT_FALSE(e2e::fileExists(workFolder(kOtherWorkFolderName) + "\\" + name)) << kOtherWorkFolderName << name;
    }

    // The public runtime ran silently from the kit's folder and was deleted afterwards.
    EXPECT_THAT(run.loomRecord, HasSubstr("loom.exe\" /s LAUNCHEDFROMFORGE=1"));
    std::string makoHome;
    e2e::readString(kKitKey, "MakoHome", makoHome, kLauncherView);
    EXPECT_FALSE(makoHome.empty() || e2e::fileExists(makoHome + "\\loom.exe")) << makoHome;

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
        {"faulty install configuration file",
         [](const std::string& folder) {
             e2e::writeFile(folder + "faulty.cfg", "# install configuration\nINSTALL_SILENT=Enable\nno separator here\n");
             return "/s INSTALLCFG=" + folder + "faulty.cfg";
         },
         E2E_SETUP_EXE, -80,
         {{"ERROR", "faulty.cfg is malformed in line 3.\nCheck data and formatting of the file."},
          {"INFO", "Error occurred while loading configuration settings. Exiting installer."}},
         nullptr},
        {"installer location unreadable",
         [](const std::string&) {
             e2e::deleteValue(kInstallerKey, "InstallerLocation");
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
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        resetMachine();
        const std::string folder = nextRunFolder();
        e2e::Process process = start(row.program, row.arguments(folder), folder);
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
    }
}

// The installer's own result is the exit code; a failed install puts the runtime settings file back.
TEST_F(LauncherE2E, InstallerResultIsExitCodeAndFailureRestoresRuntimeSettings) {
    struct Row {
        const char* result;
        long expected;
        const char* settingAfter;
        const char* settingNotAfter;
    };
    const Row rows[] = {
        {"1603", 1603, "AUTO_UPDATE=Disable", "AUTO_UPDATE=Enable"},
        {"3010", 3010, "AUTO_UPDATE=Disable", "AUTO_UPDATE=Enable"},
        {"0", 0, "AUTO_UPDATE=Enable", "AUTO_UPDATE=Disable"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string("installer result ") + row.result);
        resetMachine();
        e2e::createFolders(e2e::commonAppDataFolder() + "\\Brennic\\Mako");
        e2e::writeFile(runtimeSettingsFile(), "AUTO_UPDATE=Disable\n");
        const LauncherRun run = runLauncher("AUTO_UPDATE=Enable /s", {{"MAKO_TEST_MSIEXEC_RESULT", row.result}});
        EXPECT_EQ(row.expected, run.exitCode);
        expectOneInstallCall(run, row.result);
        const std::string settings = e2e::readFile(runtimeSettingsFile());
        EXPECT_THAT(settings, HasSubstr(row.settingAfter));
        EXPECT_THAT(settings, Not(HasSubstr(row.settingNotAfter)));
        EXPECT_EQ("Wrapper exit code: " + std::string(row.result), run.lastMessage());
    }
}

// A "reinstall" request left by the package's run gets exactly one identical rerun.
TEST_F(LauncherE2E, ReinstallRequestRerunsOnce) {
    struct Row {
        const char* request;  // how often the stand-in leaves the request
        bool leftInRegistry;
    };
    for (const Row row : {Row{"once", false}, Row{"always", true}}) {
        SCOPED_TRACE(std::string("MAKO_TEST_REINSTALL=") + row.request);
        resetMachine();
        const LauncherRun run =
            runLauncher("/s", {{"MAKO_TEST_REINSTALL", row.request}, {"MAKO_TEST_MSIEXEC_RESULT", "0"}});
        EXPECT_EQ(0, run.exitCode);
        ASSERT_EQ(2u, run.installerCalls.size()) << run.log;
        EXPECT_EQ(run.installerCalls[0].get("command"), run.installerCalls[1].get("command"));
        std::string status;
        EXPECT_EQ(row.leftInRegistry, e2e::readString(kVelmoraKey, "InstallStatus", status));
        if (row.leftInRegistry) {
            EXPECT_EQ("reinstall", status);
        }
    }
}

// A second launcher started while the first sits inside the installer is refused with -1; the
// first then ends normally.
TEST_F(LauncherE2E, SecondLauncherIsRefusedWhileFirstHoldsMarker) {
    const std::string firstFolder = nextRunFolder();
    const std::string release = firstFolder + "release";
    e2e::Process first = start(E2E_SETUP_EXE, "/s", firstFolder,
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

    e2e::writeFile(release, "");
    const LauncherRun firstRun = finish(first, firstFolder);
    EXPECT_EQ(0, firstRun.exitCode);
    EXPECT_EQ(1u, firstRun.installerCalls.size());
    EXPECT_FALSE(e2e::fileExists(markerPath())) << "the marker outlived its holder";
}

void expectJapaneseInstall(const LauncherRun& run) {
    EXPECT_EQ(0, run.exitCode);
    expectOneInstallCall(run, "0");
    if (!run.installerCalls.empty()) {
        EXPECT_THAT(run.installerCalls[0].get("command"), HasSubstr("forge3.1.0_27.msi\" TRANSFORMS=:1041 "));
    }
    expectKitInstalled();
    EXPECT_EQ("Wrapper exit code: 0", run.lastMessage());
}

TEST_F(LauncherE2E, LanguageSwitchSelectsTransformAndStillInstalls) { expectJapaneseInstall(runLauncher("/lang=1041 /s")); }

// Run as its own CTest test with LC_ALL=ja_JP.UTF-8.
TEST_F(LauncherE2E, JapaneseUiLanguageSelectsTransformWithoutSwitch) {
    if (LANGIDFROMLCID(GetUserDefaultUILanguage()) != 1041) GTEST_SKIP() << "needs a Japanese user environment";
    expectJapaneseInstall(runLauncher("/s"));
}

}  // namespace
