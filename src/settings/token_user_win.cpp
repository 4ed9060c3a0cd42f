#include "settings/token_user.h"

#include <string>

#include "platform/handles.h"
#include "settings/exception.h"

namespace settings_impl {

namespace {

[[noreturn]] void systemCallFailed(const char* call) {
    throw settings::Exception(settings::status::Internal,
                              std::string(call) + " failed with system error " + std::to_string(GetLastError()));
}

}  // namespace

std::vector<unsigned char> tokenUserSid() {
    unique_handle process(OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, GetCurrentProcessId()));
    if (!process) systemCallFailed("OpenProcess");
    unique_handle token;
    if (!OpenProcessToken(process.get(), TOKEN_QUERY, token.put())) systemCallFailed("OpenProcessToken");

    DWORD size = 0;
    GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size);
    if (size == 0) systemCallFailed("GetTokenInformation");
    std::vector<unsigned char> tokenUser(size);
    if (!GetTokenInformation(token.get(), TokenUser, tokenUser.data(), size, &size)) {
        systemCallFailed("GetTokenInformation");
    }
    const PSID sid = reinterpret_cast<TOKEN_USER*>(tokenUser.data())->User.Sid;
    std::vector<unsigned char> user(SECURITY_MAX_SID_SIZE);
    if (!CopySid(static_cast<DWORD>(user.size()), user.data(), sid)) systemCallFailed("CopySid");
    return user;
}

}  // namespace settings_impl
