// The fit check of 260 bytes for both bitnesses. The work folders, package and archive names are
// checked end to end: each bitness's launcher extracts the payload to its own folder (tests/e2e).
#include "driver/payload_paths.h"

#include <gtest/gtest.h>

namespace {

// The longest path is the 64-bit package; nothing longer than 259 bytes is handed out cut, and
// nothing hangs off the current drive's root without a user data folder.
TEST(PayloadPaths, RefusesPathsThatDoNotFit) {
    const std::string fitting(259 - std::string("\\Halden\\Mako\\forge3.1.0_27_x64\\forge3.1.0_27.msi").size(), 'u');
    const struct { std::string folder; bool nativeX64, ok; } rows[] = {
        {fitting, true, true}, {fitting + "u", true, false}, {fitting + "uuuu", false, true}, {fitting + "uuuuu", false, false},
        {"", false, false},
    };
    for (const auto& row : rows) {
        const payload::PayloadPaths paths = payload::composeMsiPaths(row.folder, row.nativeX64);
        EXPECT_EQ(row.ok, paths.ok) << row.folder.size();
        EXPECT_EQ(row.ok, !paths.file.empty() && !paths.workFolder.empty()) << row.folder.size();
    }
    EXPECT_FALSE(payload::composeCabPaths("C:\\u", std::string(260, 'n'), false).ok);
    EXPECT_FALSE(payload::composeCabPaths("", "st310270", true).ok);
}

}  // namespace
