#pragma once
// What the launcher knows about the system it runs on: Windows generation, bitness, folders.
#include <string>

namespace SysInfo {

// Full path of the program's own file; throws MdsError<std::runtime_error> when it cannot be read.
std::string getProcessModulePath();
// The user's temporary folder without trailing separator; empty when the system cannot say.
std::string getTempDir();

}  // namespace SysInfo
