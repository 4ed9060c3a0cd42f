#include "product/product_codes.h"

#include <gtest/gtest.h>

namespace {

using mscrub::MCleaner;

TEST(MCleaner, ProductCodesAcrossGenerations) {
    struct Row { const char* version; const char* code32; const char* code64; };
    const Row rows[] = {
        // 1.4.2 up to 1.5.0: one code for both architectures
        {"1.4.2_05", "{5E29B1C4-7A30-11D6-B35D-00C0A9142050}", "{5E29B1C4-7A30-11D6-B35D-00C0A9142050}"},
        {"1.4.9_99-b99", "{5E29B1C4-7A30-11D6-B35D-00C0A9149990}", "{5E29B1C4-7A30-11D6-B35D-00C0A9149990}"},
        // 1.5.0 up to 1.6.0_10: the architecture leads the code
        {"1.5.0", "{3229B1C4-7A30-11D6-B35D-00C0A9150000}", "{6429B1C4-7A30-11D6-B35D-00C0A9150000}"},
        {"1.6.0_09-b99", "{3229B1C4-7A30-11D6-B35D-00C0A9160090}", "{6429B1C4-7A30-11D6-B35D-00C0A9160090}"},
        // from 1.6.0_10 on: the B scheme; the build takes part in the threshold only
        {"1.6.0_10", "{3C81D5F2-4B6E-4D17-9A3C-5E83216010F0}", "{3C81D5F2-4B6E-4D17-9A3C-5E86416010F0}"},
        {"1.7.0_59", "{3C81D5F2-4B6E-4D17-9A3C-5E83217059F0}", "{3C81D5F2-4B6E-4D17-9A3C-5E86417059F0}"},
        {"1.7.0_60", "{3C81D5F2-4B6E-4D17-9A3C-5E03217060F0}", "{3C81D5F2-4B6E-4D17-9A3C-5E06417060F0}"},
        {"1.7.0_72", "{3C81D5F2-4B6E-4D17-9A3C-5E83217072F0}", "{3C81D5F2-4B6E-4D17-9A3C-5E86417072F0}"},
        // three-digit updates drop the digit after the prefix
        {"1.6.0_101", "{3C81D5F2-4B6E-4D17-9A3C-5E32160101F0}", "{3C81D5F2-4B6E-4D17-9A3C-5E64160101F0}"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(row.code32, MCleaner::getProductGUID(row.version, 32)) << row.version;
        EXPECT_EQ(row.code64, MCleaner::getProductGUID(row.version, 64)) << row.version;
    }
}

TEST(MCleaner, RefusesOlderVersionsAndMalformedStrings) {
    for (const char* version : {"1.4.1_10", "1.3.9_99-b99", "1.6", "1.6.0_1o"})
        EXPECT_THROW(MCleaner::getProductGUID(version, 32), std::runtime_error) << version;
}

}  // namespace
