// launcher_standin [arguments...], copied as mako-forge-setup.exe beside a script that runs the
// launcher: writes its arguments to standin-arguments.txt beside itself, appends the line in
// STANDIN_LOG_LINE (if any) to %TEMP%\musched.log as a launcher's log entry would, and exits
// with the code in STANDIN_EXIT_CODE (signed decimal, 0 when unset).
#include <cwchar>
#include <string>

#include "common/stand_in_support.h"

int main(int argc, char** argv) {
    std::string arguments;
    for (int i = 1; i < argc; ++i) arguments += (i > 1 ? " " : "") + std::string(argv[i]);
    const std::wstring record = stand_in::folderOf(stand_in::ownPath()) + L"\\standin-arguments.txt";
    DeleteFileW(record.c_str());  // the last call's arguments only
    stand_in::appendToFile(record, arguments);

    const std::string logLine = stand_in::toUtf8(stand_in::environment(L"STANDIN_LOG_LINE"));
    if (!logLine.empty()) stand_in::appendToFile(stand_in::environment(L"TEMP") + L"\\musched.log", logLine + "\r\n");
    return static_cast<int>(std::wcstol(stand_in::environment(L"STANDIN_EXIT_CODE").c_str(), nullptr, 10));
}
