#pragma once
// The line format of settings texts: key, '=' or ':', value; '#' comment lines; blank lines.
// Line breaks are CR LF, a lone CR or a lone LF; blanks are the space and the tab only.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "settings/file_name.h"

namespace settings_impl {

class IConfig;
class ConfigValidator;
class KeyMapper;

class IParserCursor {
public:
    virtual ~IParserCursor() = default;
};

class IParserErrorListener {
public:
    virtual ~IParserErrorListener() = default;
    virtual void onError(const IParserCursor& cursor, const std::string& message) = 0;
};

class IConfigParserCallback {
public:
    virtual ~IConfigParserCallback() = default;
    // False rejects the comment (error 305).
    virtual bool onComment(const IParserCursor& cursor, std::string_view comment) = 0;
    // value null: a key without value. 300 accepts; any other number is the line's error number.
    virtual int32_t onEntry(const IParserCursor& cursor, const std::string& key, const std::string* value) = 0;
    virtual void onError(const IParserCursor& cursor, int32_t number) = 0;
};

class IConfigParser {
public:
    virtual ~IConfigParser() = default;
    virtual void setValidator(const ConfigValidator* validator) = 0;
    virtual void setKeyMapper(const KeyMapper* keyMapper) = 0;
    virtual void setErrorListener(IParserErrorListener* listener) = 0;
    virtual void setStopOnError(bool stop) = 0;
    virtual void setAcceptKeysWithoutValue(bool accept) = 0;
    // A new store, or null when an error was counted with stop-on-error set. Raises
    // settings::Exception from reading the source (304, 307, 314, 315) or from a listener.
    virtual std::unique_ptr<IConfig> parse() = 0;
};

class PlainTextFileConfigParser : public IConfigParser {
public:
    struct Cursor : IParserCursor {
        Cursor(uint32_t line, uint32_t column) : line(line), column(column) {}
        uint32_t line;    // 0-based, blank and comment lines counted
        uint32_t column;  // 0-based byte offset of the line's first non-blank byte
    };

    class IBuffer {
    public:
        virtual ~IBuffer() = default;
        virtual void read(std::string& text) = 0;
    };

    // A settings file of at most 1,048,575 bytes of UTF-8: 304 when it cannot be opened, 307 on a
    // read error, 315 when longer, 314 when not UTF-8.
    class FileBuffer : public IBuffer {
    public:
        static constexpr size_t kMaxBytes = 1048575;
        explicit FileBuffer(FileName name) : name(std::move(name)) {}  // validated and canonical
        void read(std::string& text) override;

    private:
        FileName name;
    };

    class StringBuffer : public IBuffer {
    public:
        explicit StringBuffer(std::string text) : text(std::move(text)) {}
        void read(std::string& out) override;  // 314 when not UTF-8

    private:
        std::string text;
    };

    explicit PlainTextFileConfigParser(const FileName& file);
    explicit PlainTextFileConfigParser(const std::string& text);

    void setValidator(const ConfigValidator* v) override { validator = v; }
    void setKeyMapper(const KeyMapper* m) override { keyMapper = m; }
    void setErrorListener(IParserErrorListener* l) override { errorListener = l; }
    void setStopOnError(bool stop) override { stopOnError = stop; }
    void setAcceptKeysWithoutValue(bool accept) override { acceptKeysWithoutValue = accept; }
    std::unique_ptr<IConfig> parse() override;
    // The text the last parse read, as read.
    const std::string& text() const { return readText; }

    // The line routine: hands every comment, entry and error of text to callback.
    static void parseText(const std::string& text, IConfigParserCallback& callback, bool stopOnError,
                          bool acceptKeysWithoutValue);

private:
    const ConfigValidator* validator = nullptr;
    const KeyMapper* keyMapper = nullptr;
    IParserErrorListener* errorListener = nullptr;
    bool stopOnError = true;
    bool acceptKeysWithoutValue = false;
    std::unique_ptr<IBuffer> buffer;
    std::string readText;
};

// "line <line + 1>; char <column + 1>"; empty for a cursor of another kind.
std::string describeCursor(const IParserCursor& cursor);

// Counts errors and passes them on unchanged.
class ParserErrorCounter : public IParserErrorListener {
public:
    explicit ParserErrorCounter(IParserErrorListener* next = nullptr) : next(next) {}
    void onError(const IParserCursor& cursor, const std::string& message) override;
    uint32_t errorCount = 0;

private:
    IParserErrorListener* next;
};

// The name of an error number in messages ("Empty key", ...; "Unknown error" for others).
const char* errorName(int32_t number);

}  // namespace settings_impl
