#pragma once
// Key mapping: folds the spellings of a key to the one the store keeps.
#include <memory>
#include <string>
#include <vector>

namespace settings_impl {

class IKeyMapper {
public:
    virtual ~IKeyMapper() = default;
    // Whether key matches; only then is the mapped key written to mapped. (No copy of the key for
    // the many mappers that do not match: loading asks every mapper for every line.)
    virtual bool mapKey(const std::string& key, std::string& mapped) const = 0;
};

class SimpleKeyMapper : public IKeyMapper {
public:
    SimpleKeyMapper(std::string from, std::string to, bool caseSensitive);
    // Exact match, or (not case-sensitive) ASCII case-insensitive match.
    bool mapKey(const std::string& key, std::string& mapped) const override;

private:
    std::string from;
    std::string to;
    bool caseSensitive;
};

// The built mapper: the mapping added last that matches decides.
class KeyMapper : public IKeyMapper {
public:
    explicit KeyMapper(std::vector<std::unique_ptr<IKeyMapper>> mappers) : mappers(std::move(mappers)) {}
    bool mapKey(const std::string& key, std::string& mapped) const override;
    // The mapped key, or key itself when no mapping matches.
    std::string mapKey(const std::string& key) const {
        std::string mapped;
        return mapKey(key, mapped) ? mapped : key;
    }

private:
    std::vector<std::unique_ptr<IKeyMapper>> mappers;
};

class KeyMapperBuilder {
public:
    class IKeyMapperFactory {
    public:
        virtual ~IKeyMapperFactory() = default;
        virtual std::unique_ptr<IKeyMapper> create() const = 0;
    };
    template <class Mapper>
    class KeyMapperFactory : public IKeyMapperFactory {
    public:
        KeyMapperFactory(std::string from, std::string to, bool caseSensitive)
            : from(std::move(from)), to(std::move(to)), caseSensitive(caseSensitive) {}
        std::unique_ptr<IKeyMapper> create() const override {
            return std::make_unique<Mapper>(from, to, caseSensitive);
        }

    private:
        std::string from;
        std::string to;
        bool caseSensitive;
    };

    void addMapping(const std::string& from, const std::string& to, bool caseSensitive);
    // Leaves the builder usable.
    std::unique_ptr<KeyMapper> build() const;

private:
    std::vector<std::unique_ptr<IKeyMapperFactory>> factories;
};

}  // namespace settings_impl
