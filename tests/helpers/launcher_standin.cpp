// launcher_standin [arguments...], copied as mako-forge-setup.exe beside a script that runs the
// launcher: writes its arguments to standin-arguments.txt beside itself, appends the line in
// STANDIN_LOG_LINE (if any) to %TEMP%\musched.log as a launcher's log entry would, and exits
// with the code in STANDIN_EXIT_CODE (signed decimal, 0 when unset).
#include <cstdlib>
#include <fstream>
#include <string>

#include "common/stand_in_support.h"

namespace {

// In the ANSI code page, as the narrow calls and the arguments give text: what the script reads back.
std::string codePage(const std::wstring& text) {
    if (text.empty()) return std::string();
    const int size = WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                         nullptr, nullptr);
    std::string out(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &out[0], size, nullptr, nullptr);
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    std::string arguments;
    for (int i = 1; i < argc; ++i) arguments += (i > 1 ? " " : "") + std::string(argv[i]);
    std::ofstream((stand_in::folderOf(stand_in::ownPath()) + L"\\standin-arguments.txt").c_str(), std::ios::binary)
        << arguments;

    const std::wstring logLine = stand_in::environment(L"STANDIN_LOG_LINE");
    if (!logLine.empty())
        stand_in::appendToFile(stand_in::environment(L"TEMP") + L"\\musched.log", codePage(logLine) + "\r\n");
    return static_cast<int>(std::strtol(codePage(stand_in::environment(L"STANDIN_EXIT_CODE")).c_str(), nullptr, 10));
}
