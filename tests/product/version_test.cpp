#include "product/mako_version.h"
#include "product/version.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// Each row: the text and its components ("3.1.0.27.9"), or the refusal: "short", or the number of
// unrecognised characters.
using GrammarRows = std::vector<std::pair<const char*, const char*>>;

template <class V>
void checkGrammar(const GrammarRows& rows) {
    for (const auto& [text, expected] : rows) {
        std::string got;
        try {
            const V version(text);
            for (int c : version.components()) got += (got.empty() ? "" : ".") + std::to_string(c);
        } catch (const std::runtime_error& e) {
            const std::string what = e.what();
            got = what.find("The string is too short") != std::string::npos ? "short" : what.substr(what.rfind(' ') + 1);
        }
        EXPECT_EQ(expected, got) << text;
    }
}

TEST(MakoVersionDetails, ProductGrammar) {
    checkGrammar<MakoVersionDetails>({
        {"3.1.0", "3.1.0.0.0"}, {"3.1.0_27-b09", "3.1.0.27.9"}, {"3.1.0-ea-b09", "3.1.0.0.9"},
        {"3.1.0_27-b0", "3.1.0.27.0"},          // build 0 is a tag
        {"3.1.0_27-ea-x-b11", "3.1.0.27.11"},  // the tag may hold dashes
        {"1.6.0_101", "1.6.0.101.0"}, {"3.1.2147483647", "3.1.2147483647.0.0"},
        {"3.1", "short"}, {"3.0.1", "4"}, {"0.1.0", "5"}, {"3.1.0_27-b09-x", "2"}, {"3.1.2147483648", "10"},
    });
}

TEST(VersionDetails, DottedGrammar) {
    checkGrammar<AgentVersionDetails>({
        {"2.3.27.9", "2.3.27.9"}, {"2.3.27", "short"}, {"2.3.27.9.0", "2"}, {"2.3.27.9-b1", "4"},
        {"2.03.27.09", "2.3.27.9"},  // a component is digits only, leading zeros allowed
        {"2.3.+27.9", "5"}, {"2.3. 27.9", "5"}, {"2.3.27a.9", "5"}, {"2.3.27.-9", "2"},
    });
}

TEST(MakoVersionDetails, Comparisons) {
    const MakoVersionDetails b09("3.1.0_27-b09"), b11("3.1.0_27-b11"), plain("3.1.0_27");
    EXPECT_TRUE(withoutBuild(b09) == withoutBuild(b11));
    EXPECT_TRUE(greaterThan(b11, b09));
    EXPECT_TRUE(b09 == MakoVersionDetails("3.1.0_27-ea-b09"));  // tags are ignored
    EXPECT_TRUE(greaterThan(MakoVersionDetails("3.1.0_28"), b11));  // update decides before build
    EXPECT_TRUE(greaterThan(MakoVersionDetails("10.1.0"), MakoVersionDetails("9.9.9_99")));
    EXPECT_TRUE(greaterThan(b09, plain));
}

}  // namespace
