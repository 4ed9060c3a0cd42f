#pragma once
// Runtimes and development kits of the product family as the registry records them, and the
// launcher's own product in the same form.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/errors.h"
#include "product/mako_version.h"

// One installed version of one kind in one registry view. Copyable value.
struct InstalledProduct {
    bool isRuntime;
    int32_t arch;          // 32 or 64: the registry view it was found in
    const char* typeName;  // "loom" or "forge"
    MakoVersionDetails version;
    std::string home;  // "MakoHome"
    bool isStatic;
};

namespace installed {

enum Kind : int { Runtime = 0, DevelopmentKit = 1 };
// Where installers record the versions of each kind (index Kind), in HKLM.
constexpr const char* kKindKeys[] = {"SOFTWARE\\Velmora\\Mako Runtime Environment",
                                     "SOFTWARE\\Velmora\\Mako Development Kit"};
// Flags of detectInstalled.
enum Flags : int { Runtimes = 1, DevelopmentKits = 2, View32 = 16, View64 = 32 };

// Throws MdsError<std::runtime_error> located at where, "unexpected type: <kind>" or
// "unexpected arch: <arch>", unless kind is 0 or 1 and arch 32 or 64.
void checkKindAndArch(int kind, int32_t arch, const SourceLocation& where);

}  // namespace installed

// This build's product version, "3.1.0_27-b09", parsed once.
const MakoVersionDetails& productVersion();
// The product version without its build, "3.1.0_27": the name of the registry keys, work folders and
// archives of this version.
std::string productVersionName();

// A record with no home and not static. kind 0 is a runtime, 1 a development kit; anything else,
// or an arch other than 32 or 64, throws MdsError<std::runtime_error>.
InstalledProduct makeProduct(int32_t arch, int kind, const MakoVersionDetails& version);

// A copy of the first record whose version equals versionText with the builds ignored, or null.
// A malformed versionText throws as MakoVersionDetails does.
std::unique_ptr<InstalledProduct> findInstalled(const std::vector<InstalledProduct>& list,
                                                const std::string& versionText);

#if defined(_WIN32)
// The launcher's own payload: a development kit of productVersion() in the view of this process.
extern const InstalledProduct thisProduct;

// Installed versions under HKLM\SOFTWARE\Velmora\<kind key>, in the order 32-bit runtimes, 32-bit
// kits, 64-bit runtimes, 64-bit kits, as the flags select them; the 64-bit view only on 64-bit
// Windows. A missing product key adds nothing; a bad version entry is logged and left out; a
// failure to enumerate a product key throws.
std::vector<InstalledProduct> detectInstalled(int flags);
// The runtimes of one view (32 or 64); any other arch throws MdsError<std::runtime_error>.
std::vector<InstalledProduct> installedLoom(int32_t arch);
#endif
