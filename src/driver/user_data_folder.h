#pragma once
// The per-user data folder as the driver needs it: the work folders, the install-in-progress marker
// and the update agent's folder all hang off it, so a path is never built without it.
#include <string>

#include "platform/win32.h"

// Fills out with userDataFolder (see platform/file_system.h). When the folder cannot be found, logs
// an ERROR naming it and returns false with out empty: a path composed from an empty folder would
// lie under the current drive's root or the current folder, where any user can create it first.
// The install sequence then ends with exit_code::UserDataFolderMissing before writing anything.
bool RequireUserDataFolder(char (&out)[MAX_PATH]);

// Where RequireUserDataFolder asks; tests replace it to play a system without the folder.
// Returns the source that was in place.
using UserDataFolderSource = void (*)(char (&out)[MAX_PATH]);
UserDataFolderSource SetUserDataFolderSource(UserDataFolderSource source);

// Whether folder, one the launcher writes into under the user data folder, is a link or junction
// (a reparse point): anyone who can write the user data folder could lead the elevated launcher's
// writes anywhere through one. A link is logged as an ERROR naming it and answered true; the caller
// then ends with exit_code::LinkedFolder before writing there. A real folder is held open until the
// process ends, so that nobody can rename or remove it and put a link in its place; a folder that
// does not exist or cannot be opened answers false (the writes that follow fail on their own).
bool IsLinkedFolder(const std::string& folder);
