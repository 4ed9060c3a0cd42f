// Stand-in public-runtime installer ("loom.exe"), left in the kit's folder by the stand-in
// development-kit package together with the runtime's package, loom3.1.0_27.msi. It records how it
// was called and installs that package silently with the system's msiexec.exe, so that the runtime
// of this version is registered as a real one is: its key in the view of the package's bitness and
// its product code under the Uninstall key.
//
// Record: one line per call, the full command line in UTF-8, appended to the file named by the
// environment variable MAKO_LOOM_RECORD, or to %TEMP%\loom-calls.txt without it. (Not beside the
// program: the launcher deletes loom.exe after the run, and its folder belongs to the kit.)
//
// Understood: /s, LAUNCHEDFROMFORGE=1, NOSTARTMENU=1, REBOOT=... (accepted, no effect) and
// INSTALLDIR=<folder> (the runtime's folder; default: "loom" beside this program).
// Exit code: the installer's, or the system error when it cannot be started.
#include <windows.h>
#include <shellapi.h>

#include <string>

#include "common/stand_in_support.h"
#include "product_facts.h"

namespace {

const wchar_t kPackage[] = L"loom" MAKO_VERSION ".msi";

DWORD install(const std::wstring& package, const std::wstring& home) {
    wchar_t system[MAX_PATH];
    const UINT length = GetSystemDirectoryW(system, MAX_PATH);
    const std::wstring msiexec = std::wstring(system, length) + L"\\msiexec.exe";
    std::wstring command = L"\"" + msiexec + L"\" /i \"" + package + L"\" /qn INSTALLDIR=\"" + home + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(msiexec.c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return GetLastError();
    return stand_in::waitForExit(process);
}

}  // namespace

int main() {
    const wchar_t* commandLine = GetCommandLineW();
    stand_in::appendToFile(stand_in::recordPath(L"MAKO_LOOM_RECORD", L"loom-calls.txt"), stand_in::toUtf8(commandLine) + "\n");

    const std::wstring folder = stand_in::folderOf(stand_in::ownPath());
    std::wstring home = folder + L"\\loom";
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
    return static_cast<int>(install(folder + L"\\" + kPackage, home));
}
