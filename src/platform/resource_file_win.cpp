#include "platform/resource_file.h"

#include <algorithm>

#include "platform/handles.h"
#include "platform/logger.h"
#include "platform/win_errors.h"

namespace {
constexpr DWORD kChunkSize = 8192;
}

bool writeResourceToFile(HMODULE module, LPCSTR name, LPCSTR type, const std::string& path) {
    return writeResourceToFile(module, name, type, path, &WriteFile);
}

bool writeResourceToFile(HMODULE module, LPCSTR name, LPCSTR type, const std::string& path,
                         ResourceChunkWriter write) {
    HRSRC found = FindResourceA(module, name, type);
    if (found == nullptr) return false;
    const DWORD size = SizeofResource(module, found);
    HGLOBAL loaded = LoadResource(module, found);
    const auto* data = static_cast<const BYTE*>(loaded ? LockResource(loaded) : nullptr);
    if (data == nullptr && size != 0) {
        // Found but not mappable: nothing to copy from, so no file is made.
        if (logEnabled(ERROR)) {
            globalLogger.log(ERROR, __FILE__, __LINE__, "writeResourceToFile",
                             "LoadResource failed with " + describeSystemError(GetLastError()));
        }
        return false;
    }

    unique_handle file(
        CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) fatalError("Installer : Wrapper.CreateFile ");

    DWORD done = 0;
    while (done < size) {
        DWORD written = 0;
        const DWORD chunk = std::min(size - done, kChunkSize);
        if (!write(file.get(), data + done, chunk, &written, nullptr)) fatalError("Installer : Wrapper.WriteFile (In small chunks) ");
        if (written == 0 || written > chunk) {
            // A write that reports success without progress would loop for ever.
            SetLastError(ERROR_WRITE_FAULT);
            fatalError("Installer : Wrapper.WriteFile (In small chunks) ");
        }
        done += written;
    }

    // Closed here rather than by the owner: a failed close must end the run, not just be logged.
    if (!CloseHandle(file.release())) fatalError("Installer : Wrapper.CloseHandle ");
    return true;
}
