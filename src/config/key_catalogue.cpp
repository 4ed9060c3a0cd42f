#include "config/key_catalogue.h"

#include "platform/tstrings.h"

namespace {

constexpr bool y = true;
constexpr bool n = false;

KeyRecord row(const char* name, bool exported, bool recorded, bool passThrough, bool prefix, bool enterprise,
              ValueRule rule) {
    return KeyRecord{name, exported, recorded, passThrough, prefix, enterprise, rule};
}

KeyCatalogue buildCatalogue() {
    using R = ValueRule;
    return {
        row("INSTALL_SILENT", y, y, n, n, n, R::SwitchValue),
        row("STATIC", n, y, n, n, n, R::SwitchValue),
        row("AUTO_UPDATE", y, y, n, n, n, R::SwitchValue),
        row("SPONSORS", y, y, n, n, n, R::SwitchValue),
        row("WEB_MAKO", n, y, n, n, n, R::SwitchValue),
        row("WEB_ANALYTICS", y, y, n, n, n, R::SwitchValue),
        row("EULA", y, y, n, n, n, R::SwitchValue),
        row("OEMUPDATE", n, y, n, n, n, R::SwitchValue),
        row("DYNAMICBASELINEOFF", n, n, n, n, n, R::SwitchValue),
        row("NO_VERIFY", n, n, n, n, n, R::SwitchValue),
        row("REPAIRMODE", n, y, n, n, n, R::SwitchValue),
        row("LAUNCHEDFROMFORGE", n, n, n, n, n, R::SwitchValue),
        row("FAMILYUPGRADE", n, n, n, n, n, R::SwitchValue),
        row("RUNONCE", n, n, n, n, n, R::SwitchValue),
        row("PIP", n, y, n, n, n, R::SwitchValue),
        row("REINSTALL_NO_PROMPT", n, y, n, n, n, R::SwitchValue),
        row("TEST_FINAL_DIALOG", n, n, n, n, n, R::SwitchValue),
        row("TEST_PROGRESS_DIALOG", n, n, n, n, n, R::SwitchValue),
        row("TEST_WELCOME_DIALOG", n, n, n, n, n, R::SwitchValue),
        row("TEST_CHANGE_DIALOG", n, n, n, n, n, R::SwitchValue),
        row("TEST_SETUPERROR_DIALOG", n, n, n, n, n, R::SwitchValue),
        row("TEST_ERRORHELP_DIALOG", n, n, n, n, n, R::SwitchValue),
        row("TEST_RETRYSPLASH_DIALOG", n, n, n, n, n, R::SwitchValue),
        row("NOSTARTMENU", n, y, n, n, n, R::SwitchValue),
        row("INSTALLDIR", n, y, n, n, n, R::DirectoryName),
        row("/INSTALLDIRPUBLOOM", n, y, n, n, n, R::DirectoryName),
        row("INSTALLCFG", n, y, n, n, n, R::DirectoryName),
        row("COUNTRYOVERRIDE", n, n, n, n, n, R::String),
        row("/installurl", n, n, n, n, n, R::String),
        row("/installmethod", n, y, n, n, n, R::String),
        row("SPONSORPREF", n, n, n, n, n, R::String),
        row("ADDLOCAL", n, n, y, n, n, R::String),
        row("REBOOT", n, n, y, n, n, R::String),
        row("USAGETRACKER_CFG", n, y, n, n, y, R::DirectoryName),
        row("DEPLOYMENT_RULE_SET", n, y, n, n, y, R::DirectoryName),
        row("MSI_CMDLINE", n, n, n, n, n, R::String),
        row("CMDLINE", n, n, n, n, n, R::String),
        row("WEB_MAKO_SECURITY_LEVEL", n, y, n, n, n, R::SecurityLevel),
        row("/lang", n, n, n, n, n, R::Integer),
        row("TEST_CONFIG_FILE_ERRORS", n, n, n, n, n, R::Integer),
        row("/s", n, n, n, n, n, R::None),
        row("/h", n, n, n, n, n, R::None),
        row("-download", n, n, n, n, n, R::None),
        row("-no_override", n, n, n, n, n, R::None),
        row("/q", n, n, y, y, n, R::None),
        row("/l", n, n, y, y, n, R::None),
    };
}

// ASCII-only lowering: settings text is UTF-8 and other bytes must stay as they are.
std::string lowerAscii(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}

}  // namespace

const KeyCatalogue& keyCatalogue() {
    static const KeyCatalogue catalogue = buildCatalogue();
    return catalogue;
}

const char* const kDefaultSettingsText =
    "INSTALL_SILENT=Disable\nSTATIC=Disable\nAUTO_UPDATE=Enable\nWEB_ANALYTICS=Enable\nEULA=Disable\n"
    "SPONSORS=Enable\nOEMUPDATE=Disable\n";

const KeyRecord* findKeyRecord(const KeyCatalogue& catalogue, const std::string& argument) {
    const size_t separator = argument.find_first_of("=:");
    const bool hasValue = separator != std::string::npos;
    const std::string name = lowerAscii(hasValue ? argument.substr(0, separator) : argument);
    const std::string loweredArgument = lowerAscii(argument);
    for (const KeyRecord& record : catalogue) {
        if (record.isSwitch() == hasValue) continue;
        const std::string key = lowerAscii(record.name);
        const bool matches = record.prefixMatch ? loweredArgument.compare(0, key.size(), key) == 0 : name == key;
        if (matches) return &record;
    }
    return nullptr;
}

const KeyRecord* catalogueRow(const KeyCatalogue& catalogue, const std::string& key) {
    for (const KeyRecord& record : catalogue) {
        if (record.name == key) return &record;
    }
    return nullptr;
}

std::string quotedListEntry(const std::string& argument) { return "\"" + argument + "\";"; }

std::string buildCmdline(const KeyCatalogue& catalogue,
                         const std::function<bool(const std::string& key, std::string& value)>& valueOf) {
    std::string text;
    for (const KeyRecord& record : catalogue) {
        std::string value;
        if (!record.recorded || !valueOf(record.name, value)) continue;
        text += " " + record.name + "=\"" + value + "\"";
    }
    return text;
}
