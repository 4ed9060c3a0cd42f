#pragma once
// An in-memory file system behind the settings seam: the native build's stand-in and the tests'
// way to inject failures. Names are the UTF-8 texts of canonical FileNames ("C:/dir/file"); every
// drive root exists.
#include <cstdint>
#include <map>
#include <set>
#include <string>

#include "settings/file_system.h"

namespace settings_impl {

class MemoryFileSystem : public IFileSystem {
public:
    struct File {
        std::string content;
        bool protectedAccess = false;  // created with the access rules of a new settings file
    };

    std::string currentDirectory() override;
    std::string commonAppDataFolder() override;
    bool exists(const FileName& name) override;
    DirectoryResult createDirectory(const FileName& name) override;
    bool canOpenForReading(const FileName& name) override;
    ReadResult readFile(const FileName& name, size_t limit) override;
    std::unique_ptr<IStagedFile> stageFile(const FileName& target, bool protectedAccess) override;

    std::string cwd = "C:/work";
    std::string appData = "C:/ProgramData";  // empty: the folder cannot be obtained (200)
    std::map<std::string, File> files;
    std::set<std::string> directories;
    std::set<std::string> unreadable;      // exist, but may not be opened for reading
    std::set<std::string> readErrors;      // opening works, reading fails

    // Injected failures of staged writing.
    size_t writeLimit = SIZE_MAX;  // bytes a staged file accepts before writes come up short
    bool failStage = false;        // the staged file cannot be created
    bool failCommit = false;       // moving it into place fails
    unsigned stagedCount = 0;      // staged files created so far
};

}  // namespace settings_impl
