#include "julian.h"

#include <cmath>
#include <limits>

namespace slw::julian {

int64_t DayNumber(int64_t year, int64_t month, int64_t day) {
  const int64_t a = (month - 14) / 12;
  return day - 32075 + 1461 * (year + 4800 + a) / 4 + 367 * (month - 2 - 12 * a) / 12 -
         3 * ((year + 4900 + a) / 100) / 4;
}

Date FromDayNumber(int64_t dayNumber) {
  int64_t l = dayNumber + 68569;
  const int64_t n = 4 * l / 146097;
  l = l - (146097 * n + 3) / 4;
  const int64_t i = 4000 * (l + 1) / 1461001;
  l = l - 1461 * i / 4 + 31;
  const int64_t j = 80 * l / 2447;
  Date d;
  d.day = static_cast<int32_t>(l - 2447 * j / 80);
  l = j / 11;
  d.month = static_cast<int32_t>(j + 2 - 12 * l);
  d.year = static_cast<int32_t>(100 * (n - 49) + i + l);
  return d;
}

int32_t Weekday(int64_t dayNumber) {
  // Day number 0 (mod 7) is a Monday.
  return static_cast<int32_t>(((dayNumber % 7) + 7 + 1) % 7);
}

double ToJulianTime(const BrokenDownTime& t) {
  const int64_t day = DayNumber(t.year, static_cast<int64_t>(t.mon) + 1, t.mday);
  const int64_t seconds = static_cast<int64_t>(t.hour) * 3600 + static_cast<int64_t>(t.min) * 60 + t.sec;
  return static_cast<double>(day) + static_cast<double>(seconds) * kSecondUnit;
}

bool FromJulianTime(double julianTime, BrokenDownTime& out) {
  if (!std::isfinite(julianTime)) return false;
  const double whole = std::floor(julianTime);
  if (whole < static_cast<double>(std::numeric_limits<int32_t>::min()) ||
      whole > static_cast<double>(std::numeric_limits<int32_t>::max()) - 1) {
    return false;
  }
  int64_t day = static_cast<int64_t>(whole);
  // To the nearest second: the fraction of a day number near 2.4 million
  // carries an error of a few 1e-10, so 12:00:00 arrives as 43199.99999...
  // or 43200.00001... seconds.
  int64_t seconds = std::llround((julianTime - whole) / kSecondUnit);
  day += seconds / kSecondsPerDay;
  seconds %= kSecondsPerDay;
  if (day > std::numeric_limits<int32_t>::max()) return false;

  out = BrokenDownTime{};
  out.hour = static_cast<int32_t>(seconds / 3600);
  out.min = static_cast<int32_t>(seconds % 3600 / 60);
  out.sec = static_cast<int32_t>(seconds % 60);
  const Date d = FromDayNumber(day);
  out.mday = d.day;
  out.mon = d.month - 1;
  out.year = d.year - 1900;
  out.yday = static_cast<int32_t>(day - DayNumber(d.year, 1, 1));
  out.wday = Weekday(day);
  return true;
}

}  // namespace slw::julian
