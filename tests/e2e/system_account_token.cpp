// Linked into a launcher built for tests ahead of the settings library, whose own tokenUserSid is
// then left out: that launcher creates the runtime settings file as the local system account would.
#include "platform/win32.h"
#include "settings/exception.h"
#include "settings/token_user.h"

namespace settings_impl {

std::vector<unsigned char> tokenUserSid() {
    std::vector<unsigned char> sid(SECURITY_MAX_SID_SIZE);
    DWORD size = static_cast<DWORD>(sid.size());
    if (!CreateWellKnownSid(WinLocalSystemSid, nullptr, sid.data(), &size)) {
        throw settings::Exception(settings::status::Internal, "CreateWellKnownSid(WinLocalSystemSid) failed");
    }
    return sid;
}

}  // namespace settings_impl
