// Command lines of the development-kit installer and the public-runtime installer, row by row.
#include "driver/installer_command.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const std::string kMsiexec = "C:\\windows\\system32\\msiexec.exe";
const std::string kMsi = "C:\\u\\Halden\\Mako\\forge3.1.0_27\\forge3.1.0_27.msi";
const std::string kHead = "\"" + kMsiexec + "\" /i \"" + kMsi + "\" ";

ForgeCommandInputs inputs() {
    ForgeCommandInputs in;
    in.msiexecPath = kMsiexec;
    in.msiPath = kMsi;
    return in;
}

struct ForgeRow {
    const char* name;
    ForgeCommandInputs in;
    std::string expected;
    std::string expectedArguments;
};

TEST(ForgeCommand, ComposesEveryPartInItsPlace) {
    auto with = [](auto change) {
        ForgeCommandInputs in = inputs();
        change(in);
        return in;
    };
    const ForgeRow rows[] = {
        {"plain English", inputs(), kHead + " WRAPPER=1", ""},
        {"arguments keep their trailing space", with([](auto& in) { in.installerArguments = "A=1 "; }),
         kHead + "A=1  WRAPPER=1", "A=1 "},
        {"transform right after the package",
         with([](auto& in) { in.transformLanguage = 2052; in.installerArguments = "A=1 "; }),
         kHead + "TRANSFORMS=:2052 A=1  WRAPPER=1", "A=1 "},
        {"silent adds /qn and the default features",
         with([](auto& in) { in.silent = true; }),
         kHead + " /qn ADDLOCAL=PublicloomFeature,ToolsFeature WRAPPER=1",
         " /qn ADDLOCAL=PublicloomFeature,ToolsFeature"},
        {"silent does not double /qn", with([](auto& in) { in.silent = true; in.installerArguments = "/qn "; }),
         kHead + "/qn  ADDLOCAL=PublicloomFeature,ToolsFeature WRAPPER=1",
         "/qn  ADDLOCAL=PublicloomFeature,ToolsFeature"},
        {"ADDLOCAL in the text is not the key",
         with([](auto& in) { in.silent = true; in.installerArguments = "ADDLOCAL=ToolsFeature "; }),
         kHead + "ADDLOCAL=ToolsFeature  /qn ADDLOCAL=PublicloomFeature,ToolsFeature WRAPPER=1",
         "ADDLOCAL=ToolsFeature  /qn ADDLOCAL=PublicloomFeature,ToolsFeature"},
        {"the ADDLOCAL key suppresses the default",
         with([](auto& in) { in.silent = true; in.hasAddLocalKey = true; }), kHead + " /qn WRAPPER=1", " /qn"},
        {"log path right behind WRAPPER=1",
         with([](auto& in) { in.installerLogPath = "C:\\logs\\kit.log"; in.installDir = "C:\\Kit"; }),
         kHead + " WRAPPER=1 /l \"C:\\logs\\kit.log\" INSTALLDIR=\"C:\\Kit\" ", ""},
        {"folder with spaces gets quotes", with([](auto& in) { in.installDir = "C:\\Dev Kits\\Forge"; }),
         kHead + " WRAPPER=1 INSTALLDIR=\"C:\\Dev Kits\\Forge\" ", ""},
        {"quoted folder is used unchanged", with([](auto& in) { in.installDir = "\"C:\\Dev Kits\\Forge\""; }),
         kHead + " WRAPPER=1 INSTALLDIR=\"C:\\Dev Kits\\Forge\" ", ""},
        {"a quote inside is not a quoted folder", with([](auto& in) { in.installDir = "\"C:\\a\"b"; }),
         kHead + " WRAPPER=1 INSTALLDIR=\"\"C:\\a\"b\" ", ""},
        {"NOSTARTMENU comes last",
         with([](auto& in) { in.noStartMenu = true; in.installDir = "C:\\Kit"; in.transformLanguage = 1041; }),
         kHead + "TRANSFORMS=:1041  WRAPPER=1 INSTALLDIR=\"C:\\Kit\"  NOSTARTMENU=1", ""},
    };
    for (const ForgeRow& row : rows) {
        const ComposedCommand result = composeForgeCommand(row.in);
        EXPECT_TRUE(result.ok) << row.name << ": " << result.failure();
        EXPECT_EQ(result.command, row.expected) << row.name;
        EXPECT_EQ(result.installerArguments, row.expectedArguments) << row.name;
    }
}

// Long administrator input is refused with the buffer's name, never cut. Lengths straddle both the
// old 1,024-character cut and the 2,048-byte capacity.
TEST(ForgeCommand, RefusesWhatDoesNotFitAndCutsNothing) {
    struct Row {
        const char* name;
        size_t cmdlineLength;
        size_t installDirLength;
        bool silent;
        const char* failedBuffer;  // null: fits
    };
    const size_t head = kHead.size() + std::string(" WRAPPER=1").size();
    const size_t dirProperty = std::string(" INSTALLDIR=\"\" ").size();
    const Row rows[] = {
        {"past the old 1,024 cut, fits", 1500, 0, false, nullptr},
        {"command exactly 2047 characters", 2047 - head, 0, false, nullptr},
        {"command of 2048 characters", 2048 - head, 0, false, "command"},
        {"arguments alone too long", 2048, 0, false, "installerArguments"},
        {"silent additions push the arguments over", 2040, 0, true, "installerArguments"},
        {"INSTALLDIR exactly to the limit", 0, 2047 - head - dirProperty, false, nullptr},
        {"INSTALLDIR one over", 0, 2048 - head - dirProperty, false, "finalCommand"},
    };
    for (const Row& row : rows) {
        ForgeCommandInputs in = inputs();
        in.silent = row.silent;
        in.installerArguments = std::string(row.cmdlineLength, 'a');
        in.installDir = std::string(row.installDirLength, 'd');
        const ComposedCommand result = composeForgeCommand(in);
        if (row.failedBuffer == nullptr) {
            ASSERT_TRUE(result.ok) << row.name << ": " << result.failure();
            const std::string tail = in.installDir.empty() ? "" : " INSTALLDIR=\"" + in.installDir + "\" ";
            EXPECT_EQ(result.command, kHead + in.installerArguments + " WRAPPER=1" + tail) << row.name;
        } else {
            EXPECT_FALSE(result.ok) << row.name;
            EXPECT_TRUE(result.command.empty()) << row.name;
            EXPECT_EQ(result.failedBuffer, row.failedBuffer) << row.name;
            EXPECT_GE(result.failedLength, kCommandCapacity) << row.name;
            EXPECT_NE(result.failure().find(std::to_string(result.failedLength)), std::string::npos) << row.name;
        }
    }
}

TEST(RuntimeCommand, ComposesSwitchesAndProperties) {
    const std::string loom = "C:\\Kit\\loom.exe";
    struct Row {
        RuntimeCommandInputs in;
        std::string expected;
    };
    const Row rows[] = {
        {{loom, false, "", false}, "\"" + loom + "\" /s LAUNCHEDFROMFORGE=1"},
        {{loom, true, "", false}, "\"" + loom + "\" /s LAUNCHEDFROMFORGE=1 NOSTARTMENU=1"},
        {{loom, false, "D:\\Run Time", true},
         "\"" + loom + "\" /s LAUNCHEDFROMFORGE=1 INSTALLDIR=\"D:\\Run Time\"  REBOOT=ReallySuppress"},
        {{loom, true, "\"D:\\R\"", false}, "\"" + loom + "\" /s LAUNCHEDFROMFORGE=1 NOSTARTMENU=1 INSTALLDIR=\"D:\\R\" "},
    };
    for (const Row& row : rows) EXPECT_EQ(composeRuntimeCommand(row.in).command, row.expected);

    EXPECT_EQ(composeRuntimeInstallerPath("C:\\Kit").command, loom);
    EXPECT_EQ(composeRuntimeInstallerPath(std::string(2040, 'h')).failedBuffer, "runtimeInstaller");
    EXPECT_EQ(composeRuntimeCommand({loom, false, std::string(2020, 'r'), false}).failedBuffer, "runtimeCommand");
}

TEST(RuntimeCommand, FeatureSelectionDecidesThePublicRuntime) {
    const std::pair<const char*, bool> rows[] = {
        {"", true},
        {" /qn ADDLOCAL=PublicloomFeature,ToolsFeature", true},
        {"ADDLOCAL=ALL ", true},
        {"ADDLOCAL=ToolsFeature  /qn ADDLOCAL=PublicloomFeature,ToolsFeature", true},
        {"ADDLOCAL=ToolsFeature  /qn", false},
        {"addlocal=publicloomfeature", true},  // no ADDLOCAL in capitals: nothing selected
        {"ADDLOCAL=publicloomfeature", false},
    };
    for (const auto& row : rows) EXPECT_EQ(selectsPublicRuntime(row.first), row.second) << row.first;
}

}  // namespace
