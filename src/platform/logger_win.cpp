// The Windows log sink: one open-append-close per entry under a deny-write share mode, so that
// the worker thread and other processes (the update scheduler) never interleave inside a line.
#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <sys/stat.h>

#include "platform/logger.h"
#include "platform/sysinfo.h"
#include "platform/tstrings.h"
#include "platform/win32.h"

namespace {

constexpr int kOpenFlags = _O_WRONLY | _O_APPEND | _O_CREAT;  // 0x109; default (text) translation mode
constexpr int kShareDenyWrite = _SH_DENYWR;                   // 0x20
constexpr int kPermissions = _S_IREAD | _S_IWRITE;            // 0x180
constexpr int kOpenAttempts = 10;

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

    for (int attempt = 0; attempt < kOpenAttempts; ++attempt) {
        const int fd = _sopen(path.c_str(), kOpenFlags, kShareDenyWrite, kPermissions);
        if (fd >= 0) {
            _write(fd, entry.data(), static_cast<unsigned>(entry.size()));  // a failed write is not reported
            _close(fd);
            return;
        }
        Sleep(1);
    }
    // Held by another writer for longer than the retries last: the line is dropped.
}
