#include <gtest/gtest.h>

#include "platform/tstrings.h"
#include "platform/win32.h"

namespace {

TEST(Conversions, Utf8AndUtf16RoundTripAndInvalidUtf8IsEmpty) {
    const struct { std::string utf8; std::wstring utf16; } rows[] = {
        {"", L""},
        {"caf\xC3\xA9 \xE6\x97\xA5\xE6\x9C\xAC", L"caf\u00E9 \u65E5\u672C"},
        {"\xF0\x9F\x98\x80" "x\xF0\x90\x80\x80", L"\xD83D\xDE00" L"x\xD800\xDC00"},  // outside the BMP
        {std::string("a\0b", 3), std::wstring(L"a\0b", 3)},                          // embedded zero kept
    };
    for (const auto& row : rows) {
        EXPECT_EQ(row.utf8, tstrings::toUtf8(row.utf16)) << row.utf8;
        EXPECT_EQ(row.utf16, tstrings::toUtf16(row.utf8)) << row.utf8;
    }
    for (const char* bad : {"\xFF\xFE", "abc\xC3", "\xC0\xAF", "\xED\xA0\x80", "ok\x80ok"}) {
        EXPECT_EQ(L"", tstrings::toUtf16(bad)) << bad;
        EXPECT_EQ("", tstrings::utf8ToMultiByte(bad)) << bad;
    }
}

TEST(Conversions, MultiByteIsTheProcessCodePage) {
    ASSERT_EQ(932u, GetACP()) << "run with LC_ALL=ja_JP.UTF-8";
    EXPECT_EQ("\x93\xFA\x96\x7B", tstrings::toMultiByte(L"\u65E5\u672C"));
    EXPECT_EQ("\x93\xFA\x96\x7B", tstrings::utf8ToMultiByte("\xE6\x97\xA5\xE6\x9C\xAC"));
    EXPECT_EQ("", tstrings::toMultiByte(L""));

    // The exact form refuses what would come out as a default or best-fit character.
    const struct { const char* utf8; bool exact; const char* ansi; } rows[] = {
        {"C:\\\xE8\xA1\xA8", true, "C:\\\x95\x5C"},   // trail byte 0x5C kept
        {"F\xC3\xB8r", false, ""},                          // no o with stroke in 932
        {"\xEF\xBC\xBC", true, "\x81\x5F"},                 // fullwidth backslash: its own character
        {"\xE2\x88\x95", false, ""},                         // division slash: none of its own in 932
        {"", true, ""},
        {"ok\x80", false, ""},                                 // not UTF-8
    };
    for (const auto& row : rows) {
        std::string out = "stale";
        EXPECT_EQ(row.exact, tstrings::utf8ToMultiByteExact(row.utf8, out)) << row.utf8;
        EXPECT_EQ(row.ansi, out) << row.utf8;
    }
}

}  // namespace
