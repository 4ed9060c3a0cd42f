#pragma once
// Fills a store from parser callbacks: maps the key, validates the value, and inserts it,
// replacing an earlier entry of the same key.
#include <memory>
#include <string>

#include "settings/config.h"
#include "settings/parser.h"

namespace settings_impl {

class ConfigValidator;
class KeyMapper;

class ConfigBuilder : public IConfigParserCallback {
public:
    using CursorFormatter = std::string (*)(const IParserCursor&);

    ConfigBuilder(CursorFormatter formatter, const ConfigValidator* validator, const KeyMapper* keyMapper,
                  IParserErrorListener* listener)
        : formatter(formatter), validator(validator), keyMapper(keyMapper), listener(listener) {}

    bool onComment(const IParserCursor& cursor, std::string_view comment) override;
    // 300, or 303 (key refused) / 304 (value refused or unconvertible) with nothing stored.
    int32_t onEntry(const IParserCursor& cursor, const std::string& key, const std::string* value) override;
    // Tells the listener "\"<name>\" at line N; char M".
    void onError(const IParserCursor& cursor, int32_t number) override;

    // Hands the collected entries out as a store; the builder is empty afterwards.
    std::unique_ptr<Config> takeConfig();

private:
    CursorFormatter formatter;
    const ConfigValidator* validator;
    const KeyMapper* keyMapper;
    IParserErrorListener* listener;
    Config::Map entries;
    // Where the next entry goes if the file is in key order, as the files the store writes are:
    // just after the last one placed, which makes such an insertion constant-time.
    Config::Map::iterator next = entries.end();
};

}  // namespace settings_impl
