// The names this build gives the world outside the launcher, written out: they are composed once in
// cmake/ProductFacts.cmake and the stand-in packages take the same values, so only a copy here tells
// when a composition there goes wrong (earlier releases, removal tools and the kit's package look
// for exactly these).
#include <gtest/gtest.h>

#include "driver/existing_installations_keys.h"
#include "driver/payload_paths.h"
#include "driver/update_agent.h"

namespace {

TEST(ProductFacts, NamesOutsideTheLauncherKnow) {
    const struct { std::string actual, expected; } rows[] = {
        {productVersion().source(), "3.1.0_27-b09"},
        {productVersionName(), "3.1.0_27"},
        {forgeProductCode(32), "{3261C2D8-E3A5-11D6-B94C-00C0A9210270}"},
        {forgeProductCode(64), "{6461C2D8-E3A5-11D6-B94C-00C0A9210270}"},
        {forgeVersionKey(), "SOFTWARE\\Velmora\\Mako Development Kit\\3.1.0_27"},
        {update_agent::kBundledVersion, "2.3.27.9"},
        {update_agent::kProductCode, "{5C17A2B3-0D4E-4F61-8A29-3B6E1C7D9F04}"},
        {payload::kCabExtractEventName, "HaldenForgeCabExtractWaitEvent"},
    };
    for (const auto& row : rows) EXPECT_EQ(row.expected, row.actual);
}

}  // namespace
