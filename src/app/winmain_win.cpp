// The launcher's entry point. Everything it does lives in the driver library, which tests link.
#include "driver/install_sequence.h"

int WINAPI WinMain(HINSTANCE moduleInstance, HINSTANCE, LPSTR, int) { return LauncherMain(moduleInstance); }
