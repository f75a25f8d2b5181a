// Julian day numbers and Julian times.
//
// A Julian day number is the astronomical day number of a Gregorian date
// (2440588 is 1 January 1970). A Julian time is a double whose integer part
// is the day number and whose fraction counts the seconds of the day in
// units of 0.00001 (so it never exceeds 0.86399): 12:00:00 is .43200.
//
// The broken-down time record is the host's nine 32-bit fields: seconds,
// minutes, hours, day of the month (1-31), month (0-11), years since 1900,
// day of the week (0 = Sunday), day of the year (0-based), daylight flag.
#pragma once

#include <cstdint>

namespace slw::julian {

struct Date {
  int32_t year = 0;
  int32_t month = 0;  // 1-12
  int32_t day = 0;    // 1-31
};

struct BrokenDownTime {
  int32_t sec = 0, min = 0, hour = 0, mday = 0, mon = 0, year = 0, wday = 0, yday = 0, isdst = 0;
};

inline constexpr int32_t kUnixEpochDay = 2440588;
inline constexpr int32_t kSecondsPerDay = 86400;
inline constexpr double kSecondUnit = 0.00001;

// Fliegel and Van Flandern, truncating division. Defined for the years from
// -4800 on; values out of that range give whatever the formula gives.
int64_t DayNumber(int64_t year, int64_t month, int64_t day);
// The inverse formula of the same authors.
Date FromDayNumber(int64_t dayNumber);

// Day of the week of a day number, 0 = Sunday.
int32_t Weekday(int64_t dayNumber);

// The Julian time of a record: its year field is taken as a full year,
// its month 0-based. Hours, minutes and seconds are used as given.
double ToJulianTime(const BrokenDownTime& t);

// Splits a Julian time into a record (year since 1900, month 0-based, weekday,
// day of year; isdst left 0). The seconds are rounded to the nearest whole
// second; a fraction that rounds to a whole day carries into the next day.
// False when the value is not finite or its day number does not fit 32 bits.
bool FromJulianTime(double julianTime, BrokenDownTime& out);

}  // namespace slw::julian
