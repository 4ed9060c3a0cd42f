// Custom action of the stand-in development-kit package: the launcher writes the four cabinets on a
// worker thread while the installer already runs and announces the last one through a named
// manual-reset event. Files are only read from the cabinets in InstallFiles, so this action, placed
// right before it, holds the installation there until the event is set.
//
// Each step goes to the installer's log and, when MAKO_TEST_KIT_RECORD names a file, to the end of
// that file as the same "WaitForArchives: ..." lines: an installer that never returns leaves no log
// the tests can read, and the record tells whether the action ran at all. Wine runs the action in a
// custom-action process that inherits the installer's environment.
// MAKO_TEST_EVENT_WAIT_MS, when set, replaces the wait limit (tests fail fast instead of waiting).
#include <windows.h>
#include <msi.h>
#include <msiquery.h>

#include <cstdio>
#include <cstdlib>

#include "product_facts.h"

namespace {

const char kEventName[] = MAKO_CAB_EXTRACT_EVENT_NAME;
// Generous: the real archives are about 181 MB. A launcher that died before setting the event
// must not leave the installer hanging for ever; failing then is the honest result.
const DWORD kWaitLimitMs = 10 * 60 * 1000;

DWORD waitLimit() {
    char text[32] = {};
    const DWORD length = GetEnvironmentVariableA("MAKO_TEST_EVENT_WAIT_MS", text, sizeof text);
    return length > 0 && length < sizeof text ? strtoul(text, nullptr, 10) : kWaitLimitMs;
}

void logLine(MSIHANDLE install, const char* text) {
    PMSIHANDLE record = MsiCreateRecord(1);
    MsiRecordSetStringA(record, 0, text);
    MsiProcessMessage(install, INSTALLMESSAGE_INFO, record);
    char path[MAX_PATH] = {};
    const DWORD length = GetEnvironmentVariableA("MAKO_TEST_KIT_RECORD", path, sizeof path);
    if (length == 0 || length >= sizeof path) return;
    HANDLE file = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(file, text, lstrlenA(text), &written, nullptr);
    WriteFile(file, "\r\n", 2, &written, nullptr);
    CloseHandle(file);
}

void clockText(char (&out)[16]) {
    SYSTEMTIME now;
    GetLocalTime(&now);
    snprintf(out, sizeof out, "%02u:%02u:%02u.%03u", now.wHour, now.wMinute, now.wSecond, now.wMilliseconds);
}

}  // namespace

extern "C" __declspec(dllexport) UINT __stdcall WaitForArchives(MSIHANDLE install) {
    char line[256], started[16], ended[16];
    clockText(started);
    snprintf(line, sizeof line, "WaitForArchives: started at %s in process %lu", started, GetCurrentProcessId());
    logLine(install, line);
    HANDLE event = OpenEventA(SYNCHRONIZE, FALSE, kEventName);
    if (!event) {
        // Started without the launcher (by hand, or a repair): the cabinets are where they are.
        logLine(install, "WaitForArchives: no launcher event, going on");
        return ERROR_SUCCESS;
    }
    const DWORD limit = waitLimit();
    const ULONGLONG begin = GetTickCount64();
    const DWORD wait = WaitForSingleObject(event, limit);
    const DWORD waitError = GetLastError();
    const ULONGLONG waited = GetTickCount64() - begin;
    CloseHandle(event);
    clockText(ended);
    const char* outcome = wait == WAIT_OBJECT_0 ? "signalled" : wait == WAIT_TIMEOUT ? "timed out" : "failed";
    snprintf(line, sizeof line, "WaitForArchives: event %s (limit %lu ms, error %lu); started %s, ended %s, waited %llu ms",
             outcome, limit, wait == WAIT_FAILED ? waitError : 0, started, ended, waited);
    logLine(install, line);
    if (wait == WAIT_OBJECT_0) {
        logLine(install, "WaitForArchives: archives written");
        return ERROR_SUCCESS;
    }
    logLine(install, "WaitForArchives: the launcher did not finish writing the archives");
    return ERROR_INSTALL_FAILURE;
}
