#include "settings/protected_file.h"

#include <sddl.h>

#include "platform/handles.h"
#include "settings/exception.h"

namespace settings_impl {

namespace {

constexpr DWORD kMaxSid = SECURITY_MAX_SID_SIZE;  // 68 bytes

[[noreturn]] void systemCallFailed(const char* call) {
    throw settings::Exception(settings::status::Internal,
                              std::string(call) + " failed with system error " + std::to_string(GetLastError()));
}

}  // namespace

std::wstring protectedFileSddl() {
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
    unsigned char userSid[kMaxSid];
    if (!CopySid(kMaxSid, userSid, reinterpret_cast<TOKEN_USER*>(tokenUser.data())->User.Sid)) {
        systemCallFailed("CopySid");
    }

    unsigned char domainSid[kMaxSid];
    DWORD domainSize = kMaxSid;
    if (!GetWindowsAccountDomainSid(userSid, domainSid, &domainSize)) systemCallFailed("GetWindowsAccountDomainSid");
    unsigned char domainUsers[kMaxSid];
    DWORD usersSize = kMaxSid;
    if (!CreateWellKnownSid(WinAccountDomainUsersSid, domainSid, domainUsers, &usersSize)) {
        systemCallFailed("CreateWellKnownSid");
    }
    unique_hlocal_ptr<wchar_t> usersText;
    if (!ConvertSidToStringSidW(domainUsers, usersText.put())) systemCallFailed("ConvertSidToStringSidW");

    return std::wstring(L"D:(A;;FA;;;BA)(A;;FR;;;") + usersText.get() + L")(A;;FR;;;WD)";
}

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
