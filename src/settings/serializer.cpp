#include "settings/serializer.h"

#include "settings/config.h"
#include "settings/exception.h"
#include "settings/file_name.h"
#include "settings/file_system.h"

namespace settings_impl {

namespace {

using settings::Exception;
namespace status = settings::status;

std::string withCrLf(const std::string& text) {
    std::string out;
    out.reserve(text.size() + text.size() / 16);
    for (char c : text) {
        if (c == '\n') out += '\r';
        out += c;
    }
    return out;
}

}  // namespace

PlainTextEntrySerializer::PlainTextEntrySerializer() { out.exceptions(std::ios::failbit | std::ios::badbit); }

void PlainTextEntrySerializer::writeKey(const std::string& key) { out << key << '\n'; }

void PlainTextEntrySerializer::writeEntry(const std::string& key, const std::string& value) {
    out << key << '=' << value << '\n';
}

void serialize(const IConfig& store, IConfigEntrySerializer& serializer) {
    for (const std::string& key : store.keys()) {
        if (store.hasValue(key)) {
            serializer.writeEntry(key, store.getString(key));
        } else {
            serializer.writeKey(key);
        }
    }
}

namespace {

void write(std::string text, const FileName& name, bool asGiven) {
    name.createDirectories();
    IFileSystem& fs = fileSystem();
    // A file that exists but cannot be read counts as absent; taking its place then fails (304).
    const bool existing = fs.canOpenForReading(name);
    if (existing && !asGiven) text = withCrLf(text);
    std::unique_ptr<IStagedFile> staged = fs.stageFile(name, !existing);
    if (!staged) throw Exception(status::CannotOpenFile, "cannot create a file beside " + name.text());
    if (staged->write(text.data(), text.size()) != text.size()) {
        throw Exception(status::WriteFailed, name.text());
    }
    if (!staged->commit(existing)) {
        throw Exception(status::CannotOpenFile, (existing ? "cannot replace " : "cannot create ") + name.text());
    }
}

}  // namespace

void save(const Config& store, const FileName& name) {
    PlainTextEntrySerializer serializer;
    serialize(store, serializer);
    std::string text = serializer.text();
    if (text.empty()) text = " ";
    write(std::move(text), name, false);
}

void saveText(const std::string& text, const FileName& name) { write(text, name, true); }

}  // namespace settings_impl
