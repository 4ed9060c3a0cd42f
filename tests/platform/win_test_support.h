#pragma once
// Shared pieces of the Windows platform tests: scratch files, helper programs, log parsing.
#include <string>
#include <vector>

#include "platform/handles.h"
#include "platform/logger.h"

namespace wintest {

// <temp folder>\plat-<name>-<pid>.log, removed if present.
std::string scratchFile(const std::string& name);
std::string readFile(const std::string& path);

// Starts tests/helpers/<name>.exe with the arguments (each quoted). Fails the test if it cannot.
unique_process_information startHelper(const std::string& name, const std::vector<std::string>& args);
// Waits (at most timeoutMs) and returns the exit code; -1 on timeout.
long waitExitCode(const unique_process_information& process, unsigned timeoutMs = 60000);

// Points globalLogger at another file for the lifetime of the object.
class GlobalLogRedirect {
public:
    explicit GlobalLogRedirect(const std::string& path) : saved(globalLogger.path) { globalLogger.path = path; }
    ~GlobalLogRedirect() { globalLogger.path = saved; }

private:
    std::string saved;
};

}  // namespace wintest
