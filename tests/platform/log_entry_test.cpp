#include <gtest/gtest.h>

#include "platform/logger.h"

namespace {

TEST(LogEntry, TwoLineFormatAndLevelNames) {
    const LogStamp stamp{2026, 3, 4, 5, 6, 7, 8, 1234, 56};
    const std::string head =
        "[2026/03/04 05:06:07.008, mako-forge-setup.exe (PID: 1234, TID: 56), wrapper.cpp:367 (WinMain)]\n";
    const struct { int32_t level; const char* message; std::string body; } rows[] = {
        {INFO, "Wrapper exit code: 0", "\tINFO: Wrapper exit code: 0\n"},
        {ERROR, "e", "\tERROR: e\n"},
        {4, "a\nb", "\tUNKNOWN: a\nb\n"},  // continuation lines are not indented
        {-1, "x", "\tUNKNOWN: x\n"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(head + row.body, composeLogEntry(stamp, "mako-forge-setup.exe", row.level, "C:/src\\app/wrapper.cpp",
                                                   367, "WinMain", row.message));
    }
}

}  // namespace
