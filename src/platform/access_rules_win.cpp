// The security descriptors of a file and its folder, read for the access-rule judgement.
#include "platform/access_rules.h"

#include <windows.h>

#include <aclapi.h>
#include <sddl.h>

#include <vector>

#include "platform/handles.h"
#include "platform/tstrings.h"

namespace {

constexpr SECURITY_INFORMATION kOwnerAndDacl = OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;

// Owner and DACL in SDDL; empty when they cannot be read.
std::string sddlOf(const std::wstring& path) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetNamedSecurityInfoW(path.c_str(), SE_FILE_OBJECT, kOwnerAndDacl, nullptr, nullptr, nullptr, nullptr,
                              &descriptor) != ERROR_SUCCESS) {
        return {};
    }
    const unique_hlocal ownedDescriptor(descriptor);
    LPWSTR text = nullptr;
    if (!ConvertSecurityDescriptorToStringSecurityDescriptorW(descriptor, SDDL_REVISION_1, kOwnerAndDacl, &text,
                                                              nullptr)) {
        return {};
    }
    const unique_hlocal ownedText(text);
    return tstrings::toUtf8(text);
}


// The root of a drive letter path ("C:\\") or of a share ("\\\\server\\share\\"). Not through
// GetVolumePathNameW: in a process that had read descriptors, Wine 8 crashed in the volume query
// after it (measured with a probe, within five calls).
std::wstring volumeRoot(const std::wstring& path) {
    if (path.size() >= 3 && path[1] == L':') return path.substr(0, 2) + L"\\";
    if (path.compare(0, 2, L"\\\\") != 0) return {};
    const size_t server = path.find(L'\\', 2), share = server == std::wstring::npos ? server : path.find(L'\\', server + 1);
    return share == std::wstring::npos ? path + L"\\" : path.substr(0, share + 1);
}

bool volumeKeepsAccessRules(const std::wstring& path) {
    const std::wstring root = volumeRoot(path);
    DWORD flags = 0;
    if (root.empty() || !GetVolumeInformationW(root.c_str(), nullptr, 0, nullptr, nullptr, &flags, nullptr, 0)) {
        return true;  // unknown: judge it
    }
    return (flags & FILE_PERSISTENT_ACLS) != 0;
}

}  // namespace

std::string processUserSid() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return {};
    const unique_handle ownedToken(token);
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::vector<unsigned char> buffer(size ? size : 1);
    if (!GetTokenInformation(token, TokenUser, buffer.data(), size, &size)) return {};
    LPWSTR text = nullptr;
    if (!ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, &text)) return {};
    const unique_hlocal ownedText(text);
    return tstrings::toUtf8(text);
}

std::string untrustedWritersOf(const std::string& path) {
    const std::wstring file = tstrings::toUtf16(path);
    if (!volumeKeepsAccessRules(file)) return {};
    const size_t slash = file.find_last_of(L"\\/");
    const std::wstring folder = slash == std::wstring::npos ? L"." : file.substr(0, slash == 2 ? 3 : slash);
    return untrustedWriters(sddlOf(file), sddlOf(folder), processUserSid());
}
