#pragma once
// Shared pieces of the end-to-end tests: the built launcher under Wine, the real msiexec.exe reached
// through the recording msiexec.exe that each case names in InstallerLocation, the records and the
// log it leaves, and the fixture that resets the machine before each case. Plain Win32 throughout,
// so that none of the launcher's own code stands between test and check.
#include "platform/win32.h"
// after windows.h
#include <knownfolders.h>
#include <shlobj.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <map>
#include <sstream>

namespace {

bool fileExists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string readFile(const std::string& path) {  // empty when missing
    std::ostringstream bytes;
    bytes << std::ifstream(path, std::ios::binary).rdbuf();
    return bytes.str();
}

void writeFile(const std::string& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }

void createFolders(const std::string& path) { SHCreateDirectoryExA(nullptr, path.c_str(), nullptr); }

void emptyFolder(const std::string& folder) {  // the files directly inside it
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) DeleteFileA((folder + "\\" + found.cFileName).c_str());
    } while (FindNextFileA(search, &found));
    FindClose(search);
}

std::string localLowFolder() {
    PWSTR wide = nullptr;
    char narrow[MAX_PATH * 2] = {};
    if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_LocalAppDataLow, 0, nullptr, &wide)))
        WideCharToMultiByte(CP_ACP, 0, wide, -1, narrow, sizeof narrow, nullptr, nullptr);
    CoTaskMemFree(wide);
    return narrow;
}

std::string commonAppDataFolder() {
    char folder[MAX_PATH] = {};
    SHGetFolderPathA(nullptr, CSIDL_COMMON_APPDATA, nullptr, SHGFP_TYPE_CURRENT, folder);
    return folder;
}

std::string systemFolder() {
    char folder[MAX_PATH] = {};
    GetSystemDirectoryA(folder, MAX_PATH);
    return folder;
}

bool equalsIgnoreCase(const std::string& a, const std::string& b) { return lstrcmpiA(a.c_str(), b.c_str()) == 0; }

// HKLM keys in the process's default view (0) or KEY_WOW64_32KEY / KEY_WOW64_64KEY; null when absent.
HKEY openKey(const std::string& path, REGSAM access, REGSAM view, bool create = false) {
    HKEY key = nullptr;
    const LSTATUS status =
        create ? RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, access | view, nullptr, &key, nullptr)
               : RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, access | view, &key);
    return status == ERROR_SUCCESS ? key : nullptr;
}

bool readString(const std::string& path, const std::string& name, std::string& out, REGSAM view = 0) {
    HKEY key = openKey(path, KEY_READ, view);
    char buffer[4096] = {};
    DWORD type = 0, size = sizeof buffer - 1;
    const bool read = key && RegQueryValueExA(key, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size) ==
                                 ERROR_SUCCESS && (type == REG_SZ || type == REG_EXPAND_SZ);
    if (key) RegCloseKey(key);
    if (read) out = buffer;
    return read;
}

bool keyExists(const std::string& path, REGSAM view = 0) {
    HKEY key = openKey(path, KEY_READ, view);
    if (key) RegCloseKey(key);
    return key != nullptr;
}

bool setString(const std::string& path, const std::string& name, const std::string& value) {
    HKEY key = openKey(path, KEY_READ | KEY_WRITE, 0, true);
    const bool set = key && RegSetValueExA(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                           static_cast<DWORD>(value.size() + 1)) == ERROR_SUCCESS;
    if (key) RegCloseKey(key);
    return set;
}

void deleteValue(const std::string& path, const std::string& name) {
    if (HKEY key = openKey(path, KEY_READ | KEY_WRITE, 0)) {
        RegDeleteValueA(key, name.c_str());
        RegCloseKey(key);
    }
}

// Environment variables of this process, which started programs inherit; put back on destruction.
class ScopedEnvironment {
public:
    ~ScopedEnvironment() {
        for (auto it = saved.rbegin(); it != saved.rend(); ++it)
            SetEnvironmentVariableA(it->first.c_str(), it->second.empty() ? nullptr : it->second.c_str() + 1);
    }
    void set(const std::string& name, const std::string& value) {
        std::vector<char> buffer(32768);
        const DWORD length = GetEnvironmentVariableA(name.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()));
        saved.emplace_back(name, length > 0 ? "=" + std::string(buffer.data(), length) : "");  // "": did not exist
        SetEnvironmentVariableA(name.c_str(), value.c_str());
    }

private:
    std::vector<std::pair<std::string, std::string>> saved;
};

// A program this test started, ended by the destructor if it still runs.
class Process {
public:
    Process() = default;
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;
    ~Process() {
        if (running()) TerminateProcess(info.hProcess, 1);
        if (info.hProcess) CloseHandle(info.hProcess);
        if (info.hThread) CloseHandle(info.hThread);
    }
    // Starts "<program>" <arguments>; false (with the system error in error) when it cannot.
    bool start(const std::string& program, const std::string& arguments, DWORD& error) {
        std::string commandLine = "\"" + program + "\"" + (arguments.empty() ? "" : " " + arguments);
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        if (CreateProcessA(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info))
            return true;
        error = GetLastError();
        info = PROCESS_INFORMATION{};
        return false;
    }
    bool running() const { return info.hProcess && WaitForSingleObject(info.hProcess, 0) == WAIT_TIMEOUT; }
    // The full 32-bit exit code in signed form; false when still running after timeoutMs.
    bool wait(DWORD timeoutMs, long& exitCode) {
        if (!info.hProcess || WaitForSingleObject(info.hProcess, timeoutMs) != WAIT_OBJECT_0) return false;
        DWORD code = 0;
        GetExitCodeProcess(info.hProcess, &code);
        exitCode = static_cast<long>(static_cast<LONG>(code));
        return true;
    }

private:
    PROCESS_INFORMATION info{};
};

// The msiexec.exe stand-in records each call as "name: value" lines ("command", "package", "event",
// "archives", "install-status", "result"), calls separated by an empty line.
using RecordedCall = std::map<std::string, std::string>;

std::string field(const RecordedCall& call, const std::string& name) {
    const auto found = call.find(name);
    return found == call.end() ? std::string("<none>") : found->second;
}

std::vector<RecordedCall> parseRecord(const std::string& text) {
    std::vector<RecordedCall> calls(1);
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const size_t colon = line.find(": ");
        if (line.empty() && !calls.back().empty()) calls.emplace_back();
        else if (colon != std::string::npos) calls.back()[line.substr(0, colon)] = line.substr(colon + 2);
    }
    if (calls.back().empty()) calls.pop_back();
    return calls;
}

// The launcher's log as "<LEVEL>: <message>" entries: each is a "[YYYY/..." header line followed by
// "\t<LEVEL>: <message>" and the message's further lines.
std::vector<std::string> parseLog(const std::string& text) {
    std::vector<std::string> entries;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.size() > 6 && line[0] == '[' && line[5] == '/') entries.emplace_back();
        else if (!entries.empty()) entries.back() += entries.back().empty() ? line.substr(line[0] == '\t') : "\n" + line;
    }
    for (std::string& entry : entries) entry.erase(entry.find_last_not_of("\n ") + 1);
    return entries;
}

#ifdef _WIN64
constexpr REGSAM kLauncherView = KEY_WOW64_64KEY;
constexpr REGSAM kOtherView = KEY_WOW64_32KEY;
const char kWorkFolderName[] = "forge3.1.0_27_x64";
const char kOtherWorkFolderName[] = "forge3.1.0_27";
#else
constexpr REGSAM kLauncherView = KEY_WOW64_32KEY;
constexpr REGSAM kOtherView = KEY_WOW64_64KEY;
const char kWorkFolderName[] = "forge3.1.0_27";
const char kOtherWorkFolderName[] = "forge3.1.0_27_x64";
#endif

const char kKitKey[] = "SOFTWARE\\Velmora\\Mako Development Kit\\3.1.0_27";
const char kRuntimeKey[] = "SOFTWARE\\Velmora\\Mako Runtime Environment\\3.1.0_27";
const char kUninstallKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" E2E_KIT_PRODUCT_CODE;
const char kInstallerKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer";
const char kVelmoraKey[] = "Software\\Velmora";
const char* const kPayloadFiles[] = {"forge3.1.0_27.msi", "ss310270.cab", "st310270.cab", "sj310270.cab",
                                     "sz310270.cab"};
constexpr DWORD kLauncherTimeoutMs = 300000;

std::string workFolder(const char* name) { return localLowFolder() + "\\Halden\\Mako\\" + name; }
std::string markerPath() { return localLowFolder() + "\\Halden\\Mako\\MAKO_INSTALL_FLAG"; }
std::string runtimeSettingsFolder() { return commonAppDataFolder() + "\\Brennic\\Mako"; }
std::string runtimeSettingsFile() { return runtimeSettingsFolder() + "\\mako.settings.cfg"; }
std::string realMsiexec() { return systemFolder() + "\\msiexec.exe"; }

bool kitRegistered() { return keyExists(kKitKey, kLauncherView) || keyExists(kUninstallKey, kLauncherView); }

// What one launcher run left behind.
struct LauncherRun {
    long exitCode = 0;
    std::string log;
    std::vector<std::string> entries;
    std::vector<RecordedCall> installerCalls;
    std::string loomRecord;

    std::string lastMessage() const {
        return entries.empty() ? "<empty log>" : entries.back().substr(entries.back().find(": ") + 2);
    }
    bool logged(const std::string& level, const std::string& text) const {
        for (const std::string& entry : entries)
            if (entry.rfind(level + ": ", 0) == 0 && entry.find(text) != std::string::npos) return true;
        return false;
    }
};

using Environment = std::vector<std::pair<std::string, std::string>>;

class LauncherE2E : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        savedSettings.existed = fileExists(runtimeSettingsFile());
        savedSettings.bytes = readFile(runtimeSettingsFile());
        savedInstallerLocation.existed = readString(kInstallerKey, "InstallerLocation", savedInstallerLocation.bytes);
        // A run that died before restoring it left the stand-in's folder there.
        if (equalsIgnoreCase(savedInstallerLocation.bytes, E2E_RECORDER_DIR))
            savedInstallerLocation.bytes = systemFolder();
    }

    static void TearDownTestSuite() {
        uninstallKit();
        restoreInstallerLocation();
        if (savedSettings.existed) {
            writeFile(runtimeSettingsFile(), savedSettings.bytes);
        } else {
            DeleteFileA(runtimeSettingsFile().c_str());
        }
    }

    void SetUp() override {
        ASSERT_TRUE(fileExists(E2E_SETUP_EXE)) << E2E_SETUP_EXE;
        resetMachine();
    }

    void TearDown() override {
        restoreInstallerLocation();
        deleteValue(kVelmoraKey, "InstallStatus");
    }

    static void uninstallKit() {
        Process uninstall;
        DWORD error = 0;
        long code = 0;
        if (kitRegistered() && uninstall.start(realMsiexec(), "/x " E2E_KIT_PRODUCT_CODE " /qn", error))
            uninstall.wait(kLauncherTimeoutMs, code);
        // Left by loom.exe, outside the package; it has a subkey, so the tree goes first.
        if (HKEY runtime = openKey(kRuntimeKey, KEY_ALL_ACCESS, kLauncherView)) {
            RegDeleteTreeA(runtime, nullptr);
            RegCloseKey(runtime);
        }
        RegDeleteKeyExA(HKEY_LOCAL_MACHINE, kRuntimeKey, kLauncherView, 0);
    }

    static void restoreInstallerLocation() {
        if (savedInstallerLocation.existed) {
            setString(kInstallerKey, "InstallerLocation", savedInstallerLocation.bytes);
        } else {
            deleteValue(kInstallerKey, "InstallerLocation");
        }
    }

    // The state every case and every row of a table starts from; the launcher then finds the
    // recording msiexec.exe.
    void resetMachine() {
        uninstallKit();
        ASSERT_FALSE(kitRegistered()) << "the kit could not be removed before the case";
        ASSERT_FALSE(keyExists(kRuntimeKey, kLauncherView)) << "the runtime key could not be removed before the case";
        DeleteFileA(runtimeSettingsFile().c_str());
        deleteValue(kVelmoraKey, "InstallStatus");
        DeleteFileA(markerPath().c_str());
        for (const char* folder : {kWorkFolderName, kOtherWorkFolderName}) emptyFolder(workFolder(folder));
        ASSERT_TRUE(setString(kInstallerKey, "InstallerLocation", E2E_RECORDER_DIR));
    }

    // A fresh folder for the next launcher run: <temp>\mako-e2e\<case>-<n>\.
    std::string nextRunFolder() {
        char temp[MAX_PATH + 1] = {};
        GetTempPathA(sizeof temp, temp);
        const std::string folder = std::string(temp) + "mako-e2e\\" +
                                   ::testing::UnitTest::GetInstance()->current_test_info()->name() + "-" +
                                   std::to_string(++runs);
        createFolders(folder);
        emptyFolder(folder);
        return folder + "\\";
    }

    // Starts the launcher with TEMP pointing at folder; the variables in env reach it and, through
    // it, the msiexec.exe stand-in.
    void start(Process& process, const std::string& program, const std::string& arguments, const std::string& folder,
               const Environment& env = {}) {
        ScopedEnvironment scoped;
        scoped.set("TEMP", folder.substr(0, folder.size() - 1));
        scoped.set("TMP", folder.substr(0, folder.size() - 1));
        scoped.set("MAKO_TEST_RECORD", folder + "msiexec-calls.txt");
        scoped.set("MAKO_LOOM_RECORD", folder + "loom-calls.txt");
        for (const auto& variable : env) scoped.set(variable.first, variable.second);
        DWORD error = 0;
        EXPECT_TRUE(process.start(program, arguments, error)) << program << ": system error " << error;
    }

    LauncherRun finish(Process& process, const std::string& folder) {
        LauncherRun run;
        EXPECT_TRUE(process.wait(kLauncherTimeoutMs, run.exitCode)) << "the launcher did not end in time";
        run.log = readFile(folder + "musched.log");
        run.entries = parseLog(run.log);
        run.installerCalls = parseRecord(readFile(folder + "msiexec-calls.txt"));
        run.loomRecord = readFile(folder + "loom-calls.txt");
        return run;
    }

    LauncherRun runLauncher(const std::string& arguments, const Environment& env = {},
                            const std::string& program = E2E_SETUP_EXE) {
        const std::string folder = nextRunFolder();
        Process process;
        start(process, program, arguments, folder, env);
        return finish(process, folder);
    }

    struct Saved {
        bool existed;
        std::string bytes;
    };
    static inline Saved savedSettings, savedInstallerLocation;  // zero-initialized
    int runs = 0;
};

}  // namespace
