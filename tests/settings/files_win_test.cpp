// Real files under Wine: the size limit and the access rules of a new file. A held file that saving
// leaves as it was, with no staged file beside it, is shown end to end (fault_matrix_e2e_test.cpp).
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/handles.h"
#include "platform/win_test_support.h"
#include "settings/protected_file.h"
#include "settings/settings_api.h"
#include "settings/utf8.h"
// after windows.h
#include <sddl.h>

using namespace settings_impl;
namespace fs = std::filesystem;

namespace {

// Lines of realistic settings, cut or padded to exactly size bytes.
std::string settingsText(size_t size) {
    std::string text;
    for (int i = 0; text.size() < size; ++i) text += "INSTALLDIR_" + std::to_string(i) + "=C:\\Program Files\\Mako\\forge\n";
    text.resize(size);
    text.back() = '\n';
    return text;
}

}  // namespace

TEST(Files, ReadingLimitsAndFailures) {
    const fs::path root = fs::temp_directory_path() / ("settings_files_" + std::to_string(GetCurrentProcessId()));
    fs::create_directories(root / "dir.cfg");
    settings::settings_api api;
    settings::initSettingsApi(&api);
    const settings::Handle h = api.createContext();
    const struct { const char* name; size_t size; int32_t status; } rows[] = {  // size 0: no file written
        {"max.cfg", 1048575, 0}, {"over.cfg", 1048576, 315}, {"missing.cfg", 0, 304}, {"dir.cfg", 0, 304}};
    for (const auto& row : rows) {
        const std::string path = utf16ToUtf8((root / row.name).wstring());
        if (row.size) wintest::writeFile(path, settingsText(row.size));
        EXPECT_EQ(row.status, api.loadFile(h, path.c_str(), nullptr, nullptr, 1, 0)) << row.name;
    }
    const char* value = nullptr;
    EXPECT_EQ(0, api.getString(h, "INSTALLDIR_0", &value));
    EXPECT_STREQ("C:\\Program Files\\Mako\\forge", value ? value : "");
    api.destroyContext(h);
    fs::remove_all(root);
}

TEST(Files, ProtectedAccessRules) {
    const std::wstring sddl = protectedFileSddl();
    const std::wstring head = L"D:(A;;FA;;;BA)(A;;FR;;;S-1-5-21-", tail = L"-513)(A;;FR;;;WD)";
    ASSERT_GT(sddl.size(), head.size() + tail.size());
    EXPECT_EQ(head, sddl.substr(0, head.size()));
    EXPECT_EQ(tail, sddl.substr(sddl.size() - tail.size()));
    std::vector<unsigned char> descriptor = protectedFileSecurityDescriptor();
    EXPECT_TRUE(IsValidSecurityDescriptor(descriptor.data()));
}

// The readers of a new file for a creator with an account domain and for the service accounts,
// which have none: the built-in Users stand in for the domain's.
TEST(Files, ProtectedAccessRulesOfEachKindOfAccount) {
    const struct { const wchar_t* user; const wchar_t* sddl; } rows[] = {
        {L"S-1-5-21-1-2-3-1001", L"D:(A;;FA;;;BA)(A;;FR;;;S-1-5-21-1-2-3-513)(A;;FR;;;WD)"},
        {L"S-1-5-18", L"D:(A;;FA;;;BA)(A;;FR;;;BU)(A;;FR;;;WD)"},  // local system
        {L"S-1-5-19", L"D:(A;;FA;;;BA)(A;;FR;;;BU)(A;;FR;;;WD)"},  // local service
        {L"S-1-5-20", L"D:(A;;FA;;;BA)(A;;FR;;;BU)(A;;FR;;;WD)"},  // network service
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(utf16ToUtf8(row.user));
        unique_hlocal_ptr<void> user;
        ASSERT_TRUE(ConvertStringSidToSidW(row.user, user.put()));
        EXPECT_EQ(row.sddl, protectedFileSddlFor(user.get()));
    }
}
