#pragma once
// The Windows Installer program that runs every package.
#include <string>

// Sets out to the Windows Installer program's full path, "...\msiexec.exe": on XP-family servers
// the system folder, otherwise the folder in HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Installer,
// value "InstallerLocation". False, with out empty, when the key or value cannot be read or the path
// does not fit in MAX_PATH bytes. The install sequence then ends with -3. Every caller asks here, so
// that all of them agree on where the installer is and how long its path may be.
bool GetWIPath(std::string& out);
