#include "config/install_config.h"

#include <cstdio>

#include "config/settings_messages.h"
#include "platform/logger.h"
#include "platform/tstrings.h"

namespace {

using settings::FixedValueSpec;

const FixedValueSpec kSwitchValues[] = {
    {"Enable", 1, settings::CaseSensitive},
    {"Disable", 0, settings::CaseSensitive},
    {"1", 1, settings::CaseSensitive},
    {"0", 0, settings::CaseSensitive},
};

const FixedValueSpec kSecurityLevels[] = {
    {"1", 1, 0}, {"2", 2, 0}, {"3", 3, 0}, {"4", 4, 0}, {"L", 1, 0}, {"M", 2, 0}, {"H", 3, 0}, {"VH", 4, 0},
};

void check(int32_t status) {
    if (status != 0) throw settings::Exception(status);
}

settings::settings_api makeApi() {
    settings::settings_api table;
    settings::initSettingsApi(&table);
    return table;
}

// Owner of a validator builder for the time of the construction.
struct ValidatorBuilder {
    const settings::settings_api& api;
    settings::ValidatorBuilderHandle handle;
    explicit ValidatorBuilder(const settings::settings_api& table) : api(table), handle(table.createValidatorBuilder()) {
        if (handle == nullptr) throw settings::Exception(settings::status::Internal);
    }
    ~ValidatorBuilder() { api.destroyValidatorBuilder(handle); }
};

struct KeyMapperBuilder {
    const settings::settings_api& api;
    settings::KeyMapperBuilderHandle handle;
    explicit KeyMapperBuilder(const settings::settings_api& table) : api(table), handle(table.createKeyMapperBuilder()) {
        if (handle == nullptr) throw settings::Exception(settings::status::Internal);
    }
    ~KeyMapperBuilder() { api.destroyKeyMapperBuilder(handle); }
};

void registerRule(const settings::settings_api& api, settings::ValidatorBuilderHandle builder, const KeyRecord& row) {
    const char* key = row.name.c_str();
    switch (row.rule) {
        case ValueRule::SwitchValue:
            check(api.addFixedValues(builder, key, kSwitchValues, 4));
            break;
        case ValueRule::SecurityLevel:
            check(api.addFixedValues(builder, key, kSecurityLevels, 8));
            break;
        case ValueRule::Integer:
            check(api.addIntegerValidator(builder, key));
            break;
        case ValueRule::String:
            check(api.addStringValidator(builder, key));
            break;
        case ValueRule::DirectoryName:
            check(api.addDirnameValidator(builder, key, 0));
            break;
        case ValueRule::None:
            break;  // switches carry no value to validate
    }
}

std::vector<const char*> pointersTo(const std::vector<std::string>& texts) {
    std::vector<const char*> pointers;
    pointers.reserve(texts.size());
    for (const std::string& text : texts) pointers.push_back(text.c_str());
    return pointers;
}

}  // namespace

#define CONFIG_LOG(level, function, streamed) LAUNCHER_LOG(level, "InstallConfigData::" function, streamed)

InstallConfigData::InstallConfigData(const void* module, IConfigHost& configHost)
    : catalogue(keyCatalogue()),
      host(configHost),
      api(makeApi()),
      validator{api, nullptr},
      keyMapper{api, nullptr},
      runtimeFileValidator{api, nullptr},
      workingConfig(api, validator, keyMapper),
      exportConfig(api, validator, keyMapper),
      backupConfig(api, runtimeFileValidator, keyMapper),
      moduleHandle(module) {
    ScopeTracer tracer(globalLogger, __FILE__, __LINE__, "InstallConfigData::InstallConfigData",
                       "InstallConfigData::InstallConfigData");
    {
        ValidatorBuilder builder(api);
        for (const KeyRecord& row : catalogue) registerRule(api, builder.handle, row);
        // The installer log path that follows /l lands quoted on the installer's command, as the
        // folders do, and is held to their rule (see ImportArgsConfigSettings).
        check(api.addDirnameValidator(builder.handle, "/l", 0));
        check(api.setAcceptUnknownKeys(builder.handle, 0));
        check(api.buildValidator(builder.handle, &validator.handle));
    }
    {
        ValidatorBuilder builder(api);
        for (const KeyRecord& row : catalogue) {
            if (row.exported) registerRule(api, builder.handle, row);
        }
        check(api.setAcceptUnknownKeys(builder.handle, 1));
        check(api.buildValidator(builder.handle, &runtimeFileValidator.handle));
    }
    {
        KeyMapperBuilder builder(api);
        for (const KeyRecord& row : catalogue) {
            // Any spelling of a property is stored under the catalogue's; switches keep theirs.
            if (!row.isSwitch()) check(api.addKeyMapping(builder.handle, row.name.c_str(), row.name.c_str(), 0));
        }
        check(api.buildKeyMapper(builder.handle, &keyMapper.handle));
    }
    InitConfig();
}

void InstallConfigData::InitConfig() {
    if (defaultsApplied) return;
    workingConfig.loadString(kDefaultSettingsText);
    defaultsApplied = true;
    CONFIG_LOG(INFO, "InitConfig", "Default config settings are: \n" << kDefaultSettingsText);
}

int32_t InstallConfigData::LoadConfigSettings(const std::wstring& commandLine) {
    std::vector<std::string> arguments;
    if (!commandLine.empty() && !host.splitCommandLine(commandLine, arguments)) return settings::status::Internal;
    const std::vector<const char*> argv = pointersTo(arguments);
    const int argc = static_cast<int>(argv.size());

    CONFIG_LOG(INFO, "LoadConfigSettings", "-->Loading Important args...");
    // Whether this pass may show its box is known only once every source of silence is looked at.
    deferredBox.reset();
    deferBoxes = true;
    int32_t status = ImportArgsConfigSettings(workingConfig, argv.data(), argc, false);
    deferBoxes = false;
    if (status != 0) {
        if (deferredBox && !silenceAskedFor(arguments)) host.showErrorBox(deferredBox->first, deferredBox->second);
        CONFIG_LOG(ERROR, "LoadConfigSettings", "Error occurred while importing important args. Exiting installer.");
        return status;
    }
    logConfigTable(workingConfig, "Important args config (TMP)");

    std::string installConfigPath;
    if (workingConfig.containsKey("INSTALLCFG") && workingConfig.valueOf("INSTALLCFG", installConfigPath)) {
        CONFIG_LOG(INFO, "LoadConfigSettings", "Path to the install configuration file is set to " << installConfigPath);
    }

    CONFIG_LOG(INFO, "LoadConfigSettings", "-->Loading Config...");
    status = importSources(workingConfig, installConfigPath, arguments, isSilent());
    if (status != 0) {
        CONFIG_LOG(ERROR, "LoadConfigSettings",
                   "Error occurred while importing configuration settings. Exiting installer.");
        return status;
    }
    // Still used: the administrator named it on the command line, and every value it gave is in the
    // log; the warning says who else could have written them.
    const std::string writers = installConfigPath.empty() ? std::string() : host.othersWhoMayChange(installConfigPath);
    if (!writers.empty()) {
        CONFIG_LOG(WARNING, "LoadConfigSettings",
                   "Install Configuration file " << forLog(installConfigPath)
                                                 << " may be changed by accounts other than administrators: "
                                                 << forLog(writers) << ". It is used as it is.");
    }

    CONFIG_LOG(INFO, "LoadConfigSettings", "-->Saving backup...");
    status = ImportRuntimeConfigSettings(backupConfig, true, true);
    if (status != 0) {
        CONFIG_LOG(ERROR, "LoadConfigSettings",
                   "Error occurred while importing runtime file for backup.Exiting installer.");
        return status;
    }
    logConfigTable(backupConfig, "Config to backup");

    CONFIG_LOG(INFO, "LoadConfigSettings", "-->Loading export config...");
    status = importSources(exportConfig, installConfigPath, arguments, true);
    if (status != 0) {
        CONFIG_LOG(ERROR, "LoadConfigSettings",
                   "Error occurred while importing configuration files without defaults. Exiting installer.");
        return status;
    }

    CONFIG_LOG(INFO, "LoadConfigSettings", "-->Adding CMDLINE to config...");
    // CMDLINE is only ever logged, so a value the code page cannot hold is kept in its lossy form.
    const std::string cmdline = buildCmdline(catalogue, [this](const std::string& key, std::string& value) {
        std::string utf8;
        if (!exportConfig.valueOf(key, utf8)) return false;
        value = forLog(utf8);
        return true;
    });
    if (!cmdline.empty()) workingConfig.loadString("CMDLINE=" + cmdline);

    CONFIG_LOG(INFO, "LoadConfigSettings", "-->Normalizing Export...");
    normalizeExport();
    logConfigTable(exportConfig, "Config to export");
    logConfigTable(workingConfig, "!!!!Working config!!!!");
    return 0;
}

int32_t InstallConfigData::importSources(SettingsContext& context, const std::string& path,
                                         const std::vector<std::string>& arguments, bool silent) {
    int32_t status = ImportRuntimeConfigSettings(context, silent);
    if (status == 0 && !path.empty()) status = ImportInstallConfigSettings(context, path, silent);
    if (status == 0) {
        const std::vector<const char*> argv = pointersTo(arguments);
        status = ImportArgsConfigSettings(context, argv.data(), static_cast<int>(argv.size()), silent);
    }
    if (status == 0) status = CheckParams(context, silent);
    return status;
}

int32_t InstallConfigData::ImportArgsConfigSettings(SettingsContext& context, const char* const* arguments, int count,
                                                    bool silent) {
    ScopeTracer tracer(globalLogger, __FILE__, __LINE__, "InstallConfigData::ImportArgsConfigSettings",
                       "InstallConfigData::ImportArgsConfigSettings");
    int32_t status = 0;
    std::string installerText, errorList;
    const auto reject = [&](const std::string& argument, int32_t code) {
        status = code;
        errorList += quotedListEntry(argument);
    };

    for (int i = 1; i < count; ++i) {
        const std::string argument = arguments[i] ? arguments[i] : "";
        if (argument.empty()) continue;
        const KeyRecord* row = findKeyRecord(catalogue, argument);
        if (row == nullptr) {
            CONFIG_LOG(ERROR, "ImportArgsConfigSettings", "arg " << argument << " is not supported");
            reject(argument, settings::status::TextMalformed);
            continue;
        }
        if (row->name == "/l") {
            // The installer's log file is the next argument; neither reaches the installer text. An
            // argument of our own (/qn, KEY=value) is no path: the path was left out.
            if (i + 1 < count && arguments[i + 1] != nullptr && findKeyRecord(catalogue, arguments[i + 1]) == nullptr) {
                // A quote in the path would end its quoting on the installer's command and let the
                // rest through as arguments of their own; it must pass as given, untrimmed.
                const std::string path = arguments[++i];
                SettingsContext probe(api, validator, keyMapper);
                std::string checked;
                if (probe.loadString("/l=" + path) == 0 && probe.valueOf("/l", checked) && checked == path) {
                    logPath = path;
                } else {
                    CONFIG_LOG(ERROR, "ImportArgsConfigSettings",
                               "Loading arg " << argument << " " << path << " failed with " << settings::status::TextMalformed);
                    reject(path, settings::status::TextMalformed);
                }
            } else {
                CONFIG_LOG(ERROR, "ImportArgsConfigSettings", "arg " << argument << " is incorrect");
                reject(argument, settings::status::TextMalformed);
            }
            continue;
        }
        if (row->installerPassThrough) installerText += argument + " ";

        int32_t loadStatus = context.loadString(row->prefixMatch ? row->name : argument, true);
        if (loadStatus == 0 && !context.containsKey(row->name)) loadStatus = settings::status::TextMalformed;
        if (loadStatus != 0) {
            CONFIG_LOG(ERROR, "ImportArgsConfigSettings", "Loading arg " << argument << " failed with " << loadStatus);
            reject(argument, loadStatus);
        }
    }

    if (!installerText.empty()) {
        CONFIG_LOG(INFO, "ImportArgsConfigSettings", "...adding MSICMDLINE to settingsConfig");
        context.loadString("MSI_CMDLINE=" + installerText);
    }
    if (status != 0) {
        reportSettingsError(config_status::RejectedArguments, errorList, silent || isSilent(), context);
    }
    return status;
}

int32_t InstallConfigData::ImportRuntimeConfigSettings(SettingsContext& context, bool silent, bool asFound) {
    CONFIG_LOG(INFO, "ImportRuntimeConfigSettings", "...Importing runtime configuration file...");
    // Read whole into a store of its own, then only what may come from there is merged. The backup
    // takes the file itself, so that it keeps the bytes a restore writes back.
    SettingsContext scratch(api, runtimeFileValidator, keyMapper);
    SettingsContext& file = asFound ? context : scratch;
    std::string path;
    int32_t status = file.settingsFilePath(path);
    if (status == 0) {
        CONFIG_LOG(INFO, "ImportRuntimeConfigSettings", "Runtime config file path is " << path);
        status = file.loadFile(path);
    }
    if (status == settings::status::CannotOpenFile) {
        CONFIG_LOG(INFO, "ImportRuntimeConfigSettings",
                   "Runtime configuration file doesn't exist. It will be created later by settings_api.");
        return 0;
    }
    if (status == 0 && !asFound) status = dropKeysNotKept(file, path);
    if (status == 0 && !asFound) status = context.merge(file);
    if (status == 0 && asFound) runtimeFileFound = true;
    if (!reportSettingsError(status, path, silent, file)) {
        CONFIG_LOG(ERROR, "ImportRuntimeConfigSettings", "Runtime configuration file import failed with " << status);
    }
    return status;
}

int32_t InstallConfigData::dropKeysNotKept(SettingsContext& file, const std::string& path) {
    std::vector<std::string> keys;
    int32_t status = file.keys(keys);
    for (const std::string& key : keys) {
        if (status != 0) break;
        const KeyRecord* row = catalogueRow(catalogue, key);
        if (row != nullptr && row->exported) continue;
        if (ignoredRuntimeKeys.insert(key).second) {
            CONFIG_LOG(WARNING, "ImportRuntimeConfigSettings",
                       "Key " << key << " in the runtime configuration file " << path
                              << " is not one the installer keeps there; it is ignored.");
        }
        status = file.removeKey(key);
    }
    return status;
}

int32_t InstallConfigData::ImportInstallConfigSettings(SettingsContext& context, const std::string& path, bool silent) {
    CONFIG_LOG(INFO, "ImportInstallConfigSettings", "...Importing Install Configuration file");
    const int32_t status = context.loadFile(path);
    if (status == settings::status::NullArgument) {
        CONFIG_LOG(WARNING, "ImportInstallConfigSettings",
                   "Install Configuration file path is empty. Ignore it and continue installation.");
        return 0;
    }
    if (!reportSettingsError(status, path, silent, context)) {
        CONFIG_LOG(ERROR, "ImportInstallConfigSettings", "Install Configuration file import failed with " << status);
    }
    return status;
}

int32_t InstallConfigData::CheckParams(SettingsContext& context, bool silent) {
    ScopeTracer tracer(globalLogger, __FILE__, __LINE__, "InstallConfigData::CheckParams",
                       "InstallConfigData::CheckParams");
    for (const KeyRecord& row : catalogue) {
        std::string value;
        if (!context.valueOf(row.name, value)) continue;  // only a key with a value is checked
        const int32_t status = CheckParam(row);
        if (!reportSettingsError(status, quotedListEntry(row.name), silent, context)) {
            CONFIG_LOG(ERROR, "CheckParams", "CheckParams(" << row.name << ") failed with " << status);
            return status;
        }
    }
    return 0;
}

int32_t InstallConfigData::CheckParam(const KeyRecord& row) {
    // No build of this launcher is an enterprise installer: its keys are refused wherever they come from.
    if (!row.enterpriseOnly) return 0;
    CONFIG_LOG(INFO, "IsInstallerEnterprise", "IsInstallerEnterprise is 0");
    CONFIG_LOG(ERROR, "CheckParam", "The param is not supported.");
    return config_status::RejectedArguments;
}

void InstallConfigData::normalizeExport() {
    for (const KeyRecord& row : catalogue) {
        if (!row.exported) exportConfig.removeKey(row.name);  // an absent key (303) is fine
    }
}

void InstallConfigData::deleteSettingsFile() {
    CONFIG_LOG(INFO, "exportSettings", "Removing runtime config file IF EXIST.");
    std::string path;
    if (workingConfig.settingsFilePath(path) == 0) host.deleteFile(path);
}

int32_t InstallConfigData::exportSettings() {
    CONFIG_LOG(INFO, "exportSettings", "...Exporting config settings");
    return writeRuntimeFileFrom(exportConfig, backupConfig, false, "Nothing new to export to runtime.");
}

int32_t InstallConfigData::restoreSettings() {
    CONFIG_LOG(INFO, "restoreSettings", "...Restoring config settings");
    bool same = false;
    if (backupConfig.equals(exportConfig, same) == 0 && same) return 0;  // the export left the file alone
    if (!runtimeFileFound) {  // the launcher made it
        deleteSettingsFile();
        return 0;
    }
    // The administrator's file comes back as it was found: comments, order, line ends and all.
    CONFIG_LOG(INFO, "restoreSettings", "Writing to the runtime config file.");
    std::string path;
    int32_t status = backupConfig.settingsFilePath(path);
    if (status == 0) status = backupConfig.restoreLoadedFile(path);
    if (!reportSettingsError(status, path, true, backupConfig)) {
        CONFIG_LOG(ERROR, "restoreSettings", "Fails on writing to the runtime config file.");
    }
    return status;
}

int32_t InstallConfigData::writeRuntimeFileFrom(SettingsContext& store, const SettingsContext& current, bool silent,
                                                const char* unchangedLine) {
    bool same = false, empty = false;
    if (store.equals(current, same) == 0 && same) {
        CONFIG_LOG(INFO, "exportSettings", unchangedLine);
        return 0;
    }
    if (store.isEmpty(empty) == 0 && empty) {
        deleteSettingsFile();
        return 0;
    }
    return ExportConfigSettings(store, silent);
}

int32_t InstallConfigData::ExportConfigSettings(SettingsContext& context, bool silent) {
    CONFIG_LOG(INFO, "ExportConfigSettings", "...Exporting config settings");
    bool empty = false;
    if (context.isEmpty(empty) == 0 && empty) {
        CONFIG_LOG(INFO, "ExportConfigSettings", "Config is empty: don't do export");
        return 0;
    }
    CONFIG_LOG(INFO, "ExportConfigSettings", "Writing to the runtime config file.");
    std::string path;
    int32_t status = context.settingsFilePath(path);
    if (status == 0) status = context.saveToFile(path);
    if (!reportSettingsError(status, path, silent || isSilent(), context)) {
        CONFIG_LOG(ERROR, "ExportConfigSettings", "Fails on writing to the runtime config file.");
    }
    return status;
}

bool InstallConfigData::reportSettingsError(int32_t status, const std::string& argument, bool silent,
                                            const SettingsContext& context) {
    if (status == 0) return true;
    const SettingsMessage* message = settingsMessageFor(status);
    if (message == nullptr) {
        CONFIG_LOG(ERROR, "reportSettingsError", "Unknown Error code " << status);
        return false;
    }
    if (message->loggedOnly) {
        CONFIG_LOG(ERROR, "reportSettingsError", forLog(host.loadMessage(moduleHandle, message->id, 1024)));
        return false;
    }
    std::string second;
    if (status == settings::status::TextMalformed) {
        uint32_t line = 0;
        second = context.firstErrorLine(line) ? tstrings::toString(line + 1) : std::string("<line number>");
    }
    showInstallError(message->id, silent, message->takesArgument ? argument : std::string(), second);
    return false;
}

void InstallConfigData::showInstallError(unsigned messageId, bool silent, const std::string& first,
                                         const std::string& second) {
    const std::string title = host.loadMessage(moduleHandle, kErrorTitleId, 256);
    const std::string pattern = host.loadMessage(moduleHandle, messageId, 1024);
    const std::string text = formatSettingsMessage(pattern, first, second, 1024);
    CONFIG_LOG(ERROR, "showInstallError", forLog(text));
    if (silent) return;
    if (deferBoxes) deferredBox.emplace(title, text);
    else host.showErrorBox(title, text);
}

bool InstallConfigData::silenceAskedFor(const std::vector<std::string>& arguments) {
    if (isSilent()) return true;
    // A switch refused for its spelling still says that nobody may be at the screen.
    for (const std::string& argument : arguments) {
        if (tstrings::equalsIgnoreCase(argument, "/s") || tstrings::equalsIgnoreCase(argument, "-download")) return true;
    }
    SettingsContext kept(api, validator, keyMapper);
    int32_t enabled = 0;
    return ImportRuntimeConfigSettings(kept, true) == 0 && kept.containsKey("INSTALL_SILENT") &&
           kept.getInteger("INSTALL_SILENT", enabled) == 0 && enabled != 0;
}

void InstallConfigData::logConfigTable(const SettingsContext& context, const std::string& title) {
    std::string text = "|------" + title + "--------|\n\n";
    for (const KeyRecord& row : catalogue) {
        std::string value;
        if (context.valueOf(row.name, value)) {
            text += row.name + " = " + value + "\n";
        } else if (context.containsKey(row.name)) {
            text += row.name + " = 1\n";
        }
    }
    text += "|-------------------------------------|\n";
    CONFIG_LOG(INFO, "logConfigTable", text);
}

bool InstallConfigData::containsKey(const std::string& key) const { return workingConfig.containsKey(key); }

bool InstallConfigData::isEnabled(const std::string& key) const {
    int32_t value = 0;
    check(workingConfig.getInteger(key, value));
    return value != 0;
}

std::string InstallConfigData::getStringSetting(const std::string& key) const {
    std::string value;
    check(workingConfig.getString(key, value));
    return value;
}

bool InstallConfigData::getStringSettingAnsi(const std::string& key, std::string& value, bool silent) {
    return toAnsiOrRefuse(key, getStringSetting(key), value, silent);
}

bool InstallConfigData::installerLogPathAnsi(std::string& path, bool silent) {
    return toAnsiOrRefuse("/l", logPath, path, silent);
}

bool InstallConfigData::toAnsiOrRefuse(const std::string& key, const std::string& utf8, std::string& ansi,
                                       bool silent) {
    if (host.utf8ToAnsi(utf8, ansi)) return true;
    ansi.clear();
    showInstallError(kNotRepresentableId, silent, key, "");
    return false;
}

std::string InstallConfigData::forLog(const std::string& utf8) {
    std::string text;
    host.utf8ToAnsi(utf8, text);
    return text;
}

int32_t InstallConfigData::getLanguage() const {
    int32_t value = 0;
    check(workingConfig.getInteger("/lang", value));
    return value;
}

bool InstallConfigData::isSilent() const {
    return containsKey("/s") || containsKey("-download") ||
           (containsKey("INSTALL_SILENT") && isEnabled("INSTALL_SILENT"));
}
