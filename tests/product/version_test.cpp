#include "product/mako_version.h"
#include "product/version.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct GrammarRow {
    const char* str;
    std::vector<int> components;
    int rest;  // unrecognised characters; -1: too short
};

// Accepted rows give their components; refused ones init()'s exact located message.
template <class V>
void checkGrammar(const std::string& init, const std::vector<GrammarRow>& rows) {
    for (const GrammarRow& row : rows) {
        const std::string str = row.str;
        try {
            const V version(str);
            EXPECT_EQ(0, row.rest) << str;
            EXPECT_EQ(str, version.source());
            EXPECT_EQ(row.components, std::vector<int>(version.components().begin(), version.components().end())) << str;
        } catch (const std::runtime_error& e) {
            const std::string expected =
                row.rest < 0 ? "version.h(79) at " + init + "Failed to parse [" + str + "] version string. The string is too short"
                             : "version.h(73) at " + init + "Failed to parse [" + str +
                                   "] version string completely. Number of unrecognised characters is " +
                                   std::to_string(row.rest);
            EXPECT_EQ(expected, e.what());
        }
    }
}

TEST(MakoVersionDetails, ProductGrammar) {
    checkGrammar<MakoVersionDetails>("VersionDetails::Base<5,struct MakoVersionDetails::Parser,3>::init(): ", {
        {"3.1.0", {3, 1, 0, 0, 0}, 0},
        {"3.1.0_27", {3, 1, 0, 27, 0}, 0},
        {"3.1.0_27-b09", {3, 1, 0, 27, 9}, 0},
        {"3.1.0-ea-b09", {3, 1, 0, 0, 9}, 0},
        {"3.1.0_27-ea", {3, 1, 0, 27, 0}, 0},
        {"3.1.0-b09", {3, 1, 0, 0, 9}, 0},
        {"3.1.0_27-b0", {3, 1, 0, 27, 0}, 0},         // build 0 is a tag
        {"3.1.0_27-ea-x-b11", {3, 1, 0, 27, 11}, 0},  // the tag may hold dashes
        {"1.6.0_101", {1, 6, 0, 101, 0}, 0},
        {"3.1.2147483647", {3, 1, 2147483647, 0, 0}, 0},
        {"3.1", {}, -1},
        {"", {}, -1},
        {"3.1.", {}, -1},
        {"3.0.1", {}, 4},
        {"0.1.0", {}, 5},
        {"3.1.0.4", {}, 2},
        {"3.1.0_2x", {}, 3},
        {"3.1.0_27-b09-x", {}, 2},
        {"3.1.0-", {}, 1},
        {"3.1.0_", {}, 1},
        {"3.1.2147483648", {}, 10},
        {"3.1.x_27", {}, 4},
        {"+3.1.0", {}, 6},
        {"3.1.0 ", {}, 2},
    });
}

TEST(VersionDetails, DottedGrammar) {
    checkGrammar<AgentVersionDetails>("VersionDetails::Base<4,struct VersionDetails::Parser,4>::init(): ", {
        {"2.3.27.9", {2, 3, 27, 9}, 0},
        {"02.0.0.09", {2, 0, 0, 9}, 0},
        {"2.3.27", {}, -1},
        {"", {}, -1},
        {"2.3.27.9.0", {}, 2},
        {"2..3.4", {}, 4},
        {"2.3.27.9-b1", {}, 4},
        {"2.3.27.-9", {}, 2},
    });
}

TEST(MakoVersionDetails, Comparisons) {
    const MakoVersionDetails b09("3.1.0_27-b09"), b11("3.1.0_27-b11"), plain("3.1.0_27");
    EXPECT_FALSE(b09 == b11);
    EXPECT_TRUE(withoutBuild(b09) == withoutBuild(b11));
    EXPECT_EQ(-1, withoutBuild(b09).getBuild());
    EXPECT_TRUE(greaterThan(b11, b09));
    EXPECT_FALSE(greaterThan(b09, b11));
    EXPECT_TRUE(b09 == MakoVersionDetails("3.1.0_27-ea-b09"));  // tags are ignored
    EXPECT_TRUE(greaterThan(MakoVersionDetails("3.1.0_28"), b11));  // update decides before build
    EXPECT_TRUE(greaterThan(MakoVersionDetails("10.1.0"), MakoVersionDetails("9.9.9_99")));
    EXPECT_TRUE(greaterThan(b09, plain));
    EXPECT_TRUE(greaterThan(AgentVersionDetails("2.3.27.9"), AgentVersionDetails("2.3.0.0")));
}

TEST(MakoVersionDetails, FailedInitLeavesTheOldValue) {
    MakoVersionDetails version("3.1.0_27-b09");
    EXPECT_THROW(version.init("3.2.x"), std::runtime_error);
    EXPECT_EQ("3.1.0_27-b09", version.source());
    EXPECT_EQ(9, version.getBuild());
    version.init("3.2.1");
    EXPECT_EQ(0, version.getBuild());  // nothing stale from the earlier value
}

}  // namespace
