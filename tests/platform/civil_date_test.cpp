#include "platform/civil_date.h"

#include <gtest/gtest.h>

namespace {

struct Case {
  int32_t year, month, day, number;
};

// Day numbers written out from a calendar: 1 = 1 January of year 1.
constexpr Case kCases[] = {
    {1, 1, 1, 1},             {1, 12, 31, 365},         {4, 2, 29, 1155},
    {1582, 10, 15, 577736},   {1899, 12, 30, 693594},   {1900, 2, 28, 693654},
    {1900, 3, 1, 693655},     {2000, 2, 29, 730179},    {2026, 12, 31, 739981},
    {9999, 12, 31, 3652059},
};

TEST(CivilDate, DatesAndDayNumbersBothWays) {
  for (const Case& c : kCases) {
    SCOPED_TRACE(testing::Message() << c.year << "-" << c.month << "-" << c.day);
    EXPECT_EQ(platform::DaysFromCivil(c.year, c.month, c.day), c.number);
    int32_t y = 0, m = 0, d = 0;
    platform::CivilFromDays(c.number, &y, &m, &d);
    EXPECT_EQ(y, c.year);
    EXPECT_EQ(m, c.month);
    EXPECT_EQ(d, c.day);
  }
}

// Every day of the range goes there and back, one day after the other.
TEST(CivilDate, EveryDayRoundTrips) {
  int32_t py = 1, pm = 1, pd = 0;
  for (int32_t n = 1; n <= 3652059; ++n) {
    int32_t y = 0, m = 0, d = 0;
    platform::CivilFromDays(n, &y, &m, &d);
    ASSERT_EQ(platform::DaysFromCivil(y, m, d), n);
    const bool nextDay = y == py && m == pm && d == pd + 1;
    const bool nextMonth = (y == py && m == pm + 1 && d == 1) || (y == py + 1 && pm == 12 && m == 1 && d == 1);
    ASSERT_TRUE(nextDay || nextMonth) << n;
    py = y, pm = m, pd = d;
  }
}

}  // namespace
