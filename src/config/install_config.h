#pragma once
// The launcher's install configuration: built-in defaults, the machine-wide runtime settings file,
// an install configuration file named on the command line, and the command line itself, loaded
// into three stores (working, export, backup), checked, reported and exported.
#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "config/config_host.h"
#include "config/key_catalogue.h"
#include "config/settings_context.h"
#include "config/settings_messages.h"

class InstallConfigData {
public:
    // Builds the catalogue, validator, key mapper and the three stores, and applies the defaults.
    // Raises settings::Exception with the failing status of the settings library.
    explicit InstallConfigData(const void* moduleHandle, IConfigHost& host = systemConfigHost());
    InstallConfigData(const InstallConfigData&) = delete;
    InstallConfigData& operator=(const InstallConfigData&) = delete;

    // Loads every source with its precedence and checks the values; 0 on success. A failure has
    // been reported (log always, message box unless silent) before it returns.
    int32_t LoadConfigSettings(const std::wstring& commandLine);

    int32_t ImportArgsConfigSettings(SettingsContext& context, const char* const* arguments, int count, bool silent);
    // The runtime settings file lies where standard users can create files, so only the keys the
    // launcher keeps there (exported) are taken from it; any other key is logged once as ignored,
    // unchecked. asFound takes the file whole, unknown keys too: the backup a restore writes back.
    int32_t ImportRuntimeConfigSettings(SettingsContext& context, bool silent, bool asFound = false);
    int32_t ImportInstallConfigSettings(SettingsContext& context, const std::string& path, bool silent);
    int32_t CheckParams(SettingsContext& context, bool silent);
    int32_t CheckParam(const KeyRecord& row);

    // Writes the persistent settings before the installer runs; non-zero ends the installation.
    int32_t exportSettings();
    // Puts the runtime settings file back byte for byte as it was found, after a failed
    // installation; removes it when there was none.
    int32_t restoreSettings();
    int32_t ExportConfigSettings(SettingsContext& context, bool silent);

    // Reports a settings status with its message; true when the status is 0.
    bool reportSettingsError(int32_t status, const std::string& argument, bool silent, const SettingsContext& context);
    void showInstallError(unsigned messageId, bool silent, const std::string& first, const std::string& second);
    void logConfigTable(const SettingsContext& context, const std::string& title);

    // Accessors over the working store; a failing read raises settings::Exception with its status.
    bool containsKey(const std::string& key) const;
    bool isEnabled(const std::string& key) const;
    std::string getStringSetting(const std::string& key) const;
    // The value in the process code page, the form that command lines, file names and the registry
    // take. False, value empty, when the code page cannot represent it: that has been reported (log
    // always, a box unless silent) and the run must end before anything is written.
    bool getStringSettingAnsi(const std::string& key, std::string& value, bool silent);
    int32_t getLanguage() const;
    bool isSilent() const;
    const std::string& installerLogPath() const { return logPath; }  // UTF-8
    // The installer log path in the process code page, refused and reported as above (key "/l").
    bool installerLogPathAnsi(std::string& path, bool silent);

    SettingsContext& working() { return workingConfig; }
    SettingsContext& exported() { return exportConfig; }
    SettingsContext& backup() { return backupConfig; }

private:
    void InitConfig();
    int32_t importSources(SettingsContext& context, const std::string& path,
                          const std::vector<std::string>& arguments, bool silent);
    void normalizeExport();
    // Removes from file (the runtime settings file at path, loaded) every key that is not kept there.
    int32_t dropKeysNotKept(SettingsContext& file, const std::string& path);
    // Writes store as the runtime settings file unless it equals current (the file already holds
    // it); an empty store removes the file instead.
    int32_t writeRuntimeFileFrom(SettingsContext& store, const SettingsContext& current, bool silent,
                                 const char* unchangedLine);
    void deleteSettingsFile();
    // Whether the run is silent by any source: the arguments (also in another spelling of /s or
    // -download) or INSTALL_SILENT kept in the runtime settings file.
    bool silenceAskedFor(const std::vector<std::string>& arguments);
    bool toAnsiOrRefuse(const std::string& key, const std::string& utf8, std::string& ansi, bool silent);
    // A message (UTF-8) as the log writes it: in the process code page, characters it lacks replaced.
    std::string forLog(const std::string& utf8);

    const KeyCatalogue& catalogue;
    IConfigHost& host;
    settings::settings_api api;
    BuiltValidator validator;
    BuiltKeyMapper keyMapper;
    // The runtime settings file's: the kept keys' rules, any other key taken unchecked.
    BuiltValidator runtimeFileValidator;
    SettingsContext workingConfig;
    SettingsContext exportConfig;
    SettingsContext backupConfig;
    bool defaultsApplied = false;
    const void* moduleHandle;
    std::string logPath;
    std::set<std::string> ignoredRuntimeKeys;  // already logged as ignored
    bool runtimeFileFound = false;             // the backup holds the runtime settings file's bytes
    // While the first pass over the arguments runs, its box (title, text) waits here.
    bool deferBoxes = false;
    std::optional<std::pair<std::string, std::string>> deferredBox;
};
