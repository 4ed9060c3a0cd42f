// The decisions about an installed kit or runtime of this version, in both registry views from this
// process, whatever its own bitness. The Windows Installer is the recording msiexec.exe with a fixed
// result, so only the decision and the command are under test here; the end-to-end tests remove real
// packages and show the refusals in the launcher's own view. The keys are the product's own: CTest
// keeps this apart from the other users of them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "driver/existing_installations.h"
#include "driver/existing_installations_keys.h"
#include "platform/registry.h"
#include "platform/tstrings.h"
#include "platform/win_test_support.h"
#include "product/product_codes.h"

namespace {

const char kUninstallKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
const char kInstallerKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer";
const std::string kKit = "SOFTWARE\\Velmora\\Mako Development Kit\\3.1.0_27";
const std::string kLoom = "SOFTWARE\\Velmora\\Mako Runtime Environment\\3.1.0_27";

REGSAM viewOf(bool use64) { return use64 ? KEY_WOW64_64KEY : KEY_WOW64_32KEY; }
const RegistryKey& rootOf(bool use64) { return use64 ? RegistryKey::machine64() : RegistryKey::machine32(); }

void deleteTree(const std::string& path, bool use64) {
    const size_t slash = path.rfind('\\');
    HKEY parent = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.substr(0, slash).c_str(), 0, KEY_ALL_ACCESS | viewOf(use64), &parent) ==
        ERROR_SUCCESS) {
        RegDeleteTreeA(parent, path.substr(slash + 1).c_str());
        RegCloseKey(parent);
    }
}

RegistryKey create(const std::string& path, bool use64) {
    return RegistryKey::open(rootOf(use64), path, RegistryKey::ReadWrite);
}

// A kit or runtime of this version in one view, as an installer or a broken installation leaves it.
struct Installed {
    bool use64;
    std::string kitCode, loomCode;  // product codes of this view
    void kit(const char* build) const {
        const RegistryKey key = create(kKit, use64);
        key.setString("MakoHome", "C:\\Kit\\");
        key.setString("BuildNumber", build);
        create(std::string(kUninstallKey) + "\\" + kitCode, use64);
    }
    void loom(const char* build, const char* mode = "", bool home = true) const {
        const RegistryKey key = create(kLoom, use64);
        key.setString("BuildNumber", build);
        if (home) key.setString("MakoHome", "C:\\Kit\\jre");
        const RegistryKey msi = create(kLoom + "\\MSI", use64);
        msi.setString("FullVersion", "3.1.0_27-b09");
        msi.setString("MODE", mode);
        create(std::string(kUninstallKey) + "\\" + loomCode, use64);
    }
};

class ExistingInstallations : public ::testing::Test {
protected:
    void SetUp() override {
        for (bool use64 : {false, true}) {
            for (const std::string& key : {kKit, kLoom}) {
                ASSERT_FALSE(RegistryKey::exists(rootOf(use64), key)) << "an installed copy is in the way: " << key;
            }
        }
        char folder[MAX_PATH] = {};
        DWORD size = sizeof folder;
        hadInstallerLocation = RegGetValueA(HKEY_LOCAL_MACHINE, kInstallerKey, "InstallerLocation", RRF_RT_REG_SZ, nullptr,
                                            folder, &size) == ERROR_SUCCESS;
        installerLocation = folder;
        RegistryKey::open(RegistryKey::machine(), kInstallerKey, RegistryKey::ReadWrite)
            .setString("InstallerLocation", RECORDER_DIR);
        SetEnvironmentVariableA("MAKO_TEST_RECORD", record.c_str());
    }

    void TearDown() override {
        clean();
        const RegistryKey installer = RegistryKey::open(RegistryKey::machine(), kInstallerKey, RegistryKey::ReadWrite);
        if (hadInstallerLocation) {
            installer.setString("InstallerLocation", installerLocation);
        } else {
            RegDeleteValueA(installer.handle(), "InstallerLocation");
        }
        SetEnvironmentVariableA("MAKO_TEST_RECORD", nullptr);
        SetEnvironmentVariableA("MAKO_TEST_MSIEXEC_RESULT", nullptr);
    }

    void clean() {
        for (bool use64 : {false, true}) {
            deleteTree(kKit, use64);
            deleteTree(kLoom, use64);
            for (int arch : {32, 64}) {
                deleteTree(std::string(kUninstallKey) + "\\" + forgeProductCode(arch), use64);
                deleteTree(std::string(kUninstallKey) + "\\" + mscrub::MCleaner::getProductGUID("3.1.0_27", arch), use64);
            }
        }
        DeleteFileA(record.c_str());
        DeleteFileA(log.c_str());
    }

    const std::string record = wintest::scratchFile("existing-msiexec");
    const std::string log = wintest::scratchFile("existing-log");
    bool hadInstallerLocation = false;
    std::string installerLocation;
};

std::string withoutCarriageReturns(std::string text) {
    text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
    return text;
}

// The recorded installer commands, without the program: " /x {...} /qn" each.
std::vector<std::string> removals(const std::string& recordText) {
    std::vector<std::string> found;
    for (size_t at = recordText.find("command: "); at != std::string::npos; at = recordText.find("command: ", at + 1)) {
        const std::string line = recordText.substr(at, recordText.find('\n', at) - at);
        found.push_back(line.substr(line.find(" /x")));
    }
    return found;
}

TEST_F(ExistingInstallations, DecisionsInEitherView) {
    struct Row {
        const char* what;
        bool silent;
        std::function<void(const Installed&)> install;
        const char* installerResult;
        int expected;
        std::vector<std::string> commands;  // "{kit}" and "{loom}" stand for this view's codes
        std::vector<std::string> logged;    // "<unit>:<line> (<function>)]\n\t<LEVEL>: <text>", codes as above
    };
    const std::string noKit = "WrapperUtils:1234 (UninstallLoomOrForgeIfSameVersionExists)]\n\tINFO: No same version Forge exists";
    const std::string noLoom = "WrapperUtils:1253 (UninstallLoomOrForgeIfSameVersionExists)]\n\tINFO: No same version Loom exists";
    const std::vector<Row> rows = {
        {"kit and runtime build 9, silent", true, [](const Installed& i) { i.kit("9"); i.loom("9"); }, "0", 1,
         {" /x {kit} /qn", " /x {loom} /qn"},
         {"WrapperUtils:1206 (IsSameOrOlderBuildInstalled)]\n\tINFO: Existing build: 9 is same/older than current build: 9"}},
        {"kit build 09 with text after it, not silent", false, [](const Installed& i) { i.kit("09x"); }, "0", 1,
         {" /x {kit} /qb!"}, {noLoom}},
        {"kit build 10", true, [](const Installed& i) { i.kit("10"); i.loom("9"); }, "0", 0, {},
         {"WrapperUtils:1210 (IsSameOrOlderBuildInstalled)]\n\tINFO: Existing build: 10 is newer than current build: 9"}},
        {"runtime static", true, [](const Installed& i) { i.loom("9", "s"); }, "0", 1, {}, {noKit}},
        {"runtime without home: not found, so not static", true, [](const Installed& i) { i.loom("8", "S", false); },
         "0", 1, {" /x {loom} /qn"}, {"WrapperUtils:1096 (IsVersionStatic)]\n\tERROR: cannot find Loom: 3.1.0_27"}},
        {"runtime removal fails", true, [](const Installed& i) { i.loom("9"); }, "1603", 0, {" /x {loom} /qn"},
         {"WrapperUtils:1114 (CheckGUIDAndUninstall)]\n\tERROR: Uninstall existing Loom failed{loom}:1603",
          "WrapperUtils:1258 (UninstallLoomOrForgeIfSameVersionExists)]\n\tERROR: UninstallLoomIfSameOrOlderBuild( " + kLoom +
              ") failed"}},
    };
    for (bool nativeX64 : {false, true}) {
        const int arch = nativeX64 ? 64 : 32;
        const Installed mine{nativeX64, forgeProductCode(arch), mscrub::MCleaner::getProductGUID("3.1.0_27", arch)};
        // The same products in the other view, and this view's codes registered there, stay unseen.
        const Installed other{!nativeX64, mine.kitCode, mine.loomCode};
        const auto codes = [&](std::string text) {
            for (const auto& name : {std::make_pair("{kit}", &mine.kitCode), std::make_pair("{loom}", &mine.loomCode)}) {
                for (size_t at = text.find(name.first); at != std::string::npos; at = text.find(name.first, at))
                    text.replace(at, std::strlen(name.first), *name.second);
            }
            return text;
        };
        for (const Row& row : rows) {
            SCOPED_TRACE(std::string(row.what) + (nativeX64 ? ", 64-bit view" : ", 32-bit view"));
            clean();
            row.install(mine);
            SetEnvironmentVariableA("MAKO_TEST_MSIEXEC_RESULT", row.installerResult);
            int result = -1;
            {
                wintest::GlobalLogRedirect redirect(log);
                result = UninstallLoomOrForgeIfSameVersionExists(row.silent, nativeX64);
            }
            EXPECT_EQ(row.expected, result);
            std::vector<std::string> expectedCommands;
            for (const std::string& command : row.commands) expectedCommands.push_back(codes(command));
            EXPECT_EQ(expectedCommands, removals(wintest::readFile(record)));
            const std::string logText = withoutCarriageReturns(wintest::readFile(log));
            for (const std::string& line : row.logged) {
                EXPECT_NE(logText.find(codes(line)), std::string::npos) << codes(line) << "\n" << logText;
            }
        }
        SCOPED_TRACE(nativeX64 ? "only in the 32-bit view" : "only in the 64-bit view");
        clean();
        other.kit("10");
        other.loom("9");
        EXPECT_EQ(1, UninstallLoomOrForgeIfSameVersionExists(true, nativeX64));
        EXPECT_TRUE(removals(wintest::readFile(record)).empty());
    }
}

}  // namespace
