#include <gtest/gtest.h>

#include "platform/logger.h"

namespace {

const LogStamp kStamp{2026, 3, 4, 5, 6, 7, 8, 1234, 56};

TEST(LogEntry, ExactTwoLineFormat) {
    EXPECT_EQ("[2026/03/04 05:06:07.008, mako-forge-setup.exe (PID: 1234, TID: 56), wrapper.cpp:367 (WinMain)]\n"
              "\tINFO: Wrapper exit code: 0\n",
              composeLogEntry(kStamp, "mako-forge-setup.exe", INFO, "C:/src\\app/wrapper.cpp", 367, "WinMain",
                              "Wrapper exit code: 0"));
}

TEST(LogEntry, LevelNamesAndUnknownValues) {
    EXPECT_STREQ("TRACE", logLevelName(0));
    EXPECT_STREQ("WARNING", logLevelName(2));
    EXPECT_STREQ("ERROR", logLevelName(3));
    EXPECT_STREQ("UNKNOWN", logLevelName(4));
    EXPECT_STREQ("UNKNOWN", logLevelName(-1));
    const std::string entry = composeLogEntry(kStamp, "p", 7, "f", 1, "fn", "a\nb");
    EXPECT_NE(std::string::npos, entry.find("\tUNKNOWN: a\nb\n")) << "continuation lines are not indented";
}

}  // namespace
