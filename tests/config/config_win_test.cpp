// The install configuration under Wine with everything real: the Win32 host (command-line
// splitting, file checks, deletion), the settings file system, and the runtime settings file at its
// place in the common application-data folder: the precedence of the sources, export and restore,
// and an install configuration file that is gone between its two imports.
#include "config/install_config.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <vector>

#include "platform/win_test_support.h"
#include "settings/exception.h"
#include "settings/file_name.h"
#include "settings/file_system.h"

namespace {

using namespace wintest;

// Each test starts without a runtime settings file; whatever the prefix held is put back after.
class RealConfig : public ::testing::Test {
protected:
    void SetUp() override {
        createFolders(runtimeSettingsFolder());
        savedRuntimeFile = contentsOrNone(runtimePath);
        DeleteFileA(runtimePath.c_str());
    }
    void TearDown() override {
        DeleteFileA(runtimePath.c_str());
        if (savedRuntimeFile != "<none>") writeFile(runtimePath, savedRuntimeFile);
        DeleteFileA(installFile.c_str());
    }

    static std::string value(SettingsContext& context, const std::string& key) {
        std::string text;
        return context.valueOf(key, text) ? text : "<absent>";
    }

    const std::string runtimePath = runtimeSettingsFile();
    const std::string installFile = runtimeSettingsFolder() + "\\config_win_test_install.cfg";
    std::string savedRuntimeFile;
};

// The command line over the install file over the runtime file over the defaults. Only the keys kept
// in the runtime file are taken from it; the others, unchecked (a folder without a drive would be
// refused), stay in the backup alone.
TEST_F(RealConfig, PrecedenceOfTheSourcesAndTheKeysTakenFromTheRuntimeFile) {
    const struct {
        const char *runtimeFile, *installFile, *arguments;
        std::vector<std::array<const char*, 4>> rows;  // key, then its value in the working, export and backup stores
    } cases[] = {
        {"AUTO_UPDATE=Disable\r\nSPONSORS=Disable\r\nEULA=Enable\r\nWEB_ANALYTICS=Disable\r\n",
         "SPONSORS=Enable\nWEB_ANALYTICS=0\nAUTO_UPDATE=0\n", " STATIC=Enable \"INSTALLDIR=C:\\Program Files\\Mako\"",
         {{"AUTO_UPDATE", "Enable", "Enable", "Disable"},      // command line over both files
          {"SPONSORS", "Enable", "Enable", "Disable"},         // install file over runtime file
          {"WEB_ANALYTICS", "0", "0", "Disable"},              // install file over runtime file
          {"EULA", "Enable", "Enable", "Enable"},              // runtime file over the default
          {"OEMUPDATE", "Disable", "<absent>", "<absent>"},    // default only
          {"STATIC", "Enable", "<absent>", "<absent>"},        // not persistent
          {"INSTALLDIR", "C:\\Program Files\\Mako", "<absent>", "<absent>"}}},
        {"AUTO_UPDATE=Disable\nINSTALLDIR=NoDrive\nMSI_CMDLINE=TRANSFORMS=x.mst\nSTATIC=Enable\n", nullptr, "",
         {{"AUTO_UPDATE", "Disable", "Disable", "Disable"},
          {"INSTALLDIR", "<absent>", "<absent>", "NoDrive"},
          {"MSI_CMDLINE", "<absent>", "<absent>", "TRANSFORMS=x.mst"},
          {"STATIC", "Disable", "<absent>", "Enable"}}},  // the default stays
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.runtimeFile);
        writeFile(runtimePath, c.runtimeFile);
        const std::string line = c.installFile ? "setup.exe AUTO_UPDATE=Enable INSTALLCFG=" + installFile + c.arguments
                                               : "setup.exe";
        if (c.installFile) writeFile(installFile, c.installFile);
        InstallConfigData config(GetModuleHandle(nullptr));
        ASSERT_EQ(0, config.LoadConfigSettings(std::wstring(line.begin(), line.end())));
        for (const auto& row : c.rows) {
            EXPECT_EQ(row[1], value(config.working(), row[0])) << row[0];
            EXPECT_EQ(row[2], value(config.exported(), row[0])) << row[0];
            EXPECT_EQ(row[3], value(config.backup(), row[0])) << row[0];
        }
    }
}

// The runtime file is written only when the persistent settings changed, removed when nothing
// persistent is left, and put back byte for byte by the restore.
TEST_F(RealConfig, ExportAndRestoreOfTheRuntimeFile) {
    struct Row {
        const char* name;
        const char* runtimeFile;  // before; null for none
        const wchar_t* commandLine;
        const char* afterExport;   // "<none>" when removed
        const char* afterRestore;
        bool secondName = false;  // the file made a hard link of another one after loading: never removed
    } rows[] = {
        {"nothing changed", "AUTO_UPDATE=Disable\n", L"setup.exe AUTO_UPDATE=Disable", "AUTO_UPDATE=Disable\n",
         "AUTO_UPDATE=Disable\n"},
        {"comments only", "# only this\n", L"setup.exe EULA=Enable", "EULA=Enable\r\n", "# only this\n"},
        {"nothing persistent left", "STATIC=Enable\n", L"setup.exe", "<none>", "STATIC=Enable\n"},
        {"first export", nullptr, L"setup.exe EULA=Enable", "EULA=Enable\n", "<none>"},
        {"defaults only", nullptr, L"setup.exe", "<none>", "<none>"},
        {"nothing persistent left, a second name", "STATIC=Enable\n", L"setup.exe", "STATIC=Enable\n", "STATIC=Enable\n", true},
    };
    for (const Row& row : rows) {
        DeleteFileA(runtimePath.c_str());
        if (row.runtimeFile) writeFile(runtimePath, row.runtimeFile);
        InstallConfigData config(GetModuleHandle(nullptr));
        ASSERT_EQ(0, config.LoadConfigSettings(row.commandLine)) << row.name;
        const std::string other = runtimeSettingsFolder() + "\\config_win_test_other.cfg";
        if (row.secondName) {
            writeFile(other, row.runtimeFile);
            ASSERT_TRUE(DeleteFileA(runtimePath.c_str()) && CreateHardLinkA(runtimePath.c_str(), other.c_str(), nullptr));
        }
        EXPECT_EQ(0, config.exportSettings()) << row.name;
        EXPECT_EQ(row.afterExport, contentsOrNone(runtimePath)) << row.name;
        EXPECT_EQ(0, config.restoreSettings()) << row.name;
        EXPECT_EQ(row.afterRestore, contentsOrNone(runtimePath)) << row.name;
        if (row.secondName) {
            EXPECT_EQ(row.runtimeFile, contentsOrNone(other));
        }
        DeleteFileA(other.c_str());
    }
}

// The real file system, except that the install configuration file is deleted as soon as it has
// been read once: it passes the import that reports its faults and is gone for the export's import.
class InstallFileGoneAfterFirstRead : public settings_impl::IFileSystem {
public:
    explicit InstallFileGoneAfterFirstRead(std::string installFile) : installFile(std::move(installFile)) {}
    std::string currentDirectory() override { return real.currentDirectory(); }
    std::string commonAppDataFolder() override { return real.commonAppDataFolder(); }
    bool exists(const settings_impl::FileName& name) override { return real.exists(name); }
    settings_impl::DirectoryResult createDirectory(const settings_impl::FileName& name) override {
        return real.createDirectory(name);
    }
    bool canOpenForReading(const settings_impl::FileName& name) override { return real.canOpenForReading(name); }
    settings_impl::ReadResult readFile(const settings_impl::FileName& name, size_t limit) override {
        settings_impl::ReadResult result = real.readFile(name, limit);
        std::string path = name.text();  // the library's canonical form uses forward slashes
        std::replace(path.begin(), path.end(), '/', '\\');
        if (lstrcmpiA(path.c_str(), installFile.c_str()) == 0) DeleteFileA(installFile.c_str());
        return result;
    }
    std::unique_ptr<settings_impl::IStagedFile> stageFile(const settings_impl::FileName& target,
                                                          bool protectedAccess) override {
        return real.stageFile(target, protectedAccess);
    }

private:
    settings_impl::IFileSystem& real = settings_impl::fileSystem();
    std::string installFile;
};

// An install configuration file that vanishes after its first import ends the loading with the
// status of a file that cannot be opened; the runtime file stays as it was.
TEST_F(RealConfig, InstallFileGoneBeforeTheExportsImport) {
    writeFile(runtimePath, "AUTO_UPDATE=Disable\r\n");
    writeFile(installFile, "SPONSORS=Enable\n");
    InstallFileGoneAfterFirstRead vanishing(installFile);
    settings_impl::ScopedFileSystem scoped(vanishing);

    InstallConfigData config(GetModuleHandle(nullptr));
    const std::string line = "setup.exe /s AUTO_UPDATE=Enable INSTALLCFG=" + installFile;
    EXPECT_EQ(settings::status::CannotOpenFile, config.LoadConfigSettings(std::wstring(line.begin(), line.end())));
    EXPECT_FALSE(fileExists(installFile));
    EXPECT_EQ("AUTO_UPDATE=Disable\r\n", readFile(runtimePath));
}

}  // namespace
