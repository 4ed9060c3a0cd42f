#pragma once
// Whether an opened file is the file its name names, for writers that must not be led elsewhere.
#include <string>

#include "platform/win32.h"

// True when file, opened by path, is not path's own file: a symbolic link or other reparse point at
// path led to another file (the handle's final path is not path's folder with path's name), or the
// file has further names (hard links), so that writing it would change a file named elsewhere. Links
// among the folders above path are resolved on both sides: checking those is the folder checks' job.
// Before Vista, which has no file links, and on file systems that name no handle, only the
// hard-link count is checked.
bool reachedThroughLink(HANDLE file, const std::string& path);
