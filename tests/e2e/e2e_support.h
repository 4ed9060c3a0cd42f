#pragma once
// Support of the end-to-end tests: the built launcher under Wine, the real msiexec.exe installing
// the stand-in package, reached through the recording msiexec.exe that each case names in
// InstallerLocation. Every case starts from a machine without the kit or the public runtime of this
// version, the runtime settings file, a reinstall request or a marker, and gets a temporary folder of
// its own (TEMP of the launcher: its log, the records). Plain Win32 throughout, so that none of the
// launcher's own code stands between test and check.
//
// The names the launcher shares with the world outside it are written here again on purpose, not
// taken from the build's product_facts.h, so that a changed value fails the tests instead of moving
// with them: the archive event the kit's package waits on, the version's registry keys, work
// folders, package and archive names, and (in the test files) the agent's version and product code.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <optional>

#include "platform/win_test_support.h"

namespace e2e {

using namespace wintest;
using ::testing::EndsWith, ::testing::HasSubstr, ::testing::IsEmpty, ::testing::Not;

inline std::string localLowFolder() { return knownFolder(FOLDERID_LocalAppDataLow); }

inline bool equalsIgnoreCase(const std::string& a, const std::string& b) { return lstrcmpiA(a.c_str(), b.c_str()) == 0; }

// Polls condition for up to two minutes, while process runs if one is given; its last answer.
inline bool waitFor(const std::function<bool()>& condition, const Process* process = nullptr) {
    for (int waited = 0; waited < 120000 && !condition(); waited += 20, Sleep(20))
        if (process && !process->running()) break;
    return condition();
}

// Whether the launcher's archive event exists and is set, as the package's action would find it.
inline bool archivesReady() {
    const Handle event(OpenEventA(SYNCHRONIZE, FALSE, "HaldenForgeCabExtractWaitEvent"));
    return event && WaitForSingleObject(event.get(), 0) == WAIT_OBJECT_0;
}

// The launcher under test has this test's bitness.
constexpr bool k64 = sizeof(void*) == 8;
constexpr REGSAM kLauncherView = k64 ? KEY_WOW64_64KEY : KEY_WOW64_32KEY;
const char* const kWorkFolderName = k64 ? "forge3.1.0_27_x64" : "forge3.1.0_27";
const char* const kOtherWorkFolderName = k64 ? "forge3.1.0_27" : "forge3.1.0_27_x64";

const char kKitKey[] = "SOFTWARE\\Velmora\\Mako Development Kit\\3.1.0_27";
const char kRuntimeKey[] = "SOFTWARE\\Velmora\\Mako Runtime Environment\\3.1.0_27";
const char kUninstallKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" E2E_KIT_PRODUCT_CODE;
const char kRuntimeUninstallKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" E2E_RUNTIME_PRODUCT_CODE;
const char kInstallerKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer";
const char kVelmoraKey[] = "Software\\Velmora";
const char* const kPayloadFiles[] = {"forge3.1.0_27.msi", "ss310270.cab", "st310270.cab", "sj310270.cab", "sz310270.cab"};
constexpr DWORD kLauncherTimeoutMs = 300000;

inline std::string workFolder(const char* name) { return localLowFolder() + "\\Halden\\Mako\\" + name; }
inline std::string markerPath() { return localLowFolder() + "\\Halden\\Mako\\MAKO_INSTALL_FLAG"; }

// Runs the real msiexec.exe with arguments; its exit code, -1 when it did not end.
inline long msiexec(const std::string& arguments) { return run(systemFolder() + "\\msiexec.exe", arguments, kLauncherTimeoutMs); }

// Installs a stand-in package quietly with the real installer; its exit code.
inline long installPackage(const std::string& package, const std::string& properties = "") {
    return msiexec("/i \"" + package + "\" /qn " + properties);
}

inline bool kitRegistered() { return keyExists(kKitKey, kLauncherView) || keyExists(kUninstallKey, kLauncherView); }
inline bool runtimeRegistered() { return keyExists(kRuntimeKey, kLauncherView) || keyExists(kRuntimeUninstallKey, kLauncherView); }

// The runtime settings file as a case prepares it.
inline void writeSettings(const std::string& bytes) {
    createFolders(runtimeSettingsFolder());
    writeFile(runtimeSettingsFile(), bytes);
}

// What one launcher run left behind.
struct LauncherRun {
    long exitCode = 0;
    std::string log;  // without carriage returns
    std::vector<std::string> entries;
    std::vector<RecordedCall> installerCalls;
    std::string loomRecord, mauregRecord;  // of the public runtime's installer, the registration program

    std::string lastMessage() const { return entries.empty() ? "<empty log>" : entries.back().substr(entries.back().find(": ") + 2); }
    // Whether an entry holds text ("<LEVEL>: <message>" or part of it).
    bool logged(const std::string& text) const {
        return std::any_of(entries.begin(), entries.end(), [&](const std::string& e) { return e.find(text) != std::string::npos; });
    }
};

using Environment = std::vector<std::pair<std::string, std::string>>;

class LauncherE2E : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (fileExists(runtimeSettingsFile())) savedSettings = readFile(runtimeSettingsFile());
        std::string location;
        if (readString(kInstallerKey, "InstallerLocation", location)) savedInstallerLocation = location;
        // A run that died before restoring it left the stand-in's folder there.
        if (equalsIgnoreCase(location, E2E_RECORDER_DIR)) savedInstallerLocation = systemFolder();
    }

    static void TearDownTestSuite() {
        uninstallKit();
        restoreInstallerLocation();
        if (savedSettings) writeFile(runtimeSettingsFile(), *savedSettings);
        else DeleteFileA(runtimeSettingsFile().c_str());
    }

    void SetUp() override {
        ASSERT_TRUE(fileExists(E2E_SETUP_EXE)) << E2E_SETUP_EXE;
        resetMachine();
    }

    void TearDown() override {
        restoreInstallerLocation();
        deleteValue(kVelmoraKey, "InstallStatus");
    }

    // Removes the kit and the public runtime (loom.exe installs it) with the real installer, and
    // what a case wrote by hand in their keys.
    static void uninstallKit() {
        if (kitRegistered()) msiexec(std::string("/x ") + E2E_KIT_PRODUCT_CODE + " /qn");
        if (runtimeRegistered()) msiexec(std::string("/x ") + E2E_RUNTIME_PRODUCT_CODE + " /qn");
        for (const char* key : {kKitKey, kRuntimeKey}) deleteTree(key, kLauncherView);
    }

    static void restoreInstallerLocation() {
        if (savedInstallerLocation) setString(kInstallerKey, "InstallerLocation", *savedInstallerLocation);
        else deleteValue(kInstallerKey, "InstallerLocation");
    }

    // The state every case and every row of a table starts from; the launcher then finds the
    // recording msiexec.exe.
    void resetMachine() {
        uninstallKit();
        ASSERT_FALSE(kitRegistered() || runtimeRegistered()) << "the kit or runtime could not be removed before the case";
        DeleteFileA(runtimeSettingsFile().c_str());
        deleteValue(kVelmoraKey, "InstallStatus");
        DeleteFileA(markerPath().c_str());
        for (const char* folder : {kWorkFolderName, kOtherWorkFolderName}) emptyFolder(workFolder(folder));
        ASSERT_TRUE(setString(kInstallerKey, "InstallerLocation", E2E_RECORDER_DIR));
    }

    // A fresh folder for the next launcher run: <temp>\mako-e2e\<case>-<n>\.
    std::string nextRunFolder() {
        const std::string folder = tempFolder() + "mako-e2e\\" + ::testing::UnitTest::GetInstance()->current_test_info()->name() +
                                   "-" + std::to_string(++runs);
        createFolders(folder);
        emptyFolder(folder);
        return folder + "\\";
    }

    // Starts the launcher with TEMP pointing at folder; the variables in env reach it and, through
    // it, the msiexec.exe stand-in. This process's own variables are put back afterwards.
    void start(Process& process, const std::string& program, const std::string& arguments, const std::string& folder,
               const Environment& env = {}) {
        const std::string temp = folder.substr(0, folder.size() - 1);
        Environment set = {{"TEMP", temp}, {"TMP", temp}, {"MAKO_TEST_RECORD", folder + "msiexec-calls.txt"},
                           {"MAKO_LOOM_RECORD", folder + "loom-calls.txt"}, {"MAKO_MAUREG_RECORD", folder + "maureg-calls.txt"},
                           {"MAKO_TEST_KIT_RECORD", folder + "kit-record.txt"},
                           // A stuck installer fails the case within a minute, not after the shipped
                           // ten-minute wait of the package or the recorder's own two minutes.
                           {"MAKO_TEST_EVENT_WAIT_MS", "30000"}, {"MAKO_TEST_INSTALLER_WAIT_MS", "60000"}};
        set.insert(set.end(), env.begin(), env.end());
        std::vector<std::pair<std::string, std::optional<std::string>>> saved;
        for (const auto& [name, value] : set) {
            std::vector<char> old(32768);
            const DWORD length = GetEnvironmentVariableA(name.c_str(), old.data(), static_cast<DWORD>(old.size()));
            saved.emplace_back(name, length ? std::optional<std::string>(old.data()) : std::nullopt);
            SetEnvironmentVariableA(name.c_str(), value.c_str());
        }
        EXPECT_TRUE(process.start(program, arguments)) << program << ": system error " << process.error;
        for (auto it = saved.rbegin(); it != saved.rend(); ++it)
            SetEnvironmentVariableA(it->first.c_str(), it->second ? it->second->c_str() : nullptr);
    }

    LauncherRun finish(Process& process, const std::string& folder) {
        LauncherRun run;
        EXPECT_TRUE(process.wait(kLauncherTimeoutMs, run.exitCode))
            << "the launcher did not end in time; archive event set: " << archivesReady() << "; the kit's record: "
            << (fileExists(folder + "kit-record.txt") ? readFile(folder + "kit-record.txt") : "none (its action never ran)");
        run.log = readFile(folder + "musched.log");
        run.log.erase(std::remove(run.log.begin(), run.log.end(), '\r'), run.log.end());
        // "<LEVEL>: <message>" entries: each is a "[YYYY/..." header line followed by "\t<LEVEL>: <message>"
        // and the message's further lines.
        std::istringstream lines(run.log);
        for (std::string line; std::getline(lines, line);) {
            if (line.size() > 6 && line[0] == '[' && line[5] == '/') run.entries.emplace_back();
            else if (!run.entries.empty())
                run.entries.back() += run.entries.back().empty() ? line.substr(line[0] == '\t') : "\n" + line;
        }
        for (std::string& entry : run.entries) entry.erase(entry.find_last_not_of("\n ") + 1);
        run.installerCalls = parseRecord(readFile(folder + "msiexec-calls.txt"));
        run.loomRecord = readFile(folder + "loom-calls.txt");
        run.mauregRecord = readFile(folder + "maureg-calls.txt");
        return run;
    }

    // folder: the run folder the caller made for it (nextRunFolder), empty for a new one.
    LauncherRun runLauncher(const std::string& arguments, const Environment& env = {},
                            const std::string& program = E2E_SETUP_EXE, std::string folder = "") {
        if (folder.empty()) folder = nextRunFolder();
        Process process;
        start(process, program, arguments, folder, env);
        return finish(process, folder);
    }

    static inline std::optional<std::string> savedSettings, savedInstallerLocation;
    int runs = 0;
};

// Points the user's LocalAppDataLow (the user shell folder value) at folder, a UTF-8 name made here,
// for launchers started from now on, as another account's or a redirected profile would; puts the
// value back when it ends.
class LocalLowRedirect {
public:
    explicit LocalLowRedirect(const std::string& folder) {
        wchar_t value[MAX_PATH * 2] = {};
        DWORD size = sizeof value;
        if (!RegGetValueW(HKEY_CURRENT_USER, kKey, kValue, RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND, nullptr, value, &size))
            saved = value;
        SHCreateDirectoryExW(nullptr, utf16(folder).c_str(), nullptr);
        applied = set(utf16(folder));
    }
    ~LocalLowRedirect() {
        if (saved) set(*saved);
        else RegDeleteKeyValueW(HKEY_CURRENT_USER, kKey, kValue);
    }
    LocalLowRedirect(const LocalLowRedirect&) = delete;
    LocalLowRedirect& operator=(const LocalLowRedirect&) = delete;
    bool applied = false;

private:
    static constexpr const wchar_t* kKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
    static constexpr const wchar_t* kValue = L"{A520A1A4-1780-4FF6-BD18-167343C5AF16}";  // LocalAppDataLow
    static bool set(const std::wstring& value) {
        return !RegSetKeyValueW(HKEY_CURRENT_USER, kKey, kValue, REG_EXPAND_SZ, value.c_str(),
                                static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    }
    std::optional<std::wstring> saved;
};

// Runs a shell command to its end. Wine starts Unix programs but does not wait for them through the
// process handle, so the command leaves a file behind when done.
inline void runShell(const std::string& command) {
    static int calls = 0;
    const std::string done = tempFolder() + "e2e-shell-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++calls);
    Process shell;
    if (!shell.start("Z:\\bin\\sh", "-c \"" + command + "; : > '" + unixPath(done) + "'\"")) return;
    for (int waited = 0; waited < 60000 && !fileExists(done); waited += 50) Sleep(50);
    DeleteFileA(done.c_str());
}

inline void removeTree(const std::string& path) { runShell("rm -rf '" + unixPath(path) + "'"); }  // a link: only the link

// Replaces folder by a Unix symbolic link to target, which Windows programs see as a reparse point.
inline bool makeLink(const std::string& folder, const std::string& target) {
    removeTree(folder);
    runShell("ln -s '" + unixPath(target) + "' '" + unixPath(folder) + "'");
    const DWORD attributes = GetFileAttributesA(folder.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

// A copy of the launcher, <temp>\mako-e2e\<name>, whose resource (type, id) has its middle byte
// changed, as a launcher damaged on its way would; its path, empty when it could not be made.
inline std::string damagedLauncher(const char* type, int id, const std::string& name) {
    const std::string copy = tempFolder() + "mako-e2e\\" + name;
    createFolders(tempFolder() + "mako-e2e");
    if (!CopyFileA(E2E_SETUP_EXE, copy.c_str(), FALSE)) return "";
    std::string bytes;
    if (HMODULE module = LoadLibraryExA(copy.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE)) {
        if (HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(id), type))
            bytes.assign(static_cast<const char*>(LockResource(LoadResource(module, found))), SizeofResource(module, found));
        FreeLibrary(module);
    }
    if (bytes.empty()) return "";
    bytes[bytes.size() / 2] ^= 0x01;
    HANDLE update = BeginUpdateResourceA(copy.c_str(), FALSE);
    const bool changed = update && UpdateResourceA(update, type, MAKEINTRESOURCEA(id), MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US),
                                                   bytes.data(), static_cast<DWORD>(bytes.size()));
    return update && EndUpdateResourceA(update, !changed) && changed ? copy : "";
}

// The kit of this bitness is installed from the work folder (after a run that returned 0).
inline void expectKitInstalled() {
    std::string makoHome, buildNumber;
    ASSERT_TRUE(readString(kKitKey, "MakoHome", makoHome, kLauncherView)) << "kit key missing in the launcher's view";
    EXPECT_TRUE(readString(kKitKey, "BuildNumber", buildNumber, kLauncherView) && buildNumber == "9") << buildNumber;
    EXPECT_TRUE(keyExists(kUninstallKey, kLauncherView)) << "product code not registered: " << kUninstallKey;
    EXPECT_FALSE(keyExists(kKitKey, k64 ? KEY_WOW64_32KEY : KEY_WOW64_64KEY)) << "kit key in the other registry view";
    if (!makoHome.empty() && makoHome.back() != '\\') makoHome += '\\';
    for (const char* file : {"README.txt", "src.dat", "lib\\tools.dat", "bin\\forge.dat"})
        EXPECT_TRUE(fileExists(makoHome + file)) << makoHome << file;
}

// The single installer call of the kit ran after the archives were complete and the event was set
// (a good installation is followed by the update agent's calls, which are not looked at here).
inline void expectOneInstallCall(const LauncherRun& run, const std::string& result) {
    ASSERT_LE(1u, run.installerCalls.size()) << run.log;
    for (size_t i = 1; i < run.installerCalls.size(); ++i)
        EXPECT_THAT(field(run.installerCalls[i], "command"), ::testing::HasSubstr("\\Brennic\\Mako\\AU\\au.msi\""));
    const RecordedCall& call = run.installerCalls[0];
    EXPECT_EQ("signalled", field(call, "event"));
    EXPECT_EQ("complete", field(call, "archives"));
    EXPECT_EQ(result, field(call, "result"));
    EXPECT_TRUE(equalsIgnoreCase(workFolder(kWorkFolderName) + "\\forge3.1.0_27.msi", field(call, "package")))
        << field(call, "package");
}

}  // namespace e2e
