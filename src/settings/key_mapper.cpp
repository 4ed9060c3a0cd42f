#include "settings/key_mapper.h"

namespace settings_impl {

namespace {

char asciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool equalsIgnoreAsciiCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (asciiLower(a[i]) != asciiLower(b[i])) return false;
    }
    return true;
}

}  // namespace

SimpleKeyMapper::SimpleKeyMapper(std::string from, std::string to, bool caseSensitive)
    : from(std::move(from)), to(std::move(to)), caseSensitive(caseSensitive) {}

bool SimpleKeyMapper::mapKey(const std::string& key, std::string& mapped) const {
    if (key != from && (caseSensitive || !equalsIgnoreAsciiCase(key, from))) return false;
    mapped = to;
    return true;
}

bool KeyMapper::mapKey(const std::string& key, std::string& mapped) const {
    for (auto it = mappers.rbegin(); it != mappers.rend(); ++it) {
        if ((*it)->mapKey(key, mapped)) return true;
    }
    return false;
}

void KeyMapperBuilder::addMapping(const std::string& from, const std::string& to, bool caseSensitive) {
    factories.push_back(std::make_unique<KeyMapperFactory<SimpleKeyMapper>>(from, to, caseSensitive));
}

std::unique_ptr<KeyMapper> KeyMapperBuilder::build() const {
    std::vector<std::unique_ptr<IKeyMapper>> mappers;
    mappers.reserve(factories.size());
    for (const auto& factory : factories) mappers.push_back(factory->create());
    return std::make_unique<KeyMapper>(std::move(mappers));
}

}  // namespace settings_impl
