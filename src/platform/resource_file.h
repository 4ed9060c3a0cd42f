#pragma once
// Copying an embedded payload resource into a file of its own.
#include <string>

#include "platform/win32.h"

// Writes resource (name, type) of module to path, replacing any file there, in chunks of at most
// 8192 bytes taken straight from the mapped resource. Returns false, touching no file, when the
// resource does not exist (or cannot be mapped). A file that cannot be created, written or closed
// ends the process through fatalError; a partly written file is then left behind.
bool writeResourceToFile(HMODULE module, LPCSTR name, LPCSTR type, const std::string& path);

// The same with the chunk writer supplied, so that tests can watch the chunks.
using ResourceChunkWriter = BOOL(WINAPI*)(HANDLE file, LPCVOID data, DWORD size, LPDWORD written,
                                          LPOVERLAPPED overlapped);
bool writeResourceToFile(HMODULE module, LPCSTR name, LPCSTR type, const std::string& path,
                         ResourceChunkWriter write);
