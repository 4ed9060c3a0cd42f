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

// value in double quotes, written so that a program splitting its command line by the usual
// rules (CommandLineToArgvW, the C runtime) reads back exactly value: the backslashes that end it
// are doubled, else C:\Kits\ would escape the closing quote and swallow the arguments after it.
// value holds no quote (the settings validator refuses one, in folders and the installer log path).
std::string quotedArgument(const std::string& value);

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
