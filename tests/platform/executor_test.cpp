// The executor against real child processes (Wine's cmd.exe) and its log lines.
#include "platform/executor.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/win_test_support.h"

namespace {

using ::testing::HasSubstr;
using ::testing::Not;

std::string systemProgram(const char* name) {
    char folder[MAX_PATH];
    const UINT length = GetSystemDirectoryA(folder, MAX_PATH);
    return std::string(folder, length) + "\\" + name;
}

TEST(ExecutorCommandLine, ComposesTheThreeForms) {
    struct Row {
        const char* program;
        const char* arguments;
        const char* commandLine;
    };
    const Row rows[] = {
        // Quoted program path first: the installer commands, passed unchanged.
        {"C:\\Tools\\msiexec.exe", "\"C:\\Tools\\msiexec.exe\" /i \"C:\\W\\forge.msi\" WRAPPER=1",
         "\"C:\\Tools\\msiexec.exe\" /i \"C:\\W\\forge.msi\" WRAPPER=1"},
        // Unquoted program path first: quoted, the rest kept.
        {"C:\\Tools\\agent.exe", "C:\\Tools\\agent.exe -r now", "\"C:\\Tools\\agent.exe\" -r now"},
        // No program path: quoted program, one space, the trimmed arguments.
        {"C:\\Tools\\msiexec.exe", " \t/x {6461C2D8-E3A5-11D6-B94C-00C0A9210270} /qn ",
         "\"C:\\Tools\\msiexec.exe\" /x {6461C2D8-E3A5-11D6-B94C-00C0A9210270} /qn"},
        // A quoted, padded program path is stripped to the bare path.
        {"  \"C:\\Dev Kits\\loom.exe\"\t", "/s LAUNCHEDFROMFORGE=1", "\"C:\\Dev Kits\\loom.exe\" /s LAUNCHEDFROMFORGE=1"},
        // No arguments: the quoted program alone.
        {"C:\\Tools\\agent.exe", "  ", "\"C:\\Tools\\agent.exe\""},
        // The path further inside the arguments is no program prefix.
        {"C:\\a.exe", "/run C:\\a.exe", "\"C:\\a.exe\" /run C:\\a.exe"},
    };
    for (const Row& row : rows) {
        Executor executor(row.program);
        executor.setArguments(row.arguments);
        EXPECT_EQ(executor.getCommandLine(), row.commandLine) << "program [" << row.program << "] arguments ["
                                                              << row.arguments << "]";
        EXPECT_EQ(executor.getApplicationPath().find('"'), std::string::npos) << row.program;
    }
}

TEST(Executor, RunnersReturnTheChildsCodeOrTheirOwnAndLogFailures) {
    const std::string logPath = wintest::scratchFile("executor");
    wintest::GlobalLogRedirect redirect(logPath);
    const std::string cmd = systemProgram("cmd.exe");
    auto log = [&] {  // written in text mode
        std::string text = wintest::readFile(logPath);
        for (size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at)) text.erase(at, 1);
        return text;
    };
    EXPECT_THROW(Executor("  \t "), Executor::ExecutorError);
    const struct { bool messageLoop; std::string program, arguments; uint32_t code; std::string logged; } rows[] = {
        {false, "", "/qn", 1627, "Executor:305 (Executor::ExecProcessWaitForFinish)]\n\tERROR: ExecutorError in "
                                 "Executor::ExecProcessWaitForFinish applicationPath is empty"},
        {true, " ", "/qn", 1627, "Executor:356 (Executor::ExecProcessWithAtlMessageLoop)]\n\tERROR: ExecutorError in "
                                 "Executor::ExecProcessWithAtlMessageLoop applicationPath is empty"},
        {false, cmd, "/c exit 1603", 1603, "Executor:198 (Executor::finishExecution)]\n\tERROR: Executor."
                                          "finishExecution(): Process execution  failed with system error "},
        {false, systemProgram("no-such-program.exe"), "/s", 2,
         "Executor:114 (Executor::exec)]\n\tERROR: Executor.exec(): CreateProcess failed with system error 2 ("},
        {true, cmd, "/c exit 3010", 3010, "\tINFO: Executor.exec(): \"" + cmd + "\" /c exit 3010\n"},
        {true, "\"" + cmd + "\"", "\"" + cmd + "\" /c exit 0", 0, "\tINFO: Executor.exec(): \"" + cmd + "\" /c exit 0\n"},
    };
    // A posted message waiting in the queue must not end the message-loop wait before the child does.
    PostThreadMessageA(GetCurrentThreadId(), WM_USER + 7, 0, 0);
    for (const auto& row : rows) {
        EXPECT_EQ(row.code, row.messageLoop ? Executor::ExecProcessWithAtlMessageLoop(row.program, row.arguments)
                                            : Executor::ExecProcessWaitForFinish(row.program, row.arguments, 1))
            << row.program << " " << row.arguments;
        EXPECT_THAT(log(), HasSubstr(row.logged));
    }
    MSG message;
    EXPECT_FALSE(PeekMessageA(&message, nullptr, WM_USER + 7, WM_USER + 7, PM_REMOVE)) << "message not taken";

    // A zero exit code writes no failure line.
    const std::string before = log();
    EXPECT_EQ(Executor::ExecProcessWaitForFinish(cmd, "/c exit 0", 0), 0u);
    EXPECT_THAT(log().substr(before.size()), Not(HasSubstr("Process execution")));
    DeleteFileA(logPath.c_str());
}

}  // namespace
