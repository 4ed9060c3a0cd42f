// The line format, its positions and error numbers; UTF-8 checks; file-name rules.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "settings/exception.h"
#include "settings/file_name.h"
#include "settings/memory_file_system.h"
#include "settings/parser.h"
#include "settings/utf8.h"

using namespace settings_impl;

namespace {

// Records what the parser hands out, as one text per event.
struct Recorder : IConfigParserCallback {
    std::vector<std::string> events;
    static std::string at(const IParserCursor& c) { return "@" + describeCursor(c); }
    bool onComment(const IParserCursor& c, const std::string& text) override {
        events.push_back("comment[" + text + "]" + at(c));
        return true;
    }
    int32_t onEntry(const IParserCursor& c, const std::string& key, const std::string* value) override {
        events.push_back("[" + key + "]" + (value ? "=[" + *value + "]" : std::string(" novalue")) + at(c));
        return 300;
    }
    void onError(const IParserCursor& c, int32_t number) override {
        events.push_back("error " + std::to_string(number) + at(c));
    }
};

std::string parsed(const std::string& text, bool acceptKeysWithoutValue = false, bool stopOnError = true) {
    Recorder r;
    PlainTextFileConfigParser::parseText(text, r, stopOnError, acceptKeysWithoutValue);
    std::string all;
    for (const auto& e : r.events) all += (all.empty() ? "" : " | ") + e;
    return all;
}

int32_t statusOf(void (*action)(const std::string&), const std::string& arg) {
    try {
        action(arg);
        return 0;
    } catch (const settings::Exception& e) {
        return e.code();
    }
}

}  // namespace

TEST(LineFormat, Table) {
    struct Row { std::string text; bool acceptKeysWithoutValue; std::string expected; } rows[] = {
        {"  \t ", false, ""},
        {"A=1\n\rB=2", false, "[A]=[1]@line 1; char 1 | [B]=[2]@line 3; char 1"},
        {"A=1\r\nB=2\rC=3\n", false, "[A]=[1]@line 1; char 1 | [B]=[2]@line 2; char 1 | [C]=[3]@line 3; char 1"},
        {"  KEY  :  some value  ", false, "[KEY]=[some value]@line 1; char 3"},
        {"K=a=b", false, "[K]=[a=b]@line 1; char 1"},
        {"K:a=b", false, "[K]=[a=b]@line 1; char 1"},
        {"K=#x", false, "[K]=[#x]@line 1; char 1"},
        {"KEY=", false, "[KEY]=[]@line 1; char 1"},
        {"a key\t= v", false, "[a key]=[v]@line 1; char 1"},
        {"\t # note = x", false, "comment[# note = x]@line 1; char 3"},
        {"K # text", false, "error 301@line 1; char 1"},
        {"K # text", true, "[K # text] novalue@line 1; char 1"},
        {"/s ", true, "[/s] novalue@line 1; char 1"},
        {"=v", false, "error 302@line 1; char 1"},
        {"A=1\n\n=x\nB=2", false, "[A]=[1]@line 1; char 1 | error 302@line 3; char 1"},
        {"\xEF\xBB\xBFK=v", false, "[\xEF\xBB\xBFK]=[v]@line 1; char 1"},  // a byte-order mark is part of the key
        {"K=\x0C v \x0B", false, "[K]=[\x0C v \x0B]@line 1; char 1"},      // only space and tab are blanks
    };
    for (const Row& row : rows) {
        EXPECT_EQ(row.expected, parsed(row.text, row.acceptKeysWithoutValue)) << "text: " << row.text;
    }
    // Without stop-on-error every line is tried.
    EXPECT_EQ("[A]=[1]@line 1; char 1 | error 302@line 2; char 1 | [B]=[2]@line 3; char 1",
              parsed("A=1\n=x\nB=2", false, false));
}

TEST(LineFormat, CallbackStatusesBecomeErrorsWithTheirNames) {
    struct Refusing : IConfigParserCallback {
        std::vector<int32_t> errors;
        bool onComment(const IParserCursor&, const std::string&) override { return false; }
        int32_t onEntry(const IParserCursor&, const std::string& key, const std::string*) override {
            return key == "bad" ? 303 : key == "odd" ? 999 : 300;
        }
        void onError(const IParserCursor&, int32_t number) override { errors.push_back(number); }
    } r;
    PlainTextFileConfigParser::parseText("#c\nbad=1\nok=1\nodd=2", r, false, false);
    EXPECT_EQ((std::vector<int32_t>{305, 303, 999}), r.errors);
    EXPECT_STREQ("Unknown error", errorName(999));
}

TEST(Utf8, FindInvalidUtf8) {
    struct Row { std::string text; size_t invalidAt; } rows[] = {  // invalidAt npos: well-formed
        {"plain", std::string::npos},
        {"\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80", std::string::npos},  // two, three and four bytes
        {"\xF8\x88\x80\x80\x80", std::string::npos},                  // five-byte forms are not refused
        {"ab\xC3", 2},                                                // lead byte at the end
        {"a\xC3(", 1},                                                // second byte not 10xxxxxx
        {"a\x80", 1},                                                 // lone continuation byte
        {"\xFF", 0},
        {"\xE2\x82", 0},
        {std::string("a\0b", 3), std::string::npos},
    };
    for (const Row& row : rows) {
        const size_t at = findInvalidUtf8(row.text.data(), row.text.data() + row.text.size()) - row.text.data();
        EXPECT_EQ(row.invalidAt == std::string::npos ? row.text.size() : row.invalidAt, at) << row.text;
    }
    EXPECT_EQ(L"\u00e9\u20ac", utf8ToUtf16("\xC3\xA9\xE2\x82\xAC"));
    EXPECT_EQ("\xF0\x9F\x98\x80", utf16ToUtf8(utf8ToUtf16("\xF0\x9F\x98\x80")));  // a surrogate pair
    EXPECT_THROW(utf8ToUtf16("\xED\xA0\x80"), settings::Exception);  // encoded surrogate
}

TEST(FileNames, ConstructionAndCanonicalForm) {
    MemoryFileSystem fs;
    fs.cwd = "D:\\work\\dir";
    ScopedFileSystem scope(fs);
    std::string wide;
    for (int i = 0; i < 100; ++i) wide += "\xE2\x82\xAC";  // 300 bytes, 100 UTF-16 units
    // The canonical text, or "#<status>" of construction or canonicalize.
    struct Row { std::string text; std::string result; } rows[] = {
        {"C:", "C:"},
        {"c:\\Program Files\\x\\..\\y", "c:/Program Files/y"},
        {"a/./b//c", "D:/work/dir/a/b/c"},
        {"\\top", "D:/work/dir/top"},  // a single leading separator is relative too
        {"", "#311"},
        {"C:foo", "#311"},
        {"C:/dir/COM1", "#311"},
        {"C:/dir/com1", "C:/dir/com1"},
        {"C:/dir/COM10", "C:/dir/COM10"},
        {"C:/CON.txt", "C:/CON.txt"},
        {"C:/a|b", "#311"},
        {"C:/a\tb", "#311"},
        {"C:/" + std::string(256, 'a'), "C:/" + std::string(256, 'a')},
        {"C:/" + std::string(257, 'a'), "#310"},
        {wide, "#310"},
        {"C:/\xC3", "#312"},
        {"../../..", "#311"},
        {"C:/..", "#311"},
        {"C:/a/../../b", "#311"},
    };
    for (const Row& row : rows) {
        std::string got;
        try {
            const FileName name = FileName(row.text).canonicalize();
            EXPECT_TRUE(name.isCanonical());
            got = name.text();
        } catch (const settings::Exception& e) {
            got = "#" + std::to_string(e.code());
        }
        EXPECT_EQ(row.result, got) << row.text;
    }
    fs.cwd = "/home/unix";
    EXPECT_EQ(200, statusOf([](const std::string& t) { FileName(t).canonicalize(); }, "a"));
}
