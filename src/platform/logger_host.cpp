// The log sink of the native build, which holds only the platform-free core: the same entry
// format, appended with stdio. The Windows sink (logger_win.cpp) is the one the launcher ships.
#include <sys/time.h>
#include <unistd.h>

#include <cstdio>
#include <ctime>

#include "platform/logger.h"

const std::string logFileName = "musched.log";
Logger globalLogger;
std::string processName = "host";

void Logger::log(int32_t level, const char* file, uint32_t line, const char* function, const std::string& message) {
    if (path.empty()) return;
    timeval now{};
    gettimeofday(&now, nullptr);
    tm local{};
    localtime_r(&now.tv_sec, &local);
    const LogStamp stamp{static_cast<uint32_t>(local.tm_year + 1900), static_cast<uint32_t>(local.tm_mon + 1),
                         static_cast<uint32_t>(local.tm_mday), static_cast<uint32_t>(local.tm_hour),
                         static_cast<uint32_t>(local.tm_min), static_cast<uint32_t>(local.tm_sec),
                         static_cast<uint32_t>(now.tv_usec / 1000), static_cast<uint32_t>(getpid()), 0};
    const std::string entry = composeLogEntry(stamp, processName, level, file, line, function, message);
    if (FILE* out = std::fopen(path.c_str(), "ab")) {
        std::fwrite(entry.data(), 1, entry.size(), out);
        std::fclose(out);
    }
}
