// The date, time-zone and packed-decimal exports as a host calls them: the
// built library loaded with dlopen, each case in a fresh process.
#include <cmath>
#include <cstring>
#include <vector>

#include <gtest/gtest.h>

#include "fresh_process.h"
#include "platform/registry.h"
#include "slw32.h"
#include "temp_root.h"
#include "tzrule.h"

namespace {

using slw_test::Api;
using slw_test::InFreshProcess;

std::vector<uint8_t> Transition(int16_t month, int16_t weekday, int16_t week, int16_t hour) {
  const int16_t f[8] = {0, month, weekday, week, hour, 0, 0, 0};
  std::vector<uint8_t> bytes;
  for (int16_t v : f) {
    bytes.push_back(static_cast<uint8_t>(v & 0xFF));
    bytes.push_back(static_cast<uint8_t>((v >> 8) & 0xFF));
  }
  return bytes;
}

// A zone in the registry stand-in, as Windows keeps it.
void WriteZone(int32_t bias, const char* standardName, const char* daylightName, std::vector<uint8_t> daylightStart,
               std::vector<uint8_t> standardStart) {
  using namespace platform::registry;
  Key key;
  ASSERT_EQ(CreateKey(Hive::LocalMachine, slw::tz::kZoneKey, key), kSuccess);
  ASSERT_EQ(key.SetDword("ActiveTimeBias", static_cast<uint32_t>(bias)), kSuccess);
  ASSERT_EQ(key.SetDword("Bias", static_cast<uint32_t>(bias)), kSuccess);
  ASSERT_EQ(key.SetDword("DaylightBias", static_cast<uint32_t>(-60)), kSuccess);
  ASSERT_EQ(key.SetString("DaylightName", daylightName), kSuccess);
  ASSERT_EQ(key.SetBinary("DaylightStart", daylightStart), kSuccess);
  ASSERT_EQ(key.SetDword("StandardBias", 0), kSuccess);
  ASSERT_EQ(key.SetString("StandardName", standardName), kSuccess);
  ASSERT_EQ(key.SetBinary("StandardStart", standardStart), kSuccess);
}

TEST(Slw32Dates, DayNumbersBothWays) {
  InFreshProcess([](Api& api) {
    auto toJulian = SLW_API(api, SL_DateToJulian);
    auto toDate = SLW_API(api, SL_JulianToDate);
    int32_t day = 0;
    CHECK_EQ_CHILD(toJulian(&day, 1970, 1, 1), 0);
    CHECK_EQ_CHILD(day, 2440588);
    CHECK_EQ_CHILD(toJulian(&day, 2000, 3, 1), 0);
    CHECK_EQ_CHILD(day, 2451605);
    int16_t y = 0, m = 0, d = 0;
    CHECK_EQ_CHILD(toDate(2451605, &y, &m, &d), 0);
    CHECK_EQ_CHILD(y, 2000);
    CHECK_EQ_CHILD(m, 3);
    CHECK_EQ_CHILD(d, 1);
    CHECK_EQ_CHILD(toJulian(nullptr, 2000, 3, 1), SL_STATUS_BAD_ARGUMENT);
    CHECK_EQ_CHILD(toDate(2451605, &y, nullptr, &d), SL_STATUS_BAD_ARGUMENT);
    // A day whose year does not fit the 16-bit output is refused, not wrapped.
    y = 7;
    CHECK_EQ_CHILD(toDate(2000000000, &y, &m, &d), SL_STATUS_BAD_ARGUMENT);
    CHECK_EQ_CHILD(y, 7);
  });
}

TEST(Slw32Dates, JulianTimesBothWays) {
  testing_support::TempRoot root;
  InFreshProcess([](Api& api) {
    auto toTime = SLW_API(api, SL_JulianTimeToTime);
    auto toJulian = SLW_API(api, SL_TimeToJulianTime);
    SL_TIME t;
    std::memset(&t, 0x55, sizeof t);
    CHECK_EQ_CHILD(toTime(&t, 2440588.43200), 0);
    const int32_t want[9] = {0, 0, 12, 1, 0, 70, 4, 0, 0};
    const int32_t got[9] = {t.sec, t.min, t.hour, t.mday, t.mon, t.year, t.wday, t.yday, t.isdst};
    for (int i = 0; i < 9; ++i) CHECK_EQ_CHILD(got[i], want[i]);
    CHECK_EQ_CHILD(t.extra, 0x55555555);  // the host's record has nine fields

    // The year field goes in as a full year.
    SL_TIME in{};
    in.year = 2000;
    in.mon = 2;
    in.mday = 1;
    in.hour = 23;
    in.min = 59;
    in.sec = 59;
    double jt = 0;
    CHECK_EQ_CHILD(toJulian(&jt, &in), 0);
    CHECK_CHILD(std::fabs(jt - 2451605.86399) < 1e-9);
    CHECK_EQ_CHILD(toTime(&t, jt), 0);
    CHECK_EQ_CHILD(t.hour * 3600 + t.min * 60 + t.sec, 86399);
    CHECK_EQ_CHILD(t.year, 100);

    CHECK_EQ_CHILD(toTime(&t, std::nan("")), SL_STATUS_BAD_ARGUMENT);
    CHECK_EQ_CHILD(toTime(&t, 1e300), SL_STATUS_BAD_ARGUMENT);
    CHECK_EQ_CHILD(toTime(nullptr, 2440588.5), SL_STATUS_BAD_ARGUMENT);
    CHECK_EQ_CHILD(toJulian(&jt, nullptr), SL_STATUS_BAD_ARGUMENT);
  });
}

struct Moment {
  int16_t year, month, day, hour, minute, second;
  int32_t daylight;
};

void CheckDaylight(Api& api, const std::vector<Moment>& moments) {
  auto toJulian = SLW_API(api, SL_DateToJulian);
  auto toTime = SLW_API(api, SL_JulianTimeToTime);
  for (const Moment& m : moments) {
    int32_t day = 0;
    CHECK_EQ_CHILD(toJulian(&day, m.year, m.month, m.day), 0);
    SL_TIME t{};
    CHECK_EQ_CHILD(toTime(&t, day + (m.hour * 3600 + m.minute * 60 + m.second) * 0.00001), 0);
    if (t.isdst != m.daylight) {
      std::fprintf(stderr, "%d-%d-%d %d:%d:%d: ", m.year, m.month, m.day, m.hour, m.minute, m.second);
    }
    CHECK_EQ_CHILD(t.isdst, m.daylight);
  }
}

TEST(Slw32Dates, DaylightFlagOfAUnitedStatesZoneOfThe1990s) {
  testing_support::TempRoot root;
  WriteZone(300, "Eastern Standard Time", "Eastern Daylight Time", Transition(4, 0, 1, 2), Transition(10, 0, 5, 2));
  InFreshProcess([](Api& api) {
    CheckDaylight(api, {
                           {1995, 1, 15, 12, 0, 0, 0},
                           {1995, 4, 2, 1, 59, 59, 0},
                           {1995, 4, 2, 2, 0, 0, 1},
                           {1995, 7, 4, 12, 0, 0, 1},
                           {1995, 10, 29, 1, 59, 59, 1},
                           {1995, 10, 29, 2, 0, 0, 0},
                           {1997, 4, 6, 2, 0, 0, 1},
                           {1997, 4, 5, 23, 0, 0, 0},
                       });
  });
}

TEST(Slw32Dates, DaylightFlagOfASouthernZone) {
  testing_support::TempRoot root;
  WriteZone(-600, "AUS Eastern Standard Time", "AUS Eastern Daylight Time", Transition(10, 0, 5, 2),
            Transition(3, 0, 5, 3));
  InFreshProcess([](Api& api) {
    CheckDaylight(api, {
                           {1999, 1, 1, 0, 0, 0, 1},
                           {1999, 3, 28, 2, 59, 59, 1},
                           {1999, 3, 28, 3, 0, 0, 0},
                           {1999, 7, 1, 12, 0, 0, 0},
                           {1999, 10, 31, 1, 59, 59, 0},
                           {1999, 10, 31, 2, 0, 0, 1},
                           {1999, 12, 31, 23, 59, 59, 1},
                       });
  });
}

TEST(Slw32Dates, NoZoneOrAZoneWithoutDaylightTimeNeverReportsIt) {
  testing_support::TempRoot root;
  InFreshProcess([](Api& api) { CheckDaylight(api, {{1995, 7, 4, 12, 0, 0, 0}}); });
  WriteZone(-330, "India Standard Time", "India Daylight Time", Transition(0, 0, 0, 0), Transition(0, 0, 0, 0));
  InFreshProcess([](Api& api) {
    CheckDaylight(api, {{1995, 1, 1, 0, 0, 0, 0}, {1995, 7, 4, 12, 0, 0, 0}, {1995, 12, 31, 23, 0, 0, 0}});
  });
}

void ExpectBcd(const SL_BCD& v, std::vector<uint8_t> head) {
  const auto* bytes = reinterpret_cast<const uint8_t*>(&v);
  for (std::size_t i = 0; i < sizeof v; ++i) CHECK_EQ_CHILD(bytes[i], i < head.size() ? head[i] : 0);
}

TEST(Slw32Bcd, TextOfTheThreeFamilies) {
  testing_support::TempRoot root;
  InFreshProcess([](Api& api) {
    CHECK_EQ_CHILD(SLW_API(api, _SL_InitClient)(1, 1, 1), 0);
    auto narrow = SLW_API(api, SLN_StrBCD);
    auto wide = SLW_API(api, SLW_StrBCD);
    auto multi = SLW_API(api, SLM_StrBCD);
    hlocale n = SLW_API(api, SLN_GetSysLocale)();
    hlocale w = SLW_API(api, SLW_GetSysLocale)();
    hlocale m = SLW_API(api, SLM_GetSysLocale)();
    SL_BCD v;
    std::memset(&v, 0xAA, sizeof v);
    CHECK_EQ_CHILD(narrow(n, "(12.50)", &v), 0);
    ExpectBcd(v, {4, 0x82, 0x12, 0x50});
    std::memset(&v, 0xAA, sizeof v);
    CHECK_EQ_CHILD(wide(w, u"(12.50)", &v), 0);
    ExpectBcd(v, {4, 0x82, 0x12, 0x50});
    std::memset(&v, 0xAA, sizeof v);
    CHECK_EQ_CHILD(multi(m, "(12.50)", &v), 0);
    ExpectBcd(v, {4, 0x82, 0x12, 0x50});
    // Without monetary data the numeric point holds.
    CHECK_EQ_CHILD(narrow(n, "12.50", &v), 0);
    ExpectBcd(v, {4, 0x02, 0x12, 0x50});

    for (const char* bad : {"abc", "", "-"}) {
      std::memset(&v, 0xAA, sizeof v);
      CHECK_EQ_CHILD(narrow(n, bad, &v), SL_STATUS_BAD_ARGUMENT);
      ExpectBcd(v, {});
    }
    std::memset(&v, 0xAA, sizeof v);
    CHECK_EQ_CHILD(wide(w, u"abc", &v), SL_STATUS_BAD_ARGUMENT);
    ExpectBcd(v, {});
    std::memset(&v, 0xAA, sizeof v);
    CHECK_EQ_CHILD(narrow(n, nullptr, &v), SL_STATUS_BAD_ARGUMENT);
    ExpectBcd(v, {});
    CHECK_EQ_CHILD(narrow(n, "1", nullptr), SL_STATUS_BAD_ARGUMENT);
    const std::string tooLong(65, '1');
    CHECK_EQ_CHILD(multi(m, tooLong.c_str(), &v), SL_STATUS_BAD_ARGUMENT);
    ExpectBcd(v, {});

    // A handle that is none of the caller's locales.
    int notALocale = 0;
    std::memset(&v, 0xAA, sizeof v);
    CHECK_EQ_CHILD(narrow(reinterpret_cast<hlocale>(&notALocale), "1", &v), SL_STATUS_BAD_HANDLE);
    ExpectBcd(v, {});
    CHECK_EQ_CHILD(narrow(nullptr, "1", &v), SL_STATUS_BAD_HANDLE);
  });
}

TEST(Slw32Bcd, DigitStringRecordBothWays) {
  InFreshProcess([](Api& api) {
    auto toStr = SLW_API(api, SL_BCDToBCDStr);
    auto fromStr = SLW_API(api, SL_BCDFromBCDStr);
    SL_BCD v{};
    v.precision = 3;
    v.signScale = 0x81;
    v.digits[0] = 0x12;
    v.digits[1] = 0x30;
    SL_BCDSTR r;
    std::memset(&r, 0x55, sizeof r);
    CHECK_EQ_CHILD(toStr(&r, &v), 0);
    CHECK_EQ_CHILD(r.sign, 1);
    CHECK_EQ_CHILD(r.flag, 0);
    CHECK_EQ_CHILD(r.scale, 1);
    CHECK_EQ_CHILD(r.precision, 3);
    CHECK_CHILD(std::strcmp(r.digits, "123") == 0);
    SL_BCD back;
    std::memset(&back, 0xEE, sizeof back);
    CHECK_EQ_CHILD(fromStr(&back, &r), 0);
    CHECK_CHILD(std::memcmp(&back, &v, sizeof v) == 0);

    r.flag = 1;
    CHECK_EQ_CHILD(fromStr(&back, &r), 0);
    CHECK_EQ_CHILD(back.signScale, 0xC1);
    r.scale = 64;
    CHECK_EQ_CHILD(fromStr(&back, &r), SL_STATUS_BAD_ARGUMENT);
    ExpectBcd(back, {});
    CHECK_EQ_CHILD(toStr(nullptr, &v), SL_STATUS_BAD_ARGUMENT);
    CHECK_EQ_CHILD(fromStr(&back, nullptr), SL_STATUS_BAD_ARGUMENT);
  });
}

}  // namespace
