// The install configuration over the real settings library with an in-memory file system and a
// recording host: which sources win, what is reported how, and when the runtime file is written.
#include "config/install_config.h"

#include <gtest/gtest.h>

#include "config/fake_config_host.h"
#include "config/settings_messages.h"
#include "settings/file_name.h"
#include "settings/memory_file_system.h"

namespace {

using settings_impl::FileName;
using settings_impl::MemoryFileSystem;

class InstallConfigTest : public ::testing::Test {
protected:
    InstallConfigTest() : scoped(fs) {}

    static std::string canonical(const std::string& path) { return FileName(path).canonicalize().text(); }

    std::string runtimePath() {
        InstallConfigData probe(nullptr, host);
        std::string path;
        probe.working().settingsFilePath(path);
        return canonical(path);
    }
    void writeRuntimeFile(const std::string& content) { fs.files[runtimePath()].content = content; }
    const std::string* runtimeFile() {
        const auto found = fs.files.find(runtimePath());
        return found == fs.files.end() ? nullptr : &found->second.content;
    }
    static std::string value(InstallConfigData& config, const std::string& key) {
        std::string text;
        return config.working().valueOf(key, text) ? text : "<absent>";
    }
    static std::string exportedValue(InstallConfigData& config, const std::string& key) {
        std::string text;
        return config.exported().valueOf(key, text) ? text : "<absent>";
    }

    MemoryFileSystem fs;
    settings_impl::ScopedFileSystem scoped;
    FakeConfigHost host;
};

int32_t importArgs(InstallConfigData& config, std::vector<const char*> args, bool silent = false) {
    args.insert(args.begin(), "setup.exe");
    return config.ImportArgsConfigSettings(config.working(), args.data(), static_cast<int>(args.size()), silent);
}

TEST_F(InstallConfigTest, ArgumentsSwitchesPropertiesPrefixesAndPassThrough) {
    InstallConfigData config(nullptr, host);
    ASSERT_EQ(0, importArgs(config, {"/qn", "/L*v", "C:\\logs\\i.log", "ADDLOCAL=ToolsFeature", "installdir:C:\\x",
                                     "", "/s", "/lang=1041"}));
    EXPECT_TRUE(config.containsKey("/q"));
    EXPECT_TRUE(config.containsKey("/s"));
    EXPECT_TRUE(config.isSilent());
    EXPECT_FALSE(config.containsKey("/l"));
    EXPECT_EQ("C:\\logs\\i.log", config.installerLogPath());
    EXPECT_EQ("C:\\x", config.getStringSetting("INSTALLDIR"));
    EXPECT_EQ("ToolsFeature", config.getStringSetting("ADDLOCAL"));
    EXPECT_EQ("/qn ADDLOCAL=ToolsFeature", config.getStringSetting("MSI_CMDLINE"));
    EXPECT_EQ(1041, config.getLanguage());
    EXPECT_TRUE(host.boxes.empty());
}

TEST_F(InstallConfigTest, RejectedArgumentsAreCollectedIntoOneReport) {
    InstallConfigData config(nullptr, host);
    EXPECT_EQ(313, importArgs(config, {"/S", "/s=1", "INSTALL_SILENT", "FOO=1", "INSTALL_SILENT=yes", "EULA=Enable",
                                       "/l"}));
    ASSERT_EQ(1u, host.boxes.size());
    EXPECT_EQ("title", host.boxes[0].first);
    EXPECT_EQ("[3089] <\"/S\";\"/s=1\";\"INSTALL_SILENT\";\"FOO=1\";\"INSTALL_SILENT=yes\";\"/l\";> <>",
              host.boxes[0].second);
    EXPECT_TRUE(config.isEnabled("EULA")) << "accepted arguments are imported all the same";
    EXPECT_FALSE(config.containsKey("/s")) << "/S is stored under its own spelling and does not make the run silent";
    EXPECT_FALSE(config.isSilent());

    // Silent by the caller, or by /s already imported: the report reaches the log only.
    InstallConfigData quiet(nullptr, host);
    EXPECT_EQ(313, importArgs(quiet, {"/s", "FOO=1"}));
    EXPECT_EQ(1u, host.boxes.size());
}

TEST_F(InstallConfigTest, EmptyCommandLineGivesDefaultsOnlyAndNothingToExport) {
    InstallConfigData config(nullptr, host);
    ASSERT_EQ(0, config.LoadConfigSettings(L""));
    const char* defaults[][2] = {{"INSTALL_SILENT", "Disable"}, {"STATIC", "Disable"}, {"AUTO_UPDATE", "Enable"},
                                 {"WEB_ANALYTICS", "Enable"},   {"EULA", "Disable"},   {"SPONSORS", "Enable"},
                                 {"OEMUPDATE", "Disable"}};
    for (const auto& entry : defaults) EXPECT_EQ(entry[1], value(config, entry[0])) << entry[0];
    EXPECT_FALSE(config.containsKey("CMDLINE"));
    bool empty = false;
    config.exported().isEmpty(empty);
    EXPECT_TRUE(empty);
    config.backup().isEmpty(empty);
    EXPECT_TRUE(empty);
    EXPECT_EQ(0, config.exportSettings());
    EXPECT_EQ(nullptr, runtimeFile());
    EXPECT_TRUE(host.deleted.empty());
    EXPECT_FALSE(config.isSilent());
}

TEST_F(InstallConfigTest, PrecedenceCommandLineOverInstallFileOverRuntimeFileOverDefaults) {
    writeRuntimeFile("AUTO_UPDATE=Disable\nSPONSORS=Disable\nEULA=Enable\n");
    fs.files[canonical("C:\\cfg\\install.cfg")].content = "SPONSORS=Enable\nWEB_ANALYTICS=Disable\nAUTO_UPDATE=0\n";
    InstallConfigData config(nullptr, host);
    ASSERT_EQ(0, config.LoadConfigSettings(L"setup.exe AUTO_UPDATE=Enable INSTALLCFG=C:\\cfg\\install.cfg "
                                           L"STATIC=Enable INSTALLDIR=C:\\x"));
    EXPECT_EQ("Enable", value(config, "AUTO_UPDATE"));      // command line
    EXPECT_EQ("Enable", value(config, "SPONSORS"));         // install configuration file
    EXPECT_EQ("Disable", value(config, "WEB_ANALYTICS"));   // install configuration file
    EXPECT_EQ("Enable", value(config, "EULA"));             // runtime file
    EXPECT_EQ("Disable", value(config, "OEMUPDATE"));       // default
    EXPECT_EQ("STATIC=\"Enable\" AUTO_UPDATE=\"Enable\" SPONSORS=\"Enable\" WEB_ANALYTICS=\"Disable\" "
              "EULA=\"Enable\" INSTALLDIR=\"C:\\x\" INSTALLCFG=\"C:\\cfg\\install.cfg\"",
              value(config, "CMDLINE"));
    // The export store keeps exported keys only, without defaults.
    EXPECT_EQ("<absent>", exportedValue(config, "STATIC"));
    EXPECT_EQ("<absent>", exportedValue(config, "OEMUPDATE"));
    EXPECT_EQ("Enable", exportedValue(config, "AUTO_UPDATE"));

    ASSERT_EQ(0, config.exportSettings());
    ASSERT_NE(nullptr, runtimeFile());
    EXPECT_NE(std::string::npos, runtimeFile()->find("AUTO_UPDATE=Enable"));
    EXPECT_EQ(std::string::npos, runtimeFile()->find("STATIC"));

    // A failed installation puts the file back as it was found.
    ASSERT_EQ(0, config.restoreSettings());
    EXPECT_NE(std::string::npos, runtimeFile()->find("AUTO_UPDATE=Disable"));
    EXPECT_NE(std::string::npos, runtimeFile()->find("SPONSORS=Disable"));
}

TEST_F(InstallConfigTest, ExportDeletesTheFileWhenNothingIsExportedAndSkipsWhenUnchanged) {
    writeRuntimeFile("AUTO_UPDATE=Disable\n");
    {
        InstallConfigData unchanged(nullptr, host);
        ASSERT_EQ(0, unchanged.LoadConfigSettings(L"setup.exe AUTO_UPDATE=Disable"));
        const size_t staged = fs.stagedCount;
        EXPECT_EQ(0, unchanged.exportSettings());
        EXPECT_EQ(staged, fs.stagedCount) << "equal stores: nothing written";
    }
    // Export store empty but backup not: the runtime file goes.
    fs.files.clear();
    InstallConfigData config(nullptr, host);
    ASSERT_EQ(0, config.LoadConfigSettings(L"setup.exe"));
    writeRuntimeFile("AUTO_UPDATE=Disable\n");
    InstallConfigData later(nullptr, host);
    ASSERT_EQ(0, later.LoadConfigSettings(L"setup.exe"));
    later.exported().removeKey("AUTO_UPDATE");
    EXPECT_EQ(0, later.exportSettings());
    ASSERT_EQ(1u, host.deleted.size());
}

TEST_F(InstallConfigTest, ConfigurationErrorsAndTheirMessages) {
    struct Row {
        const char* name;
        const wchar_t* commandLine;
        const char* installFile;  // content of C:\cfg\i.cfg, or null for none
        int32_t status;
        const char* box;          // expected text, or null for no box
    };
    const Row rows[] = {
        {"faulty third line", L"setup.exe INSTALLCFG=C:\\cfg\\i.cfg", "EULA=Enable\nSTATIC=1\nFOO=1\n", 313,
         "[3079] <C:\\cfg\\i.cfg> <3>"},
        {"missing install file", L"setup.exe INSTALLCFG=C:\\cfg\\i.cfg", nullptr, 304, "[3075] <C:\\cfg\\i.cfg> <>"},
        {"bad value in install file", L"setup.exe INSTALLCFG=C:\\cfg\\i.cfg", "EULA=maybe\n", 313,
         "[3079] <C:\\cfg\\i.cfg> <1>"},
        {"enterprise-only key", L"setup.exe DEPLOYMENT_RULE_SET=C:\\rules", nullptr, 3090,
         "[3089] <\"DEPLOYMENT_RULE_SET\";> <>"},
        {"enterprise-only key from the file", L"setup.exe INSTALLCFG=C:\\cfg\\i.cfg",
         "USAGETRACKER_CFG=C:\\tracker.cfg\n", 3090, "[3089] <\"USAGETRACKER_CFG\";> <>"},
        {"split argument", L"setup.exe INSTALLDIR=C:\\A B", nullptr, 313, "[3089] <\"B\";> <>"},
        {"silent: log only", L"setup.exe /s INSTALLCFG=C:\\cfg\\i.cfg", nullptr, 304, nullptr},
    };
    for (const Row& row : rows) {
        fs.files.clear();
        host.boxes.clear();
        if (row.installFile) fs.files[canonical("C:\\cfg\\i.cfg")].content = row.installFile;
        InstallConfigData config(nullptr, host);
        EXPECT_EQ(row.status, config.LoadConfigSettings(row.commandLine)) << row.name;
        if (row.box == nullptr) {
            EXPECT_TRUE(host.boxes.empty()) << row.name;
        } else {
            ASSERT_EQ(1u, host.boxes.size()) << row.name;
            EXPECT_EQ(row.box, host.boxes[0].second) << row.name;
        }
    }
}

TEST_F(InstallConfigTest, ReadabilityCheckAndUnknownStatuses) {
    InstallConfigData config(nullptr, host);
    KeyRecord readable = *catalogueRow(keyCatalogue(), "DEPLOYMENT_RULE_SET");
    EXPECT_EQ(3090, config.CheckParam(readable, "C:\\rules"));
    readable.enterpriseOnly = false;  // as an enterprise build would accept it
    EXPECT_EQ(307, config.CheckParam(readable, "C:\\rules"));
    host.readable.insert("C:\\rules");
    EXPECT_EQ(0, config.CheckParam(readable, "C:\\rules"));

    EXPECT_TRUE(config.reportSettingsError(0, "x", false, config.working()));
    EXPECT_FALSE(config.reportSettingsError(300, "x", false, config.working()));  // logged only
    EXPECT_FALSE(config.reportSettingsError(4242, "x", false, config.working()));
    EXPECT_FALSE(config.reportSettingsError(313, "f", false, config.working()));
    ASSERT_EQ(1u, host.boxes.size());
    EXPECT_EQ("[3079] <f> <<line number>>", host.boxes[0].second);
}

TEST_F(InstallConfigTest, CommandLineThatCannotBeSplitIsAnInternalFailure) {
    host.failSplit = true;
    InstallConfigData config(nullptr, host);
    EXPECT_EQ(200, config.LoadConfigSettings(L"setup.exe /s"));
    EXPECT_TRUE(host.boxes.empty());
}

TEST(SettingsMessages, FormattingNeverReadsMissingArguments) {
    EXPECT_EQ("a <x> b <y> 100% %d", formatSettingsMessage("a <%s> b <%s> 100%% %d", "x", "y", 1024));
    EXPECT_EQ("only x", formatSettingsMessage("only %s%s%s", "x", "", 1024));
    EXPECT_EQ("abc", formatSettingsMessage("%s", "abcdef", "", 4));
    ASSERT_NE(nullptr, settingsMessageFor(3090));
    EXPECT_EQ(3089u, settingsMessageFor(3090)->id);
    EXPECT_EQ(nullptr, settingsMessageFor(0));
}

}  // namespace
