#pragma once
// The table of plain functions through which the install configuration uses the settings library.
// Every function that returns a status returns 0 on success, 300 when a required pointer argument
// is null, the code of a caught settings::Exception, and 200 for any other exception; nothing
// escapes from them (createContext, which returns no status, raises). Out arguments are written only on success. Handles are opaque; validators and key
// mappers are not owned by the contexts that use them and must outlive every load through them.
#include <cstdint>

#include "settings/exception.h"

namespace settings {

struct ContextObject;
struct ValidatorObject;
struct ValidatorBuilderObject;
struct KeyMapperObject;
struct KeyMapperBuilderObject;

typedef ContextObject* Handle;
typedef ValidatorObject* ValidatorHandle;
typedef ValidatorBuilderObject* ValidatorBuilderHandle;
typedef KeyMapperObject* KeyMapperHandle;
typedef KeyMapperBuilderObject* KeyMapperBuilderHandle;

// Flags of a fixed-value record.
enum FixedValueFlags : uint32_t { CaseSensitive = 1, KeepCanonicalText = 2 };

// One accepted spelling of a fixed-value table and the number it stands for.
struct FixedValueSpec {
    const char* name;
    int32_t value;
    uint32_t flags;
};

// forEach: called for every key in store order.
typedef void (*ForEachCallback)(Handle handle, uint32_t keyCount, uint32_t index, const char* key, void* userData);

struct settings_api {
    // 0: a new context whose settings file path is <common application data>\Brennic\Mako\mako.settings.cfg;
    // null when memory is exhausted. Raises settings::Exception 200 when that folder cannot be had.
    Handle (*createContext)();
    void (*destroyContext)(Handle handle);                                      // 1: null ignored
    int32_t (*getSettingsFilePath)(Handle handle, const char** path);           // 2: owned by the handle
    // 3, 4: parse and merge over the handle's store. A faulty line gives 313 and leaves the store
    // unchanged; getErrorLines then holds its 0-based index. A missing file gives 304.
    int32_t (*loadFile)(Handle handle, const char* fileName, ValidatorHandle validator, KeyMapperHandle keyMapper,
                        int32_t stopOnError, int32_t acceptKeysWithoutValue);
    int32_t (*loadString)(Handle handle, const char* text, ValidatorHandle validator, KeyMapperHandle keyMapper,
                          int32_t stopOnError, int32_t acceptKeysWithoutValue);
    int32_t (*mergeConfig)(Handle handle, Handle other);                        // 5: other's entries win
    int32_t (*getErrorLines)(Handle handle, const uint32_t** lines, uint32_t* count);  // 6: lines null when count 0
    // 7: writes the store to the file; the file holds its old or its new content after any failure.
    int32_t (*saveToFile)(Handle handle, const char* fileName);
    int32_t (*isEmpty)(Handle handle, int32_t* empty);                          // 8
    int32_t (*equals)(Handle handle, Handle other, int32_t* equal);             // 9
    int32_t (*forEach)(Handle handle, ForEachCallback callback, void* userData);  // 10
    int32_t (*getString)(Handle handle, const char* key, const char** value);   // 11: owned by the store
    // 12: 1 for a key without value, else its boolean reading; 303 for a missing key.
    int32_t (*getFlag)(Handle handle, const char* key, int32_t* flag);
    int32_t (*getInteger)(Handle handle, const char* key, int32_t* value);      // 13
    int32_t (*getReal)(Handle handle, const char* key, double* value);          // 14
    int32_t (*removeKey)(Handle handle, const char* key);                       // 15: 303 when absent
    void (*destroyValidator)(ValidatorHandle validator);                        // 16: null ignored
    ValidatorBuilderHandle (*createValidatorBuilder)();                         // 17: null when out of memory
    void (*destroyValidatorBuilder)(ValidatorBuilderHandle builder);            // 18: null ignored
    int32_t (*buildValidator)(ValidatorBuilderHandle builder, ValidatorHandle* validator);  // 19
    int32_t (*addStringValidator)(ValidatorBuilderHandle builder, const char* key);   // 20
    int32_t (*addIntegerValidator)(ValidatorBuilderHandle builder, const char* key);  // 21
    int32_t (*addBooleanValidator)(ValidatorBuilderHandle builder, const char* key);  // 22
    int32_t (*addRealValidator)(ValidatorBuilderHandle builder, const char* key);     // 23
    int32_t (*setAcceptUnknownKeys)(ValidatorBuilderHandle builder, int32_t accept);  // 24
    // 25: records added in order; stops at the first failure, keeping the ones before it.
    int32_t (*addFixedValues)(ValidatorBuilderHandle builder, const char* key, const FixedValueSpec* values,
                              uint32_t count);
    int32_t (*addDirnameValidator)(ValidatorBuilderHandle builder, const char* key, int32_t unchecked);  // 26
    void (*destroyKeyMapper)(KeyMapperHandle keyMapper);                        // 27: null ignored
    KeyMapperBuilderHandle (*createKeyMapperBuilder)();                         // 28: null when out of memory
    void (*destroyKeyMapperBuilder)(KeyMapperBuilderHandle builder);            // 29: null ignored
    int32_t (*buildKeyMapper)(KeyMapperBuilderHandle builder, KeyMapperHandle* keyMapper);  // 30
    // 31: the mapping added last wins among those that match.
    int32_t (*addKeyMapping)(KeyMapperBuilderHandle builder, const char* from, const char* to, int32_t caseSensitive);
    // 32: writes the bytes the handle's last successful loadFile read to fileName unchanged, written
    // as saveToFile writes; 303 when the handle has loaded no file.
    int32_t (*restoreLoadedFile)(Handle handle, const char* fileName);
};

// Zeroes the table, then stores every entry. Callers keep a copy and call through it.
void initSettingsApi(settings_api* table);

}  // namespace settings
