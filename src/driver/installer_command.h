#pragma once
// Composition of the command lines the launcher runs: the Windows Installer command for the
// development-kit package and the public-runtime installer's command. Platform-free.
//
// Each command lives in a buffer of kCommandCapacity bytes. A command that would not fit (its
// length plus the terminator exceeds the capacity) is refused as a whole, never cut: a cut command
// would run with a wrong folder or without its last properties.
#include <cstddef>
#include <cstdint>
#include <string>

constexpr size_t kCommandCapacity = 2048;

// Result of a composition. On failure command is empty and failure names the buffer that would
// have overflowed and the length it would have needed.
struct ComposedCommand {
    bool ok = false;
    std::string command;
    // Development-kit command only: installerArguments after the silent additions, which decide
    // later whether the public runtime is installed.
    std::string installerArguments;
    std::string failedBuffer;  // "installerArguments", "command", "finalCommand", ...
    size_t failedLength = 0;   // characters, without the terminator

    // "<buffer> would be <n> characters long; at most <capacity - 1> fit"
    std::string failure() const;
};

struct ForgeCommandInputs {
    bool silent = false;
    std::string installerArguments;  // MSI_CMDLINE followed by one space, or empty
    bool hasAddLocalKey = false;     // the configuration holds the key ADDLOCAL
    uint16_t transformLanguage = 1033;
    std::string msiexecPath;
    std::string msiPath;
    std::string installerLogPath;  // empty: no installer log
    std::string installDir;        // empty: no INSTALLDIR
    bool noStartMenu = false;
};

// The development-kit command: "<msiexec>" /i "<package>" [TRANSFORMS=:<langid>] <arguments>
// WRAPPER=1 [/l "<log>"] [ INSTALLDIR=...] [ NOSTARTMENU=1]. Refused when any buffer on the way
// would overflow.
ComposedCommand composeForgeCommand(const ForgeCommandInputs& in);

// Appends " INSTALLDIR=\"<folder>\" " to command, or " INSTALLDIR=<folder> " when folder is quoted
// already (first character a double quote, last double quote at the end). A null folder appends
// nothing. Returns false, leaving command unchanged, when the result would not fit in capacity
// bytes including the terminator.
bool AppendInstallDir(const char* folder, std::string& command, size_t capacity = kCommandCapacity);

// "<forgeHome>\loom.exe", refused (buffer "runtimeInstaller") when it would not fit.
ComposedCommand composeRuntimeInstallerPath(const std::string& forgeHome);

struct RuntimeCommandInputs {
    std::string runtimeInstaller;
    bool noStartMenu = false;
    std::string publicRuntimeDir;  // empty: no INSTALLDIR
    bool suppressRuntimeReboot = false;
};

// "<installer>" /s LAUNCHEDFROMFORGE=1 [NOSTARTMENU=1][ INSTALLDIR=... ][ REBOOT=ReallySuppress];
// refused (buffer "runtimeCommand") when it would not fit.
ComposedCommand composeRuntimeCommand(const RuntimeCommandInputs& in);

// Whether the feature selection in installerArguments includes the public runtime: it names
// PublicloomFeature or ADDLOCAL=ALL, or selects no features at all (case-sensitive substrings).
bool selectsPublicRuntime(const std::string& installerArguments);

#if defined(_WIN32)
// ---- Win32: finding the programs, the reinstall request, the public-runtime run ----

// Fills out with the Windows Installer program's full path, "...\msiexec.exe": on XP-family servers
// the system folder, otherwise the folder in HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Installer,
// value "InstallerLocation". False when the key or value cannot be read or the path does not fit in
// capacity bytes; out is then not a usable path. The install sequence then ends with -3.
bool GetWIPath(char* out, size_t capacity);

// Reads HKLM\Software\Velmora, value "InstallStatus" (string types only), in the process's default
// registry view. True only for a non-empty text that fits in capacity bytes; anything else, a
// missing key or value included, is false (no reinstall request).
bool GetInstallStatus(char* out, size_t capacity);

// Writes "InstallStatus", or with null deletes it and then deletes the Velmora key if that left it
// with no values and no subkeys. False when the keys cannot be opened or a value cannot be
// written; the results of the deletions are not reported.
bool SetInstallStatus(const char* valueOrNull);

// Reads "MakoHome" of HKLM\SOFTWARE\Velmora\Mako Development Kit\<version> into out. On failure logs
// which step failed and returns false; out is then not a usable path.
bool FindForgeHome(char (&out)[kCommandCapacity]);

enum class PublicRuntimeOutcome {
    NoForgeHome,  // the kit's folder could not be read; nothing run, nothing deleted
    Refused,      // a path or command would not fit (logged at ERROR); nothing run
    NotPresent,   // no loom.exe in the kit's folder
    Ran,          // loom.exe ran (its result is not looked at)
};

// The silent public-runtime run after the development kit: runs <kit folder>\loom.exe hidden with
// /s LAUNCHEDFROMFORGE=1 and the optional properties, waits for it, then deletes loom.exe whether or
// not it ran (a deletion failure is ignored). The install sequence ignores the outcome; tests use it.
PublicRuntimeOutcome RunPublicRuntime(bool noStartMenu, const std::string& publicRuntimeDir,
                                      bool suppressRuntimeReboot);
#endif
