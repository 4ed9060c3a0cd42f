// Command lines of the development-kit installer and the public-runtime installer, row by row. The
// ordinary silent, transform, folder and log commands are shown end to end (tests/e2e).
#include "driver/installer_command.h"
#include "driver/update_agent.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const std::string kMsiexec = "C:\\windows\\system32\\msiexec.exe";
const std::string kMsi = "C:\\u\\Halden\\Mako\\forge3.1.0_27\\forge3.1.0_27.msi";
const std::string kHead = "\"" + kMsiexec + "\" /i \"" + kMsi + "\" ";
const std::string kDefaultFeatures = " /qn ADDLOCAL=PublicloomFeature,ToolsFeature";

ForgeCommandInputs inputs(bool silent, std::string arguments, std::string installDir = "") {
    ForgeCommandInputs in;
    in.msiexecPath = kMsiexec;
    in.msiPath = kMsi;
    in.silent = silent;
    in.installerArguments = std::move(arguments);
    in.installDir = std::move(installDir);
    return in;
}

TEST(ForgeCommand, ComposesEveryPartInItsPlace) {
    ForgeCommandInputs addLocalKey = inputs(true, ""), lastOne = inputs(false, "", "C:\\Kit");
    addLocalKey.hasAddLocalKey = true;
    lastOne.noStartMenu = true;
    lastOne.transformLanguage = 1041;
    const struct { const char* name; ForgeCommandInputs in; std::string command, arguments; } rows[] = {
        {"silent does not double /qn", inputs(true, "/qn "), kHead + "/qn  ADDLOCAL=PublicloomFeature,ToolsFeature WRAPPER=1",
         "/qn  ADDLOCAL=PublicloomFeature,ToolsFeature"},
        {"ADDLOCAL in the text is not the key", inputs(true, "ADDLOCAL=ToolsFeature "),
         kHead + "ADDLOCAL=ToolsFeature " + kDefaultFeatures + " WRAPPER=1", "ADDLOCAL=ToolsFeature " + kDefaultFeatures},
        {"the ADDLOCAL key suppresses the default", addLocalKey, kHead + " /qn WRAPPER=1", " /qn"},
        {"NOSTARTMENU comes last", lastOne, kHead + "TRANSFORMS=:1041  WRAPPER=1 INSTALLDIR=\"C:\\Kit\"  NOSTARTMENU=1", ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const ComposedCommand result = composeForgeCommand(row.in);
        EXPECT_TRUE(result.ok) << result.failure();
        EXPECT_EQ(row.command, result.command);
        EXPECT_EQ(row.arguments, result.installerArguments);
    }
}

// Long administrator input is refused with the buffer's name, never cut: each limit exactly met
// and exceeded by one. Input far too long for either buffer is refused end to end (tests/e2e).
TEST(ForgeCommand, RefusesWhatDoesNotFitAndCutsNothing) {
    const size_t head = kHead.size() + std::string(" WRAPPER=1").size();
    const size_t dirProperty = std::string(" INSTALLDIR=\"\" ").size();
    const struct { size_t arguments, installDir; bool silent; const char* failedBuffer; } rows[] = {
        {2047 - head, 0, false, nullptr}, {2048 - head, 0, false, "command"},
        {2047 - kDefaultFeatures.size(), 0, true, "command"}, {2048 - kDefaultFeatures.size(), 0, true, "installerArguments"},
        {0, 2047 - head - dirProperty, false, nullptr},
    };
    for (const auto& row : rows) {
        const ForgeCommandInputs in = inputs(row.silent, std::string(row.arguments, 'a'), std::string(row.installDir, 'd'));
        const ComposedCommand result = composeForgeCommand(in);
        SCOPED_TRACE(std::to_string(row.arguments) + " " + std::to_string(row.installDir));
        EXPECT_EQ(row.failedBuffer == nullptr, result.ok);
        EXPECT_EQ(row.failedBuffer ? row.failedBuffer : "", result.failedBuffer);
        EXPECT_EQ(result.ok ? 2047u : 0u, result.command.size());  // the fitting rows meet the limit exactly
    }
}

// The REBOOT property with a folder is shown end to end (tests/e2e).
TEST(RuntimeCommand, ComposesSwitchesAndPropertiesAndRefusesWhatDoesNotFit) {
    const std::string loom = "C:\\Kit\\loom.exe", head = "\"" + loom + "\" /s LAUNCHEDFROMFORGE=1";
    EXPECT_EQ(head + " NOSTARTMENU=1 INSTALLDIR=\"D:\\R\" ", composeRuntimeCommand({loom, true, "D:\\R", false}).command);
    EXPECT_EQ("runtimeInstaller", composeRuntimeInstallerPath(std::string(2040, 'h')).failedBuffer);
    EXPECT_EQ("runtimeCommand", composeRuntimeCommand({loom, false, std::string(2020, 'r'), false}).failedBuffer);
}

// A value that ends in a backslash must not escape its closing quote: the backslashes before it are
// doubled, and the doubled ones count against the capacity. The kit's folder and log and the
// runtime's folder are shown end to end (tests/e2e); here the agent's package and the capacity.
TEST(FolderQuoting, TrailingBackslashesAreDoubledAndCounted) {
    const std::pair<std::string, std::string> rows[] = {  // value, as quoted
        {"C:\\Kits\\", "\"C:\\Kits\\\\\""}, {"C:\\", "\"C:\\\\\""}, {"C:\\My Kits", "\"C:\\My Kits\""}};
    for (const auto& row : rows)
        EXPECT_EQ("\"" + kMsiexec + "\" /i " + row.second + " ALLUSERS=1 /qn",
                  composeAgentInstallCommand(kMsiexec, row.first, true).command);
    const size_t fitting = 2047 - kHead.size() - std::string(" WRAPPER=1 INSTALLDIR=\"\" ").size();
    EXPECT_TRUE(composeForgeCommand(inputs(false, "", std::string(fitting, 'd'))).ok);
    EXPECT_EQ("finalCommand", composeForgeCommand(inputs(false, "", std::string(fitting - 1, 'd') + "\\")).failedBuffer);
}

TEST(RuntimeCommand, FeatureSelectionDecidesThePublicRuntime) {
    const std::pair<const char*, bool> rows[] = {
        {"", true}, {"ADDLOCAL=ALL ", true}, {"ADDLOCAL=ToolsFeature  /qn ADDLOCAL=PublicloomFeature,ToolsFeature", true},
        {"ADDLOCAL=ToolsFeature  /qn", false}, {"ADDLOCAL=publicloomfeature", false},
        {"addlocal=publicloomfeature", true},  // no ADDLOCAL in capitals: nothing selected
    };
    for (const auto& row : rows) EXPECT_EQ(row.second, selectsPublicRuntime(row.first)) << row.first;
}

}  // namespace
