// Exports of the dates and times: Julian day numbers both ways and Julian
// times to and from the broken-down record, with the daylight flag of the
// system's time-zone rule.
#include <limits>

#include "julian.h"
#include "status.h"
#include "tzrule.h"

using namespace slw;

namespace {

// The host's record has nine fields; the tenth of SL_TIME is never written.
julian::BrokenDownTime FromRecord(const SL_TIME& r) {
  return {r.sec, r.min, r.hour, r.mday, r.mon, r.year, r.wday, r.yday, r.isdst};
}

void ToRecord(const julian::BrokenDownTime& t, SL_TIME& r) {
  r.sec = t.sec;
  r.min = t.min;
  r.hour = t.hour;
  r.mday = t.mday;
  r.mon = t.mon;
  r.year = t.year;
  r.wday = t.wday;
  r.yday = t.yday;
  r.isdst = t.isdst;
}

}  // namespace

SL_EXPORT LocaleStatus SL_DateToJulian(int32_t* day, int16_t year, int16_t month, int16_t dayOfMonth) {
  if (day == nullptr) return kBadArgument;
  *day = static_cast<int32_t>(julian::DayNumber(year, month, dayOfMonth));
  return kOk;
}

SL_EXPORT LocaleStatus SL_JulianToDate(int32_t day, int16_t* year, int16_t* month, int16_t* dayOfMonth) {
  if (year == nullptr || month == nullptr || dayOfMonth == nullptr) return kBadArgument;
  const julian::Date d = julian::FromDayNumber(day);
  // A year the 16-bit output cannot hold would come back as another year.
  if (d.year < std::numeric_limits<int16_t>::min() || d.year > std::numeric_limits<int16_t>::max()) {
    return kBadArgument;
  }
  *year = static_cast<int16_t>(d.year);
  *month = static_cast<int16_t>(d.month);
  *dayOfMonth = static_cast<int16_t>(d.day);
  return kOk;
}

SL_EXPORT LocaleStatus SL_TimeToJulianTime(double* julianTime, const SL_TIME* record) {
  if (julianTime == nullptr || record == nullptr) return kBadArgument;
  *julianTime = julian::ToJulianTime(FromRecord(*record));
  return kOk;
}

SL_EXPORT LocaleStatus SL_JulianTimeToTime(SL_TIME* record, double julianTime) {
  if (record == nullptr) return kBadArgument;
  julian::BrokenDownTime t;
  if (!julian::FromJulianTime(julianTime, t)) return kBadArgument;
  t.isdst = tz::InDaylightTime(t) ? 1 : 0;
  ToRecord(t, *record);
  return kOk;
}
