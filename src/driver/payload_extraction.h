#pragma once
// Writing the embedded payload to the per-user work folders: the development-kit package by the
// install sequence, the four archives by a worker thread that then sets the named event
// payload::kCabExtractEventName.
#include <cstddef>
#include <cstdint>
#include <optional>

#include "driver/payload_paths.h"
#include "platform/handles.h"
#include "platform/resource_file.h"
#include "platform/win32.h"

// Creates <user data folder>\Halden\, Halden\Mako\ and the work folder, each checked with
// IsLinkedFolder right after: true (an ERROR names the folder) when one is a link or junction, and
// the run must then end before writing anything there. A path that does not fit is left to PrepareMsiPath.
bool PayloadFoldersLinked(bool nativeX64);

// Fills out with <user data folder>\Halden\Mako\forge<version>[_x64]\forge<version>.msi and creates
// the user data folder, Halden, Mako and the work folder on the way (results ignored: a folder
// that cannot be created shows up when the file is written).
// Returns false, leaving out empty and creating nothing, when the user data folder cannot be found
// or a path would not fit in 260 bytes; both are logged at ERROR. The install sequence then ends as
// for a missing package resource (exit code 1); it has checked the user data folder before.
bool PrepareMsiPath(char (&out)[payload::kPathCapacity], bool nativeX64);

// Fills out with <work folder>\<baseName>.cab, creating Halden, Mako and the work folder (not the
// user data folder itself). Returns false, out empty, nothing created, when the user data folder
// cannot be found or a path would not fit (logged at ERROR); ExtractCabs then skips that archive.
bool PrepareCabPath(char (&out)[payload::kPathCapacity], const char* baseName, bool nativeX64);

// The digest module carries for its payload resource id; none when it carries no digest table or
// no line for id, which writeResourceToFile takes for damage.
std::optional<uint32_t> PayloadDigest(HMODULE module, int resourceId);

// What the archive worker is given and what it leaves for the sequence, which reads failure only
// after the worker thread has ended.
struct ArchiveWork {
    HMODULE module = nullptr;                   // whose resources are read
    std::optional<PayloadWriteError> failure;  // the archive write that failed; the rest were skipped
    std::optional<PayloadDamagedError> damaged;  // the first damaged archive (emptied); the rest were written
};

// Worker-thread procedure; parameter is an ArchiveWork that outlives the thread. Writes the archives
// in payload::kArchives order (a missing resource or a refused path skips that archive), then sets
// the named event. A file that cannot be written is logged, kept in failure and ends the writing;
// the event is set all the same, so that the package stops waiting and fails on what it lacks.
// A damaged archive is logged, emptied (the installer cannot read it), kept in damaged, and the
// writing goes on. Always returns 1.
DWORD WINAPI ExtractCabs(LPVOID parameter);

// The archive worker as the sequence owns it: ExtractCabs on a thread of its own from construction
// (on the calling thread when no thread can be started, so that the archives and the event still
// come); destruction waits for the thread.
class ArchiveWorker {
public:
    explicit ArchiveWorker(HMODULE module);
    ~ArchiveWorker();
    ArchiveWorker(const ArchiveWorker&) = delete;
    ArchiveWorker& operator=(const ArchiveWorker&) = delete;

    // Waits for the worker to end; the archive write that failed, if any.
    const std::optional<PayloadWriteError>& finish();
    // After finish: the first damaged archive, if any.
    const std::optional<PayloadDamagedError>& damaged() const { return work.damaged; }

private:
    ArchiveWork work;
    unique_handle thread;
};
