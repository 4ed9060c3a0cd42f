#pragma once
// Who may change the machine-wide settings folders (Brennic and Mako under the common application
// data folder). The elevated launcher reads and writes its settings there, so a folder that a
// standard user could create names in, remove names from or re-permit must not be used as it is.
#include <string>

// The rules the launcher gives these folders when it creates or takes one over: full control for
// the local system account and Administrators, read and execute for Users, inherited by what is
// created inside, and not inherited from the folder above.
extern const char* const kSettingsFolderRules;

// Whether a folder with this descriptor (SDDL text with owner and DACL) must be taken over before
// use: its owner is neither the local system account, Administrators nor trustedUser (the launcher's
// own elevated account, as a SID string; may be empty), or its DACL is absent or lets anyone else
// create, write or delete in it, change its rules or take it. Unreadable parts count as unsafe.
bool othersMayChangeFolder(const std::string& sddl, const std::string& trustedUser);
