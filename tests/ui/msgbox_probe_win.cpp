// Test helper: starts a program, waits for a message box with a given caption, records it, waits for
// a go-ahead file (the test takes its screenshot meanwhile) before clicking its OK button, then
// records the program's full 32-bit exit code. Starting the program itself keeps both on the same
// (private) desktop and the exit code whole.
//
//   msgbox-probe.exe <caption | @file | *> <record-file> <press-file> <timeout-ms> <command line | @file>
//
// The caption "*" stands for any dialog window of the started program.
// An @file holds the text in UTF-8: Wine hands non-ASCII arguments over intact only when the Unix
// locale they are written in is installed.
// The record file holds the lines "caption: ", "text: " (backslash and line breaks escaped as in a
// resource script: \\, \n, \r), "button: " (the OK button's label), "rect: left top right bottom" and
// "exit: <code>". Exit code 0 when a box was found and pressed, 2 on timeout, 3 when the program
// could not be started, 64 on bad usage.
#include <fstream>
#include <sstream>
#include <string>

#include "platform/win_test_support.h"
// after windows.h
#include <shellapi.h>

#include "common/stand_in_support.h"

namespace {

using namespace stand_in;

std::wstring windowText(HWND window, int controlId) {
    wchar_t buffer[4096] = {};
    GetDlgItemTextW(window, controlId, buffer, 4096);
    return buffer;
}

std::string escaped(const std::string& text) {
    std::string out;
    for (char c : text) out += c == '\\' ? "\\\\" : c == '\n' ? "\\n" : c == '\r' ? "\\r" : std::string(1, c);
    return out;
}

std::wstring fromFileIfNamed(const std::wstring& argument) {
    if (argument.empty() || argument[0] != L'@') return argument;
    std::ostringstream read;
    read << std::ifstream(argument.c_str() + 1, std::ios::binary).rdbuf();
    std::string bytes = read.str();
    while (!bytes.empty() && (bytes.back() == '\n' || bytes.back() == '\r')) bytes.pop_back();
    return wintest::utf16(bytes);
}

// Any dialog window (a message box among them) of the process.
HWND dialogOf(DWORD processId) {
    for (HWND window = FindWindowExW(nullptr, nullptr, L"#32770", nullptr); window;
         window = FindWindowExW(nullptr, window, L"#32770", nullptr)) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner == processId) return window;
    }
    return nullptr;
}

int run(int argc, wchar_t** argv) {
    if (argc < 6) return 64;
    const std::wstring caption = fromFileIfNamed(argv[1]), record = argv[2], press = argv[3];
    const DWORD timeoutMs = static_cast<DWORD>(_wtoi(argv[4]));
    std::wstring commandLine = fromFileIfNamed(argv[5]);

    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
        appendToFile(record, "start failed: " + std::to_string(GetLastError()) + "\n");
        return 3;
    }

    HWND box = nullptr;
    for (DWORD waited = 0; box == nullptr && waited < timeoutMs; waited += 50) {
        box = caption == L"*" ? dialogOf(process.dwProcessId) : FindWindowW(L"#32770", caption.c_str());
        if (box == nullptr && WaitForSingleObject(process.hProcess, 50) == WAIT_OBJECT_0) break;  // ended without one
    }
    int result = 2;
    if (box != nullptr) {
        Sleep(300);  // let the box finish painting before anyone looks at it
        wchar_t title[512] = {};
        GetWindowTextW(box, title, 512);
        RECT r = {};
        GetWindowRect(box, &r);
        appendToFile(record, "caption: " + toUtf8(title) + "\ntext: " + escaped(toUtf8(windowText(box, 0xFFFF))) +
                                 "\nbutton: " + toUtf8(windowText(box, IDOK)) + "\nrect: " + std::to_string(r.left) +
                                 " " + std::to_string(r.top) + " " + std::to_string(r.right) + " " +
                                 std::to_string(r.bottom) + "\n");
        for (DWORD waited = 0; !fileExists(press) && waited < timeoutMs; waited += 50) Sleep(50);
        // Clicked as a user would: a box without an OK button stays up and the run times out.
        PostMessageW(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
        result = 0;
    } else {
        appendToFile(record, "no box\n");
    }
    if (WaitForSingleObject(process.hProcess, timeoutMs) != WAIT_OBJECT_0) TerminateProcess(process.hProcess, 1);
    appendToFile(record, "exit: " + std::to_string(static_cast<long>(stand_in::waitForExit(process))) + "\n");
    return result;
}

}  // namespace

int main() {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    const int result = argv == nullptr ? 64 : run(argc, argv);
    LocalFree(argv);
    return result;
}
