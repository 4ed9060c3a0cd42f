#include "driver/existing_installations_keys.h"

#include <gtest/gtest.h>

namespace {

// What this build looks for, derived from its one product version.
TEST(ExistingInstallationKeys, NamesOfThisVersion) {
    EXPECT_EQ("SOFTWARE\\Velmora\\Mako Development Kit\\3.1.0_27", forgeVersionKey());
    EXPECT_EQ("SOFTWARE\\Velmora\\Mako Runtime Environment\\3.1.0_27", loomVersionKey());
    EXPECT_EQ("{3261C2D8-E3A5-11D6-B94C-00C0A9210270}", forgeProductCode(32));
    EXPECT_EQ("{6461C2D8-E3A5-11D6-B94C-00C0A9210270}", forgeProductCode(64));
    struct Row { const char* version; const char* family; const char* update; };
    for (const Row& row : {Row{"3.1.0_27", "1", "27"}, Row{"3.12.0", "12", "00"}, Row{"3.1.0_5_104", "1", "104"}}) {
        EXPECT_EQ(row.family, GetFamilyVersion(row.version)) << row.version;
        EXPECT_EQ(row.update, GetUpdateVersion(row.version)) << row.version;
    }
}

}  // namespace
