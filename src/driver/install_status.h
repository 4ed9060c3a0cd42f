#pragma once
// The reinstall request that the development kit's package leaves for the launcher:
// HKLM\Software\Velmora, value "InstallStatus", in the process's default registry view.
#include <cstddef>

// True only for a non-empty text (string types only) that fits in capacity bytes; anything else, a
// missing key or value included, is false (no reinstall request).
bool GetInstallStatus(char* out, size_t capacity);

// Writes "InstallStatus", or with null deletes it and then deletes the Velmora key if that left it
// with no values and no subkeys. False when the key does not exist or a value cannot be written;
// the results of the deletions are not reported.
bool SetInstallStatus(const char* valueOrNull);
