// The user-interface language chosen from what the system prefers (XP's three identifiers or the
// Vista+ list); the choice under Wine's real languages is shown by the locale_probe tests.
#include "platform/locale.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

struct FakeSource : IPreferredLanguageSource {
    FakeSource(LangId thread, LangId user, LangId system) : thread(thread), user(user), system(system) {}
    FakeSource(std::initializer_list<const char*> pieces) : vista(true) {
        for (const char* piece : pieces) (list += piece) += '\0';
        if (!list.empty()) list.pop_back();
    }
    bool hasThreadPreferredUILanguages() override { return vista; }
    std::string threadPreferredUILanguages() override { return list; }
    LangId threadLocale() override { return thread; }
    LangId userDefaultUILanguage() override { return user; }
    LangId systemDefaultUILanguage() override { return system; }

    bool vista = false;
    std::string list;
    LangId thread = 0, user = 0, system = 0;
};

// The first preferred language that a locale matches; an unreadable list (expected 0) throws.
TEST(PreferredLocale, FirstPreferredLanguageThatALocaleMatches) {
    const struct { FakeSource source; LangId expected; const char* why; } rows[] = {
        {{0x0404, 0x0404, 0x0404}, 0x0804, "XP: 0x0404 adds primary 4, which is Chinese"},
        {{"0404", "0409"}, 0x0409, "Vista: Traditional Chinese falls back to zh-Hant, not 4"},
        {{"0C0A", "0411"}, 0x0411, "Wine lists no neutral parent: 0x11 is added after 0x0411"},
        {{"1004"}, 0x0804, "Chinese (Singapore)"},
        {{"0409", "zz99"}, 0, "not hexadecimal"}, {{"0409", "", "0411"}, 0, "an empty entry"},
        {{"10409"}, 0, "five digits"}, {{"0x409"}, 0, "a prefix"},
    };
    for (auto row : rows) {
        if (row.expected == 0) EXPECT_THROW(Locale::preferred(row.source), std::runtime_error) << row.why;
        else EXPECT_EQ(row.expected, langIdOf(Locale::preferred(row.source))) << row.why;
    }
}

}  // namespace
