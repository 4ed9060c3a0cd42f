#include "driver/payload_paths.h"

#include "driver/product_version.h"
#include "platform/tstrings.h"

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
    paths.haldenFolder = tstrings::format("%s\\Halden\\", userDataFolder.c_str());
    paths.makoFolder = tstrings::format("%sMako\\", paths.haldenFolder.c_str());
    paths.workFolder = nativeX64 ? tstrings::format("%s%s%s_x64", paths.makoFolder.c_str(), kForge,
                                                    product_version::kProductVersion)
                                 : tstrings::format("%s%s%s", paths.makoFolder.c_str(), kForge,
                                                    product_version::kProductVersion);
    return paths;
}

}  // namespace

PayloadPaths composeMsiPaths(const std::string& userDataFolder, bool nativeX64) {
    PayloadPaths paths = folders(userDataFolder, nativeX64);
    paths.file = tstrings::format("%s\\%s%s.msi", paths.workFolder.c_str(), kForge, product_version::kProductVersion);
    return checked(userDataFolder, std::move(paths));
}

PayloadPaths composeCabPaths(const std::string& userDataFolder, const std::string& baseName, bool nativeX64) {
    PayloadPaths paths = folders(userDataFolder, nativeX64);
    paths.file = tstrings::format("%s\\%s.cab", paths.workFolder.c_str(), baseName.c_str());
    return checked(userDataFolder, std::move(paths));
}

std::string archiveBaseName(const char* prefix) {
    using namespace product_version;
    return tstrings::format("%s%s%s%s%s0", prefix, std::to_string(kMajor).c_str(), std::to_string(kMinor).c_str(),
                            std::to_string(kMicro).c_str(), std::to_string(kUpdate).c_str());
}

}  // namespace payload
