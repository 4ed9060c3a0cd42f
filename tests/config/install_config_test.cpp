// Argument recognition, rejected arguments and the catalogue's value rules over the real settings
// library, an in-memory file system and a recording host. Loading, precedence, export and restore
// are tested under Wine with the real files (config_win_test.cpp); values the code page cannot hold
// and keys without value in a file end to end (tests/e2e/config_values_e2e_test.cpp).
#include "config/install_config.h"

#include <gtest/gtest.h>

#include "config/config_host.h"
#include "config/key_catalogue.h"
#include "config/settings_folder_rules.h"
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
    void deleteFile(const std::string&) override {}
    bool utf8ToAnsi(const std::string& text, std::string& out) override {
        out = text;
        return true;
    }
    std::string othersWhoMayChange(const std::string&) override { return ""; }

    std::vector<std::pair<std::string, std::string>> boxes;
};

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
    ASSERT_EQ(0, importArgs(config, {"/QN", "/L*v", "C:\\logs\\i.log", "ADDLOCAL=ToolsFeature", "installdir:C:\\x",
                                     "", "/s", "/lang=1041", "-download", "auto_update=Enable", "/INSTALLDIRPUBLOOM=C:\\r"}));
    EXPECT_TRUE(config.containsKey("/q"));
    EXPECT_TRUE(config.isSilent());
    EXPECT_FALSE(config.containsKey("/l"));
    EXPECT_EQ("C:\\logs\\i.log", config.installerLogPath());
    EXPECT_EQ("C:\\x", config.getStringSetting("INSTALLDIR"));
    EXPECT_EQ("ToolsFeature", config.getStringSetting("ADDLOCAL"));
    EXPECT_EQ("/QN ADDLOCAL=ToolsFeature", config.getStringSetting("MSI_CMDLINE"));
    EXPECT_TRUE(config.containsKey("-download") && config.isEnabled("AUTO_UPDATE") && config.containsKey("/INSTALLDIRPUBLOOM"));
    EXPECT_EQ(1041, config.getLanguage());
    EXPECT_TRUE(host.boxes.empty());
}

TEST_F(InstallConfigTest, RejectedArgumentsAreCollectedIntoOneReport) {
    EXPECT_EQ(313, importArgs(config, {"/S", "/s=1", "INSTALL_SILENT", "FOO=1", "INSTALL_SILENT=yes", "EULA=Enable", "/q=1",
                                       "/l", "C:\\x.log\" T=1", "/l", "x.log", "B", "/l"}));
    ASSERT_EQ(1u, host.boxes.size());
    EXPECT_EQ("title", host.boxes[0].first);
    EXPECT_EQ("[3089] <\"/S\";\"/s=1\";\"INSTALL_SILENT\";\"FOO=1\";\"INSTALL_SILENT=yes\";\"/q=1\";\"C:\\x.log\" T=1\";"
              "\"x.log\";\"B\";\"/l\";> <>",
              host.boxes[0].second);
    EXPECT_EQ("", config.installerLogPath()) << "a log path that breaks the folder rules is not taken";
    EXPECT_TRUE(config.isEnabled("EULA")) << "accepted arguments are imported all the same";
    EXPECT_FALSE(config.isSilent()) << "/S is no switch of the launcher";

    // Silent by /s already imported: the report reaches the log only.
    InstallConfigData quiet(nullptr, host);
    EXPECT_EQ(313, importArgs(quiet, {"/s", "FOO=1"}));
    EXPECT_EQ(1u, host.boxes.size());
}

// The catalogue's value rules as an install configuration file meets them; keys are matched in
// any case, switch values only in their own spelling.
TEST_F(InstallConfigTest, ValueRulesOfTheCatalogue) {
    struct Row { const char* line; int32_t status; const char* key; const char* stored; } rows[] = {
        {"AUTO_UPDATE=1", 0, "AUTO_UPDATE", "1"},
        {"auto_update=Disable", 0, "AUTO_UPDATE", "Disable"},
        {"AUTO_UPDATE=enable", 313, nullptr, nullptr},
        {"WEB_MAKO_SECURITY_LEVEL=vh", 0, "WEB_MAKO_SECURITY_LEVEL", "vh"},
        {"WEB_MAKO_SECURITY_LEVEL=5", 313, nullptr, nullptr},
        {"/lang=0x411", 0, "/lang", "0x411"},
        {"/lang=ja", 313, nullptr, nullptr},
        {"INSTALLDIR=C:\\Dev Kits", 0, "INSTALLDIR", "C:\\Dev Kits"},
        {"INSTALLDIR=Kits\\Forge", 313, nullptr, nullptr},
        {"INSTALLDIR=\\\\server\\share", 313, nullptr, nullptr},
        {"COUNTRYOVERRIDE=any text", 0, "COUNTRYOVERRIDE", "any text"},
        {"UNKNOWN=1", 313, nullptr, nullptr},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.line);
        InstallConfigData fresh(nullptr, host);
        fs.files["C:/cfg/install.cfg"].content = row.line;
        EXPECT_EQ(row.status, fresh.ImportInstallConfigSettings(fresh.working(), "C:\\cfg\\install.cfg", true));
        EXPECT_EQ(row.key ? row.stored : "", row.key ? fresh.getStringSetting(row.key) : "");
    }
    EXPECT_TRUE(host.boxes.empty()) << "silent";
}

// A long file name cuts the box text; a character the cut goes through is left out whole, as a box
// shows nothing of text that is not UTF-8.
TEST(SettingsMessage, CutNeverSplitsACharacter) {
    const std::string kanji = "\xE6\x97\xA5";
    for (size_t capacity : {3, 4, 5}) EXPECT_EQ("ab", formatSettingsMessage("a%s", "b" + kanji, "", capacity)) << capacity;
    EXPECT_EQ("ab" + kanji, formatSettingsMessage("a%s", "b" + kanji, "x", 6));
    EXPECT_EQ("100%", formatSettingsMessage("100%%", "", "", 0));
}

// The settings folders are taken over when anyone but the system account, Administrators or the
// launcher's own account owns them or may create, write or delete in them.
TEST(SettingsFolderRules, TakenOverWhenOthersMayChangeThem) {
    const std::string self = "S-1-5-21-1-2-3-500", user = "S-1-5-21-1-2-3-1001";
    const struct { std::string sddl; bool takeOver; } rows[] = {
        {std::string("O:BA") + kSettingsFolderRules, false},
        {"O:SYG:SYD:PAI(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICIIO;GA;;;CO)(A;OICI;FR;;;WD)", false},
        {"O:" + self + "D:(A;;FA;;;" + self + ")(A;;0x1200a9;;;AU)(D;;FA;;;BU)", false},
        {"O:" + user + "D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)", true},
        {"O:BAD:(A;;FA;;;BA)(A;CI;0x100004;;;BU)", true},  // may create folders
        {"O:BAD:(A;OICIIO;GW;;;AU)", true},                // reaches the settings file written inside
        {"O:BAD:(A;;SD;;;WD)", true},
        {"O:BAD:(A;;FA;;;" + user + ")", true},
        {"O:BA", true},                       // no DACL: everyone may
        {"O:BAD:(A;;ZZ;;;BU)", true},          // rights not understood
    };
    for (const auto& row : rows) EXPECT_EQ(row.takeOver, othersMayChangeFolder(row.sddl, self)) << row.sddl;
}

}  // namespace
