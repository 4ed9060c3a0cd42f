#pragma once
// Writing a store back as a settings file: key=value or key lines, each ended by a line feed.
#include <sstream>
#include <string>

namespace settings_impl {

class IConfig;
class Config;
class FileName;

class IConfigEntrySerializer {
public:
    virtual ~IConfigEntrySerializer() = default;
    virtual void writeKey(const std::string& key) = 0;
    virtual void writeEntry(const std::string& key, const std::string& value) = 0;
};

// Lines in memory; no quoting or escaping of either part.
class PlainTextEntrySerializer : public IConfigEntrySerializer {
public:
    PlainTextEntrySerializer();
    void writeKey(const std::string& key) override;
    void writeEntry(const std::string& key, const std::string& value) override;
    std::string text() const { return out.str(); }

private:
    std::ostringstream out;
};

// Every entry in store order, a value written with the text it was accepted with.
void serialize(const IConfig& store, IConfigEntrySerializer& serializer);

// Writes the store to a canonical name, creating missing parent directories first. The complete
// text goes to a new file beside the target, which then takes the target's place in one step, so
// the target holds its old or its new content after any failure, and no staged file remains.
// A new file gets the protected access rules and LF line ends; an existing one keeps its access
// rules and gets CR LF. An empty store writes one space.
// settings::Exception 304: the staged file cannot be created or cannot take the target's place
// (also when the target exists but cannot be read); 306: the text could not be written whole;
// 311 (and 310, 312): a directory could not be made.
void save(const Config& store, const FileName& canonicalName);
// Writes text exactly as given, the same way (line ends untouched; empty text writes nothing).
void saveText(const std::string& text, const FileName& canonicalName);

}  // namespace settings_impl
