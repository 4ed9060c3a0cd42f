// The registry scan in both views from this process, whatever its bitness, under the product's own
// keys with version names no one else uses (CTest keeps the other users of these keys apart).
#include "product/installed_product.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>

#include "platform/registry.h"
#include "platform/win_test_support.h"

namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;

const char* const kProductKeys[] = {"SOFTWARE\\Velmora\\Mako Runtime Environment", "SOFTWARE\\Velmora\\Mako Development Kit"};
const char* const kNames[] = {"3.1", "3.10", "3.1.0_91", "3.1.0_92", "3.1.0_93", "3.1.0_94"};
const std::string kHome = "C:\\ScanTest";

REGSAM viewOf(int arch) { return arch == 64 ? KEY_WOW64_64KEY : KEY_WOW64_32KEY; }

void removeEntries() {
    for (int arch : {32, 64}) {
        for (const char* product : kProductKeys) {
            HKEY parent = nullptr;
            if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, product, 0, KEY_ALL_ACCESS | viewOf(arch), &parent) != ERROR_SUCCESS) continue;
            for (const char* name : kNames) RegDeleteTreeA(parent, name);
            RegCloseKey(parent);
        }
    }
}

TEST(InstalledProductScan, BothViewsInFixedOrderWithBadEntriesLoggedAndSkipped) {
    removeEntries();
    // kind, name, MakoHome ("" none), MSI values ("" none): per view.
    struct Entry { int kind; const char* name; bool home; const char* fullVersion; const char* mode; };
    const Entry entries[] = {
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
            const RegistryKey key = RegistryKey::open(arch == 64 ? RegistryKey::machine64() : RegistryKey::machine32(),
                                                      std::string(kProductKeys[e.kind]) + "\\" + e.name, RegistryKey::ReadWrite);
            if (e.home) key.setString("MakoHome", kHome + std::to_string(arch));
            if (!e.fullVersion) continue;
            const RegistryKey msi = RegistryKey::open(key, "MSI", RegistryKey::ReadWrite);
            msi.setString("FullVersion", e.fullVersion);
            msi.setString("MODE", e.mode);
        }
    }
    const std::string log = wintest::scratchFile("installed-scan");
    std::vector<InstalledProduct> all;
    {
        wintest::GlobalLogRedirect redirect(log);
        all = detectInstalled(installed::Runtimes | installed::DevelopmentKits | installed::View32 | installed::View64);
    }
    // "<type><arch> <update>-b<build> <home> static=<0|1>" of the records made here, in scan order;
    // within one kind and view the registry's order is not fixed.
    std::vector<std::string> got, groups;
    for (const InstalledProduct& p : all) {
        if (p.home.rfind(kHome, 0) != 0) continue;  // installed by someone else
        const std::string group = p.typeName + std::to_string(p.arch);
        got.push_back(group + " " + std::to_string(p.version.getUpdate()) + "-b" + std::to_string(p.version.getBuild()) +
                      " " + p.home + " static=" + std::to_string(p.isStatic));
        if (groups.empty() || groups.back() != group) groups.push_back(group);
    }
    EXPECT_THAT(groups, ElementsAre("loom32", "forge32", "loom64", "forge64"));
    std::vector<std::string> expected;
    for (const std::string arch : {"32", "64"}) {
        for (const char* record : {"loom 91-b9 static=0", "loom 92-b0 static=0", "loom 93-b0 static=1", "forge 91-b0 static=1"}) {
            std::string line = record;
            line.insert(line.find(' '), arch);
            line.insert(line.rfind(' '), " " + kHome + arch);
            expected.push_back(line);
        }
    }
    std::sort(got.begin(), got.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(expected, got);

    std::string text = wintest::readFile(log);
    text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
    EXPECT_THAT(text, HasSubstr("MakoEnvironment:158 (detectMako)]\n\tERROR: Exception with message '"));
    EXPECT_THAT(text, HasSubstr("Failed to parse [3.10] version string. The string is too short"));
    EXPECT_THAT(text, HasSubstr("query value (MakoHome) error: 2"));
    EXPECT_THAT(text, Not(HasSubstr("[3.1]")));

    // One view at a time, as the existing-installation check asks.
    for (int arch : {32, 64}) {
        const auto found = findInstalled(installedLoom(arch), "3.1.0_91");
        ASSERT_TRUE(found);
        EXPECT_EQ(kHome + std::to_string(arch), found->home);
        EXPECT_EQ(9, found->version.getBuild());
    }
    removeEntries();
    DeleteFileA(log.c_str());
}

}  // namespace
