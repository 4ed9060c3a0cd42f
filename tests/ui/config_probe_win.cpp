// Test program: the install configuration as the launcher loads it, with the launcher's string
// table, on this process's command line; the loading status is the exit code.
#include "config/install_config.h"
#include "platform/win32.h"

int main() {
    InstallConfigData config(GetModuleHandle(nullptr));
    return config.LoadConfigSettings(GetCommandLineW());
}
