#pragma once
// Value rules: each entry's text is checked against the rule registered for its key and turned
// into a typed ConfigValue before it is stored.
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "settings/config_value.h"

namespace settings_impl {

class IConfigValueValidator {
public:
    virtual ~IConfigValueValidator() = default;
    // text null: the entry has no value. Returns the new value, or none for "no value".
    virtual std::optional<ConfigValue> validate(const std::string* text) const = 0;
};

class TypeValidator : public IConfigValueValidator {
public:
    explicit TypeValidator(int32_t type) : type(type) {}
    // A missing text is allowed for Boolean only (no value); otherwise InavlidValueError.
    std::optional<ConfigValue> validate(const std::string* text) const override;

private:
    int32_t type;
};

// An absolute directory name on a drive ("C:\dir"), kept as given (String).
class DirnameValidator : public IConfigValueValidator {
public:
    explicit DirnameValidator(bool unchecked) : unchecked(unchecked) {}
    std::optional<ConfigValue> validate(const std::string* text) const override;

private:
    bool unchecked;
};

struct FixedValue {
    enum Flags : uint32_t { CaseSensitive = 1, KeepCanonicalText = 2 };
    std::string name;
    int32_t value;
    uint32_t flags;
};

// A table of accepted spellings; the entry added last wins among those that match.
class FixedValueValidator : public IConfigValueValidator {
public:
    explicit FixedValueValidator(std::vector<FixedValue> values) : values(std::move(values)) {}
    std::optional<ConfigValue> validate(const std::string* text) const override;

private:
    std::vector<FixedValue> values;
};

class ConfigValidator {
public:
    // The names are spelled as the library's users know them.
    class Error : public std::runtime_error {
    public:
        Error() : std::runtime_error("") {}
    };
    class InavlidKeyError : public Error {};
    class InavlidValueError : public Error {};

    ConfigValidator(std::map<std::string, std::unique_ptr<IConfigValueValidator>> validators, bool acceptUnknownKeys)
        : validators(std::move(validators)), acceptUnknownKeys(acceptUnknownKeys) {}

    // An unknown key gives an Untyped value when unknown keys are accepted, else InavlidKeyError.
    std::optional<ConfigValue> validate(const std::string& key, const std::string* text) const;

private:
    std::map<std::string, std::unique_ptr<IConfigValueValidator>> validators;
    bool acceptUnknownKeys;
};

// Collects the rules. A key has one rule: a fixed table or a directory rule replaces a type rule,
// a fixed table replaces a directory rule, and a type rule replaces a fixed table but not a
// directory rule.
class ConfigValidatorBuilder {
public:
    void addTypeValidator(const std::string& key, int32_t type);
    void addDirnameValidator(const std::string& key, bool unchecked);
    // Re-adding a name replaces its value and flags in place.
    void addFixedValue(const std::string& key, const std::string& name, int32_t value, uint32_t flags);
    void setAcceptUnknownKeys(bool accept) { acceptUnknownKeys = accept; }
    // Leaves the builder unchanged.
    std::unique_ptr<ConfigValidator> build() const;

private:
    std::map<std::string, int32_t> types;
    std::map<std::string, bool> directories;
    std::map<std::string, std::vector<FixedValue>> fixed;
    bool acceptUnknownKeys = false;
};

}  // namespace settings_impl
