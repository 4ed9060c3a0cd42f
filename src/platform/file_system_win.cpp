#include "platform/file_system.h"

#include <shlobj.h>

#include <cstring>

#include "platform/dll.h"
#include "platform/handles.h"
#include "platform/logger.h"
#include "platform/sysinfo.h"
#include "platform/tstrings.h"
#include "platform/win_errors.h"

namespace {

using SHGetKnownFolderPathFn = HRESULT(WINAPI*)(const GUID&, DWORD, HANDLE, PWSTR*);

// {A520A1A4-1780-4FF6-BD18-167343C5AF16}
constexpr GUID kLocalAppDataLow = {0xA520A1A4, 0x1780, 0x4FF6, {0xBD, 0x18, 0x16, 0x73, 0x43, 0xC5, 0xAF, 0x16}};

// Copies text with its zero into out, or refuses (false, out untouched) when it does not fit.
bool copyFitting(const std::string& text, char (&out)[MAX_PATH]) {
    if (text.size() >= MAX_PATH) {
        LAUNCHER_LOG(ERROR, "userDataFolder", "user data folder longer than " << MAX_PATH - 1 << " characters: " << text);
        return false;
    }
    std::memcpy(out, text.c_str(), text.size() + 1);
    return true;
}

}  // namespace

void userDataFolder(char (&out)[MAX_PATH]) {
    std::string folder;
    if (osGeneration >= 2) {
        DllFunction<SHGetKnownFolderPathFn> getKnownFolderPath(Dll::system("shell32.dll"), "SHGetKnownFolderPath");
        PWSTR wide = nullptr;
        const HRESULT hr = static_cast<SHGetKnownFolderPathFn>(getKnownFolderPath)(kLocalAppDataLow, 0, nullptr, &wide);
        unique_cotaskmem owner(wide);
        if (FAILED(hr) || wide == nullptr) return;
        // A profile name outside the process code page has no narrow form that names this folder.
        if (!tstrings::toMultiByteExact(wide, folder)) {
            LAUNCHER_LOG(ERROR, "userDataFolder",
                         "user data folder not representable in code page " << GetACP() << ": "
                                                                             << tstrings::toUtf8(wide));
            return;
        }
    } else {
        char buffer[MAX_PATH] = {};
        if (FAILED(SHGetFolderPathA(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, buffer))) return;
        folder = buffer;
    }

    if (SysInfo::isWow64()) {
        const std::string system32 = SysInfo::getSystem32Dir();
        if (folder.compare(0, system32.size(), system32) == 0) {
            folder = SysInfo::getSystemWow64Dir() + folder.substr(system32.size());
        }
    }
    copyFitting(folder, out);
}

bool fileExists(const std::string& path) {
    WIN32_FIND_DATAA found;
    unique_hfind search(FindFirstFileA(path.c_str(), &found));
    return static_cast<bool>(search);
}
