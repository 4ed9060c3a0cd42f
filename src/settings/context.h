#pragma once
// The object behind a settings_api handle: a store that accumulates loads, the machine-wide
// settings file path, and the line of the last load's first error.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "settings/config.h"
#include "settings/parser.h"

namespace settings_impl {

class Context : public IParserErrorListener {
public:
    // settings::Exception 200 when the common application-data folder cannot be had.
    Context();

    // Records the line, tells the standard error stream, and ends the load with 313.
    void onError(const IParserCursor& cursor, const std::string& message) override;

    // Every change replaces the store rather than editing it, so a reader that shares it (forEach)
    // keeps the one it started with.
    std::shared_ptr<const Config> store;
    std::string settingsFilePath;
    std::vector<uint32_t> errorLines;
    // The bytes of the file the last successful file load read, for writing it back as it was.
    std::optional<std::string> fileText;
};

extern const char* const kSettingsFileSuffix;  // "\Brennic\Mako\mako.settings.cfg"

}  // namespace settings_impl
