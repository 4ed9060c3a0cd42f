#pragma once
// The one shared, append-only log (musched.log in the user's temporary folder). Each entry is two
// lines: a bracketed header, then a tab, the level name and the message.
#include <cstdint>
#include <sstream>
#include <string>

#ifdef ERROR
#undef ERROR  // wingdi.h's ERROR would shadow our level name
#endif

// Static construction order of the process-wide objects across units: the launcher's restriction
// of the library search first, then the operating-system version, then the log sink (file name,
// logger, program name), then everything else, so that any later static object can log.
#if defined(__GNUC__) && defined(_WIN32)
#define LAUNCHER_INIT_PRIORITY(n) __attribute__((init_priority(n)))
#else
#define LAUNCHER_INIT_PRIORITY(n)
#endif
#define LAUNCHER_INIT_DLL_SEARCH 999
#define LAUNCHER_INIT_OS_VERSION 1000
#define LAUNCHER_INIT_LOG_FILE_NAME 1010
#define LAUNCHER_INIT_LOGGER 1011
#define LAUNCHER_INIT_PROCESS_NAME 1012
#define LAUNCHER_INIT_LOGGER_READY 1013

enum LogLevel : int32_t { TRACE = 0, INFO = 1, WARNING = 2, ERROR = 3 };

// "TRACE", "INFO", "WARNING", "ERROR", or "UNKNOWN" for any other value.
const char* logLevelName(int32_t level);

// Local time and identities that go into an entry's header.
struct LogStamp {
    uint32_t year, month, day, hour, minute, second, milliseconds;
    uint32_t processId, threadId;
};

// The exact bytes of one entry, before the runtime's text mode turns "\n" into CR LF.
std::string composeLogEntry(const LogStamp& stamp, const std::string& processName, int32_t level,
                            const char* file, uint32_t line, const char* function, const std::string& message);

class Logger {
public:
    Logger() = default;
    explicit Logger(std::string logPath) : path(std::move(logPath)) {}

    void log(int32_t level, const char* file, uint32_t line, const char* function, const std::string& message);
    void log(int32_t level, const char* file, uint32_t line, const char* function, const char* message);
    void log(int32_t level, const char* file, uint32_t line, const char* function, const std::ostringstream& message);

    int32_t threshold = TRACE;  // lowest level written; never raised in this program
    std::string path;           // empty: nothing is written
};

// The process-wide sink: <temp folder>\musched.log. Calls made before it is built (or after it is
// destroyed) write nothing.
extern Logger globalLogger;
extern const std::string logFileName;
extern std::string processName;

inline bool logEnabled(int32_t level) { return globalLogger.threshold <= level; }

// The driver's progress lines: INFO, attributed to one fixed location so they are told apart by text.
void logit(const char* message);
void logit(const std::string& message);

// Writes "Entering <name>" on construction and "Exiting <name> (entered at <file>:<line>)" on
// destruction, at TRACE level.
class ScopeTracer {
public:
    ScopeTracer(Logger& logger, const char* file, uint32_t line, const char* function, std::string name);
    ~ScopeTracer();
    ScopeTracer(const ScopeTracer&) = delete;
    ScopeTracer& operator=(const ScopeTracer&) = delete;

private:
    Logger* logger;
    int32_t level;
    bool enabled;
    std::string file;
    uint32_t line;
    std::string function;
    std::string name;
};

// Logs at level with an explicit function name when the threshold admits it; the message is only
// composed then.
#define LAUNCHER_LOG(level, function, streamed)                                     \
    do {                                                                            \
        if (logEnabled(level)) {                                                    \
            std::ostringstream launcherLogText_;                                    \
            launcherLogText_ << streamed;                                           \
            globalLogger.log((level), __FILE__, __LINE__, (function), launcherLogText_); \
        }                                                                           \
    } while (0)
