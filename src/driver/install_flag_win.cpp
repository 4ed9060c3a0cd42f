#include "driver/install_flag.h"

#include <shlwapi.h>

#include <cstring>

#include "driver/user_data_folder.h"
#include "platform/logger.h"
#include "platform/tstrings.h"

namespace {

// Never closed: the marker must stay held until the process ends, and delete-on-close then
// removes it.
HANDLE installFlagHandle = INVALID_HANDLE_VALUE;

// CreateDirectoryA that accepts an existing folder; returns the failure code or 0.
DWORD createFolder(const char* path) {
    if (CreateDirectoryA(path, nullptr)) return 0;
    const DWORD error = GetLastError();
    return error == ERROR_ALREADY_EXISTS ? 0 : error;
}

bool appendOrRefuse(char (&out)[payload::kPathCapacity], const char* more) {
    if (PathAppendA(out, more)) return true;
    LAUNCHER_LOG(ERROR, "GetInstallFlagPath",
                 "Mako install flag path does not fit in " << payload::kPathCapacity << " bytes: " << out << " + " << more);
    return false;
}

}  // namespace

bool GetInstallFlagPath(char (&out)[payload::kPathCapacity]) {
    std::memset(out, 0, sizeof out);
    if (!RequireUserDataFolder(out) || !PathAppendA(out, "\\Halden\\")) return false;

    DWORD error = createFolder(out);
    if (error == 0) {
        if (!appendOrRefuse(out, "Mako\\")) return false;
        error = createFolder(out);
        if (error == 0 && !appendOrRefuse(out, "MAKO_INSTALL_FLAG")) return false;
    }
    if (error != 0) {
        logit(tstrings::format("Fail to create directory %s, ErrorCode is %d", out, static_cast<int>(error)));
        return false;
    }
    return true;
}

bool SetInstallFlag() {
    char flagPath[payload::kPathCapacity] = {};
    if (!GetInstallFlagPath(flagPath)) {
        logit("Fail to get the file path for Mako install flag ");
        return false;
    }
    const HANDLE file = CreateFileA(flagPath, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        logit(tstrings::format("Fail to set installation flag, ErrorCode is %d", static_cast<int>(GetLastError())));
        return false;
    }
    installFlagHandle = file;
    return true;
}

bool IsInstallInProgress(const char* flagPath) {
    if (DeleteFileA(flagPath)) return false;
    const DWORD error = GetLastError();
    return error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION;
}
