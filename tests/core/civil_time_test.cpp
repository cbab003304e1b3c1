// Seconds since 1970 and the calendar, both ways, across leap days, century
// years and the epoch.
#include "core/civil_time.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <random>
#include <utility>

namespace kadrel {
namespace {

TEST(CivilTime, KnownDatesBothWays) {
    const std::pair<int64_t, CivilTime> cases[] = {
        {0, {1970, 1, 1, 0, 0, 0}},
        {-1, {1969, 12, 31, 23, 59, 59}},
        {951782400, {2000, 2, 29, 0, 0, 0}},
        {4107542400, {2100, 3, 1, 0, 0, 0}},
        {1796083199, {2026, 11, 30, 23, 59, 59}},
        {-62135596800, {1, 1, 1, 0, 0, 0}},
    };
    for (const auto& [seconds, civil] : cases) {
        const CivilTime found = civilFromSeconds(seconds);
        EXPECT_EQ((std::array<int64_t, 6>{found.year, found.month, found.day, found.hour, found.minute, found.second}),
                  (std::array<int64_t, 6>{civil.year, civil.month, civil.day, civil.hour, civil.minute, civil.second}))
            << seconds;
        EXPECT_EQ(secondsFromCivil(civil), seconds);
    }
    std::mt19937_64 random(7);
    for (int i = 0; i < 10000; ++i) {
        const int64_t seconds = static_cast<int64_t>(random() % 20000000000ull) - 5000000000;
        EXPECT_EQ(secondsFromCivil(civilFromSeconds(seconds)), seconds);
    }
}

}  // namespace
}  // namespace kadrel
