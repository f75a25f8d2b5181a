#include "tzrule.h"

#include <cstdio>
#include <cstring>

#include "julian.h"
#include "platform/registry.h"

namespace slw::tz {

namespace {

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// A character that can stand in a zone name: anything the rule syntax does
// not use.
bool IsNameChar(char c) {
  return c != '\0' && !IsSpace(c) && !IsDigit(c) && std::strchr("+-:,./", c) == nullptr;
}

// "Eastern Standard Time" -> "EST": the first character, the first after the
// first blank and the first after the next blank.
std::string Initials(const std::string& name) {
  std::string out;
  auto take = [&](std::size_t at) {
    if (at < name.size() && IsNameChar(name[at])) out += name[at];
  };
  take(0);
  std::size_t blank = name.find(' ');
  if (blank != std::string::npos) {
    take(blank + 1);
    blank = name.find(' ', blank + 1);
    if (blank != std::string::npos) take(blank + 1);
  }
  return out;
}

std::string Format(const char* format, long a, long b = 0, long c = 0, long d = 0) {
  char buffer[96];
  std::snprintf(buffer, sizeof buffer, format, a, b, c, d);
  return buffer;
}

bool ReadInt32(const platform::registry::Key& key, std::string_view name, int32_t& out) {
  platform::registry::Value v;
  if (key.QueryValue(name, v) != platform::registry::kSuccess) return false;
  if (v.type == platform::registry::ValueType::Dword) {
    out = static_cast<int32_t>(v.dword);
    return true;
  }
  if (v.type == platform::registry::ValueType::Binary && v.bytes.size() == 4) {
    out = static_cast<int32_t>(static_cast<uint32_t>(v.bytes[0]) | static_cast<uint32_t>(v.bytes[1]) << 8 |
                               static_cast<uint32_t>(v.bytes[2]) << 16 | static_cast<uint32_t>(v.bytes[3]) << 24);
    return true;
  }
  return false;
}

bool ReadText(const platform::registry::Key& key, std::string_view name, std::string& out) {
  platform::registry::Value v;
  if (key.QueryValue(name, v) != platform::registry::kSuccess) return false;
  if (v.type != platform::registry::ValueType::String) return false;
  out = v.text;
  return true;
}

bool ReadTransition(const platform::registry::Key& key, std::string_view name, TransitionTime& out) {
  platform::registry::Value v;
  if (key.QueryValue(name, v) != platform::registry::kSuccess) return false;
  if (v.type != platform::registry::ValueType::Binary || v.bytes.size() != 16) return false;
  int16_t f[8];
  for (int i = 0; i < 8; ++i) f[i] = static_cast<int16_t>(v.bytes[2 * i] | v.bytes[2 * i + 1] << 8);
  out = TransitionTime{f[0], f[1], f[2], f[3], f[4], f[5], f[6], f[7]};
  return true;
}

// ---- parsing ----

enum class Field { OffsetHours, OffsetMinutes, OffsetSeconds, Month, Week, Weekday, DayOfYear, Hour, Minute, None };

struct Rule {
  char kind = 0;  // 'M', 'J' or 0 for none
  int32_t month = 0, week = 0, weekday = 0, dayOfYear = 0, hour = 0, minute = 0;
};

struct Part {
  char name[4] = {};
  int sign = 1;
  int32_t offset[3] = {};
  Rule rule;  // the standard part holds the start rule, the daylight part the end rule
};

int32_t* FieldOf(Part& p, Field f) {
  switch (f) {
    case Field::OffsetHours: return &p.offset[0];
    case Field::OffsetMinutes: return &p.offset[1];
    case Field::OffsetSeconds: return &p.offset[2];
    case Field::Month: return &p.rule.month;
    case Field::Week: return &p.rule.week;
    case Field::Weekday: return &p.rule.weekday;
    case Field::DayOfYear: return &p.rule.dayOfYear;
    case Field::Hour: return &p.rule.hour;
    case Field::Minute: return &p.rule.minute;
    case Field::None: return nullptr;
  }
  return nullptr;
}

bool IsOffsetField(Field f) {
  return f == Field::OffsetHours || f == Field::OffsetMinutes || f == Field::OffsetSeconds;
}

// Copies up to three name characters from `text` at `i`.
void CopyName(std::string_view text, std::size_t& i, char (&name)[4]) {
  int n = 0;
  while (i < text.size() && n < 3 && IsNameChar(text[i])) name[n++] = text[i++];
  name[n] = '\0';
}

bool Parse(std::string_view text, Part (&parts)[2]) {
  std::size_t i = 0;
  CopyName(text, i, parts[0].name);
  int part = 0;
  int commas = 0;
  Field field = Field::OffsetHours;
  while (i < text.size()) {
    const char c = text[i];
    if (IsSpace(c)) {
      ++i;
    } else if (IsDigit(c)) {
      int32_t value = 0;
      while (i < text.size() && IsDigit(text[i])) {
        if (value < 1000000) value = value * 10 + (text[i] - '0');
        ++i;
      }
      if (int32_t* target = FieldOf(parts[part], field)) *target = value;
    } else if (c == '+' || c == '-') {
      parts[part].sign = c == '-' ? -1 : 1;
      ++i;
    } else if (c == ':') {
      if (field == Field::OffsetHours) field = Field::OffsetMinutes;
      else if (field == Field::OffsetMinutes) field = Field::OffsetSeconds;
      else if (field == Field::Hour) field = Field::Minute;
      ++i;
    } else if (c == '.') {
      if (field == Field::Month) field = Field::Week;
      else if (field == Field::Week) field = Field::Weekday;
      ++i;
    } else if (c == ',') {
      // The first comma opens the start rule (kept in the standard part),
      // the second the end rule (kept in the daylight part).
      if (++commas > 2) return false;
      part = commas == 1 ? 0 : 1;
      field = Field::None;
      ++i;
    } else if (commas > 0 && (c == 'M' || c == 'J')) {
      parts[part].rule.kind = c;
      field = c == 'M' ? Field::Month : Field::DayOfYear;
      ++i;
    } else if (commas > 0 && c == '/' && parts[part].rule.kind != 0) {
      field = Field::Hour;
      ++i;
    } else if (part == 0 && commas == 0 && IsOffsetField(field) && IsNameChar(c)) {
      // Letters after the standard offset are the daylight name, whatever
      // letter it starts with ("MDT", "JDT").
      CopyName(text, i, parts[1].name);
      part = 1;
      field = Field::OffsetHours;
    } else {
      return false;
    }
  }
  return true;
}

int64_t LastDayOfMonth(int64_t year, int32_t month) {
  return (month == 12 ? julian::DayNumber(year + 1, 1, 1) : julian::DayNumber(year, month + 1, 1)) - 1;
}

// The day number a rule names in `year`; false for a rule out of range.
bool RuleDay(const Rule& r, int64_t year, int64_t& day) {
  const int64_t jan1 = julian::DayNumber(year, 1, 1);
  if (r.kind == 'J') {
    if (r.dayOfYear < 0 || r.dayOfYear > 365) return false;
    day = jan1 + r.dayOfYear;
    return true;
  }
  if (r.month < 1 || r.month > 12 || r.week < 1 || r.week > 5 || r.weekday < 0 || r.weekday > 6) return false;
  const int64_t first = julian::DayNumber(year, r.month, 1);
  // The first such weekday of the month, then the weeks; week 5 means the
  // last, so step back while past the month's end.
  day = first + (r.weekday - julian::Weekday(first) + 7) % 7 + 7 * (r.week - 1);
  const int64_t last = LastDayOfMonth(year, r.month);
  while (day > last) day -= 7;
  return true;
}

}  // namespace

std::string BuildRuleText(const ZoneValues& zone) {
  std::string text = Initials(zone.standardName);
  text += Format("%ld:%ld:0", zone.bias / 60, zone.bias % 60);
  text += Initials(zone.daylightName);
  text += Format("%ld:%ld:0, ", zone.daylightBias / 60, zone.daylightBias % 60);
  if (zone.daylightStart.month == 0 || zone.standardStart.month == 0) return text;
  const TransitionTime& s = zone.daylightStart;
  const TransitionTime& e = zone.standardStart;
  text += Format("M%ld.%ld.%ld/%ld:00, ", s.month, s.week, s.weekday, s.hour);
  text += Format("M%ld.%ld.%ld/%ld:00", e.month, e.week, e.weekday, e.hour);
  return text;
}

bool ReadZoneValues(ZoneValues& zone) {
  using namespace platform::registry;
  Key key;
  if (OpenKey(Hive::LocalMachine, kZoneKey, false, key) != kSuccess) return false;
  ZoneValues z;
  const bool ok = ReadInt32(key, "ActiveTimeBias", z.activeTimeBias) && ReadInt32(key, "Bias", z.bias) &&
                  ReadInt32(key, "DaylightBias", z.daylightBias) && ReadText(key, "DaylightName", z.daylightName) &&
                  ReadTransition(key, "DaylightStart", z.daylightStart) &&
                  ReadInt32(key, "StandardBias", z.standardBias) && ReadText(key, "StandardName", z.standardName) &&
                  ReadTransition(key, "StandardStart", z.standardStart);
  key.Close();
  if (ok) zone = std::move(z);
  return ok;
}

std::string SystemRuleText() {
  ZoneValues zone;
  return ReadZoneValues(zone) ? BuildRuleText(zone) : std::string();
}

int EvaluateRule(std::string_view text, int64_t year, int32_t dayOfYear, int32_t secondsOfDay, Evaluation& out) {
  out = Evaluation{};
  Part parts[2];
  if (!Parse(text, parts)) return -1;
  std::memcpy(out.standardName, parts[0].name, sizeof out.standardName);
  std::memcpy(out.daylightName, parts[1].name, sizeof out.daylightName);
  const Rule& startRule = parts[0].rule;
  const Rule& endRule = parts[1].rule;
  if (startRule.kind == 0 || endRule.kind == 0) return 0;
  int64_t start = 0;
  int64_t end = 0;
  if (!RuleDay(startRule, year, start) || !RuleDay(endRule, year, end)) {
    out = Evaluation{};
    return -1;
  }
  const int64_t startTime = static_cast<int64_t>(startRule.hour) * 3600 + startRule.minute * 60;
  const int64_t endTime = static_cast<int64_t>(endRule.hour) * 3600 + endRule.minute * 60;
  const int64_t day = julian::DayNumber(year, 1, 1) + dayOfYear;

  if (start == end) {
    out.daylight = day == start && secondsOfDay >= startTime && secondsOfDay < endTime;
  } else if (day == start) {
    out.daylight = secondsOfDay >= startTime;
  } else if (day == end) {
    out.daylight = secondsOfDay < endTime;
  } else if (start < end) {
    out.daylight = day > start && day < end;
  } else {
    // Southern hemisphere: the daylight period spans the new year.
    out.daylight = day > start || day < end;
  }
  return 0;
}

}  // namespace slw::tz

namespace slw::tz {

bool InDaylightTime(const julian::BrokenDownTime& t) {
  const std::string text = SystemRuleText();
  if (text.empty()) return false;
  Evaluation e;
  const int64_t seconds = static_cast<int64_t>(t.hour) * 3600 + static_cast<int64_t>(t.min) * 60 + t.sec;
  return EvaluateRule(text, static_cast<int64_t>(t.year) + 1900, t.yday, static_cast<int32_t>(seconds), e) == 0 && e.daylight;
}

}  // namespace slw::tz
