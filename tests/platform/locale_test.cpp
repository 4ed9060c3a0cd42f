#include "platform/locale.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <stdexcept>

namespace {

using ::testing::ThrowsMessage;

// Stands in for the system: an XP system (three identifiers) or a Vista+ list.
struct FakeSource : IPreferredLanguageSource {
    FakeSource(LangId thread, LangId user, LangId system) : thread(thread), user(user), system(system) {}
    explicit FakeSource(std::string list) : vista(true), list(std::move(list)) {}

    bool hasThreadPreferredUILanguages() override { return vista; }
    std::string threadPreferredUILanguages() override { return list; }
    LangId threadLocale() override { return thread; }
    LangId userDefaultUILanguage() override { return user; }
    LangId systemDefaultUILanguage() override { return system; }

    bool vista = false;
    std::string list;
    LangId thread = 0, user = 0, system = 0;
};

std::string ids(std::initializer_list<const char*> pieces) {
    std::string list;
    for (const char* piece : pieces) (list += piece) += '\0';
    list.pop_back();
    return list;
}

TEST(PreferredLanguages, ListsOfBothSystems) {
    const struct { FakeSource source; std::vector<LangId> expected; } rows[] = {
        // XP: each identifier, then its primary language unless it is one; duplicates kept.
        {{0x0407, 0x0407, 0x0409}, {0x0407, 7, 0x0407, 7, 0x0409, 9, 0x0409, 9}},
        {{0x0011, 0x0804, 0x0409}, {0x0011, 0x0804, 4, 0x0409, 9, 0x0409, 9}},
        // Vista+: only the neutral parents the system left out, each once.
        {FakeSource(ids({"0404", "0409"})), {0x0404, 0x7C04, 0x0409, 0x0009}},  // Wine: specific ids only
        {FakeSource(ids({"0804"})), {0x0804, 0x0004}},
        {FakeSource(ids({"0411", "0409", "0011", "0009"})), {0x0411, 0x0409, 0x0011, 0x0009}},
        {FakeSource(ids({"0809", "0409"})), {0x0809, 0x0009, 0x0409}},
        {FakeSource(""), {}},
    };
    for (auto row : rows) EXPECT_EQ(row.expected, Locale::preferredLanguages(row.source)) << row.source.list.size();
}

TEST(PreferredLanguages, UnreadablePieceThrowsWithThePiece) {
    const struct { std::string list, piece; } rows[] = {
        {ids({"0409", "zz99"}), "zz99"},
        {ids({"0409", "", "0411"}), ""},
        {"10409", "10409"},  // does not fit 16 bits
        {"+409", "+409"},
        {"0x409", "0x409"},
    };
    for (const auto& row : rows) {
        FakeSource source(row.list);
        EXPECT_THAT([&] { Locale::preferredLanguages(source); },
                    ThrowsMessage<std::runtime_error>("locale.cpp(344) at Locale::preferredLanguages(): Cannot get langID: " +
                                                      row.piece));
    }
}

TEST(PreferredLocale, FirstPreferredLanguageThatALocaleMatches) {
    const struct { FakeSource source; LangId expected; const char* why; } rows[] = {
        {{0x0404, 0x0404, 0x0404}, 0x0804, "XP: 0x0404 adds primary 4, which is Chinese"},
        {FakeSource(ids({"0404", "0409"})), 0x0409, "Vista: Traditional Chinese falls back to zh-Hant, not 4"},
        {FakeSource("0C0A"), 0x0409, "Spanish only: default English"},
        {FakeSource(ids({"0411", "0409"})), 0x0411, "Japanese before English in preference order"},
        {{0x0809, 0x0411, 0x0411}, 0x0409, "XP: 0x0809 adds 9, which is English"},
        {FakeSource("1004"), 0x0804, "Chinese (Singapore)"},
    };
    for (auto row : rows) EXPECT_EQ(row.expected, langIdOf(Locale::preferred(row.source))) << row.why;
    // A list is matched by equality only: a specific Japanese identifier is not Japanese's neutral one.
    EXPECT_EQ(0x0409, langIdOf(Locale::preferred(std::vector<LangId>{0x0411, 0x0C0A})));
    EXPECT_EQ(0x0411, langIdOf(Locale::preferred(std::vector<LangId>{0x0C0A, 0x0011, 0x0004})));
    EXPECT_EQ(0x0804, langIdOf(Locale::preferred(std::vector<LangId>{0x7C04, 0x0004})));
}

TEST(FromLangId, ExactIdentifiersOnly) {
    EXPECT_EQ(&englishLocale, Locale::fromLangId(1033));
    EXPECT_EQ(&chineseLocale, Locale::fromLangId(2052));
    EXPECT_EQ(&japaneseLocale, Locale::fromLangId(1041));
    for (int64_t id : {int64_t{0x0809}, int64_t{9}, int64_t{0x10409}, int64_t{-1}}) {
        EXPECT_THAT([&] { Locale::fromLangId(id); },
                    ThrowsMessage<std::runtime_error>("locale.cpp(255) at Locale::fromLangId(): unsupported locale langId: " +
                                                      std::to_string(id)));
    }
}

}  // namespace
