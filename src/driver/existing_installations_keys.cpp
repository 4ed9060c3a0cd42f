#include "driver/existing_installations_keys.h"

#include <vector>

#include "platform/tstrings.h"

std::string forgeVersionKey(const std::string& version) {
    return std::string(installed::kKindKeys[installed::DevelopmentKit]) + "\\" + version;
}

std::string loomVersionKey(const std::string& version) {
    return std::string(installed::kKindKeys[installed::Runtime]) + "\\" + version;
}

std::string GetFamilyVersion(const std::string& version) {
    std::vector<std::string> pieces;
    tstrings::split(version, ".", pieces);
    return pieces.size() > 1 ? pieces[1] : std::string();
}

std::string GetUpdateVersion(const std::string& version) {
    const size_t underscore = version.rfind('_');
    return underscore == std::string::npos ? std::string("00") : version.substr(underscore + 1);
}

std::string forgeProductCode(int32_t arch) {
    return tstrings::format("{%s61C2D8-E3A5-11D6-B94C-00C0A92%s0%s0}", arch == 64 ? "64" : "32",
                            GetFamilyVersion().c_str(), GetUpdateVersion().c_str());
}
