#pragma once
// String toolkit shared by every layer. This header is platform-free; the conversions between
// UTF-8, UTF-16 and the process code page live in tstrings_win (Windows targets only).
#include <cstdarg>
#include <cstdint>
#include <string>
#include <vector>

namespace tstrings {

// printf-style formatting of any length. The buffer grows in rounds of 256 characters until the
// text and its terminating zero fit. A null format throws MdsError<std::invalid_argument>.
std::string format(const char* fmt, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;
// The same over a va_list.
std::string vformat(const char* fmt, va_list args);

// Pieces of str between occurrences of sep, empty pieces included. Nothing is appended when
// str or sep is empty.
void split(const std::string& str, const std::string& sep, std::vector<std::string>& out);

std::string toLower(std::string str);
bool equalsIgnoreCase(const std::string& a, const std::string& b);
// Copy without leading and trailing characters of set.
std::string trim(const std::string& text, const std::string& set = " \t");
std::string toString(int32_t n);
std::string toString(uint32_t n);

#if defined(_WIN32)
std::string toUtf8(const std::wstring& text);
std::wstring toUtf16(const std::string& utf8);
std::string toMultiByte(const std::wstring& text);
// Text of the process code page (system messages, paths as the A-functions give them) in UTF-8.
std::string multiByteToUtf8(const std::string& text);
std::string utf8ToMultiByte(const std::string& utf8);
// The same conversions without best-fit or default characters: false, out empty, when a character
// has no form of its own in the process code page (or the UTF-8 is invalid). A best-fit letter or a
// '?' would name another folder or property than the one the user gave.
bool toMultiByteExact(const std::wstring& text, std::string& out);
bool utf8ToMultiByteExact(const std::string& utf8, std::string& out);
#endif

}  // namespace tstrings

bool isPathSeparator(char c);
// The part after the last '\\' or '/', or the whole path. Pass a std::string: glibc declares its own
// basename(const char*), which a literal would pick on the native build.
std::string basename(const std::string& path);
std::string removeTrailingSeparators(const std::string& path);
// a + "\" + b, with a's trailing separators and one leading separator of b dropped.
std::string joinPath(const std::string& a, const std::string& b);
