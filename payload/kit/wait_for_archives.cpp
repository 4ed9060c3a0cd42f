// Custom action of the stand-in development-kit package: the launcher writes the four cabinets on a
// worker thread while the installer already runs and announces the last one through a named
// manual-reset event. Files are only read from the cabinets in InstallFiles, so this action, placed
// right before it, holds the installation there until the event is set.
#include <windows.h>
#include <msi.h>
#include <msiquery.h>

namespace {

const char kEventName[] = "HaldenForgeCabExtractWaitEvent";
// Generous: the real archives are about 181 MB. A launcher that died before setting the event
// must not leave the installer hanging for ever; failing then is the honest result.
const DWORD kWaitLimitMs = 10 * 60 * 1000;

void logLine(MSIHANDLE install, const char* text) {
    PMSIHANDLE record = MsiCreateRecord(1);
    MsiRecordSetStringA(record, 0, text);
    MsiProcessMessage(install, INSTALLMESSAGE_INFO, record);
}

}  // namespace

extern "C" __declspec(dllexport) UINT __stdcall WaitForArchives(MSIHANDLE install) {
    HANDLE event = OpenEventA(SYNCHRONIZE, FALSE, kEventName);
    if (!event) {
        // Started without the launcher (by hand, or a repair): the cabinets are where they are.
        logLine(install, "WaitForArchives: no launcher event, going on");
        return ERROR_SUCCESS;
    }
    const DWORD wait = WaitForSingleObject(event, kWaitLimitMs);
    CloseHandle(event);
    if (wait == WAIT_OBJECT_0) {
        logLine(install, "WaitForArchives: archives written");
        return ERROR_SUCCESS;
    }
    logLine(install, "WaitForArchives: the launcher did not finish writing the archives");
    return ERROR_INSTALL_FAILURE;
}
