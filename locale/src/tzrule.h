// The time-zone rule: a POSIX-style text built from the Windows time-zone
// settings in the registry, and its evaluation to a daylight-saving flag.
//
// Rule text: standard name, standard offset, daylight name, daylight offset,
// then ", " and the start and end rules "M" month "." week "." weekday "/"
// hour ":00" separated by ", ", for example
//   "EST5:0:0EDT-1:0:0, M4.1.0/2:00, M10.5.0/2:00".
// Week 1-4 is the first to fourth such weekday of the month, 5 the last; the
// weekday counts from 0 = Sunday. A rule "J" n is the day J1 + n, J1 being the
// day number of 1 January. The names are three characters at most.
//
// Registry key "SYSTEM\CurrentControlSet\Control\TimeZoneInformation" under
// HKEY_LOCAL_MACHINE: "ActiveTimeBias", "Bias", "DaylightBias" (32-bit
// minutes, a DWORD or 4 bytes), "DaylightName" (text), "DaylightStart" (16
// bytes: eight little-endian 16-bit fields year, month, weekday, week, hour,
// minute, second, millisecond), "StandardBias", "StandardName",
// "StandardStart" (as "DaylightStart"). A start month of 0 means the zone
// keeps no daylight time.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace slw::tz {

inline constexpr std::string_view kZoneKey = "SYSTEM\\CurrentControlSet\\Control\\TimeZoneInformation";

struct TransitionTime {
  int16_t year = 0, month = 0, weekday = 0, week = 0, hour = 0, minute = 0, second = 0, millisecond = 0;
};

struct ZoneValues {
  int32_t activeTimeBias = 0;
  int32_t bias = 0;
  int32_t daylightBias = 0;
  std::string daylightName;
  TransitionTime daylightStart;
  int32_t standardBias = 0;
  std::string standardName;
  TransitionTime standardStart;
};

// The rule text of a zone. A zone whose start or end month is 0 (no daylight
// time) gets no rules, so it is never in daylight time.
std::string BuildRuleText(const ZoneValues& zone);

// Reads the zone's values from the registry; false when the key or any value
// cannot be read (or a value has the wrong size).
bool ReadZoneValues(ZoneValues& zone);

// The rule text of the system's zone, empty when the registry cannot give it.
std::string SystemRuleText();

struct Evaluation {
  char standardName[4] = {};
  char daylightName[4] = {};
  bool daylight = false;
};

// Evaluates a rule text for a moment of local time: the full year, the day of
// the year (0-based) and the seconds since midnight. Returns 0, or -1 on a
// syntax error or a rule out of range (names and flag then clear). A text
// without both rules leaves the flag clear.
int EvaluateRule(std::string_view text, int64_t year, int32_t dayOfYear, int32_t secondsOfDay,
                 Evaluation& out);

}  // namespace slw::tz

namespace slw::julian {
struct BrokenDownTime;
}

namespace slw::tz {

// Whether the system's zone is in daylight time at the local moment of a
// record (year since 1900, day of the year, hours, minutes, seconds); false
// when the registry holds no zone or its rule does not parse.
bool InDaylightTime(const julian::BrokenDownTime& t);

}  // namespace slw::tz
