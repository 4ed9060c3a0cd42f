// The launcher's entry point. Everything it does lives in the driver library, which tests link.
#include "driver/install_sequence.h"
#include "platform/dll.h"
#include "platform/logger.h"

namespace {

// Ahead of every other static constructor (the Windows version, the log): nothing may load a
// library by name before the search leaves the launcher's folder out.
struct DllSearchRestricted {
    DllSearchRestricted() { restrictDllSearchToSystemFolder(); }
};
const DllSearchRestricted dllSearchRestricted LAUNCHER_INIT_PRIORITY(LAUNCHER_INIT_DLL_SEARCH);

}  // namespace

int WINAPI WinMain(HINSTANCE moduleInstance, HINSTANCE, LPSTR, int) { return LauncherMain(moduleInstance); }
