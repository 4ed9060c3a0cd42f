#pragma once
// Starts one child process, waits for it and returns its exit code. Every program the launcher
// starts (the Windows Installer, the public-runtime installer, the update agent's registration
// program) goes through one of the two runners at the bottom.
#include <cstdint>
#include <stdexcept>
#include <string>

#include "platform/handles.h"
#include "platform/win32.h"

class Executor {
public:
    class ExecutorError : public std::runtime_error {
    public:
        explicit ExecutorError(const std::string& message) : std::runtime_error(message) {}
    };

    // Trims spaces and tabs and strips one pair of enclosing double quotes. An empty path is logged
    // and throws ExecutorError("applicationPath is empty").
    explicit Executor(const std::string& applicationPath);
    ~Executor() = default;
    Executor(const Executor&) = delete;
    Executor& operator=(const Executor&) = delete;

    // Sets the argument text (trimmed) and recomposes the command line handed to the system:
    // arguments that start with the program path, quoted or not, carry the program themselves;
    // any other arguments follow the quoted program path and one space. Empty arguments leave the
    // command line as it is (the quoted program path).
    void setArguments(const std::string& text);

    // Starts the child and finishes it: the child's exit code, 258 when a plain wait timed out (the
    // child is then terminated), or the system error code when the child could not be started.
    uint32_t exec();
    bool startExecution();
    uint32_t finishExecution();

    // 1 starts the child hidden.
    void setWindowMode(int32_t mode) { windowMode = mode; }
    // A plain wait of at most timeout milliseconds.
    void setWaitForFinish(uint32_t timeout = INFINITE) {
        waitForFinish = true;
        timeoutMs = timeout;
    }
    // Wait while dispatching the calling thread's window messages.
    void setUseMessageLoop() { useMessageLoop = true; }

    const std::string& getApplicationPath() const { return applicationPath; }
    const std::string& getCommandLine() const { return commandLine; }

    // Run program with arguments and wait without limit (windowMode 1: hidden). Never lets an
    // ExecutorError out: it is logged and the result is 1627 (ERROR_FUNCTION_FAILED).
    static uint32_t ExecProcessWaitForFinish(const std::string& program, const std::string& arguments,
                                             int32_t windowMode);
    // The same, visible, dispatching window messages while the child runs.
    static uint32_t ExecProcessWithMessageLoop(const std::string& program, const std::string& arguments);

private:
    std::string applicationPath;
    std::string arguments;
    std::string commandLine;

    DWORD creationFlags = 0;

    unique_process_information process;
    STARTUPINFOA startupInfo{};

    int32_t windowMode = 0;
    bool waitForFinish = false;
    uint32_t timeoutMs = INFINITE;
    bool useMessageLoop = false;
    bool started = false;
};

// Waits for handle while dispatching the calling thread's window messages. True when the handle
// was signalled; false when the wait itself failed (the child may still run).
bool waitWithMessageLoop(HANDLE handle);
