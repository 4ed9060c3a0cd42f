// Stand-in registration program of the update agent ("maureg.exe"), installed by the stand-in agent
// package into the common program files. It records how it was called and returns 0.
//
// Record: one line per call, the full command line in UTF-8, appended to the file named by the
// environment variable MAKO_MAUREG_RECORD, or to %TEMP%\maureg-calls.txt without it.
#include <windows.h>

#include "common/stand_in_support.h"

int main() {
    stand_in::appendToFile(stand_in::recordPath(L"MAKO_MAUREG_RECORD", L"maureg-calls.txt"),
                           stand_in::toUtf8(GetCommandLineW()) + "\n");
    return 0;
}
