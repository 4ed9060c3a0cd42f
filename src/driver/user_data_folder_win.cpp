#include "driver/user_data_folder.h"

#include <atomic>
#include <utility>

#include "driver/payload_paths.h"
#include "platform/file_system.h"
#include "platform/handles.h"
#include "platform/logger.h"
#include "platform/sysinfo.h"
#include "platform/tstrings.h"

namespace {

// Read by the archive worker too.
std::atomic<UserDataFolderSource> source{&userDataFolder};

}  // namespace

bool RequireUserDataFolder(char (&out)[MAX_PATH]) {
    out[0] = '\0';
    source.load()(out);
    if (out[0] != '\0') return true;
    LAUNCHER_LOG(ERROR, "RequireUserDataFolder",
                 "The user data folder ("
                     << (osGeneration >= 2 ? "FOLDERID_LocalAppDataLow" : "CSIDL_APPDATA")
                     << ") could not be found; nothing is written under it.");
    return false;
}

UserDataFolderSource SetUserDataFolderSource(UserDataFolderSource replacement) { return source.exchange(replacement); }

bool IsLinkedFolder(const std::string& folder) {
    // With a trailing separator the name would stand for what a link leads to.
    const std::string path = removeTrailingSeparators(folder);
    // Opened before the look, as the folder itself (never what a link leads to) and shared for
    // everything but deletion, so that the name cannot pass to something else before the writes.
    unique_handle handle(CreateFileA(path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                     OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && payload::isLinkOrJunction(attributes)) {
        LAUNCHER_LOG(ERROR, "IsLinkedFolder", "Folder is a link or junction, not written through: " << folder);
        return true;
    }
    if (handle) holdUntilProcessEnds(std::move(handle));
    return false;
}
