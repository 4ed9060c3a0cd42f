#include "driver/user_data_folder.h"

#include <atomic>

#include "platform/all_utils.h"
#include "platform/logger.h"
#include "platform/sysinfo.h"

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
