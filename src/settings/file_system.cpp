#include "settings/file_system.h"

namespace settings_impl {

IFileSystem& defaultFileSystem();  // file_system_win.cpp or file_system_host.cpp

namespace {
IFileSystem* override_ = nullptr;
}

IFileSystem& fileSystem() { return override_ ? *override_ : defaultFileSystem(); }

IFileSystem* setFileSystem(IFileSystem* replacement) {
    IFileSystem* previous = override_;
    override_ = replacement;
    return previous;
}

}  // namespace settings_impl
