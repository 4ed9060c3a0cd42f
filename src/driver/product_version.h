#pragma once
// This build's own product version, as the driver spells it in folder names, registry keys and
// archive names. The parsed form (MakoVersionDetails of kProductFullVersion) must agree with the
// numbers below; a test checks that.

namespace product_version {

constexpr const char* kProductVersion = "3.1.0_27";          // folders, registry keys
constexpr const char* kProductFullVersion = "3.1.0_27-b09";  // with the build
constexpr int kMajor = 3;
constexpr int kMinor = 1;
constexpr int kMicro = 0;
constexpr int kUpdate = 27;
constexpr int kBuild = 9;

}  // namespace product_version
