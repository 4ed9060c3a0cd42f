// Work folders, package and archive names for both bitnesses, and the fit check of 260 bytes.
#include "driver/payload_paths.h"

#include <gtest/gtest.h>

namespace {

TEST(PayloadPaths, FoldersAndFilesForBothBitnesses) {
    const std::string u = "C:\\users\\ann\\AppData\\LocalLow";
    for (const bool nativeX64 : {false, true}) {
        const std::string work = u + "\\Halden\\Mako\\forge3.1.0_27" + (nativeX64 ? "_x64" : "");
        const payload::PayloadPaths msi = payload::composeMsiPaths(u, nativeX64);
        ASSERT_TRUE(msi.ok) << msi.error;
        EXPECT_EQ(msi.haldenFolder, u + "\\Halden\\");
        EXPECT_EQ(msi.makoFolder, u + "\\Halden\\Mako\\");
        EXPECT_EQ(msi.workFolder, work);
        EXPECT_EQ(msi.file, work + "\\forge3.1.0_27.msi");
        const payload::PayloadPaths cab = payload::composeCabPaths(u, "st310270", nativeX64);
        EXPECT_EQ(cab.workFolder, work);
        EXPECT_EQ(cab.file, work + "\\st310270.cab");
    }
}

// The longest path is the 64-bit package; its limit decides, and nothing longer is handed out cut.
TEST(PayloadPaths, RefusesPathsThatDoNotFit) {
    const std::string tail = "\\Halden\\Mako\\forge3.1.0_27_x64\\forge3.1.0_27.msi";
    const std::string fitting(259 - tail.size(), 'u');
    EXPECT_TRUE(payload::composeMsiPaths(fitting, true).ok);
    const payload::PayloadPaths over = payload::composeMsiPaths(fitting + "u", true);
    EXPECT_FALSE(over.ok);
    EXPECT_TRUE(over.file.empty() && over.workFolder.empty());
    EXPECT_NE(over.error.find("260"), std::string::npos);
    // The 32-bit name is four characters shorter.
    EXPECT_TRUE(payload::composeMsiPaths(fitting + "uuuu", false).ok);
    EXPECT_FALSE(payload::composeMsiPaths(fitting + "uuuuu", false).ok);
    EXPECT_FALSE(payload::composeCabPaths("C:\\u", std::string(260, 'n'), false).ok);
    // Without a user data folder they would hang off the current drive's root.
    EXPECT_FALSE(payload::composeMsiPaths("", false).ok);
    EXPECT_FALSE(payload::composeCabPaths("", "st310270", true).ok);
}

}  // namespace
