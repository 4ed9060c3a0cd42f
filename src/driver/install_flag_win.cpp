#include "driver/install_flag.h"

#include <cstring>
#include <utility>

#include "driver/user_data_folder.h"
#include "platform/logger.h"
#include "platform/tstrings.h"
#include "platform/win_errors.h"

namespace {

// CreateDirectoryA that accepts an existing folder; returns the failure code or 0.
DWORD createFolder(const char* path) {
    if (CreateDirectoryA(path, nullptr)) return 0;
    const DWORD error = GetLastError();
    return error == ERROR_ALREADY_EXISTS ? 0 : error;
}

// Whether path fits the marker's buffer; a path of the marker that does not is logged.
bool fits(const std::string& path, const char* more) {
    if (path.size() < payload::kPathCapacity) return true;
    if (more != nullptr) {
        LAUNCHER_LOG(ERROR, "GetInstallFlagPath", "Mako install flag path does not fit in " << payload::kPathCapacity
                                                      << " bytes: " << path.substr(0, path.size() - std::strlen(more))
                                                      << " + " << more);
    }
    return false;
}

}  // namespace

bool GetInstallFlagPath(char (&out)[payload::kPathCapacity]) {
    std::memset(out, 0, sizeof out);
    char userData[MAX_PATH] = {};
    if (!RequireUserDataFolder(userData)) return false;
    const std::string halden = payload::haldenFolderOf(userData);
    const std::string mako = payload::makoFolderOf(userData);
    const std::string flag = mako + "MAKO_INSTALL_FLAG";
    const std::pair<const std::string*, const char*> folders[] = {{&halden, nullptr}, {&mako, "Mako\\"}};
    for (const auto& [folder, more] : folders) {
        if (!fits(*folder, more)) return false;
        if (const DWORD error = createFolder(folder->c_str())) {
            logit(tstrings::format("Fail to create directory %s, ErrorCode is %d", folder->c_str(), static_cast<int>(error)));
            return false;
        }
    }
    if (!fits(flag, "MAKO_INSTALL_FLAG")) return false;
    std::memcpy(out, flag.c_str(), flag.size() + 1);
    return true;
}

unique_handle SetInstallFlag() {
    char flagPath[payload::kPathCapacity] = {};
    if (!GetInstallFlagPath(flagPath)) {
        logit("Fail to get the file path for Mako install flag ");
        return unique_handle();
    }
    unique_handle file(CreateFileA(flagPath, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                   FILE_FLAG_DELETE_ON_CLOSE, nullptr));
    if (!file) logit(tstrings::format("Fail to set installation flag, ErrorCode is %d", static_cast<int>(GetLastError())));
    return file;
}

InstallFlagState RemoveStaleInstallFlag(const char* flagPath) {
    if (DeleteFileA(flagPath)) return InstallFlagState::Free;
    const DWORD error = GetLastError();
    if (error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION) return InstallFlagState::HeldByAnother;
    const DWORD attributes = GetFileAttributesA(flagPath);
    if (attributes == INVALID_FILE_ATTRIBUTES) return InstallFlagState::Free;
    LAUNCHER_LOG(WARNING, "RemoveStaleInstallFlag",
                 "The install flag's name is taken by " << ((attributes & FILE_ATTRIBUTE_DIRECTORY) ? "a folder" : "a file")
                                                        << " that cannot be removed: " << flagPath << " ("
                                                        << describeSystemError(error) << ")");
    return InstallFlagState::CannotBeRemoved;
}
