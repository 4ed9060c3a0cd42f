#pragma once
// The install-in-progress marker: <user data folder>\Halden\Mako\MAKO_INSTALL_FLAG, held open without
// sharing and with delete-on-close by the running launcher, so that a second launcher cannot delete
// it and the system removes it when the holder ends, however it ends.
#include "driver/payload_paths.h"
#include "platform/handles.h"

// Fills out with the marker's path and creates Halden and Mako under the user data folder (an
// existing folder is fine). Returns false when the user data folder cannot be found (nothing
// created), the path does not fit in 260 bytes or a folder cannot be created; the last logs
// "Fail to create directory <path>, ErrorCode is <code>". out is then not a usable path.
bool GetInstallFlagPath(char (&out)[payload::kPathCapacity]);

// Creates the marker (CREATE_NEW, no sharing, delete on close); it is there while the returned
// handle is held. Returns no handle when the path cannot be had or the file cannot be created, for
// example because another launcher created it in between; each failure is logged.
unique_handle SetInstallFlag();

// What is found under the marker's name.
enum class InstallFlagState {
    Free,             // nothing, or a stale marker that is now deleted
    HeldByAnother,    // a launcher holds it open (a sharing or lock violation): another installation runs
    CannotBeRemoved,  // something that nobody holds but that cannot be deleted: a folder, a protected file
};

// Deletes a stale marker at flagPath and says what was there. A name that cannot be removed is
// logged at WARNING.
InstallFlagState RemoveStaleInstallFlag(const char* flagPath);
