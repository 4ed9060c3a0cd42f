// The Windows log sink: one open-append-close per entry under a deny-write share mode, so that
// the worker thread and other processes (the update scheduler) never interleave inside a line.
#include <errno.h>
#include <stdlib.h>

#include <atomic>
#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <sys/stat.h>

#include "platform/file_links.h"
#include "platform/logger.h"
#include "platform/sysinfo.h"
#include "platform/tstrings.h"
#include "platform/win32.h"

namespace {

constexpr int kOpenFlags = _O_WRONLY | _O_APPEND;  // default (text) translation mode
constexpr int kShareDenyWrite = _SH_DENYWR;                   // 0x20
constexpr int kPermissions = _S_IREAD | _S_IWRITE;            // 0x180
constexpr int kOpenAttempts = 10;
constexpr int kLinkedLog = -2;
// A log that another writer holds for the moment (a thread of ours, another launcher, the update
// scheduler) is waited for up to this long, so that writers at the same time lose no line. Once a
// line was lost that way, someone holds the file for good: the following lines get only
// kOpenAttempts until one is written again.
constexpr DWORD kContendedWaitMs = 2000;
std::atomic<bool> logHeldForGood{false};

// Made anew with _O_EXCL where nothing is, which never follows a link, dangling or not; an existing
// log reached through a link is left unwritten (kLinkedLog): the log lives in a folder the user can
// write, and the elevated launcher must not append to whatever a link names. Removing the link is
// no remedy: Wine's DeleteFile removes a linked file's target.
int openLog(const std::string& path) {
    int fd = _sopen(path.c_str(), kOpenFlags | _O_CREAT | _O_EXCL, kShareDenyWrite, kPermissions);
    if (fd >= 0) return fd;
    if (errno != EEXIST) return -1;
    fd = _sopen(path.c_str(), kOpenFlags, kShareDenyWrite, kPermissions);
    if (fd >= 0 && reachedThroughLink(reinterpret_cast<HANDLE>(_get_osfhandle(fd)), path)) {
        _close(fd);
        return kLinkedLog;
    }
    return fd;
}

std::string buildProcessName() {
    try {
        return basename(SysInfo::getProcessModulePath());
    } catch (const std::exception&) {
        return "Unknown";
    }
}

}  // namespace

namespace {

// Constant-initialised, so readable before any constructor ran: a log call from static
// construction that precedes the sink (version detection) is dropped instead of touching
// unconstructed strings.
bool globalLoggerReady = false;

struct GlobalLoggerReady {
    GlobalLoggerReady() { globalLoggerReady = true; }
    ~GlobalLoggerReady() { globalLoggerReady = false; }
};

// Without a temporary folder there is no log: a bare file name would land in whatever the current
// folder happens to be.
std::string globalLogPath(const std::string& fileName) {
    const std::string folder = SysInfo::getTempDir();
    return folder.empty() ? std::string() : joinPath(folder, fileName);
}

}  // namespace

const std::string logFileName LAUNCHER_INIT_PRIORITY(LAUNCHER_INIT_LOG_FILE_NAME) = "musched.log";
Logger globalLogger LAUNCHER_INIT_PRIORITY(LAUNCHER_INIT_LOGGER)(globalLogPath(logFileName));
std::string processName LAUNCHER_INIT_PRIORITY(LAUNCHER_INIT_PROCESS_NAME) = buildProcessName();
static GlobalLoggerReady globalLoggerReadyMark LAUNCHER_INIT_PRIORITY(LAUNCHER_INIT_LOGGER_READY);

void Logger::log(int32_t level, const char* file, uint32_t line, const char* function, const std::string& message) {
    if (this == &globalLogger && !globalLoggerReady) return;
    if (path.empty()) return;
    SYSTEMTIME now;
    GetLocalTime(&now);
    const LogStamp stamp{now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond, now.wMilliseconds,
                         GetCurrentProcessId(), GetCurrentThreadId()};
    const std::string entry = composeLogEntry(stamp, processName, level, file, line, function, message);

    const DWORD started = GetTickCount();
    for (int attempt = 1;; ++attempt) {
        const int fd = openLog(path);
        if (fd >= 0) {
            _write(fd, entry.data(), static_cast<unsigned>(entry.size()));  // a failed write is not reported
            _close(fd);
            logHeldForGood = false;
            return;
        }
        if (fd == kLinkedLog) return;  // the line is dropped: retrying would meet the same link
        const unsigned long error = _doserrno;
        const bool heldByAnother = error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION;
        if (attempt >= kOpenAttempts &&
            (!heldByAnother || logHeldForGood || GetTickCount() - started >= kContendedWaitMs)) {
            // Missing folder, no access, or held for longer than the wait: the line is dropped.
            if (heldByAnother) logHeldForGood = true;
            return;
        }
        Sleep(1);
    }
}
