#include "platform/sysinfo.h"

#include <vector>

#include "platform/errors.h"
#include "platform/tstrings.h"
#include "platform/win32.h"

namespace SysInfo {

std::string getProcessModulePath() {
    std::vector<char> buffer(MAX_PATH);
    DWORD length = GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    while (length >= buffer.size()) {
        buffer.resize(buffer.size() * 2);
        length = GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    }
    if (length == 0) {
        throw MdsError<std::runtime_error>(std::runtime_error("GetModuleFileName(NULL) failed"),
                                           SourceLocation{__FILE__, "SysInfo::getProcessModulePath", 184});
    }
    return std::string(buffer.data(), length);
}

std::string getTempDir() {
    std::vector<char> buffer(MAX_PATH);
    DWORD length = GetTempPathA(static_cast<DWORD>(buffer.size()), buffer.data());
    if (length > buffer.size()) {
        buffer.resize(length);
        length = GetTempPathA(static_cast<DWORD>(buffer.size()), buffer.data());
    }
    if (length == 0 || length > buffer.size()) return std::string();
    return removeTrailingSeparators(std::string(buffer.data()));
}

}  // namespace SysInfo
