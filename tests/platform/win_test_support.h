#pragma once
// What every Windows test suite does on its own: files, registry keys, the programs it starts.
// Plain Win32 throughout, so that none of the launcher's own code stands between test and check.
#include "platform/win32.h"
// after windows.h
#include <knownfolders.h>
#include <shlobj.h>

#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

namespace wintest {

inline std::wstring utf16(const std::string& utf8) {
    std::wstring text(utf8.size(), L'\0');
    text.resize(static_cast<size_t>(
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), &text[0], static_cast<int>(text.size()))));
    return text;
}

inline bool fileExists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

inline std::string readFile(const std::string& path) {  // empty when missing
    std::ostringstream bytes;
    bytes << std::ifstream(path, std::ios::binary).rdbuf();
    return bytes.str();
}

// What a case compares of a file that may be missing.
inline std::string contentsOrNone(const std::string& path) { return fileExists(path) ? readFile(path) : "<none>"; }

inline void writeFile(const std::string& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }

inline void createFolders(const std::string& path) { SHCreateDirectoryExA(nullptr, path.c_str(), nullptr); }

// The names of the files (and with folders, of the folders and links) directly inside folder.
inline std::vector<std::string> filesIn(const std::string& folder, bool folders = false) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        const std::string name = found.cFileName;
        if (folders ? name != "." && name != ".." : !(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            names.push_back(name);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return names;
}

inline void emptyFolder(const std::string& folder) {
    for (const std::string& name : filesIn(folder)) DeleteFileA((folder + "\\" + name).c_str());
}

// With its trailing backslash.
inline std::string tempFolder() {
    char temp[MAX_PATH + 1] = {};
    GetTempPathA(sizeof temp, temp);
    return temp;
}

// <temp folder>\plat-<name>-<pid>.log, removed if present.
inline std::string scratchFile(const std::string& name) {
    const std::string path = tempFolder() + "plat-" + name + "-" + std::to_string(GetCurrentProcessId()) + ".log";
    DeleteFileA(path.c_str());
    return path;
}

// The Unix path of a Windows path (Wine's own export; no Windows call gives it); empty when not
// running under Wine or when the path has none.
inline std::string unixPath(const std::string& path) {
    using ToUnix = char*(CDECL*)(LPCWSTR);
    const auto toUnix = reinterpret_cast<ToUnix>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
    char* unix = toUnix ? toUnix(utf16(path).c_str()) : nullptr;
    const std::string result = unix ? unix : "";
    HeapFree(GetProcessHeap(), 0, unix);
    return result;
}

// A known folder in the process code page; empty when the system has none.
inline std::string knownFolder(REFKNOWNFOLDERID id) {
    PWSTR wide = nullptr;
    char narrow[MAX_PATH * 2] = {};
    if (SUCCEEDED(SHGetKnownFolderPath(id, 0, nullptr, &wide)))
        WideCharToMultiByte(CP_ACP, 0, wide, -1, narrow, sizeof narrow, nullptr, nullptr);
    CoTaskMemFree(wide);
    return narrow;
}
inline std::string systemFolder() { return knownFolder(FOLDERID_System); }
inline std::string runtimeSettingsFolder() { return knownFolder(FOLDERID_ProgramData) + "\\Brennic\\Mako"; }
inline std::string runtimeSettingsFile() { return runtimeSettingsFolder() + "\\mako.settings.cfg"; }

struct KeyCloser {
    void operator()(HKEY key) const { RegCloseKey(key); }
};
using Key = std::unique_ptr<std::remove_pointer_t<HKEY>, KeyCloser>;
struct HandleCloser {
    void operator()(HANDLE handle) const { CloseHandle(handle); }
};
using Handle = std::unique_ptr<std::remove_pointer_t<HANDLE>, HandleCloser>;

// HKLM keys in the process's default view (0) or KEY_WOW64_32KEY / KEY_WOW64_64KEY; null when absent.
inline Key openKey(const std::string& path, REGSAM access, REGSAM view, bool create = false) {
    HKEY key = nullptr;
    const LSTATUS status =
        create ? RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, access | view, nullptr, &key, nullptr)
               : RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, access | view, &key);
    return Key(status == ERROR_SUCCESS ? key : nullptr);
}

inline bool readString(const std::string& path, const std::string& name, std::string& out, REGSAM view = 0) {
    const Key key = openKey(path, KEY_READ, view);
    char buffer[4096] = {};
    DWORD type = 0, size = sizeof buffer - 1;
    if (!key || RegQueryValueExA(key.get(), name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size) ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
        return false;
    out = buffer;
    return true;
}

inline bool keyExists(const std::string& path, REGSAM view = 0) { return openKey(path, KEY_READ, view) != nullptr; }

inline bool setString(const std::string& path, const std::string& name, const std::string& value, REGSAM view = 0) {
    const Key key = openKey(path, KEY_READ | KEY_WRITE, view, true);
    return key && RegSetValueExA(key.get(), name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                 static_cast<DWORD>(value.size() + 1)) == ERROR_SUCCESS;
}

inline void deleteValue(const std::string& path, const std::string& name) {
    RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, path.c_str(), name.c_str());
}

// The key with everything below it.
inline void deleteTree(const std::string& path, REGSAM view) {
    if (const Key key = openKey(path, KEY_ALL_ACCESS, view)) RegDeleteTreeA(key.get(), nullptr);
    RegDeleteKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), view, 0);
}

// Gives a variable another value for the lifetime of the object.
template <class T>
class ScopedValue {
public:
    ScopedValue(T& variable, T value) : variable(variable), saved(std::exchange(variable, std::move(value))) {}
    ScopedValue(const ScopedValue&) = delete;
    ScopedValue& operator=(const ScopedValue&) = delete;
    ~ScopedValue() { variable = std::move(saved); }

private:
    T& variable;
    T saved;
};

// A program this test started, ended by the destructor if it still runs.
class Process {
public:
    ~Process() { if (running()) TerminateProcess(process.get(), 1); }
    // Starts "<program>" <arguments>, the arguments given in UTF-8 and handed over as UTF-16, so that
    // any character reaches the program whatever the code page; false (with the system error in
    // error) when it cannot.
    bool start(const std::string& program, const std::string& arguments) {
        std::wstring commandLine = utf16("\"" + program + "\"" + (arguments.empty() ? "" : " " + arguments));
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION info{};
        // Under heavy load Wine now and then loses a new process before it has started and reports
        // ERROR_INTERNAL_ERROR; the program itself never ran, so it is started again.
        for (int attempt = 1;; ++attempt) {
            if (CreateProcessW(utf16(program).c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                               nullptr, &startup, &info)) {
                CloseHandle(info.hThread);
                process.reset(info.hProcess);
                return true;
            }
            error = GetLastError();
            if (error != ERROR_INTERNAL_ERROR || attempt == 3) return false;
            Sleep(100);
        }
    }
    bool terminate(UINT code) { return process && TerminateProcess(process.get(), code); }
    bool running() const { return process && WaitForSingleObject(process.get(), 0) == WAIT_TIMEOUT; }
    // The full 32-bit exit code in signed form; false when still running after timeoutMs.
    bool wait(DWORD timeoutMs, long& exitCode) {
        if (!process || WaitForSingleObject(process.get(), timeoutMs) != WAIT_OBJECT_0) return false;
        DWORD code = 0;
        GetExitCodeProcess(process.get(), &code);
        exitCode = static_cast<long>(static_cast<LONG>(code));
        return true;
    }

    DWORD error = 0;

private:
    Handle process;
};

// The msiexec.exe stand-in records each call as "name: value" lines ("command", "package", "event",
// "archives", "install-status", "result"), calls separated by an empty line.
using RecordedCall = std::map<std::string, std::string>;

inline std::string field(const RecordedCall& call, const std::string& name) {
    const auto found = call.find(name);
    return found == call.end() ? std::string("<none>") : found->second;
}

inline std::vector<RecordedCall> parseRecord(const std::string& text) {
    std::vector<RecordedCall> calls(1);
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const size_t colon = line.find(": ");
        if (line.empty() && !calls.back().empty()) calls.emplace_back();
        else if (colon != std::string::npos) calls.back()[line.substr(0, colon)] = line.substr(colon + 2);
    }
    if (calls.back().empty()) calls.pop_back();
    return calls;
}

// Runs a program to its end; its exit code, -1 when it did not start or end within timeoutMs.
inline long run(const std::string& program, const std::string& arguments, DWORD timeoutMs = 300000) {
    Process process;
    long code = -1;
    if (process.start(program, arguments)) process.wait(timeoutMs, code);
    return code;
}

}  // namespace wintest
