#pragma once
// The update agent's check schedule and the generator of fresh schedules. Platform-free.
#include <cstdint>

namespace au {

// frequency: a packed word, the weekly day as a single bit in the lowest byte and a further day bit
// in the second byte; words read from the registry pass unchanged. updateSchedule is the hour,
// updateMin the minute.
struct Schedule {
    uint32_t frequency = 0;
    uint32_t updateSchedule = 0;
    uint32_t updateMin = 0;
};

inline bool operator==(const Schedule& a, const Schedule& b) {
    return a.frequency == b.frequency && a.updateSchedule == b.updateSchedule && a.updateMin == b.updateMin;
}

// A new schedule from the process-wide generator (the C runtime's classic linear congruential one,
// so a given seed always gives the same schedules). The generator seeds itself from the system's
// random source on its first draw, so that machines falling back to a fresh schedule do not all
// check in the same minute.
Schedule randomSchedule();

// Seeds the generator explicitly; later draws continue from this seed.
void seedScheduleGenerator(uint32_t seed);

}  // namespace au
