#include "product/installed_product.h"

#include "platform/errors.h"
#include "platform/tstrings.h"
#include "product_facts.h"

namespace installed {

// Kind and arch come from code, never from input: a wrong one is a programming error.
void checkKindAndArch(int kind, int32_t arch, const SourceLocation& where) {
    const auto refuse = [&](const char* what, int32_t value) {
        throw MdsError<std::runtime_error>(std::runtime_error(std::string(what) + ": " + tstrings::toString(value)),
                                           where);
    };
    if (kind != Runtime && kind != DevelopmentKit) refuse("unexpected type", kind);
    if (arch != 32 && arch != 64) refuse("unexpected arch", arch);
}

}  // namespace installed

const MakoVersionDetails& productVersion() {
    static const MakoVersionDetails version(MAKO_FULL_VERSION);
    return version;
}

std::string productVersionName() {
    const std::string& full = productVersion().source();
    return full.substr(0, full.find('-'));
}

InstalledProduct makeProduct(int32_t arch, int kind, const MakoVersionDetails& version) {
    installed::checkKindAndArch(kind, arch, LAUNCHER_HERE("makeProduct"));
    const bool runtime = kind == installed::Runtime;
    return InstalledProduct{runtime, arch, runtime ? "loom" : "forge", version, std::string(), false};
}

std::unique_ptr<InstalledProduct> findInstalled(const std::vector<InstalledProduct>& list,
                                                const std::string& versionText) {
    const MakoVersionDetails target = withoutBuild(MakoVersionDetails(versionText));
    for (const InstalledProduct& product : list) {
        if (withoutBuild(product.version) == target) return std::make_unique<InstalledProduct>(product);
    }
    return nullptr;
}
