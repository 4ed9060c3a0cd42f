#include "settings/settings_api.h"

#include <cstring>
#include <new>

#include "settings/config.h"
#include "settings/context.h"
#include "settings/file_name.h"
#include "settings/key_mapper.h"
#include "settings/parser.h"
#include "settings/serializer.h"
#include "settings/validators.h"

namespace settings {

namespace {

using namespace settings_impl;

Context* ctx(Handle h) { return reinterpret_cast<Context*>(h); }
ConfigValidator* validatorOf(ValidatorHandle h) { return reinterpret_cast<ConfigValidator*>(h); }
ConfigValidatorBuilder* validatorBuilderOf(ValidatorBuilderHandle h) {
    return reinterpret_cast<ConfigValidatorBuilder*>(h);
}
KeyMapper* keyMapperOf(KeyMapperHandle h) { return reinterpret_cast<KeyMapper*>(h); }
KeyMapperBuilder* keyMapperBuilderOf(KeyMapperBuilderHandle h) { return reinterpret_cast<KeyMapperBuilder*>(h); }

// Runs body, turning every exception into the table's status.
template <class Body>
int32_t guarded(Body&& body) {
    try {
        body();
        return status::Ok;
    } catch (const Exception& e) {
        return e.code();
    } catch (...) {
        return status::Internal;
    }
}

template <class... P>
bool anyNull(const P*... p) {
    return ((p == nullptr) || ...);
}

Handle createContext() {
    try {
        return reinterpret_cast<Handle>(new Context());
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

void destroyContext(Handle h) { delete ctx(h); }

int32_t getSettingsFilePath(Handle h, const char** path) {
    if (anyNull(h, path)) return status::NullArgument;
    *path = ctx(h)->settingsFilePath.c_str();
    return status::Ok;
}

int32_t load(Context& context, PlainTextFileConfigParser& parser, ValidatorHandle validator,
             KeyMapperHandle keyMapper, int32_t stopOnError, int32_t acceptKeysWithoutValue) {
    parser.setErrorListener(&context);
    parser.setValidator(validatorOf(validator));
    parser.setKeyMapper(keyMapperOf(keyMapper));
    parser.setStopOnError(stopOnError != 0);
    parser.setAcceptKeysWithoutValue(acceptKeysWithoutValue != 0);
    context.errorLines.clear();
    std::unique_ptr<IConfig> parsed = parser.parse();
    if (!parsed) return status::TextMalformed;
    context.store = merge(*context.store, std::move(static_cast<Config&>(*parsed)));
    return status::Ok;
}

int32_t loadFile(Handle h, const char* fileName, ValidatorHandle validator, KeyMapperHandle keyMapper,
                 int32_t stopOnError, int32_t acceptKeysWithoutValue) {
    if (anyNull(h, fileName)) return status::NullArgument;
    int32_t result = status::Ok;
    const int32_t caught = guarded([&] {
        PlainTextFileConfigParser parser(FileName(fileName).canonicalize());
        result = load(*ctx(h), parser, validator, keyMapper, stopOnError, acceptKeysWithoutValue);
        if (result == status::Ok) ctx(h)->fileText = parser.text();
    });
    return caught != status::Ok ? caught : result;
}

int32_t loadString(Handle h, const char* text, ValidatorHandle validator, KeyMapperHandle keyMapper,
                   int32_t stopOnError, int32_t acceptKeysWithoutValue) {
    if (anyNull(h, text)) return status::NullArgument;
    int32_t result = status::Ok;
    const int32_t caught = guarded([&] {
        PlainTextFileConfigParser parser{std::string(text)};
        result = load(*ctx(h), parser, validator, keyMapper, stopOnError, acceptKeysWithoutValue);
    });
    return caught != status::Ok ? caught : result;
}

int32_t mergeConfig(Handle h, Handle other) {
    if (anyNull(h, other)) return status::NullArgument;
    return guarded([&] { ctx(h)->store = merge(*ctx(h)->store, *ctx(other)->store); });
}

int32_t getErrorLines(Handle h, const uint32_t** lines, uint32_t* count) {
    if (anyNull(h, lines, count)) return status::NullArgument;
    const auto& errorLines = ctx(h)->errorLines;
    *count = static_cast<uint32_t>(errorLines.size());
    *lines = errorLines.empty() ? nullptr : errorLines.data();
    return status::Ok;
}

int32_t saveToFile(Handle h, const char* fileName) {
    if (anyNull(h, fileName)) return status::NullArgument;
    return guarded([&] { save(*ctx(h)->store, FileName(fileName).canonicalize()); });
}

int32_t restoreLoadedFile(Handle h, const char* fileName) {
    if (anyNull(h, fileName)) return status::NullArgument;
    if (!ctx(h)->fileText) return status::InvalidKey;
    return guarded([&] { saveText(*ctx(h)->fileText, FileName(fileName).canonicalize()); });
}

int32_t isEmpty(Handle h, int32_t* empty) {
    if (anyNull(h, empty)) return status::NullArgument;
    *empty = ctx(h)->store->isEmpty() ? 1 : 0;
    return status::Ok;
}

int32_t equalsFn(Handle h, Handle other, int32_t* equal) {
    if (anyNull(h, other, equal)) return status::NullArgument;
    return guarded([&] { *equal = settings_impl::equals(*ctx(h)->store, *ctx(other)->store) ? 1 : 0; });
}

int32_t forEach(Handle h, ForEachCallback callback, void* userData) {
    if (h == nullptr || callback == nullptr) return status::NullArgument;
    return guarded([&] {
        // The callback may change the store; the keys it is given stay those of the store it started on.
        const std::shared_ptr<const Config> snapshot = ctx(h)->store;
        const uint32_t count = static_cast<uint32_t>(snapshot->entries().size());
        uint32_t index = 0;
        for (const auto& entry : snapshot->entries()) callback(h, count, index++, entry.first.c_str(), userData);
    });
}

int32_t getString(Handle h, const char* key, const char** value) {
    if (anyNull(h, key, value)) return status::NullArgument;
    return guarded([&] {
        const std::string& text = ctx(h)->store->getString(key);
        *value = text.c_str();
    });
}

int32_t getFlag(Handle h, const char* key, int32_t* flag) {
    if (anyNull(h, key, flag)) return status::NullArgument;
    return guarded([&] {
        const Config& store = *ctx(h)->store;
        if (!store.contains(key)) throw ExceptionCode<303>(key);
        const bool on = !store.hasValue(key) || store.getBoolean(key);
        *flag = on ? 1 : 0;
    });
}

int32_t getInteger(Handle h, const char* key, int32_t* value) {
    if (anyNull(h, key, value)) return status::NullArgument;
    return guarded([&] {
        const int32_t n = ctx(h)->store->getInteger(key);
        *value = n;
    });
}

int32_t getReal(Handle h, const char* key, double* value) {
    if (anyNull(h, key, value)) return status::NullArgument;
    return guarded([&] {
        const double d = ctx(h)->store->getReal(key);
        *value = d;
    });
}

int32_t removeKeyFn(Handle h, const char* key) {
    if (anyNull(h, key)) return status::NullArgument;
    return guarded([&] { ctx(h)->store = settings_impl::removeKey(*ctx(h)->store, {std::string(key)}); });
}

void destroyValidator(ValidatorHandle v) { delete validatorOf(v); }

ValidatorBuilderHandle createValidatorBuilder() {
    return reinterpret_cast<ValidatorBuilderHandle>(new (std::nothrow) ConfigValidatorBuilder());
}

void destroyValidatorBuilder(ValidatorBuilderHandle b) { delete validatorBuilderOf(b); }

int32_t buildValidator(ValidatorBuilderHandle b, ValidatorHandle* out) {
    if (anyNull(b, out)) return status::NullArgument;
    return guarded([&] { *out = reinterpret_cast<ValidatorHandle>(validatorBuilderOf(b)->build().release()); });
}

int32_t addTypeValidator(ValidatorBuilderHandle b, const char* key, int32_t type) {
    if (anyNull(b, key)) return status::NullArgument;
    return guarded([&] { validatorBuilderOf(b)->addTypeValidator(key, type); });
}
int32_t addStringValidator(ValidatorBuilderHandle b, const char* key) { return addTypeValidator(b, key, String); }
int32_t addIntegerValidator(ValidatorBuilderHandle b, const char* key) { return addTypeValidator(b, key, Integer); }
int32_t addBooleanValidator(ValidatorBuilderHandle b, const char* key) { return addTypeValidator(b, key, Boolean); }
int32_t addRealValidator(ValidatorBuilderHandle b, const char* key) { return addTypeValidator(b, key, Real); }

int32_t setAcceptUnknownKeys(ValidatorBuilderHandle b, int32_t accept) {
    if (b == nullptr) return status::NullArgument;
    validatorBuilderOf(b)->setAcceptUnknownKeys(accept != 0);
    return status::Ok;
}

int32_t addFixedValues(ValidatorBuilderHandle b, const char* key, const FixedValueSpec* values, uint32_t count) {
    if (anyNull(b, key)) return status::NullArgument;
    if (count == 0) return status::Ok;
    if (values == nullptr) return status::NullArgument;
    for (uint32_t i = 0; i < count; ++i) {
        if (values[i].name == nullptr) return status::NullArgument;
        const int32_t result = guarded(
            [&] { validatorBuilderOf(b)->addFixedValue(key, values[i].name, values[i].value, values[i].flags); });
        if (result != status::Ok) return result;
    }
    return status::Ok;
}

int32_t addDirnameValidator(ValidatorBuilderHandle b, const char* key, int32_t unchecked) {
    if (anyNull(b, key)) return status::NullArgument;
    return guarded([&] { validatorBuilderOf(b)->addDirnameValidator(key, unchecked != 0); });
}

void destroyKeyMapper(KeyMapperHandle m) { delete keyMapperOf(m); }

KeyMapperBuilderHandle createKeyMapperBuilder() {
    return reinterpret_cast<KeyMapperBuilderHandle>(new (std::nothrow) KeyMapperBuilder());
}

void destroyKeyMapperBuilder(KeyMapperBuilderHandle b) { delete keyMapperBuilderOf(b); }

int32_t buildKeyMapper(KeyMapperBuilderHandle b, KeyMapperHandle* out) {
    if (anyNull(b, out)) return status::NullArgument;
    return guarded([&] { *out = reinterpret_cast<KeyMapperHandle>(keyMapperBuilderOf(b)->build().release()); });
}

int32_t addKeyMapping(KeyMapperBuilderHandle b, const char* from, const char* to, int32_t caseSensitive) {
    if (anyNull(b, from, to)) return status::NullArgument;
    return guarded([&] { keyMapperBuilderOf(b)->addMapping(from, to, caseSensitive != 0); });
}

}  // namespace

void initSettingsApi(settings_api* table) {
    std::memset(table, 0, sizeof *table);
    table->createContext = &createContext;
    table->destroyContext = &destroyContext;
    table->getSettingsFilePath = &getSettingsFilePath;
    table->loadFile = &loadFile;
    table->loadString = &loadString;
    table->mergeConfig = &mergeConfig;
    table->getErrorLines = &getErrorLines;
    table->saveToFile = &saveToFile;
    table->restoreLoadedFile = &restoreLoadedFile;
    table->isEmpty = &isEmpty;
    table->equals = &equalsFn;
    table->forEach = &forEach;
    table->getString = &getString;
    table->getFlag = &getFlag;
    table->getInteger = &getInteger;
    table->getReal = &getReal;
    table->removeKey = &removeKeyFn;
    table->destroyValidator = &destroyValidator;
    table->createValidatorBuilder = &createValidatorBuilder;
    table->destroyValidatorBuilder = &destroyValidatorBuilder;
    table->buildValidator = &buildValidator;
    table->addStringValidator = &addStringValidator;
    table->addIntegerValidator = &addIntegerValidator;
    table->addBooleanValidator = &addBooleanValidator;
    table->addRealValidator = &addRealValidator;
    table->setAcceptUnknownKeys = &setAcceptUnknownKeys;
    table->addFixedValues = &addFixedValues;
    table->addDirnameValidator = &addDirnameValidator;
    table->destroyKeyMapper = &destroyKeyMapper;
    table->createKeyMapperBuilder = &createKeyMapperBuilder;
    table->destroyKeyMapperBuilder = &destroyKeyMapperBuilder;
    table->buildKeyMapper = &buildKeyMapper;
    table->addKeyMapping = &addKeyMapping;
}

}  // namespace settings
