#pragma once
// The benchmark table's rows, printed by each benchmark program and collected by bench/run.sh:
//   ROW|<figure>|<what>|<build>|<runs>|<medians>|<value>|<goal>|<met, missed or ->
#include <cstdio>
#include <string>

namespace bench {

#if defined(_WIN64)
constexpr const char* kBuild = "win64";
#elif defined(_WIN32)
constexpr const char* kBuild = "win32";
#else
constexpr const char* kBuild = "host";
#endif

inline std::string format(const char* pattern, double a, double b = 0, double c = 0) {
    char text[160];
    std::snprintf(text, sizeof text, pattern, a, b, c);
    return text;
}

inline void row(const char* figure, const std::string& what, int runs, const std::string& medians,
                const std::string& value, const char* goal, const char* verdict) {
    std::printf("ROW|%s|%s|%s|%d|%s|%s|%s|%s\n", figure, what.c_str(), kBuild, runs, medians.c_str(), value.c_str(),
                goal, verdict);
}

// A ratio against an upper bound (limit <= 0: reported only).
inline void ratioRow(const char* figure, const std::string& what, int runs, const std::string& medians, double ratio,
                     double limit) {
    const std::string goal = limit > 0 ? format("<= %g", limit) : "-";
    row(figure, what, runs, medians, format("%.3f", ratio), goal.c_str(),
        limit <= 0 ? "-" : ratio <= limit ? "met" : "missed");
}

}  // namespace bench
