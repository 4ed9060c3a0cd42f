#pragma once
// Access rules of a new settings file: administrators may change it, everybody else only read it.
// Windows only.
#include <string>
#include <vector>

#include "platform/win32.h"

namespace settings_impl {

// "D:(A;;FA;;;BA)(A;;FR;;;<readers>)(A;;FR;;;WD)" for a file that user creates: the readers are the
// Domain Users of user's account domain, or the built-in Users (BU) when user has none (the local
// system account, local service, network service). settings::Exception 200 when a system call fails.
std::wstring protectedFileSddlFor(PSID user);
// protectedFileSddlFor(the process token's user).
std::wstring protectedFileSddl();
// The self-relative security descriptor of protectedFileSddl(). settings::Exception 200.
std::vector<unsigned char> protectedFileSecurityDescriptor();

// A new file (CREATE_NEW, not shared) with the protected access rules, opened for reading,
// writing and deletion; INVALID_HANDLE_VALUE on any failure.
HANDLE createProtectedHandle(const std::wstring& path);

}  // namespace settings_impl
