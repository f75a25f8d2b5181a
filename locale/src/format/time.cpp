// FmtStrTime and ScanStrTime with their AltTime forms, in the three
// families: the names and formats of the locale's LC_TIME, its eras and
// alternative digits.
//
// The day of the year is 0-based both ways ("%j" prints it plus 1 and scans
// it minus 1). Named formats expand recursively; a format that names itself
// stops expanding after a few levels instead of running away.
#include <algorithm>
#include <cstdlib>
#include <new>

#include "casemap/casemap.h"
#include "char_access.h"
#include "format.h"
#include "julian.h"
#include "tzrule.h"

using namespace slw;
using namespace slw::format;

namespace {

// Positions of the LC_TIME texts.
enum : int {
  kAbDay = 0,
  kDay = 7,
  kAbMonth = 14,
  kMonth = 26,
  kAm = 38,
  kPm = 39,
  kDateTime = 40,
  kDate = 41,
  kTime = 42,
  kTime12 = 43,
  kEraDate = 44,
  kEraYear = 45,
  kShortDate = 46,
  kBeforeEras = 47,
  kAfterEras = 48,
};

constexpr int kMaxDepth = 6;

const TimeCategory& PosixTime() {
  static const NarrowTime posix;
  return posix;
}

struct Env {
  const CLocale& l;
  uint8_t family;
  const TimeCategory& time;

  Codes Text(int index, bool system = false) const {
    return system ? PosixTime().texts[static_cast<std::size_t>(index)]
                  : LocaleCodes(l, time.texts[static_cast<std::size_t>(index)]);
  }
};

struct Modifiers {
  bool plus = false;
  char16_t pad = u'0';
  bool minus = false;
  bool system = false;
  bool era = false;
  bool alt = false;
};

// Reads the modifiers after a "%"; `i` is left at the conversion character
// (or the end of the format).
Modifiers ReadModifiers(const Env& env, const Codes& f, std::size_t& i) {
  Modifiers m;
  while (i < f.size()) {
    const char16_t c = f[i];
    if (c == u'+') {
      m.plus = true;
      m.pad = u'0';
      if (++i < f.size() && (f[i] == u'_' || f[i] == u'0')) m.pad = f[i++] == u'_' ? u' ' : u'0';
    } else if (c == u'-') {
      m.minus = true;
      ++i;
    } else if (c == u'$') {
      if (++i < f.size()) m.system = f[i++] == u'S';
    } else if (c == u'E') {
      m.era = !env.time.eras.empty();
      ++i;
    } else if (c == u'O') {
      m.alt = !env.time.altDigits.empty();
      ++i;
    } else {
      break;
    }
  }
  return m;
}

int64_t DayOf(const Era& e, bool start) {
  return start ? julian::DayNumber(e.startYear, e.startMonth, e.startDay)
               : julian::DayNumber(e.endYear, e.endMonth, e.endDay);
}

// The era of a date: its index, or -1 with `outside` -1 (before the table),
// 1 (after it) or 0.
int EraOf(const TimeCategory& time, const SL_TIME& t, int& outside) {
  outside = 0;
  if (time.eras.empty()) return -1;
  const int64_t day = julian::DayNumber(t.year, int64_t{t.mon} + 1, t.mday);
  for (std::size_t i = 0; i < time.eras.size(); ++i)
    if (DayOf(time.eras[i], true) <= day && day <= DayOf(time.eras[i], false)) return static_cast<int>(i);
  if (day > DayOf(time.eras.front(), false))
    outside = 1;
  else if (day < DayOf(time.eras.back(), true))
    outside = -1;
  return -1;
}

int64_t YearInEra(const TimeCategory& time, const Era& e, const SL_TIME& t) {
  int64_t n = int64_t{t.year} - e.startYear;
  if (time.fromFirstJanuary != 1 && (int64_t{t.mon} + 1 < e.startMonth || (int64_t{t.mon} + 1 == e.startMonth && t.mday < e.startDay)))
    --n;
  return n + 1;
}

int64_t IsoWeek(const SL_TIME& t) {
  auto p = [](int64_t y) { return ((y + y / 4 - y / 100 + y / 400) % 7 + 7) % 7; };
  auto weeksIn = [&](int64_t y) { return 52 + ((p(y) == 4 || p(y - 1) == 3) ? 1 : 0); };
  const int64_t isoDay = t.wday == 0 ? 7 : t.wday;
  const int64_t week = (int64_t{t.yday} + 1 - isoDay + 10) / 7;
  if (week < 1) return weeksIn(int64_t{t.year} - 1);
  if (week > weeksIn(t.year)) return 1;
  return week;
}

// ---- formatting ----

class Out {
 public:
  Out(const Env& env, void* out, std::size_t room) : env_(env), out_(out), room_(room) {}
  void Put(char16_t c) {
    if (full_) return;
    const std::size_t units = casemap::Family{env_.family, &env_.l}.UnitsOf(c);
    if (used_ + units > room_) {
      full_ = true;
      return;
    }
    if (env_.family == SL_FAMILY_WIDE) {
      static_cast<SL_WCHAR*>(out_)[used_] = c;
    } else if (env_.family == SL_FAMILY_MULTI) {
      char* p = static_cast<char*>(out_);
      PutCharAt(env_.l, p + used_, c);
    } else {
      static_cast<char*>(out_)[used_] = static_cast<char>(c);
    }
    used_ += units;
    ++chars_;
  }
  void Put(const Codes& s) {
    for (char16_t c : s) Put(c);
  }
  void Terminate() {
    if (env_.family == SL_FAMILY_WIDE)
      static_cast<SL_WCHAR*>(out_)[used_] = 0;
    else
      static_cast<char*>(out_)[used_] = '\0';
  }
  bool full() const { return full_; }
  std::size_t chars() const { return chars_; }

 private:
  const Env& env_;
  void* out_;
  std::size_t room_;
  std::size_t used_ = 0, chars_ = 0;
  bool full_ = false;
};

void PutNumber(const Env& env, Out& out, int64_t value, int places, const Modifiers& m, bool blankPad = false) {
  if (m.alt && value >= 0 && value < 100 && static_cast<std::size_t>(value) < env.time.altDigits.size() &&
      !env.time.altDigits[static_cast<std::size_t>(value)].empty()) {
    out.Put(LocaleCodes(env.l, env.time.altDigits[static_cast<std::size_t>(value)]));
    return;
  }
  bool pad = false;
  if (!m.minus && value >= 0) {
    if (places == 2) pad = value < 10;
    if (places == 3) pad = value < 100;
    if (places == 1) pad = m.plus && value < 10;
  }
  if (pad) out.Put(blankPad && m.plus ? u' ' : (m.plus ? m.pad : u'0'));
  if (value < 0) out.Put(u'-');
  const std::string digits = std::to_string(value < 0 ? -value : value);
  for (char c : digits) out.Put(static_cast<char16_t>(c));
}

bool FormatCodes(const Env& env, const Codes& f, const SL_TIME& t, Out& out, int depth);

void Expand(const Env& env, const Codes& format, const SL_TIME& t, Out& out, int depth) {
  if (depth < kMaxDepth) FormatCodes(env, format, t, out, depth + 1);
}

void PutZone(Out& out, const SL_TIME& t) {
  const std::string rule = tz::SystemRuleText();
  if (rule.empty()) return;
  int64_t yday = t.yday;
  if (yday < 0) yday = julian::DayNumber(t.year, int64_t{t.mon} + 1, t.mday) - julian::DayNumber(t.year, 1, 1);
  tz::Evaluation e;
  auto part = [](int32_t v, int32_t limit) { return v < 0 ? 0 : std::min(v, limit); };
  const int32_t seconds = part(t.hour, 23) * 3600 + part(t.min, 59) * 60 + part(t.sec, 59);
  if (yday < 0 || yday > 365 || tz::EvaluateRule(rule, t.year, static_cast<int32_t>(yday), seconds, e) != 0) return;
  for (const char* p = e.daylight ? e.daylightName : e.standardName; *p != '\0'; ++p)
    out.Put(static_cast<char16_t>(static_cast<uint8_t>(*p)));
}

void FormatOne(const Env& env, char16_t c, const Modifiers& m, const SL_TIME& t, Out& out, int depth) {
  const TimeCategory& time = env.time;
  int outside = 0;
  auto era = [&]() { return m.era ? EraOf(time, t, outside) : -1; };
  auto name = [&](int base, int index, int count) {
    if (index >= 0 && index < count) out.Put(env.Text(base + index, m.system));
  };
  const char16_t* composite = nullptr;
  switch (c) {
    case u'a': name(kAbDay, t.wday, 7); break;
    case u'A': name(kDay, t.wday, 7); break;
    case u'b':
    case u'h': name(kAbMonth, t.mon, 12); break;
    case u'B': name(kMonth, t.mon, 12); break;
    case u'c':
      if (m.era && !time.texts[kEraDate].empty()) {
        Expand(env, env.Text(kEraDate), t, out, depth);
        out.Put(u' ');
        Expand(env, env.Text(kTime), t, out, depth);
      } else {
        Expand(env, env.Text(kDateTime), t, out, depth);
      }
      break;
    case u'C': {
      const int e = era();
      if (e >= 0)
        out.Put(LocaleCodes(env.l, time.eras[static_cast<std::size_t>(e)].name));
      else
        PutNumber(env, out, std::abs(int64_t{t.year}) / 100, 2, m);
      break;
    }
    case u'd': PutNumber(env, out, t.mday, 2, m); break;
    case u'D':
      composite = m.minus ? u"%-m/%-d/%-y" : (m.plus && m.pad == u' ' ? u"%+_m/%+_d/%+_y" : u"%+0m/%+0d/%+0y");
      break;
    case u'e': PutNumber(env, out, t.mday, 1, m, true); break;
    case u'H': PutNumber(env, out, t.hour, 2, m); break;
    case u'I': PutNumber(env, out, t.hour < 0 ? t.hour : (t.hour % 12 == 0 ? 12 : t.hour % 12), 2, m); break;
    case u'j': PutNumber(env, out, int64_t{t.yday} + 1, 3, m); break;
    case u'k': PutNumber(env, out, t.extra, 3, m); break;
    case u'm': PutNumber(env, out, int64_t{t.mon} + 1, 2, m); break;
    case u'M': PutNumber(env, out, t.min, 2, m); break;
    case u'n': out.Put(u'\n'); break;
    case u'p': out.Put(env.Text(t.hour >= 12 ? kPm : kAm)); break;
    case u'q': {
      if (!m.era) break;
      const int e = era();
      if (e >= 0)
        out.Put(LocaleCodes(env.l, time.eras[static_cast<std::size_t>(e)].format));
      else if (outside != 0)
        out.Put(env.Text(outside < 0 ? kBeforeEras : kAfterEras));
      break;
    }
    case u'r': Expand(env, env.Text(kTime12), t, out, depth); break;
    case u's': Expand(env, env.Text(kShortDate), t, out, depth); break;
    case u'S': PutNumber(env, out, t.sec, 2, m); break;
    case u't': out.Put(u'\t'); break;
    case u'T':
      composite = m.minus ? u"%-H:%-M:%-S" : (m.plus && m.pad == u' ' ? u"%+_H:%+_M:%+_S" : u"%+0H:%+0M:%+0S");
      break;
    case u'u': PutNumber(env, out, t.wday == 0 ? 7 : t.wday, 1, m); break;
    case u'U': PutNumber(env, out, (int64_t{t.yday} + 7 - t.wday) / 7, 2, m); break;
    case u'V': PutNumber(env, out, IsoWeek(t), 2, m); break;
    case u'w': PutNumber(env, out, t.wday, 1, m); break;
    case u'W': PutNumber(env, out, (int64_t{t.yday} + 7 - (int64_t{t.wday} + 6) % 7) / 7, 2, m); break;
    case u'x':
      Expand(env, env.Text(m.era && !time.texts[kEraDate].empty() ? kEraDate : kDate), t, out, depth);
      break;
    case u'X': Expand(env, env.Text(kTime), t, out, depth); break;
    case u'y': {
      const int e = era();
      if (e >= 0)
        PutNumber(env, out, YearInEra(time, time.eras[static_cast<std::size_t>(e)], t), 2, m);
      else
        PutNumber(env, out, std::abs(int64_t{t.year}) % 100, 2, m);
      break;
    }
    case u'Y':
      if (m.era && !time.texts[kEraYear].empty()) {
        Expand(env, env.Text(kEraYear), t, out, depth);
      } else {
        Modifiers plain;
        plain.minus = true;
        PutNumber(env, out, std::abs(int64_t{t.year}), 1, plain);
      }
      break;
    case u'Z': PutZone(out, t); break;
    default: out.Put(c); break;  // "%%" and unknown conversions
  }
  if (composite != nullptr) Expand(env, composite, t, out, depth);
}

bool FormatCodes(const Env& env, const Codes& f, const SL_TIME& t, Out& out, int depth) {
  for (std::size_t i = 0; i < f.size() && !out.full();) {
    if (f[i] != u'%') {
      out.Put(f[i++]);
      continue;
    }
    ++i;
    const Modifiers m = ReadModifiers(env, f, i);
    if (i >= f.size()) break;
    FormatOne(env, f[i++], m, t, out, depth);
  }
  return !out.full();
}

// ---- scanning ----

struct ScanState {
  SL_TIME t{};
  int century = -1;
  int yearInCentury = -1;
  int era = -1;
  bool am = false, pm = false;
};

class Scanner {
 public:
  Scanner(const Env& env, const Codes& text) : env_(env), text_(text) {}
  bool Run(const Codes& f, ScanState& s, int depth);
  std::size_t position() const { return at_; }

 private:
  bool Number(int digits, bool alt, int& value);
  bool Name(int base, int count, int& value);
  // An era recognised by its name or its format text.
  bool Era(Text slw::Era::*field, ScanState& s);
  bool One(char16_t c, const Modifiers& m, ScanState& s, int depth);
  bool Sub(const Codes& f, ScanState& s, int depth) { return depth < kMaxDepth && Run(f, s, depth + 1); }

  const Env& env_;
  const Codes& text_;
  std::size_t at_ = 0;
};

bool Scanner::Number(int digits, bool alt, int& value) {
  if (alt) {
    value = -1;
    for (std::size_t i = 0; i < env_.time.altDigits.size(); ++i) {
      const Codes d = LocaleCodes(env_.l, env_.time.altDigits[i]);
      if (MatchesAt(env_.family, text_, at_, d)) {
        value = static_cast<int>(i);
        at_ += d.size();
        return true;
      }
    }
    return true;
  }
  while (at_ < text_.size() && (text_[at_] < u'0' || text_[at_] > u'9')) ++at_;
  if (at_ >= text_.size()) return false;
  value = 0;
  for (int n = 0; n < digits && at_ < text_.size() && text_[at_] >= u'0' && text_[at_] <= u'9'; ++n)
    value = value * 10 + (text_[at_++] - u'0');
  return true;
}

bool Scanner::Name(int base, int count, int& value) {
  for (int i = 0; i < count; ++i) {
    const Codes name = env_.Text(base + i);
    if (MatchesAt(env_.family, text_, at_, name)) {
      value = i;
      at_ += name.size();
      return true;
    }
  }
  return false;
}

bool Scanner::Era(Text slw::Era::*field, ScanState& s) {
  for (std::size_t i = 0; i < env_.time.eras.size(); ++i) {
    const Codes text = LocaleCodes(env_.l, env_.time.eras[i].*field);
    if (MatchesAt(env_.family, text_, at_, text)) {
      s.era = static_cast<int>(i);
      at_ += text.size();
      return true;
    }
  }
  return false;
}

bool Scanner::One(char16_t c, const Modifiers& m, ScanState& s, int depth) {
  const TimeCategory& time = env_.time;
  SL_TIME& t = s.t;
  int n = 0;
  auto store = [&](int32_t& field, int value) {
    if (value >= 0) field = value;
  };
  switch (c) {
    case u'a': return Name(kAbDay, 7, t.wday);
    case u'A': return Name(kDay, 7, t.wday);
    case u'b':
    case u'h': return Name(kAbMonth, 12, t.mon);
    case u'B': return Name(kMonth, 12, t.mon);
    case u'C':
      if (m.era) return Era(&slw::Era::name, s);
      if (!Number(2, m.alt, n)) return false;
      if (n >= 0) s.century = n * 100;
      return true;
    case u'q': return !m.era || Era(&slw::Era::format, s);
    case u'c':
      if (m.era && !time.texts[kEraDate].empty()) {
        if (!Sub(env_.Text(kEraDate), s, depth)) return false;
        if (at_ >= text_.size() || text_[at_] != u' ') return false;
        ++at_;
        return Sub(env_.Text(kTime), s, depth);
      }
      return Sub(env_.Text(kDateTime), s, depth);
    case u'x': return Sub(env_.Text(m.era && !time.texts[kEraDate].empty() ? kEraDate : kDate), s, depth);
    case u'X': return Sub(env_.Text(kTime), s, depth);
    case u'r': return Sub(env_.Text(kTime12), s, depth);
    case u'D': return Sub(u"%-m/%-d/%-y", s, depth);
    case u'T': return Sub(m.minus ? u"%-H:%-M:%-S" : u"%H:%M:%S", s, depth);
    case u'd':
    case u'e':
      if (!Number(2, m.alt, n)) return false;
      store(t.mday, n);
      return true;
    case u'H':
    case u'M':
    case u'S':
      if (!Number(2, m.alt, n)) return false;
      store(c == u'H' ? t.hour : (c == u'M' ? t.min : t.sec), n);
      return true;
    case u'I':
      if (!Number(2, m.alt, n)) return false;
      store(t.hour, n == 0 ? 12 : n);
      return true;
    case u'j':
      if (!Number(3, m.alt, n)) return false;
      if (n > 0) t.yday = n - 1;
      return true;
    case u'k':
      if (!Number(3, m.alt, n)) return false;
      store(t.extra, n);
      return true;
    case u'm':
      if (!Number(2, m.alt, n)) return false;
      if (n > 0) t.mon = n - 1;
      return true;
    case u'n':
    case u't':
    case u'%':
      if (at_ >= text_.size()) return false;
      ++at_;
      return true;
    case u'p':
      if (MatchesAt(env_.family, text_, at_, env_.Text(kAm))) {
        at_ += env_.Text(kAm).size();
        s.am = true;
        s.pm = false;
        return true;
      }
      if (MatchesAt(env_.family, text_, at_, env_.Text(kPm))) {
        at_ += env_.Text(kPm).size();
        s.pm = true;
        s.am = false;
        return true;
      }
      return false;
    case u'u':
    case u'w':
      if (!Number(1, m.alt, n)) return false;
      store(t.wday, n == 7 ? 0 : n);
      return true;
    case u'U':
    case u'V':
    case u'W': return Number(2, m.alt, n);
    case u'y':
      if (m.era && s.era >= 0) {
        if (!Number(4, m.alt, n)) return false;
        if (n >= 0) t.year = time.eras[static_cast<std::size_t>(s.era)].startYear + n - 1;
        return true;
      }
      if (!Number(2, m.alt, n)) return false;
      if (n >= 0) s.yearInCentury = n;
      return true;
    case u'Y':
      if (m.era && !time.texts[kEraYear].empty()) return Sub(env_.Text(kEraYear), s, depth);
      if (!Number(4, m.alt, n)) return false;
      store(t.year, n);
      return true;
    case u'Z': {
      if (text_.size() - at_ < 3) return false;
      const Codes zone = text_.substr(at_, 3);
      at_ += 3;
      Codes daylight;
      tz::Evaluation e;
      const std::string rule = tz::SystemRuleText();
      if (!rule.empty() && tz::EvaluateRule(rule, 2000, 0, 0, e) == 0)
        for (const char* p = e.daylightName; *p != '\0'; ++p) daylight.push_back(static_cast<uint8_t>(*p));
      t.isdst = daylight.size() == 3 && MatchesAt(env_.family, zone, 0, daylight) ? 1 : 0;
      return true;
    }
    default:  // an unknown conversion stands for its own character
      if (at_ >= text_.size() || text_[at_] != c) return false;
      ++at_;
      return true;
  }
}

bool Scanner::Run(const Codes& f, ScanState& s, int depth) {
  for (std::size_t i = 0; i < f.size();) {
    if (f[i] != u'%') {
      if (at_ >= text_.size() || text_[at_] != f[i]) return false;
      ++at_;
      ++i;
      continue;
    }
    ++i;
    const Modifiers m = ReadModifiers(env_, f, i);
    if (i >= f.size()) return true;
    if (!One(f[i++], m, s, depth)) return false;
  }
  return true;
}

void Complete(ScanState& s) {
  SL_TIME& t = s.t;
  if (s.pm && t.hour >= 0 && t.hour < 12) t.hour += 12;
  if (s.am && t.hour == 12) t.hour = 0;
  if (t.year == -1 && s.century >= 0 && s.yearInCentury >= 0) t.year = s.century + s.yearInCentury;
  if (t.year == -1 || t.mon < 0 || t.mon > 11 || t.mday < 1 || t.mday > 31) return;
  const int64_t day = julian::DayNumber(t.year, int64_t{t.mon} + 1, t.mday);
  if (t.yday == -1) t.yday = static_cast<int32_t>(day - julian::DayNumber(t.year, 1, 1));
  if (t.wday == -1) t.wday = julian::Weekday(day);
  if (t.isdst == -1) {
    julian::BrokenDownTime b;
    b.year = t.year - 1900;
    b.yday = t.yday;
    b.mon = t.mon;
    b.mday = t.mday;
    b.wday = t.wday;
    b.hour = t.hour < 0 ? 0 : t.hour;
    b.min = t.min < 0 ? 0 : t.min;
    b.sec = t.sec < 0 ? 0 : t.sec;
    t.isdst = tz::InDaylightTime(b) ? 1 : 0;
  }
}

const TimeCategory& TimeData(const CLocale& l) {
  const TimeCategory* t = TimeOf(l);
  return t != nullptr ? *t : PosixTime();
}

template <class CH>
uint16_t FormatTime(hlocale h, uint8_t family, CH* out, const CH* format, const SL_TIME* t, uint16_t size) {
  if (out == nullptr || size == 0) return 0;
  out[0] = 0;
  const CLocale* l = casemap::LocaleOf(h, family);
  if (l == nullptr || format == nullptr || t == nullptr) return 0;
  Env env{*l, family, TimeData(*l)};
  Out o(env, out, size - 1u);
  try {
    const bool whole = FormatCodes(env, casemap::Family{family, l}.Decode(format).codes, *t, o, 0);
    o.Terminate();
    return whole ? static_cast<uint16_t>(o.chars()) : 0;
  } catch (const std::bad_alloc&) {
    o.Terminate();
    return 0;
  }
}

template <class CH>
uint16_t ScanTime(hlocale h, uint8_t family, const CH* text, const CH* format, SL_TIME* t) {
  if (t == nullptr) return 0;
  std::fill_n(&t->sec, 10, -1);
  const CLocale* l = casemap::LocaleOf(h, family);
  if (l == nullptr || text == nullptr || format == nullptr) return 0;
  try {
    Env env{*l, family, TimeData(*l)};
    const casemap::Family fam{family, l};
    const Codes codes = fam.Decode(text).codes;
    Scanner scanner(env, codes);
    ScanState s;
    std::fill_n(&s.t.sec, 10, -1);
    if (!scanner.Run(fam.Decode(format).codes, s, 0)) return 0;
    Complete(s);
    *t = s.t;
    return static_cast<uint16_t>(scanner.position());
  } catch (const std::bad_alloc&) {
    return 0;
  }
}

SL_TIME FromAlt(const SL_ALTTIME& a) {
  return {a.sec, a.min, a.hour, a.mday, a.month, a.year, a.wday, -1, -1, a.extra};
}

void ToAlt(const SL_TIME& t, SL_ALTTIME& a) {
  a.year = static_cast<int16_t>(t.year);
  a.month = static_cast<int16_t>(t.mon);
  a.wday = static_cast<int16_t>(t.wday);
  a.mday = static_cast<int16_t>(t.mday);
  a.hour = static_cast<int16_t>(t.hour);
  a.min = static_cast<int16_t>(t.min);
  a.sec = static_cast<int16_t>(t.sec);
  a.extra = static_cast<int16_t>(t.extra);
}

}  // namespace

#define TIME_EXPORTS(P, CH, FAMILY)                                                                          \
  SL_EXPORT uint16_t P##FmtStrTime(hlocale h, CH* out, const CH* format, const SL_TIME* t, uint16_t size) { \
    return FormatTime(h, FAMILY, out, format, t, size);                                                     \
  }                                                                                                         \
  SL_EXPORT uint16_t P##FmtStrAltTime(hlocale h, CH* out, const CH* format, const SL_ALTTIME* a,           \
                                      uint16_t size) {                                                      \
    if (a == nullptr) return FormatTime<CH>(h, FAMILY, out, format, nullptr, size);                         \
    const SL_TIME t = FromAlt(*a);                                                                          \
    return FormatTime(h, FAMILY, out, format, &t, size);                                                    \
  }                                                                                                         \
  SL_EXPORT uint16_t P##ScanStrTime(hlocale h, const CH* text, const CH* format, SL_TIME* t) {             \
    return ScanTime(h, FAMILY, text, format, t);                                                            \
  }                                                                                                         \
  SL_EXPORT uint16_t P##ScanStrAltTime(hlocale h, const CH* text, const CH* format, SL_ALTTIME* a) {       \
    if (a == nullptr) return 0;                                                                             \
    SL_TIME t{};                                                                                            \
    const uint16_t result = ScanTime(h, FAMILY, text, format, &t);                                          \
    ToAlt(t, *a);                                                                                           \
    return result;                                                                                          \
  }

TIME_EXPORTS(SLN_, char, SL_FAMILY_NARROW)
TIME_EXPORTS(SLW_, SL_WCHAR, SL_FAMILY_WIDE)
TIME_EXPORTS(SLM_, char, SL_FAMILY_MULTI)
