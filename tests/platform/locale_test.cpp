#include "platform/locale.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

// Stands in for the system: either an XP system (three identifiers) or a Vista+ list.
struct FakeSource : IPreferredLanguageSource {
    bool vista = false;
    std::string list;
    LangId thread = 0x0409, user = 0x0409, system = 0x0409;

    bool hasThreadPreferredUILanguages() override { return vista; }
    std::string threadPreferredUILanguages() override { return list; }
    LangId threadLocale() override { return thread; }
    LangId userDefaultUILanguage() override { return user; }
    LangId systemDefaultUILanguage() override { return system; }
};

FakeSource xp(LangId thread, LangId user, LangId system) {
    FakeSource s;
    s.thread = thread;
    s.user = user;
    s.system = system;
    return s;
}

FakeSource vista(std::string list) {
    FakeSource s;
    s.vista = true;
    s.list = std::move(list);
    return s;
}

TEST(PreferredLanguages, XpFallbackAddsPrimaryLanguagesAndKeepsDuplicates) {
    FakeSource s = xp(0x0407, 0x0407, 0x0409);
    EXPECT_EQ((std::vector<LangId>{0x0407, 7, 0x0407, 7, 0x0409, 9, 0x0409, 9}), Locale::preferredLanguages(s));
    // A bare primary language is its own primary part: nothing is added after it.
    FakeSource bare = xp(0x0011, 0x0804, 0x0409);
    EXPECT_EQ((std::vector<LangId>{0x0011, 0x0804, 4, 0x0409, 9, 0x0409, 9}), Locale::preferredLanguages(bare));
}

TEST(PreferredLanguages, VistaListGetsOnlyTheNeutralParentsTheSystemLeftOut) {
    const struct {
        std::string list;
        std::vector<LangId> expected;
    } rows[] = {
        {std::string("0404\0" "0409", 9), {0x0404, 0x7C04, 0x0409, 0x0009}},  // Wine: specific ids only
        {"0411", {0x0411, 0x0011}},
        {"0804", {0x0804, 0x0004}},
        {"0C04", {0x0C04, 0x7C04}},
        {std::string("0411\0" "0409\0" "0011\0" "0009", 19), {0x0411, 0x0409, 0x0011, 0x0009}},  // complete
        {std::string("0809\0" "0409", 9), {0x0809, 0x0009, 0x0409}},  // a parent is added once
        {"0009", {0x0009}},
        {"", {}},
    };
    for (const auto& row : rows) {
        FakeSource s = vista(row.list);
        EXPECT_EQ(row.expected, Locale::preferredLanguages(s)) << "list of " << row.list.size() << " chars";
    }
}

TEST(PreferredLanguages, UnreadablePieceThrowsWithThePiece) {
    const struct {
        std::string list;
        std::string piece;
    } rows[] = {
        {std::string("0409\0zz99", 9), "zz99"},
        {std::string("0409\0\0" "0411", 10), ""},  // empty piece
        {"10409", "10409"},                        // does not fit 16 bits
        {"+409", "+409"},
        {" 409", " 409"},
        {"0x409", "0x409"},
    };
    for (const auto& row : rows) {
        FakeSource s = vista(row.list);
        try {
            Locale::preferredLanguages(s);
            ADD_FAILURE() << "no exception for piece '" << row.piece << "'";
        } catch (const std::runtime_error& e) {
            EXPECT_EQ("locale.cpp(344) at Locale::preferredLanguages(): Cannot get langID: " + row.piece,
                      std::string(e.what()));
        }
    }
}

TEST(PreferredLocale, FirstPreferredLanguageThatALocaleMatches) {
    const struct {
        FakeSource source;
        LangId expected;
        const char* why;
    } rows[] = {
        {xp(0x0404, 0x0404, 0x0404), 0x0804, "XP: 0x0404 adds primary 4, which is Chinese"},
        {vista(std::string("0404\0" "0409", 9)), 0x0409, "Vista: Traditional Chinese falls back to zh-Hant, not 4"},
        {vista("0C0A"), 0x0409, "Spanish only: default English"},
        {xp(0x0C0A, 0x0C0A, 0x0C0A), 0x0409, "XP Spanish: the appended 0x0409 gives English"},
        {vista(std::string("0411\0" "0409", 9)), 0x0411, "Japanese before English in preference order"},
        {xp(0x0411, 0x0411, 0x0409), 0x0411, "XP Japanese"},
        {vista(std::string("0809\0" "0411", 9)), 0x0409, "British English is English, before Japanese"},
        {xp(0x0809, 0x0411, 0x0411), 0x0409, "XP: 0x0809 adds 9, which is English"},
        {vista("1004"), 0x0804, "Chinese (Singapore)"},
        {vista("0804"), 0x0804, "Chinese (China)"},
        {vista(""), 0x0409, "nothing preferred"},
    };
    for (auto row : rows) {
        EXPECT_EQ(row.expected, langIdOf(Locale::preferred(row.source))) << row.why;
    }
}

TEST(PreferredLocale, ListIdentifiersMatchOnlyByEquality) {
    EXPECT_EQ(0x0409, langIdOf(Locale::preferred(std::vector<LangId>{0x0411, 0x0C0A})));
    EXPECT_EQ(0x0411, langIdOf(Locale::preferred(std::vector<LangId>{0x0C0A, 0x0011, 0x0004})));
    EXPECT_EQ(0x0804, langIdOf(Locale::preferred(std::vector<LangId>{0x7C04, 0x0004})));
}

TEST(FromLangId, ExactIdentifiersOnly) {
    EXPECT_EQ(&englishLocale, Locale::fromLangId(1033));
    EXPECT_EQ(&chineseLocale, Locale::fromLangId(2052));
    EXPECT_EQ(&japaneseLocale, Locale::fromLangId(1041));
    for (int64_t id : {int64_t{0x0809}, int64_t{9}, int64_t{0x10409}, int64_t{-1}, int64_t{0}}) {
        try {
            Locale::fromLangId(id);
            ADD_FAILURE() << "accepted " << id;
        } catch (const std::runtime_error& e) {
            EXPECT_EQ("locale.cpp(255) at Locale::fromLangId(): unsupported locale langId: " + std::to_string(id),
                      std::string(e.what()));
        }
    }
}

}  // namespace
