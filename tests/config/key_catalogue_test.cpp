#include "config/key_catalogue.h"

#include <gtest/gtest.h>

namespace {

TEST(KeyCatalogue, RowsInOrderWithTheirFlags) {
    const KeyCatalogue& rows = keyCatalogue();
    ASSERT_EQ(46u, rows.size());
    EXPECT_EQ("INSTALL_SILENT", rows[0].name);
    EXPECT_EQ("NOSTARTMENU", rows[23].name);
    EXPECT_EQ("CMDLINE", rows[36].name);
    EXPECT_EQ("/l", rows[45].name);
    int exported = 0, recorded = 0, switches = 0;
    for (const KeyRecord& row : rows) {
        exported += row.exported;
        recorded += row.recorded;
        switches += row.isSwitch();
    }
    EXPECT_EQ(5, exported);
    EXPECT_EQ(19, recorded);
    EXPECT_EQ(6, switches);
    const KeyRecord* rules = catalogueRow(rows, "DEPLOYMENT_RULE_SET");
    ASSERT_NE(nullptr, rules);
    EXPECT_TRUE(rules->mustBeReadable && rules->enterpriseOnly && !rules->mustBePlainText);
}

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
        if (row.key == nullptr) {
            EXPECT_EQ(nullptr, found) << row.argument;
        } else {
            ASSERT_NE(nullptr, found) << row.argument;
            EXPECT_EQ(row.key, found->name) << row.argument;
        }
    }
}

TEST(BuildCmdline, RecordedKeysInCatalogueOrderUnescaped) {
    const auto values = [](const std::string& key, std::string& value) {
        if (key == "INSTALLDIR") value = "C:\\x";
        else if (key == "STATIC") value = "Enable";
        else if (key == "ADDLOCAL") value = "ALL";  // not recorded
        else if (key == "/installmethod") value = "say \"hi\"";
        else return false;
        return true;
    };
    EXPECT_EQ(" STATIC=\"Enable\" INSTALLDIR=\"C:\\x\" /installmethod=\"say \"hi\"\"", buildCmdline(keyCatalogue(), values));
    EXPECT_EQ("", buildCmdline(keyCatalogue(), [](const std::string&, std::string&) { return false; }));
    EXPECT_EQ("\"/S\";", quotedListEntry("/S"));
}

}  // namespace
