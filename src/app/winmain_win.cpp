// The launcher's entry point. Everything it does lives in libraries that the tests link.
#include "platform/logger.h"
#include "platform/win32.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    logit("Forge wrapper: started");
    constexpr int kNotInstalled = 1;  // the install sequence is not wired in yet
    if (logEnabled(INFO)) globalLogger.log(INFO, "wrapper", 367, "WinMain", "Wrapper exit code: 1");
    return kNotInstalled;
}
