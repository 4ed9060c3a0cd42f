#pragma once
// The account this process runs as. Alone in token_user_win.cpp, so that a test build of a program
// can link its own definition ahead of the library's and act as another account. Windows only.
#include <vector>

namespace settings_impl {

// A copy of the SID of the process token's user. settings::Exception 200 when a system call fails.
std::vector<unsigned char> tokenUserSid();

}  // namespace settings_impl
