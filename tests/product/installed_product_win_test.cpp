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
using ::testing::ThrowsMessage;

const std::string kRuntimes = "SOFTWARE\\Velmora\\Mako Runtime Environment";
const std::string kKits = "SOFTWARE\\Velmora\\Mako Development Kit";
const char kHome[] = "C:\\ScanTest\\";

const RegistryKey& rootOf(int arch) { return arch == 64 ? RegistryKey::machine64() : RegistryKey::machine32(); }

// Subkey of the product key with values; "MSI\\..." names go to the MSI subkey.
void entry(int arch, const std::string& product, const std::string& name,
           const std::vector<std::pair<std::string, std::string>>& values) {
    const RegistryKey key = RegistryKey::open(rootOf(arch), product + "\\" + name, RegistryKey::ReadWrite);
    for (const auto& value : values) {
        if (value.first.rfind("MSI\\", 0) == 0) {
            RegistryKey::open(key, "MSI", RegistryKey::ReadWrite).setString(value.first.substr(4), value.second);
        } else {
            key.setString(value.first, value.second);
        }
    }
}

const char* const kNames[] = {"3.1", "3.10", "3.1.0_91", "3.1.0_92", "3.1.0_93", "3.1.0_94"};

void removeEntries() {
    for (int arch : {32, 64}) {
        for (const std::string& product : {kRuntimes, kKits}) {
            HKEY parent = nullptr;
            if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, product.c_str(), 0, KEY_ALL_ACCESS | (arch == 64 ? KEY_WOW64_64KEY : KEY_WOW64_32KEY),
                              &parent) != ERROR_SUCCESS)
                continue;
            for (const char* name : kNames) RegDeleteTreeA(parent, name);
            RegCloseKey(parent);
        }
    }
}

// "<loom|forge><arch> <version with build> home=<home> static=<0|1>" for the records made here.
std::vector<std::string> describe(const std::vector<InstalledProduct>& list) {
    std::vector<std::string> out;
    for (const InstalledProduct& p : list) {
        if (p.home.rfind(kHome, 0) != 0) continue;  // installed by someone else
        const auto& c = p.version.components();
        out.push_back(std::string(p.typeName) + std::to_string(p.arch) + " " + std::to_string(c[0]) + "." +
                      std::to_string(c[1]) + "." + std::to_string(c[2]) + "_" + std::to_string(c[3]) + "-b" +
                      std::to_string(c[4]) + " home=" + p.home.substr(sizeof kHome - 1) + " static=" +
                      std::to_string(p.isStatic));
    }
    return out;
}

TEST(InstalledProductScan, BothViewsInFixedOrderWithBadEntriesLoggedAndSkipped) {
    removeEntries();
    for (int arch : {32, 64}) {
        const std::string home = kHome + std::to_string(arch);
        entry(arch, kRuntimes, "3.1", {});                                          // family key: skipped silently
        entry(arch, kRuntimes, "3.10", {{"MakoHome", home}});                       // too short: logged
        entry(arch, kRuntimes, "3.1.0_91", {{"MakoHome", home}, {"MSI\\FullVersion", "3.1.0_91-b09"}});
        entry(arch, kRuntimes, "3.1.0_92", {{"MakoHome", home}});                   // no MSI: not static
        entry(arch, kRuntimes, "3.1.0_93", {{"MakoHome", home}, {"MSI\\MODE", "s"}});
        entry(arch, kRuntimes, "3.1.0_94", {{"BuildNumber", "9"}});                 // no MakoHome: logged
        entry(arch, kKits, "3.1.0_91", {{"MakoHome", home}});                       // a kit is always static
    }
    const std::string log = wintest::scratchFile("installed-scan");
    std::vector<InstalledProduct> all;
    {
        wintest::GlobalLogRedirect redirect(log);
        all = detectInstalled(installed::Runtimes | installed::DevelopmentKits | installed::View32 | installed::View64);
    }
    std::vector<std::string> expected;
    for (int arch : {32, 64}) {
        const std::string a = std::to_string(arch);
        for (const std::string& record : {"loom" + a + " 3.1.0_91-b9 home=" + a + " static=0",
                                          "loom" + a + " 3.1.0_92-b0 home=" + a + " static=0",
                                          "loom" + a + " 3.1.0_93-b0 home=" + a + " static=1",
                                          "forge" + a + " 3.1.0_91-b0 home=" + a + " static=1"})
            expected.push_back(record);
    }
    // Registry order within a product key is not fixed: the groups must follow the scan order, the
    // records within them are compared as a set.
    const std::vector<std::string> got = describe(all);
    const auto kindAndView = [](const std::string& s) { return s.substr(0, s.find(' ')); };
    std::vector<std::string> groups;
    for (const std::string& s : got) {
        if (groups.empty() || groups.back() != kindAndView(s)) groups.push_back(kindAndView(s));
    }
    EXPECT_THAT(groups, ElementsAre("loom32", "forge32", "loom64", "forge64"));
    std::vector<std::string> sortedGot = got;
    std::sort(sortedGot.begin(), sortedGot.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(expected, sortedGot);

    std::string text = wintest::readFile(log);
    text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
    EXPECT_THAT(text, HasSubstr("MakoEnvironment:158 (detectMako)]\n\tERROR: Exception with message '"));
    EXPECT_THAT(text, HasSubstr("Failed to parse [3.10] version string. The string is too short"));
    EXPECT_THAT(text, HasSubstr("query value (MakoHome) error: 2"));
    EXPECT_THAT(text, Not(HasSubstr("[3.1]")));

    // One view at a time, and the lookup the existing-installation check makes.
    for (int arch : {32, 64}) {
        const std::vector<InstalledProduct> looms = installedLoom(arch);
        for (const std::string& record : describe(looms)) EXPECT_EQ(0u, record.find("loom" + std::to_string(arch))) << record;
        const auto found = findInstalled(looms, "3.1.0_91");
        ASSERT_TRUE(found);
        EXPECT_EQ(9, found->version.getBuild());
    }
    EXPECT_THAT([] { installedLoom(48); }, ThrowsMessage<std::runtime_error>(HasSubstr("unexpected arch: 48")));
    removeEntries();
    DeleteFileA(log.c_str());
}

}  // namespace
