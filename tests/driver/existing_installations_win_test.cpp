// The decisions about an installed kit or runtime of this version in both registry views from this
// process, whatever its own bitness, with the recording msiexec.exe at a fixed result. The variety
// of outcomes and their log lines are shown end to end in the launcher's own view. The keys are the
// product's own: CTest keeps this apart from the other users of them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "driver/existing_installations.h"
#include "driver/existing_installations_keys.h"
#include "platform/logger.h"
#include "platform/win_test_support.h"
#include "product/product_codes.h"

namespace {

const std::string kUninstall = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
const char kInstallerKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer";

// The kit or the runtime of this version with the build as an installer leaves it in one view, with
// its product code.
void install(bool kit, const char* build, bool use64, const std::string& code) {
    const REGSAM view = use64 ? KEY_WOW64_64KEY : KEY_WOW64_32KEY;
    const std::string key = kit ? forgeVersionKey() : loomVersionKey();
    wintest::setString(key, "MakoHome", "C:\\Kit\\", view);
    wintest::setString(key, "BuildNumber", build, view);
    if (!kit) {
        wintest::setString(key + "\\MSI", "FullVersion", "3.1.0_27-b09", view);
        wintest::setString(key + "\\MSI", "MODE", "", view);
    }
    wintest::openKey(kUninstall + code, KEY_WRITE, view, true);
}

class ExistingInstallations : public ::testing::Test {
protected:
    void SetUp() override {
        for (const std::string& key : {forgeVersionKey(), loomVersionKey()})
            ASSERT_FALSE(wintest::keyExists(key, KEY_WOW64_32KEY) || wintest::keyExists(key, KEY_WOW64_64KEY))
                << "an installed copy is in the way: " << key;
        hadInstallerLocation = wintest::readString(kInstallerKey, "InstallerLocation", installerLocation);
        wintest::setString(kInstallerKey, "InstallerLocation", RECORDER_DIR);
        SetEnvironmentVariableA("MAKO_TEST_RECORD", record.c_str());
    }
    void TearDown() override {
        clean();
        if (hadInstallerLocation) wintest::setString(kInstallerKey, "InstallerLocation", installerLocation);
        else wintest::deleteValue(kInstallerKey, "InstallerLocation");
        for (const char* name : {"MAKO_TEST_RECORD", "MAKO_TEST_MSIEXEC_RESULT"}) SetEnvironmentVariableA(name, nullptr);
    }
    void clean() {
        std::vector<std::string> keys = {forgeVersionKey(), loomVersionKey()};
        for (int arch : {32, 64}) {
            keys.push_back(kUninstall + forgeProductCode(arch));
            keys.push_back(kUninstall + mscrub::MCleaner::getProductGUID("3.1.0_27", arch));
        }
        for (REGSAM view : {KEY_WOW64_32KEY, KEY_WOW64_64KEY})
            for (const std::string& key : keys) wintest::deleteTree(key, view);
        DeleteFileA(record.c_str());
        DeleteFileA(log.c_str());
    }
    // The recorded installer commands, without the program: " /x {...} /qn" each.
    std::vector<std::string> removals() const {
        std::vector<std::string> found;
        for (const wintest::RecordedCall& call : wintest::parseRecord(wintest::readFile(record)))
            found.push_back(call.at("command").substr(call.at("command").find(" /x")));
        return found;
    }

    const std::string record = wintest::scratchFile("existing-msiexec");
    const std::string log = wintest::scratchFile("existing-log");
    // The launcher's log lines stay out of the shared log.
    wintest::ScopedValue<std::string> redirect{globalLogger.path, log};
    bool hadInstallerLocation = false;
    std::string installerLocation;
};

// Each view as the launcher of that bitness sees it: a runtime whose removal fails refuses the run,
// and a newer kit in the other view stays unseen (it would refuse the run before any removal). A kit
// and runtime of this build removed in order and a newer kit in the launcher's own view are shown
// end to end.
TEST_F(ExistingInstallations, DecisionsInEitherView) {
    SetEnvironmentVariableA("MAKO_TEST_MSIEXEC_RESULT", "1603");
    for (bool nativeX64 : {false, true}) {
        const int arch = nativeX64 ? 64 : 32;
        const std::string loomCode = mscrub::MCleaner::getProductGUID("3.1.0_27", arch);
        SCOPED_TRACE(nativeX64 ? "64-bit view" : "32-bit view");
        clean();
        install(false, "8", nativeX64, loomCode);
        install(true, "10", !nativeX64, forgeProductCode(arch));
        EXPECT_EQ(0, UninstallLoomOrForgeIfSameVersionExists(true, nativeX64));
        EXPECT_EQ(std::vector<std::string>{" /x " + loomCode + " /qn"}, removals());
    }
}

}  // namespace
