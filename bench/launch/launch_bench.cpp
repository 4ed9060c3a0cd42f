// Launch benchmark: the installer must come up at once while the worker thread still writes the
// archives, and no archive may be held in memory whole.
//
// It copies the built launcher, replaces the four archive resources in the copy with generated data
// of the shipped sizes (about 181 MB), and runs both launchers side by side with /s against the
// recording msiexec.exe (fixed result 0, nothing installed). For each run it measures from the start
// of the launcher: the start of the installer, the moment the installer's wait on the archive event
// ends, and the end of the launcher; and the launcher's peak working set and private bytes, sampled
// while it runs. It prints the median of each figure and ratios of figures taken in the same run.
// Timing never fails the program; a run that did not do its job (exit code, event, archives) does.
//
//   launch_bench.exe [runs] [launcher.exe] [folder of the recording msiexec.exe]
#include <windows.h>
// after windows.h
#include <knownfolders.h>
#include <psapi.h>
#include <shlobj.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Archive {
    const char* type;
    WORD id;
    const char* file;
    DWORD size;  // of the shipped archive
};
const Archive kArchives[] = {
    {"MAKO_CAB9", 110, "ss310270.cab", 19906511},
    {"MAKO_CAB10", 111, "st310270.cab", 124485486},
    {"MAKO_CAB7", 108, "sj310270.cab", 37303520},
    {"MAKO_CAB11", 112, "sz310270.cab", 1446},
};
constexpr WORD kEnglish = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);  // 1033
#ifdef _WIN64
const char kWorkFolderName[] = "forge3.1.0_27_x64";
#else
const char kWorkFolderName[] = "forge3.1.0_27";
#endif
const char kInstallerKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer";
constexpr DWORD kSampleMs = 2;
constexpr DWORD kMapEveryRounds = 10;  // a copy of an archive would live longer than that
constexpr DWORD kRunLimitMs = 300000;

uint64_t archiveTotal() {
    uint64_t total = 0;
    for (const Archive& archive : kArchives) total += archive.size;
    return total;
}

[[noreturn]] void fail(const std::string& what) {
    std::fprintf(stderr, "launch_bench: %s (system error %lu)\n", what.c_str(), GetLastError());
    std::exit(2);
}

long long now() {
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return counter.QuadPart;
}

double secondsBetween(long long from, long long to) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(to - from) / static_cast<double>(frequency.QuadPart);
}

std::string readFile(const std::string& path) {
    std::ostringstream bytes;
    bytes << std::ifstream(path, std::ios::binary).rdbuf();
    return bytes.str();
}

void writeFile(const std::string& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }

std::string knownFolder(REFKNOWNFOLDERID id) {
    PWSTR wide = nullptr;
    char narrow[MAX_PATH * 2] = {};
    if (SUCCEEDED(SHGetKnownFolderPath(id, 0, nullptr, &wide)))
        WideCharToMultiByte(CP_ACP, 0, wide, -1, narrow, sizeof narrow, nullptr, nullptr);
    CoTaskMemFree(wide);
    return narrow;
}

std::string workFolder() { return knownFolder(FOLDERID_LocalAppDataLow) + "\\Halden\\Mako\\" + kWorkFolderName; }

std::string runtimeSettingsFile() {
    char folder[MAX_PATH] = {};
    SHGetFolderPathA(nullptr, CSIDL_COMMON_APPDATA, nullptr, SHGFP_TYPE_CURRENT, folder);
    return std::string(folder) + "\\Brennic\\Mako\\mako.settings.cfg";
}

void removePayloadFiles() {
    DeleteFileA((workFolder() + "\\forge3.1.0_27.msi").c_str());
    for (const Archive& archive : kArchives) DeleteFileA((workFolder() + "\\" + archive.file).c_str());
}

// The registry value through which the launcher finds msiexec.exe; put back on destruction.
class InstallerLocation {
public:
    explicit InstallerLocation(const std::string& folder) {
        if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kInstallerKey, 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr, &key,
                            nullptr) != ERROR_SUCCESS)
            fail("cannot open HKLM\\" + std::string(kInstallerKey));
        char buffer[MAX_PATH * 2] = {};
        DWORD type = 0, size = sizeof buffer - 1;
        existed = RegQueryValueExA(key, "InstallerLocation", nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size) ==
                  ERROR_SUCCESS;
        saved = buffer;
        set(folder);
    }
    ~InstallerLocation() {
        if (existed) set(saved);
        else RegDeleteValueA(key, "InstallerLocation");
        RegCloseKey(key);
    }
    InstallerLocation(const InstallerLocation&) = delete;
    InstallerLocation& operator=(const InstallerLocation&) = delete;

private:
    void set(const std::string& value) {
        RegSetValueExA(key, "InstallerLocation", 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                       static_cast<DWORD>(value.size() + 1));
    }
    HKEY key = nullptr;
    bool existed = false;
    std::string saved;
};

// Incompressible filler, different for each archive; what the bytes are does not matter to the launcher.
void fill(std::vector<uint8_t>& buffer, DWORD size, uint64_t seed) {
    buffer.resize(size);
    uint64_t state = seed * 0x9E3779B97F4A7C15ull + 1;
    size_t at = 0;
    for (; at + 8 <= size; at += 8) {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        std::memcpy(&buffer[at], &state, 8);
    }
    for (; at < size; ++at) buffer[at] = static_cast<uint8_t>(at);
    if (size >= 4) std::memcpy(buffer.data(), "MSCF", 4);
}

// A copy of the launcher whose archive resources have the shipped sizes.
void makeLargeLauncher(const std::string& source, const std::string& target) {
    if (!CopyFileA(source.c_str(), target.c_str(), FALSE)) fail("cannot copy " + source);
    HANDLE update = BeginUpdateResourceA(target.c_str(), FALSE);
    if (!update) fail("BeginUpdateResource " + target);
    std::vector<uint8_t> data;
    uint64_t seed = 0;
    for (const Archive& archive : kArchives) {
        fill(data, archive.size, ++seed);
        if (!UpdateResourceA(update, archive.type, MAKEINTRESOURCEA(archive.id), kEnglish, data.data(), archive.size))
            fail(std::string("UpdateResource ") + archive.type);
    }
    data = std::vector<uint8_t>();
    if (!EndUpdateResourceA(update, FALSE)) fail("EndUpdateResource " + target);

    HMODULE check = LoadLibraryExA(target.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (!check) fail("cannot load " + target);
    for (const Archive& archive : kArchives) {
        HRSRC found = FindResourceExA(check, archive.type, MAKEINTRESOURCEA(archive.id), kEnglish);
        if (!found || SizeofResource(check, found) != archive.size)
            fail(std::string("the enlarged launcher lacks ") + archive.type + " of the shipped size");
    }
    FreeLibrary(check);
}

// The recording msiexec.exe writes "name: value" lines per call, calls separated by an empty line.
std::map<std::string, std::string> firstRecordedCall(const std::string& text) {
    std::map<std::string, std::string> call;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty()) break;
        const size_t colon = line.find(": ");
        if (colon != std::string::npos) call[line.substr(0, colon)] = line.substr(colon + 2);
    }
    return call;
}

struct Sample {
    // seconds from the launcher's start
    double workerStart = 0;     // the event exists: the worker starts and the installer is being started
    double installerStart = 0;  // the installer's process runs
    double eventSet = 0;        // the installer's wait on the event ended: all archives written
    double whole = 0;
    // bytes, peaks while the launcher ran
    double peakWorkingSet = 0;
    double peakPrivateUsage = 0;  // as the system reports it
    double peakCommittedPrivate = 0;  // committed MEM_PRIVATE regions: heaps, stacks, VirtualAlloc
    double committedImage = 0;        // committed MEM_IMAGE regions: the launcher's file with its resources
};

// Heap, stack and VirtualAlloc memory of the process, from its memory map: where a copy of an
// archive would have to live. Image pages stay out of it whatever the loader does with them.
void sampleMemoryMap(HANDLE process, Sample& sample) {
    double privateBytes = 0, imageBytes = 0;
    MEMORY_BASIC_INFORMATION region;
    for (const char* at = nullptr; VirtualQueryEx(process, at, &region, sizeof region) == sizeof region;) {
        if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE) privateBytes += region.RegionSize;
        if (region.State == MEM_COMMIT && region.Type == MEM_IMAGE) imageBytes += region.RegionSize;
        const char* next = static_cast<const char*>(region.BaseAddress) + region.RegionSize;
        if (next <= at) break;
        at = next;
    }
    sample.peakCommittedPrivate = std::max(sample.peakCommittedPrivate, privateBytes);
    sample.committedImage = std::max(sample.committedImage, imageBytes);
}

void sampleCounters(HANDLE process, Sample& sample) {
    PROCESS_MEMORY_COUNTERS_EX counters{};
    counters.cb = sizeof counters;
    if (!GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters), sizeof counters)) return;
    sample.peakWorkingSet = std::max({sample.peakWorkingSet, static_cast<double>(counters.PeakWorkingSetSize),
                                      static_cast<double>(counters.WorkingSetSize)});
    // Some systems report only the current private bytes; the sampling keeps their peak.
    sample.peakPrivateUsage = std::max({sample.peakPrivateUsage, static_cast<double>(counters.PrivateUsage),
                                        static_cast<double>(counters.PagefileUsage),
                                        static_cast<double>(counters.PeakPagefileUsage)});
}

void setEnvironment(const char* name, const std::string& value) {
    SetEnvironmentVariableA(name, value.empty() ? nullptr : value.c_str());
}

// One launcher run with /s; the recorder gets `manifest` (empty: its own) to check the archives against.
Sample runLauncher(const std::string& launcher, const std::string& folder, const std::string& manifest) {
    CreateDirectoryA(folder.c_str(), nullptr);
    DeleteFileA((folder + "\\msiexec-calls.txt").c_str());
    DeleteFileA((folder + "\\musched.log").c_str());
    removePayloadFiles();
    DeleteFileA(runtimeSettingsFile().c_str());
    setEnvironment("TEMP", folder);
    setEnvironment("TMP", folder);
    setEnvironment("MAKO_TEST_RECORD", folder + "\\msiexec-calls.txt");
    setEnvironment("MAKO_TEST_ARCHIVES", manifest);
    setEnvironment("MAKO_TEST_MSIEXEC_RESULT", "0");  // nothing gets installed: every run starts alike

    std::string commandLine = "\"" + launcher + "\" /s";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    Sample sample;
    const long long started = now();
    if (!CreateProcessA(launcher.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &info))
        fail("cannot start " + launcher);
    HANDLE event = nullptr;
    DWORD wait = WAIT_TIMEOUT;
    for (DWORD round = 0; wait == WAIT_TIMEOUT && round * kSampleMs < kRunLimitMs; ++round) {
        if (!event && (event = OpenEventA(SYNCHRONIZE, FALSE, "HaldenForgeCabExtractWaitEvent")))
            sample.workerStart = secondsBetween(started, now());
        sampleCounters(info.hProcess, sample);
        // The walk costs the launcher time (each query reaches into it), so it runs less often.
        if (round % kMapEveryRounds == 0) sampleMemoryMap(info.hProcess, sample);
        wait = WaitForSingleObject(info.hProcess, kSampleMs);
    }
    const long long ended = now();
    if (event) CloseHandle(event);
    if (wait != WAIT_OBJECT_0) {
        TerminateProcess(info.hProcess, 1);
        fail("the launcher did not end within " + std::to_string(kRunLimitMs / 1000) + " s");
    }
    sampleCounters(info.hProcess, sample);  // the system may still hold the peaks of the ended process
    DWORD exitCode = 1;
    GetExitCodeProcess(info.hProcess, &exitCode);
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);

    const std::string record = readFile(folder + "\\msiexec-calls.txt");
    auto call = firstRecordedCall(record);
    if (exitCode != 0 || call["event"] != "signalled" || call["archives"] != "complete" ||
        call["started-qpc"].empty() || call["event-qpc"].empty() || sample.workerStart == 0)
        fail("run in " + folder + " did not do its job: exit code " + std::to_string(static_cast<long>(exitCode)) +
             ", installer record:\n" + record + "launcher log:\n" + readFile(folder + "\\musched.log"));
    sample.installerStart = secondsBetween(started, std::stoll(call["started-qpc"]));
    sample.eventSet = secondsBetween(started, std::stoll(call["event-qpc"]));
    sample.whole = secondsBetween(started, ended);
    return sample;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

double medianOf(const std::vector<Sample>& samples, double Sample::*field) {
    std::vector<double> values;
    for (const Sample& sample : samples) values.push_back(sample.*field);
    return median(values);
}

double mib(double bytes) { return bytes / (1024.0 * 1024.0); }

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    const std::string launcher = argc > 2 ? argv[2] : LAUNCH_BENCH_SETUP_EXE;
    const std::string recorderFolder = argc > 3 ? argv[3] : LAUNCH_BENCH_RECORDER_DIR;

    char temp[MAX_PATH + 1] = {};
    GetTempPathA(sizeof temp, temp);
    const std::string scratch = std::string(temp) + "mako-launch-bench";
    CreateDirectoryA(scratch.c_str(), nullptr);
    const std::string largeLauncher = scratch + "\\mako-forge-setup-large.exe";
    const std::string largeManifest = scratch + "\\archives-large.txt";
    std::string manifestText;
    for (const Archive& archive : kArchives) manifestText += std::string(archive.file) + " " + std::to_string(archive.size) + "\n";
    writeFile(largeManifest, manifestText);

    const long long buildStarted = now();
    makeLargeLauncher(launcher, largeLauncher);
    std::printf("launch benchmark: %d runs of each launcher with /s, installer = recording msiexec.exe (result 0)\n",
                runs);
    std::printf("enlarged launcher: archives of %llu bytes (%.1f MiB) generated into %s in %.1f s\n",
                static_cast<unsigned long long>(archiveTotal()), mib(static_cast<double>(archiveTotal())),
                largeLauncher.c_str(), secondsBetween(buildStarted, now()));

    const std::string savedSettings = readFile(runtimeSettingsFile());
    std::vector<Sample> small, large;
    {
        InstallerLocation location(recorderFolder);
        std::printf("%-5s %3s %9s %9s %9s %9s   %8s %8s %8s %8s\n", "build", "run", "worker s", "install s",
                    "event s", "whole s", "WS MiB", "priv MiB", "heap MiB", "img MiB");
        // Alternated, so that both builds meet the same state of the machine.
        for (int run = 1; run <= runs; ++run) {
            for (const bool enlarged : {false, true}) {
                const std::string folder = scratch + "\\run-" + (enlarged ? "large-" : "small-") + std::to_string(run);
                const Sample sample =
                    runLauncher(enlarged ? largeLauncher : launcher, folder, enlarged ? largeManifest : std::string());
                (enlarged ? large : small).push_back(sample);
                std::printf("%-5s %3d %9.3f %9.3f %9.3f %9.3f   %8.1f %8.1f %8.1f %8.1f\n", enlarged ? "large" : "small",
                            run, sample.workerStart, sample.installerStart, sample.eventSet, sample.whole,
                            mib(sample.peakWorkingSet), mib(sample.peakPrivateUsage), mib(sample.peakCommittedPrivate),
                            mib(sample.committedImage));
                std::fflush(stdout);
            }
        }
    }
    removePayloadFiles();
    DeleteFileA(largeLauncher.c_str());
    if (savedSettings.empty()) DeleteFileA(runtimeSettingsFile().c_str());
    else writeFile(runtimeSettingsFile(), savedSettings);

    const double total = static_cast<double>(archiveTotal());
    auto both = [&](const char* what, double Sample::*field, bool bytes) {
        const double a = medianOf(small, field), b = medianOf(large, field);
        if (bytes) std::printf("  %-42s %9.1f MiB %9.1f MiB\n", what, mib(a), mib(b));
        else std::printf("  %-42s %9.3f s   %9.3f s\n", what, a, b);
    };
    std::printf("\nmedians from the launcher's start         %13s %13s\n", "small", "large");
    both("worker started, installer being started", &Sample::workerStart, false);
    both("installer running", &Sample::installerStart, false);
    both("archive event set (all archives written)", &Sample::eventSet, false);
    both("launcher ended", &Sample::whole, false);
    both("peak working set", &Sample::peakWorkingSet, true);
    both("peak private usage (system's counter)", &Sample::peakPrivateUsage, true);
    both("peak committed private memory (memory map)", &Sample::peakCommittedPrivate, true);
    both("committed image (file and resources)", &Sample::committedImage, true);

    // Each ratio from the figures of one run (or of the run pair), then the median over the runs.
    std::vector<double> startToEvent, upToWrite, upLargeToSmall, heapToTotal, heapGrowthToTotal, usageToTotal,
        workingSetToTotal, rate;
    for (size_t i = 0; i < large.size(); ++i) {
        const Sample& l = large[i];
        const Sample& m = small[i];
        startToEvent.push_back(l.installerStart / l.eventSet);
        upToWrite.push_back((l.installerStart - l.workerStart) / (l.eventSet - l.workerStart));
        upLargeToSmall.push_back((l.installerStart - l.workerStart) / (m.installerStart - m.workerStart));
        heapToTotal.push_back(l.peakCommittedPrivate / total);
        heapGrowthToTotal.push_back((l.peakCommittedPrivate - m.peakCommittedPrivate) / total);
        usageToTotal.push_back(l.peakPrivateUsage / total);
        workingSetToTotal.push_back(l.peakWorkingSet / total);
        rate.push_back(total / (l.eventSet - l.workerStart) / 1e6);
    }
    const double largestShare = kArchives[1].size / total;
    std::printf("\nratios (large = enlarged launcher with %.1f MiB of archives; medians of %d runs)\n", mib(total), runs);
    std::printf("  installer running / event set, from launcher start          %6.3f\n", median(startToEvent));
    std::printf("  installer coming up / archive writing, from worker start    %6.3f  (< 1: up before the copy ends)\n",
                median(upToWrite));
    std::printf("  installer coming up after worker start, large / small       %6.3f  (near 1: not delayed by the payload)\n",
                median(upLargeToSmall));
    std::printf("  peak committed private memory / archive total               %6.3f  (a whole copy of the largest archive: "
                ">= %.3f)\n",
                median(heapToTotal), largestShare);
    std::printf("  its growth large - small / archive total                    %6.3f\n", median(heapGrowthToTotal));
    std::printf("  peak private usage / archive total                          %6.3f  (counts image pages where the "
                "loader reads them in)\n",
                median(usageToTotal));
    std::printf("  peak working set / archive total                            %6.3f  (counts touched image pages)\n",
                median(workingSetToTotal));
    std::printf("  archive writing rate                                        %6.0f MB/s\n", median(rate));
    return 0;
}
