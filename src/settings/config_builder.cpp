#include "settings/config_builder.h"

#include "settings/exception.h"
#include "settings/key_mapper.h"
#include "settings/validators.h"

namespace settings_impl {

bool ConfigBuilder::onComment(const IParserCursor&, std::string_view) { return true; }

int32_t ConfigBuilder::onEntry(const IParserCursor&, const std::string& key, const std::string* value) {
    try {
        std::string mapped = keyMapper ? keyMapper->mapKey(key) : key;
        std::optional<ConfigValue> stored;
        if (value) {
            if (validator) {
                stored = validator->validate(mapped, value);
            } else {
                stored = ConfigValue::fromText(Untyped, *value);
            }
        }
        next = std::next(entries.insert_or_assign(next, std::move(mapped), std::move(stored)));
        return settings::status::EntryAccepted;
    } catch (const ConfigValidator::InavlidKeyError&) {
        return settings::status::InvalidKey;
    } catch (const ConfigValidator::InavlidValueError&) {
        return settings::status::InvalidValue;
    } catch (const settings::Exception&) {
        return settings::status::InvalidValue;
    }
}

void ConfigBuilder::onError(const IParserCursor& cursor, int32_t number) {
    if (!listener) return;
    listener->onError(cursor, std::string("\"") + errorName(number) + "\" at " + formatter(cursor));
}

std::unique_ptr<Config> ConfigBuilder::takeConfig() {
    auto config = std::make_unique<Config>(std::move(entries));
    entries.clear();
    next = entries.end();
    return config;
}

}  // namespace settings_impl
