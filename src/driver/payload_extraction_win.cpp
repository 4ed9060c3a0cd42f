#include "driver/payload_extraction.h"

#include <cstring>
#include <utility>

#include "driver/payload_digests.h"
#include "driver/user_data_folder.h"
#include "platform/errors.h"
#include "platform/handles.h"
#include "platform/logger.h"
#include "platform/resource.h"
#include "platform/resource_file.h"
#include "platform/sysinfo.h"
#include "platform/win_errors.h"

namespace {

// Copies a path that composeMsiPaths or composeCabPaths has already checked to fit.
void copyPath(const std::string& path, char (&out)[payload::kPathCapacity]) {
    std::memcpy(out, path.c_str(), path.size() + 1);
}

}  // namespace

std::optional<uint32_t> PayloadDigest(HMODULE module, int resourceId) {
    size_t size = 0;
    const char* table = nullptr;
    try {
        table = static_cast<const char*>(
            Resource(MAKEINTRESOURCEA(payload::kDigestResourceId), payload::kDigestResourceType, module).getPtr(&size));
    } catch (const std::exception&) {
        return std::nullopt;
    }
    return table ? payload::digestIn(std::string_view(table, size), resourceId) : std::nullopt;
}

bool PayloadFoldersLinked(bool nativeX64) {
    char userData[MAX_PATH] = {};
    if (!RequireUserDataFolder(userData)) return false;
    const payload::PayloadPaths paths = payload::composeMsiPaths(userData, nativeX64);
    if (!paths.ok) return false;
    for (const std::string* folder : {&paths.haldenFolder, &paths.makoFolder, &paths.workFolder}) {
        CreateDirectoryA(folder->c_str(), nullptr);
        if (IsLinkedFolder(*folder)) return true;
    }
    return false;
}

bool PrepareMsiPath(char (&out)[payload::kPathCapacity], bool nativeX64) {
    char userData[MAX_PATH] = {};
    out[0] = '\0';
    if (!RequireUserDataFolder(userData)) return false;
    const payload::PayloadPaths paths = payload::composeMsiPaths(userData, nativeX64);
    if (!paths.ok) {
        LAUNCHER_LOG(ERROR, "GetMsiPath", "package " << paths.error);
        return false;
    }
    CreateDirectoryA(userData, nullptr);
    CreateDirectoryA(paths.haldenFolder.c_str(), nullptr);
    CreateDirectoryA(paths.makoFolder.c_str(), nullptr);
    CreateDirectoryA(paths.workFolder.c_str(), nullptr);
    copyPath(paths.file, out);
    return true;
}

bool PrepareCabPath(char (&out)[payload::kPathCapacity], const char* baseName, bool nativeX64) {
    char userData[MAX_PATH] = {};
    out[0] = '\0';
    if (!RequireUserDataFolder(userData)) return false;
    const payload::PayloadPaths paths = payload::composeCabPaths(userData, baseName ? baseName : "", nativeX64);
    if (!paths.ok) {
        LAUNCHER_LOG(ERROR, "GetCabPath", "archive " << paths.error);
        return false;
    }
    CreateDirectoryA(paths.haldenFolder.c_str(), nullptr);
    CreateDirectoryA(paths.makoFolder.c_str(), nullptr);
    CreateDirectoryA(paths.workFolder.c_str(), nullptr);
    copyPath(paths.file, out);
    return true;
}

DWORD WINAPI ExtractCabs(LPVOID parameter) {
    ArchiveWork& work = *static_cast<ArchiveWork*>(parameter);
    // Nothing may leave a thread procedure; whatever happens, the waiting package gets its event.
    try {
        const bool nativeX64 = !is32BitProcess();
        for (const payload::ArchiveResource& archive : payload::kArchives) {
            const std::string baseName = payload::archiveBaseName(archive.prefix);
            char path[payload::kPathCapacity] = {};
            if (!PrepareCabPath(path, baseName.c_str(), nativeX64)) continue;
            // A missing archive resource is skipped; the package will report what it lacks. The
            // worker cannot know when the installer is done with an archive, so each stays held
            // until the process ends.
            unique_handle held;
            try {
                if (writeResourceToFile(work.module, MAKEINTRESOURCEA(archive.id), archive.type, path,
                                        PayloadDigest(work.module, archive.id), &held)) {
                    holdUntilProcessEnds(std::move(held));
                }
            } catch (const PayloadDamagedError& e) {
                // Emptied and held: nobody can put other bytes under its name before the installer looks.
                if (held) holdUntilProcessEnds(std::move(held));
                if (!work.damaged) work.damaged = e;
            }
        }
    } catch (const PayloadWriteError& e) {
        logPayloadWriteError(e);
        work.failure = e;
    } catch (const std::exception& e) {
        reportException(e, LAUNCHER_HERE("ExtractCabs"));
    } catch (...) {
        reportUnknownException(LAUNCHER_HERE("ExtractCabs"));
    }
    // The sequence created the event already; this opens the same one.
    unique_handle event(CreateEventA(nullptr, TRUE, FALSE, payload::kCabExtractEventName));
    if (!event) {
        LAUNCHER_LOG(ERROR, "ExtractCabs", "CreateEvent(" << payload::kCabExtractEventName << ") failed with "
                                                          << describeSystemError(GetLastError()));
    } else if (SetEvent(event.get())) {
        LAUNCHER_LOG(INFO, "ExtractCabs", "SetEvent(" << payload::kCabExtractEventName << ") succeeded");
    } else {
        LAUNCHER_LOG(ERROR, "ExtractCabs", "SetEvent(" << payload::kCabExtractEventName << ") failed with "
                                                       << describeSystemError(GetLastError()));
    }
    return 1;
}

ArchiveWorker::ArchiveWorker(HMODULE module) {
    work.module = module;
    thread.reset(CreateThread(nullptr, 0, ExtractCabs, &work, 0, nullptr));
    if (!thread) {
        LAUNCHER_LOG(WARNING, "ArchiveWorker", "CreateThread failed with " << describeSystemError(GetLastError())
                                                                           << "; the archives are written first");
        ExtractCabs(&work);
    }
}

ArchiveWorker::~ArchiveWorker() { finish(); }

const std::optional<PayloadWriteError>& ArchiveWorker::finish() {
    if (thread) WaitForSingleObject(thread.get(), INFINITE);
    return work.failure;
}
