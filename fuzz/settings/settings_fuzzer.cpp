// Arbitrary bytes through the settings parser (with the launcher's kind of value rules and key
// mapping) and through file-name checks. Beyond sanitizer findings it checks that the table never
// reports a foreign exception, that whatever loads is saved and read back unchanged, and that
// canonical names are stable.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "settings/exception.h"
#include "settings/file_name.h"
#include "settings/memory_file_system.h"
#include "settings/settings_api.h"

using namespace settings_impl;

namespace {

struct Launcher {
    settings::settings_api api;
    settings::ValidatorHandle validator = nullptr;
    settings::KeyMapperHandle mapper = nullptr;

    Launcher() {
        settings::initSettingsApi(&api);
        settings::ValidatorBuilderHandle vb = api.createValidatorBuilder();
        settings::KeyMapperBuilderHandle kb = api.createKeyMapperBuilder();
        const settings::FixedValueSpec toggles[] = {{"Enable", 1, 1}, {"Disable", 0, 1}, {"1", 1, 1}, {"0", 0, 1}};
        const settings::FixedValueSpec levels[] = {{"1", 1, 0}, {"2", 2, 0}, {"3", 3, 0}, {"4", 4, 0},
                                                   {"L", 1, 2}, {"M", 2, 2}, {"H", 3, 2}, {"VH", 4, 2}};
        for (const char* key : {"INSTALL_SILENT", "STATIC", "AUTO_UPDATE", "EULA", "SPONSORS"}) {
            api.addFixedValues(vb, key, toggles, 4);
            api.addKeyMapping(kb, key, key, 0);
        }
        api.addFixedValues(vb, "SECURITY_LEVEL", levels, 8);
        for (const char* key : {"INSTALLDIR", "USERDIR"}) {
            api.addDirnameValidator(vb, key, 0);
            api.addKeyMapping(kb, key, key, 0);
        }
        api.addIntegerValidator(vb, "/lang");
        api.addStringValidator(vb, "MSI_CMDLINE");
        api.addBooleanValidator(vb, "FLAG");
        api.addRealValidator(vb, "RATIO");
        api.addKeyMapping(kb, "MSI_CMDLINE", "MSI_CMDLINE", 0);
        if (api.buildValidator(vb, &validator) != 0 || api.buildKeyMapper(kb, &mapper) != 0) std::abort();
        api.destroyValidatorBuilder(vb);
        api.destroyKeyMapperBuilder(kb);
    }
};

bool knownStatus(int32_t status) { return status == 0 || (status >= 300 && status <= 315); }

void checkLoadAndRoundTrip(const Launcher& l, const std::string& text, bool stopOnError, bool keysWithoutValue,
                           bool strict) {
    MemoryFileSystem fs;
    ScopedFileSystem scope(fs);
    settings::Handle h = l.api.createContext();
    const int32_t status = l.api.loadString(h, text.c_str(), strict ? l.validator : nullptr, l.mapper,
                                            stopOnError, keysWithoutValue);
    if (!knownStatus(status)) std::abort();
    if (status == 0) {
        if (l.api.saveToFile(h, "C:/fuzz/settings.cfg") != 0) std::abort();
        settings::Handle back = l.api.createContext();
        if (l.api.loadFile(back, "C:/fuzz/settings.cfg", strict ? l.validator : nullptr, l.mapper, 1, 1) != 0) {
            std::abort();
        }
        int32_t equal = 0;
        if (l.api.equals(h, back, &equal) != 0 || equal != 1) std::abort();
        l.api.destroyContext(back);
    }
    l.api.destroyContext(h);
}

void checkFileName(const std::string& text) {
    MemoryFileSystem fs;
    ScopedFileSystem scope(fs);
    try {
        const FileName canonical = FileName(text).canonicalize();
        const std::string& c = canonical.text();
        if (c.find('\\') != std::string::npos || c.find("//") != std::string::npos || c.back() == '/') std::abort();
        if (!FileName::isDriveDesignator(FileName::split(c).parts.front())) std::abort();
        if (FileName(c).canonicalize().text() != c) std::abort();
    } catch (const settings::Exception& e) {
        // 200: well-formed by the library's lax UTF-8 rule, yet without a UTF-16 form (overlong forms).
        if (!knownStatus(e.code()) && e.code() != settings::status::Internal) std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const Launcher launcher;
    if (size == 0) return 0;
    const uint8_t mode = data[0];
    // C strings end at the first zero byte, as they do for the table's callers.
    std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
    text = text.c_str();
    checkLoadAndRoundTrip(launcher, text, mode & 1, mode & 2, mode & 4);
    if (size <= 300) checkFileName(text);
    return 0;
}
