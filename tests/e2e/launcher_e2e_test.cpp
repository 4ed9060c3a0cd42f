// The built launcher end to end under Wine: the real msiexec.exe installs the stand-in package,
// reached through the recording msiexec.exe that each case names in InstallerLocation. Every case
// starts from a machine without the kit, the runtime settings file, a reinstall request or a
// marker, and gets a temporary folder of its own (TEMP of the launcher: its log, the records).
// Plain Win32 throughout, so that none of the launcher's own code stands between test and check.
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

using ::testing::HasSubstr;
using ::testing::Not;

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
        RegDeleteKeyExA(HKEY_LOCAL_MACHINE, kRuntimeKey, kLauncherView, 0);  // left by loom.exe, outside the package
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

// The kit of this bitness is installed from the work folder (after a run that returned 0).
void expectKitInstalled() {
    std::string makoHome, buildNumber;
    ASSERT_TRUE(readString(kKitKey, "MakoHome", makoHome, kLauncherView)) << "kit key missing in the launcher's view";
    EXPECT_TRUE(readString(kKitKey, "BuildNumber", buildNumber, kLauncherView));
    EXPECT_EQ("9", buildNumber);
    EXPECT_TRUE(keyExists(kUninstallKey, kLauncherView)) << "product code not registered: " << kUninstallKey;
    EXPECT_FALSE(keyExists(kKitKey, kOtherView)) << "kit key in the other registry view";
    if (!makoHome.empty() && makoHome.back() != '\\') makoHome += '\\';
    for (const char* file : {"README.txt", "src.dat", "lib\\tools.dat", "bin\\forge.dat"})
        EXPECT_TRUE(fileExists(makoHome + file)) << makoHome << file;
}

// The single installer call ran after the archives were complete and the event was set.
void expectOneInstallCall(const LauncherRun& run, const std::string& result) {
    ASSERT_EQ(1u, run.installerCalls.size()) << run.log;
    const RecordedCall& call = run.installerCalls[0];
    EXPECT_EQ("signalled", field(call, "event"));
    EXPECT_EQ("complete", field(call, "archives"));
    EXPECT_EQ(result, field(call, "result"));
    EXPECT_TRUE(equalsIgnoreCase(workFolder(kWorkFolderName) + "\\forge3.1.0_27.msi", field(call, "package")))
        << field(call, "package");
}

TEST_F(LauncherE2E, SilentInstallInstallsKitFromExtractedPayload) {
    const LauncherRun run = runLauncher("/s");
    EXPECT_EQ(0, run.exitCode);

    expectOneInstallCall(run, "0");
    if (!run.installerCalls.empty()) {
        const std::string command = field(run.installerCalls[0], "command");
        EXPECT_THAT(command, HasSubstr(" /qn ADDLOCAL=PublicloomFeature,ToolsFeature WRAPPER=1"));
        EXPECT_THAT(command, Not(HasSubstr("TRANSFORMS=")));
    }
    expectKitInstalled();

    // The payload as carried, in this bitness's work folder only.
    for (const char* name : kPayloadFiles) {
        const std::string extracted = readFile(workFolder(kWorkFolderName) + "\\" + name);
        const std::string carried = readFile(std::string(E2E_PAYLOAD_DIR) + "\\" + name);
        EXPECT_FALSE(carried.empty()) << name;
        EXPECT_TRUE(extracted == carried) << name << ": " << extracted.size() << " bytes, carried " << carried.size();
        EXPECT_FALSE(fileExists(workFolder(kOtherWorkFolderName) + "\\" + name)) << kOtherWorkFolderName << name;
    }

    // The public runtime ran silently from the kit's folder and was deleted afterwards.
    EXPECT_THAT(run.loomRecord, HasSubstr("loom.exe\" /s LAUNCHEDFROMFORGE=1"));
    std::string makoHome;
    readString(kKitKey, "MakoHome", makoHome, kLauncherView);
    EXPECT_FALSE(makoHome.empty() || fileExists(makoHome + "\\loom.exe")) << makoHome;

    EXPECT_EQ("Wrapper exit code: 0", run.lastMessage()) << run.log;
}

// Runs that end before any installer is started.
TEST_F(LauncherE2E, ExitCodesWithoutInstallerRun) {
    struct Row {
        const char* what;
        std::function<std::string(const std::string& folder)> arguments;  // prepares what the row needs
        const char* program;
        long expected;
        std::vector<std::pair<const char*, std::string>> logged;  // level and part of an entry's message
        const char* lastMessage;                                   // nullptr: no "Wrapper exit code" line
    };
    const std::string longFolder = "C:\\Kits\\" + std::string(241, 'd');  // 249 bytes: within the 260-byte limit of a configured folder
    const std::vector<Row> rows = {
        {"faulty install configuration file",
         [](const std::string& folder) {
             writeFile(folder + "faulty.cfg", "# install configuration\nINSTALL_SILENT=Enable\nno separator here\n");
             return "/s INSTALLCFG=" + folder + "faulty.cfg";
         },
         E2E_SETUP_EXE, -80,
         {{"ERROR", "faulty.cfg is malformed in line 3.\nCheck data and formatting of the file."},
          {"INFO", "Error occurred while loading configuration settings. Exiting installer."}},
         nullptr},
        {"installer location unreadable",
         [](const std::string&) {
             deleteValue(kInstallerKey, "InstallerLocation");
             return std::string("/s");
         },
         E2E_SETUP_EXE, -3, {}, nullptr},
        // FILLER=<2100 x> plus a space, " /qn" and the default ADDLOCAL: 2152 characters.
        {"installer arguments too long for their buffer",
         [](const std::string&) { return "/s MSI_CMDLINE=FILLER=" + std::string(2100, 'x'); }, E2E_SETUP_EXE, 1639,
         {{"ERROR", "The installer command was not run: installerArguments would be 2152 characters long; at most 2047 fit"}},
         "Wrapper exit code: 1639"},
        {"install folder pushes the command past its buffer",
         [&](const std::string&) { return "/s MSI_CMDLINE=FILLER=" + std::string(1700, 'x') + " INSTALLDIR=" + longFolder; },
         E2E_SETUP_EXE, 1639, {{"ERROR", "The installer command was not run: finalCommand would be "}},
         "Wrapper exit code: 1639"},
        {"package resource 101 missing", [](const std::string&) { return std::string("/s"); }, E2E_SETUP_NOKIT_EXE, 1,
         {}, "Wrapper exit code: 1"},
        // A file where the runtime settings folder belongs: the export fails before any installer runs.
        {"runtime settings file cannot be written",
         [](const std::string&) {
             emptyFolder(runtimeSettingsFolder());
             RemoveDirectoryA(runtimeSettingsFolder().c_str());
             writeFile(runtimeSettingsFolder(), "not a folder");
             const DWORD attributes = GetFileAttributesA(runtimeSettingsFolder().c_str());
             EXPECT_TRUE(attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY))
                 << "the settings folder could not be replaced by a file";
             return std::string("/s AUTO_UPDATE=Disable");
         },
         E2E_SETUP_EXE, -80,
         {{"ERROR", "Fails on writing to the runtime config file."},
          {"INFO", "Error occurred while exporting configuration settings. Exiting installer."}},
         nullptr},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        resetMachine();
        const std::string folder = nextRunFolder();
        Process process;
        start(process, row.program, row.arguments(folder), folder);
        const LauncherRun run = finish(process, folder);
        EXPECT_EQ(row.expected, run.exitCode);
        EXPECT_TRUE(run.installerCalls.empty()) << run.installerCalls.size() << " installer calls";
        for (const auto& line : row.logged)
            EXPECT_TRUE(run.logged(line.first, line.second)) << "not logged: " << line.second << "\n" << run.log;
        if (row.lastMessage) {
            EXPECT_EQ(row.lastMessage, run.lastMessage()) << run.log;
        } else {
            EXPECT_THAT(run.log, Not(HasSubstr("Wrapper exit code"))) << run.log;
        }
        restoreInstallerLocation();
        if (!(GetFileAttributesA(runtimeSettingsFolder().c_str()) & FILE_ATTRIBUTE_DIRECTORY)) {
            DeleteFileA(runtimeSettingsFolder().c_str());
        }
    }
}

// The installer's own result is the exit code; a failed install puts the runtime settings file back.
TEST_F(LauncherE2E, InstallerResultIsExitCodeAndFailureRestoresRuntimeSettings) {
    for (const std::string result : {"1603", "3010", "0"}) {
        SCOPED_TRACE("installer result " + result);
        resetMachine();
        createFolders(commonAppDataFolder() + "\\Brennic\\Mako");
        writeFile(runtimeSettingsFile(), "AUTO_UPDATE=Disable\n");
        const LauncherRun run = runLauncher("AUTO_UPDATE=Enable /s", {{"MAKO_TEST_MSIEXEC_RESULT", result}});
        EXPECT_EQ(std::stol(result), run.exitCode);
        expectOneInstallCall(run, result);
        const bool restored = result != "0";
        const std::string settings = readFile(runtimeSettingsFile());
        EXPECT_THAT(settings, HasSubstr(restored ? "AUTO_UPDATE=Disable" : "AUTO_UPDATE=Enable"));
        EXPECT_THAT(settings, Not(HasSubstr(restored ? "AUTO_UPDATE=Enable" : "AUTO_UPDATE=Disable")));
        EXPECT_EQ("Wrapper exit code: " + result, run.lastMessage());
    }
}

// A "reinstall" request left by the package's run gets exactly one identical rerun.
TEST_F(LauncherE2E, ReinstallRequestRerunsOnce) {
    for (const std::string request : {"once", "always"}) {  // how often the stand-in leaves the request
        SCOPED_TRACE("MAKO_TEST_REINSTALL=" + request);
        resetMachine();
        const LauncherRun run = runLauncher("/s", {{"MAKO_TEST_REINSTALL", request}, {"MAKO_TEST_MSIEXEC_RESULT", "0"}});
        EXPECT_EQ(0, run.exitCode);
        ASSERT_EQ(2u, run.installerCalls.size()) << run.log;
        EXPECT_EQ(field(run.installerCalls[0], "command"), field(run.installerCalls[1], "command"));
        std::string status = "<none>";
        readString(kVelmoraKey, "InstallStatus", status);
        EXPECT_EQ(request == "always" ? "reinstall" : "<none>", status);
    }
}

// A second launcher started while the first sits inside the installer is refused with -1; the
// first then ends normally.
TEST_F(LauncherE2E, SecondLauncherIsRefusedWhileFirstHoldsMarker) {
    const std::string firstFolder = nextRunFolder();
    const std::string release = firstFolder + "release";
    Process first;
    start(first, E2E_SETUP_EXE, "/s", firstFolder,
          {{"MAKO_TEST_PAUSE_UNTIL", release}, {"MAKO_TEST_MSIEXEC_RESULT", "0"}});

    // The event is set once the archives are written, right before or while the installer runs.
    bool inside = false;
    for (int waited = 0; waited < 120000 && !inside && first.running(); waited += 100) {
        if (HANDLE event = OpenEventA(SYNCHRONIZE, FALSE, "HaldenForgeCabExtractWaitEvent")) {
            inside = WaitForSingleObject(event, 0) == WAIT_OBJECT_0;
            CloseHandle(event);
        }
        if (!inside) Sleep(100);
    }
    ASSERT_TRUE(inside) << "the first launcher did not reach the installer";

    const LauncherRun second = runLauncher("/s");
    EXPECT_EQ(-1, second.exitCode);
    EXPECT_TRUE(second.logged("INFO", "Forge wrapper: Another Mako installation is in progress.")) << second.log;
    EXPECT_TRUE(second.installerCalls.empty());
    EXPECT_TRUE(first.running()) << "the first launcher ended before the second was checked";

    writeFile(release, "");
    const LauncherRun firstRun = finish(first, firstFolder);
    EXPECT_EQ(0, firstRun.exitCode);
    EXPECT_EQ(1u, firstRun.installerCalls.size());
    EXPECT_FALSE(fileExists(markerPath())) << "the marker outlived its holder";
}

void expectJapaneseInstall(const LauncherRun& run) {
    EXPECT_EQ(0, run.exitCode);
    expectOneInstallCall(run, "0");
    if (!run.installerCalls.empty()) {
        EXPECT_THAT(field(run.installerCalls[0], "command"), HasSubstr("forge3.1.0_27.msi\" TRANSFORMS=:1041 "));
    }
    expectKitInstalled();
    EXPECT_EQ("Wrapper exit code: 0", run.lastMessage());
}

TEST_F(LauncherE2E, LanguageSwitchSelectsTransformAndStillInstalls) { expectJapaneseInstall(runLauncher("/lang=1041 /s")); }

// Run as its own CTest test with LC_ALL=ja_JP.UTF-8.
TEST_F(LauncherE2E, JapaneseUiLanguageSelectsTransformWithoutSwitch) {
    ASSERT_EQ(1041, LANGIDFROMLCID(GetUserDefaultUILanguage()))
        << "LC_ALL=ja_JP.UTF-8 did not give a Japanese user interface: is the ja_JP.UTF-8 locale generated?";
    expectJapaneseInstall(runLauncher("/s"));
}

}  // namespace
