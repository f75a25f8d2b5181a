// Day numbers of the proleptic Gregorian calendar, 1 = 1 January of year 1:
// the one pair every part of the system converts dates with. Inline, as a
// table scan converts every date of every record through here.
#pragma once

#include <cstdint>

namespace platform {

constexpr bool IsLeapYear(int32_t year) {
  return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

// The day number of a date of years 1 to 9999.
constexpr int32_t DaysFromCivil(int32_t year, int32_t month, int32_t day) {
  constexpr int32_t kBefore[] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};
  const int32_t y = year - 1;
  return y * 365 + y / 4 - y / 100 + y / 400 + kBefore[month - 1] + (month > 2 && IsLeapYear(year)) + day;
}

// The date of a day number from 1 up to that of 31 December 9999, in closed
// form: days are counted in years that start on 1 March, so that the leap
// day ends a year, and the century, the year in it and the day in that are
// found by Neri and Schneider's multiplications and shifts.
constexpr void CivilFromDays(int32_t dayNumber, int32_t* year, int32_t* month, int32_t* day) {
  const uint32_t n1 = 4 * (static_cast<uint32_t>(dayNumber) + 305) + 3;  // day 0 is 1 March of year 0
  const uint32_t century = n1 / 146097;
  const uint32_t n2 = n1 % 146097 / 4 * 4 + 3;
  const uint64_t p2 = uint64_t{2939745} * n2;
  const uint32_t yearOfCentury = static_cast<uint32_t>(p2 >> 32);
  const uint32_t dayOfYear = static_cast<uint32_t>(p2) / 2939745 / 4;  // [0, 365], 0 = 1 March
  const uint32_t n3 = 2141 * dayOfYear + 197913;
  const bool janFeb = dayOfYear >= 306;
  *day = static_cast<int32_t>((n3 & 0xFFFF) / 2141 + 1);
  *month = static_cast<int32_t>(janFeb ? (n3 >> 16) - 12 : n3 >> 16);
  *year = static_cast<int32_t>(100 * century + yearOfCentury + (janFeb ? 1 : 0));
}

}  // namespace platform
