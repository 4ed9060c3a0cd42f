#pragma once
// The launcher's whole run, from the command line to the exit code.
#include <cstdint>
#include <string>

#include "platform/win32.h"

// Runs the install sequence once on the calling (main) thread and returns the process exit code
// (see exit_codes.h). Exceptions that escape the sequence are not caught here.
int RunInstallSequence(HINSTANCE moduleInstance);
// The same with a given full command line in place of the process's own.
int RunInstallSequence(HINSTANCE moduleInstance, const std::wstring& commandLine);

// The entry point's body: RunInstallSequence with every escaping exception written to the log and
// turned into exit_code::UnexpectedException, so a deployment script never sees a crash.
int LauncherMain(HINSTANCE moduleInstance);
