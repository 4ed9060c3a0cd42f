// hold_file <path> <milliseconds> <ready event name | ->
// Opens path for writing with a deny-write share mode (as a second log writer would), signals the
// named event once the file is held ("-": the file's existence is the signal), keeps it for the
// given time and exits.
#include <cstdlib>

#include "platform/win32.h"

int main(int argc, char** argv) {
    if (argc != 4) return 2;
    HANDLE file = CreateFileA(argv[1], GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                              nullptr);
    if (file == INVALID_HANDLE_VALUE) return 3;
    if (argv[3][0] != '-' || argv[3][1] != '\0') {
        HANDLE ready = OpenEventA(EVENT_MODIFY_STATE, FALSE, argv[3]);
        if (ready == nullptr) return 4;
        SetEvent(ready);
        CloseHandle(ready);
    }
    Sleep(static_cast<DWORD>(std::atoi(argv[2])));
    CloseHandle(file);
    return 0;
}
