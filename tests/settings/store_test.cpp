// The store, key mapping and the function table, over the in-memory file system.
#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "settings/config.h"
#include "settings/exception.h"
#include "settings/key_mapper.h"
#include "settings/memory_file_system.h"
#include "settings/validators.h"
#include "settings/settings_api.h"

using namespace settings_impl;
using settings::Handle;

namespace {

settings::settings_api api;

class SettingsApi : public ::testing::Test {
protected:
    void SetUp() override {
        settings::initSettingsApi(&api);
        h = api.createContext();
        other = api.createContext();
        ASSERT_NE(nullptr, h);
    }
    void TearDown() override {
        api.destroyContext(h);
        api.destroyContext(other);
        api.destroyValidator(validator);
        api.destroyKeyMapper(mapper);
    }
    // "KEY=value" or "KEY" per key, in store order.
    static std::string dump(Handle handle) {
        std::string out;
        api.forEach(
            handle,
            [](Handle hh, uint32_t, uint32_t, const char* key, void* user) {
                std::string& out = *static_cast<std::string*>(user);
                const char* value = nullptr;
                out += (out.empty() ? "" : " ") + std::string(key);
                if (api.getString(hh, key, &value) == 0) out += std::string("=") + value;
            },
            &out);
        return out;
    }
    int32_t load(Handle handle, const char* text, bool acceptKeysWithoutValue = false) {
        return api.loadString(handle, text, validator, mapper, 1, acceptKeysWithoutValue ? 1 : 0);
    }

    MemoryFileSystem fs;
    ScopedFileSystem scope{fs};
    Handle h = nullptr;
    Handle other = nullptr;
    settings::ValidatorHandle validator = nullptr;
    settings::KeyMapperHandle mapper = nullptr;
};

}  // namespace

TEST(Store, EqualsAndRemoveKey) {
    Config::Map map;
    map.emplace("I", ConfigValue::fromInteger(5));
    map.emplace("S", ConfigValue::fromText(String, "text"));
    const Config c(map);
    struct Change { const char* key; std::optional<ConfigValue> value; bool equal; } changes[] = {
        {"I", ConfigValue::fromText(Untyped, "5"), false},
        {"I", ConfigValue::fromInteger(5, &map.at("S")->text()), true},  // integers compare by number, not text
        {"S", std::nullopt, false},
    };
    for (const Change& change : changes) {
        Config::Map changed = map;
        changed.insert_or_assign(change.key, change.value);
        EXPECT_EQ(change.equal, equals(c, Config(changed))) << change.key;
    }
    EXPECT_THROW(removeKey(c, {"S", "absent"}), settings::ExceptionCode<303>);
    EXPECT_EQ((std::vector<std::string>{"S"}), removeKey(c, {"I"})->keys());
}

TEST_F(SettingsApi, LoadsMapAndReport) {
    settings::KeyMapperBuilderHandle kb = api.createKeyMapperBuilder();
    ASSERT_EQ(0, api.addKeyMapping(kb, "AUTO_UPDATE", "AUTO_UPDATE", 0));
    ASSERT_EQ(0, api.addKeyMapping(kb, "Dup", "first", 1));
    ASSERT_EQ(0, api.addKeyMapping(kb, "Dup", "second", 1));  // the later mapping wins
    ASSERT_EQ(0, api.addKeyMapping(kb, "exact", "EXACT", 1));
    ASSERT_EQ(0, api.buildKeyMapper(kb, &mapper));
    ASSERT_EQ(0, api.addKeyMapping(kb, "KEY", "LATER", 0));  // built mappers do not change
    api.destroyKeyMapperBuilder(kb);

    ASSERT_EQ(0, load(h, "KEY=0\nOTHER=x\nDup=d\nExact=e"));
    ASSERT_EQ(0, load(h, "KEY=1\nauto_update=Enable"));
    const std::string loaded = "AUTO_UPDATE=Enable Exact=e KEY=1 OTHER=x second=d";
    EXPECT_EQ(loaded, dump(h));

    EXPECT_EQ(313, load(h, "A=1\n# c\n=bad\nB=2"));
    const uint32_t* lines = nullptr;
    uint32_t count = 0;
    ASSERT_EQ(0, api.getErrorLines(h, &lines, &count));
    ASSERT_EQ(1u, count);
    EXPECT_EQ(2u, lines[0]);
    EXPECT_EQ(loaded, dump(h));  // unchanged by the failed load
    EXPECT_EQ(314, load(h, "A=\xFF"));
    EXPECT_EQ(313, load(h, "/s"));  // keys without value refused
    ASSERT_EQ(0, load(h, "/s", true));
    ASSERT_EQ(0, api.getErrorLines(h, &lines, &count));
    EXPECT_EQ(nullptr, lines);

    int32_t flag = -1, n = -1;
    EXPECT_EQ(0, api.getFlag(h, "/s", &flag));
    EXPECT_EQ(1, flag);
    EXPECT_EQ(303, api.getFlag(h, "/q", &flag));
    EXPECT_EQ(301, api.getInteger(h, "/s", &n));
    EXPECT_EQ(302, api.getInteger(h, "OTHER", &n));
    EXPECT_EQ(-1, n);  // untouched on failure

    EXPECT_EQ(303, api.removeKey(h, "absent"));
    EXPECT_EQ(0, api.removeKey(h, "OTHER"));
    EXPECT_EQ("/s AUTO_UPDATE=Enable Exact=e KEY=1 second=d", dump(h));
}

TEST_F(SettingsApi, ValidatedLoadsAndEquality) {
    settings::ValidatorBuilderHandle vb = api.createValidatorBuilder();
    const settings::FixedValueSpec toggles[] = {{"Enable", 1, 1}, {"Disable", 0, 1}, {"1", 1, 1}, {"0", 0, 1}};
    ASSERT_EQ(0, api.addFixedValues(vb, "AUTO_UPDATE", toggles, 4));
    ASSERT_EQ(0, api.addIntegerValidator(vb, "N"));
    ASSERT_EQ(0, api.addDirnameValidator(vb, "DIR", 0));
    const settings::FixedValueSpec broken[] = {{"x", 1, 0}, {nullptr, 2, 0}};
    EXPECT_EQ(300, api.addFixedValues(vb, "K", broken, 2));  // keeps the records before the failure
    ASSERT_EQ(0, api.buildValidator(vb, &validator));
    api.destroyValidatorBuilder(vb);

    EXPECT_EQ(0, load(h, "AUTO_UPDATE=Enable\nN=0x10\nDIR=C:\\x\nK=x"));
    int32_t n = 0;
    EXPECT_EQ(0, api.getInteger(h, "AUTO_UPDATE", &n));
    EXPECT_EQ(1, n);
    EXPECT_EQ(0, api.getInteger(h, "N", &n));
    EXPECT_EQ(16, n);
    int32_t flag = 0;
    EXPECT_EQ(301, api.getFlag(h, "N", &flag));  // an integer has no boolean reading
    for (const char* bad : {"AUTO_UPDATE=enable", "N=x", "DIR=rel", "UNKNOWN=1"}) {
        EXPECT_EQ(313, load(other, bad)) << bad;
    }
    EXPECT_EQ(0, api.isEmpty(other, &flag));
    EXPECT_EQ(1, flag);

    ASSERT_EQ(0, load(other, "AUTO_UPDATE=1\nN=16\nDIR=C:\\x\nK=x"));
    EXPECT_EQ(0, api.equals(h, other, &flag));
    EXPECT_EQ(1, flag);  // typed values compare by number
    // Both hold /s without value and differ only in a later key.
    ASSERT_EQ(0, api.loadString(h, "/s", nullptr, nullptr, 1, 1));
    ASSERT_EQ(0, api.loadString(other, "/s\nZ=1", nullptr, nullptr, 1, 1));
    EXPECT_EQ(0, api.equals(h, other, &flag));
    EXPECT_EQ(0, flag);
}

TEST_F(SettingsApi, ForeignExceptionsAndTheSettingsPath) {
    const char* text = nullptr;
    // An unknown value type escapes the validator as a std::runtime_error: 200 at the table.
    ConfigValidatorBuilder b;
    b.addTypeValidator("X", 999);
    auto v = b.build();
    EXPECT_EQ(200, api.loadString(h, "X=1", reinterpret_cast<settings::ValidatorHandle>(v.get()), nullptr, 1, 0));

    ASSERT_EQ(0, api.getSettingsFilePath(h, &text));
    EXPECT_STREQ("C:/ProgramData\\Brennic\\Mako\\mako.settings.cfg", text);
    fs.appData.clear();
    EXPECT_THROW(api.createContext(), settings::Exception);
}

// The rewrite keeps the old file's access rules, which only the in-memory files show; every
// failure leaves the target as it was and no staged file behind.
TEST_F(SettingsApi, SavingReplacesTheFileInOneStep) {
    ASSERT_EQ(0, load(h, "B", true));
    ASSERT_EQ(0, load(h, "A=1\nV=x=y"));
    ASSERT_EQ(0, api.saveToFile(h, "C:\\x\\y\\z.cfg"));
    EXPECT_EQ("A=1\nB\nV=x=y\n", fs.files.at("C:/x/y/z.cfg").content);
    EXPECT_TRUE(fs.files.at("C:/x/y/z.cfg").protectedAccess);
    fs.files["C:/work/settings.cfg"] = {"old", false};
    ASSERT_EQ(0, api.saveToFile(h, "settings.cfg"));
    EXPECT_EQ("A=1\r\nB\r\nV=x=y\r\n", fs.files.at("C:/work/settings.cfg").content);
    EXPECT_FALSE(fs.files.at("C:/work/settings.cfg").protectedAccess);

    const auto before = fs.files;
    struct Case {
        const char* name;
        void (*inject)(MemoryFileSystem&);
        int32_t status;     // rewriting the existing file
        int32_t newStatus;  // creating a new one
    } cases[] = {
        {"short write", [](MemoryFileSystem& m) { m.writeLimit = 3; }, 306, 306},
        {"failed move", [](MemoryFileSystem& m) { m.failCommit = true; }, 304, 304},
        {"no staged file", [](MemoryFileSystem& m) { m.failStage = true; }, 304, 304},
        {"unreadable", [](MemoryFileSystem& m) { m.unreadable.insert("C:/work/settings.cfg"); }, 304, 0},
    };
    for (const Case& c : cases) {
        MemoryFileSystem saved = fs;
        c.inject(fs);
        EXPECT_EQ(c.status, api.saveToFile(h, "C:/work/settings.cfg")) << c.name;
        EXPECT_EQ(c.newStatus, api.saveToFile(h, "C:/x/new.cfg")) << c.name;
        EXPECT_EQ(before.size() + (c.newStatus == 0 ? 1 : 0), fs.files.size()) << c.name;
        EXPECT_EQ("A=1\r\nB\r\nV=x=y\r\n", fs.files.at("C:/work/settings.cfg").content) << c.name;
        fs = saved;
    }
}
