#pragma once
// Copying an embedded payload resource into a file of its own.
#include <string>

#include "platform/handles.h"
#include "platform/win32.h"

// Writes resource (name, type) of module to path, replacing any file there, in chunks of at most
// 8192 bytes taken straight from the mapped resource. Returns false, touching no file, when the
// resource does not exist (or cannot be mapped). A file that cannot be created, written or closed
// ends the process through fatalError; a partly written file is then left behind.
// With held, the written file is then kept open in *held for reading only, sharing nothing but
// reading: others may read it, nobody may write, rename or delete it while *held stays open, so what
// the installer reads is what was written. A file that cannot be held so ends the process too.
bool writeResourceToFile(HMODULE module, LPCSTR name, LPCSTR type, const std::string& path,
                         unique_handle* held = nullptr);

// The same with the chunk writer supplied, so that tests can watch the chunks.
using ResourceChunkWriter = BOOL(WINAPI*)(HANDLE file, LPCVOID data, DWORD size, LPDWORD written,
                                          LPOVERLAPPED overlapped);
bool writeResourceToFile(HMODULE module, LPCSTR name, LPCSTR type, const std::string& path,
                         ResourceChunkWriter write, unique_handle* held = nullptr);
