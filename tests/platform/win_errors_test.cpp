// System error texts, SysError composition and the logging handle closers.
#include <gtest/gtest.h>

#include "platform/handles.h"
#include "platform/tstrings.h"
#include "platform/win_errors.h"
#include "win_test_support.h"

namespace {

// A customer-defined code: the system has no text for it.
constexpr DWORD kNoTextCode = 0x2000ABCD;

TEST(SystemErrorText, TidiesControlCharactersAndTrailingStops) {
    struct Row { const wchar_t* raw; const wchar_t* tidy; };
    const Row rows[] = {
        {L"Access is denied.\r\n", L"Access is denied"},
        {L"First line.\r\nSecond line.\r\n", L"First line.  Second line"},
        {L"Tabs\there. . .  ", L"Tabs here"},
        {L"...", L"."},  // the first character always stays
        {L"\r\n", L" "},
        {L"", L""},
    };
    for (const Row& row : rows) EXPECT_EQ(std::wstring(row.tidy), tidySystemText(row.raw)) << tstrings::toUtf8(row.raw);
}

TEST(SystemErrorText, SystemTextsAndTheirDescriptions) {
    const std::string denied = systemErrorText(ERROR_ACCESS_DENIED);
    ASSERT_FALSE(denied.empty());
    EXPECT_EQ(std::string::npos, denied.find_first_of("\r\n\t"));
    EXPECT_NE('.', denied.back());
    EXPECT_EQ("system error 5 (" + denied + ")", describeSystemError(ERROR_ACCESS_DENIED));
    EXPECT_EQ("system error 536914893 (No description available)", describeSystemError(kNoTextCode));
    // A module without a message table still finds the system's texts.
    EXPECT_EQ(denied, systemErrorText(ERROR_ACCESS_DENIED, GetModuleHandleA(nullptr)));

    // Facility Win32 describes the Windows code inside; any other facility the result itself.
    EXPECT_EQ("COM error 0x80070005 (" + denied + ")", describeComError(static_cast<HRESULT>(0x80070005)));
    EXPECT_EQ("COM error 0x8004100E (" + systemErrorText(0x8004100E) + ")",
              describeComError(static_cast<HRESULT>(0x8004100E)));
    EXPECT_EQ("COM error 0xA007ABCD (No description available)", describeComError(static_cast<HRESULT>(0xA007ABCD)))
        << "only facility bits 0x1FFF0000 decide";
}

TEST(SysError, MessageLayout) {
    const std::string noText = "(system error 536914893 (No description available))";
    const void* findResource = reinterpret_cast<const void*>(&FindResourceA);
    const void* nowhere = reinterpret_cast<const void*>(static_cast<uintptr_t>(0x10));  // in no module
    struct Row { const char* message; const char* description; const void* function; std::string what; };
    const Row rows[] = {
        {"cannot find resource (101, MAKO_INSTALLER)", "System error", findResource,
         "cannot find resource (101, MAKO_INSTALLER). System error [536914893]" + noText},
        {" \t ", "System error", nowhere, "System error [536914893]" + noText},
        {"no address", "System error", nullptr, "no address. System error [536914893]"},
        {"no description.", nullptr, nullptr, "no description. Some error [536914893]"},
    };
    const std::string log = wintest::scratchFile("syserror");
    {
        wintest::GlobalLogRedirect redirect(log);  // the unknown address costs a warning line
        for (const Row& row : rows)
            EXPECT_EQ(row.what, SysError(row.message, kNoTextCode, row.description, row.function).what()) << row.message;
    }
    DeleteFileA(log.c_str());
}

TEST(CloseHandles, IgnoreNoneAndLogFailures) {
    const std::string path = wintest::scratchFile("close");
    {
        wintest::GlobalLogRedirect redirect(path);
        SetLastError(1234);
        closeHANDLE(nullptr);
        closeHANDLE(INVALID_HANDLE_VALUE);  // also the current process's pseudo handle: never closed
        closeRegHandle(nullptr);
        EXPECT_EQ(1234u, GetLastError()) << "no system call for null or invalid handles";
        closeHANDLE(reinterpret_cast<HANDLE>(static_cast<uintptr_t>(0x1234560)));
        closeRegHandle(reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x1234564)));
    }
    const std::string text = wintest::readFile(path);
    const std::string failed = ") failed with " + describeSystemError(ERROR_INVALID_HANDLE) + "\r\n";
    EXPECT_NE(std::string::npos, text.find(", WinAutoHandle:19 (closeHANDLE)]\r\n\tERROR: CloseHandle(" +
                                           pointerText(reinterpret_cast<const void*>(0x1234560)) + failed)) << text;
    EXPECT_NE(std::string::npos, text.find(", WinAutoHandle:40 (closeRegHandle)]\r\n\tERROR: RegCloseKey(" +
                                           pointerText(reinterpret_cast<const void*>(0x1234564)) + failed)) << text;
    EXPECT_EQ(2u, std::count(text.begin(), text.end(), '\t')) << "exactly the two failures are logged";
    DeleteFileA(path.c_str());
}

}  // namespace
