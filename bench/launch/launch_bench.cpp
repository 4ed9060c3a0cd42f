// Launch benchmark: the installer must come up at once while the worker thread still writes the
// archives, no archive may be held in memory whole, and the overlapped installation must beat
// writing the payload first and installing afterwards.
//
// Launch mode (default): copies the built launcher, replaces the four archive resources in the copy
// with generated data of the shipped sizes (about 181 MB), and runs both launchers side by side with
// /s against the recording msiexec.exe (fixed result 0, nothing installed). For each run it measures
// from the start of the launcher: the start of the installer, the moment the archive event is set,
// and the end of the launcher; and, in a second run of the same launcher (the sampling slows what it
// watches), its peak working set and private bytes, sampled while it runs. After each pair it writes
// the same archive bytes the plain way (8,192-byte WriteFile calls from a view of the enlarged
// launcher mapped afresh, as every launcher start maps its image afresh) and copies them with cp, for
// the writing rate the design allows; the plain loop from a view whose pages were touched before is
// printed beside it.
//
// Install mode (--install): the enlarged launcher carries the package and real cabinets of the
// shipped sizes (target full_payload) and installs them with the system's msiexec.exe; the serial
// way writes the same payload the plain way in a process of its own (--write-payload) and then
// replays the launcher's installer and runtime commands one after the other. Each run starts from
// a removed kit.
//
// It prints the median of each figure, ratios of figures taken in the same run, and the rows of the
// benchmark table (lines starting with "ROW|"). Timing never fails the program; a run that did not
// do its job (exit code, event, archives, installed files) does.
//
//   launch_bench.exe [runs]
//   launch_bench.exe --install [runs]
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
#include <map>
#include <sstream>

#include "platform/crc32c.h"
#include <string>
#include <vector>

#include "common/bench_row.h"
#include "platform/win_test_support.h"
#include "product_facts.h"

namespace {

using wintest::knownFolder, wintest::readFile, wintest::runtimeSettingsFile, wintest::systemFolder, wintest::writeFile;

struct Archive {
    const char* type;
    WORD id;
    const char* file;
    DWORD size;  // of the shipped archive
};
const Archive kArchives[] = {
    {"MAKO_CAB9", 110, "ss" MAKO_ARCHIVE_TAG ".cab", 19906511},
    {"MAKO_CAB10", 111, "st" MAKO_ARCHIVE_TAG ".cab", 124485486},
    {"MAKO_CAB7", 108, "sj" MAKO_ARCHIVE_TAG ".cab", 37303520},
    {"MAKO_CAB11", 112, "sz" MAKO_ARCHIVE_TAG ".cab", 1446},
};
const char kPackageType[] = "MAKO_INSTALLER";
constexpr WORD kPackageId = 101;
const char kPackageFile[] = "forge" MAKO_VERSION ".msi";
constexpr WORD kEnglish = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);  // 1033
#ifdef _WIN64
const char kWorkFolderName[] = "forge" MAKO_VERSION "_x64";
#else
const char kWorkFolderName[] = "forge" MAKO_VERSION;
#endif
const char kInstallerKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer";
const char kKitKey[] = "SOFTWARE\\Velmora\\Mako Development Kit\\" MAKO_VERSION;
const char kRuntimeKey[] = "SOFTWARE\\Velmora\\Mako Runtime Environment\\" MAKO_VERSION;
const char kStatusKey[] = "SOFTWARE\\Velmora";
const char kUninstallKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" LAUNCH_BENCH_KIT_PRODUCT_CODE;
constexpr DWORD kChunk = 8192;  // the launcher's chunk size
constexpr DWORD kSampleMs = 2;
// Each query of the walk runs in the launcher (Wine answers it there, interrupting its threads), so
// the walk runs every 100 ms: a copy of an archive would live longer than that.
constexpr DWORD kMapEveryRounds = 50;
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

uint64_t fileSize(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return 0;
    return (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

std::string workFolder() { return knownFolder(FOLDERID_LocalAppDataLow) + "\\Halden\\Mako\\" + kWorkFolderName; }

// The Unix path of a Windows path, for cp.
std::string unixPath(const std::string& path) {
    const std::string unix = wintest::unixPath(path);
    if (unix.empty()) fail("no Unix path for " + path + " (not running under Wine?)");
    return unix;
}

void removePayloadFiles() {
    DeleteFileA((workFolder() + "\\" + kPackageFile).c_str());
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

std::vector<uint8_t> fileBytes(const std::string& path) {
    const std::string text = readFile(path);
    if (text.empty()) fail("cannot read " + path);
    return std::vector<uint8_t>(text.begin(), text.end());
}

// The launcher checks its payload against the digest table it carries: the enlarged copy gets the
// table of its own payload, as the build would have written it.
void updateDigests(const std::string& target) {
    HMODULE module = LoadLibraryExA(target.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (!module) fail("cannot load " + target);
    std::string table;
    const auto add = [&](const char* type, WORD id) {
        HRSRC found = FindResourceExA(module, type, MAKEINTRESOURCEA(id), kEnglish);
        if (!found) return;
        const void* bytes = LockResource(LoadResource(module, found));
        char line[32];
        std::snprintf(line, sizeof line, "%u %08x\n", unsigned{id},
                      static_cast<unsigned>(crc32c::extend(0, bytes, SizeofResource(module, found))));
        table += line;
    };
    add(kPackageType, kPackageId);
    add(kPackageType, 105);  // the update agent's package
    for (const Archive& archive : kArchives) add(archive.type, archive.id);
    FreeLibrary(module);
    HANDLE update = BeginUpdateResourceA(target.c_str(), FALSE);
    if (!update || !UpdateResourceA(update, "MAKO_DIGESTS", MAKEINTRESOURCEA(1), kEnglish, table.data(),
                                    static_cast<DWORD>(table.size())) ||
        !EndUpdateResourceA(update, FALSE))
        fail("cannot update the digests of " + target);
}

// A copy of the launcher whose archive resources have the shipped sizes: generated filler, or the
// package and the cabinets found in payloadFolder.
void makeLargeLauncher(const std::string& source, const std::string& target, const std::string& payloadFolder) {
    if (!CopyFileA(source.c_str(), target.c_str(), FALSE)) fail("cannot copy " + source);
    HANDLE update = BeginUpdateResourceA(target.c_str(), FALSE);
    if (!update) fail("BeginUpdateResource " + target);
    std::vector<uint8_t> data;
    if (!payloadFolder.empty()) {
        data = fileBytes(payloadFolder + "\\" + kPackageFile);
        if (!UpdateResourceA(update, kPackageType, MAKEINTRESOURCEA(kPackageId), kEnglish, data.data(),
                             static_cast<DWORD>(data.size())))
            fail("UpdateResource of the package");
    }
    uint64_t seed = 0;
    for (const Archive& archive : kArchives) {
        if (payloadFolder.empty()) fill(data, archive.size, ++seed);
        else data = fileBytes(payloadFolder + "\\" + archive.file);
        if (data.size() != archive.size) fail(std::string(archive.file) + " is not of the shipped size");
        if (!UpdateResourceA(update, archive.type, MAKEINTRESOURCEA(archive.id), kEnglish, data.data(), archive.size))
            fail(std::string("UpdateResource ") + archive.type);
    }
    data = std::vector<uint8_t>();
    if (!EndUpdateResourceA(update, FALSE)) fail("EndUpdateResource " + target);
    updateDigests(target);

    HMODULE check = LoadLibraryExA(target.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (!check) fail("cannot load " + target);
    for (const Archive& archive : kArchives) {
        HRSRC found = FindResourceExA(check, archive.type, MAKEINTRESOURCEA(archive.id), kEnglish);
        if (!found || SizeofResource(check, found) != archive.size)
            fail(std::string("the enlarged launcher lacks ") + archive.type + " of the shipped size");
    }
    FreeLibrary(check);
}

// The enlarged launcher's file mapped as data: the same bytes the launcher's worker copies.
class MappedPayload {
public:
    explicit MappedPayload(const std::string& path) : module(LoadLibraryExA(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE)) {
        if (!module) fail("cannot map " + path);
    }
    ~MappedPayload() { FreeLibrary(module); }
    MappedPayload(const MappedPayload&) = delete;
    MappedPayload& operator=(const MappedPayload&) = delete;

    // The plain way: one file per resource, 8,192-byte WriteFile calls straight from the view; with
    // digest, each chunk is also digested as the launcher does.
    void write(const char* type, WORD id, const std::string& path, bool digest = false) const {
        HRSRC found = FindResourceExA(module, type, MAKEINTRESOURCEA(id), kEnglish);
        if (!found) fail(std::string("no resource ") + type);
        const DWORD size = SizeofResource(module, found);
        const auto* data = static_cast<const BYTE*>(LockResource(LoadResource(module, found)));
        HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) fail("cannot create " + path);
        uint32_t crc = 0;
        for (DWORD done = 0, written = 0; done < size; done += written) {
            if (!WriteFile(file, data + done, std::min(size - done, kChunk), &written, nullptr) || written == 0)
                fail("cannot write " + path);
            if (digest) crc = crc32c::extend(crc, data + done, written);
        }
        digestSink ^= crc;
        if (!CloseHandle(file)) fail("cannot close " + path);
    }
    void writeArchives(const std::string& folder, bool digest = false) const {
        for (const Archive& archive : kArchives) write(archive.type, archive.id, folder + "\\" + archive.file, digest);
    }
    static inline volatile uint32_t digestSink = 0;  // keeps the digest from being optimised away

private:
    HMODULE module;
};

// Seconds that the plain loop takes for the four archives, into fresh files.
double plainWriteSeconds(const MappedPayload& payload, const std::string& folder, bool digest = false) {
    CreateDirectoryA(folder.c_str(), nullptr);
    for (const Archive& archive : kArchives) DeleteFileA((folder + "\\" + archive.file).c_str());
    const long long started = now();
    payload.writeArchives(folder, digest);
    return secondsBetween(started, now());
}

// Seconds that cp takes for the four archive files, as the shell around it measures them. Wine starts
// Unix programs but gives no handle to wait on, so the shell reports through a file.
double cpSeconds(const std::string& sourceFolder, const std::string& targetFolder, const std::string& resultFile) {
    CreateDirectoryA(targetFolder.c_str(), nullptr);
    DeleteFileA(resultFile.c_str());
    std::string sources;
    for (const Archive& archive : kArchives) sources += " '" + unixPath(sourceFolder + "\\" + archive.file) + "'";
    const std::string target = unixPath(targetFolder), result = unixPath(resultFile);
    std::string command = "/bin/sh -c \"rm -f '" + target + "'/*; s=$(date +%s%N); cp" + sources + " '" + target +
                          "'/; e=$(date +%s%N); echo $((e - s)) >'" + result + ".part'; mv '" + result + ".part' '" +
                          result + "'\"";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessA("Z:\\bin\\sh", &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info))
        fail("cannot start /bin/sh for cp");
    if (info.hProcess) CloseHandle(info.hProcess);
    if (info.hThread) CloseHandle(info.hThread);
    for (DWORD waited = 0; GetFileAttributesA(resultFile.c_str()) == INVALID_FILE_ATTRIBUTES; waited += 5) {
        if (waited > 120000) fail("cp did not report within 120 s");
        Sleep(5);
    }
    const std::string text = readFile(resultFile);
    if (text.empty() || fileSize(targetFolder + "\\" + kArchives[1].file) != kArchives[1].size)
        fail("cp did not copy the archives");
    return std::stod(text) / 1e9;
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
    double eventSet = 0;        // the worker set the event: all archives written
    double whole = 0;
    // bytes, peaks while the launcher ran
    double peakWorkingSet = 0;
    double peakPrivateUsage = 0;  // as the system reports it
    double peakCommittedPrivate = 0;  // committed MEM_PRIVATE regions: heaps, stacks, VirtualAlloc
    double committedImage = 0;        // committed MEM_IMAGE regions: the launcher's file with its resources
    DWORD exitCode = 1;
    long long startedAt = 0;  // performance counter at the launcher's start

    void takeMemoryFrom(const Sample& sampled) {
        peakWorkingSet = sampled.peakWorkingSet;
        peakPrivateUsage = sampled.peakPrivateUsage;
        peakCommittedPrivate = sampled.peakCommittedPrivate;
        committedImage = sampled.committedImage;
    }
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

// Runs the launcher with /s from `folder` (its TEMP); `sampled` adds the memory sampling.
Sample runLauncher(const std::string& launcher, const std::string& folder, bool sampled) {
    std::string commandLine = "\"" + launcher + "\" /s";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    Sample sample;
    const long long started = now();
    sample.startedAt = started;
    if (!CreateProcessA(launcher.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &info))
        fail("cannot start " + launcher);
    HANDLE event = nullptr;
    bool eventSeenSet = false;
    DWORD wait = WAIT_TIMEOUT;
    for (DWORD round = 0; wait != WAIT_OBJECT_0 && round * kSampleMs < kRunLimitMs; ++round) {
        if (!event && (event = OpenEventA(SYNCHRONIZE, FALSE, "HaldenForgeCabExtractWaitEvent")))
            sample.workerStart = secondsBetween(started, now());
        if (sampled) {
            sampleCounters(info.hProcess, sample);
            if (round % kMapEveryRounds == 0) sampleMemoryMap(info.hProcess, sample);
        }
        // Polled rather than waited on together with the process: such a wait missed the set now and then.
        if (event && !eventSeenSet && WaitForSingleObject(event, 0) == WAIT_OBJECT_0) {
            sample.eventSet = secondsBetween(started, now());
            eventSeenSet = true;
        }
        wait = WaitForSingleObject(info.hProcess, kSampleMs);
    }
    const long long ended = now();
    if (event) CloseHandle(event);
    if (wait != WAIT_OBJECT_0) {
        TerminateProcess(info.hProcess, 1);
        fail("the launcher did not end within " + std::to_string(kRunLimitMs / 1000) + " s");
    }
    if (sampled) sampleCounters(info.hProcess, sample);  // the system may still hold the peaks of the ended process
    GetExitCodeProcess(info.hProcess, &sample.exitCode);
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    if (sample.workerStart == 0)
        fail("run in " + folder + ": the archive event never existed; launcher log:\n" + readFile(folder + "\\musched.log"));
    sample.whole = secondsBetween(started, ended);
    return sample;
}

// The launcher against the recording msiexec.exe; `manifest` (empty: its own) lists the archives it checks.
Sample runRecorded(const std::string& launcher, const std::string& folder, const std::string& manifest, bool sampled) {
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
    Sample sample = runLauncher(launcher, folder, sampled);
    const std::string record = readFile(folder + "\\msiexec-calls.txt");
    auto call = firstRecordedCall(record);
    if (sample.exitCode != 0 || call["event"] != "signalled" || call["archives"] != "complete" ||
        call["started-qpc"].empty() || call["event-qpc"].empty())
        fail("run in " + folder + " did not do its job: exit code " + std::to_string(static_cast<long>(sample.exitCode)) +
             ", installer record:\n" + record + "launcher log:\n" + readFile(folder + "\\musched.log"));
    sample.installerStart = secondsBetween(sample.startedAt, std::stoll(call["started-qpc"]));
    // Seen by the installer only: its wait ended when it got round to it, a little after the set.
    if (sample.eventSet == 0) sample.eventSet = secondsBetween(sample.startedAt, std::stoll(call["event-qpc"]));
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

namespace {

std::string scratchFolder() {
    char temp[MAX_PATH + 1] = {};
    GetTempPathA(sizeof temp, temp);
    const std::string scratch = std::string(temp) + "mako-launch-bench";
    CreateDirectoryA(scratch.c_str(), nullptr);
    return scratch;
}

// The runtime settings file as it was before the benchmark, put back on destruction.
class SavedRuntimeSettings {
public:
    SavedRuntimeSettings() : text(readFile(runtimeSettingsFile())) {}
    ~SavedRuntimeSettings() {
        if (text.empty()) DeleteFileA(runtimeSettingsFile().c_str());
        else writeFile(runtimeSettingsFile(), text);
    }
    SavedRuntimeSettings(const SavedRuntimeSettings&) = delete;
    SavedRuntimeSettings& operator=(const SavedRuntimeSettings&) = delete;

private:
    std::string text;
};

int benchLaunch(int runs) {
    const std::string scratch = scratchFolder();
    const std::string largeLauncher = scratch + "\\mako-forge-setup-large.exe";
    const std::string largeManifest = scratch + "\\archives-large.txt";
    std::string manifestText;
    for (const Archive& archive : kArchives) manifestText += std::string(archive.file) + " " + std::to_string(archive.size) + "\n";
    writeFile(largeManifest, manifestText);

    const long long buildStarted = now();
    makeLargeLauncher(LAUNCH_BENCH_SETUP_EXE, largeLauncher, std::string());
    std::printf("launch benchmark (%s): %d runs of each launcher with /s, installer = recording msiexec.exe (result 0)\n",
                bench::kBuild, runs);
    std::printf("enlarged launcher: archives of %llu bytes (%.1f MiB) generated into %s in %.1f s\n",
                static_cast<unsigned long long>(archiveTotal()), mib(static_cast<double>(archiveTotal())),
                largeLauncher.c_str(), secondsBetween(buildStarted, now()));

    std::vector<Sample> small, large;
    std::vector<double> plain, checked, warm, cp;
    {
        SavedRuntimeSettings settings;
        const MappedPayload touched(largeLauncher);
        const std::string cpSource = scratch + "\\archives";
        CreateDirectoryA(cpSource.c_str(), nullptr);
        touched.writeArchives(cpSource);
        InstallerLocation location(LAUNCH_BENCH_RECORDER_DIR);
        std::printf("%-5s %3s %9s %9s %9s %9s   %8s %8s %8s %8s   %8s %8s %8s %8s\n", "build", "run", "worker s", "install s",
                    "event s", "whole s", "WS MiB", "priv MiB", "heap MiB", "img MiB", "plain s", "crc s", "warm s", "cp s");
        // Alternated, so that both builds and the plain copies meet the same state of the machine.
        for (int run = 1; run <= runs; ++run) {
            for (const bool enlarged : {false, true}) {
                const std::string folder = scratch + "\\run-" + (enlarged ? "large-" : "small-") + std::to_string(run);
                const std::string launcher = enlarged ? largeLauncher : std::string(LAUNCH_BENCH_SETUP_EXE);
                const std::string manifest = enlarged ? largeManifest : std::string();
                // Times from a run that nothing watches but the event polls; memory from a second
                // run, because the memory sampling slows the launcher it watches.
                Sample sample = runRecorded(launcher, folder, manifest, false);
                const Sample watched = runRecorded(launcher, folder + "-sampled", manifest, true);
                sample.takeMemoryFrom(watched);
                (enlarged ? large : small).push_back(sample);
                std::printf("%-5s %3d %9.3f %9.3f %9.3f %9.3f   %8.1f %8.1f %8.1f %8.1f", enlarged ? "large" : "small",
                            run, sample.workerStart, sample.installerStart, sample.eventSet, sample.whole,
                            mib(sample.peakWorkingSet), mib(sample.peakPrivateUsage), mib(sample.peakCommittedPrivate),
                            mib(sample.committedImage));
                if (enlarged) {
                    // Taken in turns, so that neither gains from what the other left in the caches.
                    for (const bool digest : {run % 2 == 0, run % 2 != 0}) {
                        const MappedPayload fresh(largeLauncher);
                        (digest ? checked : plain).push_back(plainWriteSeconds(fresh, scratch + "\\plain", digest));
                    }
                    warm.push_back(plainWriteSeconds(touched, scratch + "\\plain"));
                    cp.push_back(cpSeconds(cpSource, scratch + "\\cp", scratch + "\\cp-seconds.txt"));
                    std::printf("   %8.3f %8.3f %8.3f %8.3f", plain.back(), checked.back(), warm.back(), cp.back());
                }
                std::printf("\n");
                std::fflush(stdout);
            }
        }
        removePayloadFiles();
    }
    DeleteFileA(largeLauncher.c_str());

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
    std::vector<double> startLargeToSmall, upToWrite, upLargeToSmall, writing, writeToPlain, writeToCp, heapToTotal,
        usageToTotal, workingSetToTotal, writeToWarm, checkedToPlain;
    for (size_t i = 0; i < large.size(); ++i) {
        const Sample& l = large[i];
        const Sample& m = small[i];
        writing.push_back(l.eventSet - l.workerStart);
        startLargeToSmall.push_back(l.installerStart / m.installerStart);
        upToWrite.push_back((l.installerStart - l.workerStart) / writing.back());
        upLargeToSmall.push_back((l.installerStart - l.workerStart) / (m.installerStart - m.workerStart));
        writeToPlain.push_back(writing.back() / plain[i]);
        checkedToPlain.push_back(checked[i] / plain[i]);
        writeToWarm.push_back(writing.back() / warm[i]);
        writeToCp.push_back(writing.back() / cp[i]);
        heapToTotal.push_back(l.peakCommittedPrivate / total);
        usageToTotal.push_back(l.peakPrivateUsage / total);
        workingSetToTotal.push_back(l.peakWorkingSet / total);
    }
    const double largestShare = kArchives[1].size / total;
    std::printf("\nratios (large = enlarged launcher with %.1f MiB of archives; medians of %d runs)\n", mib(total), runs);
    std::printf("  installer running after launcher start, large / small       %6.3f  (goal <= 1.05)\n",
                median(startLargeToSmall));
    std::printf("  installer coming up / archive writing, from worker start    %6.3f  (< 1: up before the copy ends)\n",
                median(upToWrite));
    std::printf("  installer coming up after worker start, large / small       %6.3f\n", median(upLargeToSmall));
    std::printf("  archive writing / plain 8 KiB WriteFile loop                %6.3f  (goal <= 1.1)\n",
                median(writeToPlain));
    std::printf("  archive writing / the same loop from a view touched before  %6.3f\n", median(writeToWarm));
    std::printf("  plain loop with the CRC-32C check / without it              %6.3f  (CRC-32C by %s)\n",
                median(checkedToPlain), crc32c::usesInstruction() ? "the crc32 instruction" : "tables");
    std::printf("  archive writing / cp                                        %6.3f\n", median(writeToCp));
    std::printf("  peak committed private memory / archive total               %6.3f  (a whole copy of the largest archive: "
                ">= %.3f)\n",
                median(heapToTotal), largestShare);
    std::printf("  peak private usage / archive total                          %6.3f  (system's counter)\n",
                median(usageToTotal));
    std::printf("  peak working set / archive total                            %6.3f  (counts touched image pages)\n",
                median(workingSetToTotal));
    std::printf("  archive writing rate: launcher %.0f MB/s, plain loop %.0f MB/s (touched view %.0f MB/s), cp %.0f MB/s\n",
                total / median(writing) / 1e6, total / median(plain) / 1e6, total / median(warm) / 1e6,
                total / median(cp) / 1e6);

    bench::ratioRow("P1", "installer start after launcher start, full payload / stand-in", runs,
        bench::format("%.3f s / %.3f s", medianOf(large, &Sample::installerStart), medianOf(small, &Sample::installerStart)),
        median(startLargeToSmall), 1.05);
    bench::ratioRow("P2", "archive writing / plain 8,192-byte WriteFile loop from a freshly mapped view", runs,
        bench::format("%.3f s / %.3f s", median(writing), median(plain)), median(writeToPlain), 1.1);
    bench::ratioRow("P2", "archive writing / the same loop from a view touched before", runs,
        bench::format("%.3f s / %.3f s", median(writing), median(warm)), median(writeToWarm), 0);
    bench::ratioRow("P2", "the check's own cost: plain loop with CRC-32C / without, freshly mapped views", runs,
        bench::format("%.3f s / %.3f s", median(checked), median(plain)), median(checkedToPlain), 0);
    bench::ratioRow("P2", "archive writing / cp", runs, bench::format("%.3f s / %.3f s", median(writing), median(cp)), median(writeToCp), 0);
    bench::ratioRow("mem", "peak committed private memory / archive total", runs,
        bench::format("%.1f MiB / %.1f MiB", mib(medianOf(large, &Sample::peakCommittedPrivate)), mib(total)),
        median(heapToTotal), 0.1);
    return 0;
}

// Registry value of the process's own view (the view the kit package of the same build writes).
std::string registryString(const char* key, const char* name) {
    char value[MAX_PATH * 2] = {};
    DWORD size = sizeof value - 1;
    if (RegGetValueA(HKEY_LOCAL_MACHINE, key, name, RRF_RT_REG_SZ, nullptr, value, &size) != ERROR_SUCCESS) return "";
    return value;
}

bool keyExists(const char* key) {
    HKEY handle = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key, 0, KEY_READ, &handle) != ERROR_SUCCESS) return false;
    RegCloseKey(handle);
    return true;
}

DWORD runAndWait(const std::string& program, std::string commandLine) {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessA(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info))
        fail("cannot start " + commandLine);
    WaitForSingleObject(info.hProcess, INFINITE);
    DWORD exitCode = 1;
    GetExitCodeProcess(info.hProcess, &exitCode);
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    return exitCode;
}

// Every run starts from a machine without the kit, the runtime, the payload and the settings file.
void removeKit() {
    if (keyExists(kUninstallKey) || keyExists(kKitKey)) {
        const std::string msiexec = systemFolder() + "\\msiexec.exe";
        const DWORD result = runAndWait(msiexec, "\"" + msiexec + "\" /x " LAUNCH_BENCH_KIT_PRODUCT_CODE " /qn");
        if (result != 0 || keyExists(kUninstallKey)) fail("cannot remove the kit: msiexec /x gave " + std::to_string(result));
    }
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, (std::string(kRuntimeKey) + "\\MSI").c_str());
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, kRuntimeKey);
    HKEY status = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kStatusKey, 0, KEY_SET_VALUE, &status) == ERROR_SUCCESS) {
        RegDeleteValueA(status, "InstallStatus");
        RegCloseKey(status);
    }
    removePayloadFiles();
    DeleteFileA(runtimeSettingsFile().c_str());
}

// The kit's largest installed file is there, whole.
void checkInstalled(const std::string& what, const std::string& expectedSource) {
    const std::string home = registryString(kKitKey, "MakoHome");
    const uint64_t expected = fileSize(expectedSource);
    if (home.empty() || expected == 0 || fileSize(home + "\\src.dat") != expected)
        fail(what + " did not install the kit (MakoHome '" + home + "')");
}

// The child processes the launcher started, from its log: "Executor.exec(): <command line>".
std::vector<std::string> executedCommands(const std::string& log) {
    std::vector<std::string> commands;
    const std::string marker = "Executor.exec(): ";
    std::istringstream lines(log);
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const size_t at = line.find(marker);
        if (at != std::string::npos) commands.push_back(line.substr(at + marker.size()));
    }
    return commands;
}

// Seconds of the day in the header of the first log entry whose message holds text (-1: none).
double loggedAt(const std::string& log, const std::string& text) {
    const size_t at = log.find(text);
    const size_t header = at == std::string::npos ? std::string::npos : log.rfind("\n[", at);
    unsigned hour = 0, minute = 0, second = 0, millisecond = 0;
    if (header == std::string::npos ||
        std::sscanf(log.c_str() + header + 2, "%*u/%*u/%*u %u:%u:%u.%u", &hour, &minute, &second, &millisecond) != 4)
        return -1;
    return hour * 3600.0 + minute * 60.0 + second + millisecond / 1000.0;
}

std::string programOf(const std::string& commandLine) {
    if (commandLine.size() < 2 || commandLine[0] != '"') fail("unquoted program in " + commandLine);
    return commandLine.substr(1, commandLine.find('"', 1) - 1);
}

std::string ownPath() {
    char path[MAX_PATH * 2] = {};
    GetModuleFileNameA(nullptr, path, sizeof path);
    return path;
}

// The plain way of writing the payload: package and archives into the launcher's work folder.
int writePayload(const std::string& launcher) {
    const MappedPayload payload(launcher);
    const std::string work = workFolder();
    const std::string mako = work.substr(0, work.rfind('\\'));
    for (const std::string& folder : {mako.substr(0, mako.rfind('\\')), mako, work}) CreateDirectoryA(folder.c_str(), nullptr);
    payload.write(kPackageType, kPackageId, work + "\\" + kPackageFile);
    payload.writeArchives(work);
    return 0;
}

int benchInstall(int runs) {
    const std::string payloadFolder = LAUNCH_BENCH_FULL_PAYLOAD_DIR;
    const std::string expectedSource = payloadFolder + "\\stage\\st" MAKO_ARCHIVE_TAG "\\st_src.dat";
    const std::string scratch = scratchFolder();
    const std::string fullLauncher = scratch + "\\mako-forge-setup-full.exe";
    const long long buildStarted = now();
    makeLargeLauncher(LAUNCH_BENCH_SETUP_EXE, fullLauncher, payloadFolder);
    std::printf("install benchmark (%s): %d runs each, silent installation with %s\\msiexec.exe\n", bench::kBuild, runs,
                systemFolder().c_str());
    std::printf("full launcher: package and cabinets of %llu bytes from %s, made in %.1f s\n",
                static_cast<unsigned long long>(archiveTotal()), payloadFolder.c_str(), secondsBetween(buildStarted, now()));

    std::vector<double> overlapped, serial, ratio, launcherWrite, launcherInstaller, serialWrite, serialInstaller;
    std::vector<std::string> commands;
    {
        SavedRuntimeSettings settings;
        InstallerLocation location(systemFolder());
        for (const char* name : {"MAKO_TEST_RECORD", "MAKO_TEST_ARCHIVES", "MAKO_TEST_MSIEXEC_RESULT"})
            setEnvironment(name, std::string());
        std::printf("%3s %12s %12s   %s\n", "run", "launcher s", "serial s",
                    "(launcher: archives written, installer ran; serial: payload written, installer ran)");
        for (int run = 1; run <= runs; ++run) {
            double launcherSeconds = 0, serialSeconds = 0;
            // Where the time goes: writing and the installer's own run, for both ways.
            double writeL = 0, installL = 0, writeS = 0, installS = 0;
            // Alternated, so that neither way always meets the caches the other left; the first run
            // starts with the launcher, whose commands the serial way replays.
            for (const bool launcherTurn : run % 2 ? std::vector<bool>{true, false} : std::vector<bool>{false, true}) {
                removeKit();
                const std::string folder = scratch + "\\install-" + (launcherTurn ? "launcher-" : "serial-") +
                                           std::to_string(run);
                CreateDirectoryA(folder.c_str(), nullptr);
                DeleteFileA((folder + "\\musched.log").c_str());
                setEnvironment("TEMP", folder);
                setEnvironment("TMP", folder);
                setEnvironment("MAKO_LOOM_RECORD", folder + "\\loom-calls.txt");
                if (launcherTurn) {
                    const Sample sample = runLauncher(fullLauncher, folder, false);
                    if (sample.exitCode != 0)
                        fail("the launcher ended with " + std::to_string(static_cast<long>(sample.exitCode)) +
                             "; its log:\n" + readFile(folder + "\\musched.log"));
                    checkInstalled("the launcher", expectedSource);
                    commands = executedCommands(readFile(folder + "\\musched.log"));
                    if (commands.empty()) fail("no installer command in the launcher's log");
                    launcherSeconds = sample.whole;
                    writeL = sample.eventSet - sample.workerStart;
                    const std::string log = readFile(folder + "\\musched.log");
                    installL = loggedAt(log, "ExitCode = ") - loggedAt(log, "Executor.exec(): ");
                } else {
                    // By hand: a program writes the payload (a process of its own, as any extractor
                    // is), then the installer runs on it.
                    const long long started = now();
                    const DWORD written =
                        runAndWait(ownPath(), "\"" + ownPath() + "\" --write-payload \"" + fullLauncher + "\"");
                    if (written != 0) fail("writing the payload the plain way failed");
                    writeS = secondsBetween(started, now());
                    for (const std::string& command : commands) {
                        const long long commandStarted = now();
                        const DWORD result = runAndWait(programOf(command), command);
                        if (&command == &commands.front()) installS = secondsBetween(commandStarted, now());
                        if (&command == &commands.front() && result != 0)
                            fail("the serial installer run gave " + std::to_string(result));
                    }
                    if (commands.size() > 1) DeleteFileA(programOf(commands[1]).c_str());  // as the launcher does
                    serialSeconds = secondsBetween(started, now());
                    checkInstalled("the serial installation", expectedSource);
                }
            }
            overlapped.push_back(launcherSeconds);
            serial.push_back(serialSeconds);
            ratio.push_back(launcherSeconds / serialSeconds);
            launcherWrite.push_back(writeL);
            launcherInstaller.push_back(installL);
            serialWrite.push_back(writeS);
            serialInstaller.push_back(installS);
            std::printf("%3d %12.3f %12.3f   launcher %.3f s, %.3f s; serial %.3f s, %.3f s\n", run, launcherSeconds,
                        serialSeconds, writeL, installL, writeS, installS);
            std::fflush(stdout);
        }
        removeKit();
    }
    DeleteFileA(fullLauncher.c_str());
    std::printf("\ncommands replayed by the serial way:\n");
    for (const std::string& command : commands) std::printf("  %s\n", command.c_str());
    std::printf("\nmedians of %d runs: launcher %.3f s, serial %.3f s, ratio %.3f (goal <= 0.9)\n", runs,
                median(overlapped), median(serial), median(ratio));
    std::printf("  archives written: launcher (beside the installer) %.3f s, serial (payload alone) %.3f s\n",
                median(launcherWrite), median(serialWrite));
    std::printf("  installer run: launcher (overlapped) %.3f s, serial %.3f s\n", median(launcherInstaller),
                median(serialInstaller));
    bench::ratioRow("P3", "silent installation, real msiexec, full payload: launcher / write payload then msiexec /i", runs,
        bench::format("%.2f s / %.2f s", median(overlapped), median(serial)), median(ratio), 0.9);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--write-payload") == 0) return writePayload(argv[2]);
    const bool install = argc > 1 && std::strcmp(argv[1], "--install") == 0;
    const int first = install ? 2 : 1;
    const int runs = argc > first ? std::max(1, std::atoi(argv[first])) : 3;
    return install ? benchInstall(runs) : benchLaunch(runs);
}
