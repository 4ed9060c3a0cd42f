#pragma once
// One settings store of the install configuration, reached only through the settings library's
// function table: a context handle with its own copy of the table, the shared validator and key
// mapper. Every load stops at the first faulty line.
#include <cstdint>
#include <string>
#include <vector>

#include "settings/settings_api.h"

// The shared validator and key mapper, each with its own copy of the table they were built by.
struct BuiltValidator {
    settings::settings_api api;
    settings::ValidatorHandle handle = nullptr;
    ~BuiltValidator() {
        if (handle) api.destroyValidator(handle);
    }
};

struct BuiltKeyMapper {
    settings::settings_api api;
    settings::KeyMapperHandle handle = nullptr;
    ~BuiltKeyMapper() {
        if (handle) api.destroyKeyMapper(handle);
    }
};

class SettingsContext {
public:
    // Raises settings::Exception 200 when the context cannot be created.
    SettingsContext(const settings::settings_api& table, const BuiltValidator& validator,
                    const BuiltKeyMapper& keyMapper);
    ~SettingsContext();
    SettingsContext(const SettingsContext&) = delete;
    SettingsContext& operator=(const SettingsContext&) = delete;

    // A key without value is a faulty line unless the text is a command-line argument: only a
    // switch is written without value, and in a file it is a line that lost its value.
    int32_t loadString(const std::string& text, bool acceptKeysWithoutValue = false);
    int32_t loadFile(const std::string& path);

    // Status-returning reads; out arguments are written only on success.
    int32_t getString(const std::string& key, std::string& value) const;
    int32_t getFlag(const std::string& key, int32_t& flag) const;
    int32_t getInteger(const std::string& key, int32_t& value) const;
    int32_t removeKey(const std::string& key);
    int32_t isEmpty(bool& empty) const;
    int32_t equals(const SettingsContext& other, bool& equal) const;
    int32_t saveToFile(const std::string& path);
    // Writes the file this context last loaded back to path byte for byte; 303 when it loaded none.
    int32_t restoreLoadedFile(const std::string& path);
    int32_t settingsFilePath(std::string& path) const;
    // The first faulty line of the last failed load (0-based); false when none was recorded.
    bool firstErrorLine(uint32_t& line) const;

    // The keys of the store, in its order.
    int32_t keys(std::vector<std::string>& out) const;
    // Takes other's entries, which replace this store's of the same key.
    int32_t merge(const SettingsContext& other);

    // Present with a value, or present without one.
    bool containsKey(const std::string& key) const;
    // The value text when the key has one.
    bool valueOf(const std::string& key, std::string& value) const { return getString(key, value) == 0; }

private:
    settings::settings_api api;
    settings::Handle handle = nullptr;
    const BuiltValidator& validator;
    const BuiltKeyMapper& keyMapper;
    static constexpr bool kStopOnError = true;
};
