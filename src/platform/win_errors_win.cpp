#include "platform/win_errors.h"

#include "platform/handles.h"
#include "platform/logger.h"
#include "platform/tstrings.h"

namespace {

// Fixed attribution of the lines written here; the log readers know them by these names.
constexpr char kErrorUnit[] = "WinErrorHandling";
constexpr uint32_t kModuleLookupLine = 26;
constexpr char kHandleUnit[] = "WinAutoHandle";
constexpr uint32_t kCloseHandleLine = 19;
constexpr uint32_t kCloseRegHandleLine = 40;

constexpr DWORD kFromSystem = FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS |
                              FORMAT_MESSAGE_FROM_SYSTEM;  // 0x1300

}  // namespace

std::string pointerText(const void* p) {
    return tstrings::format("%0*llX", static_cast<int>(sizeof(void*) * 2),
                            static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(p)));
}

std::string systemErrorText(DWORD code, HMODULE module) {
    const DWORD flags = kFromSystem | (module ? FORMAT_MESSAGE_FROM_HMODULE : 0);
    wchar_t* raw = nullptr;
    const DWORD length = FormatMessageW(flags, module, code, 0, reinterpret_cast<wchar_t*>(&raw), 0, nullptr);
    unique_hlocal owner(raw);
    if (length == 0 || raw == nullptr) return "No description available";

    return tstrings::toUtf8(tidySystemText(std::wstring(raw, length)));
}

std::wstring tidySystemText(std::wstring text) {
    for (wchar_t& c : text) {
        if (c < L' ') c = L' ';
    }
    size_t end = text.size();
    while (end > 1 && (text[end - 1] <= L' ' || text[end - 1] == L'.')) --end;
    text.resize(end);
    return text;
}

std::string describeSystemError(DWORD code, HMODULE module) {
    return "system error " + tstrings::toString(static_cast<uint32_t>(code)) + " (" + systemErrorText(code, module) +
           ")";
}

std::string describeComError(HRESULT hr) {
    const DWORD bits = static_cast<DWORD>(hr);
    const DWORD code = (bits & 0x1FFF0000u) == 0x00070000u ? (bits & 0xFFFFu) : bits;
    return tstrings::format("COM error 0x%08X (%s)", static_cast<unsigned>(bits), systemErrorText(code).c_str());
}

std::string makeMessage(const char* description, const void* failedFunction, const std::string& message,
                        DWORD code) {
    std::string detail = description ? description : "Some error";
    detail += " [" + tstrings::toString(static_cast<uint32_t>(code)) + "]";
    if (failedFunction) {
        HMODULE module = nullptr;
        if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                                static_cast<LPCSTR>(failedFunction), &module)) {
            module = nullptr;
            if (logEnabled(WARNING)) {
                globalLogger.log(WARNING, kErrorUnit, kModuleLookupLine, "makeMessage",
                                 "GetModuleHandleEx() failed for " + pointerText(failedFunction) + " address.");
            }
        }
        detail += "(" + describeSystemError(code, module) + ")";
    }
    return joinErrorMessages(message, detail);
}

SysError::SysError(const std::string& message, DWORD code, const char* description, const void* failedFunction)
    : std::runtime_error(makeMessage(description, failedFunction, message, code)) {}

void closeHANDLE(HANDLE h) {
    if (h == nullptr || h == INVALID_HANDLE_VALUE) return;
    if (!CloseHandle(h) && logEnabled(ERROR)) {
        const DWORD code = GetLastError();
        globalLogger.log(ERROR, kHandleUnit, kCloseHandleLine, "closeHANDLE",
                         tstrings::format("%s failed with %s", ("CloseHandle(" + pointerText(h) + ")").c_str(),
                                          describeSystemError(code).c_str()));
    }
}

void closeRegHandle(HKEY h) {
    if (h == nullptr) return;
    const LONG status = RegCloseKey(h);
    if (status != ERROR_SUCCESS && logEnabled(ERROR)) {
        globalLogger.log(ERROR, kHandleUnit, kCloseRegHandleLine, "closeRegHandle",
                         tstrings::format("%s failed with %s", ("RegCloseKey(" + pointerText(h) + ")").c_str(),
                                          describeSystemError(static_cast<DWORD>(status)).c_str()));
    }
}
