#pragma once
// Whether anyone but the administrators may change what the elevated launcher reads, runs or writes
// in: a file, and the folder it lies in, judged from their security descriptors in SDDL text. The
// decision is platform-free; reading the descriptors is the Win32 part.
#include <cstdint>
#include <string>

// Rights that change a file or the rules on it.
constexpr uint32_t kFileChangeRights = 0x2 | 0x4 | 0x10000 | 0x40000 | 0x80000 | 0x10000000 | 0x40000000;
// Rights on a folder that add, delete or replace what it holds (add file, add subfolder, delete
// child), remove or rename the folder itself, or change its rules.
constexpr uint32_t kFolderChangeRights =
    0x2 | 0x4 | 0x40 | 0x10000 | 0x40000 | 0x80000 | 0x10000000 | 0x40000000;

// Appends to writers, as "<who> (<where>)" and each once, the accounts other than the trusted ones
// (the system, Administrators, TrustedInstaller and trustedUser, the launcher's own administrator
// account, as a SID string or empty) that own the object sddl describes or hold, in an allowing
// entry, a right of changeMask. An owner may always rewrite the rules, so an untrusted or missing
// owner counts. A descriptor that cannot be read (empty text, no DACL, an entry or a right that is
// not understood) counts as writable by "anyone". Deny entries are not subtracted, so the judgement
// errs towards "others may". countInheritOnly: whether entries that only pass on to what is created
// inside count too.
void addUntrustedWriters(std::string& writers, const std::string& sddl, uint32_t changeMask,
                         bool countInheritOnly, const std::string& trustedUser, const char* where);

// The writers of a file and of its folder (entries passed on only to new files do not count: the
// file's own descriptor says who may change it), as "Everyone (folder), S-1-5-21-1-2-3-1001 (file)";
// empty when there are none.
std::string untrustedWriters(const std::string& fileSddl, const std::string& folderSddl,
                             const std::string& trustedUser);

// The process's own user as a SID string ("S-1-5-21-..."); empty when it cannot be read. The
// launcher runs elevated, so this is an administrator's account (or the system's). Windows build.
std::string processUserSid();

// The same for a file on disk (UTF-8 path), with the process's own user trusted. Empty also where
// the volume keeps no access rules, as nothing can be judged there. Defined in the Windows build.
std::string untrustedWritersOf(const std::string& path);
