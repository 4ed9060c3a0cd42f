#include "settings/context.h"

#include <cstdio>

#include "settings/exception.h"
#include "settings/file_system.h"

namespace settings_impl {

const char* const kSettingsFileSuffix = "\\Brennic\\Mako\\mako.settings.cfg";

Context::Context()
    : store(std::make_unique<Config>()), settingsFilePath(fileSystem().commonAppDataFolder() + kSettingsFileSuffix) {}

void Context::onError(const IParserCursor& cursor, const std::string& message) {
    const auto* c = dynamic_cast<const PlainTextFileConfigParser::Cursor*>(&cursor);
    errorLines.push_back(c ? c->line : 0);
    std::fprintf(stderr, "Error reading config file: %s\n", message.c_str());
    throw settings::Exception(settings::status::TextMalformed, message);
}

}  // namespace settings_impl
