// The time-zone rule: its text from the registry values and the daylight
// flag it gives.
#include <string>

#include <gtest/gtest.h>

#include "julian.h"
#include "platform/registry.h"
#include "temp_root.h"
#include "tzrule.h"

namespace {

using slw::tz::BuildRuleText;
using slw::tz::TransitionTime;
using slw::tz::ZoneValues;

ZoneValues UnitedStatesEastern1990s() {
  ZoneValues z;
  z.bias = 300;
  z.daylightBias = -60;
  z.standardName = "Eastern Standard Time";
  z.daylightName = "Eastern Daylight Time";
  z.daylightStart = TransitionTime{0, 4, 0, 1, 2, 0, 0, 0};   // first Sunday of April, 2:00
  z.standardStart = TransitionTime{0, 10, 0, 5, 2, 0, 0, 0};  // last Sunday of October, 2:00
  return z;
}

ZoneValues SydneyOfTheLate1990s() {
  ZoneValues z;
  z.bias = -600;
  z.daylightBias = -60;
  z.standardName = "AUS Eastern Standard Time";
  z.daylightName = "AUS Eastern Daylight Time";
  z.daylightStart = TransitionTime{0, 10, 0, 5, 2, 0, 0, 0};  // last Sunday of October, 2:00
  z.standardStart = TransitionTime{0, 3, 0, 5, 3, 0, 0, 0};   // last Sunday of March, 3:00
  return z;
}

// The flag of a rule text at a local date and time; -1 when it does not parse.
int Flag(const std::string& text, int year, int month, int day, int hour, int minute, int second) {
  const auto yday = static_cast<int32_t>(slw::julian::DayNumber(year, month, day) - slw::julian::DayNumber(year, 1, 1));
  slw::tz::Evaluation e;
  if (slw::tz::EvaluateRule(text, year, yday, hour * 3600 + minute * 60 + second, e) != 0) return -1;
  return e.daylight ? 1 : 0;
}

TEST(ZoneRule, TextFromTheRegistryValues) {
  struct Row {
    const char* what;
    ZoneValues zone;
    const char* text;
  };
  ZoneValues mountain = UnitedStatesEastern1990s();
  mountain.bias = 420;
  mountain.standardName = "Mountain Standard Time";
  mountain.daylightName = "Mountain Daylight Time";
  ZoneValues india;
  india.bias = -330;
  india.standardName = "India Standard Time";
  india.daylightName = "India Daylight Time";
  ZoneValues utc;
  utc.standardName = "UTC";
  utc.daylightName = "UTC";
  const Row rows[] = {
      {"eastern", UnitedStatesEastern1990s(), "EST5:0:0EDT-1:0:0, M4.1.0/2:00, M10.5.0/2:00"},
      {"southern", SydneyOfTheLate1990s(), "AES-10:0:0AED-1:0:0, M10.5.0/2:00, M3.5.0/3:00"},
      {"mountain", mountain, "MST7:0:0MDT-1:0:0, M4.1.0/2:00, M10.5.0/2:00"},
      // No daylight time (start month 0): no rules.
      {"half-hour, no daylight time", india, "IST-5:-30:0IDT0:0:0, "},
      {"one-word names", utc, "U0:0:0U0:0:0, "},
  };
  for (const Row& r : rows) EXPECT_EQ(BuildRuleText(r.zone), r.text) << r.what;
}

// The daylight flag on both sides of both transitions, in a northern zone
// and in one whose daylight period spans the new year.
TEST(ZoneRule, DaylightFlagAroundTheTransitions) {
  const std::string us = BuildRuleText(UnitedStatesEastern1990s());
  const std::string au = BuildRuleText(SydneyOfTheLate1990s());
  struct Row {
    const std::string& rule;
    int year, month, day, hour, minute, second;
    int daylight;
  };
  const Row rows[] = {
      {us, 1995, 1, 15, 12, 0, 0, 0},   {us, 1995, 4, 1, 23, 59, 59, 0}, {us, 1995, 4, 2, 1, 59, 59, 0},
      {us, 1995, 4, 2, 2, 0, 0, 1},     {us, 1995, 7, 4, 12, 0, 0, 1},   {us, 1995, 10, 29, 1, 59, 59, 1},
      {us, 1995, 10, 29, 2, 0, 0, 0},   {us, 1995, 10, 30, 0, 0, 0, 0},  {us, 1995, 12, 31, 23, 59, 59, 0},
      {us, 1996, 4, 7, 2, 0, 0, 1},     {us, 1996, 4, 6, 12, 0, 0, 0},
      {au, 1999, 1, 1, 0, 0, 0, 1},     {au, 1999, 3, 27, 12, 0, 0, 1},  {au, 1999, 3, 28, 2, 59, 59, 1},
      {au, 1999, 3, 28, 3, 0, 0, 0},    {au, 1999, 7, 1, 12, 0, 0, 0},   {au, 1999, 10, 30, 23, 59, 59, 0},
      {au, 1999, 10, 31, 1, 59, 59, 0}, {au, 1999, 10, 31, 2, 0, 0, 1},  {au, 1999, 12, 31, 23, 59, 59, 1},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(Flag(r.rule, r.year, r.month, r.day, r.hour, r.minute, r.second), r.daylight)
        << r.rule << " at " << r.year << "-" << r.month << "-" << r.day << " " << r.hour << ":" << r.minute << ":"
        << r.second;
  }
}

// The transition day is the week-th such weekday of the month, the last one
// for week 5, whatever the weekday.
TEST(ZoneRule, TransitionDayOfEveryWeekdayAndWeek) {
  struct Row {
    const char* start;
    int year, month, day;
  };
  const Row rows[] = {
      {"M4.1.0", 1995, 4, 2},   {"M3.1.1", 2023, 3, 6},  {"M10.2.0", 2023, 10, 8}, {"M5.1.5", 2026, 5, 1},
      {"M3.5.4", 2023, 3, 30},  {"M2.5.4", 2024, 2, 29}, {"M2.5.5", 2024, 2, 23}, {"M10.5.0", 1999, 10, 31},
      {"M10.5.0", 1995, 10, 29}, {"M3.4.3", 2023, 3, 22}, {"M10.5.2", 2023, 10, 31}, {"M10.5.3", 2023, 10, 25},
  };
  for (const Row& r : rows) {
    const std::string rule = std::string("XST0XDT0, ") + r.start + "/0:00, M12.5.6/23:00";
    const int64_t day = slw::julian::DayNumber(r.year, r.month, r.day);
    const slw::julian::Date before = slw::julian::FromDayNumber(day - 1);
    EXPECT_EQ(Flag(rule, r.year, r.month, r.day, 0, 0, 0), 1) << rule << " in " << r.year;
    EXPECT_EQ(Flag(rule, before.year, before.month, before.day, 23, 59, 59), 0) << rule << " in " << r.year;
  }
}

TEST(ZoneRule, TextsWithoutRulesOrOutOfSyntax) {
  struct Row {
    const char* text;
    int flagInJuly;  // -1: refused
    const char* standard;
    const char* daylight;
  };
  const Row rows[] = {
      {"EST5:0:0EDT-1:0:0, M4.1.0/2:00, M10.5.0/2:00", 1, "EST", "EDT"},
      {"EST5EDT,M4.1.0/2,M10.5.0/2", 1, "EST", "EDT"},
      {"EST5:0:0EDT-1:0:0, ", 0, "EST", "EDT"},
      {"EST5:0:0EDT-1:0:0, M4.1.0/2:00", 0, "EST", "EDT"},
      {"EST5", 0, "EST", ""},
      {"", 0, "", ""},
      {"JST-9JDT,J100/0,J200/0", 1, "JST", "JDT"},
      {"EST5EDT,M4.1.0/2,M10.5.0/2,M1.1.0", -1, "", ""},
      {"EST5EDT4X", -1, "", ""},
      {"EST5EDT, M13.1.0/2, M10.5.0/2", -1, "", ""},
      {"EST5EDT, M4.6.0/2, M10.5.0/2", -1, "", ""},
      {"EST5EDT, M4.1.7/2, M10.5.0/2", -1, "", ""},
      {"EST5EDT, /2, M10.5.0/2", -1, "", ""},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.text);
    EXPECT_EQ(Flag(r.text, 1995, 7, 4, 12, 0, 0), r.flagInJuly);
    slw::tz::Evaluation e;
    slw::tz::EvaluateRule(r.text, 1995, 180, 0, e);
    EXPECT_STREQ(e.standardName, r.standard);
    EXPECT_STREQ(e.daylightName, r.daylight);
  }
}

void WriteZone(const ZoneValues& z) {
  using namespace platform::registry;
  Key key;
  ASSERT_EQ(CreateKey(Hive::LocalMachine, slw::tz::kZoneKey, key), kSuccess);
  auto record = [](const TransitionTime& t) {
    const int16_t f[8] = {t.year, t.month, t.weekday, t.week, t.hour, t.minute, t.second, t.millisecond};
    std::vector<uint8_t> bytes;
    for (int16_t v : f) {
      bytes.push_back(static_cast<uint8_t>(v & 0xFF));
      bytes.push_back(static_cast<uint8_t>((v >> 8) & 0xFF));
    }
    return bytes;
  };
  ASSERT_EQ(key.SetDword("ActiveTimeBias", static_cast<uint32_t>(z.activeTimeBias)), kSuccess);
  ASSERT_EQ(key.SetDword("Bias", static_cast<uint32_t>(z.bias)), kSuccess);
  ASSERT_EQ(key.SetDword("DaylightBias", static_cast<uint32_t>(z.daylightBias)), kSuccess);
  ASSERT_EQ(key.SetString("DaylightName", z.daylightName), kSuccess);
  ASSERT_EQ(key.SetBinary("DaylightStart", record(z.daylightStart)), kSuccess);
  ASSERT_EQ(key.SetDword("StandardBias", static_cast<uint32_t>(z.standardBias)), kSuccess);
  ASSERT_EQ(key.SetString("StandardName", z.standardName), kSuccess);
  ASSERT_EQ(key.SetBinary("StandardStart", record(z.standardStart)), kSuccess);
}

TEST(ZoneRule, SystemRuleFromTheRegistry) {
  testing_support::TempRoot root;
  EXPECT_EQ(slw::tz::SystemRuleText(), "");
  WriteZone(SydneyOfTheLate1990s());
  EXPECT_EQ(slw::tz::SystemRuleText(), "AES-10:0:0AED-1:0:0, M10.5.0/2:00, M3.5.0/3:00");

  // Biases stored as four bytes read the same as DWORDs.
  using namespace platform::registry;
  Key key;
  ASSERT_EQ(OpenKey(Hive::LocalMachine, slw::tz::kZoneKey, true, key), kSuccess);
  ASSERT_EQ(key.SetBinary("Bias", {0xA8, 0xFD, 0xFF, 0xFF}), kSuccess);  // -600
  EXPECT_EQ(slw::tz::SystemRuleText(), "AES-10:0:0AED-1:0:0, M10.5.0/2:00, M3.5.0/3:00");

  slw::julian::BrokenDownTime t;
  ASSERT_TRUE(slw::julian::FromJulianTime(static_cast<double>(slw::julian::DayNumber(1999, 1, 10)) + 0.43200, t));
  EXPECT_TRUE(slw::tz::InDaylightTime(t));

  // A value missing, or of the wrong size, leaves no rule.
  ASSERT_EQ(key.SetBinary("StandardStart", {1, 2, 3}), kSuccess);
  EXPECT_EQ(slw::tz::SystemRuleText(), "");
  EXPECT_FALSE(slw::tz::InDaylightTime(t));
  WriteZone(SydneyOfTheLate1990s());
  ASSERT_EQ(key.DeleteValue("ActiveTimeBias"), kSuccess);
  EXPECT_EQ(slw::tz::SystemRuleText(), "");
}

}  // namespace
