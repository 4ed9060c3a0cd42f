#pragma once
// What the install sequence asks about earlier installations.
#include "platform/win32.h"

#include <string>

// Before this version installs: a development kit or runtime of the same version in the registry view
// of nativeX64 (64-bit view when true) with the same or an older build is removed through the Windows
// Installer; a newer kit build refuses the run (with a message box unless silent); a newer or static
// runtime stays. 1: go on with the installation; 0: stop (refused, or a removal failed; logged).
// What was removed stays removed.
int UninstallLoomOrForgeIfSameVersionExists(bool silent, bool nativeX64);

// Whether the kit (isForge) or runtime key of this version in the given view holds a BuildNumber at
// most this build's. False, logged, when the key cannot be opened or the value read.
bool IsSameOrOlderBuildInstalled(bool isForge, bool nativeX64);
// Removes the kit of this version by its product code of the given bitness. False, logged, when the
// code is not registered in that view or the removal failed.
bool UninstallExistingForge(bool silent, bool nativeX64);
// 0 when the runtime of arch (32 or 64) was removed, is static or is not registered; otherwise the
// removal's exit code (1 for a static runtime found by the inner check).
int UninstallLoomIfSameOrOlderBuild(bool silent, int32_t arch);
// Whether the runtime of this version in the 64-bit (use64) or 32-bit view is a static copy. False,
// logged, when no runtime of this version is found there.
bool IsVersionStatic(bool use64);
// Removes the runtime of this version by its product code for arch. 0 when removed or not registered
// in the view (logged); otherwise the removal's exit code.
int CheckGUIDAndUninstall(int32_t arch, bool use64View, bool silent);
// Whether code has an Uninstall entry in the 64-bit (use64View) or 32-bit view. On false the
// thread's last error is the failed open's status.
bool IsProductRegistered(const std::string& code, bool use64View);
// msiexec /x <code> with /qn (silent) or /qb!, visible, waited for; the installer's exit code (a
// non-zero one is logged).
int UninstallProduct(const std::string& code, bool silent);

