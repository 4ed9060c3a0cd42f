#include "platform/executor.h"

#include <vector>

#include "platform/logger.h"
#include "platform/tstrings.h"
#include "platform/win_errors.h"

namespace {

// The executor's lines carry the unit and line numbers support staff know them by, whatever the
// source's own layout.
const char kUnit[] = "Executor";
constexpr uint32_t kEmptyPathLine = 31;
constexpr uint32_t kCreateProcessFailedLine = 114;
constexpr uint32_t kStartLine = 147;
constexpr uint32_t kWaitFailedLine = 173;
constexpr uint32_t kFinishedLine = 181;
constexpr uint32_t kTimeoutLine = 187;
constexpr uint32_t kExitCodeFailedLine = 192;
constexpr uint32_t kExitCodeLine = 195;
constexpr uint32_t kExecutionFailedLine = 198;
constexpr uint32_t kWaitRunnerErrorLine = 305;
constexpr uint32_t kLoopRunnerErrorLine = 356;

void logAt(int32_t level, uint32_t line, const char* function, const std::string& message) {
    globalLogger.log(level, kUnit, line, function, message);
}

std::string failedWith(const char* what, DWORD code) {
    return tstrings::format("%s failed with %s", what, describeSystemError(code).c_str());
}

}  // namespace

Executor::Executor(const std::string& path) : applicationPath(tstrings::trim(path)) {
    if (applicationPath.empty()) {
        if (logEnabled(ERROR)) logAt(ERROR, kEmptyPathLine, "Executor::Executor", "Executor: applicationPath is empty");
        throw ExecutorError("applicationPath is empty");
    }
    if (applicationPath.size() >= 2 && applicationPath.front() == '"' && applicationPath.back() == '"')
        applicationPath = applicationPath.substr(1, applicationPath.size() - 2);
    commandLine = "\"" + applicationPath + "\"";
}

void Executor::setArguments(const std::string& text) {
    arguments = tstrings::trim(text);
    if (arguments.empty()) return;
    const std::string quoted = "\"" + applicationPath + "\"";
    const size_t at = arguments.find(applicationPath);
    if (at == 0) {
        commandLine = quoted + arguments.substr(applicationPath.size());
    } else if (at == 1 && arguments[0] == '"') {
        commandLine = arguments;
    } else {
        commandLine = quoted + " " + arguments;
    }
}

uint32_t Executor::exec() {
    started = startExecution();
    if (!started) {
        const DWORD error = GetLastError();
        if (logEnabled(ERROR)) logAt(ERROR, kCreateProcessFailedLine, "Executor::exec", failedWith("Executor.exec(): CreateProcess", error));
        return error;
    }
    return finishExecution();
}

bool Executor::startExecution() {
    if (logEnabled(INFO)) logAt(INFO, kStartLine, "Executor::startExecution", "Executor.exec(): " + commandLine);
    startupInfo = STARTUPINFOA{};
    startupInfo.cb = sizeof(startupInfo);
    process.reset();
    if (windowMode == 1) {
        startupInfo.dwFlags |= STARTF_USESHOWWINDOW;
        startupInfo.wShowWindow = SW_HIDE;
        creationFlags = CREATE_NO_WINDOW;
    }

    // CreateProcessA may write into the command line.
    std::vector<char> writable(commandLine.begin(), commandLine.end());
    writable.push_back('\0');
    const BOOL ok = CreateProcessA(applicationPath.c_str(), writable.data(), nullptr, nullptr, FALSE,
                                   creationFlags, nullptr, nullptr, &startupInfo, process.put());
    const DWORD error = GetLastError();
    if (!ok) process.reset();  // nothing to close, but keep the last error for exec()
    SetLastError(error);
    return ok != FALSE;
}

uint32_t Executor::finishExecution() {
    const char* const function = "Executor::finishExecution";
    const HANDLE child = process.process();
    if (child == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        if (logEnabled(ERROR)) logAt(ERROR, kWaitFailedLine, function, failedWith("Executor.finishExecution()", error));
        return error;
    }
    DWORD result = 0;
    if (waitForFinish || useMessageLoop) {
        DWORD wait = WAIT_OBJECT_0;
        if (waitForFinish) {
            wait = WaitForSingleObject(child, timeoutMs);
            if (logEnabled(INFO))
                logAt(INFO, kFinishedLine, function,
                      "Executor.finishExecution(): WaitForSingleObject exited with code " + tstrings::toString(uint32_t(wait)));
        } else {
            // A failed message-loop wait falls through to the exit code, which then reads STILL_ACTIVE.
            waitWithMessageLoop(child);
        }
        if (wait == WAIT_TIMEOUT) {
            if (logEnabled(INFO))
                logAt(INFO, kTimeoutLine, function, "Executor.finishExecution(): The timeout is elapsed. Terminating Process.");
            TerminateProcess(child, 1);
            result = WAIT_TIMEOUT;
        } else {
            if (!GetExitCodeProcess(child, &result)) {
                result = GetLastError();
                if (logEnabled(ERROR))
                    logAt(ERROR, kExitCodeFailedLine, function, failedWith("Executor.finishExecution(): GetExitCodeProcess()", result));
            }
            if (logEnabled(INFO))
                logAt(INFO, kExitCodeLine, function, "Executor.finishExecution(): ExitCode = " + tstrings::toString(uint32_t(result)));
            if (result != 0 && logEnabled(ERROR))
                logAt(ERROR, kExecutionFailedLine, function, failedWith("Executor.finishExecution(): Process execution ", GetLastError()));
        }
    }
    process.reset();
    return result;
}

bool waitWithMessageLoop(HANDLE handle) {
    for (;;) {
        const DWORD wait = MsgWaitForMultipleObjectsEx(1, &handle, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        if (wait == WAIT_OBJECT_0) return true;
        if (wait != WAIT_OBJECT_0 + 1) return false;
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE)) {
            const bool unicode = message.hwnd && IsWindowUnicode(message.hwnd);
            const BOOL got = unicode ? GetMessageW(&message, nullptr, 0, 0) : GetMessageA(&message, nullptr, 0, 0);
            if (got > 0) {
                TranslateMessage(&message);
                if (unicode)
                    DispatchMessageW(&message);
                else
                    DispatchMessageA(&message);
            }
            if (WaitForSingleObject(handle, 0) == WAIT_OBJECT_0) return true;
        }
    }
}

uint32_t Executor::ExecProcessWaitForFinish(const std::string& program, const std::string& arguments,
                                            int32_t windowMode) {
    try {
        Executor executor(program);
        executor.setArguments(arguments);
        executor.setWindowMode(windowMode);
        executor.setWaitForFinish(INFINITE);
        return executor.exec();
    } catch (const ExecutorError& e) {
        if (logEnabled(ERROR))
            logAt(ERROR, kWaitRunnerErrorLine, "Executor::ExecProcessWaitForFinish",
                  std::string("ExecutorError in Executor::ExecProcessWaitForFinish ") + e.what());
        return ERROR_FUNCTION_FAILED;
    }
}

uint32_t Executor::ExecProcessWithMessageLoop(const std::string& program, const std::string& arguments) {
    try {
        Executor executor(program);
        executor.setArguments(arguments);
        executor.setWindowMode(0);
        executor.setUseMessageLoop();
        return executor.exec();
    } catch (const ExecutorError& e) {
        if (logEnabled(ERROR))
            logAt(ERROR, kLoopRunnerErrorLine, "Executor::ExecProcessWithAtlMessageLoop",
                  std::string("ExecutorError in Executor::ExecProcessWithAtlMessageLoop ") + e.what());
        return ERROR_FUNCTION_FAILED;
    }
}
