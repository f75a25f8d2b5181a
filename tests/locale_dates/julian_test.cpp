// Julian day numbers and Julian times.
#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "julian.h"

namespace {

using slw::julian::BrokenDownTime;
using slw::julian::DayNumber;
using slw::julian::FromDayNumber;
using slw::julian::FromJulianTime;
using slw::julian::ToJulianTime;

TEST(JulianDay, KnownDatesBothWays) {
  struct Row {
    int year, month, day;
    int64_t number;
    int weekday;  // 0 = Sunday
  };
  const Row rows[] = {
      {1970, 1, 1, 2440588, 4},  {2000, 3, 1, 2451605, 3},  {2000, 2, 29, 2451604, 2},
      {1900, 3, 1, 2415080, 4},  {1582, 10, 15, 2299161, 5}, {1600, 1, 1, 2305448, 6},
      {2024, 12, 31, 2460676, 2}, {1, 1, 1, 1721426, 1},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(testing::Message() << r.year << "-" << r.month << "-" << r.day);
    EXPECT_EQ(DayNumber(r.year, r.month, r.day), r.number);
    const slw::julian::Date d = FromDayNumber(r.number);
    EXPECT_EQ(d.year, r.year);
    EXPECT_EQ(d.month, r.month);
    EXPECT_EQ(d.day, r.day);
    EXPECT_EQ(slw::julian::Weekday(r.number), r.weekday);
  }
}

TEST(JulianDay, EveryDayOfFiveCenturiesRoundTripsAndFollowsItsPredecessor) {
  int64_t previous = DayNumber(1799, 12, 31);
  for (int64_t n = DayNumber(1800, 1, 1); n <= DayNumber(2300, 12, 31); ++n) {
    const slw::julian::Date d = FromDayNumber(n);
    ASSERT_EQ(DayNumber(d.year, d.month, d.day), n);
    ASSERT_EQ(n, previous + 1);
    ASSERT_GE(d.day, 1);
    ASSERT_LE(d.day, 31);
    previous = n;
  }
}

TEST(JulianTime, SplitsIntoTheRecord) {
  struct Row {
    double time;
    BrokenDownTime want;  // sec, min, hour, mday, mon, year, wday, yday, isdst
  };
  const Row rows[] = {
      {2440588.43200, {0, 0, 12, 1, 0, 70, 4, 0, 0}},
      {2440588.0, {0, 0, 0, 1, 0, 70, 4, 0, 0}},
      {2440588.86399, {59, 59, 23, 1, 0, 70, 4, 0, 0}},
      {2451605.00001, {1, 0, 0, 1, 2, 100, 3, 60, 0}},
      {2460676.50000, {20, 53, 13, 31, 11, 124, 2, 365, 0}},
      {2415080.03661, {1, 1, 1, 1, 2, 0, 4, 59, 0}},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(testing::Message() << std::fixed << r.time);
    BrokenDownTime t;
    ASSERT_TRUE(FromJulianTime(r.time, t));
    EXPECT_EQ(t.sec, r.want.sec);
    EXPECT_EQ(t.min, r.want.min);
    EXPECT_EQ(t.hour, r.want.hour);
    EXPECT_EQ(t.mday, r.want.mday);
    EXPECT_EQ(t.mon, r.want.mon);
    EXPECT_EQ(t.year, r.want.year);
    EXPECT_EQ(t.wday, r.want.wday);
    EXPECT_EQ(t.yday, r.want.yday);
    EXPECT_EQ(t.isdst, 0);
  }
}

// Rounding up made every second whose fraction lands a hair above its value
// one second late; every second of a day must come back as itself.
TEST(JulianTime, EverySecondOfADayRoundTrips) {
  for (int s = 0; s < slw::julian::kSecondsPerDay; ++s) {
    BrokenDownTime in;
    in.year = 1999;
    in.mon = 11;
    in.mday = 31;
    in.hour = s / 3600;
    in.min = s / 60 % 60;
    in.sec = s % 60;
    BrokenDownTime out;
    ASSERT_TRUE(FromJulianTime(ToJulianTime(in), out));
    ASSERT_EQ(out.hour * 3600 + out.min * 60 + out.sec, s);
    ASSERT_EQ(out.mday, 31);
    ASSERT_EQ(out.year, 99);
  }
}

TEST(JulianTime, AFractionRoundingToAWholeDayCarriesIntoTheNextDay) {
  BrokenDownTime t;
  ASSERT_TRUE(FromJulianTime(2440588.863999999, t));
  EXPECT_EQ(t.hour * 3600 + t.min * 60 + t.sec, 0);
  EXPECT_EQ(t.mday, 2);
}

TEST(JulianTime, ValuesWithoutADayNumberAreRefused) {
  BrokenDownTime t;
  for (double v : {std::nan(""), std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(),
                   1e300, -1e300, 4294967296.0}) {
    EXPECT_FALSE(FromJulianTime(v, t)) << v;
  }
}

}  // namespace
