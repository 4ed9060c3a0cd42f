#include "win_test_support.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "platform/sysinfo.h"
#include "platform/tstrings.h"

namespace wintest {

std::string scratchFile(const std::string& name) {
    const std::string path =
        joinPath(SysInfo::getTempDir(), "plat-" + name + "-" + tstrings::toString(uint32_t{GetCurrentProcessId()}) + ".log");
    DeleteFileA(path.c_str());
    return path;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

unique_process_information startHelper(const std::string& name, const std::vector<std::string>& args) {
    std::string folder = LAUNCHER_HELPER_DIR;  // the build tree, whose Unix root Wine shows as drive Z:
    for (char& c : folder) c = c == '/' ? '\\' : c;
    std::string commandLine = "\"Z:" + folder + "\\" + name + ".exe\"";
    for (const std::string& arg : args) commandLine += " \"" + arg + "\"";
    std::vector<char> writable(commandLine.begin(), commandLine.end());
    writable.push_back('\0');
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    unique_process_information process;
    const BOOL started =
        CreateProcessA(nullptr, writable.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, process.put());
    EXPECT_TRUE(started) << commandLine << ": " << GetLastError();
    return process;
}

long waitExitCode(const unique_process_information& process, unsigned timeoutMs) {
    if (process.process() == nullptr) return -1;
    if (WaitForSingleObject(process.process(), timeoutMs) != WAIT_OBJECT_0) return -1;
    DWORD code = 0;
    GetExitCodeProcess(process.process(), &code);
    return static_cast<long>(code);
}

}  // namespace wintest
