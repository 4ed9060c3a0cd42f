// Real files under Wine: the size limit, a held file left as it was, and the access rules of a new file.
#include <gtest/gtest.h>

#include <filesystem>
#include <iterator>

#include "platform/handles.h"
#include "platform/win_test_support.h"
#include "settings/protected_file.h"
#include "settings/settings_api.h"
#include "settings/utf8.h"

using namespace settings_impl;
namespace fs = std::filesystem;

namespace {

class Files : public ::testing::Test {
protected:
    void SetUp() override {
        settings::initSettingsApi(&api);
        fs::create_directories(root);
        h = api.createContext();
    }
    void TearDown() override {
        api.destroyContext(h);
        std::error_code ignored;
        fs::remove_all(root, ignored);
    }
    std::string path(const std::string& name) const { return dir + "\\" + name; }
    settings::settings_api api;
    settings::Handle h = nullptr;
    fs::path root = fs::temp_directory_path() / ("settings_files_" + std::to_string(GetCurrentProcessId()));
    std::string dir = utf16ToUtf8(root.wstring());
};

// Lines of realistic settings, cut or padded to exactly size bytes.
std::string settingsText(size_t size) {
    std::string text;
    for (int i = 0; text.size() < size; ++i) text += "INSTALLDIR_" + std::to_string(i) + "=C:\\Program Files\\Mako\\jdk\n";
    text.resize(size);
    text.back() = '\n';
    return text;
}

}  // namespace

TEST_F(Files, ReadingLimitsAndFailures) {
    fs::create_directory(root / "dir.cfg");
    const struct { const char* name; size_t size; int32_t status; } rows[] = {  // size 0: no file written
        {"max.cfg", 1048575, 0}, {"over.cfg", 1048576, 315}, {"missing.cfg", 0, 304}, {"dir.cfg", 0, 304}};
    for (const auto& row : rows) {
        if (row.size) wintest::writeFile(path(row.name), settingsText(row.size));
        EXPECT_EQ(row.status, api.loadFile(h, path(row.name).c_str(), nullptr, nullptr, 1, 0)) << row.name;
    }
    const char* value = nullptr;
    ASSERT_EQ(0, api.getString(h, "INSTALLDIR_0", &value));
    EXPECT_STREQ("C:\\Program Files\\Mako\\jdk", value);
}

// A file held open without sharing is left as it was, and no staged file stays behind.
TEST_F(Files, SavingReplacesTheRealFileOrLeavesIt) {
    ASSERT_EQ(0, api.loadString(h, "/s\nNAME=\xE2\x82\xAC", nullptr, nullptr, 1, 1));
    const std::string target = path("settings.cfg");
    ASSERT_EQ(0, api.saveToFile(h, target.c_str()));
    EXPECT_EQ("/s\nNAME=\xE2\x82\xAC\n", wintest::readFile(target));
    {
        unique_handle held(CreateFileW(utf8ToUtf16(target).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(held);
        EXPECT_EQ(304, api.saveToFile(h, target.c_str()));
    }
    EXPECT_EQ("/s\nNAME=\xE2\x82\xAC\n", wintest::readFile(target));
    EXPECT_EQ(1, std::distance(fs::directory_iterator(root), fs::directory_iterator()));
}

TEST_F(Files, ProtectedAccessRules) {
    const std::wstring sddl = protectedFileSddl();
    const std::wstring head = L"D:(A;;FA;;;BA)(A;;FR;;;S-1-5-21-", tail = L"-513)(A;;FR;;;WD)";
    ASSERT_GT(sddl.size(), head.size() + tail.size());
    EXPECT_EQ(head, sddl.substr(0, head.size()));
    EXPECT_EQ(tail, sddl.substr(sddl.size() - tail.size()));
    std::vector<unsigned char> descriptor = protectedFileSecurityDescriptor();
    EXPECT_TRUE(IsValidSecurityDescriptor(descriptor.data()));
}
