#pragma once
// What the launcher knows about the system it runs on: Windows generation, bitness, folders.
#include <cstdint>
#include <string>

#if defined(_WIN32)
#include "platform/win32.h"

// The true version of Windows (RtlGetVersion, not what the compatibility layer tells
// GetVersionExW), filled during static construction before the log sink exists.
extern OSVERSIONINFOEXW osVersion;
// 0 older than XP, 1 XP (5.1), 2 Vista (6.0), 3 Windows 7 (6.1), 4 Windows 8 (6.2), 5 Windows 8.1
// (6.3), 6 Windows 10 and later (6.4 and up). Set during static construction.
extern int32_t osGeneration;
#endif

namespace SysInfo {

// Fills osVersion: RtlGetVersion first, GetVersionExW as fallback. Failures are logged, never raised.
void initialize();
// Whether this process runs under WOW64. False where IsWow64Process does not exist; throws
// MdsError<std::runtime_error> when the call itself fails.
bool isWow64();

// Full path of the program's own file; throws MdsError<std::runtime_error> when it cannot be read.
std::string getProcessModulePath();
// The user's temporary folder without trailing separator; empty when the system cannot say.
std::string getTempDir();
// System folders without trailing separator. Each logs its failure at ERROR and throws a plain
// std::runtime_error.
std::string getSystem32Dir();
std::string getSystemWow64Dir();  // fails on 32-bit Windows
// Common program files of 32-bit programs (created if missing): the x86 one on 64-bit Windows.
std::string getProgramFilesCommonX86Dir();

}  // namespace SysInfo

// A 64-bit Windows runs on this processor architecture (PROCESSOR_ARCHITECTURE_*): x64, ARM64 or
// Itanium, each with a 64-bit registry view beside the 32-bit one.
bool is64BitArchitecture(WORD processorArchitecture);
// The system's native architecture (GetNativeSystemInfo) is a 64-bit one.
bool is64BitOS();
// 32-bit Windows, or a 32-bit process under WOW64 (IsWow64Process is then not asked on 32-bit Windows).
bool is32BitProcess();

