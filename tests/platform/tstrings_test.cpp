#include "platform/tstrings.h"

#include <gtest/gtest.h>

#include "platform/errors.h"

namespace {

// The buffer grows in rounds of 256: the texts straddle a round's end, the zero included.
TEST(Format, WholeTextOfAnyLength) {
    for (size_t length : {255, 256, 1000}) {
        const std::string text(length, 'x');
        EXPECT_EQ(text, tstrings::format("%s", text.c_str()));
    }
    EXPECT_EQ("7 -3 ab", tstrings::format("%u %d %s", 7u, -3, "ab"));
    const char* none = nullptr;
    EXPECT_THROW(tstrings::format(none), std::invalid_argument);
}

TEST(Split, KeepsEmptyPiecesAndSkipsEmptyInput) {
    struct Row { const char* text; const char* sep; std::vector<std::string> pieces; };
    const Row rows[] = {
        {"a..b", ".", {"a", "", "b"}},
        {"", ".", {}},
        {"a.", ".", {"a", ""}},
        {"abc", "", {}},
        {"k=v==w", "==", {"k=v", "w"}},
    };
    for (const Row& row : rows) {
        std::vector<std::string> out;
        tstrings::split(row.text, row.sep, out);
        EXPECT_EQ(row.pieces, out) << row.text;
    }
}

TEST(Text, TrimCaseAndPaths) {
    struct Row { std::string got, expected; };
    const Row rows[] = {
        {tstrings::trim(" \ta b\t "), "a b"},
        {tstrings::trim(" \t "), ""},
        {tstrings::trim("..x..", "."), "x"},
        {tstrings::toLower("MiXeD CASE"), "mixed case"},
        {basename(std::string("a\\b/c.cpp")), "c.cpp"},
        {basename(std::string("a/b\\c.cpp")), "c.cpp"},
        {basename(std::string("dir\\")), ""},
        {joinPath("C:\\tmp\\\\", "\\name"), "C:\\tmp\\name"},
        {joinPath("C:\\tmp", "\\\\name"), "C:\\tmp\\\\name"},  // only one leading separator goes
        {joinPath("", "name"), "name"},
        {joinPath("C:\\tmp", ""), "C:\\tmp"},
        {removeTrailingSeparators("C:\\/\\"), "C:"},
    };
    for (const Row& row : rows) EXPECT_EQ(row.expected, row.got);
    EXPECT_TRUE(tstrings::equalsIgnoreCase("INSTALLDIR", "installdir"));
    EXPECT_FALSE(tstrings::equalsIgnoreCase("INSTALLDIR", "installdi"));
    EXPECT_TRUE(isPathSeparator('/'));
    EXPECT_FALSE(isPathSeparator(':'));
}

}  // namespace
