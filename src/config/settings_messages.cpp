#include "config/settings_messages.h"

#include "settings/exception.h"

namespace {

namespace status = settings::status;

const SettingsMessage kMessages[] = {
    {status::Internal, IDS_ERROR_INTERNAL, false, false},
    {status::NullArgument, IDS_ERROR_INVALID_PARAMETER, true, false},
    {status::CannotOpenFile, IDS_ERROR_OPEN_FILE, false, true},
    {status::InvalidComment, IDS_ERROR_PERMISSIONS, false, true},
    {status::WriteFailed, IDS_ERROR_WRITE_RUNTIME_CFG, false, false},
    {status::ReadFailed, IDS_ERROR_READ_FILE, false, true},
    {status::RenameFailed, IDS_ERROR_RENAME_MESSAGE, true, false},
    {status::RemoveFailed, IDS_ERROR_REMOVE_MESSAGE, true, false},
    {status::FileNameTooLong, IDS_ERROR_CFG_PATH_TOO_LONG, false, false},
    {status::FileNameInvalid, IDS_ERROR_CFG_PATH_INVALID, false, false},
    {status::FileNameNotUtf8, IDS_ERROR_CFG_PATH_NOT_PLAIN_TEXT, false, false},
    {status::TextMalformed, IDS_ERROR_MALFORMED, false, true},
    {status::TextNotUtf8, IDS_ERROR_NOT_PLAIN_TEXT, false, true},
    {status::FileTooLong, IDS_ERROR_FILE_TOO_LONG, false, true},
    {config_status::RejectedArguments, IDS_ERROR_SWITCHES, false, true},
};

}  // namespace

const SettingsMessage* settingsMessageFor(int32_t status) {
    for (const SettingsMessage& message : kMessages) {
        if (message.status == status) return &message;
    }
    return nullptr;
}

std::string formatSettingsMessage(const std::string& pattern, const std::string& first, const std::string& second,
                                  size_t capacity) {
    const std::string* arguments[] = {&first, &second};
    size_t next = 0;
    std::string text;
    for (size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == '%' && i + 1 < pattern.size()) {
            if (pattern[i + 1] == 's') {
                if (next < 2) text += *arguments[next++];
                ++i;
                continue;
            }
            if (pattern[i + 1] == '%') {
                text += '%';
                ++i;
                continue;
            }
        }
        text += pattern[i];
    }
    if (capacity > 0 && text.size() > capacity - 1) {
        text.resize(capacity - 1);
        // The text is UTF-8: a character the cut went through goes whole, or a box would show nothing.
        size_t lead = text.size();
        while (lead > 0 && text.size() - lead < 4 && (static_cast<unsigned char>(text[lead - 1]) & 0xC0) == 0x80) --lead;
        if (lead > 0) {
            const unsigned char first = static_cast<unsigned char>(text[lead - 1]);
            const size_t length = first >= 0xF0 ? 4 : first >= 0xE0 ? 3 : first >= 0xC0 ? 2 : 1;
            if (text.size() - (lead - 1) < length) text.resize(lead - 1);
        }
    }
    return text;
}
