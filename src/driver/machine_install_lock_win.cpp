#include "driver/machine_install_lock.h"

#include "platform/logger.h"
#include "platform/tstrings.h"
#include "platform/win_errors.h"

MachineInstallLock::MachineInstallLock() {
    mutex.reset(CreateMutexW(nullptr, FALSE, install_lock::kMachineLockName));
    if (!mutex) {
        const DWORD error = GetLastError();
        // Made by an account whose rules keep this one out: that account installs.
        current = error == ERROR_ACCESS_DENIED ? State::HeldByAnother : State::Unavailable;
        LAUNCHER_LOG(WARNING, "MachineInstallLock", "CreateMutex(" << tstrings::toUtf8(install_lock::kMachineLockName)
                                                                     << ") failed with " << describeSystemError(error));
        return;
    }
    switch (WaitForSingleObject(mutex.get(), 0)) {
    case WAIT_OBJECT_0:
        current = State::Held;
        break;
    case WAIT_ABANDONED:
        current = State::Held;
        LAUNCHER_LOG(WARNING, "MachineInstallLock", "An earlier launcher ended without releasing the machine-wide "
                                                    "installation lock; taken over");
        break;
    case WAIT_TIMEOUT:
        current = State::HeldByAnother;
        break;
    default:
        LAUNCHER_LOG(WARNING, "MachineInstallLock", "WaitForSingleObject on the machine-wide installation lock failed with "
                                                        << describeSystemError(GetLastError()));
        current = State::Unavailable;
    }
}

MachineInstallLock::~MachineInstallLock() {
    if (current == State::Held) ReleaseMutex(mutex.get());
}
