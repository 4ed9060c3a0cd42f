#include "e2e/e2e_support.h"

#include <shlobj.h>

#include <fstream>
#include <sstream>

namespace e2e {

bool fileExists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

void createFolders(const std::string& path) {
    for (size_t at = path.find('\\', 3); at != std::string::npos; at = path.find('\\', at + 1))
        CreateDirectoryA(path.substr(0, at).c_str(), nullptr);
    CreateDirectoryA(path.c_str(), nullptr);
}

void emptyFolder(const std::string& folder) {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) DeleteFileA((folder + "\\" + found.cFileName).c_str());
    } while (FindNextFileA(search, &found));
    FindClose(search);
}

std::string knownFolder(const GUID& id) {
    PWSTR wide = nullptr;
    std::string folder;
    if (SUCCEEDED(SHGetKnownFolderPath(id, 0, nullptr, &wide))) {
        char narrow[MAX_PATH * 2] = {};
        WideCharToMultiByte(CP_ACP, 0, wide, -1, narrow, sizeof narrow, nullptr, nullptr);
        folder = narrow;
    }
    CoTaskMemFree(wide);
    return folder;
}

std::string commonAppDataFolder() {
    char folder[MAX_PATH] = {};
    SHGetFolderPathA(nullptr, CSIDL_COMMON_APPDATA, nullptr, SHGFP_TYPE_CURRENT, folder);
    return folder;
}

std::string systemFolder() {
    char folder[MAX_PATH] = {};
    GetSystemDirectoryA(folder, MAX_PATH);
    return folder;
}

std::string tempFolder() {
    char folder[MAX_PATH + 1] = {};
    GetTempPathA(sizeof folder, folder);
    return folder;
}

namespace {

// An open HKLM key, closed on every path.
class Key {
public:
    Key(const std::string& path, REGSAM access, REGSAM view, bool create = false) {
        if (create) {
            RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, access | view, nullptr, &key, nullptr);
        } else if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, access | view, &key) != ERROR_SUCCESS) {
            key = nullptr;
        }
    }
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;
    ~Key() {
        if (key) RegCloseKey(key);
    }
    HKEY get() const { return key; }

private:
    HKEY key = nullptr;
};

}  // namespace

bool readString(const std::string& key, const std::string& name, std::string& out, REGSAM view) {
    Key opened(key, KEY_READ, view);
    if (!opened.get()) return false;
    char buffer[4096] = {};
    DWORD type = 0, size = sizeof buffer - 1;
    if (RegQueryValueExA(opened.get(), name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size) !=
            ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
        return false;
    out = buffer;
    return true;
}

bool keyExists(const std::string& key, REGSAM view) { return Key(key, KEY_READ, view).get() != nullptr; }

bool setString(const std::string& key, const std::string& name, const std::string& value, REGSAM view) {
    Key opened(key, KEY_READ | KEY_WRITE, view, true);
    return opened.get() && RegSetValueExA(opened.get(), name.c_str(), 0, REG_SZ,
                                          reinterpret_cast<const BYTE*>(value.c_str()),
                                          static_cast<DWORD>(value.size() + 1)) == ERROR_SUCCESS;
}

void deleteValue(const std::string& key, const std::string& name, REGSAM view) {
    Key opened(key, KEY_READ | KEY_WRITE, view);
    if (opened.get()) RegDeleteValueA(opened.get(), name.c_str());
}

void deleteKey(const std::string& key, REGSAM view) { RegDeleteKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), view, 0); }

ScopedEnvironment::~ScopedEnvironment() {
    for (auto it = saved.rbegin(); it != saved.rend(); ++it)
        SetEnvironmentVariableA(it->name.c_str(), it->existed ? it->value.c_str() : nullptr);
}

void ScopedEnvironment::set(const std::string& name, const std::string& value) {
    std::vector<char> buffer(32768);
    const DWORD length = GetEnvironmentVariableA(name.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()));
    saved.push_back(Saved{name, length > 0, std::string(buffer.data(), length)});
    SetEnvironmentVariableA(name.c_str(), value.c_str());
}

Process::~Process() {
    if (info.hProcess) {
        if (running()) TerminateProcess(info.hProcess, 1);
        CloseHandle(info.hProcess);
    }
    if (info.hThread) CloseHandle(info.hThread);
}

bool Process::start(const std::string& program, const std::string& arguments, DWORD& error) {
    std::string commandLine = "\"" + program + "\"" + (arguments.empty() ? "" : " " + arguments);
    std::vector<char> writable(commandLine.begin(), commandLine.end());
    writable.push_back('\0');
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    if (!CreateProcessA(program.c_str(), writable.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) {
        error = GetLastError();
        info = PROCESS_INFORMATION{};
        return false;
    }
    return true;
}

bool Process::running() const { return info.hProcess && WaitForSingleObject(info.hProcess, 0) == WAIT_TIMEOUT; }

bool Process::wait(DWORD timeoutMs, long& exitCode) {
    if (!info.hProcess || WaitForSingleObject(info.hProcess, timeoutMs) != WAIT_OBJECT_0) return false;
    DWORD code = 0;
    GetExitCodeProcess(info.hProcess, &code);
    exitCode = static_cast<long>(static_cast<LONG>(code));
    return true;
}

std::pair<bool, long> runToEnd(const std::string& program, const std::string& arguments, DWORD timeoutMs) {
    Process process;
    DWORD error = 0;
    long code = 0;
    if (!process.start(program, arguments, error)) return {false, static_cast<long>(error)};
    if (!process.wait(timeoutMs, code)) return {false, -1};
    return {true, code};
}

std::string RecordedCall::get(const std::string& name) const {
    const auto found = fields.find(name);
    return found == fields.end() ? std::string("<none>") : found->second;
}

std::vector<RecordedCall> parseRecord(const std::string& text) {
    std::vector<RecordedCall> calls;
    std::istringstream lines(text);
    std::string line;
    RecordedCall current;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty()) {
            if (!current.fields.empty()) calls.push_back(current);
            current = RecordedCall{};
            continue;
        }
        const size_t colon = line.find(": ");
        if (colon != std::string::npos) current.fields[line.substr(0, colon)] = line.substr(colon + 2);
    }
    if (!current.fields.empty()) calls.push_back(current);
    return calls;
}

std::vector<LogEntry> parseLog(const std::string& text) {
    std::string plain;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
        plain += text[i];
    }
    std::vector<LogEntry> entries;
    std::istringstream lines(plain);
    std::string line;
    while (std::getline(lines, line)) {
        // A header starts with "[YYYY/"; anything else continues the message of the entry before.
        const bool header = line.size() > 6 && line[0] == '[' && line[5] == '/';
        if (header) {
            entries.push_back(LogEntry{line, "", ""});
        } else if (!entries.empty()) {
            LogEntry& entry = entries.back();
            if (entry.level.empty() && !line.empty() && line[0] == '\t') {
                const size_t colon = line.find(": ");
                entry.level = line.substr(1, colon == std::string::npos ? std::string::npos : colon - 1);
                entry.message = colon == std::string::npos ? std::string() : line.substr(colon + 2);
            } else {
                entry.message += "\n" + line;
            }
        }
    }
    for (LogEntry& entry : entries) {
        while (!entry.message.empty() && (entry.message.back() == '\n' || entry.message.back() == ' '))
            entry.message.pop_back();
    }
    return entries;
}

bool equalsIgnoreCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, a.c_str(), static_cast<int>(a.size()),
                                                  b.c_str(), static_cast<int>(b.size())) == CSTR_EQUAL;
}

}  // namespace e2e
