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

namespace {

// Starts "<program>"<arguments>; no process handle when it could not start.
PROCESS_INFORMATION start(const std::wstring& program, const std::wstring& arguments) {
    std::wstring command = L"\"" + program + L"\"" + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    CreateProcessW(program.c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process);
    return process;
}

}  // namespace

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
        PROCESS_INFORMATION installer = start(std::wstring(system) + L"\\msiexec.exe", arguments);
        return static_cast<int>(installer.hProcess ? stand_in::waitForExit(installer) : GetLastError());
    }
    if (!once.empty()) CloseHandle(CreateFileW(once.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
    const std::wstring record = stand_in::environment(L"MAKO_TEST_KIT_RECORD");
    if (stand_in::environment(L"MAKO_TEST_STALL") == L"action" && !record.empty())
        stand_in::appendToFile(record, "WaitForArchives: started (stalled_installer)\r\n");
    start(stand_in::ownPath(), L" -Embedding");  // the lost process; its handles go with this one's end
    Sleep(INFINITE);
    return 0;
}
