#include "settings/utf8.h"

#include <cstdint>

#include "settings/exception.h"

namespace settings_impl {

namespace {

// Number of continuation bytes a lead byte announces, or -1 for a byte that cannot start a sequence.
int continuationCount(unsigned char b) {
    if (b < 0x80) return 0;
    if (b < 0xC0) return -1;  // 10xxxxxx
    if (b < 0xE0) return 1;
    if (b < 0xF0) return 2;
    if (b < 0xF8) return 3;
    if (b < 0xFC) return 4;
    if (b < 0xFE) return 5;
    return -1;  // 0xFE, 0xFF
}

[[noreturn]] void conversionFailed(const char* what) { throw settings::Exception(settings::status::Internal, what); }

}  // namespace

const char* findInvalidUtf8(const char* begin, const char* end) {
    const char* p = begin;
    while (p != end) {
        const int more = continuationCount(static_cast<unsigned char>(*p));
        if (more < 0) return p;
        if (end - p <= more) return p;
        for (int i = 1; i <= more; ++i) {
            if ((static_cast<unsigned char>(p[i]) & 0xC0) != 0x80) return p;
        }
        p += more + 1;
    }
    return end;
}

std::wstring utf8ToUtf16(const std::string& utf8) {
    std::wstring out;
    out.reserve(utf8.size());
    const size_t n = utf8.size();
    for (size_t i = 0; i < n;) {
        const unsigned char b = static_cast<unsigned char>(utf8[i]);
        uint32_t cp;
        int more;
        if (b < 0x80) {
            cp = b;
            more = 0;
        } else if (b >= 0xC2 && b < 0xE0) {
            cp = b & 0x1F;
            more = 1;
        } else if (b >= 0xE0 && b < 0xF0) {
            cp = b & 0x0F;
            more = 2;
        } else if (b >= 0xF0 && b < 0xF5) {
            cp = b & 0x07;
            more = 3;
        } else {
            conversionFailed("invalid UTF-8 lead byte");
        }
        if (n - i <= static_cast<size_t>(more)) conversionFailed("truncated UTF-8 sequence");
        for (int k = 1; k <= more; ++k) {
            const unsigned char c = static_cast<unsigned char>(utf8[i + k]);
            if ((c & 0xC0) != 0x80) conversionFailed("invalid UTF-8 continuation byte");
            cp = (cp << 6) | (c & 0x3F);
        }
        if ((more == 2 && cp < 0x800) || (more == 3 && (cp < 0x10000 || cp > 0x10FFFF)) ||
            (cp >= 0xD800 && cp <= 0xDFFF)) {
            conversionFailed("overlong or out-of-range UTF-8 sequence");
        }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(static_cast<wchar_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<wchar_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<wchar_t>(cp));
        }
        i += more + 1;
    }
    return out;
}

std::string utf16ToUtf8(const std::wstring& utf16) {
    std::string out;
    out.reserve(utf16.size());
    const size_t n = utf16.size();
    for (size_t i = 0; i < n; ++i) {
        uint32_t cp = static_cast<uint32_t>(utf16[i]) & 0xFFFF;
        if (cp >= 0xD800 && cp < 0xDC00) {
            const uint32_t low = i + 1 < n ? static_cast<uint32_t>(utf16[i + 1]) & 0xFFFF : 0;
            if (low < 0xDC00 || low > 0xDFFF) conversionFailed("unpaired UTF-16 surrogate");
            cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
            ++i;
        } else if (cp >= 0xDC00 && cp <= 0xDFFF) {
            conversionFailed("unpaired UTF-16 surrogate");
        }
        if (cp < 0x80) {
            out.push_back(static_cast<char>(cp));
        } else if (cp < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
    }
    return out;
}

}  // namespace settings_impl
