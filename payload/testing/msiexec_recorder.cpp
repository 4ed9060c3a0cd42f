// Recording stand-in for msiexec.exe, for the launcher's end-to-end tests. Built as msiexec.exe in a
// folder of its own; a test points the registry value InstallerLocation
// (HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Installer) at that folder, so the launcher starts
// this program instead of the system's installer.
//
// For an install call (/i <package>) it first waits for the launcher's event
// "HaldenForgeCabExtractWaitEvent" (bounded) and checks that the archives listed in the manifest sit
// complete beside the package: this is what the real package relies on. Then it forwards the same
// arguments to the real msiexec.exe and returns its exit code. Every call appends a block to the
// record file:
//
//   command: <its own full command line>
//   package: <package path>                      install calls only
//   event: signalled | absent | timed out after <n> ms
//   archives: complete | <name> missing; <name> has <n> bytes, expected <m>; ...
//   forwarded-package: <short name>               when Wine's installer needs it (readableByWinesInstaller)
//   installer-stuck: ...; retried: ...            when the real installer did not end in time (below)
//   install-status: reinstall                     when it left the reinstall request
//   result: <exit code, signed decimal>
//   started-qpc: <QueryPerformanceCounter when this program started>
//   event-qpc: <QueryPerformanceCounter when the event wait ended>   install calls; 0 when absent
//   <empty line>
// The two counter readings share the machine's clock with every other process, so a benchmark can set
// them against its own readings (bench/launch).
//
// Environment:
//   MAKO_TEST_RECORD           record file; default %TEMP%\msiexec-calls.txt
//   MAKO_TEST_ARCHIVES         manifest of "<file name> <size>" lines; default archives.txt beside this program
//   MAKO_TEST_EVENT_WAIT_MS    limit of the event wait; default 60000
//   MAKO_TEST_MSIEXEC_RESULT   return this code instead of forwarding (e.g. 1603, 3010)
//   MAKO_TEST_REINSTALL        "once": write "reinstall" into HKLM\Software\Velmora InstallStatus after the
//                              first install call of the record file; "always": after every install call
//   MAKO_TEST_REAL_MSIEXEC     the program to forward to; default <system folder>\msiexec.exe
//   MAKO_TEST_INSTALLER_WAIT_MS  limit of the wait for the real installer; default 120000. Wine's
//                              installer waits without limit for its custom-action process, which
//                              Wine now and then loses while starting it under load (then the kit's
//                              action never runs). At the limit the record gets
//                              "installer-stuck: <what was known>" and the installer's processes are
//                              ended; when the event was set and the kit's action never started, the
//                              install is run once more ("retried: ..."), otherwise the result is
//                              1460 (ERROR_TIMEOUT)
//   MAKO_TEST_KIT_RECORD       the kit action's record (payload/kit), read to tell whether it started
//   MAKO_TEST_PAUSE_UNTIL      a file: before anything else, wait until it exists (60 s at most), so that a
//                              test can act while the launcher sits inside the installer; the file named
//                              like it with ".waiting" added gets a line when the wait begins
// The registry view is this program's own, which is the launcher's when both come from one build.
#include <windows.h>
#include <shellapi.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "common/stand_in_support.h"
#include "product_facts.h"

namespace {

using stand_in::environment;
using stand_in::folderOf;
using stand_in::ownPath;
using stand_in::toUtf8;

std::wstring toUtf16(const std::string& text) {
    if (text.empty()) return std::wstring();
    const int size = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], size);
    return out;
}

std::string readFile(const std::wstring& path) {
    std::ifstream in(path.c_str(), std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The package of an install call: the argument after /i (or -i, /package).
std::wstring packageArgument(const wchar_t* commandLine) {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(commandLine, &argc);
    std::wstring package;
    for (int i = 1; argv && i + 1 < argc; ++i) {
        if (!lstrcmpiW(argv[i], L"/i") || !lstrcmpiW(argv[i], L"-i") || !lstrcmpiW(argv[i], L"/package")) {
            package = argv[i + 1];
            break;
        }
    }
    LocalFree(argv);
    return package;
}

long long performanceCounter() {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

std::string waitForEvent(long long& endedAt) {
    const std::wstring limitText = environment(L"MAKO_TEST_EVENT_WAIT_MS");
    const DWORD limit = limitText.empty() ? 60000 : static_cast<DWORD>(wcstoul(limitText.c_str(), nullptr, 10));
    HANDLE event = OpenEventA(SYNCHRONIZE, FALSE, MAKO_CAB_EXTRACT_EVENT_NAME);
    if (!event) return "absent";
    const DWORD wait = WaitForSingleObject(event, limit);
    endedAt = performanceCounter();
    CloseHandle(event);
    if (wait == WAIT_OBJECT_0) return "signalled";
    return "timed out after " + std::to_string(limit) + " ms";
}

std::string checkArchives(const std::wstring& folder) {
    std::wstring manifest = environment(L"MAKO_TEST_ARCHIVES");
    if (manifest.empty()) manifest = folderOf(ownPath()) + L"\\archives.txt";
    std::istringstream lines(readFile(manifest));
    std::string name, problems;
    unsigned long long expected = 0;
    int listed = 0;
    while (lines >> name >> expected) {
        ++listed;
        WIN32_FILE_ATTRIBUTE_DATA data;
        const std::wstring path = folder + L"\\" + toUtf16(name);
        std::string problem;
        if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) {
            problem = name + " missing";
        } else {
            const unsigned long long size = (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
            if (size != expected)
                problem = name + " has " + std::to_string(size) + " bytes, expected " + std::to_string(expected);
        }
        if (!problem.empty()) problems += (problems.empty() ? "" : "; ") + problem;
    }
    if (listed == 0) return "no manifest at " + toUtf8(manifest);
    return problems.empty() ? "complete" : problems;
}

bool leaveReinstallRequest() {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Velmora", 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr,
                        &key, nullptr) != ERROR_SUCCESS)
        return false;
    const wchar_t value[] = L"reinstall";
    const LONG status = RegSetValueExW(key, L"InstallStatus", 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                                       sizeof(value));
    RegCloseKey(key);
    return status == ERROR_SUCCESS;
}

// The raw text after the program name, so that the real installer sees exactly our arguments.
std::wstring argumentsOf(const wchar_t* commandLine) {
    const wchar_t* p = commandLine;
    if (*p == L'"') {
        ++p;
        while (*p && *p != L'"') ++p;
        if (*p) ++p;
    } else {
        while (*p && *p != L' ' && *p != L'\t') ++p;
    }
    return p;
}

DWORD limitFrom(const wchar_t* variable, DWORD fallback) {
    const std::wstring text = environment(variable);
    return text.empty() ? fallback : static_cast<DWORD>(wcstoul(text.c_str(), nullptr, 10));
}

// The event as the kit's action would find it now.
std::string eventState() {
    HANDLE event = OpenEventA(SYNCHRONIZE, FALSE, MAKO_CAB_EXTRACT_EVENT_NAME);
    if (!event) return "absent";
    const bool set = WaitForSingleObject(event, 0) == WAIT_OBJECT_0;
    CloseHandle(event);
    return set ? "signalled" : "not signalled";
}

unsigned long long fileSize(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (path.empty() || !GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return 0;
    return (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

// When the process started (FILETIME ticks); 0 when it has ended or cannot be asked.
unsigned long long startTime(DWORD id) {
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id);
    if (!process) return 0;
    FILETIME created{}, exited{}, kernel{}, user{};
    const BOOL known = GetProcessTimes(process, &created, &exited, &kernel, &user);
    CloseHandle(process);
    return known ? (static_cast<unsigned long long>(created.dwHighDateTime) << 32) | created.dwLowDateTime : 0;
}

// Ends the process and every process it started, children first seen before any is ended. Only
// this program's own child is the root, so nothing else on the machine is touched; gives how many
// were ended. Process ids are reused (Wine hands a freed one out again at once), so a process whose
// recorded parent id is a tree member's counts as its child only when it started after that member:
// an older one was started by an earlier holder of the id, for instance Wine's own services.
int endProcessTree(DWORD root) {
    std::vector<DWORD> tree{root};
    std::vector<unsigned long long> started{startTime(root)};
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot != INVALID_HANDLE_VALUE) {
        std::vector<PROCESSENTRY32W> all;
        PROCESSENTRY32W entry{};
        entry.dwSize = sizeof entry;
        for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry))
            all.push_back(entry);
        CloseHandle(snapshot);
        for (size_t i = 0; i < tree.size(); ++i)
            for (const PROCESSENTRY32W& candidate : all) {
                if (candidate.th32ParentProcessID != tree[i] || candidate.th32ProcessID == tree[i]) continue;
                if (std::find(tree.begin(), tree.end(), candidate.th32ProcessID) != tree.end()) continue;
                const unsigned long long candidateStarted = startTime(candidate.th32ProcessID);
                if (started[i] == 0 || candidateStarted < started[i]) continue;
                tree.push_back(candidate.th32ProcessID);
                started.push_back(candidateStarted);
            }
    }
    int ended = 0;
    for (auto it = tree.rbegin(); it != tree.rend(); ++it) {
        HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, *it);
        if (!process) continue;
        if (TerminateProcess(process, ERROR_TIMEOUT)) {
            WaitForSingleObject(process, 5000);
            ++ended;
        }
        CloseHandle(process);
    }
    return ended;
}

// One run of the real installer, bounded; false when it did not end in time (what was known then
// is in stuck, and whether the kit's action had started in actionStarted).
bool runInstaller(const std::wstring& real, const std::wstring& command, DWORD& code, std::string& note,
                  std::string& stuck, bool& actionStarted) {
    const std::wstring kitRecord = environment(L"MAKO_TEST_KIT_RECORD");
    const unsigned long long recordBefore = fileSize(kitRecord);
    std::vector<wchar_t> writable(command.begin(), command.end());
    writable.push_back(L'\0');
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(real.c_str(), writable.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process)) {
        code = GetLastError();
        note += "forward failed with system error " + std::to_string(code) + "\n";
        return true;
    }
    const DWORD limit = limitFrom(L"MAKO_TEST_INSTALLER_WAIT_MS", 120000);
    if (WaitForSingleObject(process.hProcess, limit) == WAIT_OBJECT_0) {
        code = stand_in::waitForExit(process);
        return true;
    }
    // Read what the action wrote during this run only: the record is shared by the run's calls.
    const std::string record = kitRecord.empty() ? std::string() : readFile(kitRecord);
    const std::string lines = recordBefore <= record.size() ? record.substr(recordBefore) : record;
    const size_t started = lines.find("WaitForArchives: started");
    actionStarted = started != std::string::npos;
    const size_t last = lines.find_last_of('\n', lines.size() >= 2 ? lines.size() - 2 : 0);
    std::string lastLine = lines.substr(last == std::string::npos ? 0 : last + 1);
    lastLine.erase(lastLine.find_last_not_of("\r\n") + 1);
    stuck = "no end after " + std::to_string(limit) + " ms; event " MAKO_CAB_EXTRACT_EVENT_NAME " " + eventState() +
            "; kit action " +
            (kitRecord.empty() ? "unknown (no MAKO_TEST_KIT_RECORD)"
                               : actionStarted ? "started, last: " + lastLine : "never started") +
            "; ended " + std::to_string(endProcessTree(process.dwProcessId)) + " installer processes";
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return false;
}

// Wine's installer opens the archives through the ANSI code page, so it cannot extract them from a
// folder whose name that code page lacks (Windows' installer can). Such a package is forwarded under
// its short name, which Wine makes of ASCII letters; the launcher's own command stays as recorded.
bool isAscii(const std::wstring& text) {
    return std::all_of(text.begin(), text.end(), [](wchar_t c) { return c < 0x80; });
}

std::wstring readableByWinesInstaller(const std::wstring& arguments, const std::wstring& package, std::string& note) {
    const size_t at = arguments.find(package);
    if (isAscii(package) || at == std::wstring::npos) return arguments;
    wchar_t shortName[32768];
    const DWORD length = GetShortPathNameW(package.c_str(), shortName, 32768);
    const std::wstring forwarded(shortName, length < 32768 ? length : 0);
    if (forwarded.empty() || !isAscii(forwarded))
        return arguments;
    note += "forwarded-package: " + toUtf8(forwarded) + "\n";
    return arguments.substr(0, at) + forwarded + arguments.substr(at + package.size());
}

DWORD forward(const wchar_t* commandLine, std::string& note) {
    std::wstring real = environment(L"MAKO_TEST_REAL_MSIEXEC");
    if (real.empty()) {
        wchar_t system[MAX_PATH];
        const UINT length = GetSystemDirectoryW(system, MAX_PATH);
        real = std::wstring(system, length) + L"\\msiexec.exe";
    }
    const std::wstring command =
        L"\"" + real + L"\"" + readableByWinesInstaller(argumentsOf(commandLine), packageArgument(commandLine), note);
    DWORD code = 0;
    std::string stuck;
    bool actionStarted = false;
    if (runInstaller(real, command, code, note, stuck, actionStarted)) return code;
    note += "installer-stuck: " + stuck + "\n";
    // The event was there to be seen and the action never ran: Wine's custom-action process was
    // lost, which a second run does not meet again. Anything else is a fault to report.
    if (actionStarted || eventState() != "signalled") return ERROR_TIMEOUT;
    note += "retried: once, the kit's action never started although the event was set\n";
    std::string again, failed;
    if (runInstaller(real, command, code, failed, again, actionStarted)) {
        note += failed;
        return code;
    }
    note += "installer-stuck-again: " + again + "\n";
    return ERROR_TIMEOUT;
}

void pauseUntilReleased() {
    const std::wstring release = environment(L"MAKO_TEST_PAUSE_UNTIL");
    if (release.empty()) return;
    stand_in::appendToFile(release + L".waiting", "waiting\n");
    for (int waited = 0; waited < 60000; waited += 50) {
        if (GetFileAttributesW(release.c_str()) != INVALID_FILE_ATTRIBUTES) return;
        Sleep(50);
    }
}

size_t countInstallCalls(const std::string& record) {
    size_t count = 0;
    for (size_t at = record.find("package: "); at != std::string::npos; at = record.find("package: ", at + 1))
        if (at == 0 || record[at - 1] == '\n') ++count;
    return count;
}

}  // namespace

int main() {
    const long long startedAt = performanceCounter();
    pauseUntilReleased();
    const wchar_t* commandLine = GetCommandLineW();
    const std::wstring record = stand_in::recordPath(L"MAKO_TEST_RECORD", L"msiexec-calls.txt");
    const size_t earlierInstalls = countInstallCalls(readFile(record));

    std::string block = "command: " + toUtf8(commandLine) + "\n";
    const std::wstring package = packageArgument(commandLine);
    long long eventAt = 0;
    if (!package.empty()) {
        block += "package: " + toUtf8(package) + "\n";
        const std::string event = waitForEvent(eventAt);
        block += "event: " + event + "\n";
        block += "archives: " + checkArchives(folderOf(package)) + "\n";
    }

    std::string note;
    const std::wstring fixed = environment(L"MAKO_TEST_MSIEXEC_RESULT");
    const DWORD result = fixed.empty() ? forward(commandLine, note)
                                       : static_cast<DWORD>(std::wcstol(fixed.c_str(), nullptr, 10));
    block += note;

    const std::wstring reinstall = environment(L"MAKO_TEST_REINSTALL");
    if (!package.empty() && ((reinstall == L"once" && earlierInstalls == 0) || reinstall == L"always"))
        block += leaveReinstallRequest() ? "install-status: reinstall\n" : "install-status: write failed\n";

    block += "result: " + std::to_string(static_cast<long>(static_cast<LONG>(result))) + "\n";
    block += "started-qpc: " + std::to_string(startedAt) + "\n";
    if (!package.empty()) block += "event-qpc: " + std::to_string(eventAt) + "\n";
    block += "\n";
    stand_in::appendToFile(record, block);
    return static_cast<int>(result);
}
