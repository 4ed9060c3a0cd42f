#pragma once
// The UTF-8 check that the whole settings library applies to texts, and the conversions to and
// from UTF-16 (the form every wide system call takes).
#include <cstddef>
#include <string>

namespace settings_impl {

// The first byte at which [begin, end) stops being well-formed UTF-8, or end. Lead bytes announce
// up to five continuation bytes; overlong forms, surrogates and the code-point limit are not checked.
const char* findInvalidUtf8(const char* begin, const char* end);
inline bool isWellFormedUtf8(const std::string& text) {
    return findInvalidUtf8(text.data(), text.data() + text.size()) == text.data() + text.size();
}

// Strict conversions (no overlong forms, surrogates or code points above U+10FFFF). The wide
// string holds UTF-16 code units on every target. Failure: settings::Exception 200.
std::wstring utf8ToUtf16(const std::string& utf8);
std::string utf16ToUtf8(const std::wstring& utf16);

}  // namespace settings_impl
