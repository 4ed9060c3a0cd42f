// Configuration values on their way to the installer: folder names, properties and log paths in any
// script arrive whole and install for real, whatever the language for non-Unicode programs; a launcher
// without the UTF-8 code page takes the values of its code page (the values it cannot hold:
// fault_matrix_e2e_test.cpp).
#include "e2e/e2e_support.h"

namespace {

using namespace e2e;

std::wstring readWide(const std::string& path, const wchar_t* name, REGSAM view) {
    const Key key = openKey(path, KEY_READ, view);
    wchar_t buffer[1024] = {};
    DWORD size = sizeof buffer - sizeof(wchar_t);
    return key && !RegQueryValueExW(key.get(), name, nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &size) ? buffer : L"<none>";
}

bool existsWide(const std::string& utf8Path) {
    return GetFileAttributesW(utf16(utf8Path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Latin, Polish, Japanese (a kanji whose code page 932 trail byte is a backslash) and Chinese, which
// no code page holds together, under code page 1252 and 932. A launcher on a system without the
// UTF-8 code page still installs from values of its own code page's letters.
TEST_F(LauncherE2E, ValuesInAnyScriptReachTheInstallerWholeAndInstall) {
    const UINT codePage = GetACP();
    ASSERT_TRUE(codePage == 1252 || codePage == 932) << "run with LC_ALL=en_US.UTF-8 or ja_JP.UTF-8, not " << codePage;
    const std::string ownLetters = codePage == 1252 ? "F\xC3\xB8r" : "\xE8\xA1\xA8\xE3\x82\xBD\xE3\x83\x95\xE3\x83\x88";
    const std::string anyScript = "F\xC3\xB8r\xC5\x81\xE8\xA1\xA8\xE3\x82\xBD\xE4\xB8\xAD\xE6\x96\x87";
    for (const auto& [program, name] : {std::pair<const char*, std::string>{E2E_SETUP_EXE, anyScript},
                                        std::pair<const char*, std::string>{E2E_SETUP_ANSI_EXE, ownLetters}}) {
        SCOPED_TRACE(std::string(program) + " with " + name);
        resetMachine();
        const std::string kitDir = "C:\\Kits\\" + name, runtimeDir = kitDir + "\\runtime";
        const std::string folder = nextRunFolder(), log = folder + name + ".log";

        const LauncherRun run = runLauncher("/s INSTALLDIR=" + kitDir + " /INSTALLDIRPUBLOOM=" + runtimeDir +
                                                " MSI_CMDLINE=KITNOTE=" + name + " /l*v " + log, {}, program, folder);

        EXPECT_EQ(0, run.exitCode) << run.log;
        expectOneInstallCall(run, "0");
        // The recorder writes the wide command line it received as UTF-8.
        const std::string command = run.installerCalls.empty() ? "" : field(run.installerCalls[0], "command");
        EXPECT_THAT(command, HasSubstr(" KITNOTE=" + name + "  /qn "));
        EXPECT_THAT(command, HasSubstr(" WRAPPER=1 /l \"" + log + "\" INSTALLDIR=\"" + kitDir + "\""));
        EXPECT_THAT(run.loomRecord, HasSubstr(" INSTALLDIR=\"" + runtimeDir + "\""));
        // With the UTF-8 code page the log is UTF-8 throughout, the installer's command included.
        if (program == std::string(E2E_SETUP_EXE)) {
            EXPECT_THAT(run.log, HasSubstr(" INSTALLDIR=\"" + kitDir + "\"")) << "the log is not UTF-8";
        }

        EXPECT_EQ(utf16(kitDir + "\\"), readWide(kKitKey, L"MakoHome", kLauncherView));
        for (const char* file : {"\\README.txt", "\\bin\\forge.dat"}) EXPECT_TRUE(existsWide(kitDir + file)) << file;
        EXPECT_EQ(utf16(runtimeDir + "\\"), readWide(kRuntimeKey, L"MakoHome", kLauncherView));
        EXPECT_TRUE(existsWide(log)) << "the installer wrote no log under the name given";
    }
}

// A user whose name the code page cannot hold: the user data folder, and so the work folder, the
// package and the installer's source, carry a Polish and a Japanese letter.
TEST_F(LauncherE2E, UserDataFolderInAnyScriptReceivesThePackageAndInstalls) {
    const std::string localLow = nextRunFolder() + "\xC5\x81ukasz \xE6\x97\xA5\\LocalLow";
    const LocalLowRedirect redirect(localLow);
    ASSERT_TRUE(redirect.applied);
    const std::string package = localLow + "\\Halden\\Mako\\" + kWorkFolderName + "\\forge3.1.0_27.msi";

    const LauncherRun run = runLauncher("/s");

    EXPECT_EQ(0, run.exitCode) << run.log;
    ASSERT_LE(1u, run.installerCalls.size()) << run.log;
    EXPECT_EQ(package, field(run.installerCalls[0], "package"));
    EXPECT_EQ("0", field(run.installerCalls[0], "result"));
    expectKitInstalled();
}

// Folders (and the installer log path) that end in a backslash: each stays one argument of its
// installer, which installs there (before, such a value swallowed its quote and the properties after it).
TEST_F(LauncherE2E, FoldersEndingInABackslashInstallThere) {
    const LauncherRun run =
        runLauncher("/s /l \"C:\\Kit Logs\\\\\" INSTALLDIR=C:\\Kits\\ /INSTALLDIRPUBLOOM=C:\\Rt\\ REBOOT=ReallySuppress");
    EXPECT_EQ(0, run.exitCode) << run.log;
    ASSERT_LE(1u, run.installerCalls.size()) << run.log;
    EXPECT_THAT(field(run.installerCalls[0], "command"), HasSubstr(" /l \"C:\\Kit Logs\\\\\" INSTALLDIR=\"C:\\Kits\\\\\""));
    EXPECT_THAT(run.loomRecord, HasSubstr(" INSTALLDIR=\"C:\\Rt\\\\\"  REBOOT=ReallySuppress"));
    EXPECT_EQ(L"C:\\Kits\\", readWide(kKitKey, L"MakoHome", kLauncherView));
    EXPECT_EQ(L"C:\\Rt\\", readWide(kRuntimeKey, L"MakoHome", kLauncherView));
}

}  // namespace
