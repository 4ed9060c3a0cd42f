// Earlier installations, as far as this build handles them: removing an installed copy of the same
// version is not carried by this build, and says so in the log.
#include "driver/existing_installations.h"

#include "driver/product_version.h"
#include "platform/logger.h"
#include "platform/registry.h"
#include "platform/sysinfo.h"

namespace {

constexpr const char* kForgeBaseKey = "SOFTWARE\\Velmora\\Mako Development Kit";
constexpr const char* kLoomBaseKey = "SOFTWARE\\Velmora\\Mako Runtime Environment";
using product_version::kProductVersion;

const RegistryKey& ownMachineView() {
    return is32BitProcess() ? RegistryKey::machine32() : RegistryKey::machine64();
}

}  // namespace

int UninstallLoomOrForgeIfSameVersionExists(bool /*silent*/) {
    const std::string forgeKey = std::string(kForgeBaseKey) + "\\" + kProductVersion;
    const std::string loomKey = std::string(kLoomBaseKey) + "\\" + kProductVersion;
    if (RegistryKey::exists(ownMachineView(), forgeKey) || RegistryKey::exists(ownMachineView(), loomKey)) {
        // The installer itself upgrades or repairs the same product code; removing first is not
        // part of this build.
        logit("Existing installation of this version found; it is left to the Windows Installer.");
    } else {
        logit("No same version Forge exists");
        logit("No same version Loom exists");
    }
    return 1;
}
