#include "product/product_codes.h"

#include "platform/errors.h"
#include "platform/tstrings.h"
#include "product/mako_version.h"

namespace mscrub {

namespace {

// The scheme changed three times; each generation's packages keep the codes they shipped with.
const char kAPrefix[] = "5E29B1C4-7A30-11D6-B35D-00C0A9";  // 1.4.2 up to 1.5.0
const char kAInfix[] = "29B1C4-7A30-11D6-B35D-00C0A9";     // 1.5.0 up to 1.6.0_10, after the bits
const char kBPrefix8[] = "3C81D5F2-4B6E-4D17-9A3C-5E8";
const char kBPrefix0[] = "3C81D5F2-4B6E-4D17-9A3C-5E0";    // 1.7.0_60 to 1.7.0_71
const char kBPrefix[] = "3C81D5F2-4B6E-4D17-9A3C-5E";      // three-digit updates

}  // namespace

std::string MCleaner::getProductGUID(const std::string& version, int arch) {
    static const MakoVersionDetails kOldestSupported("1.4.2");
    static const MakoVersionDetails kArchInCode("1.5.0");
    static const MakoVersionDetails kGeneration6("1.6.0");
    static const MakoVersionDetails kSchemeB("1.6.0_10");

    const MakoVersionDetails v(version);
    using VersionDetails::greaterThan;
    if (greaterThan(kOldestSupported, v)) {
        throw MdsError<std::runtime_error>(std::runtime_error("Mako version less than 1.4.2 is not supported"),
                                           LAUNCHER_HERE("mscrub::MCleaner::getProductGUID"));
    }
    const std::string bits = tstrings::toString(static_cast<int32_t>(arch));
    const bool schemeA = greaterThan(kSchemeB, v);
    std::string body;
    if (greaterThan(kArchInCode, v)) {
        body = kAPrefix;
    } else if (greaterThan(kGeneration6, v) || schemeA) {
        body = bits + kAInfix;
    } else if (v.getUpdate() < 100) {
        const bool seventhRange = v.getMinor() == 7 && v.getUpdate() >= 60 && v.getUpdate() <= 71;
        body = (seventhRange ? kBPrefix0 : kBPrefix8) + bits;
    } else {
        body = kBPrefix + bits;
    }
    return "{" + body + tstrings::format("%d%d%d%02d", v.getMajor(), v.getMinor(), v.getMicro(), v.getUpdate()) +
           (schemeA ? "0" : "F0") + "}";
}

}  // namespace mscrub
