// Earlier installations of this version: a development kit or runtime of the same or an older build
// is removed through the Windows Installer before this one installs, a newer kit build refuses the
// run.
#include "driver/existing_installations.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "driver/existing_installations_keys.h"
#include "driver/windows_installer.h"
#include "driver/wrapper_utils_log.h"
#include "platform/executor.h"
#include "platform/handles.h"
#include "platform/logger.h"
#include "platform/message_box.h"
#include "platform/registry.h"
#include "platform/resource.h"
#include "platform/tstrings.h"
#include "product/installed_product.h"
#include "product/product_codes.h"
#include "string_ids.h"

namespace {

constexpr int kLoomNotFoundLine = 1096;
constexpr int kLoomGuidNotFoundLine = 1110;
constexpr int kLoomRemovalFailedLine = 1114;
constexpr int kForgeGuidNotFoundLine = 1159;
constexpr int kForgeRemovalFailedLine = 1164;
constexpr int kOpenKeyFailedLine = 1190;
constexpr int kBuildNumberUnreadLine = 1195;
constexpr int kSameOrOlderBuildLine = 1206;
constexpr int kNewerBuildLine = 1210;
constexpr int kNoSameForgeLine = 1234;
constexpr int kForgeUninstallFailedLine = 1238;
constexpr int kNoSameLoomLine = 1253;
constexpr int kLoomUninstallFailedLine = 1258;
constexpr const char* kUninstallKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
constexpr size_t kTextCapacity = 2048;

REGSAM viewAccess(bool use64) { return KEY_READ | (use64 ? KEY_WOW64_64KEY : KEY_WOW64_32KEY); }

std::string loadString(UINT id) { return loadStringUtf8(GetModuleHandleA(nullptr), id, kTextCapacity); }

}  // namespace

int UninstallLoomOrForgeIfSameVersionExists(bool silent, bool nativeX64) {
    constexpr const char* kFunction = "UninstallLoomOrForgeIfSameVersionExists";
    const std::string forgeKey = forgeVersionKey();
    const std::string loomKey = loomVersionKey();
    ReopenableKey key(HKEY_LOCAL_MACHINE);

    // Only a key that is not there means no copy: one that may not be read goes on to the build test,
    // which logs the refused open and counts it as a newer build, never as absent.
    if (key.reopen(forgeKey, viewAccess(nativeX64)) == ERROR_FILE_NOT_FOUND) {
        WRAPPER_UTILS_LOG(INFO, kNoSameForgeLine, kFunction, "No same version Forge exists");
    } else if (!IsSameOrOlderBuildInstalled(true, nativeX64)) {
        if (!silent) {
            showMessageBox(loadString(IDS_NEWER_BUILD_INSTALLED), loadString(IDS_NEWER_BUILD_INSTALLED_CAPTION),
                           MB_ICONHAND);
        }
        return 0;
    } else if (!UninstallExistingForge(silent, nativeX64)) {
        WRAPPER_UTILS_LOG(ERROR, kForgeUninstallFailedLine, kFunction, tstrings::format("UninstallExistingForge (%s) failed", forgeKey.c_str()));
        return 0;
    }

    if (key.reopen(loomKey, viewAccess(nativeX64)) == ERROR_FILE_NOT_FOUND) {
        WRAPPER_UTILS_LOG(INFO, kNoSameLoomLine, kFunction, "No same version Loom exists");
        return 1;
    }
    // A newer or static runtime stays, without a message.
    if (!IsSameOrOlderBuildInstalled(false, nativeX64) || IsVersionStatic(nativeX64)) return 1;
    if (UninstallLoomIfSameOrOlderBuild(silent, nativeX64 ? 64 : 32) == 0) return 1;
    WRAPPER_UTILS_LOG(ERROR, kLoomUninstallFailedLine, kFunction, tstrings::format("UninstallLoomIfSameOrOlderBuild( %s) failed", loomKey.c_str()));
    return 0;
}

namespace {

// A build stored as a number is that number (a newer kit written so must not pass for build 0);
// stored text of any length or other type is read as atoi does, at most what the buffer holds.
int buildNumberOf(const RegistryValue& value) {
    if (value.type == REG_DWORD && value.bytes.size() == sizeof(DWORD)) {
        DWORD number = 0;
        std::memcpy(&number, value.bytes.data(), sizeof number);
        return number > static_cast<DWORD>(INT_MAX) ? INT_MAX : static_cast<int>(number);
    }
    if (value.type == REG_QWORD && value.bytes.size() == sizeof(unsigned long long)) {
        unsigned long long number = 0;
        std::memcpy(&number, value.bytes.data(), sizeof number);
        return number > static_cast<unsigned long long>(INT_MAX) ? INT_MAX : static_cast<int>(number);
    }
    char text[kTextCapacity] = {};
    std::memcpy(text, value.bytes.data(), std::min(value.bytes.size(), sizeof text - 1));
    return std::atoi(text);
}

}  // namespace

bool IsSameOrOlderBuildInstalled(bool isForge, bool nativeX64) {
    constexpr const char* kFunction = "IsSameOrOlderBuildInstalled";
    const std::string keyName = isForge ? forgeVersionKey() : loomVersionKey();
    ReopenableKey key(HKEY_LOCAL_MACHINE);
    // The registry functions return their error instead of setting the thread's: log that one.
    const LONG opened = key.reopen(keyName, viewAccess(nativeX64));
    if (opened != ERROR_SUCCESS) {
        WRAPPER_UTILS_LOG(ERROR, kOpenKeyFailedLine, kFunction, tstrings::format("Error Opening registry key %s: %d", keyName.c_str(),
                                                        static_cast<int>(opened)));
        return false;
    }
    RegistryValue value;
    const LONG read = key.queryBuildNumber(value);
    if (read != ERROR_SUCCESS) {
        WRAPPER_UTILS_LOG(ERROR, kBuildNumberUnreadLine, kFunction,
               tstrings::format("MakoKey.QueryValue(BuildNumber, Value); failed: %d", static_cast<int>(read)));
        return false;
    }
    const int existing = buildNumberOf(value);
    const int current = thisProduct.version.getBuild();
    if (existing <= current) {
        WRAPPER_UTILS_LOG(INFO, kSameOrOlderBuildLine, kFunction,
               tstrings::format("Existing build: %d is same/older than current build: %d", existing, current));
        return true;
    }
    WRAPPER_UTILS_LOG(INFO, kNewerBuildLine, kFunction, tstrings::format("Existing build: %d is newer than current build: %d", existing, current));
    return false;
}

bool UninstallExistingForge(bool silent, bool nativeX64) {
    constexpr const char* kFunction = "UninstallExistingForge";
    const std::string code = forgeProductCode(nativeX64 ? 64 : 32);
    if (!IsProductRegistered(code, nativeX64)) {
        WRAPPER_UTILS_LOG(ERROR, kForgeGuidNotFoundLine, kFunction,
               tstrings::format("Forge GUID not found %s: %d", code.c_str(), static_cast<int>(GetLastError())));
        return false;
    }
    const int rc = UninstallProduct(code, silent);
    if (rc != 0) {
        WRAPPER_UTILS_LOG(ERROR, kForgeRemovalFailedLine, kFunction, tstrings::format("Uninstall existining Forge failed %s: %d", code.c_str(), rc));
        return false;
    }
    return true;
}

int UninstallLoomIfSameOrOlderBuild(bool silent, int32_t arch) {
    if (IsVersionStatic(arch == 64)) return 1;
    return CheckGUIDAndUninstall(arch, arch == 64, silent);
}

bool IsVersionStatic(bool use64) {
    const std::unique_ptr<InstalledProduct> loom = findInstalled(installedLoom(use64 ? 64 : 32), productVersionName());
    if (!loom) {
        WRAPPER_UTILS_LOG(ERROR, kLoomNotFoundLine, "IsVersionStatic", "cannot find Loom: " + productVersionName());
        return false;
    }
    return loom->isStatic;
}

int CheckGUIDAndUninstall(int32_t arch, bool use64View, bool silent) {
    constexpr const char* kFunction = "CheckGUIDAndUninstall";
    const std::string code = mscrub::MCleaner::getProductGUID(productVersionName(), arch);
    if (!IsProductRegistered(code, use64View)) {
        WRAPPER_UTILS_LOG(ERROR, kLoomGuidNotFoundLine, kFunction, "GUID not found" + code + ":" + tstrings::toString(uint32_t{GetLastError()}));
        return 0;
    }
    const int rc = UninstallProduct(code, silent);
    if (rc != 0) {
        WRAPPER_UTILS_LOG(ERROR, kLoomRemovalFailedLine, kFunction, "Uninstall existing Loom failed" + code + ":" + tstrings::toString(int32_t{rc}));
    }
    return rc;
}

bool IsProductRegistered(const std::string& code, bool use64View) {
    unique_hkey uninstall, entry;
    LONG status = RegOpenKeyExA(HKEY_LOCAL_MACHINE, kUninstallKey, 0, viewAccess(use64View), uninstall.put());
    if (status == ERROR_SUCCESS) status = RegOpenKeyExA(uninstall.get(), code.c_str(), 0, KEY_READ, entry.put());
    if (status != ERROR_SUCCESS) SetLastError(static_cast<DWORD>(status));
    return status == ERROR_SUCCESS;
}

int UninstallProduct(const std::string& code, bool silent) {
    std::string installer;
    GetWIPath(installer);
    const std::string arguments = tstrings::format(" /x %s", code.c_str()) + (silent ? " /qn" : " /qb!");
    const int rc = static_cast<int>(Executor::ExecProcessWaitForFinish(installer, arguments, 0));
    if (rc != 0) {
        logit(tstrings::format("uninstall %s of %s failed.  ErrorCode: %d", code.c_str(), productVersionName().c_str(), rc));
    }
    return rc;
}
