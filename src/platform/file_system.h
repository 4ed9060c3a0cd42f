#pragma once
// File-system helpers of the driver: the per-user data folder and whether a path exists.
#include <string>

#include "platform/win32.h"

// The per-user data folder (LocalLow on Vista and later, the roaming application data folder on
// XP), seen through WOW64's eyes: a profile under the system folder (service accounts) is
// reported under the WOW64 system folder in a 32-bit process. On failure, or when the path would
// not fit, out is left unchanged (callers clear it first).
void userDataFolder(char (&out)[MAX_PATH]);

// FindFirstFileA finds something: a file, a folder, or a match of a wildcard pattern.
bool fileExists(const std::string& path);
