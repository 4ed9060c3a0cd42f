// The store, key mapping and the function table, over the in-memory file system.
#include <gtest/gtest.h>

#include <map>
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
    }
    // "KEY=value" or "KEY" per key, in store order.
    std::string dump(Handle handle) {
        std::string out;
        api.forEach(
            handle,
            [](Handle hh, uint32_t, uint32_t, const char* key, void* self) {
                auto* t = static_cast<SettingsApi*>(self);
                const char* value = nullptr;
                t->dumped += (t->dumped.empty() ? "" : " ") + std::string(key);
                if (t->api.getString(hh, key, &value) == 0) t->dumped += std::string("=") + value;
            },
            this);
        out.swap(dumped);
        return out;
    }
    int32_t load(Handle handle, const char* text, bool acceptKeysWithoutValue = false) {
        return api.loadString(handle, text, validator, mapper, 1, acceptKeysWithoutValue ? 1 : 0);
    }

    MemoryFileSystem fs;
    ScopedFileSystem scope{fs};
    settings::settings_api api;
    Handle h = nullptr;
    Handle other = nullptr;
    settings::ValidatorHandle validator = nullptr;
    settings::KeyMapperHandle mapper = nullptr;
    std::string dumped;
};

}  // namespace

TEST(KeyMapping, OrderAndCase) {
    KeyMapperBuilder b;
    b.addMapping("AUTO_UPDATE", "AUTO_UPDATE", false);
    b.addMapping("Dup", "first", true);
    b.addMapping("Dup", "second", true);
    b.addMapping("exact", "EXACT", true);
    auto m = b.build();
    b.addMapping("later", "LATER", false);  // the builder stays usable; built mappers do not change
    bool matched = false;
    EXPECT_EQ("AUTO_UPDATE", m->mapKey("auto_update", matched));
    EXPECT_TRUE(matched);
    EXPECT_EQ("second", m->mapKey("Dup"));
    EXPECT_EQ("Exact", m->mapKey("Exact", matched));
    EXPECT_FALSE(matched);
    EXPECT_EQ("later", m->mapKey("later"));
    EXPECT_EQ("LATER", b.build()->mapKey("LaTeR"));
}

TEST(Store, GettersMergeRemoveEquals) {
    Config::Map map;
    map.emplace("A", ConfigValue::fromText(Untyped, "0x10"));
    map.emplace("I", ConfigValue::fromInteger(5));
    map.emplace("S", ConfigValue::fromText(String, "text"));
    map.emplace("/s", std::nullopt);
    const Config c(map);
    EXPECT_EQ(16, c.getInteger("A"));
    EXPECT_TRUE(c.getBoolean("A"));
    EXPECT_EQ(5, c.getInteger("I"));
    EXPECT_THROW(c.getBoolean("I"), settings::ExceptionCode<301>);
    EXPECT_THROW(c.getReal("S"), settings::ExceptionCode<301>);
    EXPECT_THROW(c.getString("/s"), settings::ExceptionCode<301>);
    EXPECT_THROW(c.getType("none"), settings::ExceptionCode<303>);
    EXPECT_EQ((std::vector<std::string>{"/s", "A", "I", "S"}), c.keys());

    Config::Map later;
    later.emplace("A", std::nullopt);
    later.emplace("B", ConfigValue::fromText(Untyped, "b"));
    auto merged = merge(c, Config(later));
    EXPECT_FALSE(merged->hasValue("A"));
    EXPECT_EQ("b", merged->getString("B"));
    EXPECT_EQ(16, c.getInteger("A"));  // inputs unchanged

    EXPECT_THROW(removeKey(c, {"S", "absent"}), settings::ExceptionCode<303>);
    EXPECT_EQ((std::vector<std::string>{"/s", "A", "S"}), removeKey(c, {"I"})->keys());

    EXPECT_TRUE(equals(c, c));
    EXPECT_TRUE(equals(c, Config(map)));
    Config::Map differentType = map;
    differentType.insert_or_assign("I", ConfigValue::fromText(Untyped, "5"));
    EXPECT_FALSE(equals(c, Config(differentType)));
    Config::Map sameNumber = map;
    sameNumber.insert_or_assign("I", ConfigValue::fromInteger(5, &sameNumber.at("S")->text()));
    EXPECT_TRUE(equals(c, Config(sameNumber)));  // integers compare by number, not text
    Config::Map noValue = map;
    noValue.insert_or_assign("S", std::nullopt);
    EXPECT_FALSE(equals(c, Config(noValue)));
}

TEST_F(SettingsApi, LoadsMergeMapAndReport) {
    settings::KeyMapperBuilderHandle kb = api.createKeyMapperBuilder();
    ASSERT_EQ(0, api.addKeyMapping(kb, "AUTO_UPDATE", "AUTO_UPDATE", 0));
    ASSERT_EQ(0, api.buildKeyMapper(kb, &mapper));
    api.destroyKeyMapperBuilder(kb);

    ASSERT_EQ(0, load(h, "KEY=0\nOTHER=x"));
    ASSERT_EQ(0, load(h, "KEY=1\nauto_update=Enable"));
    EXPECT_EQ("AUTO_UPDATE=Enable KEY=1 OTHER=x", dump(h));

    EXPECT_EQ(313, load(h, "A=1\n# c\n=bad\nB=2"));
    const uint32_t* lines = nullptr;
    uint32_t count = 0;
    ASSERT_EQ(0, api.getErrorLines(h, &lines, &count));
    ASSERT_EQ(1u, count);
    EXPECT_EQ(2u, lines[0]);
    EXPECT_EQ("AUTO_UPDATE=Enable KEY=1 OTHER=x", dump(h));  // unchanged by the failed load
    EXPECT_EQ(314, load(h, "A=\xFF"));
    EXPECT_EQ(313, load(h, "/s"));                          // keys without value refused
    ASSERT_EQ(0, load(h, "/s", true));
    ASSERT_EQ(0, api.getErrorLines(h, &lines, &count));
    EXPECT_EQ(0u, count);
    EXPECT_EQ(nullptr, lines);

    int32_t flag = -1;
    EXPECT_EQ(0, api.getFlag(h, "/s", &flag));
    EXPECT_EQ(1, flag);
    EXPECT_EQ(303, api.getFlag(h, "/q", &flag));
    int32_t n = -1;
    EXPECT_EQ(301, api.getInteger(h, "/s", &n));
    EXPECT_EQ(302, api.getInteger(h, "OTHER", &n));
    EXPECT_EQ(-1, n);  // untouched on failure
    ASSERT_EQ(0, load(h, "HEX=0x10"));
    EXPECT_EQ(0, api.getInteger(h, "HEX", &n));
    EXPECT_EQ(16, n);

    EXPECT_EQ(303, api.removeKey(h, "absent"));
    EXPECT_EQ(0, api.removeKey(h, "OTHER"));
    EXPECT_EQ("/s AUTO_UPDATE=Enable HEX=0x10 KEY=1", dump(h));

    ASSERT_EQ(0, load(other, "/s", true));
    ASSERT_EQ(0, load(other, "Z=1"));
    ASSERT_EQ(0, api.mergeConfig(h, other));
    EXPECT_EQ("/s AUTO_UPDATE=Enable HEX=0x10 KEY=1 Z=1", dump(h));
    api.destroyKeyMapper(mapper);
    mapper = nullptr;
}

TEST_F(SettingsApi, ValidatedLoadsAndEquality) {
    settings::ValidatorBuilderHandle vb = api.createValidatorBuilder();
    const settings::FixedValueSpec toggles[] = {{"Enable", 1, 1}, {"Disable", 0, 1}, {"1", 1, 1}, {"0", 0, 1}};
    ASSERT_EQ(0, api.addFixedValues(vb, "AUTO_UPDATE", toggles, 4));
    ASSERT_EQ(0, api.addIntegerValidator(vb, "N"));
    ASSERT_EQ(0, api.addDirnameValidator(vb, "DIR", 0));
    const settings::FixedValueSpec broken[] = {{"x", 1, 0}, {nullptr, 2, 0}};
    EXPECT_EQ(300, api.addFixedValues(vb, "K", broken, 2));
    ASSERT_EQ(0, api.buildValidator(vb, &validator));
    api.destroyValidatorBuilder(vb);

    EXPECT_EQ(0, load(h, "AUTO_UPDATE=Enable\nN=0x10\nDIR=C:\\x\nK=x"));
    int32_t n = 0;
    EXPECT_EQ(0, api.getInteger(h, "AUTO_UPDATE", &n));
    EXPECT_EQ(1, n);
    EXPECT_EQ(0, api.getInteger(h, "N", &n));
    EXPECT_EQ(16, n);
    for (const char* bad : {"AUTO_UPDATE=enable", "N=x", "DIR=rel", "UNKNOWN=1"}) {
        EXPECT_EQ(313, load(other, bad)) << bad;
    }
    int32_t flag = 0;
    EXPECT_EQ(0, api.isEmpty(other, &flag));
    EXPECT_EQ(1, flag);

    // Two stores that each hold /s without value and differ in a later key.
    ASSERT_EQ(0, load(other, "AUTO_UPDATE=1\nN=16\nDIR=C:\\x\nK=x"));
    EXPECT_EQ(0, api.equals(h, other, &flag));
    EXPECT_EQ(1, flag);  // typed values compare by number
    ASSERT_EQ(0, api.loadString(h, "/s", nullptr, nullptr, 1, 1));
    ASSERT_EQ(0, api.loadString(other, "/s\nZ=1", nullptr, nullptr, 1, 1));
    EXPECT_EQ(0, api.equals(h, other, &flag));
    EXPECT_EQ(0, flag);
    api.destroyValidator(validator);
    validator = nullptr;
}

TEST_F(SettingsApi, NullArgumentsAndForeignExceptions) {
    const char* text = nullptr;
    int32_t flag = 0;
    const uint32_t* lines = nullptr;
    EXPECT_EQ(300, api.getSettingsFilePath(nullptr, &text));
    EXPECT_EQ(300, api.getSettingsFilePath(h, nullptr));
    EXPECT_EQ(300, api.loadFile(h, nullptr, nullptr, nullptr, 1, 0));
    EXPECT_EQ(300, api.loadString(nullptr, "A=1", nullptr, nullptr, 1, 0));
    EXPECT_EQ(300, api.mergeConfig(h, nullptr));
    EXPECT_EQ(300, api.getErrorLines(h, &lines, nullptr));
    EXPECT_EQ(300, api.saveToFile(h, nullptr));
    EXPECT_EQ(300, api.isEmpty(h, nullptr));
    EXPECT_EQ(300, api.equals(h, nullptr, &flag));
    EXPECT_EQ(300, api.forEach(h, nullptr, nullptr));
    EXPECT_EQ(300, api.getString(h, nullptr, &text));
    EXPECT_EQ(300, api.getFlag(h, "k", nullptr));
    EXPECT_EQ(300, api.removeKey(nullptr, "k"));
    EXPECT_EQ(300, api.buildValidator(nullptr, nullptr));
    EXPECT_EQ(300, api.setAcceptUnknownKeys(nullptr, 1));
    EXPECT_EQ(300, api.addKeyMapping(nullptr, "a", "b", 0));
    api.destroyContext(nullptr);
    api.destroyValidator(nullptr);
    api.destroyKeyMapperBuilder(nullptr);

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

TEST_F(SettingsApi, SavingReplacesTheFileInOneStep) {
    ASSERT_EQ(0, load(h, "B", true));
    ASSERT_EQ(0, load(h, "A=1\nV=x=y"));
    // A new file: LF line ends, protected, parent directories made.
    ASSERT_EQ(0, api.saveToFile(h, "C:\\x\\y\\z.cfg"));
    EXPECT_EQ("A=1\nB\nV=x=y\n", fs.files.at("C:/x/y/z.cfg").content);
    EXPECT_TRUE(fs.files.at("C:/x/y/z.cfg").protectedAccess);
    // An existing file: CR LF, its own access rules kept.
    fs.files["C:/work/settings.cfg"] = {"old", false};
    ASSERT_EQ(0, api.saveToFile(h, "settings.cfg"));
    EXPECT_EQ("A=1\r\nB\r\nV=x=y\r\n", fs.files.at("C:/work/settings.cfg").content);
    EXPECT_FALSE(fs.files.at("C:/work/settings.cfg").protectedAccess);
    ASSERT_EQ(0, api.saveToFile(other, "C:/empty.cfg"));
    EXPECT_EQ(" ", fs.files.at("C:/empty.cfg").content);
    ASSERT_EQ(0, api.loadFile(other, "C:/x/y/z.cfg", nullptr, nullptr, 1, 1));
    int32_t equal = 0;
    ASSERT_EQ(0, api.equals(h, other, &equal));
    EXPECT_EQ(1, equal);

    // Failures: the target keeps its old content and no staged file remains.
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
        EXPECT_EQ(c.newStatus, api.saveToFile(other, "C:/x/new.cfg")) << c.name;
        EXPECT_EQ(before.size() + (c.newStatus == 0 ? 1 : 0), fs.files.size()) << c.name;
        EXPECT_EQ("A=1\r\nB\r\nV=x=y\r\n", fs.files.at("C:/work/settings.cfg").content) << c.name;
        fs = saved;
    }
    EXPECT_EQ(311, api.saveToFile(h, "C:/empty.cfg/sub/f.cfg"));  // a file where a directory is needed
    EXPECT_EQ(311, api.saveToFile(h, "C:/.."));
}
