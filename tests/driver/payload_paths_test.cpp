// Work folders, package and archive names for both bitnesses, and the fit check of 260 bytes.
#include "driver/payload_paths.h"

#include <gtest/gtest.h>

#include "driver/product_version.h"
#include "product/mako_version.h"

namespace {

TEST(PayloadPaths, FoldersAndFilesForBothBitnesses) {
    const std::string u = "C:\\users\\ann\\AppData\\LocalLow";
    struct Row {
        bool nativeX64;
        const char* work;
    };
    const Row rows[] = {
        {false, "C:\\users\\ann\\AppData\\LocalLow\\Halden\\Mako\\forge3.1.0_27"},
        {true, "C:\\users\\ann\\AppData\\LocalLow\\Halden\\Mako\\forge3.1.0_27_x64"},
    };
    for (const Row& row : rows) {
        const payload::PayloadPaths msi = payload::composeMsiPaths(u, row.nativeX64);
        ASSERT_TRUE(msi.ok) << msi.error;
        EXPECT_EQ(msi.haldenFolder, u + "\\Halden\\");
        EXPECT_EQ(msi.makoFolder, u + "\\Halden\\Mako\\");
        EXPECT_EQ(msi.workFolder, row.work);
        EXPECT_EQ(msi.file, std::string(row.work) + "\\forge3.1.0_27.msi");

        const payload::PayloadPaths cab = payload::composeCabPaths(u, "st310270", row.nativeX64);
        ASSERT_TRUE(cab.ok) << cab.error;
        EXPECT_EQ(cab.workFolder, row.work);
        EXPECT_EQ(cab.file, std::string(row.work) + "\\st310270.cab");
    }
}

TEST(PayloadPaths, ArchiveTableAndNames) {
    const char* const expected[][3] = {
        {"ss310270", "MAKO_CAB9", "110"},
        {"st310270", "MAKO_CAB10", "111"},
        {"sj310270", "MAKO_CAB7", "108"},
        {"sz310270", "MAKO_CAB11", "112"},
    };
    ASSERT_EQ(payload::kArchives.size(), 4u);
    for (size_t i = 0; i < payload::kArchives.size(); ++i) {
        EXPECT_EQ(payload::archiveBaseName(payload::kArchives[i].prefix), expected[i][0]);
        EXPECT_STREQ(payload::kArchives[i].type, expected[i][1]);
        EXPECT_EQ(std::to_string(payload::kArchives[i].id), expected[i][2]);
    }
}

// The longest path is the 64-bit package; its limit decides, and nothing longer is handed out cut.
TEST(PayloadPaths, RefusesPathsThatDoNotFit) {
    const std::string tail = "\\Halden\\Mako\\forge3.1.0_27_x64\\forge3.1.0_27.msi";
    const std::string fitting(259 - tail.size(), 'u');
    EXPECT_TRUE(payload::composeMsiPaths(fitting, true).ok);
    const payload::PayloadPaths over = payload::composeMsiPaths(fitting + "u", true);
    EXPECT_FALSE(over.ok);
    EXPECT_TRUE(over.file.empty());
    EXPECT_TRUE(over.workFolder.empty());
    EXPECT_NE(over.error.find("260"), std::string::npos);
    // The 32-bit name is four characters shorter, and an archive name shorter still.
    EXPECT_TRUE(payload::composeMsiPaths(fitting + "uuuu", false).ok);
    EXPECT_FALSE(payload::composeMsiPaths(fitting + "uuuuu", false).ok);
    EXPECT_FALSE(payload::composeCabPaths(std::string(300, 'u'), "ss310270", false).ok);
    EXPECT_FALSE(payload::composeCabPaths("C:\\u", std::string(260, 'n'), false).ok);
}

TEST(PayloadPaths, VersionConstantsMatchTheParsedVersion) {
    const MakoVersionDetails parsed(product_version::kProductFullVersion);
    EXPECT_EQ(parsed.getMajor(), product_version::kMajor);
    EXPECT_EQ(parsed.getMinor(), product_version::kMinor);
    EXPECT_EQ(parsed.getMicro(), product_version::kMicro);
    EXPECT_EQ(parsed.getUpdate(), product_version::kUpdate);
    EXPECT_EQ(parsed.getBuild(), product_version::kBuild);
    EXPECT_EQ(std::string(product_version::kProductFullVersion).rfind(product_version::kProductVersion, 0), 0u);
}

}  // namespace
