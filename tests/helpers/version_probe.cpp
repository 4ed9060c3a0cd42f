// version_probe <output file>   writes "<osGeneration> <major>.<minor> <is32BitProcess>\n<userDataFolder>\n"
#include <cstdio>

#include "platform/file_system.h"
#include "platform/sysinfo.h"

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    char folder[MAX_PATH] = {};
    userDataFolder(folder);
    FILE* out = std::fopen(argv[1], "w");
    if (out == nullptr) return 3;
    std::fprintf(out, "%d %lu.%lu %d\n%s\n", static_cast<int>(osGeneration), osVersion.dwMajorVersion,
                 osVersion.dwMinorVersion, is32BitProcess() ? 1 : 0, folder);
    std::fclose(out);
    return 0;
}
