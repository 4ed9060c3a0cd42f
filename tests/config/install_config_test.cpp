// Argument recognition and status reports of the install configuration over the real settings
// library, an in-memory file system and a recording host. Loading, precedence, export and restore
// are tested under Wine with the real files (config_win_test.cpp).
#include "config/install_config.h"

#include <gtest/gtest.h>

#include "config/config_host.h"
#include "config/key_catalogue.h"
#include "config/settings_messages.h"
#include "settings/memory_file_system.h"

namespace {

// Records the boxes shown; messages read "[<id>] <%s> <%s>" so that a test sees which message was
// used with which arguments. Arguments go in through ImportArgsConfigSettings, so the command line
// is never split here.
class FakeConfigHost : public IConfigHost {
public:
    bool splitCommandLine(const std::wstring&, std::vector<std::string>&) override { return false; }
    std::string loadMessage(const void*, unsigned id, size_t) override {
        return id == 3073 ? "title" : "[" + std::to_string(id) + "] <%s> <%s>";
    }
    void showErrorBox(const std::string& title, const std::string& text) override { boxes.emplace_back(title, text); }
    bool canOpenForReading(const std::string&) override { return false; }
    void deleteFile(const std::string&) override {}
    // A code page of ASCII alone.
    bool utf8ToAnsi(const std::string& text, std::string& out) override {
        out = text;
        for (char& c : out) c = (c & 0x80) ? '?' : c;
        return out == text;
    }

    std::vector<std::pair<std::string, std::string>> boxes;
};

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

class InstallConfigTest : public ::testing::Test {
protected:
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
    host.boxes.clear();
    EXPECT_EQ(200, config.LoadConfigSettings(L"setup.exe /s")) << "a command line the system cannot split";
    EXPECT_TRUE(host.boxes.empty());
}

// A value the code page cannot hold is refused with a report naming the key, never handed on with
// replacement characters.
TEST_F(InstallConfigTest, AnsiFormsRefuseWhatTheCodePageCannotHold) {
    ASSERT_EQ(0, importArgs(config, {"INSTALLDIR=C:\\F\xC3\xB8r", "MSI_CMDLINE=A=1", "/l", "C:\\\xC3\xB8.log"}));
    std::string value = "stale";
    EXPECT_TRUE(config.getStringSettingAnsi("MSI_CMDLINE", value, false));
    EXPECT_EQ("A=1", value);
    EXPECT_FALSE(config.getStringSettingAnsi("INSTALLDIR", value, false));
    EXPECT_EQ("", value);
    EXPECT_FALSE(config.installerLogPathAnsi(value, true));
    ASSERT_EQ(1u, host.boxes.size()) << "the silent refusal shows none";
    EXPECT_EQ("[3091] <INSTALLDIR> <>", host.boxes[0].second);
}

// Command-line switches have no value; a line of a file without one is faulty even after the
// command line was imported into the same store.
TEST_F(InstallConfigTest, KeysWithoutValueOnlyOnTheCommandLine) {
    fs.files["C:/cfg/install.cfg"].content = "EULA=Enable\nINSTALLDIR\n";
    ASSERT_EQ(0, importArgs(config, {"/s", "/h"}));
    EXPECT_EQ(313, config.ImportInstallConfigSettings(config.working(), "C:\\cfg\\install.cfg", false));
    ASSERT_EQ(1u, host.boxes.size());
    EXPECT_EQ("[3079] <C:\\cfg\\install.cfg> <2>", host.boxes[0].second);
    EXPECT_FALSE(config.containsKey("INSTALLDIR"));
}

TEST(SettingsMessages, FormattingNeverReadsMissingArguments) {
    EXPECT_EQ("a <x> b <y> 100% %d", formatSettingsMessage("a <%s> b <%s> 100%% %d", "x", "y", 1024));
    EXPECT_EQ("only x", formatSettingsMessage("only %s%s%s", "x", "", 1024));
    EXPECT_EQ("abc", formatSettingsMessage("%s", "abcdef", "", 4));
}

}  // namespace
