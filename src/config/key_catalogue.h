#pragma once
// Every setting name the launcher understands, with the flags that steer how each is imported,
// checked, exported and passed on to the Windows Installer. Platform-free.
#include <functional>
#include <string>
#include <vector>

// What a value of a key must look like.
enum class ValueRule {
    SwitchValue,    // "Enable"/"Disable"/"1"/"0" stored as 1 or 0
    SecurityLevel,  // "1".."4" or "L", "M", "H", "VH"
    Integer,        // 32-bit integer text
    String,         // any text
    DirectoryName,  // checked directory name
    None,           // a command-line switch, written without value
};

struct KeyRecord {
    std::string name;
    bool exported;              // kept in the runtime settings file
    bool recorded;              // listed in the composed CMDLINE value
    bool installerPassThrough;  // a command-line argument of this key is appended to MSI_CMDLINE
    bool prefixMatch;           // an argument matches when it begins with the key (/qn, /l*v)
    bool enterpriseOnly;        // accepted only by an enterprise installer
    ValueRule rule;

    // Switches are written on the command line without a value; every other row is a property.
    bool isSwitch() const { return rule == ValueRule::None; }
};

using KeyCatalogue = std::vector<KeyRecord>;

// The 46 rows, in the order that matching, checks, CMDLINE and logged tables follow.
const KeyCatalogue& keyCatalogue();

// Built-in defaults, loaded into the working configuration only.
extern const char* const kDefaultSettingsText;

// The first row that the command-line argument matches, or null.
const KeyRecord* findKeyRecord(const KeyCatalogue& catalogue, const std::string& argument);

// The catalogue row of a key spelled exactly as in the catalogue; null for an unknown key.
const KeyRecord* catalogueRow(const KeyCatalogue& catalogue, const std::string& key);

// One rejected argument as it appears in the switch list of the error message: "arg";
std::string quotedListEntry(const std::string& argument);

// CMDLINE from the recorded rows that have a value: for each, a space, KEY="value" with the
// value as valueOf gives it (unescaped). valueOf returns false for a key without value.
std::string buildCmdline(const KeyCatalogue& catalogue,
                         const std::function<bool(const std::string& key, std::string& value)>& valueOf);
