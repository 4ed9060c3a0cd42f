// Bitness and the Windows version as Wine reports them. A payload file that cannot be written, with
// the Windows error as exit code, is shown end to end (tests/e2e).
#include <gtest/gtest.h>

#include "platform/file_system.h"
#include "platform/logger.h"
#include "platform/registry.h"
#include "platform/sysinfo.h"
#include "platform/win_test_support.h"

namespace {

// An ordinary static object of another unit: it must already find the version and the log sink.
struct SeenAtStaticConstruction {
    int32_t generation = osGeneration;
    std::string logPath = globalLogger.path;
} seenAtStaticConstruction;

// ARM64 Windows runs x86 and x64 programs too, with the same two registry views as x64.
TEST(SysInfo, SixtyFourBitWindowsOnEveryArchitectureThatHasIt) {
    for (const WORD architecture : {PROCESSOR_ARCHITECTURE_AMD64, PROCESSOR_ARCHITECTURE_ARM64, PROCESSOR_ARCHITECTURE_IA64})
        EXPECT_TRUE(is64BitArchitecture(architecture)) << architecture;
    for (const WORD architecture : {PROCESSOR_ARCHITECTURE_INTEL, PROCESSOR_ARCHITECTURE_ARM, PROCESSOR_ARCHITECTURE_UNKNOWN})
        EXPECT_FALSE(is64BitArchitecture(architecture)) << architecture;
}

// The process's bitness is the probe's first line below.
TEST(SysInfo, ProcessWideObjectsBeforeOrdinaryStatics) {
    EXPECT_NE(0, seenAtStaticConstruction.generation);
    EXPECT_EQ(osGeneration, seenAtStaticConstruction.generation);
    EXPECT_EQ(globalLogger.path, seenAtStaticConstruction.logPath);
}

// Wine reports the Windows version set for the program (AppDefaults\<exe>\Version); the
// per-program key touches no other test.
TEST(SysInfo, GenerationAndDataFolderFollowTheWindowsVersion) {
    const char* const key = "Software\\Wine\\AppDefaults\\version_probe.exe";
    const std::string bits = sizeof(void*) == 4 ? " 1" : " 0";  // a 32-bit build is a 32-bit process
    struct Row { const char* version; const char* line; const char* dataFolder; };
    const Row rows[] = {
        {"winxp", "1 5.1", "\\AppData\\Roaming"},
        {"win7", "3 6.1", "\\AppData\\LocalLow"},
        {"win10", "6 10.0", "\\AppData\\LocalLow"},  // GetVersionExW alone would say 6.2 here
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.version);
        const std::string out = wintest::scratchFile(std::string("probe-") + row.version);
        RegistryKey::open(RegistryKey::user(), key, RegistryKey::ReadWrite).setString("Version", row.version);
        EXPECT_EQ(0, wintest::run(LAUNCHER_HELPER_DIR "\\version_probe.exe", "\"" + out + "\""));
        RegDeleteKeyA(HKEY_CURRENT_USER, key);
        const std::string text = wintest::readFile(out);
        EXPECT_EQ(row.line + bits, text.substr(0, text.find('\r')));
        EXPECT_NE(std::string::npos, text.find(row.dataFolder + std::string("\r\n"))) << text;
        DeleteFileA(out.c_str());
    }
}

}  // namespace
