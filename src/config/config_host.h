#pragma once
// What the install configuration needs from the system, behind one narrow interface so that the
// configuration logic itself stays platform-free: the Win32 implementation serves the launcher,
// tests supply their own.
#include <cstddef>
#include <string>
#include <vector>

class IConfigHost {
public:
    virtual ~IConfigHost() = default;
    // Splits the full UTF-16 command line into UTF-8 arguments, the program first. False when the
    // system cannot split it (logged by the host).
    virtual bool splitCommandLine(const std::wstring& commandLine, std::vector<std::string>& arguments) = 0;
    // A string-table entry of the module in UTF-8, cut to capacity - 1 characters as a buffer of that
    // capacity would hold it; empty when the entry is missing.
    virtual std::string loadMessage(const void* module, unsigned id, size_t capacity) = 0;
    // An error box (title and text in UTF-8) with no owner window; returns when the user closed it.
    virtual void showErrorBox(const std::string& title, const std::string& text) = 0;
    // Deletes a file (UTF-8 name); failures are of no interest to the caller.
    virtual void deleteFile(const std::string& path) = 0;
    // UTF-8 to the process code page into out; false when a character has no exact form there
    // (out then holds the system's default character in its place).
    virtual bool utf8ToAnsi(const std::string& text, std::string& out) = 0;
    // Who besides administrators and the system may change the file (UTF-8 name) or replace it in
    // its folder; empty when no one may, or where the system keeps no access rules.
    virtual std::string othersWhoMayChange(const std::string& path) = 0;
};

// The launcher's own host (Win32). Defined in the Windows build only.
IConfigHost& systemConfigHost();
