// Dates, times, numbers and money by locale, in the three families: the
// time formatter and scanner (eras, alternative digits, AltTime), the
// printf engine, the number scanners and the Windows date pictures.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "client.h"
#include "format/format.h"
#include "platform/registry.h"
#include "slw32.h"
#include "sllc_writer.h"
#include "temp_root.h"
#include "tzrule.h"

namespace {

using W = std::u16string;

W Wide(const std::string& s) {
  W w;
  for (char c : s) w.push_back(static_cast<uint8_t>(c));
  return w;
}
std::string Narrow(const SL_WCHAR* w) {
  std::string s;
  for (; *w != 0; ++w) s.push_back(static_cast<char>(*w));
  return s;
}
const SL_WCHAR* Ws(const W& s) { return reinterpret_cast<const SL_WCHAR*>(s.c_str()); }

// Tuesday 5 March 1996 09:05:03, day 64 of the year.
SL_TIME March5() {
  SL_TIME t{};
  t.sec = 3;
  t.min = 5;
  t.hour = 9;
  t.mday = 5;
  t.mon = 2;
  t.year = 1996;
  t.wday = 2;
  t.yday = 64;
  t.isdst = 0;
  t.extra = 7;
  return t;
}

SL_TIME Date(int year, int mon, int mday, int wday, int yday) {
  SL_TIME t = March5();
  t.year = year;
  t.mon = mon;
  t.mday = mday;
  t.wday = wday;
  t.yday = yday;
  return t;
}

class Format : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(_SL_InitClient(1, 1, 1), 0);
    system_[0] = SLN_GetSysLocale();
    system_[1] = SLW_GetSysLocale();
    system_[2] = SLM_GetSysLocale();
  }
  void TearDown() override { SL_Exit(); }

  // FmtStrTime of a family (1 narrow, 2 wide, 3 multi-byte); the result
  // comes back through `result`.
  static std::string Time(int family, hlocale h, const std::string& format, const SL_TIME& t, uint16_t size = 128,
                          uint16_t* result = nullptr) {
    uint16_t r = 0;
    std::string out;
    if (family == 2) {
      SL_WCHAR buffer[256] = {};
      r = SLW_FmtStrTime(h, buffer, Ws(Wide(format)), &t, size);
      out = Narrow(buffer);
    } else {
      char buffer[256] = {};
      r = family == 1 ? SLN_FmtStrTime(h, buffer, format.c_str(), &t, size)
                      : SLM_FmtStrTime(h, buffer, format.c_str(), &t, size);
      out = buffer;
    }
    if (result != nullptr) *result = r;
    return out;
  }

  static uint16_t Scan(int family, hlocale h, const std::string& text, const std::string& format, SL_TIME& t) {
    if (family == 2) return SLW_ScanStrTime(h, Ws(Wide(text)), Ws(Wide(format)), &t);
    return family == 1 ? SLN_ScanStrTime(h, text.c_str(), format.c_str(), &t)
                       : SLM_ScanStrTime(h, text.c_str(), format.c_str(), &t);
  }

  // The printf of every family on the same arguments (no strings among them).
  template <class... A>
  void ExpectPrint(hlocale const (&h)[3], const std::string& expected, const char* format, A... args) {
    char narrow[512], multi[512];
    SL_WCHAR wide[512];
    EXPECT_EQ(_SLN_FmtStrPrint(h[0], narrow, format, args...), static_cast<int>(expected.size())) << format;
    EXPECT_EQ(narrow, expected) << format;
    const W wf = Wide(format);
    EXPECT_EQ(_SLW_FmtStrPrint(h[1], wide, Ws(wf), args...), static_cast<int>(expected.size())) << format;
    EXPECT_EQ(Narrow(wide), expected) << format;
    EXPECT_EQ(_SLM_FmtStrPrint(h[2], multi, format, args...), static_cast<int>(expected.size())) << format;
    EXPECT_EQ(multi, expected) << format;
  }

  // Locales of the three families from one source body ("NAME" stands for
  // the locale's name), in a library made the current one.
  void Fixture(const std::string& body, int mask, hlocale (&h)[3]) {
    std::string s;
    const std::string tag = std::to_string(++fixtures_);
    for (int family = 1; family <= 3; ++family) {
      const std::string name = "fm_FM" + tag + ".F" + std::to_string(family);
      s += "locale " + name + "\n  family " + std::to_string(family) + "\n";
      if (family == 3) s += "  leadbytes 0x81\n";
      s += "  category 2 " + name + "\n    ctype space,digit,lower,upper,xdigit,cntrl,punct,blank toupper,tolower\n";
      std::string b = body;
      for (std::size_t at; (at = b.find("NAME")) != std::string::npos;) b.replace(at, 4, name);
      s += b;
    }
    std::string error;
    const std::filesystem::path file = root_.path() / ("FMT" + tag + ".SLL");
    ASSERT_TRUE(sllc::Compile(s, file.string(), false, error)) << error;
    ASSERT_EQ(SL_SetLocaleLibrary(file.c_str(), 1), 0);
    for (int family = 1; family <= 3; ++family)
      ASSERT_EQ(SL_OpenLocale(&h[family - 1], static_cast<uint16_t>(2 | mask), ("fm_FM" + tag + ".F" + std::to_string(family)).c_str()),
                0);
  }

  hlocale system_[3] = {};
  int fixtures_ = 0;
  testing_support::TempRoot root_;
};

TEST_F(Format, TimeConversionsInEveryFamily) {
  const SL_TIME t = March5();
  struct Case {
    const char* format;
    SL_TIME time;
    const char* expected;
  };
  const Case cases[] = {
      {"%d;%-d;%+_d;%e;%+e", t, "05;5; 5;5; 5"},
      {"%A %a %B %b %h %Y %y %m %C %u %w", t, "Tuesday Tue March Mar Mar 1996 96 03 19 2 2"},
      {"%T|%-T|%+_T|%D|%-D|%x|%r|%X", t, "09:05:03|9:5:3| 9: 5: 3|03/05/96|3/5/96|Tue Mar 05|09:05:03 AM|09:05:03"},
      {"%H %M %S %I %p %k %j", t, "09 05 03 09 AM 07 065"},
      {"%j", Date(1996, 0, 1, 1, 0), "01"},
      {"%j", Date(1996, 1, 14, 3, 45), "046"},
      {"%U %W %V", t, "09 10 10"},
      {"%U %W %V", Date(1995, 0, 1, 0, 0), "01 00 52"},
      {"%U %W %V", Date(1996, 11, 30, 1, 364), "52 53 01"},
      {"%$SA %$Sb", t, "Tuesday Mar"},
      {"100%% a%nb%tc %Q %s.", t, "100% a\nb\tc Q ."},
      {"%c", t, "Tue Mar 05 09:05:03  1996"},
      {"%EC%Ey %Om %Eq|", t, "1996 03 |"},  // no eras, no alternative digits
      {"%+", t, ""},                       // a format ending in its modifiers
  };
  for (int family = 1; family <= 3; ++family) {
    for (const Case& c : cases) {
      uint16_t result = 0;
      EXPECT_EQ(Time(family, system_[family - 1], c.format, c.time, 128, &result), c.expected)
          << "family " << family << " " << c.format;
      EXPECT_EQ(result, std::strlen(c.expected)) << c.format;
    }
    SL_TIME midnight = t, noon = t;
    midnight.hour = 0;
    noon.hour = 12;
    EXPECT_EQ(Time(family, system_[family - 1], "%I %p", midnight), "12 AM");
    EXPECT_EQ(Time(family, system_[family - 1], "%I %p", noon), "12 PM");
  }
}

TEST_F(Format, TimeOutputIsCutToItsSizeAndReportsZero) {
  const SL_TIME t = March5();
  for (int family = 1; family <= 3; ++family) {
    uint16_t result = 9;
    EXPECT_EQ(Time(family, system_[family - 1], "%Y", t, 4, &result), "199");
    EXPECT_EQ(result, 0);
    EXPECT_EQ(Time(family, system_[family - 1], "%B!", t, 1, &result), "");
    EXPECT_EQ(result, 0);
    EXPECT_EQ(Time(family, system_[family - 1], "%Y", t, 5, &result), "1996");
    EXPECT_EQ(result, 4);
  }
  // Size 0 writes nothing at all.
  char untouched[4] = "xyz";
  EXPECT_EQ(SLN_FmtStrTime(system_[0], untouched, "%Y", &t, 0), 0);
  EXPECT_STREQ(untouched, "xyz");
}

TEST_F(Format, ScanningReadsFieldsAndDerivesTheDate) {
  for (int family = 1; family <= 3; ++family) {
    SCOPED_TRACE(family);
    hlocale h = system_[family - 1];
    SL_TIME t;
    EXPECT_EQ(Scan(family, h, "05.03.1996", "%d.%m.%Y", t), 10);
    EXPECT_EQ(t.mday, 5);
    EXPECT_EQ(t.mon, 2);
    EXPECT_EQ(t.year, 1996);
    EXPECT_EQ(t.wday, 2);
    EXPECT_EQ(t.yday, 64);
    EXPECT_EQ(t.hour, -1);
    EXPECT_EQ(t.extra, -1);

    EXPECT_EQ(Scan(family, h, "05x03", "%d.%m", t), 0);
    EXPECT_EQ(Scan(family, h, "05.", "%d.%m", t), 0);     // a number at the end of the text
    EXPECT_EQ(Scan(family, h, "Foo 5", "%a %d", t), 0);   // no such weekday
    EXPECT_EQ(Scan(family, h, "AB", "%Z", t), 0);         // three characters wanted

    EXPECT_EQ(Scan(family, h, "tuesday, MARCH 05 1996", "%A, %B %d %C%y", t), 22);
    EXPECT_EQ(t.wday, 2);
    EXPECT_EQ(t.mon, 2);
    EXPECT_EQ(t.year, 1996);
    EXPECT_EQ(t.yday, 64);

    struct Hour {
      const char* text;
      int hour;
    };
    for (const Hour& c : {Hour{"12:30 PM", 12}, Hour{"12:15 am", 0}, Hour{"01:00 pm", 13}, Hour{"11:59 AM", 11}}) {
      EXPECT_EQ(Scan(family, h, c.text, "%I:%M %p", t), 8) << c.text;
      EXPECT_EQ(t.hour, c.hour) << c.text;
    }
    EXPECT_EQ(Scan(family, h, "9:5:3 03/05/96 065 007 2%", "%T %D %j %k %u%%", t), 25);
    EXPECT_EQ(t.hour, 9);
    EXPECT_EQ(t.sec, 3);
    EXPECT_EQ(t.mon, 2);
    EXPECT_EQ(t.mday, 5);
    EXPECT_EQ(t.yday, 64);
    EXPECT_EQ(t.extra, 7);
    EXPECT_EQ(t.wday, 2);
    EXPECT_EQ(t.year, -1);  // a year within the century alone
  }
}

// Eastern time: daylight from the first Sunday of April to the last of October.
void WriteEasternZone() {
  using namespace platform::registry;
  auto transition = [](int16_t month, int16_t week) {
    const int16_t f[8] = {0, month, 0, week, 2, 0, 0, 0};
    std::vector<uint8_t> bytes;
    for (int16_t v : f) {
      bytes.push_back(static_cast<uint8_t>(v & 0xFF));
      bytes.push_back(static_cast<uint8_t>((v >> 8) & 0xFF));
    }
    return bytes;
  };
  Key key;
  ASSERT_EQ(CreateKey(Hive::LocalMachine, slw::tz::kZoneKey, key), kSuccess);
  ASSERT_EQ(key.SetDword("ActiveTimeBias", 300), kSuccess);
  ASSERT_EQ(key.SetDword("Bias", 300), kSuccess);
  ASSERT_EQ(key.SetDword("DaylightBias", static_cast<uint32_t>(-60)), kSuccess);
  ASSERT_EQ(key.SetString("DaylightName", "Eastern Daylight Time"), kSuccess);
  ASSERT_EQ(key.SetBinary("DaylightStart", transition(4, 1)), kSuccess);
  ASSERT_EQ(key.SetDword("StandardBias", 0), kSuccess);
  ASSERT_EQ(key.SetString("StandardName", "Eastern Standard Time"), kSuccess);
  ASSERT_EQ(key.SetBinary("StandardStart", transition(10, 5)), kSuccess);
}

TEST_F(Format, ZoneNamesAndTheDaylightFlagComeFromTheZoneRule) {
  WriteEasternZone();
  const SL_TIME march = March5();
  const SL_TIME july = Date(1996, 6, 4, 4, 185);
  for (int family = 1; family <= 3; ++family) {
    SCOPED_TRACE(family);
    hlocale h = system_[family - 1];
    EXPECT_EQ(Time(family, h, "%Z|%c", march), "EST|Tue Mar 05 09:05:03 EST 1996");
    EXPECT_EQ(Time(family, h, "%Z", july), "EDT");
    SL_TIME t;
    EXPECT_EQ(Scan(family, h, "edt", "%Z", t), 3);
    EXPECT_EQ(t.isdst, 1);
    EXPECT_EQ(Scan(family, h, "EST", "%Z", t), 3);
    EXPECT_EQ(t.isdst, 0);
    EXPECT_EQ(Scan(family, h, "04.07.1996", "%d.%m.%Y", t), 10);
    EXPECT_EQ(t.isdst, 1);
    EXPECT_EQ(Scan(family, h, "04.01.1996", "%d.%m.%Y", t), 10);
    EXPECT_EQ(t.isdst, 0);
  }
}

TEST_F(Format, AltTimeFormsCopyTheShortRecord) {
  SL_ALTTIME a{1996, 2, 2, 5, 9, 5, 3, 7};
  char out[64];
  EXPECT_EQ(SLN_FmtStrAltTime(system_[0], out, "%Y-%m-%d %T %k %A", &a, sizeof out), 30);
  EXPECT_STREQ(out, "1996-03-05 09:05:03 07 Tuesday");
  SL_WCHAR wide[64];
  EXPECT_EQ(SLW_FmtStrAltTime(system_[1], wide, Ws(u"%d.%m.%Y"), &a, 64), 10);
  EXPECT_EQ(Narrow(wide), "05.03.1996");
  SL_ALTTIME b{};
  EXPECT_EQ(SLN_ScanStrAltTime(system_[0], "05.03.1996 12:30", "%d.%m.%Y %H:%M", &b), 16);
  EXPECT_EQ(b.year, 1996);
  EXPECT_EQ(b.month, 2);
  EXPECT_EQ(b.wday, 2);
  EXPECT_EQ(b.mday, 5);
  EXPECT_EQ(b.hour, 12);
  EXPECT_EQ(b.sec, -1);
  EXPECT_EQ(SLM_ScanStrAltTime(system_[2], "5", "%d", &b), 1);
  EXPECT_EQ(SLW_ScanStrAltTime(system_[1], Ws(u"07"), Ws(u"%m"), &b), 2);
  EXPECT_EQ(b.month, 6);
}

TEST_F(Format, ErasAndAlternativeDigits) {
  hlocale h[3];
  Fixture("  category 4 NAME\n    time\n    firstjanuary 1\n    timetext 45 %EC%Ey\n    timetext 47 Early\n"
          "    era 2019 5 1 2099 12 31 Reiwa R\n    era 1989 1 8 2019 4 30 Heisei H\n"
          "    altdigits zero one two three\n",
          4, h);
  const SL_TIME t = March5();
  for (int family = 1; family <= 3; ++family) {
    SCOPED_TRACE(family);
    hlocale l = h[family - 1];
    EXPECT_EQ(Time(family, l, "%EC%Ey|%+Ey|%E+y|%EY|%Eq|%Om|%Od", t), "Heisei08|08|08|Heisei08|H|three|05");
    EXPECT_EQ(Time(family, l, "%EC%Ey", Date(2020, 0, 1, 3, 0)), "Reiwa02");
    EXPECT_EQ(Time(family, l, "%EC%Ey %Eq", Date(1980, 4, 5, 1, 125)), "1980 Early");
    EXPECT_EQ(Time(family, l, "%EC%Ey", Date(2019, 3, 30, 2, 119)), "Heisei31");
    SL_TIME s;
    EXPECT_EQ(Scan(family, l, "Heisei08-three-05", "%EC%Ey-%Om-%d", s), 17);
    EXPECT_EQ(s.year, 1996);
    EXPECT_EQ(s.mon, 2);
    EXPECT_EQ(s.mday, 5);
    EXPECT_EQ(s.yday, 64);
    EXPECT_EQ(Scan(family, l, "reiwa2", "%EY", s), 6);
    EXPECT_EQ(s.year, 2020);
    EXPECT_EQ(Scan(family, l, "R 3", "%Eq %Ey", s), 3);
    EXPECT_EQ(s.year, 2021);
    EXPECT_EQ(Scan(family, l, "Showa", "%EC", s), 0);
  }
}

TEST_F(Format, MultiByteTextMovesInWholeCharacters) {
  hlocale h[3];
  Fixture("  category 4 NAME\n    time\n    timetext 26 \"\\x81\\x40Jan\"\n", 4, h);
  const SL_TIME january = Date(1996, 0, 5, 5, 4);
  uint16_t result = 0;
  EXPECT_EQ(Time(3, h[2], "%B|%d", january, 64, &result), "\x81\x40Jan|05");
  EXPECT_EQ(result, 7);  // characters, not bytes
  EXPECT_EQ(Time(1, h[0], "%B", january, 64, &result), "\x81\x40Jan");
  EXPECT_EQ(result, 5);
  EXPECT_EQ(Time(3, h[2], "%B", january, 2, &result), "");  // half a character never written
  EXPECT_EQ(result, 0);
  SL_TIME t;
  EXPECT_EQ(Scan(3, h[2], "\x81\x40jan 05", "%B %d", t), 7);
  EXPECT_EQ(t.mon, 0);
  EXPECT_EQ(t.mday, 5);
  char out[32];
  EXPECT_EQ(_SLM_FmtStrPrint(h[2], out, "%c|%.2s|%3s", 0x8140, "\x81\x40xy", "\x81\x40"), 8);
  EXPECT_STREQ(out, "\x81\x40|\x81\x40x|  \x81\x40");
}

TEST_F(Format, EraYearsCountAnniversariesWithoutTheFirstJanuaryFlag) {
  hlocale h[3];
  Fixture("  category 4 NAME\n    time\n    era 1989 1 8 2019 4 30 Heisei H\n", 4, h);
  EXPECT_EQ(Time(1, h[0], "%Ey", Date(1990, 0, 7, 0, 6)), "01");
  EXPECT_EQ(Time(1, h[0], "%Ey", Date(1990, 0, 8, 1, 7)), "02");
}

TEST_F(Format, PrintfInThePosixLocale) {
  ExpectPrint(system_, " 3.14", "%5.2f", 3.14159);
  ExpectPrint(system_, "0.0001;1e-05;1.000000E+100", "%g;%g;%E", 0.0001, 0.00001, 1e100);
  ExpectPrint(system_, "1." + std::string(40, '0'), "%.50f", 1.0);
  ExpectPrint(system_, "a%yb and %5", "a%yb and %5", 1);
  ExpectPrint(system_, "x%\x01" "d", "x%\x01" "d", 1);
  ExpectPrint(system_, "1.00000|1|1.|1e+00|1.e+00|-0.5|+INF|-NAN", "%#g|%g|%#.0f|%.0e|%#.0e|%.1f|%f|%f", 1.0, 1.0,
              1.0, 1.0, 1.0, -0.5, HUGE_VAL, -std::nan(""));
  ExpectPrint(system_, "1e+41|10000000000000000300000000000000000000000|1.5e-07|123457|1.23457e+06", "%.0f|%.0f|%g|%g|%g",
              1e41, 1e41 / 10, 1.5e-7, 123456.7, 1234567.0);
  ExpectPrint(system_, "[   -42][-42   ][-0042][+7][ 7][0x1f][0X1F][017][][007][65535][-1]", "[%6d][%-6d][%05d][%+d][% d][%#x][%#X][%#o][%.0d][%.3d][%hu][%hd]",
              -42, -42, -42, 7, 7, 31, 31, 15, 0, 7, 65535, 65535);
  ExpectPrint(system_, "[  12][12  ][3.14][A]", "[%*d][%-*d][%.*f][%c]", 4, 12, 4, 12, 2, 3.14159, 'A');
  ExpectPrint(system_, "9223372036854775807 4294967295", "%ld %u", 9223372036854775807L, 4294967295u);
  ExpectPrint(system_, "1.5 2.5", "%Lg %LG", 1.5L, 2.5L);
  ExpectPrint(system_, "98 97 7", "%2$d %1$d %3$d", 97, 98, 7);
  ExpectPrint(system_, "[   5]", "[%2$*1$d]", 4, 5);

  // C's printf where the locale adds nothing.
  for (const char* format : {"%d|%5.3d|%-8.3x|%o|%+.2e|%10.4f|%-10g|%G|%#.3g|%.0f|%e"}) {
    char expected[256];
    std::snprintf(expected, sizeof expected, format, 123, 45, 255, 8, 12345.678, 3.14159, 0.5, 1e-10, 2.0, 2.5,
                  0.0);
    ExpectPrint(system_, expected, format, 123, 45, 255, 8, 12345.678, 3.14159, 0.5, 1e-10, 2.0, 2.5, 0.0);
  }

  char out[64];
  EXPECT_EQ(_SLN_FmtStrPrint(system_[0], out, "%s|%.2s|%-4s|%3s", static_cast<const char*>(nullptr), "abc", "x", "y"),
            13);
  EXPECT_STREQ(out, "0|ab|x   |  y");
  EXPECT_EQ(_SLN_FmtStrPrint(system_[0], out, "%2$s %1$s", "world", "hello"), 11);
  EXPECT_STREQ(out, "hello world");
  SL_WCHAR wide[64];
  const W world = u"world";
  EXPECT_EQ(_SLW_FmtStrPrint(system_[1], wide, Ws(u"%s %c|%s"), Ws(world), u'!', nullptr), 9);
  EXPECT_EQ(Narrow(wide), "world !|0");
  int32_t count = 0;
  int16_t shortCount = 0;
  EXPECT_EQ(_SLN_FmtStrPrint(system_[0], out, "abc%n%d%hn", &count, 42, &shortCount), 5);
  EXPECT_EQ(count, 3);
  EXPECT_EQ(shortCount, 5);
  int probe = 0;
  EXPECT_EQ(_SLN_FmtStrPrint(system_[0], out, "%p", static_cast<void*>(&probe)), 2 * static_cast<int>(sizeof(void*)));
  char expected[32];
  std::snprintf(expected, sizeof expected, "%016llX", static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(&probe)));
  EXPECT_STREQ(out, expected);
}

TEST_F(Format, PrintfWithoutTheThreadsScratchBufferFails) {
  // As when the thread's buffer could not be allocated.
  slw::Thread* thread = slw::CallingThread();
  ASSERT_NE(thread, nullptr);
  uint8_t* const scratch = thread->scratch;
  thread->scratch = nullptr;
  thread->scratchSize = 0;
  char out[16] = "x";
  EXPECT_EQ(_SLN_FmtStrPrint(system_[0], out, "%d", 5), -1);
  EXPECT_STREQ(out, "");
  thread->scratch = scratch;
  thread->scratchSize = slw::kScratchSize;
  EXPECT_EQ(_SLN_FmtStrPrint(system_[0], out, "%d", 5), 1);
}

// Decimal comma, full stop between thousands, groups of three; money "EU"
// before the amount without a space, the sign before value and symbol.
const char* kEuroBody =
    "  category 8 NAME\n    monetary EUR EU , . \"\\x03\" \"\" - 2 2 1 0 1 0 1 1\n"
    "  category 16 NAME\n    numeric , . \"\\x03\" E ;\n";

TEST_F(Format, PrintfWithLocaleNumbersAndMoney) {
  hlocale h[3];
  Fixture(kEuroBody, 8 | 16, h);
  ExpectPrint(h, " 3,14|1.234.567|1234567|-1.234.567,89|1,500000e+00|-12.345", "%5.2f|%'d|%d|%'.2f|%e|%'d", 3.14159,
              1234567, 1234567, -1234567.891, 1.5, -12345);
  ExpectPrint(h, "-EU1234,50|-EU1.234,50|(EU1234,50)|EUR 1234,50|EU1234,50|1234,50", "%M|%'M|%(M|%I|%M|%!M", -1234.5,
              -1234.5, -1234.5, 1234.5, 1234.5, 1234.5);
  ExpectPrint(h, "[  -EU1234,5][EU**12,00  ][EU  12,00][EU0012,00]", "[%11.1M][%-11:4*M][%0:4M][%08:4M]", -1234.5, '*', 12.0, 12.0, 12.0);

  SL_BCD value{};
  ASSERT_EQ(SLN_StrBCD(h[0], "-1234,567", &value), 0);
  char out[64];
  EXPECT_EQ(_SLN_FmtStrPrint(h[0], out, "%'.2Bf|%BM", &value, &value), 20);
  EXPECT_STREQ(out, "-1.234,57|-EU1234,57");
}

TEST_F(Format, MonetaryPatternsFollowSignPositionPrecedesAndSpace) {
  struct Case {
    const char* values;  // precedes and space for both signs, sign positions
    const char* expected;
  };
  const Case cases[] = {
      {"0 0 0 0 0 0", "(1,00EU)"}, {"0 1 0 1 0 0", "(1,00 EU)"}, {"1 1 1 1 0 0", "(EU 1,00)"},
      {"0 0 0 0 2 2", "1,00EU-"},  {"1 1 1 1 2 2", "EU 1,00-"},  {"0 1 0 1 3 3", "1,00 -EU"},
      {"1 0 1 0 3 3", "-EU1,00"},  {"1 0 1 0 4 4", "EU-1,00"},   {"1 1 1 1 4 4", "EU -1,00"},
      {"0 0 0 0 9 9", "(1,00EU)"}, {"7 7 7 7 1 1", "-EU 1,00"},
  };
  for (const Case& c : cases) {
    hlocale h[3];
    Fixture(std::string("  category 8 NAME\n    monetary EUR EU , . \"\" \"\" - 2 2 ") + c.values + "\n", 8, h);
    char out[64];
    _SLN_FmtStrPrint(h[0], out, "%M", -1.0);
    EXPECT_STREQ(out, c.expected) << c.values;
    for (hlocale l : h) SL_CloseLocale(&l);
  }
}

TEST_F(Format, NumberScanners) {
  hlocale h[3];
  Fixture(kEuroBody, 8 | 16, h);
  struct Case {
    bool euro;
    const char* text;
    uint16_t status;
    double value;
  };
  const Case cases[] = {
      {false, "  -42abc", 0, -42},    {false, "(12.50)", 0, -12.5},    {true, "-EU1.234,50", 0, -1234.5},
      {false, "abc", 0x0C07, 0},      {false, "1.", 0x0C07, 0},        {false, "+7", 0, 7},
      {false, "1.5e3", 0, 1500},      {false, "-2.5E-2", 0, -0.025},   {false, "1e99999", 0x0C07, 0},
      {true, "1.234.567,5", 0, 1234567.5}, {true, "EUR 3,25", 0, 3.25}, {true, "1,5E2", 0, 150},
      {false, "", 0x0C07, 0},
  };
  for (const Case& c : cases) {
    const hlocale* set = c.euro ? h : system_;
    double narrow = -1, multi = -1, wide = -1;
    EXPECT_EQ(SLN_StrDouble(set[0], c.text, &narrow), c.status) << c.text;
    EXPECT_EQ(SLW_StrDouble(set[1], Ws(Wide(c.text)), &wide), c.status) << c.text;
    EXPECT_EQ(SLM_StrDouble(set[2], c.text, &multi), c.status) << c.text;
    EXPECT_DOUBLE_EQ(narrow, c.value) << c.text;
    EXPECT_DOUBLE_EQ(wide, c.value) << c.text;
    EXPECT_DOUBLE_EQ(multi, c.value) << c.text;
  }
  int32_t v = 1;
  EXPECT_EQ(SLN_StrLong(system_[0], "  -42abc", &v), 0);
  EXPECT_EQ(v, -42);
  EXPECT_EQ(SLN_StrLong(system_[0], "12.75", &v), 0);
  EXPECT_EQ(v, 12);
  EXPECT_EQ(SLN_StrLong(system_[0], "-2147483648", &v), 0);
  EXPECT_EQ(v, INT32_MIN);
  EXPECT_EQ(SLN_StrLong(system_[0], "2147483648", &v), 0x0C07);
  EXPECT_EQ(v, 0);
  EXPECT_EQ(SLW_StrLong(h[1], Ws(u"1.234"), &v), 0);
  EXPECT_EQ(v, 1234);

  uint8_t extended[10];
  EXPECT_EQ(SLN_StrLongDouble(system_[0], "-1.5", extended), 0);
  const uint8_t minusOneHalf[10] = {0, 0, 0, 0, 0, 0, 0, 0xC0, 0xFF, 0xBF};
  EXPECT_EQ(std::memcmp(extended, minusOneHalf, 10), 0);
  EXPECT_EQ(SLM_StrLongDouble(system_[2], "x", extended), 0x0C07);
  EXPECT_EQ(std::memcmp(extended, "\0\0\0\0\0\0\0\0\0\0", 10), 0);
}

TEST(WindowsGrouping, BecomesGroupSizes) {
  using slw::format::GroupingFromWindows;
  EXPECT_EQ(GroupingFromWindows("3;0"), "\x03");
  EXPECT_EQ(GroupingFromWindows("3;2;0"), "\x03" + std::string(9, '\x02'));
  EXPECT_EQ(GroupingFromWindows("3;2"), "\x03\x02\x7F");
  EXPECT_EQ(GroupingFromWindows("0"), "");
  EXPECT_EQ(GroupingFromWindows(""), "");
  // Indian grouping through the engine: 3, then 2s.
  slw::format::Buf b;
  for (char16_t c : u"123456789") if (c != 0) b.Push(c);
  slw::format::Group(b, 0, b.n, GroupingFromWindows("3;2;0"), u",");
  EXPECT_EQ(slw::format::Codes(b.d, b.n), u"12,34,56,789");
  b.n = 0;
  for (char16_t c : u"123456789") if (c != 0) b.Push(c);
  slw::format::Group(b, 0, b.n, GroupingFromWindows("3;2"), u",");
  EXPECT_EQ(slw::format::Codes(b.d, b.n), u"1234,56,789");
}

TEST(DatePictures, BecomeTimeFormats) {
  struct Case {
    const char* locale;
    const char16_t* picture;
    const char16_t* format;
    const char16_t* eraYear;
  };
  const Case cases[] = {
      {"en_US", u"dddd, MMMM d, yyyy", u"%A, %B %d, %Y", u""},
      {"en_US", u"M/d/yy", u"%m/%d/%y", u""},
      {"es_ES", u"d' de 'MMMM' de 'yyyy", u"%d de %B de %Y", u""},
      {"en_US", u"'100%' ddd", u"100%% %a", u""},
      {"ja_JP", u"ggyy'\x5E74'MMMM ddd", u"gg%y\x5E74%$SB %$Sa", u""},
      {"ja_JP", u"GGnn/MM", u"%EY/%m", u"%EC%E+y"},
      {"ja_JP", u"GGn.M", u"%EY.%m", u"%EC%Ey"},
      {"ja_JP", u"G.n nn nnn WW", u"%EY%-Ey %+Ey %Ey %A", u""},
  };
  for (const Case& c : cases) {
    slw::format::Codes eraYear;
    EXPECT_EQ(slw::format::ConvertDatePicture(c.locale, c.picture, eraYear), c.format);
    EXPECT_EQ(eraYear, c.eraYear);
  }
}

}  // namespace
