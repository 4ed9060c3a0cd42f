// Configuration values on their way to the installer: non-ASCII folder names, properties and log
// paths arrive in the process code page and install for real; values that code page cannot hold,
// and keys without value in a settings file, end the run before anything is written.
#include "e2e/e2e_support.h"

using ::testing::HasSubstr;
using ::testing::Not;

namespace {

using namespace e2e;

std::wstring readWide(const std::string& path, const wchar_t* name, REGSAM view) {
    HKEY key = openKey(path, KEY_READ, view);
    wchar_t buffer[1024] = {};
    DWORD type = 0, size = sizeof buffer - sizeof(wchar_t);
    const bool read = key && RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size) ==
                                 ERROR_SUCCESS;
    if (key) RegCloseKey(key);
    return read ? buffer : L"<none>";
}

bool existsWide(const std::string& utf8Path) {
    return GetFileAttributesW(utf16(utf8Path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

class ConfigValuesE2E : public LauncherE2E {};

// A folder name of the code page's own letters: Latin under 1252; under 932 one whose second
// kanji's trail byte is a backslash, which nothing on the way may take for a separator.
TEST_F(ConfigValuesE2E, NonAsciiValuesReachTheInstallerInTheCodePageAndInstall) {
    const UINT codePage = GetACP();
    ASSERT_TRUE(codePage == 1252 || codePage == 932) << "run with LC_ALL=en_US.UTF-8 or ja_JP.UTF-8, not " << codePage;
    const std::string name = codePage == 1252 ? "F\xC3\xB8r" : "\xE8\xA1\xA8\xE3\x82\xBD\xE3\x83\x95\xE3\x83\x88";
    const std::string kitDir = "C:\\Kits\\" + name, runtimeDir = kitDir + "\\runtime";
    const std::string folder = nextRunFolder(), log = folder + name + ".log";

    Process process;
    start(process, E2E_SETUP_EXE,
          "/s INSTALLDIR=" + kitDir + " /INSTALLDIRPUBLOOM=" + runtimeDir + " MSI_CMDLINE=KITNOTE=" + name +
              " /l*v " + log, folder);
    const LauncherRun run = finish(process, folder);

    EXPECT_EQ(0, run.exitCode) << run.log;
    expectOneInstallCall(run, "0");
    // The recorder writes the command it received, read in the code page, as UTF-8.
    const std::string command = run.installerCalls.empty() ? "" : field(run.installerCalls[0], "command");
    EXPECT_THAT(command, HasSubstr(" KITNOTE=" + name + "  /qn "));
    EXPECT_THAT(command, HasSubstr(" WRAPPER=1 /l \"" + log + "\" INSTALLDIR=\"" + kitDir + "\""));
    EXPECT_THAT(run.loomRecord, HasSubstr(" INSTALLDIR=\"" + runtimeDir + "\""));

    EXPECT_EQ(utf16(kitDir + "\\"), readWide(kKitKey, L"MakoHome", kLauncherView));
    for (const char* file : {"\\README.txt", "\\bin\\forge.dat"}) EXPECT_TRUE(existsWide(kitDir + file)) << file;
    EXPECT_EQ(utf16(runtimeDir + "\\"), readWide(kRuntimeKey, L"MakoHome", kLauncherView));
    EXPECT_TRUE(existsWide(log)) << "the installer wrote no log under the name given";
}

// Each row leaves the runtime settings file it starts with and asks for a change that an export
// would write, so a run that got as far as the export would show.
TEST_F(ConfigValuesE2E, FaultySourcesEndTheRunBeforeAnythingIsWritten) {
    ASSERT_EQ(1252u, GetACP()) << "run with LC_ALL=en_US.UTF-8";
    const std::string japanese = "\xE6\x97\xA5\xE6\x9C\xAC";
    const std::string refused = " contains characters that the language for non-Unicode programs of this computer "
                                "cannot represent.";
    struct Row {
        const char* what;
        std::function<std::string(const std::string& folder)> arguments;  // prepares what the row needs
        std::string runtimeFile;
        std::string logged;  // part of an ERROR entry
    };
    const std::string goodRuntimeFile = "AUTO_UPDATE=Disable\n";
    const std::vector<Row> rows = {
        {"install folder", [&](const std::string&) { return "INSTALLDIR=C:\\Kits\\" + japanese; }, goodRuntimeFile,
         "The value of INSTALLDIR" + refused},
        {"public runtime folder", [&](const std::string&) { return "/INSTALLDIRPUBLOOM=C:\\Kits\\" + japanese; },
         goodRuntimeFile, "The value of /INSTALLDIRPUBLOOM" + refused},
        {"installer arguments", [&](const std::string&) { return "MSI_CMDLINE=KITNOTE=" + japanese; }, goodRuntimeFile,
         "The value of MSI_CMDLINE" + refused},
        {"installer log", [&](const std::string& folder) { return "/l*v " + folder + japanese + ".log"; },
         goodRuntimeFile, "The value of /l" + refused},
        {"key without value in the install configuration file",
         [](const std::string& folder) {
             writeFile(folder + "install.cfg", "EULA=Enable\nINSTALLDIR\n");
             return "INSTALLCFG=" + folder + "install.cfg";
         },
         goodRuntimeFile, "install.cfg is malformed in line 2.\nCheck data and formatting of the file."},
        {"key without value in the runtime settings file", [](const std::string&) { return std::string(); },
         goodRuntimeFile + "EULA\n", "mako.settings.cfg is malformed in line 2."},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        resetMachine();
        createFolders(runtimeSettingsFolder());
        writeFile(runtimeSettingsFile(), row.runtimeFile);
        const std::string folder = nextRunFolder();
        Process process;
        start(process, E2E_SETUP_EXE, "/s AUTO_UPDATE=Enable " + row.arguments(folder), folder);
        const LauncherRun run = finish(process, folder);

        EXPECT_EQ(-80, run.exitCode);
        EXPECT_TRUE(run.logged("ERROR", row.logged)) << "not logged: " << row.logged << "\n" << run.log;
        EXPECT_TRUE(run.logged("INFO", "Error occurred while loading configuration settings. Exiting installer."));
        EXPECT_THAT(run.log, Not(HasSubstr("Wrapper exit code")));
        EXPECT_TRUE(run.installerCalls.empty()) << run.installerCalls.size() << " installer calls";
        EXPECT_FALSE(fileExists(workFolder(kWorkFolderName) + "\\forge3.1.0_27.msi")) << "package written";
        EXPECT_EQ(row.runtimeFile, readFile(runtimeSettingsFile())) << "runtime settings file changed";
    }
}

}  // namespace
