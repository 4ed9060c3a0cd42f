// The executor against real child processes (Wine's cmd.exe).
#include "platform/executor.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/logger.h"
#include "platform/win_test_support.h"

namespace {

using ::testing::HasSubstr;
using wintest::systemFolder;

// The command-line forms reach the recording installer end to end (tests/e2e); here the runners'
// results and their log lines.
TEST(Executor, RunnersReturnTheChildsCodeOrTheirOwnAndLogFailures) {
    const std::string logPath = wintest::scratchFile("executor");
    wintest::ScopedValue redirect(globalLogger.path, logPath);
    const std::string cmd = systemFolder() + "\\cmd.exe";
    const struct { bool messageLoop; std::string program, arguments; uint32_t code; std::string logged; } rows[] = {
        {false, "", "/qn", 1627, "\tERROR: ExecutorError in Executor::ExecProcessWaitForFinish applicationPath is empty"},
        {true, " ", "/qn", 1627, "\tERROR: ExecutorError in Executor::ExecProcessWithAtlMessageLoop applicationPath is empty"},
        {false, cmd, "/c exit 1603", 1603, "\tERROR: Executor.finishExecution(): Process execution  failed with system error "},
        {false, systemFolder() + "\\no-such-program.exe", "/s", 2,
         "\tERROR: Executor.exec(): CreateProcess failed with system error 2 ("},
        {true, cmd, "/c exit 3010", 3010, "\tINFO: Executor.exec(): \"" + cmd + "\" /c exit 3010\r\n"},
    };
    // A posted message waiting in the queue must not end the message-loop wait before the child does.
    PostThreadMessageA(GetCurrentThreadId(), WM_USER + 7, 0, 0);
    for (const auto& row : rows) {
        EXPECT_EQ(row.code, row.messageLoop ? Executor::ExecProcessWithMessageLoop(row.program, row.arguments)
                                            : Executor::ExecProcessWaitForFinish(row.program, row.arguments, 1))
            << row.program << " " << row.arguments;
        EXPECT_THAT(wintest::readFile(logPath), HasSubstr(row.logged));
    }
    MSG message;
    EXPECT_FALSE(PeekMessageA(&message, nullptr, WM_USER + 7, WM_USER + 7, PM_REMOVE)) << "message not taken";
    DeleteFileA(logPath.c_str());
}

}  // namespace
