#include "settings/config.h"

#include "settings/exception.h"

namespace settings_impl {

using settings::ExceptionCode;

const ConfigValue& Config::valueOf(const std::string& key) const {
    const auto found = entries_.find(key);
    if (found == entries_.end()) throw ExceptionCode<303>(key);
    if (!found->second) throw ExceptionCode<301>(key);
    return *found->second;
}

int32_t Config::getType(const std::string& key) const { return valueOf(key).type(); }

bool Config::hasValue(const std::string& key) const {
    const auto found = entries_.find(key);
    return found != entries_.end() && found->second.has_value();
}

const std::string& Config::getString(const std::string& key) const { return valueOf(key).text(); }

std::string Config::getText(const std::string& key) const { return valueOf(key).text(); }

int32_t Config::getInteger(const std::string& key) const {
    const ConfigValue& value = valueOf(key);
    if (value.type() == Untyped) return parseInteger(value.text());
    if (value.type() == Integer) return value.integer();
    throw ExceptionCode<301>(key);
}

double Config::getReal(const std::string& key) const {
    const ConfigValue& value = valueOf(key);
    if (value.type() == Untyped) return parseReal(value.text());
    if (value.type() == Real) return value.real();
    throw ExceptionCode<301>(key);
}

bool Config::getBoolean(const std::string& key) const {
    const ConfigValue& value = valueOf(key);
    if (value.type() == Untyped) return parseBoolean(value.text());
    if (value.type() == Boolean) return value.boolean();
    throw ExceptionCode<301>(key);
}

std::vector<std::string> Config::keys() const {
    std::vector<std::string> list;
    list.reserve(entries_.size());
    for (const auto& entry : entries_) list.push_back(entry.first);
    return list;
}

std::unique_ptr<Config> merge(const Config& first, const Config& second) {
    // One pass over both ordered maps, appending at the end: linear, where inserting the second
    // store's entries one by one would search the map for each.
    Config::Map map;
    auto a = first.entries().begin(), b = second.entries().begin();
    const auto aEnd = first.entries().end(), bEnd = second.entries().end();
    while (a != aEnd || b != bEnd) {
        if (b == bEnd || (a != aEnd && a->first < b->first)) {
            map.emplace_hint(map.end(), *a++);
        } else {
            if (a != aEnd && !(b->first < a->first)) ++a;  // the same key: the second store's entry wins
            map.emplace_hint(map.end(), *b++);
        }
    }
    return std::make_unique<Config>(std::move(map));
}

std::unique_ptr<Config> merge(const Config& first, Config&& second) {
    // Loading merges a freshly parsed store that nobody keeps: its nodes move over as they are, and
    // only the (usually few) earlier entries are copied, in order, each next to the last one placed.
    Config::Map map = std::move(second).takeEntries();
    auto hint = map.begin();
    for (const auto& entry : first.entries()) {
        // An existing key keeps second's entry.
        hint = std::next(map.try_emplace(hint, entry.first, entry.second));
    }
    return std::make_unique<Config>(std::move(map));
}

std::unique_ptr<Config> removeKey(const Config& store, const std::vector<std::string>& keys) {
    for (const auto& key : keys) {
        if (!store.contains(key)) throw ExceptionCode<303>(key);
    }
    Config::Map map = store.entries();
    for (const auto& key : keys) map.erase(key);
    return std::make_unique<Config>(std::move(map));
}

bool equals(const Config& a, const Config& b) {
    if (&a == &b) return true;
    // Both maps are already in byte-wise key order.
    if (a.entries().size() != b.entries().size()) return false;
    for (auto x = a.entries().begin(), y = b.entries().begin(); x != a.entries().end(); ++x, ++y) {
        if (x->first != y->first) return false;
    }
    for (auto x = a.entries().begin(), y = b.entries().begin(); x != a.entries().end(); ++x, ++y) {
        const auto& u = x->second;
        const auto& v = y->second;
        if (!u && !v) continue;
        if (!u || !v || u->type() != v->type()) return false;
        switch (u->type()) {
            case Integer:
                if (u->integer() != v->integer()) return false;
                break;
            case Boolean:
                if (u->boolean() != v->boolean()) return false;
                break;
            case Real:
                if (u->real() != v->real()) return false;
                break;
            default:
                if (u->text() != v->text()) return false;
        }
    }
    return true;
}

}  // namespace settings_impl
