#include "settings/protected_file.h"

#include <sddl.h>

#include "platform/handles.h"
#include "settings/exception.h"
#include "settings/token_user.h"

namespace settings_impl {

namespace {

constexpr DWORD kMaxSid = SECURITY_MAX_SID_SIZE;  // 68 bytes

[[noreturn]] void systemCallFailed(const char* call) {
    throw settings::Exception(settings::status::Internal,
                              std::string(call) + " failed with system error " + std::to_string(GetLastError()));
}

// Who may read a file that user creates: the string form of the Domain Users group of user's account
// domain, or "BU" (the built-in Users) for an account outside any domain, such as the local system
// account that deployment tools run the launcher as.
std::wstring readersFor(PSID user) {
    if (!IsValidSid(user)) {
        SetLastError(ERROR_INVALID_SID);
        systemCallFailed("IsValidSid");
    }
    unsigned char domainSid[kMaxSid];
    DWORD domainSize = kMaxSid;
    if (!GetWindowsAccountDomainSid(user, domainSid, &domainSize)) {
        // Windows says ERROR_NON_ACCOUNT_SID or ERROR_NON_DOMAIN_SID there, Wine ERROR_INVALID_SID
        // (for a SID found valid above).
        const DWORD error = GetLastError();
        if (error == ERROR_NON_ACCOUNT_SID || error == ERROR_NON_DOMAIN_SID || error == ERROR_INVALID_SID) return L"BU";
        systemCallFailed("GetWindowsAccountDomainSid");
    }
    unsigned char domainUsers[kMaxSid];
    DWORD usersSize = kMaxSid;
    if (!CreateWellKnownSid(WinAccountDomainUsersSid, domainSid, domainUsers, &usersSize)) {
        systemCallFailed("CreateWellKnownSid");
    }
    unique_hlocal_ptr<wchar_t> usersText;
    if (!ConvertSidToStringSidW(domainUsers, usersText.put())) systemCallFailed("ConvertSidToStringSidW");
    return usersText.get();
}

}  // namespace

std::wstring protectedFileSddlFor(PSID user) {
    return L"D:(A;;FA;;;BA)(A;;FR;;;" + readersFor(user) + L")(A;;FR;;;WD)";
}

std::wstring protectedFileSddl() { return protectedFileSddlFor(tokenUserSid().data()); }

std::vector<unsigned char> protectedFileSecurityDescriptor() {
    const std::wstring sddl = protectedFileSddl();
    unique_hlocal_ptr<void> descriptor;
    ULONG size = 0;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1, descriptor.put(),
                                                              &size)) {
        systemCallFailed("ConvertStringSecurityDescriptorToSecurityDescriptorW");
    }
    const auto* bytes = static_cast<const unsigned char*>(descriptor.get());
    return std::vector<unsigned char>(bytes, bytes + size);
}

HANDLE createProtectedHandle(const std::wstring& path) {
    try {
        std::vector<unsigned char> descriptor = protectedFileSecurityDescriptor();
        SECURITY_ATTRIBUTES attributes{sizeof(SECURITY_ATTRIBUTES), descriptor.data(), FALSE};
        return CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, 0, &attributes, CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    } catch (...) {
        return INVALID_HANDLE_VALUE;
    }
}

}  // namespace settings_impl
