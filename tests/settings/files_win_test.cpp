// Real files under Wine: size limits, names, directories, replacement and access rules.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>

#include "platform/handles.h"
#include "platform/win32.h"
// after windows.h
#include <io.h>
#include <sddl.h>
#include "settings/file_name.h"
#include "settings/file_system.h"
#include "settings/protected_file.h"
#include "settings/settings_api.h"
#include "settings/utf8.h"

using namespace settings_impl;

namespace {

// Staged files that accept only so many bytes: the write-failure seam.
class ShortWrites : public IFileSystem {
public:
    ShortWrites(IFileSystem& inner, size_t allowed) : inner(inner), allowed(allowed) {}
    std::string currentDirectory() override { return inner.currentDirectory(); }
    std::string commonAppDataFolder() override { return inner.commonAppDataFolder(); }
    bool exists(const FileName& n) override { return inner.exists(n); }
    DirectoryResult createDirectory(const FileName& n) override { return inner.createDirectory(n); }
    bool canOpenForReading(const FileName& n) override { return inner.canOpenForReading(n); }
    ReadResult readFile(const FileName& n, size_t limit) override { return inner.readFile(n, limit); }
    std::unique_ptr<IStagedFile> stageFile(const FileName& target, bool protectedAccess) override {
        struct Limited : IStagedFile {
            std::unique_ptr<IStagedFile> staged;
            size_t left;
            size_t write(const char* d, size_t n) override {
                const size_t w = staged->write(d, std::min(n, left));
                left -= w;
                return w;
            }
            bool commit(bool replace) override { return staged->commit(replace); }
        };
        auto limited = std::make_unique<Limited>();
        limited->staged = inner.stageFile(target, protectedAccess);
        limited->left = allowed;
        if (!limited->staged) return nullptr;
        return limited;
    }

private:
    IFileSystem& inner;
    size_t allowed;
};

class Files : public ::testing::Test {
protected:
    void SetUp() override {
        settings::initSettingsApi(&api);
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dirW = std::wstring(temp) + L"settings_" + utf8ToUtf16(info->name()) + L"_" + std::to_wstring(GetCurrentProcessId());
        CreateDirectoryW(dirW.c_str(), nullptr);
        dir = utf16ToUtf8(dirW);
        h = api.createContext();
    }
    void TearDown() override {
        api.destroyContext(h);
        std::string cmd = "rmdir /s /q \"" + dir + "\" >nul 2>nul";
        std::system(cmd.c_str());
    }
    std::string path(const std::string& name) const { return dir + "\\" + name; }
    static void write(const std::string& p, const std::string& bytes) {
        std::ofstream(p, std::ios::binary) << bytes;
    }
    static std::string read(const std::string& p) {
        std::ifstream in(p, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    // The names in the test folder, sorted.
    std::vector<std::string> listing() const {
        std::vector<std::string> names;
        WIN32_FIND_DATAW found;
        unique_hfind find(FindFirstFileW((dirW + L"\\*").c_str(), &found));
        if (!find) return names;
        do {
            const std::wstring n = found.cFileName;
            if (n != L"." && n != L"..") names.push_back(utf16ToUtf8(n));
        } while (FindNextFileW(find.get(), &found));
        std::sort(names.begin(), names.end());
        return names;
    }

    settings::settings_api api;
    settings::Handle h = nullptr;
    std::wstring dirW;
    std::string dir;
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
    struct Row {
        const char* name;
        std::string content;
        int32_t status;
    } rows[] = {
        {"max.cfg", settingsText(1048575), 0},
        {"over.cfg", settingsText(1048576), 315},
        {"bad.cfg", "A=1\nB=\xC3(\n", 314},
        {"lone.cfg", "A=\x80", 314},
        {"fault.cfg", "A=1\nB\n", 313},
    };
    for (const Row& row : rows) {
        write(path(row.name), row.content);
        EXPECT_EQ(row.status, api.loadFile(h, path(row.name).c_str(), nullptr, nullptr, 1, 0)) << row.name;
    }
    EXPECT_EQ(304, api.loadFile(h, path("missing.cfg").c_str(), nullptr, nullptr, 1, 0));
    EXPECT_EQ(304, api.loadFile(h, dir.c_str(), nullptr, nullptr, 1, 0));  // a directory
    const char* value = nullptr;
    ASSERT_EQ(0, api.getString(h, "INSTALLDIR_0", &value));
    EXPECT_STREQ("C:\\Program Files\\Mako\\jdk", value);
}

TEST_F(Files, NamesAndDirectories) {
    ASSERT_TRUE(SetCurrentDirectoryW(dirW.c_str()));
    std::string canonicalDir = dir;
    std::replace(canonicalDir.begin(), canonicalDir.end(), '\\', '/');
    EXPECT_EQ(canonicalDir + "/b.cfg", FileName("a\\..\\.\\b.cfg").canonicalize().text());
    EXPECT_EQ(canonicalDir.substr(0, 2) + "/x", FileName(canonicalDir.substr(0, 2) + "\\x").canonicalize().text());

    const FileName nested = FileName(path("p\\q\\r\\f.cfg")).canonicalize();
    nested.createDirectories();
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW((dirW + L"\\p\\q\\r").c_str()));
    nested.createDirectories();
    // A name of 259 bytes is written (its staged neighbour needs the long form), 260 is refused.
    ASSERT_EQ(0, api.loadString(h, "K=v", nullptr, nullptr, 1, 0));
    const std::string base = path("");
    const std::string name259 = base + std::string(259 - base.size(), 'n');
    EXPECT_EQ(0, api.saveToFile(h, name259.c_str()));
    EXPECT_EQ("K=v\n", read(name259));
    EXPECT_EQ(310, api.saveToFile(h, (name259 + "n").c_str()));
    EXPECT_EQ(311, api.saveToFile(h, path("CON").c_str()));
    EXPECT_EQ(311, api.saveToFile(h, path("a:b").c_str()));
    write(path("file"), "x");
    EXPECT_EQ(311, api.saveToFile(h, path("file\\sub\\f.cfg").c_str()));
    EXPECT_EQ((std::vector<std::string>{"file", std::string(259 - base.size(), 'n'), "p"}), listing());
}

TEST_F(Files, SaveRoundTripAndLineEnds) {
    ASSERT_EQ(0, api.loadString(h, "/s", nullptr, nullptr, 1, 1));
    ASSERT_EQ(0, api.loadString(h, "AUTO_UPDATE=Enable\nINSTALLDIR=C:\\x=y\nNAME=\xE2\x82\xAC", nullptr, nullptr, 1, 0));
    const std::string fresh = path("new\\settings.cfg");
    ASSERT_EQ(0, api.saveToFile(h, fresh.c_str()));
    EXPECT_EQ("/s\nAUTO_UPDATE=Enable\nINSTALLDIR=C:\\x=y\nNAME=\xE2\x82\xAC\n", read(fresh));
    settings::Handle back = api.createContext();
    ASSERT_EQ(0, api.loadFile(back, fresh.c_str(), nullptr, nullptr, 1, 1));
    int32_t equal = 0;
    ASSERT_EQ(0, api.equals(h, back, &equal));
    EXPECT_EQ(1, equal);

    ASSERT_EQ(0, api.saveToFile(back, fresh.c_str()));  // rewrites the existing file
    EXPECT_EQ("/s\r\nAUTO_UPDATE=Enable\r\nINSTALLDIR=C:\\x=y\r\nNAME=\xE2\x82\xAC\r\n", read(fresh));
    api.destroyContext(back);
    settings::Handle empty = api.createContext();
    ASSERT_EQ(0, api.saveToFile(empty, path("empty.cfg").c_str()));
    EXPECT_EQ(" ", read(path("empty.cfg")));
    api.destroyContext(empty);
    EXPECT_EQ((std::vector<std::string>{"empty.cfg", "new"}), listing());
}

TEST_F(Files, FailedWritesLeaveTheOldFile) {
    const std::string target = path("settings.cfg");
    const std::string old = "OLD=1\r\nKEEP=me\r\n";
    write(target, old);
    ASSERT_EQ(0, api.loadString(h, settingsText(64 * 1024).c_str(), nullptr, nullptr, 1, 0));

    {  // The target is held open without sharing: it cannot be replaced.
        unique_hfile held(CreateFileW(utf8ToUtf16(target).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(held);
        EXPECT_EQ(304, api.saveToFile(h, target.c_str()));
    }
    EXPECT_EQ(old, read(target));
    {
        ShortWrites shortWrites(fileSystem(), 1000);
        ScopedFileSystem scope(shortWrites);
        EXPECT_EQ(306, api.saveToFile(h, target.c_str()));
        EXPECT_EQ(306, api.saveToFile(h, path("fresh.cfg").c_str()));
    }
    EXPECT_EQ(old, read(target));
    EXPECT_EQ((std::vector<std::string>{"settings.cfg"}), listing());
    ASSERT_EQ(0, api.saveToFile(h, target.c_str()));
    const std::string written = read(target);
    EXPECT_EQ(std::count(written.begin(), written.end(), '\n'), std::count(written.begin(), written.end(), '\r'));
    settings::Handle back = api.createContext();
    ASSERT_EQ(0, api.loadFile(back, target.c_str(), nullptr, nullptr, 1, 0));
    int32_t equal = 0;
    ASSERT_EQ(0, api.equals(h, back, &equal));
    EXPECT_EQ(1, equal);
    api.destroyContext(back);
}

TEST_F(Files, ProtectedAccessRules) {
    const std::wstring sddl = protectedFileSddl();
    const std::wstring head = L"D:(A;;FA;;;BA)(A;;FR;;;S-1-5-21-", tail = L"-513)(A;;FR;;;WD)";
    ASSERT_GT(sddl.size(), head.size() + tail.size());
    EXPECT_EQ(head, sddl.substr(0, head.size()));
    EXPECT_EQ(tail, sddl.substr(sddl.size() - tail.size()));

    std::vector<unsigned char> descriptor = protectedFileSecurityDescriptor();
    ASSERT_TRUE(IsValidSecurityDescriptor(descriptor.data()));
    BOOL present = FALSE, defaulted = FALSE;
    PACL dacl = nullptr;
    ASSERT_TRUE(GetSecurityDescriptorDacl(descriptor.data(), &present, &dacl, &defaulted));
    ASSERT_TRUE(present);
    EXPECT_EQ(3, dacl->AceCount);
    PSID owner = nullptr;
    ASSERT_TRUE(GetSecurityDescriptorOwner(descriptor.data(), &owner, &defaulted));
    EXPECT_EQ(nullptr, owner);
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    ASSERT_TRUE(GetSecurityDescriptorControl(descriptor.data(), &control, &revision));
    EXPECT_TRUE(control & SE_SELF_RELATIVE);
    EXPECT_FALSE(control & SE_DACL_PROTECTED);

    const FileName name(path("protected.cfg"));
    const int fd = createProtectedFile(name);
    ASSERT_GE(fd, 0);
    _close(fd);
    EXPECT_EQ(-1, createProtectedFile(name));  // never over an existing file
}
