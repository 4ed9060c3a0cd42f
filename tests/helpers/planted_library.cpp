// A library planted beside the launcher under the name of a system one (bcrypt.dll, which the
// system's crypt32.dll imports): when loaded, it leaves the file named by MAKO_TEST_PLANTED_MARKER.
#include "common/stand_in_support.h"

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
    if (reason != DLL_PROCESS_ATTACH) return TRUE;
    const std::wstring marker = stand_in::environment(L"MAKO_TEST_PLANTED_MARKER");
    if (marker.empty()) return TRUE;
    const HANDLE file =
        CreateFileW(marker.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    return TRUE;
}
