// Conversions between UTF-16 (wide system calls), UTF-8 (settings text) and the process code page
// (paths, registry names, messages).
#include <algorithm>
#include <climits>
#include <utility>

#include "platform/errors.h"
#include "platform/tstrings.h"
#include "platform/win32.h"

namespace tstrings {

namespace {

[[noreturn]] void conversionFailed(const char* function, int line, const char* what) {
    throw MdsError<std::runtime_error>(std::runtime_error(what), SourceLocation{__FILE__, function, line});
}

// The conversion functions count in int; a longer text is refused rather than cut.
int checkedLength(size_t size, const char* function, int line, const char* what) {
    if (size > static_cast<size_t>(INT_MAX)) conversionFailed(function, line, what);
    return static_cast<int>(size);
}

}  // namespace

std::string toUtf8(const std::wstring& text) {
    static const char kWhat[] = "Unexpected reply from WideCharToMultiByte()";
    if (text.empty()) return std::string();
    const int inLength = checkedLength(text.size(), "tstrings::toUtf8", 236, kWhat);
    const int needed = WideCharToMultiByte(CP_UTF8, 0, text.data(), inLength, nullptr, 0, nullptr, nullptr);
    if (needed < 0) conversionFailed("tstrings::toUtf8", 236, kWhat);
    if (needed == 0) return std::string();
    std::string out(static_cast<size_t>(needed), '\0');
    const int converted = WideCharToMultiByte(CP_UTF8, 0, text.data(), inLength, &out[0], needed, nullptr, nullptr);
    if (converted != needed) conversionFailed("tstrings::toUtf8", 252, kWhat);
    return out;
}

std::wstring toUtf16(const std::string& utf8) {
    static const char kWhat[] = "Unexpected reply from MultiByteToWideChar()";
    if (utf8.empty()) return std::wstring();
    const int inLength = checkedLength(utf8.size(), "tstrings::toUtf16", 272, kWhat);
    // Text that is not UTF-8 answers 0 here and comes back empty, without error.
    const int needed = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), inLength, nullptr, 0);
    if (needed < 0) conversionFailed("tstrings::toUtf16", 272, kWhat);
    if (needed == 0) return std::wstring();
    std::wstring out(static_cast<size_t>(needed), L'\0');
    const int converted = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), inLength, &out[0], needed);
    if (converted != needed) conversionFailed("tstrings::toUtf16", 286, kWhat);
    return out;
}

std::string toMultiByte(const std::wstring& text) {
    if (text.empty() || text.size() > static_cast<size_t>(INT_MAX)) return std::string();
    const int inLength = static_cast<int>(text.size());
    const int needed = WideCharToMultiByte(CP_ACP, 0, text.data(), inLength, nullptr, 0, nullptr, nullptr);
    if (needed <= 0) return std::string();
    std::string out(static_cast<size_t>(needed), '\0');
    const int converted = WideCharToMultiByte(CP_ACP, 0, text.data(), inLength, &out[0], needed, nullptr, nullptr);
    out.resize(converted > 0 ? static_cast<size_t>(converted) : 0);
    return out;
}

std::string utf8ToMultiByte(const std::string& utf8) { return toMultiByte(toUtf16(utf8)); }

std::string multiByteToUtf8(const std::string& text) {
    if (text.empty() || text.size() > static_cast<size_t>(INT_MAX)) return std::string();
    const int inLength = static_cast<int>(text.size());
    const int needed = MultiByteToWideChar(CP_ACP, 0, text.data(), inLength, nullptr, 0);
    if (needed <= 0) return std::string();
    std::wstring wide(static_cast<size_t>(needed), L'\0');
    wide.resize(static_cast<size_t>(std::max(0, MultiByteToWideChar(CP_ACP, 0, text.data(), inLength, &wide[0], needed))));
    return toUtf8(wide);
}

bool toMultiByteExact(const std::wstring& text, std::string& out) {
    out.clear();
    if (text.empty()) return true;
    if (text.size() > static_cast<size_t>(INT_MAX)) return false;
    const int inLength = static_cast<int>(text.size());
    // A UTF-8 process code page holds every character; the system refuses the default-character
    // report for it.
    const UINT codePage = GetACP();
    const bool utf8 = codePage == CP_UTF8;
    const DWORD flags = utf8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
    BOOL usedDefault = FALSE;
    BOOL* const defaultReport = utf8 ? nullptr : &usedDefault;
    const int needed = WideCharToMultiByte(codePage, flags, text.data(), inLength, nullptr, 0, nullptr, defaultReport);
    if (needed <= 0 || usedDefault) return false;
    std::string converted(static_cast<size_t>(needed), '\0');
    if (WideCharToMultiByte(codePage, flags, text.data(), inLength, &converted[0], needed, nullptr, defaultReport) !=
            needed ||
        usedDefault)
        return false;
    out = std::move(converted);
    return true;
}

bool utf8ToMultiByteExact(const std::string& utf8, std::string& out) {
    const std::wstring wide = toUtf16(utf8);
    if (wide.empty() && !utf8.empty()) {  // not UTF-8
        out.clear();
        return false;
    }
    return toMultiByteExact(wide, out);
}

}  // namespace tstrings
