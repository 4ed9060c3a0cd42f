#pragma once
// The in-memory settings store: keys in byte-wise order, each with a typed value or none (a key
// without value, such as a command-line switch).
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "settings/config_value.h"

namespace settings_impl {

class IConfig {
public:
    virtual ~IConfig() = default;
    // Every getter: a missing key raises ExceptionCode<303>, a key without value ExceptionCode<301>.
    virtual int32_t getType(const std::string& key) const = 0;
    virtual bool hasValue(const std::string& key) const = 0;  // never raises
    virtual const std::string& getString(const std::string& key) const = 0;  // borrowed from the store
    // Untyped texts are converted (302 when unreadable); a value of another type raises 301.
    virtual int32_t getInteger(const std::string& key) const = 0;
    virtual double getReal(const std::string& key) const = 0;
    virtual bool getBoolean(const std::string& key) const = 0;
    virtual std::string getText(const std::string& key) const = 0;
    virtual std::vector<std::string> keys() const = 0;
};

class Config : public IConfig {
public:
    using Map = std::map<std::string, std::optional<ConfigValue>>;

    Config() = default;
    explicit Config(Map entries) : entries_(std::move(entries)) {}

    int32_t getType(const std::string& key) const override;
    bool hasValue(const std::string& key) const override;
    const std::string& getString(const std::string& key) const override;
    int32_t getInteger(const std::string& key) const override;
    double getReal(const std::string& key) const override;
    bool getBoolean(const std::string& key) const override;
    std::string getText(const std::string& key) const override;
    std::vector<std::string> keys() const override;

    const Map& entries() const { return entries_; }
    Map takeEntries() && { return std::move(entries_); }
    bool isEmpty() const { return entries_.empty(); }
    bool contains(const std::string& key) const { return entries_.count(key) != 0; }

private:
    const ConfigValue& valueOf(const std::string& key) const;
    Map entries_;
};

// A new store with every entry of first, then every entry of second inserted or replacing.
std::unique_ptr<Config> merge(const Config& first, const Config& second);
// The same result, taking second's entries over instead of copying them (second is left empty).
std::unique_ptr<Config> merge(const Config& first, Config&& second);
// A new store without the keys; ExceptionCode<303> before any change when one is absent.
std::unique_ptr<Config> removeKey(const Config& store, const std::vector<std::string>& keys);
// Same keys, and per key: both without value, or the same type and the same text (Untyped,
// String) or number (Integer, Boolean, Real).
bool equals(const Config& a, const Config& b);

}  // namespace settings_impl
