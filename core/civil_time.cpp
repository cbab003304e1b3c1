#include "core/civil_time.h"

namespace kadrel {

namespace {

constexpr int64_t secondsPerDay = 86400;
// Days from 0000-03-01 to 1970-01-01: the count runs from a March, so that
// the leap day ends each year.
constexpr int64_t epochShift = 719468;
constexpr int64_t daysPerEra = 146097;  // 400 years

int64_t floorDivide(int64_t value, int64_t divisor) {
    return value / divisor - (value % divisor != 0 && (value < 0) != (divisor < 0) ? 1 : 0);
}

}  // namespace

CivilTime civilFromSeconds(int64_t seconds) {
    const int64_t days = floorDivide(seconds, secondsPerDay);
    const int64_t inDay = seconds - days * secondsPerDay;
    const int64_t shifted = days + epochShift;
    const int64_t era = floorDivide(shifted, daysPerEra);
    const int64_t dayOfEra = shifted - era * daysPerEra;
    const int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const int64_t monthFromMarch = (5 * dayOfYear + 2) / 153;
    CivilTime time;
    time.day = static_cast<int>(dayOfYear - (153 * monthFromMarch + 2) / 5 + 1);
    time.month = static_cast<int>(monthFromMarch < 10 ? monthFromMarch + 3 : monthFromMarch - 9);
    time.year = yearOfEra + era * 400 + (time.month <= 2 ? 1 : 0);
    time.hour = static_cast<int>(inDay / 3600);
    time.minute = static_cast<int>(inDay / 60 % 60);
    time.second = static_cast<int>(inDay % 60);
    return time;
}

int64_t secondsFromCivil(const CivilTime& time) {
    const int64_t year = time.year - (time.month <= 2 ? 1 : 0);
    const int64_t era = floorDivide(year, 400);
    const int64_t yearOfEra = year - era * 400;
    const int64_t monthFromMarch = time.month > 2 ? time.month - 3 : time.month + 9;
    const int64_t dayOfYear = (153 * monthFromMarch + 2) / 5 + time.day - 1;
    const int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    const int64_t days = era * daysPerEra + dayOfEra - epochShift;
    return days * secondsPerDay + time.hour * 3600 + time.minute * 60 + time.second;
}

}  // namespace kadrel
