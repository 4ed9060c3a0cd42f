// Log contention: three processes write 10,000 entries each into one log at once, through the
// launcher's Logger (tests/helpers/log_writer, one thread each). Counts the entries that arrived
// whole, those split or interleaved with another writer's bytes (goal: none), those lost because
// the bounded retry of the open gave up, and the entries written per second.
//
//   log_bench.exe [runs]
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "common/bench_row.h"

namespace {

constexpr int kProcesses = 3;
constexpr int kEntries = 10000;

[[noreturn]] void fail(const std::string& what) {
    std::fprintf(stderr, "log_bench: %s (system error %lu)\n", what.c_str(), GetLastError());
    std::exit(2);
}

struct Count {
    int whole = 0;        // distinct entries that arrived intact under their own process's header
    int damaged = 0;      // lines that belong to no intact entry: split or overwritten
    int interleaved = 0;  // a message under another process's header
    int duplicates = 0;
};

// The message log_writer writes: "<tag>-<thread>-<n>-" and (n * 7 + thread * 13) % 50 times 'x'.
bool parseMessage(const std::string& text, int& process, int& n) {
    int thread = 0, used = 0;
    if (std::sscanf(text.c_str(), "p%d-%d-%d-%n", &process, &thread, &n, &used) != 3 || thread != 0) return false;
    const std::string tail = text.substr(static_cast<size_t>(used));
    return process >= 0 && process < kProcesses && n >= 0 && n < kEntries &&
           tail == std::string(static_cast<size_t>((n * 7 + thread * 13) % 50), 'x');
}

Count countEntries(const std::string& bytes, const std::vector<DWORD>& pids) {
    std::vector<std::string> lines;
    for (size_t at = 0; at < bytes.size();) {
        const size_t end = bytes.find("\r\n", at);
        lines.push_back(bytes.substr(at, end == std::string::npos ? std::string::npos : end - at));
        at = end == std::string::npos ? bytes.size() : end + 2;
    }
    Count count;
    std::set<std::pair<int, int>> seen;
    for (size_t i = 0; i < lines.size();) {
        const std::string& header = lines[i];
        unsigned pid = 0;
        const size_t pidAt = header.find("(PID: ");
        const bool headerOk = header.size() > 2 && header.front() == '[' && header.back() == ']' &&
                              header.find("log_writer.cpp:") != std::string::npos && pidAt != std::string::npos &&
                              std::sscanf(header.c_str() + pidAt, "(PID: %u,", &pid) == 1;
        int process = 0, n = 0;
        if (headerOk && i + 1 < lines.size() && lines[i + 1].rfind("\tINFO: ", 0) == 0 &&
            parseMessage(lines[i + 1].substr(7), process, n)) {
            if (pids[static_cast<size_t>(process)] != pid) ++count.interleaved;
            else if (!seen.insert({process, n}).second) ++count.duplicates;
            else ++count.whole;
            i += 2;
        } else {
            ++count.damaged;
            ++i;
        }
    }
    return count;
}

std::string readFile(const std::string& path) {
    std::ostringstream bytes;
    bytes << std::ifstream(path, std::ios::binary).rdbuf();
    return bytes.str();
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    char temp[MAX_PATH + 1] = {};
    GetTempPathA(sizeof temp, temp);
    const std::string path = std::string(temp) + "mako-log-bench.log";
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);

    std::printf("log benchmark (%s): %d processes x %d entries into one log, %d runs\n", bench::kBuild, kProcesses,
                kEntries, runs);
    std::printf("%3s %9s %9s %9s %9s %9s %10s\n", "run", "seconds", "whole", "lost", "damaged", "interlvd", "entries/s");
    std::vector<double> seconds, lost, rate;
    int broken = 0;
    for (int run = 1; run <= runs; ++run) {
        DeleteFileA(path.c_str());
        const std::string eventName = "MakoLogBenchStart-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(run);
        HANDLE start = CreateEventA(nullptr, TRUE, FALSE, eventName.c_str());
        if (!start) fail("CreateEvent");
        std::vector<HANDLE> processes;
        std::vector<DWORD> pids;
        for (int p = 0; p < kProcesses; ++p) {
            std::string commandLine = "\"" LOG_BENCH_WRITER "\" \"" + path + "\" " + std::to_string(kEntries) + " p" +
                                      std::to_string(p) + " " + eventName + " 1";
            STARTUPINFOA startup{};
            startup.cb = sizeof startup;
            PROCESS_INFORMATION info{};
            if (!CreateProcessA(LOG_BENCH_WRITER, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                &startup, &info))
                fail("cannot start " LOG_BENCH_WRITER);
            CloseHandle(info.hThread);
            processes.push_back(info.hProcess);
            pids.push_back(info.dwProcessId);
        }
        Sleep(500);  // every writer waits on the event by now
        LARGE_INTEGER started, ended;
        QueryPerformanceCounter(&started);
        SetEvent(start);
        WaitForMultipleObjects(static_cast<DWORD>(processes.size()), processes.data(), TRUE, INFINITE);
        QueryPerformanceCounter(&ended);
        for (HANDLE process : processes) {
            DWORD code = 1;
            GetExitCodeProcess(process, &code);
            CloseHandle(process);
            if (code != 0) fail("a writer ended with " + std::to_string(code));
        }
        CloseHandle(start);

        const Count count = countEntries(readFile(path), pids);
        const double s = static_cast<double>(ended.QuadPart - started.QuadPart) / static_cast<double>(frequency.QuadPart);
        const int missing = kProcesses * kEntries - count.whole;
        seconds.push_back(s);
        lost.push_back(missing);
        rate.push_back(count.whole / s);
        broken += count.damaged + count.interleaved + count.duplicates;
        std::printf("%3d %9.3f %9d %9d %9d %9d %10.0f\n", run, s, count.whole, missing, count.damaged,
                    count.interleaved, count.whole / s);
        std::fflush(stdout);
    }
    DeleteFileA(path.c_str());

    const std::string what = std::to_string(kProcesses) + " processes x " + std::to_string(kEntries) + " entries";
    bench::row("P5", "log, " + what + ": entries split or interleaved (all runs)", runs, "-", std::to_string(broken),
               "0", broken == 0 ? "met" : "missed");
    bench::row("P5", "log, " + what + ": entries lost to the bounded retry", runs,
               bench::format("%.0f of %.0f", median(lost), kProcesses * kEntries),
               bench::format("%.4f", median(lost) / (kProcesses * kEntries)), "-", "-");
    bench::row("P5", "log, " + what + ": throughput (entries/s)", runs, bench::format("%.2f s", median(seconds)),
               bench::format("%.0f", median(rate)), "-", "-");
    return 0;
}
