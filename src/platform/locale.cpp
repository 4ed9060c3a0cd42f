#include "platform/locale.h"

#include <stdexcept>

#include "platform/errors.h"
#include "platform/logger.h"
#include "platform/tstrings.h"

namespace {

constexpr const char* kPreferredLanguages = "Locale::preferredLanguages";
// Log locations keep the line numbers these entries have always carried, whatever this file's layout.
constexpr int kUnsupportedLangIdLine = 255;
constexpr uint32_t kXpFallbackLine = 314;
constexpr uint32_t kVistaListLine = 317;
constexpr int kUnreadableLanguageLine = 344;
constexpr LangId kEnglishUs = 0x0409;
constexpr LangId kPrimaryLanguageMask = 0x3FF;

// The order in which the locales are tried.
const LocaleFactory kSupportedLocales[] = {&englishLocale, &chineseLocale, &japaneseLocale};

void appendWithPrimary(std::vector<LangId>& out, LangId id) {
    out.push_back(id);
    const LangId primary = static_cast<LangId>(id & kPrimaryLanguageMask);
    if (primary != id) out.push_back(primary);
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// A whole piece of hexadecimal digits with a value that fits 16 bits; no sign, blank or prefix.
bool readLangId(const std::string& piece, LangId& out) {
    if (piece.empty()) return false;
    uint32_t value = 0;
    for (char c : piece) {
        const int digit = hexDigit(c);
        if (digit < 0) return false;
        value = value * 16 + static_cast<uint32_t>(digit);
        if (value > 0xFFFF) return false;
    }
    out = static_cast<LangId>(value);
    return true;
}

// Windows' neutral language of a specific one: its primary language, except that Traditional
// Chinese (Taiwan, Hong Kong, Macao) falls back to zh-Hant rather than to the bare primary 4.
LangId neutralOf(LangId id) {
    const LangId primary = static_cast<LangId>(id & kPrimaryLanguageMask);
    if (primary == 0x04 && id != 0x0004) {
        const LangId sub = static_cast<LangId>(id >> 10);
        if (sub == 0x01 || sub == 0x03 || sub == 0x05) return 0x7C04;
    }
    return primary;
}

}  // namespace

std::vector<LangId> withNeutralFallbacks(const std::vector<LangId>& languages) {
    std::vector<LangId> out;
    for (LangId id : languages) {
        out.push_back(id);
        const LangId neutral = neutralOf(id);
        if (neutral == id) continue;
        bool listed = false;
        for (LangId other : languages) listed = listed || other == neutral;
        for (LangId other : out) listed = listed || other == neutral;
        if (!listed) out.push_back(neutral);
    }
    return out;
}

const Locale& englishLocale() {
    static const Locale locale{0x0409, "en", nullptr, {0x0009, 0, 0, 0}};
    return locale;
}

const Locale& chineseLocale() {
    static const Locale locale{0x0804, "zh_CN", "zh", {0x0804, 0x1004, 0x0004, 0}};
    return locale;
}

const Locale& japaneseLocale() {
    static const Locale locale{0x0411, "ja", nullptr, {0x0011, 0, 0, 0}};
    return locale;
}

LangId langIdOf(LocaleFactory factory) { return factory().langId; }

void LocaleMatcher::visitAll(Visitor& visitor) {
    for (LocaleFactory factory : kSupportedLocales) {
        if (!visitor.visit(factory)) return;
    }
}

bool LangIdVisitor::visit(LocaleFactory factory) {
    if (factory().langId != wanted) return true;
    hit = factory;
    return false;
}

bool MatchListVisitor::visit(LocaleFactory factory) {
    for (LangId candidate : factory().matches) {
        if (candidate == 0) break;
        if (candidate == preferred) {
            hit = factory;
            return false;
        }
    }
    return true;
}

std::vector<LangId> parsePreferredUILanguages(const std::string& list) {
    std::vector<std::string> pieces;
    tstrings::split(list, std::string(1, '\0'), pieces);
    std::vector<LangId> languages;
    for (const std::string& piece : pieces) {
        LangId id = 0;
        if (!readLangId(piece, id)) {
            throw MdsError<std::runtime_error>(std::runtime_error("Cannot get langID: " + piece),
                                               SourceLocation{__FILE__, kPreferredLanguages, kUnreadableLanguageLine});
        }
        languages.push_back(id);
    }
    return languages;
}

std::vector<LangId> Locale::preferredLanguages(IPreferredLanguageSource& source) {
    if (!source.hasThreadPreferredUILanguages()) {
        if (logEnabled(INFO)) {
            globalLogger.log(INFO, __FILE__, kXpFallbackLine, kPreferredLanguages, "PreferredUILanguages: XP fallback");
        }
        std::vector<LangId> languages;
        appendWithPrimary(languages, source.threadLocale());
        appendWithPrimary(languages, source.userDefaultUILanguage());
        appendWithPrimary(languages, source.systemDefaultUILanguage());
        appendWithPrimary(languages, kEnglishUs);
        return languages;
    }
    if (logEnabled(INFO)) {
        globalLogger.log(INFO, __FILE__, kVistaListLine, kPreferredLanguages, "PreferredUILanguages: Vista+");
    }
    return withNeutralFallbacks(parsePreferredUILanguages(source.threadPreferredUILanguages()));
}

LocaleFactory Locale::preferred(const std::vector<LangId>& languages) {
    for (LangId language : languages) {
        MatchListVisitor visitor(language);
        LocaleMatcher::visitAll(visitor);
        if (visitor.hit) return visitor.hit;
    }
    return &englishLocale;
}

LocaleFactory Locale::preferred(IPreferredLanguageSource& source) { return preferred(preferredLanguages(source)); }

LocaleFactory Locale::fromLangId(int64_t id) {
    LangIdVisitor visitor(id);
    LocaleMatcher::visitAll(visitor);
    if (visitor.hit) return visitor.hit;
    throw MdsError<std::runtime_error>(std::runtime_error("unsupported locale langId: " + std::to_string(id)),
                                       SourceLocation{__FILE__, "Locale::fromLangId", kUnsupportedLangIdLine});
}
