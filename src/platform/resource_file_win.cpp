#include "platform/resource_file.h"

#include <algorithm>
#include <utility>

#include "platform/crc32c.h"
#include "platform/file_links.h"
#include "platform/logger.h"
#include "platform/message_box.h"
#include "platform/resource.h"
#include "platform/tstrings.h"
#include "platform/win_errors.h"

namespace {

constexpr DWORD kChunkSize = 8192;
constexpr const char* kCreateFile = "Installer : Wrapper.CreateFile ";
constexpr const char* kWriteFile = "Installer : Wrapper.WriteFile (In small chunks) ";
constexpr const char* kCloseHandle = "Installer : Wrapper.CloseHandle ";

// A file held by another program for a moment is waited out: 100 ms, doubling up to 2 s a step,
// 10 s in all.
constexpr DWORD kFirstRetryMs = 100;
constexpr DWORD kLongestRetryMs = 2000;
constexpr DWORD kRetryBudgetMs = 10000;

// The system's text for code (FormatMessageA keeps its line end).
std::string systemText(DWORD code) {
    unique_hlocal_ptr<char> text;
    FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM, nullptr, code,
                   MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<char*>(text.put()), 0, nullptr);
    return text ? text.get() : "";
}

std::string boxText(const char* operation, DWORD code) {
    return tstrings::format("%s failed with error %d: %s", operation, static_cast<int>(code), systemText(code).c_str());
}

std::string digestText(std::optional<uint32_t> digest) {
    return digest ? tstrings::format("%08x", static_cast<unsigned>(*digest)) : std::string("none");
}

[[noreturn]] void failed(const char* operation, const std::string& path) {
    throw PayloadWriteError(operation, GetLastError(), path);
}

bool inUseByAnother(DWORD error) { return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION; }

// Opens path through open, trying again while another program holds it.
template <class Open>
HANDLE openWaitingOutOthers(const std::string& path, Open open) {
    DWORD waited = 0;
    for (DWORD step = kFirstRetryMs;; step = std::min(step * 2, kLongestRetryMs)) {
        const HANDLE handle = open();
        if (handle != INVALID_HANDLE_VALUE) return handle;
        const DWORD error = GetLastError();
        if (!inUseByAnother(error) || waited >= kRetryBudgetMs) {
            SetLastError(error);
            return INVALID_HANDLE_VALUE;
        }
        step = std::min(step, kRetryBudgetMs - waited);
        LAUNCHER_LOG(WARNING, "writeResourceToFile",
                     path << " is in use by another program (" << describeSystemError(error) << "); trying again in "
                          << step << " ms");
        Sleep(step);
        waited += step;
    }
}

// Where nothing is, the file is made anew: CREATE_NEW never follows a link, dangling or not. An
// existing name is opened without truncating it, so that a link there can be found on the handle
// before anything is written. Either answer may be a sharing violation, which the caller waits out.
HANDLE openForWriting(const std::string& path, DWORD share) {
    constexpr int kAttempts = 3;  // a name that keeps coming and going between the two opens
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        HANDLE handle =
            CreateFileA(path.c_str(), GENERIC_WRITE, share, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle != INVALID_HANDLE_VALUE || GetLastError() != ERROR_FILE_EXISTS) return handle;
        handle = CreateFileA(path.c_str(), GENERIC_WRITE, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle != INVALID_HANDLE_VALUE || GetLastError() != ERROR_FILE_NOT_FOUND) return handle;
    }
    // Still there for CREATE_NEW yet absent for opening: a link to nothing.
    LAUNCHER_LOG(ERROR, "writeResourceToFile", "File is a link, not written through: " << path);
    SetLastError(ERROR_ACCESS_DENIED);
    return INVALID_HANDLE_VALUE;
}

// Never waited out: a writer that slipped in after ours must make the holding fail.
HANDLE openForReading(const std::string& path, DWORD share) {
    return CreateFileA(path.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace

PayloadWriteError::PayloadWriteError(const char* operation, DWORD code, std::string path)
    : std::runtime_error(boxText(operation ? operation : "", code)), errorCode(code), file(std::move(path)) {}

PayloadDamagedError::PayloadDamagedError(std::string path)
    : std::runtime_error([&] {
          std::string text = systemText(ERROR_INSTALL_PACKAGE_INVALID);
          text.erase(text.find_last_not_of("\r\n") + 1);
          return text + "\r\n\r\n" + path;
      }()),
      file(std::move(path)) {}

void showPayloadDamagedBox(const PayloadDamagedError& error) {
    showMessageBox(tstrings::multiByteToUtf8(error.what()), "Error", MB_OK);
}

void logPayloadWriteError(const PayloadWriteError& error) {
    std::string text = error.what();
    text.erase(text.find_last_not_of("\r\n") + 1);
    LAUNCHER_LOG(ERROR, "fatalError", text << " File: " << error.path());
}

void showPayloadWriteErrorBox(const PayloadWriteError& error) {
    showMessageBox(tstrings::multiByteToUtf8(error.what()), "Error", MB_OK);
}

bool writeResourceToFile(HMODULE module, LPCSTR name, LPCSTR type, const std::string& path,
                         std::optional<uint32_t> expected, unique_handle* held) {
    return writeResourceToFile(module, name, type, path, &WriteFile, expected, held);
}

bool writeResourceToFile(HMODULE module, LPCSTR name, LPCSTR type, const std::string& path,
                         ResourceChunkWriter write, std::optional<uint32_t> expected, unique_handle* held) {
    size_t size = 0;
    const BYTE* data = nullptr;
    try {
        data = static_cast<const BYTE*>(Resource(name, type, module).getPtr(&size));
    } catch (const std::exception&) {
        return false;  // missing or not loadable: nothing to copy from, so no file is made
    }
    if (data == nullptr && size != 0) return false;

    // Readers are let in while it is written only so that the holder below can open it.
    unique_handle file(openWaitingOutOthers(path, [&] { return openForWriting(path, held ? FILE_SHARE_READ : 0); }));
    if (!file) failed(kCreateFile, path);
    // The elevated launcher must not overwrite whatever a link planted in the user's folder names.
    if (reachedThroughLink(file.get(), path)) {
        file.reset();
        LAUNCHER_LOG(ERROR, "writeResourceToFile", "File is a link, not written through: " << path);
        SetLastError(ERROR_ACCESS_DENIED);
        failed(kCreateFile, path);
    }
    if (!SetEndOfFile(file.get())) failed(kCreateFile, path);  // an earlier, longer file's tail

    // Each chunk is digested while the mapped bytes are at hand, so the payload is read only once.
    size_t done = 0;
    uint32_t found = 0;
    while (done < size) {
        DWORD written = 0;
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(size - done, kChunkSize));
        if (!write(file.get(), data + done, chunk, &written, nullptr)) failed(kWriteFile, path);
        if (written == 0 || written > chunk) {
            // A write that reports success without progress would loop for ever.
            SetLastError(ERROR_WRITE_FAULT);
            failed(kWriteFile, path);
        }
        found = crc32c::extend(found, data + done, written);
        done += written;
    }
    // Damaged bytes never reach a reader: the file is emptied before anyone but us may open it.
    const bool damaged = !expected || *expected != found;
    if (damaged) {
        LAUNCHER_LOG(ERROR, "writeResourceToFile",
                     path << " is damaged: expected CRC-32C " << digestText(expected) << ", found " << digestText(found));
        LARGE_INTEGER start{};
        if (!SetFilePointerEx(file.get(), start, nullptr, FILE_BEGIN) || !SetEndOfFile(file.get())) failed(kWriteFile, path);
    }

    // The installer's read handles must not meet a writer, so the writer gives way to a read-only
    // holder; a bridge that denies deletion is open meanwhile, so the file is never unheld, and a
    // writer that slipped in between makes the holder's open fail.
    unique_handle bridge;
    if (held) {
        bridge.reset(openForReading(path, FILE_SHARE_READ | FILE_SHARE_WRITE));
        if (!bridge) failed(kCreateFile, path);
    }
    // Closed here rather than by the owner: a failed close must end the run, not just be logged.
    if (!CloseHandle(file.release())) failed(kCloseHandle, path);
    if (held) {
        held->reset(openForReading(path, FILE_SHARE_READ));
        if (!*held) failed(kCreateFile, path);
    }
    if (damaged) throw PayloadDamagedError(path);
    return true;
}
