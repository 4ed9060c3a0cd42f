// stalled_installer [installer arguments]
// Stands in for a Windows Installer that never ends, as Wine's does when it loses the custom-action
// process it starts for the kit's action and waits for its connection for ever: it starts a copy of
// itself ("-Embedding", the lost process) and sleeps.
//   MAKO_TEST_STALL       "server" (or unset): the kit's action never runs; "action": it appends the
//                         kit action's first line to MAKO_TEST_KIT_RECORD, as an action stuck inside would
//   MAKO_TEST_STALL_ONCE  a file: created by the call that stalls; while it exists, calls go to the
//                         system's msiexec.exe with the same arguments and return its exit code
#include <cstring>
#include <cwchar>
#include <string>

#include "common/stand_in_support.h"
#include "platform/win_test_support.h"

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "-Embedding") == 0) {
        Sleep(INFINITE);
        return 0;
    }
    const std::wstring once = stand_in::environment(L"MAKO_TEST_STALL_ONCE");
    if (!once.empty() && stand_in::fileExists(once)) {
        wchar_t system[MAX_PATH] = {};
        GetSystemDirectoryW(system, MAX_PATH);
        // The raw text after the program name.
        const wchar_t* arguments = GetCommandLineW();
        if (*arguments != L'"') arguments += std::wcscspn(arguments, L" \t");
        else arguments = std::wcschr(arguments + 1, L'"') ? std::wcschr(arguments + 1, L'"') + 1 : L"";
        wintest::Process installer;
        long code = 0;
        const bool started = installer.start(stand_in::toUtf8(system) + "\\msiexec.exe",
                                             stand_in::toUtf8(arguments + std::wcsspn(arguments, L" \t")));
        return static_cast<int>(started && installer.wait(INFINITE, code) ? code : static_cast<long>(installer.error));
    }
    if (!once.empty()) CloseHandle(CreateFileW(once.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
    const std::wstring record = stand_in::environment(L"MAKO_TEST_KIT_RECORD");
    if (stand_in::environment(L"MAKO_TEST_STALL") == L"action" && !record.empty())
        stand_in::appendToFile(record, "WaitForArchives: started (stalled_installer)\r\n");
    wintest::Process lost;  // its handle goes with this one's end
    lost.start(stand_in::toUtf8(stand_in::ownPath()), "-Embedding");
    Sleep(INFINITE);
    return 0;
}
