// The install configuration under Wine with everything real: the Win32 host (command-line
// splitting, the launcher's string table, file checks, deletion), the settings file system, and
// the runtime settings file at its place in the common application-data folder. Boxes are
// observed by a pass-through host, since without a display MessageBoxA returns at once.
#include "config/install_config.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>

#include "platform/handles.h"
#include "platform/logger.h"
#include "platform/win32.h"
// after windows.h
#include <shlobj.h>

namespace {

// The real host, with the boxes it was asked to show written down.
class RecordingHost : public IConfigHost {
public:
    bool splitCommandLine(const std::wstring& line, std::vector<std::string>& args) override {
        return real.splitCommandLine(line, args);
    }
    std::string loadMessage(const void* module, unsigned id, size_t capacity) override {
        return real.loadMessage(module, id, capacity);
    }
    void showErrorBox(const std::string& title, const std::string& text) override {
        boxes.emplace_back(title, text);
        real.showErrorBox(title, text);
    }
    bool canOpenForReading(const std::string& path) override { return real.canOpenForReading(path); }
    void deleteFile(const std::string& path) override { real.deleteFile(path); }
    bool utf8ToAnsi(const std::string& text, std::string& out) override { return real.utf8ToAnsi(text, out); }

    IConfigHost& real = systemConfigHost();
    std::vector<std::pair<std::string, std::string>> boxes;
};

bool exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string readFile(const std::string& path) {  // empty when missing
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void writeFile(const std::string& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }

const char* const kTitle = "Mako Installation Not Completed";

// Each test starts without a runtime settings file; whatever the prefix held is put back after.
class RealConfig : public ::testing::Test {
protected:
    void SetUp() override {
        char folder[MAX_PATH];
        ASSERT_EQ(S_OK, SHGetFolderPathA(nullptr, CSIDL_COMMON_APPDATA, nullptr, SHGFP_TYPE_CURRENT, folder));
        const std::string mako = std::string(folder) + "\\Brennic\\Mako";
        SHCreateDirectoryExA(nullptr, mako.c_str(), nullptr);
        runtimePath = mako + "\\mako.settings.cfg";
        hadRuntimeFile = exists(runtimePath);
        savedRuntimeFile = readFile(runtimePath);
        DeleteFileA(runtimePath.c_str());

        char temp[MAX_PATH];
        GetTempPathA(MAX_PATH, temp);
        scratch = std::string(temp) + "config_win_" + std::to_string(GetCurrentProcessId());
        CreateDirectoryA(scratch.c_str(), nullptr);
        markLog();
    }
    void TearDown() override {
        DeleteFileA(runtimePath.c_str());
        if (hadRuntimeFile) writeFile(runtimePath, savedRuntimeFile);
        std::system(("rmdir /s /q \"" + scratch + "\" >nul 2>nul").c_str());
    }

    void markLog() { logOffset = readFile(globalLogger.path).size(); }
    // What this test appended to the log, with the text mode's CR LF read back as "\n".
    std::string newLog() const {
        std::string log = readFile(globalLogger.path);
        log.erase(0, std::min(logOffset, log.size()));
        log.erase(std::remove(log.begin(), log.end(), '\r'), log.end());
        return log;
    }
    std::string runtimeFile() const { return exists(runtimePath) ? readFile(runtimePath) : "<none>"; }
    static bool isEmpty(SettingsContext& context) {
        bool empty = false;
        return context.isEmpty(empty) == 0 && empty;
    }
    static std::string value(SettingsContext& context, const std::string& key) {
        std::string text;
        return context.valueOf(key, text) ? text : "<absent>";
    }

    std::string runtimePath, savedRuntimeFile, scratch;
    bool hadRuntimeFile = false;
    size_t logOffset = 0;
    RecordingHost host;
};

TEST_F(RealConfig, EmptyCommandLineGivesTheSevenDefaultsAndEmptyStores) {
    InstallConfigData config(GetModuleHandle(nullptr), host);
    ASSERT_EQ(0, config.LoadConfigSettings(L"setup.exe"));
    std::string path, defaults;
    config.working().settingsFilePath(path);
    EXPECT_EQ(runtimePath, path);
    for (const char* key : {"INSTALL_SILENT", "STATIC", "AUTO_UPDATE", "WEB_ANALYTICS", "EULA", "SPONSORS", "OEMUPDATE"})
        defaults += std::string(key) + "=" + value(config.working(), key) + " ";
    EXPECT_EQ("INSTALL_SILENT=Disable STATIC=Disable AUTO_UPDATE=Enable WEB_ANALYTICS=Enable EULA=Disable "
              "SPONSORS=Enable OEMUPDATE=Disable ", defaults);
    EXPECT_FALSE(config.containsKey("CMDLINE"));
    EXPECT_TRUE(isEmpty(config.exported()));
    EXPECT_TRUE(isEmpty(config.backup()));
    EXPECT_EQ(0, config.exportSettings());
    EXPECT_EQ("<none>", runtimeFile());
    EXPECT_TRUE(host.boxes.empty());
}

TEST_F(RealConfig, CommandLineOverInstallFileOverRuntimeFileOverDefaults) {
    writeFile(runtimePath, "AUTO_UPDATE=Disable\r\nSPONSORS=Disable\r\nEULA=Enable\r\nWEB_ANALYTICS=Disable\r\n");
    const std::string installFile = scratch + "\\install.cfg";
    writeFile(installFile, "SPONSORS=Enable\nWEB_ANALYTICS=0\nAUTO_UPDATE=0\n");

    InstallConfigData config(GetModuleHandle(nullptr), host);
    const std::string line = "setup.exe AUTO_UPDATE=Enable INSTALLCFG=" + installFile +
                             " STATIC=Enable \"INSTALLDIR=C:\\Program Files\\Mako\"";
    ASSERT_EQ(0, config.LoadConfigSettings(std::wstring(line.begin(), line.end())));

    const char* const rows[][4] = {  // key, then its value in the working, export and backup stores
        {"AUTO_UPDATE", "Enable", "Enable", "Disable"},      // command line over both files
        {"SPONSORS", "Enable", "Enable", "Disable"},         // install file over runtime file
        {"WEB_ANALYTICS", "0", "0", "Disable"},              // install file over runtime file
        {"EULA", "Enable", "Enable", "Enable"},              // runtime file over the default
        {"OEMUPDATE", "Disable", "<absent>", "<absent>"},    // default only
        {"STATIC", "Enable", "<absent>", "<absent>"},        // not persistent
        {"INSTALLDIR", "C:\\Program Files\\Mako", "<absent>", "<absent>"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(row[1], value(config.working(), row[0])) << row[0];
        EXPECT_EQ(row[2], value(config.exported(), row[0])) << row[0];
        EXPECT_EQ(row[3], value(config.backup(), row[0])) << row[0];
    }
    EXPECT_EQ("STATIC=\"Enable\" AUTO_UPDATE=\"Enable\" SPONSORS=\"Enable\" WEB_ANALYTICS=\"0\" EULA=\"Enable\" "
              "INSTALLDIR=\"C:\\Program Files\\Mako\" INSTALLCFG=\"" + installFile + "\"",
              value(config.working(), "CMDLINE"));
    EXPECT_TRUE(host.boxes.empty());
}

// Every failure reaches the log with the string table's English text; a box shows it unless /s.
// The faulty and the missing install file are shown with their boxes and end to end.
TEST_F(RealConfig, ConfigurationErrorsAreReportedWithTheirMessages) {
    const std::string cfg = scratch + "\\install.cfg";
    struct Row {
        const char* name;
        std::string arguments;
        const char* installFile;  // content of cfg, or null for none
        int32_t status;
        std::string message;
    } rows[] = {
        {"enterprise-only key", "DEPLOYMENT_RULE_SET=C:\\rules", nullptr, 3090,
         "Unable to install Mako\n\nThere are errors in the following switches:\n\"DEPLOYMENT_RULE_SET\";."},
        {"enterprise-only key in the file", "INSTALLCFG=" + cfg, "USAGETRACKER_CFG=C:\\windows\\win.ini\n", 3090,
         "There are errors in the following switches:\n\"USAGETRACKER_CFG\";."},
        {"unsupported argument", "FOO=1 /S", nullptr, 313,
         "There are errors in the following switches:\n\"FOO=1\";\"/S\";."},
    };
    for (const bool silent : {false, true}) {
        for (const Row& row : rows) {
            const std::string name = std::string(row.name) + (silent ? " with /s" : "");
            host.boxes.clear();
            markLog();  // only this row's lines count
            DeleteFileA(cfg.c_str());
            if (row.installFile) writeFile(cfg, row.installFile);

            InstallConfigData config(GetModuleHandle(nullptr), host);
            // /s last: an argument after it would be checked against a run already silent.
            const std::string line = "setup.exe " + row.arguments + (silent ? " /s" : "");
            EXPECT_EQ(row.status, config.LoadConfigSettings(std::wstring(line.begin(), line.end()))) << name;
            EXPECT_NE(std::string::npos, newLog().find(row.message)) << name << "\n" << newLog();
            if (silent) {
                EXPECT_TRUE(host.boxes.empty()) << name;
            } else {
                ASSERT_EQ(1u, host.boxes.size()) << name;
                EXPECT_EQ(kTitle, host.boxes[0].first) << name;
                EXPECT_NE(std::string::npos, host.boxes[0].second.find(row.message)) << name;
            }
        }
    }
}

// The check behind files that must be readable, against real files: one held without sharing
// cannot be opened either.
TEST_F(RealConfig, ReadabilityCheckOpensTheRealFile) {
    InstallConfigData config(GetModuleHandle(nullptr), host);
    KeyRecord row = *catalogueRow(keyCatalogue(), "DEPLOYMENT_RULE_SET");
    row.enterpriseOnly = false;  // as an enterprise build would have it
    const std::string readable = scratch + "\\rules.txt", held = scratch + "\\held.txt";
    writeFile(readable, "x");
    writeFile(held, "x");
    unique_handle holder(CreateFileA(held.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(static_cast<bool>(holder));
    EXPECT_EQ(0, config.CheckParam(row, readable));
    EXPECT_EQ(307, config.CheckParam(row, scratch + "\\missing.txt"));
    EXPECT_EQ(307, config.CheckParam(row, held));
}

// The runtime file is written only when the persistent settings changed, removed when nothing
// persistent is left, and put back as found by the restore.
TEST_F(RealConfig, ExportAndRestoreOfTheRuntimeFile) {
    struct Row {
        const char* name;
        const char* runtimeFile;  // before; null for none
        const wchar_t* commandLine;
        const char* afterExport;   // "<none>" when removed
        const char* afterRestore;
    } rows[] = {
        {"nothing changed", "AUTO_UPDATE=Disable\n", L"setup.exe AUTO_UPDATE=Disable", "AUTO_UPDATE=Disable\n",
         "AUTO_UPDATE=Disable\n"},
        {"changed value", "AUTO_UPDATE=Disable\n", L"setup.exe AUTO_UPDATE=Enable", "AUTO_UPDATE=Enable\r\n",
         "AUTO_UPDATE=Disable\r\n"},
        {"nothing persistent left", "STATIC=Enable\n", L"setup.exe", "<none>", "STATIC=Enable\n"},
        {"first export", nullptr, L"setup.exe EULA=Enable", "EULA=Enable\n", "<none>"},
    };
    for (const Row& row : rows) {
        DeleteFileA(runtimePath.c_str());
        if (row.runtimeFile) writeFile(runtimePath, row.runtimeFile);
        InstallConfigData config(GetModuleHandle(nullptr), host);
        ASSERT_EQ(0, config.LoadConfigSettings(row.commandLine)) << row.name;
        EXPECT_EQ(0, config.exportSettings()) << row.name;
        EXPECT_EQ(row.afterExport, runtimeFile()) << row.name;
        EXPECT_EQ(0, config.restoreSettings()) << row.name;
        EXPECT_EQ(row.afterRestore, runtimeFile()) << row.name;
    }
    EXPECT_TRUE(host.boxes.empty());
}

}  // namespace
