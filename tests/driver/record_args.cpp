// Stand-in for a program the driver starts: writes its own command line to "<its path>.args".
#include "platform/win32.h"

#include <cstdio>
#include <string>

int main() {
    char self[MAX_PATH] = {};
    if (GetModuleFileNameA(nullptr, self, MAX_PATH) == 0) return 2;
    std::FILE* out = std::fopen((std::string(self) + ".args").c_str(), "wb");
    if (out == nullptr) return 3;
    std::fputs(GetCommandLineA(), out);
    std::fclose(out);
    return 0;
}
