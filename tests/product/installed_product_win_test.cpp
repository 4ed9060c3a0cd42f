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

const char* const kProductKeys[] = {"SOFTWARE\\Velmora\\Mako Runtime Environment", "SOFTWARE\\Velmora\\Mako Development Kit"};
const char* const kNames[] = {"3.1", "3.10", "3.1.0_91", "3.1.0_92", "3.1.0_93", "3.1.0_94"};
const std::string kHome = "C:\\ScanTest";

void removeEntries() {
    for (REGSAM view : {KEY_WOW64_32KEY, KEY_WOW64_64KEY})
        for (const char* product : kProductKeys)
            for (const char* name : kNames) wintest::deleteTree(std::string(product) + "\\" + name, view);
}

TEST(InstalledProductScan, BothViewsInFixedOrderWithBadEntriesLoggedAndSkipped) {
    removeEntries();
    struct Entry { int kind; const char* name; bool home; const char* fullVersion; const char* mode; };
    const Entry entries[] = {  // kind 0 runtime, 1 kit; fullVersion null: no MSI subkey
        {0, "3.1", false, "", ""},               // family key: skipped silently
        {0, "3.10", true, "", ""},               // too short: logged
        {0, "3.1.0_91", true, "3.1.0_91-b09", ""},
        {0, "3.1.0_92", true, nullptr, nullptr},  // no MSI subkey: not static
        {0, "3.1.0_93", true, "", "s"},
        {0, "3.1.0_94", false, "", ""},          // no MakoHome: logged
        {1, "3.1.0_91", true, nullptr, nullptr},  // a kit is always static
    };
    for (int arch : {32, 64}) {
        for (const Entry& e : entries) {
            const REGSAM view = arch == 64 ? KEY_WOW64_64KEY : KEY_WOW64_32KEY;
            const std::string key = std::string(kProductKeys[e.kind]) + "\\" + e.name;
            if (e.home) wintest::setString(key, "MakoHome", kHome + std::to_string(arch), view);
            if (!e.fullVersion) continue;
            wintest::setString(key + "\\MSI", "FullVersion", e.fullVersion, view);
            wintest::setString(key + "\\MSI", "MODE", e.mode, view);
        }
    }
    const std::string log = wintest::scratchFile("installed-scan");
    std::vector<InstalledProduct> all;
    {
        wintest::ScopedValue redirect(globalLogger.path, log);
        all = detectInstalled(installed::Runtimes | installed::DevelopmentKits | installed::View32 | installed::View64);
    }
    // "<type><arch> <update>-b<build> static=<0|1>" of the records made here; the groups come in
    // scan order, the registry's order within a group is not fixed.
    std::vector<std::string> got, groups;
    for (const InstalledProduct& p : all) {
        const std::string group = p.typeName + std::to_string(p.arch);
        if (p.home != kHome + std::to_string(p.arch)) continue;  // installed by someone else
        got.push_back(group + " " + std::to_string(p.version.getUpdate()) + "-b" + std::to_string(p.version.getBuild()) +
                      " static=" + std::to_string(p.isStatic));
        if (groups.empty() || groups.back() != group) groups.push_back(group);
    }
    std::sort(got.begin(), got.end());
    EXPECT_EQ((std::vector<std::string>{"forge32 91-b0 static=1", "forge64 91-b0 static=1", "loom32 91-b9 static=0",
                                        "loom32 92-b0 static=0", "loom32 93-b0 static=1", "loom64 91-b9 static=0",
                                        "loom64 92-b0 static=0", "loom64 93-b0 static=1"}),
              got);
    EXPECT_EQ((std::vector<std::string>{"loom32", "forge32", "loom64", "forge64"}), groups);
    const std::string text = wintest::readFile(log);
    EXPECT_THAT(text, HasSubstr("Failed to parse [3.10] version string. The string is too short"));
    EXPECT_THAT(text, HasSubstr("query value (MakoHome) error: 2"));
    removeEntries();
    DeleteFileA(log.c_str());
}

}  // namespace
