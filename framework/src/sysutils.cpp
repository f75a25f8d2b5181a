#include "framework/sysutils.h"

#include "platform/civil_date.h"

#include <cctype>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <vector>

namespace framework {

char DateSeparator = '/';
std::string ShortDateFormat = "m/d/yy";
std::string LongDateFormat = "mmmm d, yyyy";
char TimeSeparator = ':';
std::string ShortTimeFormat = "h:nn AMPM";
std::string LongTimeFormat = "h:nn:ss AMPM";
std::string TimeAMString = "AM";
std::string TimePMString = "PM";
char DecimalSeparator = '.';
char ThousandSeparator = ',';
std::string CurrencyString = "$";
uint8_t CurrencyFormat = 0;
uint8_t NegCurrFormat = 0;
uint8_t CurrencyDecimals = 2;

void ResetFormatSettings() {
  DateSeparator = '/';
  ShortDateFormat = "m/d/yy";
  LongDateFormat = "mmmm d, yyyy";
  TimeSeparator = ':';
  ShortTimeFormat = "h:nn AMPM";
  LongTimeFormat = "h:nn:ss AMPM";
  TimeAMString = "AM";
  TimePMString = "PM";
  DecimalSeparator = '.';
  ThousandSeparator = ',';
  CurrencyString.assign(1, '$');
  CurrencyFormat = 0;
  NegCurrFormat = 0;
  CurrencyDecimals = 2;
}

namespace {

constexpr const char* kMonthShort[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                       "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
constexpr const char* kMonthLong[] = {"January", "February", "March",     "April",   "May",      "June",
                                      "July",    "August",   "September", "October", "November", "December"};
constexpr const char* kDayShort[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
constexpr const char* kDayLong[] = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};

// The day number of 31 December 9999 (DayNumber(9999, 12, 31)).
constexpr int64_t kLastDay = 3652059;

// Proleptic Gregorian day number, 1 = 1 January of year 1 (years 1 to 9999).
inline int64_t DayNumber(int64_t y, int m, int d) { return platform::DaysFromCivil(static_cast<int32_t>(y), m, d); }

// The inverse of DayNumber for n in 1..31 December 9999 (every date of a
// table's scan passes through here).
inline void FromDayNumber(uint32_t n, int& year, int& month, int& day) {
  platform::CivilFromDays(static_cast<int32_t>(n), &year, &month, &day);
}

std::string Pad(int64_t v, int width) {
  std::string s = std::to_string(v < 0 ? -v : v);
  while (static_cast<int>(s.size()) < width) s.insert(s.begin(), '0');
  return v < 0 ? "-" + s : s;
}

bool StartsNoCase(std::string_view text, size_t pos, std::string_view what) {
  if (pos + what.size() > text.size()) return false;
  for (size_t i = 0; i < what.size(); ++i)
    if (std::toupper(static_cast<unsigned char>(text[pos + i])) !=
        std::toupper(static_cast<unsigned char>(what[i])))
      return false;
  return true;
}

int YearFromTwoDigits(int y) { return y < 30 ? 2000 + y : 1900 + y; }

void SkipBlanks(std::string_view t, size_t& i) {
  while (i < t.size() && (t[i] == ' ' || t[i] == '\t')) ++i;
}

// Reads up to `maxDigits` digits; false when there is none.
bool ReadNumber(std::string_view t, size_t& i, int& value, int& digits, int maxDigits = 9) {
  value = 0;
  digits = 0;
  while (i < t.size() && std::isdigit(static_cast<unsigned char>(t[i])) && digits < maxDigits) {
    value = value * 10 + (t[i] - '0');
    ++i;
    ++digits;
  }
  return digits > 0;
}

// The order of day, month and year in ShortDateFormat: "MDY", "DMY" or "YMD".
std::string DateOrder() {
  std::string order;
  bool quoted = false;
  char quote = 0;
  for (char c : ShortDateFormat) {
    if (quoted) {
      if (c == quote) quoted = false;
      continue;
    }
    if (c == '"' || c == '\'') {
      quoted = true;
      quote = c;
      continue;
    }
    char u = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if ((u == 'D' || u == 'M' || u == 'Y') && order.find(u) == std::string::npos) order += u;
  }
  if (order == "YMD" || order == "DMY" || order == "MDY") return order;
  if (!order.empty() && order[0] == 'D') return "DMY";
  if (!order.empty() && order[0] == 'Y') return "YMD";
  return "MDY";
}

bool ScanDate(std::string_view t, size_t& i, TDateTime& date) {
  int n[3] = {0, 0, 0};
  int digits[3] = {0, 0, 0};
  int count = 0;
  SkipBlanks(t, i);
  for (; count < 3; ++count) {
    if (count > 0) {
      SkipBlanks(t, i);
      if (i >= t.size() || t[i] != DateSeparator) break;
      ++i;
      SkipBlanks(t, i);
    }
    if (!ReadNumber(t, i, n[count], digits[count], 4)) return false;
  }
  if (count < 2) return false;
  std::string order = DateOrder();
  int year = 0, month = 0, day = 0, yearDigits = 0;
  if (count == 2) {
    int y, m, d;
    DecodeDate(Date(), y, m, d);
    year = y;
    yearDigits = 4;
    if (order == "DMY") {
      day = n[0];
      month = n[1];
    } else {  // MDY and YMD both give month before day
      month = n[0];
      day = n[1];
    }
  } else if (order == "MDY") {
    month = n[0], day = n[1], year = n[2], yearDigits = digits[2];
  } else if (order == "DMY") {
    day = n[0], month = n[1], year = n[2], yearDigits = digits[2];
  } else {
    year = n[0], month = n[1], day = n[2], yearDigits = digits[0];
  }
  if (yearDigits <= 2) year = YearFromTwoDigits(year);
  return TryEncodeDate(year, month, day, date);
}

bool ScanTime(std::string_view t, size_t& i, TDateTime& time) {
  int part[3] = {0, 0, 0};
  int count = 0;
  SkipBlanks(t, i);
  for (; count < 3; ++count) {
    if (count > 0) {
      if (i >= t.size() || t[i] != TimeSeparator) break;
      ++i;
    }
    int digits = 0;
    if (!ReadNumber(t, i, part[count], digits, 2)) return false;
  }
  SkipBlanks(t, i);
  int hour = part[0];
  auto ampm = [&](std::string_view s) {
    if (!s.empty() && StartsNoCase(t, i, s)) {
      i += s.size();
      return true;
    }
    return false;
  };
  if (ampm(TimeAMString) || ampm("AM")) {
    if (hour == 0 || hour > 12) return false;
    if (hour == 12) hour = 0;
  } else if (ampm(TimePMString) || ampm("PM")) {
    if (hour == 0 || hour > 12) return false;
    if (hour != 12) hour += 12;
  }
  return TryEncodeTime(hour, part[1], part[2], 0, time);
}

[[noreturn]] void ConvertFail(std::string_view text, const char* what) {
  throw EConvertError("'" + std::string(text) + "' is not a valid " + what);
}

}  // namespace

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12) return 0;
  return kDays[month - 1] + (month == 2 && IsLeapYear(year) ? 1 : 0);
}

bool TryEncodeDate(int year, int month, int day, TDateTime& date) {
  if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month))
    return false;
  date = static_cast<double>(DayNumber(year, month, day) - kDateDelta);
  return true;
}

TDateTime EncodeDate(int year, int month, int day) {
  TDateTime d;
  if (!TryEncodeDate(year, month, day, d)) throw EConvertError("Invalid argument to date encode");
  return d;
}

void DecodeDate(TDateTime date, int& year, int& month, int& day) {
  // The whole days below the date by truncation, exact in this range far
  // beyond the last day (the library's floor is a call, and every date a
  // scan shows passes here); NaN and the rest have no date.
  if (!(date >= -1e15 && date <= 1e15)) {
    year = month = day = 0;
    return;
  }
  int64_t whole = static_cast<int64_t>(date);
  if (static_cast<double>(whole) > date) --whole;
  int64_t n = whole + kDateDelta;
  if (n < 1 || n > kLastDay) {
    year = month = day = 0;
    return;
  }
  FromDayNumber(static_cast<uint32_t>(n), year, month, day);
}

bool TryEncodeTime(int hour, int min, int sec, int msec, TDateTime& time) {
  if (hour < 0 || hour > 23 || min < 0 || min > 59 || sec < 0 || sec > 59 || msec < 0 || msec > 999) return false;
  time = (((hour * 60.0 + min) * 60.0 + sec) * 1000.0 + msec) / 86400000.0;
  return true;
}

TDateTime EncodeTime(int hour, int min, int sec, int msec) {
  TDateTime t;
  if (!TryEncodeTime(hour, min, sec, msec, t)) throw EConvertError("Invalid argument to time encode");
  return t;
}

int32_t TimeToMilliseconds(TDateTime time) {
  double frac = std::fabs(time - std::floor(time));
  auto ms = static_cast<int64_t>(std::llround(frac * 86400000.0));
  if (ms >= 86400000) ms = 86399999;
  return static_cast<int32_t>(ms);
}

void DecodeTime(TDateTime time, int& hour, int& min, int& sec, int& msec) {
  int32_t ms = TimeToMilliseconds(time);
  hour = ms / 3600000;
  min = ms / 60000 % 60;
  sec = ms / 1000 % 60;
  msec = ms % 1000;
}

TDateTime Now() {
  std::time_t t = std::time(nullptr);
  std::tm local{};
  localtime_r(&t, &local);
  return EncodeDate(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday) +
         EncodeTime(local.tm_hour, local.tm_min, local.tm_sec, 0);
}

TDateTime Date() { return std::floor(Now()); }

int32_t DateToEngineDay(TDateTime date) { return static_cast<int32_t>(std::floor(date)) + kDateDelta; }
TDateTime EngineDayToDate(int32_t day) { return static_cast<double>(day) - kDateDelta; }

std::string FormatDateTime(std::string_view f, TDateTime value) {
  int y, mo, d, h, mi, s, ms;
  DecodeDate(value, y, mo, d);
  DecodeTime(value, h, mi, s, ms);
  std::string out;
  bool lastWasHour = false;
  bool hasAmPm = false;
  // A 12-hour clock when the format names an AM/PM token anywhere.
  for (size_t k = 0; k < f.size(); ++k) {
    if (f[k] != 'a' && f[k] != 'A') continue;  // every AM/PM token starts with an A
    if (StartsNoCase(f, k, "am/pm") || StartsNoCase(f, k, "a/p") || StartsNoCase(f, k, "ampm")) hasAmPm = true;
  }
  size_t i = 0;
  auto run = [&](char c) {
    size_t n = 0;
    while (i + n < f.size() && std::toupper(static_cast<unsigned char>(f[i + n])) == c) ++n;
    return n;
  };
  while (i < f.size()) {
    char c = f[i];
    char u = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (c == '"' || c == '\'') {
      size_t end = f.find(c, i + 1);
      if (end == std::string_view::npos) end = f.size();
      out.append(f.substr(i + 1, end - i - 1));
      i = end + 1;
      continue;
    }
    if (c == '/') {
      out += DateSeparator;
      ++i;
      continue;
    }
    if (c == ':') {
      out += TimeSeparator;
      ++i;
      continue;
    }
    if (u == 'A' && StartsNoCase(f, i, "am/pm")) {
      out += h < 12 ? (std::isupper(static_cast<unsigned char>(c)) ? "AM" : "am")
                    : (std::isupper(static_cast<unsigned char>(c)) ? "PM" : "pm");
      i += 5;
      continue;
    }
    if (u == 'A' && StartsNoCase(f, i, "a/p")) {
      out += h < 12 ? (std::isupper(static_cast<unsigned char>(c)) ? "A" : "a")
                    : (std::isupper(static_cast<unsigned char>(c)) ? "P" : "p");
      i += 3;
      continue;
    }
    if (u == 'A' && StartsNoCase(f, i, "ampm")) {
      out += h < 12 ? TimeAMString : TimePMString;
      i += 4;
      continue;
    }
    size_t n = 0;
    switch (u) {
      case 'Y':
        n = run('Y');
        out += n <= 2 ? Pad(y % 100, 2) : Pad(y, 4);
        lastWasHour = false;
        break;
      case 'M':
        n = run('M');
        if (lastWasHour && n <= 2) {
          out += n == 1 ? std::to_string(mi) : Pad(mi, 2);
        } else if (n == 1) {
          out += std::to_string(mo);
        } else if (n == 2) {
          out += Pad(mo, 2);
        } else if (mo >= 1) {
          out += n == 3 ? kMonthShort[mo - 1] : kMonthLong[mo - 1];
        }
        lastWasHour = false;
        break;
      case 'D': {
        n = run('D');
        int64_t dn = static_cast<int64_t>(std::floor(value)) + kDateDelta;
        int dow = static_cast<int>(((dn % 7) + 7) % 7);  // day 1 (1 Jan 1) was a Monday
        if (n == 1) out += std::to_string(d);
        else if (n == 2) out += Pad(d, 2);
        else if (n == 3) out += kDayShort[dow];
        else if (n == 4) out += kDayLong[dow];
        else if (n == 5) out += FormatDateTime(ShortDateFormat, value);
        else out += FormatDateTime(LongDateFormat, value);
        lastWasHour = false;
        break;
      }
      case 'H': {
        n = run('H');
        int hh = h;
        if (hasAmPm) {
          hh = h % 12;
          if (hh == 0) hh = 12;
        }
        out += n == 1 ? std::to_string(hh) : Pad(hh, 2);
        lastWasHour = true;
        break;
      }
      case 'N':
        n = run('N');
        out += n == 1 ? std::to_string(mi) : Pad(mi, 2);
        lastWasHour = false;
        break;
      case 'S':
        n = run('S');
        out += n == 1 ? std::to_string(s) : Pad(s, 2);
        lastWasHour = false;
        break;
      case 'Z':
        n = run('Z');
        out += n == 1 ? std::to_string(ms) : Pad(ms, 3);
        break;
      case 'C':
        n = 1;
        out += FormatDateTime(ShortDateFormat, value);
        if (TimeToMilliseconds(value) != 0) out.append(" ").append(FormatDateTime(LongTimeFormat, value));
        break;
      case 'T':
        n = run('T');
        out += FormatDateTime(n == 1 ? ShortTimeFormat : LongTimeFormat, value);
        break;
      default:
        n = 1;
        out += c;
        break;
    }
    i += n;
  }
  return out;
}

namespace {

// A short date format of day, month and year numbers with separators and
// literals between them ("m/d/yy", "dd.mm.yyyy"), taken apart once and
// then written without the general formatter: the grid and every scan
// format each date shown. Each thread keeps the format it used last, with
// the separators it was taken apart under.
struct NumericDateFormat {
  struct Part {
    char what;     // 'D', 'M', 'Y', or 0 for a literal
    int8_t width;  // fewest digits
    char literal;
  };
  std::string format;
  char dateSeparator = 0;
  char timeSeparator = 0;
  bool numeric = false;  // false: anything else, for FormatDateTime to write
  std::vector<Part> parts;

  void Take(const std::string& f) {
    format = f;
    dateSeparator = DateSeparator;
    timeSeparator = TimeSeparator;
    parts.clear();
    numeric = false;
    for (size_t i = 0; i < f.size();) {
      const char c = f[i];
      const char u = c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
      if (u == 'D' || u == 'M' || u == 'Y') {
        size_t n = 0;
        while (i + n < f.size() && (f[i + n] == u || f[i + n] == u - 'A' + 'a')) ++n;
        i += n;
        if (u != 'Y' && n > 2) return;  // names of months and days
        parts.push_back({u, static_cast<int8_t>(u == 'Y' ? (n <= 2 ? 2 : 4) : n), 0});
        continue;
      }
      if ((u >= 'A' && u <= 'Z') || c == '"' || c == '\'') return;
      parts.push_back({0, 0, c == '/' ? DateSeparator : (c == ':' ? TimeSeparator : c)});
      ++i;
    }
    numeric = true;
  }
};

// Writes `value` with at least `width` digits: a year of four (1..9999),
// or a day, month or two-digit year of one or two (below 100).
char* PutDigits(int value, int width, char* at) {
  if (width == 4) {
    *at++ = static_cast<char>('0' + value / 1000);
    *at++ = static_cast<char>('0' + value / 100 % 10);
  }
  if (width >= 2 || value >= 10) *at++ = static_cast<char>('0' + value / 10 % 10);
  *at++ = static_cast<char>('0' + value % 10);
  return at;
}

// The date in the short date format when that format is numeric: false,
// and nothing written, for one of names (FormatDateTime writes those).
bool NumericDateText(int y, int mo, int d, std::string& out) {
  thread_local NumericDateFormat f;
  if (f.format != ShortDateFormat || f.dateSeparator != DateSeparator || f.timeSeparator != TimeSeparator)
    f.Take(ShortDateFormat);
  // Sixteen parts of at most four characters fit the text.
  if (!f.numeric || y == 0 || f.parts.size() > 16) return false;
  char text[64];
  char* at = text;
  for (const NumericDateFormat::Part& p : f.parts) {
    switch (p.what) {
      case 'Y': at = PutDigits(p.width == 2 ? y % 100 : y, p.width, at); break;
      case 'M': at = PutDigits(mo, p.width, at); break;
      case 'D': at = PutDigits(d, p.width, at); break;
      default: *at++ = p.literal; break;
    }
  }
  out.assign(text, at);
  return true;
}

}  // namespace

std::string DateToStr(TDateTime date) {
  int y, mo, d;
  DecodeDate(date, y, mo, d);
  std::string text;
  if (!NumericDateText(y, mo, d, text)) return FormatDateTime(ShortDateFormat, date);
  return text;
}

std::string EngineDayToStr(int32_t day) {
  // The engine's day number is the one DecodeDate finds: the calendar date
  // is read from it straight, not through a TDateTime.
  std::string text;
  if (day >= 1 && day <= kLastDay) {
    int y, mo, d;
    FromDayNumber(static_cast<uint32_t>(day), y, mo, d);
    if (NumericDateText(y, mo, d, text)) return text;
  }
  return DateToStr(EngineDayToDate(day));
}
std::string TimeToStr(TDateTime time) { return FormatDateTime(LongTimeFormat, time); }
std::string DateTimeToStr(TDateTime value) { return FormatDateTime("c", value); }

bool TryStrToDate(std::string_view text, TDateTime& date) {
  size_t i = 0;
  if (!ScanDate(text, i, date)) return false;
  SkipBlanks(text, i);
  return i == text.size();
}

TDateTime StrToDate(std::string_view text) {
  TDateTime d;
  if (!TryStrToDate(text, d)) ConvertFail(text, "date");
  return d;
}

bool TryStrToTime(std::string_view text, TDateTime& time) {
  size_t i = 0;
  if (!ScanTime(text, i, time)) return false;
  SkipBlanks(text, i);
  return i == text.size();
}

TDateTime StrToTime(std::string_view text) {
  TDateTime t;
  if (!TryStrToTime(text, t)) ConvertFail(text, "time");
  return t;
}

bool TryStrToDateTime(std::string_view text, TDateTime& value) {
  size_t i = 0;
  TDateTime d = 0, t = 0;
  if (!ScanDate(text, i, d)) {
    i = 0;
    if (!ScanTime(text, i, t)) return false;
  } else {
    SkipBlanks(text, i);
    if (i < text.size() && !ScanTime(text, i, t)) return false;
  }
  SkipBlanks(text, i);
  if (i != text.size()) return false;
  value = d < 0 ? d - t : d + t;
  return true;
}

TDateTime StrToDateTime(std::string_view text) {
  TDateTime v;
  if (!TryStrToDateTime(text, v)) ConvertFail(text, "date and time");
  return v;
}

std::string IntToStr(int64_t value) { return std::to_string(value); }

bool TryStrToInt(std::string_view text, int64_t& value) {
  size_t i = 0;
  SkipBlanks(text, i);
  bool neg = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) neg = text[i++] == '-';
  uint64_t v = 0;
  size_t start = i;
  while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) {
    v = v * 10 + static_cast<uint64_t>(text[i] - '0');
    if (v > (neg ? 9223372036854775808ULL : 9223372036854775807ULL)) return false;
    ++i;
  }
  if (i == start) return false;
  SkipBlanks(text, i);
  if (i != text.size()) return false;
  value = neg ? static_cast<int64_t>(0 - v) : static_cast<int64_t>(v);
  return true;
}

int64_t StrToInt(std::string_view text) {
  int64_t v;
  if (!TryStrToInt(text, v)) ConvertFail(text, "integer value");
  return v;
}

std::string FloatToStr(double value, char decimalSeparator) {
  if (std::isnan(value)) return "NAN";
  if (std::isinf(value)) return value < 0 ? "-INF" : "INF";
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.15G", value);
  std::string s = buf;
  // "1.5E+20" -> "1.5E20", "1E-05" -> "1E-5".
  size_t e = s.find('E');
  if (e != std::string::npos) {
    std::string mant = s.substr(0, e);
    std::string ex = s.substr(e + 1);
    bool neg = !ex.empty() && ex[0] == '-';
    if (!ex.empty() && (ex[0] == '+' || ex[0] == '-')) ex.erase(0, 1);
    while (ex.size() > 1 && ex[0] == '0') ex.erase(0, 1);
    s = mant + "E" + (neg ? "-" : "") + ex;
  }
  if (s == "-0") s = "0";
  for (char& c : s)
    if (c == '.') c = decimalSeparator;
  return s;
}

std::string FloatToStr(double value) { return FloatToStr(value, DecimalSeparator); }

namespace {

std::string GroupThousands(const std::string& digits) {
  std::string out;
  int n = static_cast<int>(digits.size());
  for (int k = 0; k < n; ++k) {
    out += digits[k];
    int left = n - k - 1;
    if (left > 0 && left % 3 == 0 && ThousandSeparator != 0) out += ThousandSeparator;
  }
  return out;
}

}  // namespace

std::string FloatToStrF(double value, TFloatFormat format, int precision, int digits) {
  if (std::isnan(value) || std::isinf(value)) return FloatToStr(value);
  if (precision < 1) precision = 1;
  if (precision > 18) precision = 18;
  if (digits < 0) digits = 0;
  if (digits > 18) digits = 18;
  char buf[512];
  switch (format) {
    case ffGeneral: {
      std::snprintf(buf, sizeof buf, "%.*G", precision, value);
      double rounded = std::strtod(buf, nullptr);
      std::string s = FloatToStr(rounded);
      return s;
    }
    case ffExponent: {
      std::snprintf(buf, sizeof buf, "%.*E", precision - 1, value);
      std::string s = buf;
      size_t e = s.find('E');
      std::string mant = s.substr(0, e), ex = s.substr(e + 1);
      char sign = ex[0];
      ex.erase(0, 1);
      while (static_cast<int>(ex.size()) > digits && ex.size() > 1 && ex[0] == '0') ex.erase(0, 1);
      while (static_cast<int>(ex.size()) < digits) ex.insert(ex.begin(), '0');
      for (char& c : mant)
        if (c == '.') c = DecimalSeparator;
      return mant + "E" + sign + ex;
    }
    case ffFixed:
    case ffNumber:
    case ffCurrency: {
      std::snprintf(buf, sizeof buf, "%.*f", format == ffCurrency && digits == 0 ? 0 : digits, std::fabs(value));
      std::string s = buf;
      std::string intPart = s.substr(0, s.find('.'));
      std::string frac = s.find('.') == std::string::npos ? "" : s.substr(s.find('.') + 1);
      bool negative = value < 0 && s.find_first_not_of("0.") != std::string::npos;
      std::string body = format == ffFixed ? intPart : GroupThousands(intPart);
      if (!frac.empty()) body += DecimalSeparator + frac;
      if (format != ffCurrency) return (negative ? "-" : "") + body;
      if (!negative) {
        switch (CurrencyFormat) {
          case 1: return body + CurrencyString;
          case 2: return CurrencyString + " " + body;
          case 3: return body + " " + CurrencyString;
          default: return CurrencyString + body;
        }
      }
      const std::string& c = CurrencyString;
      switch (NegCurrFormat) {
        case 1: return "-" + c + body;
        case 2: return c + "-" + body;
        case 3: return c + body + "-";
        case 4: return "(" + body + c + ")";
        case 5: return "-" + body + c;
        case 6: return body + "-" + c;
        case 7: return body + c + "-";
        case 8: return "-" + body + " " + c;
        case 9: return "-" + c + " " + body;
        case 10: return body + " " + c + "-";
        case 11: return c + " " + body + "-";
        case 12: return c + " -" + body;
        case 13: return body + "- " + c;
        case 14: return "(" + c + " " + body + ")";
        case 15: return "(" + body + " " + c + ")";
        default: return "(" + c + body + ")";
      }
    }
  }
  return FloatToStr(value);
}

bool TryStrToFloat(std::string_view text, double& value, char decimalSeparator) {
  // Sign, digits, one decimal separator, an optional exponent; blanks around.
  size_t i = 0;
  SkipBlanks(text, i);
  std::string c;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) c += text[i++];
  bool digits = false;
  while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) c += text[i++], digits = true;
  if (i < text.size() && text[i] == decimalSeparator) {
    c += '.';
    ++i;
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) c += text[i++], digits = true;
  }
  if (!digits) return false;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    c += 'e';
    ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) c += text[i++];
    bool expDigits = false;
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) c += text[i++], expDigits = true;
    if (!expDigits) return false;
  }
  SkipBlanks(text, i);
  if (i != text.size()) return false;
  char* end = nullptr;
  double v = std::strtod(c.c_str(), &end);
  if (std::isinf(v) || std::isnan(v)) return false;
  value = v;
  return true;
}

bool TryStrToFloat(std::string_view text, double& value) { return TryStrToFloat(text, value, DecimalSeparator); }

double StrToFloat(std::string_view text) {
  double v;
  if (!TryStrToFloat(text, v)) ConvertFail(text, "floating point value");
  return v;
}

std::string Trim(std::string_view text) {
  size_t b = 0, e = text.size();
  while (b < e && static_cast<unsigned char>(text[b]) <= ' ') ++b;
  while (e > b && static_cast<unsigned char>(text[e - 1]) <= ' ') --e;
  return std::string(text.substr(b, e - b));
}

std::string UpperCase(std::string_view text) {
  std::string s(text);
  for (char& c : s)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return s;
}

std::string LowerCase(std::string_view text) {
  std::string s(text);
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return s;
}

bool SameText(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 32);
    if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 32);
    if (x != y) return false;
  }
  return true;
}

}  // namespace framework
