#include "config/settings_folder_rules.h"

#include "platform/access_rules.h"

const char* const kSettingsFolderRules = "D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)";

bool othersMayChangeFolder(const std::string& sddl, const std::string& trustedUser) {
    std::string writers;
    // Inherit-only entries count here: they reach the files the launcher writes inside.
    addUntrustedWriters(writers, sddl, kFolderChangeRights, true, trustedUser, "folder");
    return !writers.empty();
}
