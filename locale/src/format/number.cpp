// Number to text, grouping, the number scanners and the helpers the time
// and printf engines share.
#include <algorithm>
#include <array>
#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <locale.h>
#include <new>

#include "casemap/casemap.h"
#include "client.h"
#include "format.h"

namespace slw::format {

Codes LocaleCodes(const CLocale& l, const Text& text) {
  if (l.family() != SL_FAMILY_MULTI) return text;
  std::string bytes;
  for (char16_t c : text) bytes.push_back(static_cast<char>(c & 0xFF));
  return casemap::Family{SL_FAMILY_MULTI, &l}.Decode(bytes.c_str()).codes;
}

uint16_t FoldCase(uint8_t family, uint16_t code) {
  const CLocale* system = SystemLocale(family);
  const CtypeCategory* ct = system != nullptr ? CtypeOf(*system) : nullptr;
  if (ct == nullptr) return code >= 'a' && code <= 'z' ? static_cast<uint16_t>(code - 32) : code;
  return casemap::UpperOne(*ct, family, code);
}

bool MatchesAt(uint8_t family, const Codes& text, std::size_t at, const Codes& name) {
  if (name.empty() || at > text.size() || text.size() - at < name.size()) return false;
  for (std::size_t i = 0; i < name.size(); ++i)
    if (text[at + i] != name[i] && FoldCase(family, text[at + i]) != FoldCase(family, name[i])) return false;
  return true;
}

void Group(Buf& out, std::size_t from, std::size_t to, const std::string& grouping, const Codes& separator) {
  if (grouping.empty() || separator.empty() || to <= from || to > out.n) return;
  // The grouped digits, built from the right.
  std::array<char16_t, Buf::kRoom> reversed;
  std::size_t count = 0;
  std::size_t index = 0;
  int inGroup = 0;
  for (std::size_t i = to; i > from && count < reversed.size(); --i) {
    const int size = static_cast<uint8_t>(grouping[index]);
    if (size > 0 && size < 127 && inGroup == size) {
      for (std::size_t s = separator.size(); s > 0 && count < reversed.size(); --s) reversed[count++] = separator[s - 1];
      inGroup = 0;
      index = (index + 1) % grouping.size();
    }
    if (count < reversed.size()) reversed[count++] = out.d[i - 1];
    ++inGroup;
  }
  std::array<char16_t, Buf::kRoom> tail;
  const std::size_t tailCount = out.n - to;
  std::memcpy(tail.data(), out.d + to, tailCount * sizeof(char16_t));
  out.n = from;
  for (std::size_t i = count; i > 0; --i) out.Push(reversed[i - 1]);
  out.Append(tail.data(), tailCount);
}

std::string GroupingFromWindows(std::string_view text) {
  constexpr std::size_t kSizes = 10;
  std::string sizes;
  int value = 0;
  bool digits = false;
  for (std::size_t i = 0; i <= text.size(); ++i) {
    if (i < text.size() && text[i] >= '0' && text[i] <= '9') {
      value = std::min(value * 10 + (text[i] - '0'), 126);
      digits = true;
    } else if (i == text.size() || text[i] == ';') {
      if (digits) sizes.push_back(static_cast<char>(value));
      value = 0;
      digits = false;
    }
  }
  if (sizes.empty() || sizes[0] == 0) return {};
  if (sizes.back() == 0) {
    sizes.pop_back();
    if (sizes.size() > 1)
      while (sizes.size() < kSizes) sizes.push_back(sizes.back());
    return sizes;
  }
  sizes.push_back(127);
  return sizes;
}

NumberStyle NumberStyleOf(const CLocale& l) {
  NumberStyle s;
  const NumericCategory* n = NumericOf(l);
  if (n == nullptr) return s;
  if (!n->decimalPoint.empty()) s.decimalPoint = LocaleCodes(l, n->decimalPoint);
  const Codes marker = n->exponent.empty() ? Codes(u"E") : LocaleCodes(l, n->exponent.substr(0, 6));
  const CtypeCategory* ct = CtypeOf(l);
  s.exponentUpper = s.exponentLower = marker;
  if (ct != nullptr) {
    for (char16_t& c : s.exponentUpper) c = ct->Translate(ct->upperIndex(), c);
    for (char16_t& c : s.exponentLower) c = ct->Translate(ct->lowerIndex(), c);
  }
  return s;
}

namespace {

constexpr int kMaxPrecision = 40;
constexpr int kMaxSignificant = 19;

// `count` (1 to 19) significant digits of a non-negative finite value, and
// the position of the decimal point: value = 0.digits x 10^point.
// A long double that a double holds exactly gives the same digits through
// the (much faster) conversion of a double.
bool IsDouble(long double v) { return static_cast<long double>(static_cast<double>(v)) == v; }

int Significant(long double v, int count, char* digits) {
  char text[64];
  if (IsDouble(v))
    *std::to_chars(text, text + sizeof text - 1, static_cast<double>(v), std::chars_format::scientific, count - 1).ptr =
        '\0';
  else
    std::snprintf(text, sizeof text, "%.*Le", count - 1, v);
  int k = 0;
  const char* p = text;
  for (; *p != 'e' && *p != '\0'; ++p)
    if (*p >= '0' && *p <= '9') digits[k++] = *p;
  digits[k] = '\0';
  return *p == 'e' ? std::atoi(p + 1) + 1 : 1;
}

void PushAscii(Buf& out, const char* s) {
  for (; *s != '\0'; ++s) out.Push(static_cast<char16_t>(static_cast<uint8_t>(*s)));
}

// The exponential form of `digits` (fraction digits after the first: `fraction`).
void Exponential(const char* digits, int point, int fraction, bool strip, bool keepPoint, bool upper,
                 const NumberStyle& style, Buf& out) {
  out.Push(static_cast<char16_t>(digits[0]));
  const std::size_t pointAt = out.n;
  out.Append(style.decimalPoint);
  const int have = static_cast<int>(std::strlen(digits)) - 1;
  for (int i = 0; i < fraction; ++i) out.Push(static_cast<char16_t>(i < have ? digits[i + 1] : '0'));
  if (strip)
    while (out.n > pointAt + style.decimalPoint.size() && out.d[out.n - 1] == u'0') --out.n;
  if (out.n == pointAt + style.decimalPoint.size() && !keepPoint) out.n = pointAt;
  out.Append(upper ? style.exponentUpper : style.exponentLower);
  int exponent = digits[0] == '0' ? 0 : point - 1;
  out.Push(exponent < 0 ? u'-' : u'+');
  if (exponent < 0) exponent = -exponent;
  char text[8];
  int n = 0;
  do {
    text[n++] = static_cast<char>('0' + exponent % 10);
    exponent /= 10;
  } while (exponent != 0 || n < 2);
  while (n > 0) out.Push(static_cast<char16_t>(text[--n]));
}

// The fixed form of digits with the point after `point` of them.
void Fixed(const char* digits, int point, int fraction, bool strip, bool keepPoint, const NumberStyle& style,
           Buf& out) {
  const int k = static_cast<int>(std::strlen(digits));
  if (point <= 0) {
    out.Push(u'0');
  } else {
    for (int i = 0; i < point; ++i) out.Push(static_cast<char16_t>(i < k ? digits[i] : '0'));
  }
  const std::size_t pointAt = out.n;
  out.Append(style.decimalPoint);
  for (int i = 0; i < fraction; ++i) {
    const int at = point + i;
    out.Push(static_cast<char16_t>(at >= 0 && at < k ? digits[at] : '0'));
  }
  if (strip)
    while (out.n > pointAt + style.decimalPoint.size() && out.d[out.n - 1] == u'0') --out.n;
  if (out.n == pointAt + style.decimalPoint.size() && !keepPoint) out.n = pointAt;
}

}  // namespace

void NumberToText(long double value, int precision, char conversion, bool alternate, const NumberStyle& style,
                  Buf& out) {
  if (precision < 0) precision = 6;
  if (precision > kMaxPrecision) precision = kMaxPrecision;
  const bool upper = conversion == 'E' || conversion == 'G' || conversion == 'F';
  const char kind = static_cast<char>(conversion | 0x20);
  if (std::isinf(value) || std::isnan(value)) {
    out.Push(std::signbit(value) ? u'-' : u'+');
    PushAscii(out, std::isinf(value) ? "INF" : "NAN");
    return;
  }
  if (std::signbit(value)) out.Push(u'-');
  value = std::fabs(value);
  char digits[kMaxSignificant + 2];
  if (kind == 'e') {
    const int point = Significant(value, std::min(precision + 1, kMaxSignificant), digits);
    Exponential(digits, point, precision, false, alternate, upper, style, out);
    return;
  }
  if (kind == 'g') {
    const int wanted = precision == 0 ? 1 : precision;
    const int point = Significant(value, std::min(wanted, kMaxSignificant), digits);
    const int effective = value == 0 ? 1 : point;
    if (effective < -3 || effective > wanted || effective > kMaxPrecision + 1)
      Exponential(digits, point, wanted - 1, !alternate, alternate, upper, style, out);
    else
      Fixed(digits, effective, wanted - effective, !alternate, alternate, style, out);
    return;
  }
  // 'f': exact digits from the C library while they are at most 19, else
  // 19 significant digits and zeros.
  // The count of integer digits is `estimate` or one more.
  int binary = 0;
  std::frexp(value, &binary);
  const int estimate = value == 0 ? 1 : static_cast<int>(std::floor((binary - 1) * 0.30102999566398120)) + 1;
  const bool exact = estimate + 1 + precision <= kMaxSignificant;
  const int point = exact ? estimate : (value == 0 ? 1 : Significant(value, kMaxSignificant, digits));
  if (point > kMaxPrecision + 1) {
    Significant(value, std::min(precision + 1, kMaxSignificant), digits);
    Exponential(digits, point, precision, false, alternate, upper, style, out);
    return;
  }
  if (exact || point + precision <= kMaxSignificant) {
    char text[2 * kMaxPrecision + 8];
    if (IsDouble(value))
      *std::to_chars(text, text + sizeof text - 1, static_cast<double>(value), std::chars_format::fixed, precision)
           .ptr = '\0';
    else
      std::snprintf(text, sizeof text, "%.*Lf", precision, value);
    char* dot = std::strchr(text, '.');
    if (dot != nullptr) *dot = '\0';
    PushAscii(out, text);
    if (dot != nullptr || alternate) out.Append(style.decimalPoint);
    if (dot != nullptr) PushAscii(out, dot + 1);
    return;
  }
  Fixed(digits, point, precision, false, alternate, style, out);
}

namespace {

std::size_t Find(const Codes& text, const Codes& what, std::size_t from = 0, std::size_t to = Codes::npos) {
  if (what.empty()) return Codes::npos;
  const std::size_t at = text.find(what, from);
  return at == Codes::npos || (to != Codes::npos && at + what.size() > to) ? Codes::npos : at;
}

bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

locale_t CLocaleHandle() {
  static const locale_t c = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
  return c;
}

}  // namespace

Status ScanNumber(const CLocale& l, const Codes& t, bool integerOnly, long double& value) {
  value = 0;
  Codes point = u".", separator, marker = u"E", negative = u"-", positive = u"+";
  if (const NumericCategory* n = NumericOf(l)) {
    if (!n->decimalPoint.empty()) point = LocaleCodes(l, n->decimalPoint);
    separator = LocaleCodes(l, n->thousands);
    if (!n->exponent.empty()) marker = LocaleCodes(l, n->exponent);
  }
  bool monetary = false;
  if (const MonetaryCategory* m = MonetaryOf(l)) {
    if (!m->negativeSign.empty()) negative = LocaleCodes(l, m->negativeSign);
    if (!m->positiveSign.empty()) positive = LocaleCodes(l, m->positiveSign);
    const Codes symbol = LocaleCodes(l, m->symbol), intl = LocaleCodes(l, m->intlSymbol);
    monetary = Find(t, symbol) != Codes::npos || Find(t, intl) != Codes::npos;
    if (monetary) {
      if (!m->decimalPoint.empty()) point = LocaleCodes(l, m->decimalPoint);
      separator = LocaleCodes(l, m->thousands);
    }
  }
  std::size_t i = 0;
  while (i < t.size() && !IsDigit(t[i])) ++i;
  if (i == t.size()) return kBadArgument;
  std::string ascii;
  bool inFraction = i >= point.size() && t.compare(i - point.size(), point.size(), point) == 0;
  if (inFraction) ascii = "0.";
  for (; i < t.size();) {
    if (IsDigit(t[i])) {
      ascii.push_back(static_cast<char>(t[i++]));
    } else if (!inFraction && !separator.empty() && t.compare(i, separator.size(), separator) == 0 &&
               i + separator.size() < t.size() && IsDigit(t[i + separator.size()])) {
      i += separator.size();
    } else if (!inFraction && t.compare(i, point.size(), point) == 0) {
      if (i + point.size() >= t.size() || !IsDigit(t[i + point.size()])) return kBadArgument;
      i += point.size();
      inFraction = true;
      ascii.push_back('.');
    } else {
      break;
    }
  }
  std::size_t signEnd = t.size();
  long exponent = 0;
  if (!integerOnly && !monetary && MatchesAt(l.family(), t, i, marker)) {
    signEnd = i;
    std::size_t e = i + marker.size();
    std::size_t digit = e;
    while (digit < t.size() && !IsDigit(t[digit])) ++digit;
    for (std::size_t k = digit; k < t.size() && IsDigit(t[k]); ++k)
      if (exponent < 100000) exponent = exponent * 10 + (t[k] - u'0');
    if (Find(t, negative, e, digit) != Codes::npos) exponent = -exponent;
  }
  const bool isNegative = (t.find(u'(') != Codes::npos && t.find(u')') != Codes::npos) ||
                          Find(t, negative, 0, signEnd) != Codes::npos;
  if (integerOnly) {
    int64_t whole = 0;
    for (char c : ascii) {
      if (c == '.') break;
      whole = whole * 10 + (c - '0');
      if (whole > int64_t{1} << 31) return kBadArgument;
    }
    if (isNegative) whole = -whole;
    if (whole > INT32_MAX || whole < INT32_MIN) return kBadArgument;
    value = static_cast<long double>(whole);
    return kOk;
  }
  ascii.push_back('e');
  ascii += std::to_string(exponent);
  long double v = strtold_l(ascii.c_str(), nullptr, CLocaleHandle());
  if (std::isinf(v)) return kBadArgument;
  value = isNegative ? -v : v;
  return kOk;
}

}  // namespace slw::format

using namespace slw;
using namespace slw::format;

namespace {

// The 80-bit extended value, little-endian: 64-bit significand with its
// explicit leading bit, then the sign and the 15-bit biased exponent.
void WriteExtended(long double v, uint8_t* out) {
  uint64_t significand = 0;
  uint16_t top = 0;
  if (std::signbit(v)) top = 0x8000;
  v = std::fabs(v);
  if (v != 0) {
    int e = 0;
    const long double fraction = std::frexp(v, &e);
    const int biased = e - 1 + 16383;
    if (biased > 0 && biased < 0x7FFF) {
      significand = static_cast<uint64_t>(std::ldexp(fraction, 64));
      top = static_cast<uint16_t>(top | biased);
    }
  }
  for (int i = 0; i < 8; ++i) out[i] = static_cast<uint8_t>(significand >> (8 * i));
  out[8] = static_cast<uint8_t>(top);
  out[9] = static_cast<uint8_t>(top >> 8);
}

template <class CH>
Status Scan(hlocale h, uint8_t family, const CH* text, bool integerOnly, long double& value) {
  value = 0;
  const CLocale* l = casemap::LocaleOf(h, family);
  if (l == nullptr) return kBadHandle;
  if (text == nullptr) return kBadArgument;
  try {
    return ScanNumber(*l, casemap::Family{family, l}.Decode(text).codes, integerOnly, value);
  } catch (const std::bad_alloc&) {
    value = 0;
    return kNoMemory;
  }
}

}  // namespace

#define NUMBER_SCAN_EXPORTS(P, CH, FAMILY)                                                   \
  SL_EXPORT LocaleStatus P##StrLong(hlocale h, const CH* text, int32_t* out) {               \
    if (out == nullptr) return kBadArgument;                                                 \
    long double v = 0;                                                                       \
    const Status s = Scan(h, FAMILY, text, true, v);                                         \
    *out = static_cast<int32_t>(v);                                                          \
    return s;                                                                                \
  }                                                                                          \
  SL_EXPORT LocaleStatus P##StrDouble(hlocale h, const CH* text, double* out) {              \
    if (out == nullptr) return kBadArgument;                                                 \
    long double v = 0;                                                                       \
    Status s = Scan(h, FAMILY, text, false, v);                                              \
    if (s == kOk && std::isinf(static_cast<double>(v))) {                                    \
      v = 0;                                                                                 \
      s = kBadArgument;                                                                        \
    }                                                                                        \
    *out = static_cast<double>(v);                                                           \
    return s;                                                                                \
  }                                                                                          \
  SL_EXPORT LocaleStatus P##StrLongDouble(hlocale h, const CH* text, uint8_t out[10]) {      \
    if (out == nullptr) return kBadArgument;                                                 \
    long double v = 0;                                                                       \
    const Status s = Scan(h, FAMILY, text, false, v);                                        \
    WriteExtended(v, out);                                                                   \
    return s;                                                                                \
  }

NUMBER_SCAN_EXPORTS(SLN_, char, SL_FAMILY_NARROW)
NUMBER_SCAN_EXPORTS(SLW_, SL_WCHAR, SL_FAMILY_WIDE)
NUMBER_SCAN_EXPORTS(SLM_, char, SL_FAMILY_MULTI)
