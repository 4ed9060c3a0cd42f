// Stand-in public-runtime installer ("loom.exe"), left in the kit's folder by the stand-in
// development-kit package. It does the least its role needs: it records how it was called and
// registers the runtime of this version in its own registry view (the view of its bitness), so the
// launcher's "runtime registered" check and the update-agent step see an installed runtime.
//
// Record: one line per call, the full command line in UTF-8, appended to the file named by the
// environment variable MAKO_LOOM_RECORD, or to %TEMP%\loom-calls.txt without it. (Not beside the
// program: the launcher deletes loom.exe after the run, and its folder belongs to the kit.)
//
// Understood: /s, LAUNCHEDFROMFORGE=1, NOSTARTMENU=1, REBOOT=... (accepted, no effect) and
// INSTALLDIR=<folder> (the runtime's folder; default: "jre" beside this program).
// Exit code 0, or 1603 when the registration fails.
#include <windows.h>
#include <shellapi.h>

#include <string>

#include "common/stand_in_support.h"

namespace {

const wchar_t kRuntimeKey[] = L"SOFTWARE\\Velmora\\Mako Runtime Environment\\3.1.0_27";
const wchar_t kFullVersion[] = L"3.1.0_27-b09";
const wchar_t kBuildNumber[] = L"9";

bool setString(HKEY key, const wchar_t* name, const std::wstring& value) {
    return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                          static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

bool registerRuntime(const std::wstring& home) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, kRuntimeKey, 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        return false;
    bool ok = setString(key, L"MakoHome", home) && setString(key, L"BuildNumber", kBuildNumber);
    HKEY msi = nullptr;
    if (ok && RegCreateKeyExW(key, L"MSI", 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr, &msi, nullptr) ==
                  ERROR_SUCCESS) {
        ok = setString(msi, L"FullVersion", kFullVersion);
        RegCloseKey(msi);
    } else {
        ok = false;
    }
    RegCloseKey(key);
    return ok;
}

}  // namespace

int main() {
    const wchar_t* commandLine = GetCommandLineW();
    stand_in::appendToFile(stand_in::recordPath(L"MAKO_LOOM_RECORD", L"loom-calls.txt"), stand_in::toUtf8(commandLine) + "\n");

    std::wstring home = stand_in::folderOf(stand_in::ownPath()) + L"\\jre";
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(commandLine, &argc);
    const std::wstring installDir = L"INSTALLDIR=";
    for (int i = 1; argv && i < argc; ++i) {
        const std::wstring arg = argv[i];
        if (arg.size() > installDir.size() && CompareStringOrdinal(arg.c_str(), static_cast<int>(installDir.size()),
                                                                   installDir.c_str(), -1, TRUE) == CSTR_EQUAL) {
            home = arg.substr(installDir.size());
            if (home.size() >= 2 && home.front() == L'"' && home.back() == L'"') home = home.substr(1, home.size() - 2);
            while (!home.empty() && (home.back() == L'\\' || home.back() == L' ')) home.pop_back();
        }
    }
    LocalFree(argv);
    return registerRuntime(home) ? 0 : 1603;
}
