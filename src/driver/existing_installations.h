#pragma once
// What the install sequence asks about earlier installations and the update agent.
#include "platform/win32.h"

// 1: go on with the installation; 0: stop (an installed copy of this version refused the run or
// could not be removed; the reason is logged and, unless silent, shown).
int UninstallLoomOrForgeIfSameVersionExists(bool silent);

// Whether the runtime of this exact version is registered (its registry key exists in the
// launcher's own view).
bool IsLoomRegistered();

// Writes and installs the update agent; the result is logged by the caller and never changes the
// exit code.
int ExtractAndInstallAU(HINSTANCE moduleInstance, bool autoUpdateEnabled);
