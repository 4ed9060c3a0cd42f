#include "platform/file_links.h"

#include "platform/handles.h"
#include "platform/tstrings.h"

namespace {

using GetFinalPathNameByHandleFn = DWORD(WINAPI*)(HANDLE, LPWSTR, DWORD, DWORD);

// Looked up in the kernel32 every process has mapped, not through the binding helpers: the log
// sink calls this, and the helpers' system-folder lookup logs its own failures.
GetFinalPathNameByHandleFn finalPathFunction() {
    static const GetFinalPathNameByHandleFn function = reinterpret_cast<GetFinalPathNameByHandleFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "GetFinalPathNameByHandleW")));
    return function;
}

// The path the system resolved handle to, links followed, in the process code page; empty on failure.
std::string finalPath(GetFinalPathNameByHandleFn function, HANDLE handle) {
    std::wstring buffer(MAX_PATH, L'\0');
    for (int attempt = 0; attempt < 2; ++attempt) {
        const DWORD length = function(handle, &buffer[0], static_cast<DWORD>(buffer.size()), FILE_NAME_NORMALIZED);
        if (length == 0) return {};
        if (length < buffer.size()) {
            buffer.resize(length);
            return tstrings::toMultiByte(buffer);
        }
        buffer.assign(length, L'\0');  // too small: length is the size it needs
    }
    return {};
}

std::string parentOf(const std::string& path) {
    const std::string::size_type separator = path.find_last_of("\\/");
    if (separator == std::string::npos) return ".";
    // A folder at a drive's root keeps its separator: "C:" alone is that drive's current folder.
    const bool root = separator == 0 || path[separator - 1] == ':';
    return path.substr(0, root ? separator + 1 : separator);
}

}  // namespace

bool reachedThroughLink(HANDLE file, const std::string& path) {
    BY_HANDLE_FILE_INFORMATION information{};
    if (!GetFileInformationByHandle(file, &information)) return true;  // unknown: not trusted
    if (information.nNumberOfLinks > 1) return true;
    const GetFinalPathNameByHandleFn function = finalPathFunction();
    if (function == nullptr) return false;

    const unique_handle folder(CreateFileA(parentOf(path).c_str(), 0,
                                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!folder) return true;
    const std::string folderPath = finalPath(function, folder.get());
    const std::string filePath = finalPath(function, file);
    // A file system that names no handle (some network redirectors) leaves the link count; one that
    // names the folder but not the file is not trusted.
    if (folderPath.empty() && filePath.empty()) return false;
    if (folderPath.empty() || filePath.empty()) return true;
    return !tstrings::equalsIgnoreCase(filePath, joinPath(folderPath, basename(path)));
}
