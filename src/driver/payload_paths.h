#pragma once
// Names of the extracted payload: the per-user work folders, the package and archive file names, and
// the resources they come from. Platform-free, so that both bitnesses' names are checked everywhere.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "product_facts.h"

namespace payload {

// Every folder and file path of the payload lives in a 260-byte buffer.
constexpr size_t kPathCapacity = 260;

constexpr const char* kInstallerResourceType = "MAKO_INSTALLER";
constexpr int kForgePackageResourceId = 101;
constexpr int kAgentPackageResourceId = 105;

// Set by the archive worker once the last archive is written; the package waits on it.
constexpr const char* kCabExtractEventName = MAKO_CAB_EXTRACT_EVENT_NAME;

struct ArchiveResource {
    const char* prefix;  // first two letters of the archive's base name
    const char* type;    // resource type
    int id;              // resource identifier
};

// In the order the worker writes them.
constexpr std::array<ArchiveResource, 4> kArchives{{
    {"ss", "MAKO_CAB9", 110},
    {"st", "MAKO_CAB10", 111},
    {"sj", "MAKO_CAB7", 108},
    {"sz", "MAKO_CAB11", 112},
}};

// FILE_ATTRIBUTE_REPARSE_POINT among a folder's attributes: a link or junction, which leads
// elsewhere; the launcher writes through none.
constexpr bool isLinkOrJunction(uint32_t attributes) { return (attributes & 0x400u) != 0; }

// The folders to create, outermost first, and the file path inside the innermost one. When the user
// data folder is empty or any path would not fit in kPathCapacity bytes (terminator included), ok
// is false, the paths are empty and error says why.
struct PayloadPaths {
    bool ok = false;
    std::string haldenFolder;  // U\Halden\  (trailing separator)
    std::string makoFolder;    // U\Halden\Mako\  (trailing separator)
    std::string workFolder;    // U\Halden\Mako\forge<version>[_x64]  (no trailing separator)
    std::string file;          // workFolder\<file name>
    std::string error;
};

// <userDataFolder>\Halden\ and <userDataFolder>\Halden\Mako\ (trailing separators): the launcher's
// folders for the payload and the install-in-progress marker. Not checked for fit.
std::string haldenFolderOf(const std::string& userDataFolder);
std::string makoFolderOf(const std::string& userDataFolder);

// The development-kit package: <work folder>\forge<version>.msi.
PayloadPaths composeMsiPaths(const std::string& userDataFolder, bool nativeX64);
// An archive: <work folder>\<baseName>.cab.
PayloadPaths composeCabPaths(const std::string& userDataFolder, const std::string& baseName, bool nativeX64);

// prefix + major, minor, micro and update of the product version + "0": "ss310270".
std::string archiveBaseName(const char* prefix);

}  // namespace payload
