#include "settings/memory_file_system.h"

#include <algorithm>

#include "settings/exception.h"
#include "settings/file_name.h"

namespace settings_impl {

namespace {

std::string parentOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

class MemoryStagedFile : public IStagedFile {
public:
    MemoryStagedFile(MemoryFileSystem& fs, std::string target, std::string staged, bool protectedAccess)
        : fs(fs), target(std::move(target)), staged(std::move(staged)) {
        fs.files[this->staged].protectedAccess = protectedAccess;
    }
    ~MemoryStagedFile() override {
        if (!committed) fs.files.erase(staged);
    }
    size_t write(const char* data, size_t size) override {
        std::string& content = fs.files[staged].content;
        const size_t room = fs.writeLimit > content.size() ? fs.writeLimit - content.size() : 0;
        const size_t n = std::min(size, room);
        content.append(data, n);
        return n;
    }
    bool commit(bool replaceExisting) override {
        const auto existing = fs.files.find(target);
        if (fs.failCommit || (existing != fs.files.end()) != replaceExisting) return false;
        MemoryFileSystem::File file = fs.files[staged];
        if (replaceExisting) file.protectedAccess = existing->second.protectedAccess;  // keeps its own rules
        fs.files.erase(staged);
        fs.files[target] = std::move(file);
        committed = true;
        return true;
    }

private:
    MemoryFileSystem& fs;
    std::string target;
    std::string staged;
    bool committed = false;
};

}  // namespace

std::string MemoryFileSystem::currentDirectory() {
    if (cwd.empty()) throw settings::Exception(settings::status::Internal, "no current directory");
    return cwd;
}

std::string MemoryFileSystem::commonAppDataFolder() {
    if (appData.empty()) throw settings::Exception(settings::status::Internal, "no common application data folder");
    return appData;
}

bool MemoryFileSystem::exists(const FileName& name) {
    const std::string& path = name.text();
    return FileName::isDriveDesignator(path) || files.count(path) != 0 || directories.count(path) != 0;
}

DirectoryResult MemoryFileSystem::createDirectory(const FileName& name) {
    const std::string& path = name.text();
    if (exists(name)) return DirectoryResult::AlreadyExists;
    const std::string parent = parentOf(path);
    if (!FileName::isDriveDesignator(parent) && directories.count(parent) == 0) return DirectoryResult::Failed;
    directories.insert(path);
    return DirectoryResult::Created;
}

bool MemoryFileSystem::canOpenForReading(const FileName& name) {
    return files.count(name.text()) != 0 && unreadable.count(name.text()) == 0;
}

ReadResult MemoryFileSystem::readFile(const FileName& name, size_t limit) {
    ReadResult result;
    if (!canOpenForReading(name)) return result;
    if (readErrors.count(name.text()) != 0) {
        result.outcome = ReadResult::ReadError;
        return result;
    }
    const std::string& content = files[name.text()].content;
    result.outcome = ReadResult::Ok;
    result.bytes = content.substr(0, std::min(limit, content.size()));
    return result;
}

std::unique_ptr<IStagedFile> MemoryFileSystem::stageFile(const FileName& target, bool protectedAccess) {
    const std::string parent = parentOf(target.text());
    if (failStage || (!FileName::isDriveDesignator(parent) && directories.count(parent) == 0)) return nullptr;
    const std::string staged = parent + "/~stage" + std::to_string(++stagedCount) + ".tmp";
    return std::unique_ptr<IStagedFile>(new MemoryStagedFile(*this, target.text(), staged, protectedAccess));
}

}  // namespace settings_impl
