#include "driver/payload_paths.h"

#include "platform/tstrings.h"
#include "product/installed_product.h"

namespace payload {
namespace {

constexpr const char* kForge = "forge";

bool fits(const std::string& path) { return path.size() < kPathCapacity; }

PayloadPaths refused(const std::string& error) {
    PayloadPaths paths;
    paths.error = error;
    return paths;
}

// Refuses the whole set when one path is too long, rather than handing out a cut path whose folders
// would be created somewhere else; the same for an empty user data folder, which would put them
// under the current drive's root.
PayloadPaths checked(const std::string& userDataFolder, PayloadPaths paths) {
    if (userDataFolder.empty()) return refused("paths need a user data folder");
    for (const std::string* path : {&paths.haldenFolder, &paths.makoFolder, &paths.workFolder, &paths.file}) {
        if (!fits(*path)) {
            return refused("path of " + std::to_string(path->size()) + " characters does not fit in " +
                           std::to_string(kPathCapacity) + " bytes: " + *path);
        }
    }
    paths.ok = true;
    return paths;
}

// Builds the three folders with the formats the work folder has always been built with.
PayloadPaths folders(const std::string& userDataFolder, bool nativeX64) {
    PayloadPaths paths;
    paths.haldenFolder = haldenFolderOf(userDataFolder);
    paths.makoFolder = makoFolderOf(userDataFolder);
    paths.workFolder = paths.makoFolder + kForge + productVersionName() + (nativeX64 ? "_x64" : "");
    return paths;
}

}  // namespace

std::string haldenFolderOf(const std::string& userDataFolder) { return userDataFolder + "\\Halden\\"; }

std::string makoFolderOf(const std::string& userDataFolder) { return haldenFolderOf(userDataFolder) + "Mako\\"; }

PayloadPaths composeMsiPaths(const std::string& userDataFolder, bool nativeX64) {
    PayloadPaths paths = folders(userDataFolder, nativeX64);
    paths.file = paths.workFolder + "\\" + kForge + productVersionName() + ".msi";
    return checked(userDataFolder, std::move(paths));
}

PayloadPaths composeCabPaths(const std::string& userDataFolder, const std::string& baseName, bool nativeX64) {
    PayloadPaths paths = folders(userDataFolder, nativeX64);
    paths.file = tstrings::format("%s\\%s.cab", paths.workFolder.c_str(), baseName.c_str());
    return checked(userDataFolder, std::move(paths));
}

std::string archiveBaseName(const char* prefix) {
    const MakoVersionDetails& v = productVersion();
    return prefix + std::to_string(v.getMajor()) + std::to_string(v.getMinor()) + std::to_string(v.getMicro()) +
           std::to_string(v.getUpdate()) + "0";
}

}  // namespace payload
