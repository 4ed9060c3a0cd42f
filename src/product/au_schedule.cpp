#if defined(_WIN32) && !defined(_CRT_RAND_S)
#define _CRT_RAND_S  // rand_s: the system's random source, before any header pulls in stdlib.h
#endif
#include "product/au_schedule.h"

#include <cstdlib>
#include <random>

namespace au {
namespace {

struct Generator {
    uint32_t state = 1;
    bool seeded = false;

    int next() {
        state = state * 214013u + 2531011u;
        return static_cast<int>((state >> 16) & 0x7FFF);
    }
};

Generator generator;

uint32_t systemSeed() {
#if defined(_WIN32)
    unsigned int value = 0;
    if (rand_s(&value) == 0) return value;
#endif
    return std::random_device{}();
}

}  // namespace

void seedScheduleGenerator(uint32_t seed) {
    generator.state = seed;
    generator.seeded = true;
}

Schedule randomSchedule() {
    if (!generator.seeded) seedScheduleGenerator(systemSeed());
    const int r1 = generator.next();
    const int r2 = generator.next();
    const int r3 = generator.next();
    const int r4 = generator.next();
    const int day = r1 % 7;  // next() is never negative
    Schedule s;
    s.frequency = (1u << day) + ((1u << (r2 % 7)) << 8);
    s.updateSchedule = static_cast<uint32_t>(r3 % 24);
    s.updateMin = static_cast<uint32_t>(r4 % 60);
    return s;
}

}  // namespace au
