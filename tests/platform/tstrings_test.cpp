#include "platform/tstrings.h"

#include <gtest/gtest.h>

#include <cstdarg>

#include "platform/errors.h"

namespace {

unsigned roundsFor(const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    unsigned rounds = 0;
    tstrings::vformat(fmt, args, &rounds);
    va_end(args);
    return rounds;
}

TEST(Format, GrowsIn256CharacterRoundsUntilTheTerminatorFits) {
    const std::string k255(255, 'x'), k256(256, 'x'), k1000(1000, 'x');
    EXPECT_EQ(1u, roundsFor("%s", k255.c_str()));
    EXPECT_EQ(2u, roundsFor("%s", k256.c_str()));  // the zero needs a 257th place
    EXPECT_EQ(4u, roundsFor("%s", k1000.c_str()));
    EXPECT_EQ(k1000, tstrings::format("%s", k1000.c_str()));
    EXPECT_EQ("7 -3 ab", tstrings::format("%u %d %s", 7u, -3, "ab"));
    EXPECT_EQ("", tstrings::format("%s", ""));
}

TEST(Format, NullFormatThrowsLocatedInvalidArgument) {
    try {
        const char* none = nullptr;
        tstrings::format(none);
        FAIL() << "no exception";
    } catch (const std::invalid_argument& e) {
        EXPECT_EQ("tstrings.cpp(27) at tstrings::format(): Destination buffer can't be NULL", std::string(e.what()));
    }
}

TEST(Split, KeepsEmptyPiecesAndSkipsEmptyInput) {
    struct Row { const char* text; const char* sep; std::vector<std::string> pieces; };
    const Row rows[] = {
        {"a..b", ".", {"a", "", "b"}},
        {"", ".", {}},
        {"a.", ".", {"a", ""}},
        {"abc", "", {}},
        {"k=v==w", "==", {"k=v", "w"}},
        {"plain", ",", {"plain"}},
    };
    for (const Row& row : rows) {
        std::vector<std::string> out;
        tstrings::split(row.text, row.sep, out);
        EXPECT_EQ(row.pieces, out) << row.text;
    }
}

TEST(Trim, CaseAndNumbers) {
    EXPECT_EQ("a b", tstrings::trim(" \ta b\t "));
    EXPECT_EQ("", tstrings::trim(" \t "));
    EXPECT_EQ("x", tstrings::trim("..x..", "."));
    EXPECT_EQ("mixed case", tstrings::toLower("MiXeD CASE"));
    EXPECT_TRUE(tstrings::equalsIgnoreCase("INSTALLDIR", "installdir"));
    EXPECT_FALSE(tstrings::equalsIgnoreCase("INSTALLDIR", "installdi"));
    EXPECT_EQ("-80", tstrings::toString(int32_t{-80}));
    EXPECT_EQ("4294967295", tstrings::toString(uint32_t{0xFFFFFFFFu}));
}

TEST(Paths, BasenameJoinAndSeparators) {
    EXPECT_EQ("c.cpp", basename(std::string("a\\b/c.cpp")));
    EXPECT_EQ("c.cpp", basename(std::string("a/b\\c.cpp")));
    EXPECT_EQ("plain", basename(std::string("plain")));
    EXPECT_EQ("", basename(std::string("dir\\")));
    EXPECT_EQ("C:\\tmp\\name", joinPath("C:\\tmp\\\\", "\\name"));
    EXPECT_EQ("C:\\tmp\\\\name", joinPath("C:\\tmp", "\\\\name"));  // only one leading separator goes
    EXPECT_EQ("name", joinPath("", "name"));
    EXPECT_EQ("C:\\tmp", joinPath("C:\\tmp", ""));
    EXPECT_EQ("C:", removeTrailingSeparators("C:\\/\\"));
    EXPECT_TRUE(isPathSeparator('/'));
    EXPECT_FALSE(isPathSeparator(':'));
}

}  // namespace
