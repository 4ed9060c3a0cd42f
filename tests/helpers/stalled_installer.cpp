// stalled_installer [installer arguments]
// Stands in for a Windows Installer that never ends, as Wine's does when it loses the custom-action
// process it starts for the kit's action and waits for its connection for ever: it starts a copy of
// itself ("-Embedding", the lost process) and sleeps.
//   MAKO_TEST_STALL       "server" (or unset): the kit's action never runs; "action": it appends the
//                         kit action's first line to MAKO_TEST_KIT_RECORD, as an action stuck inside would
//   MAKO_TEST_STALL_ONCE  a file: created by the call that stalls; while it exists, calls go to the
//                         system's msiexec.exe with the same arguments and return its exit code
#include <cstring>
#include <string>

#include "common/stand_in_support.h"
#include "platform/win32.h"

namespace {

std::string variable(const char* name) {
    char value[MAX_PATH] = {};
    const DWORD length = GetEnvironmentVariableA(name, value, sizeof value);
    return length < sizeof value ? value : "";
}

// Starts "<program>"<arguments>; no process handle when it could not start.
PROCESS_INFORMATION start(const std::string& program, const std::string& arguments) {
    std::string command = "\"" + program + "\"" + arguments;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    CreateProcessA(program.c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process);
    return process;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "-Embedding") == 0) {
        Sleep(INFINITE);
        return 0;
    }
    const std::string once = variable("MAKO_TEST_STALL_ONCE");
    if (!once.empty() && GetFileAttributesA(once.c_str()) != INVALID_FILE_ATTRIBUTES) {
        char system[MAX_PATH] = {};
        GetSystemDirectoryA(system, sizeof system);
        // The raw text after the program name.
        const char* arguments = GetCommandLineA();
        if (*arguments == '"') arguments = std::strchr(arguments + 1, '"') ? std::strchr(arguments + 1, '"') + 1 : "";
        else arguments += std::strcspn(arguments, " \t");
        PROCESS_INFORMATION installer = start(std::string(system) + "\\msiexec.exe", arguments);
        return static_cast<int>(installer.hProcess ? stand_in::waitForExit(installer) : GetLastError());
    }
    if (!once.empty()) CloseHandle(CreateFileA(once.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
    const std::string record = variable("MAKO_TEST_KIT_RECORD");
    if (variable("MAKO_TEST_STALL") == "action" && !record.empty()) {
        HANDLE file = CreateFileA(record.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        const char line[] = "WaitForArchives: started (stalled_installer)\r\n";
        DWORD written = 0;
        WriteFile(file, line, sizeof line - 1, &written, nullptr);
        CloseHandle(file);
    }
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, sizeof self);
    start(self, " -Embedding");  // the lost process; its handles go with this one's end
    Sleep(INFINITE);
    return 0;
}
