#include "driver/payload_paths.h"

#include "driver/product_version.h"
#include "platform/tstrings.h"

namespace payload {
namespace {

constexpr const char* kForge = "forge";

bool fits(const std::string& path) { return path.size() < kPathCapacity; }

// Refuses the whole set when one path is too long, rather than handing out a cut path whose folders
// would be created somewhere else.
PayloadPaths checked(PayloadPaths paths) {
    for (const std::string* path : {&paths.haldenFolder, &paths.makoFolder, &paths.workFolder, &paths.file}) {
        if (!fits(*path)) {
            PayloadPaths refused;
            refused.error = "path of " + std::to_string(path->size()) + " characters does not fit in " +
                            std::to_string(kPathCapacity) + " bytes: " + *path;
            return refused;
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
    return checked(std::move(paths));
}

PayloadPaths composeCabPaths(const std::string& userDataFolder, const std::string& baseName, bool nativeX64) {
    PayloadPaths paths = folders(userDataFolder, nativeX64);
    paths.file = tstrings::format("%s\\%s.cab", paths.workFolder.c_str(), baseName.c_str());
    return checked(std::move(paths));
}

std::string archiveBaseName(const char* prefix) {
    using namespace product_version;
    return tstrings::format("%s%s%s%s%s0", prefix, std::to_string(kMajor).c_str(), std::to_string(kMinor).c_str(),
                            std::to_string(kMicro).c_str(), std::to_string(kUpdate).c_str());
}

}  // namespace payload
