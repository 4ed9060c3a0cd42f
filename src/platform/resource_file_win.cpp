#include "platform/resource_file.h"

#include <algorithm>

#include "platform/resource.h"
#include "platform/win_errors.h"

namespace {

constexpr DWORD kChunkSize = 8192;
constexpr const char* kCreateFile = "Installer : Wrapper.CreateFile ";

HANDLE openForReading(const std::string& path, DWORD share) {
    return CreateFileA(path.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace

bool writeResourceToFile(HMODULE module, LPCSTR name, LPCSTR type, const std::string& path, unique_handle* held) {
    return writeResourceToFile(module, name, type, path, &WriteFile, held);
}

bool writeResourceToFile(HMODULE module, LPCSTR name, LPCSTR type, const std::string& path,
                         ResourceChunkWriter write, unique_handle* held) {
    size_t size = 0;
    const BYTE* data = nullptr;
    try {
        data = static_cast<const BYTE*>(Resource(name, type, module).getPtr(&size));
    } catch (const std::exception&) {
        return false;  // missing or not loadable: nothing to copy from, so no file is made
    }
    if (data == nullptr && size != 0) return false;

    // Readers are let in while it is written only so that the holder below can open it.
    unique_handle file(CreateFileA(path.c_str(), GENERIC_WRITE, held ? FILE_SHARE_READ : 0, nullptr, CREATE_ALWAYS,
                                   FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) fatalError(kCreateFile);

    size_t done = 0;
    while (done < size) {
        DWORD written = 0;
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(size - done, kChunkSize));
        if (!write(file.get(), data + done, chunk, &written, nullptr)) fatalError("Installer : Wrapper.WriteFile (In small chunks) ");
        if (written == 0 || written > chunk) {
            // A write that reports success without progress would loop for ever.
            SetLastError(ERROR_WRITE_FAULT);
            fatalError("Installer : Wrapper.WriteFile (In small chunks) ");
        }
        done += written;
    }

    // The installer's read handles must not meet a writer, so the writer gives way to a read-only
    // holder; a bridge that denies deletion is open meanwhile, so the file is never unheld, and a
    // writer that slipped in between makes the holder's open fail.
    unique_handle bridge;
    if (held) {
        bridge.reset(openForReading(path, FILE_SHARE_READ | FILE_SHARE_WRITE));
        if (!bridge) fatalError(kCreateFile);
    }
    // Closed here rather than by the owner: a failed close must end the run, not just be logged.
    if (!CloseHandle(file.release())) fatalError("Installer : Wrapper.CloseHandle ");
    if (held) {
        held->reset(openForReading(path, FILE_SHARE_READ));
        if (!*held) fatalError(kCreateFile);
    }
    return true;
}
