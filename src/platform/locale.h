#pragma once
// The user-interface language of the launcher: the supported locales, the user's preferred UI
// languages, and the rules that match one against the other. Platform-free: the system's answers
// come through IPreferredLanguageSource, whose Win32 implementation lives in locale_win.cpp.
#include <cstdint>
#include <string>
#include <vector>

using LangId = uint16_t;

struct Locale;
// Callers hold the factory of a locale, never the record.
using LocaleFactory = const Locale& (*)();

class IPreferredLanguageSource;

struct Locale {
    LangId langId;          // the locale's own identifier
    const char* name;
    const char* shortName;  // may be null
    LangId matches[4];      // a preferred language equal to one of these selects the locale; 0 ends the list

    // The user's preferred UI languages, most preferred first. With the per-thread list available
    // (Vista and later) what the system returns, completed by withNeutralFallbacks; otherwise the XP
    // fallback list, which adds each identifier's primary language. Throws when the system call
    // fails or an identifier cannot be read.
    static std::vector<LangId> preferredLanguages(IPreferredLanguageSource& source);
    // The first preferred language that a supported locale matches, English otherwise.
    static LocaleFactory preferred(IPreferredLanguageSource& source);
    static LocaleFactory preferred(const std::vector<LangId>& languages);
    // The supported locale whose own identifier is exactly id; otherwise throws
    // MdsError<std::runtime_error> "unsupported locale langId: <id>". Takes any integer so that a
    // configured value outside 16 bits is refused rather than truncated into a supported one.
    static LocaleFactory fromLangId(int64_t id);

#if defined(_WIN32)
    // The same, asking the running system.
    static std::vector<LangId> preferredLanguages();
    static LocaleFactory preferred();
#endif
};

const Locale& englishLocale();
const Locale& chineseLocale();
const Locale& japaneseLocale();

LangId langIdOf(LocaleFactory factory);

// What the system says about the user's languages.
class IPreferredLanguageSource {
public:
    virtual ~IPreferredLanguageSource() = default;
    // False where the system lacks GetThreadPreferredUILanguages (XP and older).
    virtual bool hasThreadPreferredUILanguages() = 0;
    // The per-thread list (user and system fallbacks merged) in UTF-8: hexadecimal identifiers, each
    // followed by a zero character, with the list's own two closing zero characters already dropped.
    // Throws when the system call fails.
    virtual std::string threadPreferredUILanguages() = 0;
    virtual LangId threadLocale() = 0;  // low 16 bits of the thread locale
    virtual LangId userDefaultUILanguage() = 0;
    virtual LangId systemDefaultUILanguage() = 0;
};

// Reads the per-thread list as described above: each piece must be a whole hexadecimal 16-bit
// number, or MdsError<std::runtime_error> "Cannot get langID: <piece>" is thrown.
std::vector<LangId> parsePreferredUILanguages(const std::string& list);

// The per-thread list asked with MUI_UI_FALLBACK carries each language's neutral parent (0x0011
// after 0x0411, zh-Hant 0x7C04 after 0x0404); systems that leave the parents out (Wine returns the
// user's language alone) get each missing one added right after its first child, so that a
// Japanese user is not served English. Lists that already hold the parents come back unchanged.
std::vector<LangId> withNeutralFallbacks(const std::vector<LangId>& languages);

// Hands each supported locale's factory, in table order, to a visitor until the visitor says stop.
class LocaleMatcher {
public:
    class Visitor {
    public:
        virtual ~Visitor() = default;
        // Returns whether to go on with the next locale.
        virtual bool visit(LocaleFactory factory) = 0;
    };

    static void visitAll(Visitor& visitor);
};

// Stops at the locale whose own identifier equals the one sought.
class LangIdVisitor : public LocaleMatcher::Visitor {
public:
    explicit LangIdVisitor(int64_t wanted) : wanted(wanted) {}
    bool visit(LocaleFactory factory) override;
    LocaleFactory hit = nullptr;

private:
    int64_t wanted;
};

// Stops at the first locale whose match list holds the preferred language.
class MatchListVisitor : public LocaleMatcher::Visitor {
public:
    explicit MatchListVisitor(LangId preferred) : preferred(preferred) {}
    bool visit(LocaleFactory factory) override;
    LocaleFactory hit = nullptr;

private:
    LangId preferred;
};
