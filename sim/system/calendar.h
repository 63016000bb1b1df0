// Civil dates (proleptic Gregorian) and days since 1970-01-01: the device's
// clock, its file times and the scenario's date-times all count this way.
#pragma once
#include <cstdint>

namespace sim {

// Days from 1970-01-01 to year-month-day (month 1..12, day 1..31).
int64_t daysFromCivil(int64_t year, unsigned month, unsigned day);
// The date `days` after 1970-01-01 (before it when negative).
void civilFromDays(int64_t days, int64_t& year, unsigned& month, unsigned& day);

}  // namespace sim
