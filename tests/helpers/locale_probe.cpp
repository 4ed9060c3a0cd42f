// locale_probe <expected LANGID>   prints the preferred UI languages and the chosen locale; exit
// code 0 when the choice is the expected identifier (decimal), 1 when not, 2 on an exception.
#include <cstdio>
#include <cstdlib>
#include <exception>

#include "platform/locale.h"

int main(int argc, char** argv) {
    try {
        std::printf("preferred UI languages:");
        for (LangId id : Locale::preferredLanguages()) std::printf(" %04X", id);
        const unsigned chosen = langIdOf(Locale::preferred());
        std::printf("\nchosen: %u\n", chosen);
        if (argc < 2) return 0;
        return chosen == std::strtoul(argv[1], nullptr, 10) ? 0 : 1;
    } catch (const std::exception& e) {
        std::printf("\n%s\n", e.what());
        return 2;
    }
}
