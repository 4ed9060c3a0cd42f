// Fresh update schedules: the generator's sequence for a given seed, and a seed of its own otherwise.
#include "product/au_schedule.h"

#include <gtest/gtest.h>

namespace {

TEST(AgentSchedule, SeededGeneratorGivesTheClassicSequence) {
    au::seedScheduleGenerator(1);
    EXPECT_EQ((au::Schedule{0x240, 22, 40}), au::randomSchedule());
    EXPECT_EQ((au::Schedule{0x408, 6, 18}), au::randomSchedule());
    au::seedScheduleGenerator(1);
    EXPECT_EQ((au::Schedule{0x240, 22, 40}), au::randomSchedule()) << "reseeding restarts the sequence";
}

}  // namespace
