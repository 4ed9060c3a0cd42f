// The launcher meets a kit or public runtime of its own version: installed by the real installer
// from the stand-in packages, or keys written by hand as a broken installation leaves them.
#include <tuple>

#include "e2e/e2e_support.h"

namespace {

using namespace e2e;

const std::string kKitPackage = std::string(E2E_PAYLOAD_DIR) + "\\forge3.1.0_27.msi";

std::vector<std::string> commandsOf(const LauncherRun& run) {
    std::vector<std::string> commands;
    for (const RecordedCall& call : run.installerCalls) {
        const std::string command = field(call, "command");
        const size_t x = command.find(" /x ");
        commands.push_back(x == std::string::npos ? "install, result " + field(call, "result")
                                                  : command.substr(x + 1) + ", result " + field(call, "result"));
    }
    return commands;
}

// A kit and runtime of this build are removed by their product codes, the kit's quietly when silent
// and with a basic interface otherwise, before the kit installs again.
TEST_F(LauncherE2E, SameBuildIsRemovedBeforeTheKitInstallsAgain) {
    // The silent run installs the public runtime again.
    for (const auto& [arguments, ui, runtimeAgain] :
         {std::tuple{"/s", "/qn", true}, std::tuple{"MSI_CMDLINE=/qn", "/qb!", false}}) {
        SCOPED_TRACE(arguments);
        resetMachine();
        const LauncherRun first = runLauncher("/s");
        ASSERT_EQ(0, first.exitCode) << first.log;
        ASSERT_TRUE(kitRegistered() && runtimeRegistered()) << "the first run left no kit and runtime";

        const LauncherRun run = runLauncher(arguments);
        EXPECT_EQ(0, run.exitCode) << run.log;
        const std::vector<std::string> expected = {
            std::string("/x ") + E2E_KIT_PRODUCT_CODE + " " + ui + ", result 0",
            std::string("/x ") + E2E_RUNTIME_PRODUCT_CODE + " " + ui + ", result 0", "install, result 0"};
        EXPECT_EQ(expected, commandsOf(run)) << run.log;
        expectKitInstalled();
        EXPECT_EQ(runtimeAgain, runtimeRegistered());
        EXPECT_EQ("Wrapper exit code: 0", run.lastMessage());
    }
}

// A runtime of this version that is static, newer, or not registered stays and the kit installs (0).
// A kit of this version refuses the run with -1 before any package is written; only a failing
// removal reaches the installer.
TEST_F(LauncherE2E, InstalledRuntimeStaysAndInstalledKitRefusesTheRun) {
    struct Row {
        const char* what;
        std::function<void()> prepare;
        long exitCode;
        Environment env;
        std::vector<std::string> commands;  // of a refused run
        std::vector<std::string> logged;  // "<LEVEL>: <text>" of an entry, or its start
    };
    const std::string code = E2E_KIT_PRODUCT_CODE;
    const std::string build = "INFO: Existing build: ";
    const std::vector<Row> rows = {
        {"static runtime", [] { ASSERT_EQ(0, installPackage(E2E_RUNTIME_PACKAGE, "MODE=S")); }, 0, {}, {},
         {"INFO: Existing build: 9 is same/older than current "
          "build: 9"}},
        {"runtime build 12",
         [] {
             ASSERT_EQ(0, installPackage(E2E_RUNTIME_PACKAGE));
             setString(kRuntimeKey, "BuildNumber", "12");
         },
         0, {}, {}, {build + "12 is newer than current build: 9"}},
        {"runtime not registered",
         [] {
             setString(kRuntimeKey, "MakoHome", "C:\\Runtime\\");
             setString(kRuntimeKey, "BuildNumber", "9");
         },
         0, {}, {}, {std::string("ERROR: GUID not found") +
                     E2E_RUNTIME_PRODUCT_CODE + ":2"}},
        {"a newer kit build", [] { setString(kKitKey, "BuildNumber", "10"); }, -1, {}, {},
         {build + "10 is newer than current build: 9"}},
        {"a newer kit build stored as a number",
         [] {
             const DWORD ten = 10;
             const Key key = openKey(kKitKey, KEY_WRITE, 0, true);
             ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(key.get(), "BuildNumber", 0, REG_DWORD,
                                                     reinterpret_cast<const BYTE*>(&ten), sizeof ten));
         },
         -1, {}, {}, {build + "10 is newer than current build: 9"}},
        {"an unreadable build number", [] { setString(kKitKey, "MakoHome", "C:\\Kit\\"); }, -1, {}, {},
         {"ERROR: MakoKey.QueryValue(BuildNumber, Value); "
          "failed: 2"}},
        {"a kit key without its product code", [] { setString(kKitKey, "BuildNumber", "9"); }, -1, {}, {},
         {"ERROR: Forge GUID not found " + code + ": 2",
          "ERROR: UninstallExistingForge (" +
              std::string(kKitKey) + ") failed"}},
        // The last row: its kit stays installed.
        {"a removal that fails", [] { ASSERT_EQ(0, installPackage(kKitPackage)); }, -1,
         {{"MAKO_TEST_FAIL_REMOVAL", "1"}}, {"/x " + code + " /qn, result 1603"},
         {"INFO: uninstall " + code + " of 3.1.0_27 failed.  ErrorCode: 1603",
          " Forge failed " + code + ": 1603"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        resetMachine();
        row.prepare();
        const LauncherRun run = runLauncher("/s", row.env);
        EXPECT_EQ(row.exitCode, run.exitCode) << run.log;
        for (const std::string& entry : row.logged) EXPECT_TRUE(run.logged(entry)) << entry << "\n" << run.log;
        if (row.exitCode == 0) {
            expectOneInstallCall(run, "0");
            expectKitInstalled();
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
