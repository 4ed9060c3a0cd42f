#pragma once
// System-call failures: the exception that carries a Windows error code and the system's own text,
// and the composers of the "system error N (text)" / "COM error 0x... (text)" descriptions that the
// platform layer logs as "<what was called> failed with <description>".
#include <cstdint>
#include <stdexcept>
#include <string>

#include "platform/errors.h"
#include "platform/win32.h"

// The composed message holds the caller's text, the description, the code and the system's text
// for the code (looked up in the module that holds the failed function, then in the system).
class SysError : public std::runtime_error {
public:
    SysError(const std::string& message, DWORD code, const char* description, const void* failedFunction);
    template <class R, class... A>
    SysError(const std::string& message, DWORD code, const char* description, R(WINAPI* failedFunction)(A...))
        : SysError(message, code, description, reinterpret_cast<const void*>(failedFunction)) {}
};

// joinErrorMessages(message, "<description> [<code>](<describeSystemError(code, module)>)"), the
// module being the one that contains failedFunction; without an address the parenthesis is left out.
// A null description reads "Some error". Never throws for a missing module or text.
std::string makeMessage(const char* description, const void* failedFunction, const std::string& message,
                        DWORD code);

// "system error <code> (<systemErrorText>)"
std::string describeSystemError(DWORD code, HMODULE module = nullptr);
// The system's text for code in UTF-8, on one line, without trailing blanks and full stops;
// "No description available" when the system has none. A module adds its message table to the search.
std::string systemErrorText(DWORD code, HMODULE module = nullptr);
// The clean-up of a system text: control characters become blanks, then trailing blanks and full
// stops go (the first character always stays).
std::wstring tidySystemText(std::wstring text);
// "COM error 0x<hr, 8 upper-case digits> (<text>)", the text being that of the Windows code inside a
// facility-Win32 result, else of hr itself.
std::string describeComError(HRESULT hr);

// A pointer as the log shows it: upper-case hex digits, no prefix, the width of a pointer.
std::string pointerText(const void* p);

// Close a handle or key; a failure costs one ERROR line and is never raised. closeHANDLE ignores
// null and INVALID_HANDLE_VALUE, closeRegHandle ignores null.
void closeHANDLE(HANDLE h);
void closeRegHandle(HKEY h);
