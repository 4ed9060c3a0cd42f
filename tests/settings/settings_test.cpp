// The settings library as the launcher uses it, through its function table over the in-memory file
// system: the line format with its faulty-line reports and saving that replaces a file in one step.
// The launcher's value rules are tested with its catalogue (tests/config); file names are fed to
// the settings fuzzer.
#include <gtest/gtest.h>

#include <string>

#include "settings/memory_file_system.h"
#include "settings/settings_api.h"

using namespace settings_impl;

namespace {

settings::settings_api api;

class Settings : public ::testing::Test {
protected:
    void SetUp() override {
        settings::initSettingsApi(&api);
        h = api.createContext();
        ASSERT_NE(nullptr, h);
    }
    void TearDown() override { api.destroyContext(h); }

    // "<status>: KEY=value KEY ..." in store order, or "<status> at line <n>" (1-based) after a faulty line.
    std::string load(const std::string& text, bool acceptKeysWithoutValue = false) {
        api.destroyContext(h);
        h = api.createContext();
        const int32_t status = api.loadString(h, text.c_str(), nullptr, nullptr, 1, acceptKeysWithoutValue ? 1 : 0);
        const uint32_t* lines = nullptr;
        uint32_t count = 0;
        api.getErrorLines(h, &lines, &count);
        if (count > 0) return std::to_string(status) + " at line " + std::to_string(lines[0] + 1);
        std::string out = std::to_string(status) + ":";
        api.forEach(
            h,
            [](settings::Handle hh, uint32_t, uint32_t, const char* key, void* user) {
                const char* value = nullptr;
                *static_cast<std::string*>(user) += " " + std::string(key);
                if (api.getString(hh, key, &value) == 0) *static_cast<std::string*>(user) += std::string("=") + value;
            },
            &out);
        return out;
    }

    MemoryFileSystem fs;
    ScopedFileSystem scope{fs};
    settings::Handle h = nullptr;
};

TEST_F(Settings, LineFormatAndFaultyLines) {
    struct Row { std::string text; bool acceptKeysWithoutValue; std::string expected; } rows[] = {
        {"  \t ", false, "0:"},
        {"  KEY  :  some value  \r\nK=a=b\rL:a=b\nM=#x\nN=", false, "0: K=a=b KEY=some value L=a=b M=#x N="},
        {"a key\t= v\n\t # note = x\nK=\x0C v \x0B", false, "0: K=\x0C v \x0B a key=v"},  // only space and tab are blanks
        {"\xEF\xBB\xBFK=v", false, "0: \xEF\xBB\xBFK=v"},  // a byte-order mark is part of the key
        {"/s \nK # text", true, "0: /s K # text"},
        {"A=1\nK # text", false, "313 at line 2"},
        {"A=1\n\r=v\nB=2", false, "313 at line 3"},  // LF CR is two line ends
        {"A=1\r\n\n=x\nB", false, "313 at line 3"},
        {"A=1\nB=\xC3(\n", false, "314:"},
    };
    for (const Row& row : rows) EXPECT_EQ(row.expected, load(row.text, row.acceptKeysWithoutValue)) << row.text;
}

// A new file gets the protected access rules and LF lines; a rewrite keeps the old file's rules and
// writes CR LF. Every failure leaves the target as it was and no staged file behind.
TEST_F(Settings, SavingRoundTripsAndReplacesTheFileInOneStep) {
    ASSERT_EQ("0: /s A=1 V=x=y", load("/s\nA=1\nV=x=y", true));
    ASSERT_EQ(0, api.saveToFile(h, "C:\\x\\y\\z.cfg"));
    EXPECT_EQ("/s\nA=1\nV=x=y\n", fs.files.at("C:/x/y/z.cfg").content);
    EXPECT_TRUE(fs.files.at("C:/x/y/z.cfg").protectedAccess);
    settings::Handle back = api.createContext();
    ASSERT_EQ(0, api.loadFile(back, "C:/x/y/z.cfg", nullptr, nullptr, 1, 1));
    int32_t equal = 0;
    ASSERT_EQ(0, api.equals(h, back, &equal));
    EXPECT_EQ(1, equal);
    api.destroyContext(back);
    fs.files["C:/work/settings.cfg"] = {"old", false};
    ASSERT_EQ(0, api.saveToFile(h, "settings.cfg"));
    EXPECT_EQ("/s\r\nA=1\r\nV=x=y\r\n", fs.files.at("C:/work/settings.cfg").content);
    EXPECT_FALSE(fs.files.at("C:/work/settings.cfg").protectedAccess);

    const auto before = fs.files;
    struct Case { const char* name; void (*inject)(MemoryFileSystem&); int32_t status, newStatus; } cases[] = {
        {"short write", [](MemoryFileSystem& m) { m.writeLimit = 3; }, 306, 306},
        {"failed move", [](MemoryFileSystem& m) { m.failCommit = true; }, 304, 304},
        {"no staged file", [](MemoryFileSystem& m) { m.failStage = true; }, 304, 304},
        {"unreadable", [](MemoryFileSystem& m) { m.unreadable.insert("C:/work/settings.cfg"); }, 304, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MemoryFileSystem saved = fs;
        c.inject(fs);
        EXPECT_EQ(c.status, api.saveToFile(h, "C:/work/settings.cfg"));
        EXPECT_EQ(c.newStatus, api.saveToFile(h, "C:/x/new.cfg"));
        EXPECT_EQ(before.size() + (c.newStatus == 0 ? 1 : 0), fs.files.size());
        EXPECT_EQ("/s\r\nA=1\r\nV=x=y\r\n", fs.files.at("C:/work/settings.cfg").content);
        fs = saved;
    }
}

}  // namespace
