// Runs a command line and reports the child's full 32-bit exit code, which a Linux exit status
// (8 bits) cannot carry: exit_code_runner.exe [--out <file>] <program> [arguments...]
// Everything after the runner's own arguments is passed to CreateProcess verbatim. The code is
// printed in signed decimal on one line to standard output, or written to <file> with --out
// (reading wine's output through a pipe can hang while a wineserver holds it). The runner's own
// exit code is the child's; when the child cannot be started it prints "start failed <error>" and
// returns 255.
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

// Skips one argument of a raw command line (quoted or not) and the blanks after it.
const char* skipArgument(const char* p) {
    bool quoted = false;
    while (*p && (quoted || (*p != ' ' && *p != '\t'))) {
        if (*p == '"') quoted = !quoted;
        ++p;
    }
    while (*p == ' ' || *p == '\t') ++p;
    return p;
}

void report(const std::string& outFile, const std::string& line) {
    if (outFile.empty()) {
        std::fputs(line.c_str(), stdout);
        std::fflush(stdout);
        return;
    }
    if (FILE* out = std::fopen(outFile.c_str(), "wb")) {
        std::fputs(line.c_str(), out);
        std::fclose(out);
    }
}

}  // namespace

int main() {
    const char* rest = skipArgument(GetCommandLineA());
    std::string outFile;
    if (std::string(rest).compare(0, 6, "--out ") == 0) {
        const char* name = rest + 6;
        while (*name == ' ') ++name;
        const char* end = skipArgument(name);
        outFile.assign(name, end);
        while (!outFile.empty() && (outFile.back() == ' ' || outFile.back() == '\t')) outFile.pop_back();
        if (outFile.size() >= 2 && outFile.front() == '"' && outFile.back() == '"')
            outFile = outFile.substr(1, outFile.size() - 2);
        rest = end;
    }
    std::string command(rest);
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (command.empty() ||
        !CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
        report(outFile, "start failed " + std::to_string(command.empty() ? ERROR_BAD_ARGUMENTS : GetLastError()) + "\n");
        return 255;
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    report(outFile, std::to_string(static_cast<long>(static_cast<LONG>(code))) + "\n");
    return static_cast<int>(code);
}
