#pragma once
// One installation per machine: a named mutex in the Global namespace, taken without waiting by the
// install sequence and held until it returns, whatever account or session the launcher runs in. The
// per-user marker (install_flag.h) stays beside it for launchers of the family that know only that.
// Creating a Global object takes a privilege that standard users lack, so none of them can take
// the name first.
#include "platform/handles.h"

namespace install_lock {
constexpr const wchar_t* kMachineLockName = L"Global\\HaldenMakoInstallInProgress";
}

class MachineInstallLock {
public:
    enum class State {
        Held,            // this launcher holds it
        HeldByAnother,   // another launcher installs: the run must end as for a held marker
        Unavailable,     // the mutex could not be had for another reason (logged): the marker alone guards
    };

    // Takes the lock if it is free. A lock whose holder ended without releasing it is taken over
    // (logged at WARNING).
    MachineInstallLock();
    ~MachineInstallLock();
    MachineInstallLock(const MachineInstallLock&) = delete;
    MachineInstallLock& operator=(const MachineInstallLock&) = delete;

    State state() const noexcept { return current; }

private:
    unique_handle mutex;
    State current = State::Unavailable;
};
