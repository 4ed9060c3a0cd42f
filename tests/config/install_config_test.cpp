// The install configuration over the real settings library with an in-memory file system and a
// recording host (under the sanitizers); the Wine tests cover the same with the real files.
#include "config/install_config.h"

#include <gtest/gtest.h>

#include "config/fake_config_host.h"
#include "config/key_catalogue.h"
#include "config/settings_messages.h"
#include "settings/file_name.h"
#include "settings/memory_file_system.h"

namespace {

TEST(FindKeyRecord, SwitchesPropertiesPrefixesAndCase) {
    struct Row { const char* argument; const char* key; };  // key null: no row
    const Row rows[] = {
        {"/s", "/s"},           {"/S", "/s"},           {"/s=1", nullptr},         {"INSTALL_SILENT", nullptr},
        {"/qn", "/q"},          {"/QB-", "/q"},         {"/l*v", "/l"},            {"/L*V", "/l"},
        {"installdir:C:\\x", "INSTALLDIR"},             {"INSTALLDIR=C:\\x", "INSTALLDIR"},
        {"FOO=1", nullptr},     {"-download", "-download"}, {"/lang=1041", "/lang"}, {"auto_update=Enable", "AUTO_UPDATE"},
        {"/INSTALLDIRPUBLOOM=C:\\r", "/INSTALLDIRPUBLOOM"}, {"B", nullptr},       {"/q=1", nullptr},
    };
    for (const Row& row : rows) {
        const KeyRecord* found = findKeyRecord(keyCatalogue(), row.argument);
        EXPECT_EQ(row.key ? std::string(row.key) : "<none>", found ? found->name : "<none>") << row.argument;
    }
}

TEST(BuildCmdline, RecordedKeysOnlyAndValuesUnescaped) {
    const auto values = [](const std::string& key, std::string& value) {
        if (key == "STATIC") value = "Enable";
        else if (key == "ADDLOCAL") value = "ALL";  // not recorded
        else if (key == "/installmethod") value = "say \"hi\"";
        else return false;
        return true;
    };
    EXPECT_EQ(" STATIC=\"Enable\" /installmethod=\"say \"hi\"\"", buildCmdline(keyCatalogue(), values));
    EXPECT_EQ("", buildCmdline(keyCatalogue(), [](const std::string&, std::string&) { return false; }));
}

class InstallConfigTest : public ::testing::Test {
protected:
    static std::string canonical(const std::string& path) { return settings_impl::FileName(path).canonicalize().text(); }
    std::string& fileAt(const std::string& path) { return fs.files[canonical(path)].content; }
    std::string runtimePath() {
        std::string path;
        config.working().settingsFilePath(path);
        return path;
    }
    static std::string value(SettingsContext& context, const std::string& key) {
        std::string text;
        return context.valueOf(key, text) ? text : "<absent>";
    }

    settings_impl::MemoryFileSystem fs;
    settings_impl::ScopedFileSystem scoped{fs};
    FakeConfigHost host;
    InstallConfigData config{nullptr, host};
};

int32_t importArgs(InstallConfigData& config, std::vector<const char*> args) {
    args.insert(args.begin(), "setup.exe");
    return config.ImportArgsConfigSettings(config.working(), args.data(), static_cast<int>(args.size()), false);
}

TEST_F(InstallConfigTest, ArgumentsSwitchesPropertiesPrefixesAndPassThrough) {
    ASSERT_EQ(0, importArgs(config, {"/qn", "/L*v", "C:\\logs\\i.log", "ADDLOCAL=ToolsFeature", "installdir:C:\\x",
                                     "", "/s", "/lang=1041"}));
    EXPECT_TRUE(config.containsKey("/q"));
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
    EXPECT_EQ(313, importArgs(config, {"/S", "/s=1", "INSTALL_SILENT", "FOO=1", "INSTALL_SILENT=yes", "EULA=Enable",
                                       "/l"}));
    ASSERT_EQ(1u, host.boxes.size());
    EXPECT_EQ("title", host.boxes[0].first);
    EXPECT_EQ("[3089] <\"/S\";\"/s=1\";\"INSTALL_SILENT\";\"FOO=1\";\"INSTALL_SILENT=yes\";\"/l\";> <>",
              host.boxes[0].second);
    EXPECT_TRUE(config.isEnabled("EULA")) << "accepted arguments are imported all the same";
    EXPECT_FALSE(config.isSilent()) << "/S is stored under its own spelling and does not make the run silent";

    // Silent by /s already imported: the report reaches the log only.
    InstallConfigData quiet(nullptr, host);
    EXPECT_EQ(313, importArgs(quiet, {"/s", "FOO=1"}));
    EXPECT_EQ(1u, host.boxes.size());
}

TEST_F(InstallConfigTest, PrecedenceExportAndRestore) {
    fileAt(runtimePath()) = "AUTO_UPDATE=Disable\nSPONSORS=Disable\nEULA=Enable\n";
    fileAt("C:\\cfg\\install.cfg") = "SPONSORS=Enable\nWEB_ANALYTICS=Disable\nAUTO_UPDATE=0\n";
    ASSERT_EQ(0, config.LoadConfigSettings(L"setup.exe AUTO_UPDATE=Enable INSTALLCFG=C:\\cfg\\install.cfg STATIC=Enable"));
    const char* const rows[][3] = {  // key, working, exported
        {"AUTO_UPDATE", "Enable", "Enable"},     {"SPONSORS", "Enable", "Enable"}, {"WEB_ANALYTICS", "Disable", "Disable"},
        {"EULA", "Enable", "Enable"},            {"OEMUPDATE", "Disable", "<absent>"}, {"STATIC", "Enable", "<absent>"}};
    for (const auto& row : rows) {
        EXPECT_EQ(row[1], value(config.working(), row[0])) << row[0];
        EXPECT_EQ(row[2], value(config.exported(), row[0])) << row[0];
    }
    ASSERT_EQ(0, config.exportSettings());
    EXPECT_NE(std::string::npos, fileAt(runtimePath()).find("AUTO_UPDATE=Enable"));
    EXPECT_EQ(std::string::npos, fileAt(runtimePath()).find("STATIC"));
    ASSERT_EQ(0, config.restoreSettings());
    EXPECT_NE(std::string::npos, fileAt(runtimePath()).find("AUTO_UPDATE=Disable"));
}

TEST_F(InstallConfigTest, StatusReportsAndUnsplittableCommandLine) {
    const struct { int32_t status; bool ok; const char* box; } rows[] = {
        {0, true, nullptr}, {300, false, nullptr}, {4242, false, nullptr}, {313, false, "[3079] <f> <<line number>>"}};
    for (const auto& row : rows) {
        host.boxes.clear();
        EXPECT_EQ(row.ok, config.reportSettingsError(row.status, "f", false, config.working())) << row.status;
        std::string shown;
        for (const auto& box : host.boxes) shown += box.second;
        EXPECT_EQ(row.box ? row.box : "", shown) << row.status;
    }
    host.failSplit = true;
    InstallConfigData unsplit(nullptr, host);
    EXPECT_EQ(200, unsplit.LoadConfigSettings(L"setup.exe /s"));
}

TEST(SettingsMessages, FormattingNeverReadsMissingArguments) {
    EXPECT_EQ("a <x> b <y> 100% %d", formatSettingsMessage("a <%s> b <%s> 100%% %d", "x", "y", 1024));
    EXPECT_EQ("only x", formatSettingsMessage("only %s%s%s", "x", "", 1024));
    EXPECT_EQ("abc", formatSettingsMessage("%s", "abcdef", "", 4));
}

}  // namespace
