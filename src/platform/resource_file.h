#pragma once
// Copying an embedded payload resource into a file of its own.
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>

#include "platform/handles.h"
#include "platform/win32.h"

// A payload file that could not be created, written or closed. The text is what the "Error" box
// shows: "<operation> failed with error <code>: <system text>"; the file is kept beside it.
class PayloadWriteError : public std::runtime_error {
public:
    PayloadWriteError(const char* operation, DWORD code, std::string path);
    DWORD code() const noexcept { return errorCode; }
    const std::string& path() const noexcept { return file; }

private:
    DWORD errorCode;
    std::string file;
};

// A payload file whose bytes do not have the digest the launcher carries for them (or for which it
// carries none): the launcher was damaged on its way. The text is what the "Error" box shows: the
// system's text for ERROR_INSTALL_PACKAGE_INVALID and the file.
class PayloadDamagedError : public std::runtime_error {
public:
    explicit PayloadDamagedError(std::string path);
    const std::string& path() const noexcept { return file; }

private:
    std::string file;
};

// Writes resource (name, type) of module to path, replacing any file there, in chunks of at most
// 8192 bytes taken straight from the mapped resource. Returns false, touching no file, when the
// resource does not exist (or cannot be mapped). A file that another program holds (a sharing or
// lock violation, as a virus scanner causes for a moment) is tried again for up to 10 seconds in
// growing steps, each logged at WARNING with the file. A name that is a link (a symbolic link or
// other reparse point, or a file with further hard links) is never written through: an ERROR line
// names it and PayloadWriteError carries ERROR_ACCESS_DENIED. A file that then still cannot be created,
// or cannot be written or closed, raises PayloadWriteError; a partly written file is left behind.
// With held, the written file is then kept open in *held for reading only, sharing nothing but
// reading: others may read it, nobody may write, rename or delete it while *held stays open, so what
// the installer reads is what was written. A file that cannot be held so raises the error too.
// The CRC-32C of the bytes is taken as they are written and compared with expected before the file
// is handed on: a mismatch (or no expected digest) is logged at ERROR with both digests, the file is
// emptied while still open for writing, held as above when asked (so that nobody puts other bytes
// there), and PayloadDamagedError is raised.
bool writeResourceToFile(HMODULE module, LPCSTR name, LPCSTR type, const std::string& path,
                         std::optional<uint32_t> expected, unique_handle* held = nullptr);

// The same with the chunk writer supplied, so that tests can watch the chunks.
using ResourceChunkWriter = BOOL(WINAPI*)(HANDLE file, LPCVOID data, DWORD size, LPDWORD written,
                                          LPOVERLAPPED overlapped);
bool writeResourceToFile(HMODULE module, LPCSTR name, LPCSTR type, const std::string& path,
                         ResourceChunkWriter write, std::optional<uint32_t> expected, unique_handle* held = nullptr);

// The failure as the run's end reports it: an ERROR line with the box's text and the file (for
// whoever reads the log of a run that nobody watched), and the "Error" box, which waits for the user.
void logPayloadWriteError(const PayloadWriteError& error);
void showPayloadWriteErrorBox(const PayloadWriteError& error);
void showPayloadDamagedBox(const PayloadDamagedError& error);
