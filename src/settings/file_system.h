#pragma once
// The narrow seam through which the settings library reaches the file system: reading a settings
// file, the current and the common application-data folders, directories, and the staged writing
// that replaces a settings file in one step. The product uses the Win32 implementation; the native
// build and tests use the in-memory one (memory_file_system.h), which can also inject failures.
#include <cstddef>
#include <memory>
#include <string>

namespace settings_impl {

class FileName;

// A new file beside its target, invisible under the target's name until committed. Destroying an
// uncommitted (or failed) staged file removes it, so no stray file is left on any failure path.
class IStagedFile {
public:
    virtual ~IStagedFile() = default;
    // Appends; returns the number of bytes written (less than size on failure).
    virtual size_t write(const char* data, size_t size) = 0;
    // Flushes the content to disk and moves the file into the target's place in one step. With
    // replaceExisting the target must exist and keeps its own access rules; without it the target
    // must not exist. False: the target is exactly as it was and the staged file is gone.
    virtual bool commit(bool replaceExisting) = 0;
};

enum class DirectoryResult { Created, AlreadyExists, Failed };

struct ReadResult {
    enum Outcome { Ok, CannotOpen, ReadError } outcome = CannotOpen;
    std::string bytes;  // at most the limit asked for
};

class IFileSystem {
public:
    virtual ~IFileSystem() = default;
    // UTF-8. Failure: settings::Exception 200.
    virtual std::string currentDirectory() = 0;
    virtual std::string commonAppDataFolder() = 0;
    // Whether a status query of the name succeeds (file or directory).
    virtual bool exists(const FileName& name) = 0;
    virtual DirectoryResult createDirectory(const FileName& name) = 0;
    // Whether the file exists and may be opened for reading.
    virtual bool canOpenForReading(const FileName& name) = 0;
    // Reads the file from its start, at most limit bytes.
    virtual ReadResult readFile(const FileName& name, size_t limit) = 0;
    // Creates an empty staged file beside target; with protectedAccess it carries the access rules
    // of a new settings file. Null when it cannot be created.
    virtual std::unique_ptr<IStagedFile> stageFile(const FileName& target, bool protectedAccess) = 0;
};

// The process's file system: Win32 in the product, an in-memory one on the native build.
IFileSystem& fileSystem();
// Installs a replacement (tests); null restores the default. Returns the previous override or null.
IFileSystem* setFileSystem(IFileSystem* replacement);

// RAII form of setFileSystem for tests.
class ScopedFileSystem {
public:
    explicit ScopedFileSystem(IFileSystem& replacement) : previous(setFileSystem(&replacement)) {}
    ~ScopedFileSystem() { setFileSystem(previous); }
    ScopedFileSystem(const ScopedFileSystem&) = delete;
    ScopedFileSystem& operator=(const ScopedFileSystem&) = delete;

private:
    IFileSystem* previous;
};

}  // namespace settings_impl
