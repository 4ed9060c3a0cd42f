#pragma once
// The public runtime that the development kit's package leaves in the kit's folder.
#include <string>

enum class PublicRuntimeOutcome {
    NoForgeHome,  // the kit's folder could not be read; nothing run, nothing deleted
    Refused,      // a path or command would not fit, or others than administrators may change loom.exe or
                  // its folder (logged at ERROR); nothing run
    NotPresent,   // no loom.exe in the kit's folder
    Ran,          // loom.exe ran (its result is not looked at)
};

// The silent public-runtime run after the development kit: reads "MakoHome" of this version's kit
// key, runs <kit folder>\loom.exe hidden with /s LAUNCHEDFROMFORGE=1 and the optional properties
// (only when no one but administrators and the system may change it or its folder),
// waits for it, then deletes loom.exe whether or not it ran (a deletion failure is ignored). The
// install sequence ignores the outcome; tests use it.
PublicRuntimeOutcome RunPublicRuntime(bool noStartMenu, const std::string& publicRuntimeDir,
                                      bool suppressRuntimeReboot);
