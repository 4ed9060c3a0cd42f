#include "settings/validators.h"

#include "settings/file_name.h"

namespace settings_impl {

namespace {

bool asciiEqualsIgnoreCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

}  // namespace

std::optional<ConfigValue> TypeValidator::validate(const std::string* text) const {
    if (!text) {
        if (type == Boolean) return std::nullopt;
        throw ConfigValidator::InavlidValueError();
    }
    return ConfigValue::fromText(type, *text);
}

std::optional<ConfigValue> DirnameValidator::validate(const std::string* text) const {
    if (!text) throw ConfigValidator::InavlidValueError();
    if (!unchecked) {
        const FileName name(*text);
        if (!name.split().drive) throw ConfigValidator::InavlidValueError();
    }
    return ConfigValue::fromText(String, *text);
}

std::optional<ConfigValue> FixedValueValidator::validate(const std::string* text) const {
    if (!text) throw ConfigValidator::InavlidValueError();
    for (auto it = values.rbegin(); it != values.rend(); ++it) {
        const bool match = (it->flags & FixedValue::CaseSensitive) ? it->name == *text
                                                                   : asciiEqualsIgnoreCase(it->name, *text);
        if (!match) continue;
        const std::string& kept = (it->flags & FixedValue::KeepCanonicalText) ? it->name : *text;
        return ConfigValue::fromInteger(it->value, &kept);
    }
    throw ConfigValidator::InavlidValueError();
}

std::optional<ConfigValue> ConfigValidator::validate(const std::string& key, const std::string* text) const {
    const auto found = validators.find(key);
    if (found == validators.end()) {
        if (!acceptUnknownKeys) throw InavlidKeyError();
        // Only entries with a text are validated; a missing one stays without value.
        if (!text) return std::nullopt;
        return ConfigValue::fromText(Untyped, *text);
    }
    return found->second->validate(text);
}

void ConfigValidatorBuilder::addTypeValidator(const std::string& key, int32_t type) {
    types[key] = type;
    fixed.erase(key);
}

void ConfigValidatorBuilder::addDirnameValidator(const std::string& key, bool unchecked) {
    directories[key] = unchecked;
    types.erase(key);
    fixed.erase(key);
}

void ConfigValidatorBuilder::addFixedValue(const std::string& key, const std::string& name, int32_t value,
                                           uint32_t flags) {
    std::vector<FixedValue>& list = fixed[key];
    bool replaced = false;
    for (FixedValue& entry : list) {
        if (entry.name == name) {
            entry.value = value;
            entry.flags = flags;
            replaced = true;
            break;
        }
    }
    if (!replaced) list.push_back(FixedValue{name, value, flags});
    types.erase(key);
    directories.erase(key);
}

std::unique_ptr<ConfigValidator> ConfigValidatorBuilder::build() const {
    std::map<std::string, std::unique_ptr<IConfigValueValidator>> built;
    for (const auto& entry : types) {
        if (entry.second == Untyped && acceptUnknownKeys) continue;  // an unknown key fares the same
        built[entry.first] = std::make_unique<TypeValidator>(entry.second);
    }
    for (const auto& entry : directories) built[entry.first] = std::make_unique<DirnameValidator>(entry.second);
    for (const auto& entry : fixed) built[entry.first] = std::make_unique<FixedValueValidator>(entry.second);
    return std::make_unique<ConfigValidator>(std::move(built), acceptUnknownKeys);
}

}  // namespace settings_impl
