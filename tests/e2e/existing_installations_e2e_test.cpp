// The launcher meets a kit or public runtime of its own version: installed by the real installer
// from the stand-in packages, or keys written by hand as a broken installation leaves them.

#include "e2e/e2e_support.h"

namespace {

using namespace e2e;

const std::string kKitPackage = std::string(E2E_PAYLOAD_DIR) + "\\forge3.1.0_27.msi";

std::vector<std::string> commandsOf(const LauncherRun& run) {
    std::vector<std::string> commands;
    for (const RecordedCall& call : run.installerCalls) {
        const std::string command = field(call, "command");
        const size_t x = command.find(" /x ");
        commands.push_back((x == std::string::npos ? "install" : command.substr(x + 1)) + ", result " + field(call, "result"));
    }
    return commands;
}

// A kit and runtime of this build are removed by their product codes, the kit's quietly when silent
// and with a basic interface otherwise, before the kit installs again. A runtime of this version that
// is static, newer, or not registered stays and the kit installs (0). A kit of this version refuses
// the run with -1 before any package is written; only a failing removal reaches the installer.
TEST_F(LauncherE2E, SameBuildIsRemovedInstalledRuntimeStaysAndInstalledKitRefusesTheRun) {
    // commands: all of a run that removes or is refused; logged: "<LEVEL>: <text>" of an entry, or its start.
    struct Row {
        const char* what;
        std::function<void()> prepare;
        long exitCode;
        Environment env;
        std::vector<std::string> commands, logged;
        std::string arguments = "/s";
        bool runtimeAfter = true;
    };
    const std::string code = E2E_KIT_PRODUCT_CODE;
    const auto sameBuild = [this] {
        ASSERT_EQ(0, runLauncher("/s").exitCode);
        ASSERT_TRUE(kitRegistered() && runtimeRegistered()) << "the first run left no kit and runtime";
    };
    const auto removed = [&](const std::string& ui) {
        return std::vector<std::string>{"/x " + code + " " + ui + ", result 0",
                                        std::string("/x ") + E2E_RUNTIME_PRODUCT_CODE + " " + ui + ", result 0", "install, result 0"};
    };
    const std::string build = "INFO: Existing build: ";
    const std::vector<Row> rows = {
        // The silent run installs the public runtime again.
        {"same build, silent", sameBuild, 0, {}, removed("/qn"), {build + "9 is same/older than current build: 9"}},
        {"same build, basic interface", sameBuild, 0, {}, removed("/qb!"), {}, "MSI_CMDLINE=/qn", false},
        {"static runtime", [] { ASSERT_EQ(0, installPackage(E2E_RUNTIME_PACKAGE, "MODE=S")); }, 0, {}, {},
         {build + "9 is same/older than current build: 9"}},
        {"runtime build 12", [] { ASSERT_EQ(0, installPackage(E2E_RUNTIME_PACKAGE)); setString(kRuntimeKey, "BuildNumber", "12"); },
         0, {}, {}, {build + "12 is newer than current build: 9"}},
        {"runtime not registered",
         [] { setString(kRuntimeKey, "MakoHome", "C:\\Runtime\\"), setString(kRuntimeKey, "BuildNumber", "9"); }, 0, {}, {},
         {std::string("ERROR: GUID not found") + E2E_RUNTIME_PRODUCT_CODE + ":2"}},
        {"a newer kit build stored as a number",
         [] {
             const DWORD ten = 10;
             ASSERT_EQ(ERROR_SUCCESS, RegSetKeyValueA(HKEY_LOCAL_MACHINE, kKitKey, "BuildNumber", REG_DWORD, &ten, sizeof ten));
         },
         -1, {}, {}, {build + "10 is newer than current build: 9"}},
        {"an unreadable build number", [] { setString(kKitKey, "MakoHome", "C:\\Kit\\"); }, -1, {}, {},
         {"ERROR: MakoKey.QueryValue(BuildNumber, Value); failed: 2"}},
        {"a kit key without its product code", [] { setString(kKitKey, "BuildNumber", "9"); }, -1, {}, {},
         {"ERROR: Forge GUID not found " + code + ": 2", "ERROR: UninstallExistingForge (" + std::string(kKitKey) + ") failed"}},
        // The last row: its kit stays installed.
        {"a removal that fails", [] { ASSERT_EQ(0, installPackage(kKitPackage)); }, -1, {{"MAKO_TEST_FAIL_REMOVAL", "1"}},
         {"/x " + code + " /qn, result 1603"},
         {"INFO: uninstall " + code + " of 3.1.0_27 failed.  ErrorCode: 1603", " Forge failed " + code + ": 1603"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        resetMachine();
        row.prepare();
        const LauncherRun run = runLauncher(row.arguments, row.env);
        EXPECT_EQ(row.exitCode, run.exitCode) << run.log;
        for (const std::string& entry : row.logged) EXPECT_TRUE(run.logged(entry)) << entry << "\n" << run.log;
        if (row.exitCode == 0) {
            if (row.commands.empty()) expectOneInstallCall(run, "0");
            else EXPECT_EQ(row.commands, commandsOf(run)) << run.log;
            expectKitInstalled();
            EXPECT_EQ(row.runtimeAfter, runtimeRegistered());
            EXPECT_EQ("Wrapper exit code: 0", run.lastMessage());
            continue;
        }
        // The package is written before this check (a write that fails must refuse the run before
        // anything is removed); no installer runs it.
        EXPECT_EQ(row.commands, commandsOf(run));
        EXPECT_THAT(run.log, Not(HasSubstr("Wrapper exit code")));
    }
    EXPECT_TRUE(kitRegistered()) << "the kit whose removal failed is gone";
}

}  // namespace
