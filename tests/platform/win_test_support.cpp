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

namespace {

// Helpers sit next to the test when copied there, else in the build tree, whose Unix path Wine
// shows on drive Z:.
std::string helperPath(const std::string& name) {
    const std::string self = SysInfo::getProcessModulePath();
    const std::string beside = joinPath(self.substr(0, self.find_last_of("\\/")), name + ".exe");
    if (GetFileAttributesA(beside.c_str()) != INVALID_FILE_ATTRIBUTES) return beside;
    std::string built = LAUNCHER_HELPER_DIR;
    if (!built.empty() && built[0] == '/') built = "Z:" + built;
    for (char& c : built) {
        if (c == '/') c = '\\';
    }
    return joinPath(built, name + ".exe");
}

}  // namespace

unique_process_information startHelper(const std::string& name, const std::vector<std::string>& args) {
    std::string commandLine = "\"" + helperPath(name) + "\"";
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
