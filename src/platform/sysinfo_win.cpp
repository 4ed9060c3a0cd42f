#include "platform/sysinfo.h"

#include <shlobj.h>

#include <vector>

#include "platform/dll.h"
#include "platform/errors.h"
#include "platform/logger.h"
#include "platform/tstrings.h"
#include "platform/win_errors.h"

OSVERSIONINFOEXW osVersion;
int32_t osGeneration;

namespace {

using RtlGetVersionFn = LONG(WINAPI*)(OSVERSIONINFOW*);
using IsWow64ProcessFn = BOOL(WINAPI*)(HANDLE, BOOL*);

constexpr char kInitializeName[] = "SysInfoImpl::initialize";

// Log locations keep the line numbers these entries have always carried, so that readers of the
// log (and scripts matching it) see the same places whatever this file's layout.
constexpr uint32_t kRtlGetVersionFailedLine = 37;
constexpr uint32_t kRtlGetVersionMissingLine = 39;
constexpr uint32_t kGetVersionExFailedLine = 44;
constexpr int kIsWow64FailedLine = 117;
constexpr int kModulePathFailedLine = 184;
constexpr uint32_t kSystem32FailedLine = 214;
constexpr uint32_t kSystemWow64FailedLine = 224;
constexpr uint32_t kCommonFilesFailedLine = 246;

// Windows generation of a major.minor version, as in osGeneration.
int32_t osGenerationOf(uint32_t major, uint32_t minor) {
    const auto atLeast = [&](uint32_t m, uint32_t n) { return major > m || (major == m && minor >= n); };
    if (atLeast(6, 4)) return 6;
    if (atLeast(6, 3)) return 5;
    if (atLeast(6, 2)) return 4;
    if (atLeast(6, 1)) return 3;
    if (atLeast(6, 0)) return 2;
    if (atLeast(5, 1)) return 1;
    return 0;
}

// Runs before the log sink is built (see logger.h for the order), so that the generation is known
// to everything constructed later.
struct VersionDetection {
    VersionDetection() {
        SysInfo::initialize();
        osGeneration = osGenerationOf(osVersion.dwMajorVersion, osVersion.dwMinorVersion);
    }
} versionDetection LAUNCHER_INIT_PRIORITY(LAUNCHER_INIT_OS_VERSION);

[[noreturn]] void folderFailed(const char* function, uint32_t line, const char* label, const std::string& error,
                               const char* thrown) {
    if (logEnabled(ERROR)) {
        globalLogger.log(ERROR, __FILE__, line, function, tstrings::format("%s failed with %s", label, error.c_str()));
    }
    throw std::runtime_error(thrown);
}

}  // namespace

namespace SysInfo {

void initialize() {
    ZeroMemory(&osVersion, sizeof(osVersion));
    osVersion.dwOSVersionInfoSize = sizeof(osVersion);  // 284

    bool bound = false;
    try {
        DllFunction<RtlGetVersionFn> rtlGetVersion(Dll::system("ntdll.dll"), "RtlGetVersion");
        if (rtlGetVersion) {
            bound = true;
            const LONG status = static_cast<RtlGetVersionFn>(rtlGetVersion)(reinterpret_cast<OSVERSIONINFOW*>(&osVersion));
            if (status == 0) return;
            if (logEnabled(ERROR)) {
                globalLogger.log(ERROR, __FILE__, kRtlGetVersionFailedLine, kInitializeName,
                                 "RtlGetVersion failed: " + tstrings::toString(static_cast<int32_t>(status)));
            }
        }
    } catch (const std::exception&) {
        // No system folder or no ntdll: same as a missing function.
    }
    if (!bound && logEnabled(ERROR)) {
        globalLogger.log(ERROR, __FILE__, kRtlGetVersionMissingLine, kInitializeName,
                         "ntdll:RtlGetVersion is not available");
    }

    if (!GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&osVersion)) && logEnabled(ERROR)) {
        const DWORD code = GetLastError();
        globalLogger.log(ERROR, __FILE__, kGetVersionExFailedLine, kInitializeName,
                         tstrings::format("%s failed with %s", "SysInfo::initialize(GetVersionEx)",
                                          describeSystemError(code).c_str()));
    }
}

bool isWow64() {
    DllFunction<IsWow64ProcessFn> isWow64Process(Dll::system("kernel32.dll"), "IsWow64Process");
    if (!isWow64Process) return false;
    BOOL wow64 = FALSE;
    if (!static_cast<IsWow64ProcessFn>(isWow64Process)(GetCurrentProcess(), &wow64)) {
        throw MdsError<std::runtime_error>(std::runtime_error("fnIsWow64Process() failed"),
                                           SourceLocation{__FILE__, "SysInfo::isWow64", kIsWow64FailedLine});
    }
    return wow64 != FALSE;
}

std::string getProcessModulePath() {
    std::vector<char> buffer(MAX_PATH);
    DWORD length = GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    while (length >= buffer.size()) {
        buffer.resize(buffer.size() * 2);
        length = GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    }
    if (length == 0) {
        throw MdsError<std::runtime_error>(
            std::runtime_error("GetModuleFileName(NULL) failed"),
            SourceLocation{__FILE__, "SysInfo::getProcessModulePath", kModulePathFailedLine});
    }
    return std::string(buffer.data(), length);
}

std::string getTempDir() {
    std::vector<char> buffer(MAX_PATH);
    DWORD length = GetTempPathA(static_cast<DWORD>(buffer.size()), buffer.data());
    if (length > buffer.size()) {
        buffer.resize(length);
        length = GetTempPathA(static_cast<DWORD>(buffer.size()), buffer.data());
    }
    if (length == 0 || length > buffer.size()) return std::string();
    return removeTrailingSeparators(std::string(buffer.data()));
}

std::string getSystem32Dir() {
    char buffer[MAX_PATH] = {};
    const HRESULT hr = SHGetFolderPathA(nullptr, CSIDL_SYSTEM, nullptr, SHGFP_TYPE_CURRENT, buffer);
    if (FAILED(hr)) {
        folderFailed("SysInfo::getSystem32Dir", kSystem32FailedLine, "GetSystem32Dir", describeComError(hr),
                     "SHGetFolderPath(CSIDL_SYSTEM) failed");
    }
    return removeTrailingSeparators(buffer);
}

std::string getSystemWow64Dir() {
    char buffer[MAX_PATH] = {};
    const UINT length = GetSystemWow64DirectoryA(buffer, MAX_PATH);
    // An answer of MAX_PATH or more is the size it would need: the buffer holds nothing usable.
    if (length == 0 || length >= MAX_PATH) {
        const DWORD code = length == 0 ? GetLastError() : static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER);
        folderFailed("SysInfo::getSystemWow64Dir", kSystemWow64FailedLine, "GetSystemWow64Directory",
                     describeSystemError(code),
                     "GetSystemWow64Directory(LPTSTR lpBuffer, UINT uSize) failed");
    }
    return removeTrailingSeparators(std::string(buffer, length));
}

std::string getProgramFilesCommonX86Dir() {
    char buffer[MAX_PATH] = {};
    const int folder = (is64BitOS() ? CSIDL_PROGRAM_FILES_COMMONX86 : CSIDL_PROGRAM_FILES_COMMON) | CSIDL_FLAG_CREATE;
    const HRESULT hr = SHGetFolderPathA(nullptr, folder, nullptr, SHGFP_TYPE_CURRENT, buffer);
    if (FAILED(hr)) {
        folderFailed("SysInfo::getProgramFilesCommonX86Dir", kCommonFilesFailedLine, "GetProgramFilesCommonX86Dir",
                     describeComError(hr),
                     "SHGetFolderPath(CSIDL_PROGRAM_FILES_COMMONX86) failed");
    }
    return removeTrailingSeparators(buffer);
}

}  // namespace SysInfo

bool is64BitArchitecture(WORD processorArchitecture) {
    return processorArchitecture == PROCESSOR_ARCHITECTURE_AMD64 || processorArchitecture == PROCESSOR_ARCHITECTURE_ARM64 ||
           processorArchitecture == PROCESSOR_ARCHITECTURE_IA64;
}

bool is64BitOS() {
    SYSTEM_INFO info{};
    GetNativeSystemInfo(&info);
    return is64BitArchitecture(info.wProcessorArchitecture);
}

bool is32BitProcess() { return !is64BitOS() || SysInfo::isWow64(); }
