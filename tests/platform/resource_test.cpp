#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <vector>

#include "platform/logger.h"
#include "platform/message_box.h"
#include "platform/resource.h"
#include "platform/resource_file.h"
#include "platform/win32.h"
#include "win_test_support.h"

namespace {

using ::testing::StartsWith;
using ::testing::ThrowsMessage;
using wintest::readFile;

const LPCSTR kPayloadType = "TEST_PAYLOAD";

// Selects which language of the string table this thread reads: Windows goes by the thread's UI
// language, Wine by the thread locale.
struct ThreadLanguage {
    explicit ThreadLanguage(LANGID lang) { SetThreadUILanguage(lang); SetThreadLocale(MAKELCID(lang, SORT_DEFAULT)); }
    ~ThreadLanguage() { SetThreadUILanguage(uiLanguage); SetThreadLocale(locale); }
    LANGID uiLanguage = GetThreadUILanguage();
    LCID locale = GetThreadLocale();
};

std::wstring entryText(UINT id) {
    size_t size = 0;
    const auto* text = static_cast<const wchar_t*>(StringResource(id, nullptr).getPtr(&size));
    return text ? std::wstring(text, size / sizeof(wchar_t)) : std::wstring();
}

TEST(StringResource, ReadsTheThreadsLanguage) {
    const struct { LANGID lang; std::wstring caption, entry120; } rows[] = {
        {0x0409, L"Test caption", L"one hundred twenty"},
        {0x0411, L"\u30C6\u30B9\u30C8", L"\u767E\u4E8C\u5341"},
        {0x0804, L"\u6D4B\u8BD5", L"\u4E00\u767E\u4E8C\u5341"},
    };
    for (const auto& row : rows) {
        ThreadLanguage language(row.lang);
        EXPECT_EQ(row.caption, entryText(115)) << row.lang;
        EXPECT_EQ(row.entry120, entryText(120)) << row.lang;  // block 8, between other blocks' neighbours
        // An entry never written in an existing block is empty, not the fallback.
        EXPECT_EQ("", StringResource(127, nullptr).string("fallback")) << row.lang;
    }
    ThreadLanguage japanese(0x0411);
    ASSERT_EQ(932u, GetACP()) << "run with LC_ALL=ja_JP.UTF-8";
    EXPECT_EQ("\x95\x53\x93\xF1\x8F\x5C", StringResource(120, nullptr).string("fallback"));  // CP 932
    EXPECT_EQ("\x83\x65\x83\x58\x83\x67", MessageBoxDialog(nullptr).caption);
}

TEST(StringResource, MissingBlockGivesTheFallbackAndOneErrorLine) {
    const std::string before = readFile(globalLogger.path);
    EXPECT_EQ("fallback", StringResource(400, nullptr).string("fallback"));  // block 26 does not exist
    const std::string added = readFile(globalLogger.path).substr(before.size());

    // Other test programs may share the log: count only this unit's entries.
    const std::regex entry(R"(\(StringResource::string\)\])");
    EXPECT_EQ(1, std::distance(std::sregex_iterator(added.begin(), added.end(), entry), std::sregex_iterator())) << added;
    EXPECT_NE(std::string::npos,
              added.find(":163 (StringResource::string)]\r\n\tERROR: Exception with message 'resource_win.cpp(65) at "
                         "Resource::getPtr(): cannot find resource (name='#400', type='#6'). System error [1814](system "
                         "error 1814 (")) << added;
}

std::vector<DWORD> requested;
DWORD shortWriteLimit = 0;

// Records each chunk asked for; with a limit it writes less, as a disk may, and says so.
BOOL WINAPI recordingWrite(HANDLE file, LPCVOID data, DWORD size, LPDWORD written, LPOVERLAPPED overlapped) {
    requested.push_back(size);
    if (shortWriteLimit != 0 && size > shortWriteLimit) size = shortWriteLimit;
    return WriteFile(file, data, size, written, overlapped);
}

TEST(WriteResourceToFile, CopiesInChunksOfAtMost8192Bytes) {
    const struct { int id; DWORD limit; std::vector<DWORD> chunks; } rows[] = {
        {1, 0, {8192, 8192, 8192}},
        {2, 0, {8192, 1}},
        {3, 0, {}},
        {2, 5000, {8192, 3193}},  // resumes where a short write stopped
    };
    for (const auto& row : rows) {
        size_t size = 0;
        const void* resource = Resource(MAKEINTRESOURCEA(row.id), kPayloadType, nullptr).getPtr(&size);
        const std::string path = wintest::scratchFile("payload");
        std::ofstream(path) << "previous content that must go";

        requested.clear();
        shortWriteLimit = row.limit;
        EXPECT_TRUE(writeResourceToFile(nullptr, MAKEINTRESOURCEA(row.id), kPayloadType, path, &recordingWrite));
        EXPECT_EQ(row.chunks, requested) << "resource " << row.id;
        EXPECT_EQ(std::string(static_cast<const char*>(resource), size), readFile(path)) << "resource " << row.id;
        DeleteFileA(path.c_str());
    }
}

TEST(WriteResourceToFile, MissingResourceReturnsFalseAndMakesNoFile) {
    const std::string path = wintest::scratchFile("missing");
    EXPECT_FALSE(writeResourceToFile(nullptr, MAKEINTRESOURCEA(99), kPayloadType, path));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(path.c_str()));
    EXPECT_THAT([] { Resource(MAKEINTRESOURCEA(99), kPayloadType, nullptr).getPtr(nullptr); },
                ThrowsMessage<std::runtime_error>(StartsWith("resource_win.cpp(65) at Resource::getPtr(): cannot find "
                                                             "resource (name='#99', type='TEST_PAYLOAD'). System error [1814](")));
}

}  // namespace
