// Value conversions the launcher reads through (integers, flags of untyped texts), the three
// validators and the builder's precedence rules.
#include <gtest/gtest.h>

#include "settings/exception.h"
#include "settings/validators.h"

using namespace settings_impl;

namespace {

// "<type>:<text>:<number>" of a validated value, "none", or "#<error>".
std::string outcome(const ConfigValidator& v, const std::string& key, const std::string* text) {
    try {
        auto value = v.validate(key, text);
        if (!value) return "none";
        std::string number;
        if (value->type() == Integer) number = std::to_string(value->integer());
        return std::to_string(value->type()) + ":" + value->text() + ":" + number;
    } catch (const ConfigValidator::InavlidKeyError&) {
        return "#key";
    } catch (const ConfigValidator::InavlidValueError&) {
        return "#value";
    } catch (const settings::Exception& e) {
        return "#" + std::to_string(e.code());
    }
}

std::string outcome(const ConfigValidator& v, const std::string& key, const char* text) {
    const std::string t = text ? text : "";
    return outcome(v, key, text ? &t : nullptr);
}

}  // namespace

TEST(ValueTexts, NumberReadings) {
    struct Row { const char* text; int64_t integer; } ints[] = {  // INT64_MIN: 302
        {"0x1F", 31}, {"010", 8}, {"08", 0}, {" 42abc", 42}, {"-0x10", -16}, {"0", 0}, {"9", 9},
        {"\t\n\v7", 7}, {"2147483647", 2147483647}, {"2147483648", INT64_MIN},
        {"-2147483648", -2147483648LL}, {"abc", INT64_MIN}, {"", INT64_MIN},
    };
    for (const auto& row : ints) {
        int64_t got = INT64_MIN;
        try {
            got = parseInteger(row.text);
        } catch (const settings::Exception& e) {
            EXPECT_EQ(302, e.code());
        }
        EXPECT_EQ(row.integer, got) << row.text;
    }
    for (const char* yes : {"TRUE", "Yes", "1", "0x10"}) EXPECT_TRUE(parseBoolean(yes)) << yes;
    for (const char* no : {"0", "NO", "false"}) EXPECT_FALSE(parseBoolean(no)) << no;
    EXPECT_THROW(parseBoolean("maybe"), settings::Exception);
    EXPECT_THROW(parseBoolean(" yes"), settings::Exception);
    EXPECT_THROW(ConfigValue::fromText(105, "x"), std::runtime_error);
}

TEST(Validators, RulesPerKeyAndBuilderPrecedence) {
    ConfigValidatorBuilder b;
    b.addTypeValidator("S", String);
    b.addTypeValidator("I", Integer);
    b.addDirnameValidator("D", false);
    b.addDirnameValidator("U", true);
    for (auto [name, value] : {std::pair<const char*, int>{"Enable", 1}, {"Disable", 0}, {"1", 1}, {"0", 0}}) {
        b.addFixedValue("CS", name, value, FixedValue::CaseSensitive);
        b.addFixedValue("CI", name, value, 0);
        b.addFixedValue("KC", name, value, FixedValue::KeepCanonicalText);
    }
    b.addFixedValue("LAST", "on", 1, 0);
    b.addFixedValue("LAST", "ON", 2, 0);  // differs only in case: the later one wins
    b.addFixedValue("LAST", "on", 3, 0);  // same name: replaced in place, still before "ON"
    b.addDirnameValidator("DIR", false);
    b.addTypeValidator("DIR", String);  // a directory rule survives a later type rule
    b.addFixedValue("F", "x", 1, 0);
    b.addTypeValidator("F", Integer);  // a type rule replaces a fixed table
    b.addTypeValidator("T", Integer);
    b.addFixedValue("T", "x", 7, 0);  // a fixed table replaces a type rule
    b.addTypeValidator("UT", Untyped);
    const auto v = b.build();
    struct Row { const char* key; const char* text; const char* expected; } rows[] = {  // text null: no value
        {"S", "any text", "101:any text:"},
        {"S", nullptr, "#value"},
        {"S", "\xC3", "#302"},
        {"I", "0x10", "102:0x10:16"},
        {"I", "many", "#302"},
        {"D", "C:\\Program Files\\x", "101:C:\\Program Files\\x:"},
        {"D", "relative\\x", "#value"},
        {"D", "\\\\server\\share", "#value"},
        {"D", "\\x", "#value"},
        {"D", "", "#311"},
        {"D", "C:\\a|b", "#311"},
        {"U", "relative", "101:relative:"},
        {"CS", "Enable", "102:Enable:1"},
        {"CS", "enable", "#value"},
        {"CI", "ENABLE", "102:ENABLE:1"},
        {"KC", "disable", "102:Disable:0"},
        {"CI", "2", "#value"},
        {"LAST", "On", "102:On:2"},
        {"DIR", "relative", "#value"},
        {"F", "12", "102:12:12"},
        {"T", "x", "102:x:7"},
        {"UT", "u", "100:u:"},
        {"unknown", "x", "#key"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(row.expected, outcome(*v, row.key, row.text)) << row.key << " " << (row.text ? row.text : "(none)");
    }
    b.setAcceptUnknownKeys(true);
    EXPECT_EQ("100:v:", outcome(*b.build(), "other", "v"));  // the builder is reusable
    EXPECT_EQ("#key", outcome(*v, "other", "v"));            // a built validator does not change
}
