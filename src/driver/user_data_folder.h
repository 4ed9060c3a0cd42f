#pragma once
// The per-user data folder as the driver needs it: the work folders, the install-in-progress marker
// and the update agent's folder all hang off it, so a path is never built without it.
#include "platform/win32.h"

// Fills out with userDataFolder (see platform/all_utils.h). When the folder cannot be found, logs
// an ERROR naming it and returns false with out empty: a path composed from an empty folder would
// lie under the current drive's root or the current folder, where any user can create it first.
// The install sequence then ends with exit_code::UserDataFolderMissing before writing anything.
bool RequireUserDataFolder(char (&out)[MAX_PATH]);

// Where RequireUserDataFolder asks; tests replace it to play a system without the folder.
// Returns the source that was in place.
using UserDataFolderSource = void (*)(char (&out)[MAX_PATH]);
UserDataFolderSource SetUserDataFolderSource(UserDataFolderSource source);
