// The registry scan of installed runtimes and development kits.
#include "product/installed_product.h"

#include "platform/errors.h"
#include "platform/logger.h"
#include "platform/registry.h"
#include "platform/sysinfo.h"
#include "platform/tstrings.h"

namespace {

// Reported exceptions of a bad entry carry the scan's own unit and line.
constexpr const char* kUnit = "MakoEnvironment";
constexpr int kEntryCatchLine = 158;

void detectMako(int32_t arch, std::vector<InstalledProduct>& list, int kind) {
    installed::checkKindAndArch(kind, arch, LAUNCHER_HERE("detectMako"));
    const RegistryKey& root = arch == 32 ? RegistryKey::machine32() : RegistryKey::machine64();
    const std::string productKey = installed::kKindKeys[kind];
    if (!RegistryKey::exists(root, productKey)) return;

    const RegistryKey products = RegistryKey::open(root, productKey);
    for (const std::string& name : products.enumSubkeys()) {
        // Family keys such as "3.1" live beside the versions.
        if (name.size() <= 3) continue;
        try {
            std::string versionText = name;
            const RegistryKey entry = RegistryKey::open(products, name);
            const std::string home = entry.queryString("MakoHome");
            bool isStatic = kind == installed::DevelopmentKit;
            if (RegistryKey::exists(entry, "MSI")) {
                const RegistryKey msi = RegistryKey::open(entry, "MSI");
                const std::string full = msi.queryStringOr("FullVersion", "");
                if (!full.empty()) versionText = full;
                if (tstrings::equalsIgnoreCase(msi.queryStringOr("MODE", ""), "S")) isStatic = true;
            }
            InstalledProduct product = makeProduct(arch, kind, MakoVersionDetails(versionText));
            product.home = home;
            product.isStatic = isStatic;
            list.push_back(product);
        } catch (const std::exception& e) {
            reportException(e, SourceLocation{kUnit, "detectMako", kEntryCatchLine});
        } catch (...) {
            reportUnknownException(SourceLocation{kUnit, "detectMako", kEntryCatchLine});
        }
    }
}

}  // namespace

const InstalledProduct thisProduct = makeProduct(is32BitProcess() ? 32 : 64, installed::DevelopmentKit, productVersion());

std::vector<InstalledProduct> detectInstalled(int flags) {
    std::vector<InstalledProduct> list;
    const auto scanView = [&](int32_t arch) {
        if (flags & installed::Runtimes) detectMako(arch, list, installed::Runtime);
        if (flags & installed::DevelopmentKits) detectMako(arch, list, installed::DevelopmentKit);
    };
    if (flags & installed::View32) scanView(32);
    if ((flags & installed::View64) && is64BitOS()) scanView(64);
    return list;
}

std::vector<InstalledProduct> installedLoom(int32_t arch) {
    if (arch != 32 && arch != 64) {
        throw MdsError<std::runtime_error>(std::runtime_error("unexpected arch: " + tstrings::toString(arch)),
                                           LAUNCHER_HERE("installedLoom"));
    }
    return detectInstalled(installed::Runtimes | (arch == 32 ? installed::View32 : installed::View64));
}
