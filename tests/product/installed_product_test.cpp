#include "product/installed_product.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace {

using ::testing::ThrowsMessage;
using ::testing::HasSubstr;

TEST(InstalledProduct, OwnVersionAndLookupIgnoringBuild) {
    EXPECT_EQ("3.1.0_27", productVersionName());
    EXPECT_EQ(9, productVersion().getBuild());

    const std::vector<InstalledProduct> list = {makeProduct(64, installed::Runtime, MakoVersionDetails("3.1.0_26-b09")),
                                                makeProduct(64, installed::Runtime, MakoVersionDetails("3.1.0_27-b12")),
                                                makeProduct(32, installed::DevelopmentKit, MakoVersionDetails("3.1.0_27"))};
    const auto found = findInstalled(list, "3.1.0_27-b09");
    ASSERT_TRUE(found);
    EXPECT_EQ(12, found->version.getBuild()) << "the first match in list order";
    EXPECT_STREQ("loom", found->typeName);
    EXPECT_FALSE(found->isStatic || !found->home.empty());
    EXPECT_FALSE(findInstalled(list, "3.1.0_28"));
    EXPECT_THAT([&] { findInstalled(list, "3.1"); }, ThrowsMessage<std::runtime_error>(HasSubstr("too short")));
    EXPECT_THAT([] { makeProduct(48, installed::Runtime, productVersion()); },
                ThrowsMessage<std::runtime_error>(HasSubstr("unexpected arch: 48")));
    EXPECT_THAT([] { makeProduct(32, 2, productVersion()); },
                ThrowsMessage<std::runtime_error>(HasSubstr("unexpected type: 2")));
}

}  // namespace
