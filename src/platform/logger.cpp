#include "platform/logger.h"

#include "platform/tstrings.h"

namespace {
// logit's entries carry the unit and line numbers they have always had, whatever this file's layout.
constexpr uint32_t kLogitTextLine = 177;
constexpr uint32_t kLogitStringLine = 181;
}  // namespace

const char* logLevelName(int32_t level) {
    switch (level) {
        case TRACE: return "TRACE";
        case INFO: return "INFO";
        case WARNING: return "WARNING";
        case ERROR: return "ERROR";
        default: return "UNKNOWN";
    }
}

std::string composeLogEntry(const LogStamp& s, const std::string& process, int32_t level, const char* file,
                            uint32_t line, const char* function, const std::string& message) {
    return tstrings::format("[%04u/%02u/%02u %02u:%02u:%02u.%03u, %s (PID: %u, TID: %u), %s:%u (%s)]\n\t%s: %s\n",
                            s.year, s.month, s.day, s.hour, s.minute, s.second, s.milliseconds, process.c_str(),
                            s.processId, s.threadId, basename(std::string(file ? file : "")).c_str(), line,
                            function ? function : "", logLevelName(level), message.c_str());
}

void Logger::log(int32_t level, const char* file, uint32_t line, const char* function, const char* message) {
    log(level, file, line, function, std::string(message ? message : ""));
}

void Logger::log(int32_t level, const char* file, uint32_t line, const char* function,
                 const std::ostringstream& message) {
    log(level, file, line, function, message.str());
}

void logit(const char* message) {
    if (logEnabled(INFO)) globalLogger.log(INFO, "AllUtils", kLogitTextLine, "logit", message);
}

void logit(const std::string& message) {
    if (logEnabled(INFO)) globalLogger.log(INFO, "AllUtils", kLogitStringLine, "logit", message);
}

ScopeTracer::ScopeTracer(Logger& target, const char* sourceFile, uint32_t sourceLine, const char* sourceFunction,
                         std::string traced)
    : logger(&target),
      level(TRACE),
      enabled(target.threshold <= TRACE),
      file(sourceFile ? sourceFile : ""),
      line(sourceLine),
      function(sourceFunction ? sourceFunction : ""),
      name(std::move(traced)) {
    if (enabled) logger->log(level, file.c_str(), line, function.c_str(), "Entering " + name);
}

ScopeTracer::~ScopeTracer() {
    if (!enabled) return;
    try {
        logger->log(level, file.c_str(), 0, function.c_str(),
                    "Exiting " + name + " (entered at " + basename(file) + ":" + tstrings::toString(line) + ")");
    } catch (...) {
        // A destructor must not throw; losing the exit line is the lesser harm.
    }
}
