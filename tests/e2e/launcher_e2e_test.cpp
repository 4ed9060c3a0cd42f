// The built launcher end to end under Wine: installs, reinstall requests and the user-interface
// language (faults and their exit codes: fault_matrix_e2e_test.cpp; support and fixture: e2e_support.h).
#include "e2e/e2e_support.h"

namespace {

using namespace e2e;

// A silent run installs the kit from the extracted payload; a Japanese user interface, asked for by
// switch or found in the environment, adds the Japanese transform.
void expectInstalled(const LauncherRun& run, bool japanese) {
    EXPECT_EQ(0, run.exitCode);
    expectOneInstallCall(run, "0");
    const std::string command = run.installerCalls.empty() ? "" : field(run.installerCalls[0], "command");
    EXPECT_THAT(command, HasSubstr(" /qn ADDLOCAL=PublicloomFeature,ToolsFeature WRAPPER=1"));
    if (japanese) EXPECT_THAT(command, HasSubstr("forge3.1.0_27.msi\" TRANSFORMS=:1041 "));
    else EXPECT_THAT(command, Not(HasSubstr("TRANSFORMS=")));
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
    std::string makoHome, runtimeHome;  // the runtime's: loom.exe's own default, no folder was asked for
    readString(kKitKey, "MakoHome", makoHome, kLauncherView);
    EXPECT_FALSE(makoHome.empty() || fileExists(makoHome + "\\loom.exe")) << makoHome;
    readString(kRuntimeKey, "MakoHome", runtimeHome, kLauncherView);
    if (!makoHome.empty() && makoHome.back() != '\\') makoHome += '\\';
    EXPECT_EQ(makoHome + "loom\\", runtimeHome);

    EXPECT_EQ("Wrapper exit code: 0", run.lastMessage()) << run.log;
}

TEST_F(LauncherE2E, SilentInstallInstallsKitFromExtractedPayload) {
    for (const char* arguments : {"/s", "/lang=1041 /s"}) {
        SCOPED_TRACE(arguments);
        resetMachine();
        expectInstalled(runLauncher(arguments), arguments[1] == 'l');
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

// Run as its own CTest test with LC_ALL=ja_JP.UTF-8.
TEST_F(LauncherE2E, JapaneseUiLanguageSelectsTransformWithoutSwitch) {
    ASSERT_EQ(1041, LANGIDFROMLCID(GetUserDefaultUILanguage()))
        << "LC_ALL=ja_JP.UTF-8 did not give a Japanese user interface: is the ja_JP.UTF-8 locale generated?";
    expectInstalled(runLauncher("/s"), true);
}

}  // namespace
