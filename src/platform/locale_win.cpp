// The running system as the source of the user's preferred UI languages.
#include <vector>

#include "platform/dll.h"
#include "platform/locale.h"
#include "platform/tstrings.h"
#include "platform/win32.h"
#include "platform/win_errors.h"

namespace {

// kernel32 has it from Vista on; bound at run time so that the launcher still starts on XP.
using GetThreadPreferredUILanguagesFn = BOOL(WINAPI*)(DWORD flags, PULONG count, PZZWSTR buffer, PULONG size);

constexpr DWORD kIdsWithFallbacks = 0x34;  // MUI_LANGUAGE_ID | MUI_UI_FALLBACK: user and system lists merged

class SystemLanguageSource : public IPreferredLanguageSource {
public:
    SystemLanguageSource() : function(Dll::system("kernel32.dll"), "GetThreadPreferredUILanguages") {}

    bool hasThreadPreferredUILanguages() override { return static_cast<bool>(function); }

    std::string threadPreferredUILanguages() override {
        const GetThreadPreferredUILanguagesFn call = function;
        ULONG count = 0;
        ULONG size = 0;
        if (!call(kIdsWithFallbacks, &count, nullptr, &size)) {
            throwFailure("GetThreadPreferredUILanguages (detect size) failed", GetLastError(), call, 325);
        }
        // The list ends with the last identifier's zero and one more; fewer characters hold nothing.
        if (size < 2) return std::string();
        std::vector<WCHAR> buffer(size);
        if (!call(kIdsWithFallbacks, &count, buffer.data(), &size)) {
            throwFailure("GetThreadPreferredUILanguages (get values) failed", GetLastError(), call, 330);
        }
        if (size < 2 || size > buffer.size()) return std::string();
        return tstrings::toUtf8(std::wstring(buffer.data(), size - 2));
    }

    LangId threadLocale() override { return LANGIDFROMLCID(GetThreadLocale()); }
    LangId userDefaultUILanguage() override { return GetUserDefaultUILanguage(); }
    LangId systemDefaultUILanguage() override { return GetSystemDefaultUILanguage(); }

private:
    [[noreturn]] static void throwFailure(const char* message, DWORD code, GetThreadPreferredUILanguagesFn call,
                                          int line) {
        throw MdsError<SysError>(SysError(message, code, "System error", call),
                                 SourceLocation{__FILE__, "Locale::preferredLanguages", line});
    }

    DllFunction<GetThreadPreferredUILanguagesFn> function;
};

}  // namespace

std::vector<LangId> Locale::preferredLanguages() {
    SystemLanguageSource source;
    return preferredLanguages(source);
}

LocaleFactory Locale::preferred() {
    SystemLanguageSource source;
    return preferred(source);
}
