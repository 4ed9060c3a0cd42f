#pragma once
// What the install sequence asks about earlier installations.
#include "platform/win32.h"

// 1: go on with the installation; 0: stop (an installed copy of this version refused the run or
// could not be removed; the reason is logged and, unless silent, shown).
int UninstallLoomOrForgeIfSameVersionExists(bool silent);
