#include "platform/tstrings.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "platform/errors.h"

namespace tstrings {

namespace {
constexpr size_t kFormatRound = 256;
}

std::string vformat(const char* fmt, va_list args) {
    if (fmt == nullptr) {
        throw MdsError<std::invalid_argument>(std::invalid_argument("Destination buffer can't be NULL"),
                                              SourceLocation{__FILE__, "tstrings::format", 27});
    }
    std::vector<char> buffer;
    int written = -1;
    while (written < 0) {
        buffer.resize(buffer.size() + kFormatRound);
        va_list copy;
        va_copy(copy, args);
        const int needed = std::vsnprintf(buffer.data(), buffer.size(), fmt, copy);
        va_end(copy);
        if (needed < 0) {
            // An encoding error cannot be cured by a larger buffer.
            throw MdsError<std::runtime_error>(std::runtime_error("formatting failed"),
                                               SourceLocation{__FILE__, "tstrings::format", 27});
        }
        // Truncating semantics: a text that does not fit together with its zero counts as failure.
        written = static_cast<size_t>(needed) < buffer.size() ? needed : -1;
    }
    return std::string(buffer.data(), static_cast<size_t>(written));
}

std::string format(const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    try {
        std::string text = vformat(fmt, args);
        va_end(args);
        return text;
    } catch (...) {
        va_end(args);
        throw;
    }
}

void split(const std::string& str, const std::string& sep, std::vector<std::string>& out) {
    if (str.empty() || sep.empty()) return;
    size_t start = 0;
    for (size_t hit = str.find(sep); hit != std::string::npos; hit = str.find(sep, start)) {
        out.push_back(str.substr(start, hit - start));
        start = hit + sep.size();
    }
    out.push_back(str.substr(start));
}

std::string toLower(std::string str) {
    std::transform(str.begin(), str.end(), str.begin(),
                   [](char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); });
    return str;
}

bool equalsIgnoreCase(const std::string& a, const std::string& b) { return toLower(a) == toLower(b); }

std::string trim(const std::string& text, const std::string& set) {
    const size_t first = text.find_first_not_of(set);
    if (first == std::string::npos) return std::string();
    const size_t last = text.find_last_not_of(set);
    return text.substr(first, last - first + 1);
}

std::string toString(int32_t n) { return std::to_string(n); }
std::string toString(uint32_t n) { return std::to_string(n); }

}  // namespace tstrings

bool isPathSeparator(char c) { return c == '\\' || c == '/'; }

std::string basename(const std::string& path) {
    const size_t last = path.find_last_of("\\/");
    return last == std::string::npos ? path : path.substr(last + 1);
}

std::string removeTrailingSeparators(const std::string& path) {
    size_t end = path.size();
    while (end > 0 && isPathSeparator(path[end - 1])) --end;
    return path.substr(0, end);
}

std::string joinPath(const std::string& a, const std::string& b) {
    if (a.empty()) return b;
    if (b.empty()) return a;
    return removeTrailingSeparators(a) + "\\" + (isPathSeparator(b[0]) ? b.substr(1) : b);
}
