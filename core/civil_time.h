// Seconds since 1970, UTC, and the calendar's date and time of day, both
// ways: the proleptic Gregorian calendar, without the C library's time zones.
#pragma once

#include <cstdint>

namespace kadrel {

struct CivilTime {
    int64_t year = 1970;
    int month = 1;  // 1 to 12
    int day = 1;    // 1 to 31
    int hour = 0;
    int minute = 0;
    int second = 0;
};

CivilTime civilFromSeconds(int64_t seconds);
int64_t secondsFromCivil(const CivilTime& time);

}  // namespace kadrel
