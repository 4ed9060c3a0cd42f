#pragma once
// The Windows Installer program that runs every package.
#include <cstddef>

// Fills out with the Windows Installer program's full path, "...\msiexec.exe": on XP-family servers
// the system folder, otherwise the folder in HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Installer,
// value "InstallerLocation". False when the key or value cannot be read or the path does not fit in
// capacity bytes; out is then not a usable path. The install sequence then ends with -3.
bool GetWIPath(char* out, size_t capacity);
