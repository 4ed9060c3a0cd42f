// A library planted beside the launcher under the name of a system one (bcrypt.dll, which the
// system's crypt32.dll imports): when loaded, it leaves the file named by MAKO_TEST_PLANTED_MARKER.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
    if (reason != DLL_PROCESS_ATTACH) return TRUE;
    char marker[MAX_PATH] = {};
    const DWORD length = GetEnvironmentVariableA("MAKO_TEST_PLANTED_MARKER", marker, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return TRUE;
    const HANDLE file = CreateFileA(marker, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    return TRUE;
}
