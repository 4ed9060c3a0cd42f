// The example wrapper (docs/examples/deploy-forge.cmd) as a deployment tool runs it: Wine's cmd.exe,
// the wrapper beside a stand-in launcher that ends with the code a case gives, the kit's key of this
// version in the 32-bit registry view, and the launcher's log in the wrapper's temporary folder.
#include <gtest/gtest.h>

#include "platform/win_test_support.h"

namespace {

using namespace wintest;

const char kKitKey[] = "SOFTWARE\\Velmora\\Mako Development Kit\\3.1.0_27";
const char kNewerLine[] = "Existing build: 10 is newer than current build: 9";

class DeployWrapperTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder = tempFolder() + "deploy-wrapper-" + std::to_string(GetCurrentProcessId());
        createFolders(folder);
        ASSERT_TRUE(CopyFileA(EXAMPLES_DIR "\\deploy-forge.cmd", (folder + "\\deploy-forge.cmd").c_str(), FALSE));
        ASSERT_TRUE(CopyFileA(EXAMPLES_DIR "\\install.cfg", (folder + "\\install.cfg").c_str(), FALSE));
        ASSERT_TRUE(CopyFileA(LAUNCHER_HELPER_DIR "\\launcher_standin.exe", (folder + "\\mako-forge-setup.exe").c_str(),
                              FALSE));
        // The wrapper's %TEMP%, so that the launcher's log it reads is this test's own.
        ASSERT_TRUE(SetEnvironmentVariableA("TEMP", folder.c_str()));
        deleteTree(kKitKey, KEY_WOW64_32KEY);
    }
    void TearDown() override {
        deleteTree(kKitKey, KEY_WOW64_32KEY);
        SetEnvironmentVariableA("STANDIN_EXIT_CODE", nullptr);
        SetEnvironmentVariableA("STANDIN_LOG_LINE", nullptr);
        emptyFolder(folder);
        RemoveDirectoryA(folder.c_str());
        DeleteFileA("C:\\Deploy\\install.cfg");
        RemoveDirectoryA("C:\\Deploy");
    }

    // The wrapper's exit code after a launcher that ends with launcherCode, having appended logLine
    // (if any) to its log.
    long runWrapper(long launcherCode, const char* logLine = "") {
        SetEnvironmentVariableA("STANDIN_EXIT_CODE", std::to_string(launcherCode).c_str());
        SetEnvironmentVariableA("STANDIN_LOG_LINE", *logLine ? logLine : nullptr);
        return run(systemFolder() + "\\cmd.exe", "/c \"" + folder + "\\deploy-forge.cmd\"", 120000);
    }

    std::string folder;
};

TEST_F(DeployWrapperTest, RunsTheLauncherSilentlyWithTheExampleConfiguration) {
    ASSERT_EQ(0, runWrapper(0));
    EXPECT_EQ("/s INSTALLCFG=C:\\Deploy\\install.cfg /l C:\\Deploy\\forge-msi.log",
              readFile(folder + "\\standin-arguments.txt"));
    EXPECT_EQ(readFile(EXAMPLES_DIR "\\install.cfg"), readFile("C:\\Deploy\\install.cfg"));
    // cmd.exe finds labels reliably only in a file with CR LF line ends.
    const std::string script = readFile(EXAMPLES_DIR "\\deploy-forge.cmd");
    // Wine's icacls.exe is a stub: the rules that keep other accounts out of C:\Deploy are checked by text.
    EXPECT_NE(std::string::npos, script.find("\r\nicacls C:\\Deploy /setowner *S-1-5-32-544 /t /q >nul && icacls C:\\Deploy "
                                             "/inheritance:r /grant:r *S-1-5-32-544:(OI)(CI)F *S-1-5-18:(OI)(CI)F "
                                             "*S-1-5-32-545:(OI)(CI)RX /t /q >nul\r\nif errorlevel 1 ("));
    for (size_t at = script.find('\n'); at != std::string::npos; at = script.find('\n', at + 1))
        ASSERT_TRUE(at > 0 && script[at - 1] == '\r') << "a line without CR ends at byte " << at;
}

// What a deployment tool sees for each code of the launcher. Only -1 depends on the machine: a newer
// build of this version installed (nothing to do) or not (another installation: retry).
TEST_F(DeployWrapperTest, MapsTheLaunchersCodesToTheWindowsInstallersAndTellsANewerBuildFromABusyMachine) {
    struct Row {
        const char* name;
        long launcherCode;
        const char* buildNumber;  // nullptr: no kit key
        const char* earlierLogLine;
        const char* runLogLine;
        long expected;
    } rows[] = {
        {"installed", 0, nullptr, "", "", 0},
        {"restart needed", 3010, nullptr, "", "", 3010},
        {"restart started", 1641, nullptr, "", "", 1641},
        {"faulty setting", -80, nullptr, "", "", 1639},
        {"no installer program", -3, nullptr, "", "", 1601},
        {"unexpected failure", -99, nullptr, "", "", 1603},
        {"newer build registered", -1, "10", "", "", 0},
        {"newer build with a leading zero, not octal 8", -1, "010", "", "", 0},
        {"newer build beyond cmd's numbers", -1, "12345678901", "", "", 0},
        {"same build registered", -1, "9", "", kNewerLine, 1618},
        {"no kit: another installation", -1, nullptr, "", "", 1618},
        {"no number in the registry, this run logged a newer build", -1, "10 (patched)", "", kNewerLine, 0},
        {"no kit, only an earlier run logged a newer build", -1, nullptr, kNewerLine, "", 1618},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        deleteTree(kKitKey, KEY_WOW64_32KEY);
        if (row.buildNumber) {
            ASSERT_TRUE(setString(kKitKey, "BuildNumber", row.buildNumber, KEY_WOW64_32KEY));
        }
        writeFile(folder + "\\musched.log", *row.earlierLogLine ? std::string(row.earlierLogLine) + "\r\n" : "");
        EXPECT_EQ(row.expected, runWrapper(row.launcherCode, row.runLogLine));
    }
}

}  // namespace
