#include "framework/sysutils.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <thread>

using namespace framework;

namespace {

struct Formats {
  Formats() { ResetFormatSettings(); }
  ~Formats() { ResetFormatSettings(); }
};

TEST(Conversions, TextToDate) {
  Formats keep;
  struct Case {
    char sep;
    const char* format;
    const char* text;
    int y, m, d;  // y 0: EConvertError
  };
  const Case cases[] = {
      {'/', "m/d/yy", "12/31/95", 1995, 12, 31},
      {'/', "m/d/yy", " 1/2/2004 ", 2004, 1, 2},
      {'/', "m/d/yy", "2/29/00", 2000, 2, 29},   // 00 is 2000, a leap year
      {'/', "m/d/yy", "1/1/29", 2029, 1, 1},
      {'/', "m/d/yy", "1/1/30", 1930, 1, 1},
      {'/', "m/d/yy", "1/1/99", 1999, 1, 1},
      {'/', "m/d/yy", "1/1/0030", 30, 1, 1},     // four digits are taken as typed
      {'-', "dd/mm/yyyy", "31-12-1995", 1995, 12, 31},
      {'.', "d/m/yy", "3.2.94", 1994, 2, 3},
      {'/', "yyyy/mm/dd", "1995/12/31", 1995, 12, 31},
      {'/', "m/d/y", "2/3/1994", 1994, 2, 3},
      {'/', "m/d/yy", "2/30/95", 0, 0, 0},
      {'/', "m/d/yy", "13/1/95", 0, 0, 0},
      {'/', "m/d/yy", "12-31-95", 0, 0, 0},      // not the separator
      {'/', "m/d/yy", "12/31/95x", 0, 0, 0},
      {'/', "m/d/yy", "", 0, 0, 0},
      {'/', "m/d/yy", "  /  /", 0, 0, 0},
      {'/', "m/d/yy", "12", 0, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.format) + " " + c.text);
    DateSeparator = c.sep;
    ShortDateFormat = c.format;
    if (c.y == 0) {
      EXPECT_THROW(StrToDate(c.text), EConvertError);
      continue;
    }
    TDateTime d = StrToDate(c.text);
    int y, m, dd;
    DecodeDate(d, y, m, dd);
    EXPECT_EQ(y, c.y);
    EXPECT_EQ(m, c.m);
    EXPECT_EQ(dd, c.d);
  }
}

TEST(Conversions, DateToText) {
  Formats keep;
  struct Case {
    char sep;
    const char* format;
    int y, m, d;
    const char* text;
  };
  const Case cases[] = {
      {'/', "m/d/yy", 1995, 12, 31, "12/31/95"},
      {'-', "mm/dd/yy", 1995, 1, 5, "01-05-95"},
      {'*', "mm-dd-yy", 1995, 1, 5, "01-05-95"},  // a literal separator stays
      {'.', "d/m/yyyy", 2004, 2, 9, "9.2.2004"},
      {'/', "dd/mm/yyyy", 1, 1, 1, "01/01/0001"},
      {'/', "mmm d, yyyy", 1999, 3, 7, "Mar 7, 1999"},
      {'/', "dddd mmmm", 2026, 12, 10, "Thursday December"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    DateSeparator = c.sep;
    ShortDateFormat = c.format;
    EXPECT_EQ(DateToStr(EncodeDate(c.y, c.m, c.d)), c.text);
  }
  // Engine day numbers: day 1 is 1 January of year 1.
  EXPECT_EQ(DateToEngineDay(EncodeDate(1, 1, 1)), 1);
  EXPECT_EQ(DateToEngineDay(EncodeDate(1899, 12, 30)), kDateDelta);
  EXPECT_EQ(EncodeDate(1899, 12, 30), 0.0);
  TDateTime round = EngineDayToDate(DateToEngineDay(EncodeDate(2000, 2, 29)));
  int y, m, d;
  DecodeDate(round, y, m, d);
  EXPECT_EQ(y * 10000 + m * 100 + d, 20000229);
}

TEST(Conversions, EveryDayDecodesToTheDateItWasEncodedFrom) {
  int64_t previous = 0;
  for (int y = 1; y <= 9999; ++y)
    for (int m = 1; m <= 12; ++m)
      for (int d = 1; d <= DaysInMonth(y, m); ++d) {
        const TDateTime date = EncodeDate(y, m, d);
        const int64_t day = DateToEngineDay(date);
        ASSERT_EQ(day, previous + 1) << y << "-" << m << "-" << d;
        previous = day;
        int yy, mm, dd;
        DecodeDate(date, yy, mm, dd);
        ASSERT_EQ(yy * 10000 + mm * 100 + dd, y * 10000 + m * 100 + d);
        // A time of the day keeps the date, before 1899 too (a negative value).
        DecodeDate(date + 0.75, yy, mm, dd);
        ASSERT_EQ(yy * 10000 + mm * 100 + dd, y * 10000 + m * 100 + d);
      }
  for (const TDateTime none : {std::nan(""), HUGE_VAL, -HUGE_VAL, 1e300, -1e300}) {
    int yy = 1, mm = 1, dd = 1;
    DecodeDate(none, yy, mm, dd);
    EXPECT_EQ(yy * 10000 + mm * 100 + dd, 0) << none;
  }
}

// Short dates of numbers only are written by a quicker path than the
// general formatter: both must answer the same text.
TEST(Conversions, ShortDatesMatchTheGeneralFormatter) {
  Formats keep;
  const char* formats[] = {"m/d/yy",     "mm/dd/yyyy", "d.m.y",   "yyyy-mm-dd", "yyy/m/d", "dd mm yy",
                           "m/d/yy h:nn", "mm:dd",     "mmm d, yyyy", "dd 'of' mm", "d/m/yy am/pm", "",
                           "dddd"};
  const int dates[][3] = {{1, 1, 1}, {9, 9, 9}, {1995, 12, 31}, {2000, 2, 29}, {2026, 7, 4}, {9999, 12, 31}};
  for (const char sep : {'/', '-'}) {
    DateSeparator = sep;
    TimeSeparator = sep == '/' ? ':' : '.';
    for (const char* format : formats)
      for (const auto& d : dates) {
        SCOPED_TRACE(std::string(format) + " " + std::to_string(d[0]));
        ShortDateFormat = format;
        const TDateTime date = EncodeDate(d[0], d[1], d[2]);
        EXPECT_EQ(DateToStr(date), FormatDateTime(format, date));
        // A field's day number is written straight from it, to the same text.
        EXPECT_EQ(EngineDayToStr(DateToEngineDay(date)), DateToStr(date));
      }
  }
  // Day numbers outside the calendar are written as their TDateTime is.
  for (const int32_t day : {0, -5, 3652060, INT32_MAX, INT32_MIN})
    EXPECT_EQ(EngineDayToStr(day), DateToStr(EngineDayToDate(day))) << day;
}

// The short date's format is taken apart once and kept: a separator or
// format changed between two dates, and a change on another thread, show
// in the next date written.
TEST(Conversions, ShortDatesFollowEveryChangeOfTheirSettings) {
  Formats keep;
  const TDateTime date = EncodeDate(1995, 12, 31);
  EXPECT_EQ(DateToStr(date), "12/31/95");
  DateSeparator = '-';
  EXPECT_EQ(DateToStr(date), "12-31-95");
  ShortDateFormat = "d/m/yy";
  EXPECT_EQ(DateToStr(date), "31-12-95");
  ShortDateFormat[0] = 'm';  // the same string, changed in place
  ShortDateFormat[2] = 'd';
  EXPECT_EQ(DateToStr(date), "12-31-95");
  ShortDateFormat += "yy";
  EXPECT_EQ(DateToStr(date), "12-31-1995");
  ShortDateFormat = "m:d";
  EXPECT_EQ(DateToStr(date), "12:31");
  TimeSeparator = '.';
  EXPECT_EQ(DateToStr(date), "12.31");
  std::string other;
  std::thread([&] {
    ShortDateFormat = "yyyy/mm/dd";
    other = DateToStr(date);
  }).join();
  EXPECT_EQ(other, "1995-12-31");
  EXPECT_EQ(DateToStr(date), "1995-12-31");
}

TEST(Conversions, Times) {
  Formats keep;
  struct Case {
    const char* text;
    int h, n, s;  // h -1: EConvertError
  };
  const Case cases[] = {
      {"13:45", 13, 45, 0}, {"1:05:09 PM", 13, 5, 9}, {"12:00 AM", 0, 0, 0}, {"12:30 pm", 12, 30, 0},
      {"7", 7, 0, 0},       {"24:00", -1, 0, 0},     {"13:00 PM", -1, 0, 0}, {"10:61", -1, 0, 0},
      {"ten", -1, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    if (c.h < 0) {
      EXPECT_THROW(StrToTime(c.text), EConvertError);
      continue;
    }
    int h, n, s, ms;
    DecodeTime(StrToTime(c.text), h, n, s, ms);
    EXPECT_EQ(h * 10000 + n * 100 + s, c.h * 10000 + c.n * 100 + c.s);
  }
  EXPECT_EQ(TimeToStr(EncodeTime(15, 4, 5, 0)), "3:04:05 PM");
  EXPECT_EQ(FormatDateTime("hh:nn", EncodeTime(9, 7, 0, 0)), "09:07");
  EXPECT_EQ(FormatDateTime("h:mm", EncodeTime(9, 7, 0, 0)), "9:07");  // m after h is minutes
  TimeSeparator = '.';
  EXPECT_EQ(FormatDateTime("hh:nn", EncodeTime(9, 7, 0, 0)), "09.07");
  TDateTime dt = StrToDateTime("12/31/95 13.30");
  EXPECT_EQ(DateTimeToStr(dt), "12/31/95 1.30.00 PM");
}

TEST(Conversions, Numbers) {
  Formats keep;
  struct Case {
    char dec;
    const char* text;
    double value;
    bool ok;
  };
  const Case cases[] = {
      {'.', "12.5", 12.5, true},    {'.', " -3 ", -3, true},     {'.', "1e3", 1000, true},
      {'.', ".25", 0.25, true},     {',', "12,5", 12.5, true},   {',', "12.5", 0, false},
      {'.', "1,000", 0, false},     {'.', "", 0, false},         {'.', "-", 0, false},
      {'.', "1e", 0, false},        {'.', "1e999", 0, false},    {'.', "abc", 0, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    DecimalSeparator = c.dec;
    if (!c.ok) {
      EXPECT_THROW(StrToFloat(c.text), EConvertError);
      continue;
    }
    EXPECT_DOUBLE_EQ(StrToFloat(c.text), c.value);
  }
  DecimalSeparator = '.';
  const std::pair<double, const char*> texts[] = {
      {1.5, "1.5"}, {100, "100"}, {-0.0, "0"}, {0.1, "0.1"}, {1e20, "1E20"}, {1.25e-7, "1.25E-7"},
      {123456789012.5, "123456789012.5"},
  };
  for (auto& [v, t] : texts) EXPECT_EQ(FloatToStr(v), t);
  EXPECT_EQ(FloatToStr(2.5, ','), "2,5");
  EXPECT_EQ(FloatToStrF(1234567.891, ffNumber, 15, 2), "1,234,567.89");
  EXPECT_EQ(FloatToStrF(-1234.5, ffFixed, 15, 2), "-1234.50");
  EXPECT_EQ(FloatToStrF(-0.001, ffFixed, 15, 2), "0.00");
  EXPECT_EQ(FloatToStrF(1234.5, ffCurrency, 15, 2), "$1,234.50");
  EXPECT_EQ(FloatToStrF(-1234.5, ffCurrency, 15, 2), "($1,234.50)");
  DecimalSeparator = ',';
  ThousandSeparator = '.';
  EXPECT_EQ(FloatToStrF(1234.5, ffNumber, 15, 1), "1.234,5");
  EXPECT_EQ(StrToInt(" 42 "), 42);
  EXPECT_THROW(StrToInt("4 2"), EConvertError);
  EXPECT_THROW(StrToInt("99999999999999999999"), EConvertError);
  try {
    StrToFloat("x1");
  } catch (const EConvertError& e) {
    EXPECT_STREQ(e.what(), "'x1' is not a valid floating point value");
  }
}

}  // namespace
