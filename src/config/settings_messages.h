#pragma once
// Which string-table message reports which settings status, and how its text is composed.
#include <cstddef>
#include <cstdint>
#include <string>

#include "string_ids.h"

// Statuses of the install configuration beyond the settings library's own.
namespace config_status {
constexpr int32_t RejectedArguments = 3090;  // unsupported arguments or keys
}

struct SettingsMessage {
    int32_t status;
    unsigned id;         // string-table entry
    bool loggedOnly;     // written to the log, never shown in a box
    bool takesArgument;  // the message names the file or the switch list
};

// Title of every configuration error box.
constexpr unsigned kErrorTitleId = IDS_ERROR_TITLE;
// A value that the process code page cannot represent; its argument is the key.
constexpr unsigned kNotRepresentableId = IDS_ERROR_NOT_REPRESENTABLE;

// The message row of a status; null for a status without one (0 and unknown codes).
const SettingsMessage* settingsMessageFor(int32_t status);

// Replaces the message's %s placeholders by first and second in order ("%%" gives "%"; any other
// directive stays as written, so a message can never read arguments it was not given) and cuts the
// result (UTF-8) to capacity - 1 bytes, as a fixed buffer of that capacity would, but never inside a
// character.
std::string formatSettingsMessage(const std::string& pattern, const std::string& first, const std::string& second,
                                  size_t capacity);
