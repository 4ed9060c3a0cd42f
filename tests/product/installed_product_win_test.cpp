// The registry scan in both views from this process, whatever its bitness, under the product's own
// keys with version names no one else uses (CTest keeps the other users of these keys apart).
#include "product/installed_product.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>

#include "platform/logger.h"
#include "platform/win_test_support.h"

namespace {

using ::testing::HasSubstr;

const char kRuntimes[] = "SOFTWARE\\Velmora\\Mako Runtime Environment\\";
const char* const kNames[] = {"3.1", "3.10", "3.1.0_91", "3.1.0_93", "3.1.0_94"};
const std::string kHome = "C:\\ScanTest";

void removeEntries() {
    for (REGSAM view : {KEY_WOW64_32KEY, KEY_WOW64_64KEY})
        for (const char* name : kNames) wintest::deleteTree(kRuntimes + std::string(name), view);
}

// The launcher scans one view at a time; each scan sees only its own view's entries.
TEST(InstalledProductScan, EachViewWithBadEntriesLoggedAndSkipped) {
    removeEntries();
    struct Entry { const char* name; bool home; const char* fullVersion; const char* mode; };
    const Entry entries[] = {
        {"3.1", false, "", ""},               // family key: skipped silently
        {"3.10", true, "", ""},               // too short: logged
        {"3.1.0_91", true, "3.1.0_91-b09", ""},
        {"3.1.0_93", true, "", "s"},
        {"3.1.0_94", false, "", ""},          // no MakoHome: logged
    };
    for (int arch : {32, 64}) {
        for (const Entry& e : entries) {
            const REGSAM view = arch == 64 ? KEY_WOW64_64KEY : KEY_WOW64_32KEY;
            const std::string key = kRuntimes + std::string(e.name);
            if (e.home) wintest::setString(key, "MakoHome", kHome + std::to_string(arch), view);
            wintest::setString(key + "\\MSI", "FullVersion", e.fullVersion, view);
            wintest::setString(key + "\\MSI", "MODE", e.mode, view);
        }
    }
    const std::string log = wintest::scratchFile("installed-scan");
    // "<type><arch> <home> <update>-b<build> static=<0|1>" of the records made here, in any order.
    std::vector<std::string> got;
    {
        wintest::ScopedValue redirect(globalLogger.path, log);
        for (int arch : {32, 64}) {
            for (const InstalledProduct& p : installedLoom(arch)) {
                if (p.home.rfind(kHome, 0) != 0) continue;  // installed by someone else
                got.push_back(p.typeName + std::to_string(p.arch) + " " + p.home + " " +
                              std::to_string(p.version.getUpdate()) + "-b" + std::to_string(p.version.getBuild()) +
                              " static=" + std::to_string(p.isStatic));
            }
        }
    }
    std::sort(got.begin(), got.end());
    EXPECT_EQ((std::vector<std::string>{"loom32 C:\\ScanTest32 91-b9 static=0", "loom32 C:\\ScanTest32 93-b0 static=1",
                                        "loom64 C:\\ScanTest64 91-b9 static=0", "loom64 C:\\ScanTest64 93-b0 static=1"}),
              got);
    const std::string text = wintest::readFile(log);
    EXPECT_THAT(text, HasSubstr("Failed to parse [3.10] version string. The string is too short"));
    EXPECT_THAT(text, HasSubstr("query value (MakoHome) error: 2"));
    removeEntries();
    DeleteFileA(log.c_str());
}

}  // namespace
