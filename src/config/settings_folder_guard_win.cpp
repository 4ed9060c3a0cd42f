#include "config/settings_folder_guard.h"

#include <aclapi.h>
#include <sddl.h>

#include <string>
#include <utility>
#include <vector>

#include "config/settings_folder_rules.h"
#include "platform/access_rules.h"
#include "platform/file_links.h"
#include "platform/handles.h"
#include "platform/logger.h"
#include "platform/tstrings.h"
#include "settings/file_system.h"
#include "settings/protected_file.h"

namespace {

constexpr const char* kFunction = "SecureSettingsFolders";
constexpr SECURITY_INFORMATION kOwnerAndRules = OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;

// Opened as the name itself, never what a link there leads to, and with the rights a takeover needs
// where they are granted; not shared for deletion, so that the name keeps naming this object.
unique_handle openItself(const std::wstring& path, DWORD share, DWORD flags) {
    for (const DWORD access : {DWORD{READ_CONTROL | WRITE_DAC | WRITE_OWNER | FILE_READ_ATTRIBUTES},
                               DWORD{READ_CONTROL | FILE_READ_ATTRIBUTES}}) {
        unique_handle handle(CreateFileW(path.c_str(), access, share, nullptr, OPEN_EXISTING,
                                         flags | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
        if (handle || GetLastError() != ERROR_ACCESS_DENIED) return handle;
    }
    return unique_handle();
}

// Under Wine a link's handle is its target's; the name's attributes and the handle's path tell.
bool isLink(HANDLE handle, const std::wstring& path) {
    FILE_ATTRIBUTE_TAG_INFO tag{};
    if (GetFileInformationByHandleEx(handle, FileAttributeTagInfo, &tag, sizeof tag) &&
        (tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        return true;
    }
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) return true;
    return reachedThroughLink(handle, tstrings::toMultiByte(path));
}

std::string sddlOf(HANDLE handle) {
    PSECURITY_DESCRIPTOR raw = nullptr;
    if (GetSecurityInfo(handle, SE_FILE_OBJECT, kOwnerAndRules, nullptr, nullptr, nullptr, nullptr, &raw) != ERROR_SUCCESS)
        return {};
    const unique_hlocal descriptor(raw);
    unique_hlocal_ptr<wchar_t> text;
    if (!ConvertSecurityDescriptorToStringSecurityDescriptorW(raw, SDDL_REVISION_1, kOwnerAndRules, text.put(), nullptr))
        return {};
    return tstrings::toUtf8(text.get());
}

// Owner Administrators and the given DACL (protected when the text says so), on the checked handle.
bool takeOver(HANDLE handle, const std::wstring& rules) {
    unique_hlocal_ptr<void> descriptor;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW((L"O:BA" + rules).c_str(), SDDL_REVISION_1,
                                                              descriptor.put(), nullptr))
        return false;
    PSID owner = nullptr;
    PACL dacl = nullptr;
    BOOL defaulted = FALSE, present = FALSE;
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    if (!GetSecurityDescriptorOwner(descriptor.get(), &owner, &defaulted) ||
        !GetSecurityDescriptorDacl(descriptor.get(), &present, &dacl, &defaulted) ||
        !GetSecurityDescriptorControl(descriptor.get(), &control, &revision))
        return false;
    const SECURITY_INFORMATION what = kOwnerAndRules | ((control & SE_DACL_PROTECTED) ? PROTECTED_DACL_SECURITY_INFORMATION
                                                                                      : UNPROTECTED_DACL_SECURITY_INFORMATION);
    return SetSecurityInfo(handle, SE_FILE_OBJECT, what, owner, nullptr, dacl, nullptr) == ERROR_SUCCESS;
}

// Taking ownership needs this privilege where the owner left administrators no rights; best effort.
void enableTakeOwnership() {
    HANDLE raw = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES, &raw)) return;
    const unique_handle token(raw);
    TOKEN_PRIVILEGES privileges{1, {{{0, 0}, SE_PRIVILEGE_ENABLED}}};
    if (LookupPrivilegeValueW(nullptr, L"SeTakeOwnershipPrivilege", &privileges.Privileges[0].Luid))
        AdjustTokenPrivileges(token.get(), FALSE, &privileges, 0, nullptr, nullptr);
}

// The folder at path checked (created when missing) and held; false after logging why it is refused.
bool secureFolder(const std::wstring& path, const std::string& user, bool& takenOver) {
    const std::string name = tstrings::toUtf8(path);
    unique_handle folder = openItself(path, FILE_SHARE_READ | FILE_SHARE_WRITE, FILE_FLAG_BACKUP_SEMANTICS);
    if (!folder && (GetLastError() == ERROR_FILE_NOT_FOUND || GetLastError() == ERROR_PATH_NOT_FOUND)) {
        unique_hlocal_ptr<void> descriptor;
        const std::wstring rules = tstrings::toUtf16(kSettingsFolderRules);
        if (ConvertStringSecurityDescriptorToSecurityDescriptorW(rules.c_str(), SDDL_REVISION_1, descriptor.put(), nullptr)) {
            SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor.get(), FALSE};
            CreateDirectoryW(path.c_str(), &attributes);  // lost a race: the one there is checked below
        }
        folder = openItself(path, FILE_SHARE_READ | FILE_SHARE_WRITE, FILE_FLAG_BACKUP_SEMANTICS);
    }
    if (!folder) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return true;  // saving reports it
        LAUNCHER_LOG(ERROR, kFunction, "Folder cannot be checked, not used: " << name << ", system error " << error);
        return false;
    }
    FILE_ATTRIBUTE_TAG_INFO tag{};
    if (GetFileInformationByHandleEx(folder.get(), FileAttributeTagInfo, &tag, sizeof tag) &&
        (tag.FileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == 0) {
        return true;  // a file in the folder's place: nothing can be created under it, saving reports that
    }
    if (isLink(folder.get(), path)) {
        LAUNCHER_LOG(ERROR, kFunction, "Folder is a link or junction, not used: " << name);
        return false;
    }
    const std::string sddl = sddlOf(folder.get());
    if (othersMayChangeFolder(sddl, user)) {
        if (!takeOver(folder.get(), tstrings::toUtf16(kSettingsFolderRules))) {
            LAUNCHER_LOG(ERROR, kFunction, "Folder others may change could not be secured, not used: "
                                               << name << " (" << sddl << "), system error " << GetLastError());
            return false;
        }
        LAUNCHER_LOG(WARNING, kFunction,
                     "Folder others could change was taken over (owner Administrators, access for administrators only): "
                         << name << " (was " << sddl << ")");
        takenOver = true;
    }
    holdUntilProcessEnds(std::move(folder));
    return true;
}

}  // namespace

bool SecureSettingsFolders() {
    std::wstring path;
    try {
        path = tstrings::toUtf16(settings_impl::fileSystem().commonAppDataFolder());
    } catch (const std::exception&) {
        return true;  // no settings file can be named either; loading reports it
    }
    enableTakeOwnership();
    const std::string user = processUserSid();
    bool takenOver = false;
    for (const wchar_t* folder : {L"\\Brennic", L"\\Mako"}) {
        path += folder;
        if (!secureFolder(path, user, takenOver)) return false;
    }
    path += L"\\mako.settings.cfg";
    const unique_handle file = openItself(path, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, 0);
    if (!file) return true;
    const std::string name = tstrings::toUtf8(path);
    if (isLink(file.get(), path)) {
        LAUNCHER_LOG(ERROR, kFunction, "File is a link, not used: " << name);
        return false;
    }
    // Whoever planted the folder may have planted the file: from now on only administrators change it.
    if (takenOver) {
        bool secured = false;
        try {
            secured = takeOver(file.get(), settings_impl::protectedFileSddl());
        } catch (const std::exception&) {
        }
        if (!secured) {
            LAUNCHER_LOG(ERROR, kFunction, "Settings file in a folder others could change could not be secured, not used: " << name);
            return false;
        }
        LAUNCHER_LOG(WARNING, kFunction, "Settings file in a folder others could change was taken over: " << name);
    }
    return true;
}
