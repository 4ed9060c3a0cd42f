// launcher_standin [arguments...], copied as mako-forge-setup.exe beside a script that runs the
// launcher: writes its arguments to standin-arguments.txt beside itself, appends the line in
// STANDIN_LOG_LINE (if any) to %TEMP%\musched.log as a launcher's log entry would, and exits
// with the code in STANDIN_EXIT_CODE (signed decimal, 0 when unset).
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/win32.h"

namespace {

std::string environment(const char* name) {
    char value[1024] = {};
    const DWORD size = GetEnvironmentVariableA(name, value, sizeof value);
    return size > 0 && size < sizeof value ? value : "";
}

void append(const std::string& path, const std::string& text, const char* mode) {
    if (FILE* file = std::fopen(path.c_str(), mode)) {
        std::fputs(text.c_str(), file);
        std::fclose(file);
    }
}

}  // namespace

int main(int argc, char** argv) {
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, sizeof self);
    std::string folder(self);
    folder.erase(folder.find_last_of('\\') + 1);

    std::string arguments;
    for (int i = 1; i < argc; ++i) arguments += (i > 1 ? " " : "") + std::string(argv[i]);
    append(folder + "standin-arguments.txt", arguments, "wb");

    const std::string logLine = environment("STANDIN_LOG_LINE");
    if (!logLine.empty()) append(environment("TEMP") + "\\musched.log", logLine + "\r\n", "ab");
    return static_cast<int>(std::strtol(environment("STANDIN_EXIT_CODE").c_str(), nullptr, 10));
}
