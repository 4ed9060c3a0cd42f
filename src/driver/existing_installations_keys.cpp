#include "driver/existing_installations_keys.h"

#include <vector>

#include "platform/tstrings.h"

namespace {

constexpr const char* kForgeBaseKey = "SOFTWARE\\Velmora\\Mako Development Kit";
constexpr const char* kLoomBaseKey = "SOFTWARE\\Velmora\\Mako Runtime Environment";

}  // namespace

std::string forgeVersionKey(const std::string& version) {
    return tstrings::format("%s\\%s", kForgeBaseKey, version.c_str());
}

std::string loomVersionKey(const std::string& version) {
    return tstrings::format("%s\\%s", kLoomBaseKey, version.c_str());
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
