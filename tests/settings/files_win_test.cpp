// Real files under Wine: size limits, names, directories, replacement and access rules.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "platform/handles.h"
#include "platform/win32.h"
// after windows.h
#include <sddl.h>
#include "settings/file_name.h"
#include "settings/file_system.h"
#include "settings/protected_file.h"
#include "settings/settings_api.h"
#include "settings/utf8.h"

using namespace settings_impl;
namespace fs = std::filesystem;

namespace {

// Staged files that accept only so many bytes: the write-failure seam.
struct ShortWrites : IFileSystem {
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
            size_t left = 0;
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
        return limited->staged ? std::move(limited) : nullptr;
    }
    IFileSystem& inner;
    size_t allowed;
};

class Files : public ::testing::Test {
protected:
    void SetUp() override {
        settings::initSettingsApi(&api);
        const std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        root = fs::temp_directory_path() / ("settings_" + name + "_" + std::to_string(GetCurrentProcessId()));
        fs::create_directories(root);
        dir = utf16ToUtf8(root.wstring());
        h = api.createContext();
    }
    void TearDown() override {
        api.destroyContext(h);
        std::error_code ignored;
        fs::current_path(root.parent_path(), ignored);  // a current directory cannot be removed
        fs::remove_all(root, ignored);
    }
    std::string path(const std::string& name) const { return dir + "\\" + name; }
    static void write(const std::string& p, const std::string& bytes) { std::ofstream(p, std::ios::binary) << bytes; }
    static std::string read(const std::string& p) {
        std::ifstream in(p, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    // The names in the test folder, sorted: shows that no staged file was left behind.
    std::vector<std::string> listing() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(root)) names.push_back(utf16ToUtf8(entry.path().filename().wstring()));
        std::sort(names.begin(), names.end());
        return names;
    }

    settings::settings_api api;
    settings::Handle h = nullptr;
    fs::path root;
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
    struct Row { const char* name; std::string content; int32_t status; } rows[] = {
        {"max.cfg", settingsText(1048575), 0},
        {"over.cfg", settingsText(1048576), 315},
        {"bad.cfg", "A=1\nB=\xC3(\n", 314},
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
    fs::current_path(root);
    std::string canonicalDir = dir;
    std::replace(canonicalDir.begin(), canonicalDir.end(), '\\', '/');
    EXPECT_EQ(canonicalDir + "/b.cfg", FileName("a\\..\\.\\b.cfg").canonicalize().text());
    EXPECT_EQ(canonicalDir.substr(0, 2) + "/x", FileName(canonicalDir.substr(0, 2) + "\\x").canonicalize().text());

    EXPECT_THROW(FileName(path("p\\f.cfg")).createDirectories(), std::logic_error);  // not canonical
    FileName(path("p\\q\\r\\f.cfg")).canonicalize().createDirectories();
    EXPECT_TRUE(fs::is_directory(root / "p" / "q" / "r"));
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

TEST_F(Files, SavingRoundTripsAndFailuresLeaveTheOldFile) {
    ASSERT_EQ(0, api.loadString(h, "/s", nullptr, nullptr, 1, 1));
    ASSERT_EQ(0, api.loadString(h, "AUTO_UPDATE=Enable\nINSTALLDIR=C:\\x=y\nNAME=\xE2\x82\xAC", nullptr, nullptr, 1, 0));
    const std::string target = path("settings.cfg");
    const std::string lf = "/s\nAUTO_UPDATE=Enable\nINSTALLDIR=C:\\x=y\nNAME=\xE2\x82\xAC\n";
    ASSERT_EQ(0, api.saveToFile(h, target.c_str()));
    EXPECT_EQ(lf, read(target));
    settings::Handle back = api.createContext();
    ASSERT_EQ(0, api.loadFile(back, target.c_str(), nullptr, nullptr, 1, 1));
    int32_t equal = 0;
    ASSERT_EQ(0, api.equals(h, back, &equal));
    EXPECT_EQ(1, equal);
    api.destroyContext(back);

    {  // Held open without sharing: it cannot be replaced.
        unique_handle held(CreateFileW(utf8ToUtf16(target).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(held);
        EXPECT_EQ(304, api.saveToFile(h, target.c_str()));
    }
    {
        ShortWrites shortWrites(fileSystem(), 10);
        ScopedFileSystem scope(shortWrites);
        EXPECT_EQ(306, api.saveToFile(h, target.c_str()));
        EXPECT_EQ(306, api.saveToFile(h, path("fresh.cfg").c_str()));
    }
    EXPECT_EQ(lf, read(target));
    EXPECT_EQ((std::vector<std::string>{"settings.cfg"}), listing());

    ASSERT_EQ(0, api.saveToFile(h, target.c_str()));  // an existing file is rewritten with CR LF
    EXPECT_EQ("/s\r\nAUTO_UPDATE=Enable\r\nINSTALLDIR=C:\\x=y\r\nNAME=\xE2\x82\xAC\r\n", read(target));
    settings::Handle empty = api.createContext();
    ASSERT_EQ(0, api.saveToFile(empty, path("empty.cfg").c_str()));
    EXPECT_EQ(" ", read(path("empty.cfg")));
    api.destroyContext(empty);
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
