// Configuration values on their way to the installer: non-ASCII folder names, properties and log
// paths arrive in the process code page and install for real (values that code page cannot hold:
// fault_matrix_e2e_test.cpp).
#include "e2e/e2e_support.h"

namespace {

using namespace e2e;

std::wstring readWide(const std::string& path, const wchar_t* name, REGSAM view) {
    const Key key = openKey(path, KEY_READ, view);
    wchar_t buffer[1024] = {};
    DWORD size = sizeof buffer - sizeof(wchar_t);
    const bool read =
        key && !RegQueryValueExW(key.get(), name, nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &size);
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

// Folders that end in a backslash: each stays one argument of its installer, which installs there
// (before, the runtime's folder swallowed its quote and the properties after it).
TEST_F(ConfigValuesE2E, FoldersEndingInABackslashInstallThere) {
    const LauncherRun run = runLauncher("/s INSTALLDIR=C:\\Kits\\ /INSTALLDIRPUBLOOM=C:\\Rt\\ REBOOT=ReallySuppress");
    EXPECT_EQ(0, run.exitCode) << run.log;
    EXPECT_THAT(run.loomRecord, HasSubstr(" INSTALLDIR=\"C:\\Rt\\\\\"  REBOOT=ReallySuppress"));
    std::string kitHome, runtimeHome;
    EXPECT_TRUE(readString(kKitKey, "MakoHome", kitHome, kLauncherView));
    EXPECT_TRUE(readString(kRuntimeKey, "MakoHome", runtimeHome, kLauncherView));
    EXPECT_EQ("C:\\Kits\\", kitHome);
    EXPECT_EQ("C:\\Rt\\", runtimeHome);
}

}  // namespace
