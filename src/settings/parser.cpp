#include "settings/parser.h"

#include "settings/config_builder.h"
#include "settings/exception.h"
#include "settings/file_system.h"
#include "settings/utf8.h"

namespace settings_impl {

namespace {

using settings::Exception;
namespace status = settings::status;

bool isBlank(char c) { return c == ' ' || c == '\t'; }

// Index one past the last non-blank byte of [begin, end), or begin.
size_t trimBlanksRight(const std::string& text, size_t begin, size_t end) {
    while (end > begin && isBlank(text[end - 1])) --end;
    return end;
}

void requireUtf8(const std::string& text) {
    const char* bad = findInvalidUtf8(text.data(), text.data() + text.size());
    if (bad != text.data() + text.size()) {
        throw Exception(status::TextNotUtf8, "invalid byte at offset " + std::to_string(bad - text.data()));
    }
}

}  // namespace

const char* errorName(int32_t number) {
    switch (number) {
        case 301: return "Key without value";
        case 302: return "Empty key";
        case 303: return "Invalid key";
        case 304: return "Invalid value";
        case 305: return "Invalid comment";
        default: return "Unknown error";
    }
}

std::string describeCursor(const IParserCursor& cursor) {
    const auto* c = dynamic_cast<const PlainTextFileConfigParser::Cursor*>(&cursor);
    if (!c) return std::string();
    return "line " + std::to_string(static_cast<uint64_t>(c->line) + 1) + "; char " +
           std::to_string(static_cast<uint64_t>(c->column) + 1);
}

void ParserErrorCounter::onError(const IParserCursor& cursor, const std::string& message) {
    ++errorCount;
    if (next) next->onError(cursor, message);
}

void PlainTextFileConfigParser::FileBuffer::read(std::string& text) {
    // One byte more than allowed is asked for: getting it means the file is too long.
    ReadResult result = fileSystem().readFile(name, kMaxBytes + 1);
    if (result.outcome == ReadResult::CannotOpen) throw Exception(status::CannotOpenFile, name.text());
    if (result.outcome == ReadResult::ReadError) throw Exception(status::ReadFailed, name.text());
    if (result.bytes.size() > kMaxBytes) throw Exception(status::FileTooLong, name.text());
    requireUtf8(result.bytes);
    text = std::move(result.bytes);
}

void PlainTextFileConfigParser::StringBuffer::read(std::string& out) {
    requireUtf8(text);
    out = text;
}

PlainTextFileConfigParser::PlainTextFileConfigParser(const FileName& file)
    : buffer(std::make_unique<FileBuffer>(file)) {}

PlainTextFileConfigParser::PlainTextFileConfigParser(const std::string& text)
    : buffer(std::make_unique<StringBuffer>(text)) {}

void PlainTextFileConfigParser::parseText(const std::string& text, IConfigParserCallback& callback, bool stopOnError,
                                          bool acceptKeysWithoutValue) {
    size_t pos = 0;
    uint32_t lineIndex = 0;
    std::string key, value;
    for (;;) {
        const size_t lineBreak = text.find_first_of("\r\n", pos);
        const size_t end = lineBreak == std::string::npos ? text.size() : lineBreak;
        size_t first = pos;
        while (first < end && isBlank(text[first])) ++first;
        bool failed = false;
        if (first < end) {
            const Cursor cursor(lineIndex, static_cast<uint32_t>(first - pos));
            if (text[first] == '#') {
                if (!callback.onComment(cursor, std::string_view(text).substr(first, end - first))) {
                    callback.onError(cursor, status::InvalidComment);
                    failed = true;
                }
            } else {
                size_t sep = first;
                while (sep < end && text[sep] != '=' && text[sep] != ':') ++sep;
                if (sep == end) {
                    if (!acceptKeysWithoutValue) {
                        callback.onError(cursor, status::KeyWithoutValue);
                        failed = true;
                    } else {
                        key.assign(text, first, trimBlanksRight(text, first, end) - first);
                        const int32_t result = callback.onEntry(cursor, key, nullptr);
                        if (result != status::EntryAccepted) {
                            callback.onError(cursor, result);
                            failed = true;
                        }
                    }
                } else {
                    key.assign(text, first, trimBlanksRight(text, first, sep) - first);
                    if (key.empty()) {
                        callback.onError(cursor, status::EmptyKey);
                        failed = true;
                    } else {
                        size_t valueBegin = sep + 1;
                        while (valueBegin < end && isBlank(text[valueBegin])) ++valueBegin;
                        value.assign(text, valueBegin, trimBlanksRight(text, valueBegin, end) - valueBegin);
                        const int32_t result = callback.onEntry(cursor, key, &value);
                        if (result != status::EntryAccepted) {
                            callback.onError(cursor, result);
                            failed = true;
                        }
                    }
                }
            }
        }
        if ((failed && stopOnError) || lineBreak == std::string::npos) return;
        pos = lineBreak + ((text[lineBreak] == '\r' && lineBreak + 1 < text.size() && text[lineBreak + 1] == '\n') ? 2 : 1);
        ++lineIndex;
    }
}

std::unique_ptr<IConfig> PlainTextFileConfigParser::parse() {
    buffer->read(readText);
    ParserErrorCounter counter(errorListener);
    ConfigBuilder builder(&describeCursor, validator, keyMapper, &counter);
    parseText(readText, builder, stopOnError, acceptKeysWithoutValue);
    if (counter.errorCount > 0 && stopOnError) return nullptr;
    return builder.takeConfig();
}

}  // namespace settings_impl
