// System information, folders and run-time binding, in the test run's 64-bit Wine prefix.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/all_utils.h"
#include "platform/dll.h"
#include "platform/logger.h"
#include "platform/registry.h"
#include "platform/sysinfo.h"
#include "platform/tstrings.h"
#include "platform/win_errors.h"
#include "win_test_support.h"

namespace {

using ::testing::AllOf;
using ::testing::EndsWith;
using ::testing::StartsWith;
using ::testing::ThrowsMessage;

constexpr bool kBuiltFor32Bit = sizeof(void*) == 4;

// An ordinary static object of another unit: it must already find the version and the log sink.
struct SeenAtStaticConstruction {
    int32_t generation = osGeneration;
    std::string logPath = globalLogger.path;
    std::string program = processName;
} seenAtStaticConstruction;

bool isFolder(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool endsWithIgnoreCase(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() && tstrings::equalsIgnoreCase(text.substr(text.size() - tail.size()), tail);
}

std::string environment(const char* name) {
    char value[MAX_PATH] = {};
    const DWORD length = GetEnvironmentVariableA(name, value, MAX_PATH);
    return length > 0 && length < MAX_PATH ? std::string(value, length) : std::string();
}

TEST(SysInfo, BitnessOfThisBuildOnA64BitPrefix) {
    EXPECT_TRUE(is64BitOS());
    EXPECT_EQ(kBuiltFor32Bit, SysInfo::isWow64());
    EXPECT_EQ(kBuiltFor32Bit, is32BitProcess());
    EXPECT_EQ(kBuiltFor32Bit ? 0x20219u : 0x20119u, static_cast<unsigned>(ownRegistryViewAccess()));
    // Process-wide objects are built before ordinary statics of other units.
    EXPECT_NE(0, seenAtStaticConstruction.generation);
    EXPECT_EQ(osGeneration, seenAtStaticConstruction.generation);
    EXPECT_EQ(globalLogger.path, seenAtStaticConstruction.logPath);
    EXPECT_EQ(processName, seenAtStaticConstruction.program);
}

TEST(SysInfo, FoldersOfThePrefix) {
    const std::string temp = SysInfo::getTempDir();
    EXPECT_EQ(removeTrailingSeparators(environment("TEMP")), temp);
    EXPECT_TRUE(isFolder(temp)) << temp;
    EXPECT_TRUE(endsWithIgnoreCase(SysInfo::getSystem32Dir(), "\\system32"));
    EXPECT_TRUE(endsWithIgnoreCase(SysInfo::getSystemWow64Dir(), "\\syswow64"));
    const std::string common = SysInfo::getProgramFilesCommonX86Dir();
    EXPECT_TRUE(endsWithIgnoreCase(common, "\\Program Files (x86)\\Common Files") && isFolder(common)) << common;

    char folder[MAX_PATH] = {};
    userDataFolder(folder);
    EXPECT_EQ(environment("USERPROFILE") + (osGeneration >= 2 ? "\\AppData\\LocalLow" : "\\AppData\\Roaming"), folder);
    EXPECT_TRUE(isFolder(folder));

    const std::string self = SysInfo::getProcessModulePath();
    const std::string here = self.substr(0, self.find_last_of('\\'));
    EXPECT_TRUE(fileExists(self));
    EXPECT_TRUE(fileExists(here + "\\*.exe")) << "a matching pattern exists";
    EXPECT_FALSE(fileExists(here + "\\*.nothing-has-this"));
}

TEST(Dll, BindsFromTheSystemFolderAndLocatesMissingFunctions) {
    using GetCurrentProcessIdFn = DWORD(WINAPI*)();
    DllFunction<GetCurrentProcessIdFn> present(Dll::system("kernel32.dll"), "GetCurrentProcessId");
    ASSERT_TRUE(present);
    EXPECT_EQ(GetCurrentProcessId(), static_cast<GetCurrentProcessIdFn>(present)());

    DllFunction<GetCurrentProcessIdFn> missing(Dll::system("kernel32.dll"), "NoSuchExportAnywhere");
    EXPECT_TRUE(missing.isNull());
    EXPECT_THAT([&] { static_cast<GetCurrentProcessIdFn>(missing); },
                ThrowsMessage<std::runtime_error>(AllOf(StartsWith("dll.h(104) at "),
                                                        EndsWith("(): function NoSuchExportAnywhere is not available"))));
    EXPECT_THAT([] { Dll("C:\\no\\such\\library.dll"); },
                ThrowsMessage<SysError>(StartsWith("dll_win.cpp(17) at Dll::Dll(): LoadLibraryW(C:\\no\\such\\library.dll) "
                                                   "failed. System error [")));
}

// Wine reports the Windows version set for the program (AppDefaults\<exe>\Version) or for the
// prefix; the per-program key touches no other test.
TEST(SysInfo, GenerationFollowsTheWindowsVersionWineReports) {
    const char* const key = "Software\\Wine\\AppDefaults\\version_probe.exe";
    const std::string bits = kBuiltFor32Bit ? " 1" : " 0";
    struct Row { const char* version; const char* line; const char* dataFolder; };
    const Row rows[] = {
        {"winxp", "1 5.1", "\\AppData\\Roaming"},
        {"win7", "3 6.1", "\\AppData\\LocalLow"},
        {"win10", "6 10.0", "\\AppData\\LocalLow"},  // GetVersionExW alone would say 6.2 here
    };
    for (const Row& row : rows) {
        const std::string out = wintest::scratchFile(std::string("probe-") + row.version);
        RegistryKey::open(RegistryKey::user(), key, RegistryKey::ReadWrite).setString("Version", row.version);
        EXPECT_EQ(0, wintest::waitExitCode(wintest::startHelper("version_probe", {out})));
        RegDeleteKeyA(HKEY_CURRENT_USER, key);
        EXPECT_EQ(row.line + bits + "\r\n" + environment("USERPROFILE") + row.dataFolder + "\r\n", wintest::readFile(out))
            << row.version;
        DeleteFileA(out.c_str());
    }
}

TEST(FatalError, EndsTheProcessWithTheErrorCode) {
    if (!environment("DISPLAY").empty()) GTEST_SKIP() << "a real display would keep the message box up";
    EXPECT_EQ(1813, wintest::waitExitCode(wintest::startHelper("version_probe", {"fatal", "1813"})));
}

}  // namespace
