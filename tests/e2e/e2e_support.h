#pragma once
// Pieces of the launcher's end-to-end tests: files, registry values in a chosen view, environment
// overrides that the launcher inherits, started programs, and the records the launcher, the
// recording msiexec.exe and loom.exe leave behind. Plain Win32, so that nothing of the launcher's
// own code stands between the test and what it checks.
#include "platform/win32.h"

#include <map>
#include <string>
#include <utility>
#include <vector>

namespace e2e {

bool fileExists(const std::string& path);
std::string readFile(const std::string& path);  // empty when missing
void writeFile(const std::string& path, const std::string& bytes);
void createFolders(const std::string& path);    // every missing folder of path
void emptyFolder(const std::string& folder);    // deletes the files directly inside it

std::string knownFolder(const GUID& id);         // without trailing separator
std::string commonAppDataFolder();
std::string systemFolder();
std::string tempFolder();                        // with trailing separator

// Registry access in the process's default view (view 0) or KEY_WOW64_32KEY / KEY_WOW64_64KEY.
bool readString(const std::string& key, const std::string& name, std::string& out, REGSAM view = 0);
bool keyExists(const std::string& key, REGSAM view = 0);
bool setString(const std::string& key, const std::string& name, const std::string& value, REGSAM view = 0);
void deleteValue(const std::string& key, const std::string& name, REGSAM view = 0);
void deleteKey(const std::string& key, REGSAM view = 0);  // one key without subkeys
// All under HKEY_LOCAL_MACHINE.

// Sets environment variables of this process, which started programs inherit; the destructor
// puts the earlier values back.
class ScopedEnvironment {
public:
    ScopedEnvironment() = default;
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;
    ~ScopedEnvironment();
    void set(const std::string& name, const std::string& value);

private:
    struct Saved {
        std::string name;
        bool existed;
        std::string value;
    };
    std::vector<Saved> saved;
};

// A program this test started. The destructor ends it if it still runs.
class Process {
public:
    Process() = default;
    Process(Process&& other) noexcept : info(other.info) { other.info = PROCESS_INFORMATION{}; }
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;
    ~Process();

    // Starts "<program>" <arguments>; false (with the system error in error) when it cannot.
    bool start(const std::string& program, const std::string& arguments, DWORD& error);
    bool running() const;
    // The full 32-bit exit code in signed form; false when the program is still running after timeoutMs.
    bool wait(DWORD timeoutMs, long& exitCode);

private:
    PROCESS_INFORMATION info{};
};

// Runs a program to its end (at most timeoutMs) and returns its exit code, or a note on failure.
std::pair<bool, long> runToEnd(const std::string& program, const std::string& arguments, DWORD timeoutMs);

// One call recorded by the msiexec.exe stand-in: "command", "package", "event", "archives",
// "install-status", "result".
struct RecordedCall {
    std::map<std::string, std::string> fields;
    std::string get(const std::string& name) const;
};
std::vector<RecordedCall> parseRecord(const std::string& text);

// One entry of the launcher's log: the bracketed header, the level name and the message.
struct LogEntry {
    std::string header;
    std::string level;
    std::string message;
};
std::vector<LogEntry> parseLog(const std::string& text);

bool equalsIgnoreCase(const std::string& a, const std::string& b);

}  // namespace e2e
