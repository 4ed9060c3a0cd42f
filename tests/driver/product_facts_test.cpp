// The kit's product codes, written out: they are composed once in cmake/ProductFacts.cmake and the
// stand-in packages and the end-to-end tests take the same values, so only a copy here tells when
// that composition goes wrong (earlier releases and removal tools look for exactly these). The other
// names the world outside knows are written out in the end-to-end tests.
#include <gtest/gtest.h>

#include "driver/existing_installations_keys.h"

namespace {

TEST(ProductFacts, KitProductCodesOutsideTheLauncherKnow) {
    EXPECT_EQ("{3261C2D8-E3A5-11D6-B94C-00C0A9210270}", forgeProductCode(32));
    EXPECT_EQ("{6461C2D8-E3A5-11D6-B94C-00C0A9210270}", forgeProductCode(64));
}

}  // namespace
