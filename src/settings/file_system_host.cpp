// The native build carries only the platform-free core: its file system lives in memory.
#include "settings/memory_file_system.h"

namespace settings_impl {

IFileSystem& defaultFileSystem() {
    static MemoryFileSystem fs;
    return fs;
}

}  // namespace settings_impl
