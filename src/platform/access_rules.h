#pragma once
// Whether anyone but the administrators may change what the elevated launcher reads or runs: a
// file, and the folder it lies in, judged from their security descriptors in SDDL text. The
// decision is platform-free; reading the descriptors is the Win32 part.
#include <string>

// The accounts other than the trusted ones (the system, Administrators, TrustedInstaller and
// trustedUser, the launcher's own administrator account) that may change the file or, in its
// folder, create, delete or replace files, as "Everyone (folder), S-1-5-21-1-2-3-1001 (file)";
// empty when there are none. An owner may always rewrite the rules, so an untrusted owner counts.
// A descriptor that cannot be read (empty text, or no DACL: anyone may do anything) counts as
// writable by "anyone".
std::string untrustedWriters(const std::string& fileSddl, const std::string& folderSddl,
                             const std::string& trustedUser);

// The same for a file on disk (UTF-8 path), with the process's own user trusted. Empty also where
// the volume keeps no access rules, as nothing can be judged there. Defined in the Windows build.
std::string untrustedWritersOf(const std::string& path);
