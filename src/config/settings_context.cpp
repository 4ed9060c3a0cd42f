#include "config/settings_context.h"

SettingsContext::SettingsContext(const settings::settings_api& table, const BuiltValidator& sharedValidator,
                                 const BuiltKeyMapper& sharedKeyMapper)
    : api(table), validator(sharedValidator), keyMapper(sharedKeyMapper) {
    handle = api.createContext();
    if (handle == nullptr) throw settings::Exception(settings::status::Internal);
}

SettingsContext::~SettingsContext() { api.destroyContext(handle); }

int32_t SettingsContext::loadString(const std::string& text, bool acceptKeysWithoutValue) {
    return api.loadString(handle, text.c_str(), validator.handle, keyMapper.handle, kStopOnError,
                          acceptKeysWithoutValue);
}

int32_t SettingsContext::loadFile(const std::string& path) {
    return api.loadFile(handle, path.c_str(), validator.handle, keyMapper.handle, kStopOnError, false);
}

int32_t SettingsContext::getString(const std::string& key, std::string& value) const {
    const char* text = nullptr;
    const int32_t status = api.getString(handle, key.c_str(), &text);
    if (status == 0) value = text ? text : "";
    return status;
}

int32_t SettingsContext::getFlag(const std::string& key, int32_t& flag) const {
    return api.getFlag(handle, key.c_str(), &flag);
}

int32_t SettingsContext::getInteger(const std::string& key, int32_t& value) const {
    return api.getInteger(handle, key.c_str(), &value);
}

int32_t SettingsContext::removeKey(const std::string& key) { return api.removeKey(handle, key.c_str()); }

int32_t SettingsContext::isEmpty(bool& empty) const {
    int32_t flag = 0;
    const int32_t status = api.isEmpty(handle, &flag);
    if (status == 0) empty = flag != 0;
    return status;
}

int32_t SettingsContext::equals(const SettingsContext& other, bool& equal) const {
    int32_t flag = 0;
    const int32_t status = api.equals(handle, other.handle, &flag);
    if (status == 0) equal = flag != 0;
    return status;
}

namespace {

void collectKey(settings::Handle, uint32_t, uint32_t, const char* key, void* userData) {
    static_cast<std::vector<std::string>*>(userData)->push_back(key);
}

}  // namespace

int32_t SettingsContext::keys(std::vector<std::string>& out) const {
    out.clear();
    return api.forEach(handle, &collectKey, &out);
}

int32_t SettingsContext::merge(const SettingsContext& other) { return api.mergeConfig(handle, other.handle); }

int32_t SettingsContext::saveToFile(const std::string& path) { return api.saveToFile(handle, path.c_str()); }

int32_t SettingsContext::restoreLoadedFile(const std::string& path) {
    return api.restoreLoadedFile(handle, path.c_str());
}

int32_t SettingsContext::settingsFilePath(std::string& path) const {
    const char* text = nullptr;
    const int32_t status = api.getSettingsFilePath(handle, &text);
    if (status == 0) path = text ? text : "";
    return status;
}

bool SettingsContext::firstErrorLine(uint32_t& line) const {
    const uint32_t* lines = nullptr;
    uint32_t count = 0;
    if (api.getErrorLines(handle, &lines, &count) != 0 || count == 0 || lines == nullptr) return false;
    line = lines[0];
    return true;
}

bool SettingsContext::containsKey(const std::string& key) const {
    std::string value;
    int32_t flag = 0;
    return getString(key, value) == 0 || getFlag(key, flag) == 0;
}
