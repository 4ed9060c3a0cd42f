// The settings library's file system on Windows: wide-character calls on the UTF-16 form of
// every name.
#include <shlobj.h>

#include <algorithm>
#include <atomic>

#include "platform/handles.h"
#include "platform/win32.h"
#include "platform/win_errors.h"
#include "settings/exception.h"
#include "settings/file_name.h"
#include "settings/file_system.h"
#include "settings/protected_file.h"
#include "settings/utf8.h"

namespace settings_impl {

namespace {

// A name beside target that no other writer picks: process id and a per-process counter.
std::wstring stagedNameBeside(const std::wstring& target) {
    static std::atomic<unsigned> counter{0};
    const size_t slash = target.find_last_of(L"/\\");
    const std::wstring dir = slash == std::wstring::npos ? std::wstring() : target.substr(0, slash + 1);
    wchar_t name[40];
    swprintf(name, 40, L"~mst%lx_%x.tmp", GetCurrentProcessId(), counter.fetch_add(1));
    std::wstring path = dir + name;
    if (path.size() >= MAX_PATH) {
        // The staged name may outgrow the classic limit that the target itself respects.
        for (wchar_t& c : path) {
            if (c == L'/') c = L'\\';
        }
        path = L"\\\\?\\" + path;
    }
    return path;
}

class Win32StagedFile : public IStagedFile {
public:
    Win32StagedFile(std::wstring target, std::wstring path, HANDLE handle)
        : target(std::move(target)), path(std::move(path)), file(handle) {}
    ~Win32StagedFile() override { discard(); }

    size_t write(const char* data, size_t size) override {
        size_t total = 0;
        while (total < size && file) {
            const DWORD chunk = static_cast<DWORD>(std::min<size_t>(size - total, 1u << 30));
            DWORD written = 0;
            if (!WriteFile(file.get(), data + total, chunk, &written, nullptr) || written == 0) break;
            total += written;
        }
        return total;
    }

    bool commit(bool replaceExisting) override {
        if (!file || !FlushFileBuffers(file.get())) return false;
        file.reset();
        BOOL moved;
        if (replaceExisting) {
            moved = replaceKeepingOld();
        } else {
            moved = MoveFileExW(path.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH);
        }
        if (moved) committed = true;
        return moved != FALSE;
    }

private:
    // ReplaceFileW keeps the replaced file's own access rules. Without a backup name, one of its
    // failures (ERROR_UNABLE_TO_MOVE_REPLACEMENT) leaves the replaced file deleted, so the old
    // content is parked under a backup name and put back whenever the target is missing afterwards.
    // The backup stays on disk only if even that fails: a stray file is better than lost settings.
    bool replaceKeepingOld() {
        const std::wstring backup = path + L".old";
        const BOOL replaced = ReplaceFileW(target.c_str(), path.c_str(), backup.c_str(),
                                           REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr);
        const auto exists = [](const std::wstring& name) {
            return GetFileAttributesW(name.c_str()) != INVALID_FILE_ATTRIBUTES;
        };
        if (!replaced && !exists(target) && exists(backup)) {
            MoveFileExW(backup.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH);
        }
        if (exists(target)) DeleteFileW(backup.c_str());
        return replaced != FALSE;
    }

    void discard() {
        if (committed) return;
        if (file) {
            // Through our own handle, which holds DELETE access whatever the file's access rules.
            FILE_DISPOSITION_INFO disposition{TRUE};
            if (SetFileInformationByHandle(file.get(), FileDispositionInfo, &disposition, sizeof disposition)) {
                file.reset();
                return;
            }
            file.reset();
        }
        DeleteFileW(path.c_str());
    }

    std::wstring target;
    std::wstring path;
    unique_handle file;
    bool committed = false;
};

class Win32FileSystem : public IFileSystem {
public:
    std::string currentDirectory() override {
        wchar_t buffer[MAX_PATH];
        const DWORD n = GetCurrentDirectoryW(MAX_PATH, buffer);
        if (n == 0 || n >= MAX_PATH) {
            throw settings::Exception(settings::status::Internal,
                                      "GetCurrentDirectoryW failed with system error " + std::to_string(GetLastError()));
        }
        return utf16ToUtf8(std::wstring(buffer, n));
    }

    std::string commonAppDataFolder() override {
        wchar_t buffer[MAX_PATH];
        const HRESULT hr = SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA, nullptr, SHGFP_TYPE_CURRENT, buffer);
        if (FAILED(hr)) {
            throw settings::Exception(settings::status::Internal,
                                      "SHGetFolderPathW failed with " + describeComError(hr));
        }
        return utf16ToUtf8(buffer);
    }

    bool exists(const FileName& name) override {
        return GetFileAttributesW(name.wideText().c_str()) != INVALID_FILE_ATTRIBUTES;
    }

    DirectoryResult createDirectory(const FileName& name) override {
        if (CreateDirectoryW(name.wideText().c_str(), nullptr)) return DirectoryResult::Created;
        return GetLastError() == ERROR_ALREADY_EXISTS ? DirectoryResult::AlreadyExists : DirectoryResult::Failed;
    }

    bool canOpenForReading(const FileName& name) override { return static_cast<bool>(openForReading(name)); }

    ReadResult readFile(const FileName& name, size_t limit) override {
        ReadResult result;
        unique_handle file = openForReading(name);
        if (!file) return result;
        result.outcome = ReadResult::Ok;
        // Room for the file as it is now and one byte more, so that its end is seen in one pass; a
        // file that grows meanwhile gets more room, up to the limit.
        LARGE_INTEGER size{};
        const bool sized = GetFileSizeEx(file.get(), &size);
        result.bytes.resize(sized ? static_cast<size_t>(std::min<ULONGLONG>(size.QuadPart + 1, limit)) : limit);
        size_t total = 0;
        while (total < limit) {
            if (total == result.bytes.size()) result.bytes.resize(std::min(limit, 2 * total));
            DWORD got = 0;
            const DWORD chunk = static_cast<DWORD>(std::min<size_t>(result.bytes.size() - total, 1u << 30));
            if (!ReadFile(file.get(), &result.bytes[total], chunk, &got, nullptr)) {
                result.outcome = ReadResult::ReadError;
                result.bytes.clear();
                return result;
            }
            if (got == 0) break;
            total += got;
        }
        result.bytes.resize(total);
        return result;
    }

    std::unique_ptr<IStagedFile> stageFile(const FileName& target, bool protectedAccess) override {
        const std::wstring path = stagedNameBeside(target.wideText());
        HANDLE handle = protectedAccess ? createProtectedHandle(path)
                                        : CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, 0, nullptr,
                                                      CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle == INVALID_HANDLE_VALUE) return nullptr;
        return std::make_unique<Win32StagedFile>(target.wideText(), path, handle);
    }

private:
    static unique_handle openForReading(const FileName& name) {
        return unique_handle(CreateFileW(name.wideText().c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    }
};

}  // namespace

IFileSystem& defaultFileSystem() {
    static Win32FileSystem fs;
    return fs;
}

}  // namespace settings_impl
