// locale_probe <expected LANGID>   prints the chosen locale; exit code 0 when it is the expected
// identifier (decimal), 1 when not, 2 on an exception.
#include <cstdio>
#include <cstdlib>
#include <exception>

#include "platform/locale.h"

int main(int argc, char** argv) {
    try {
        const unsigned chosen = langIdOf(Locale::preferred());
        std::printf("chosen: %u\n", chosen);
        return argc == 2 && chosen == std::strtoul(argv[1], nullptr, 10) ? 0 : 1;
    } catch (const std::exception& e) {
        std::printf("%s\n", e.what());
        return 2;
    }
}
