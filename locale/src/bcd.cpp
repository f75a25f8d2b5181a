#include "bcd.h"

#include <algorithm>
#include <cstring>

namespace slw::bcd {

namespace {

// The digit values of a value, with the leading zeros a scale above the
// precision implies, and the count of integer digits.
struct Expanded {
  uint8_t digit[kMaxDigits + kMaxScale + 1] = {};
  int count = 0;
  int integerDigits = 0;
  bool negative = false;
};

Expanded Expand(const uint8_t* value) {
  Expanded e;
  const int precision = std::min<int>(value[0], kMaxDigits);
  const int scale = value[1] & 0x3F;
  e.negative = (value[1] & 0x80) != 0;
  const int lead = scale > precision ? scale - precision : 0;
  e.count = lead + precision;
  e.integerDigits = e.count - scale;
  for (int k = 0; k < precision; ++k) {
    const uint8_t byte = value[2 + k / 2];
    const uint8_t nibble = k % 2 == 0 ? byte >> 4 : byte & 0x0F;
    // A nibble above 9 is no digit: it counts as 0.
    e.digit[lead + k] = nibble <= 9 ? nibble : 0;
  }
  return e;
}

template <class CH>
class Writer {
 public:
  Writer(CH* out, std::size_t capacity) : out_(out), capacity_(out != nullptr ? capacity : 0) {}
  void Put(CH c) {
    if (length_ + 1 < capacity_) out_[length_] = c;
    ++length_;
  }
  void Put(const std::basic_string<CH>& s) {
    for (CH c : s) Put(c);
  }
  void Digit(int d) { Put(static_cast<CH>('0' + d)); }
  std::size_t Finish() {
    if (capacity_ > 0) out_[std::min(length_, capacity_ - 1)] = CH(0);
    return length_;
  }

 private:
  CH* out_;
  std::size_t capacity_;
  std::size_t length_ = 0;
};

// Rounds half up to the first `keep` of `count` digits into work[1..keep];
// work[0] receives the carry out of the first digit.
void RoundInto(const uint8_t* digits, int count, int keep, uint8_t* work) {
  work[0] = 0;
  for (int k = 0; k < keep; ++k) work[1 + k] = k < count ? digits[k] : 0;
  if (keep >= count || digits[keep] < 5) return;
  int k = keep;
  while (k > 0) {
    if (++work[k] < 10) return;
    work[k] = 0;
    --k;
  }
  work[0] = 1;
}

bool StartsWith(std::u16string_view text, std::size_t at, std::u16string_view s) {
  return !s.empty() && at <= text.size() && text.size() - at >= s.size() && text.compare(at, s.size(), s) == 0;
}

bool Holds(std::u16string_view text, std::u16string_view s) {
  return !s.empty() && text.find(s) != std::u16string_view::npos;
}

bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

}  // namespace

void Unpack(const uint8_t* value, DigitString& out) {
  out = DigitString{};
  out.negative = (value[1] & 0x80) != 0;
  out.scale = value[1] & 0x3F;
  out.precision = static_cast<uint8_t>(std::min<int>(value[0], kMaxDigits));
  for (int k = 0; k < out.precision; ++k) {
    const uint8_t byte = value[2 + k / 2];
    out.digits[k] = static_cast<char>('0' + (k % 2 == 0 ? byte >> 4 : byte & 0x0F));
  }
  out.digits[out.precision] = '\0';
}

bool Pack(const DigitString& in, uint8_t* value) {
  std::memset(value, 0, kValueSize);
  if (in.scale > kMaxScale) return false;
  const int precision = std::min<int>(in.precision, kMaxDigits);
  value[0] = static_cast<uint8_t>(precision);
  value[1] = static_cast<uint8_t>((in.negative ? 0x80 : 0) | (in.flag ? 0x40 : 0) | in.scale);
  for (int k = 0; k < precision && in.digits[k] != '\0'; ++k) {
    const uint8_t nibble = static_cast<uint8_t>(in.digits[k]) & 0x0F;
    value[2 + k / 2] |= static_cast<uint8_t>(k % 2 == 0 ? nibble << 4 : nibble);
  }
  return true;
}

ParseConventions PosixParseConventions() {
  ParseConventions c;
  // One unit assigned by count: g++ 12 at -O2 warns falsely (-Wrestrict) on
  // the same assignment from a literal.
  c.decimalPoint.assign(1, u'.');
  return c;
}

Status Parse(std::u16string_view text, const ParseConventions& conventions, uint8_t* value) {
  std::memset(value, 0, kValueSize);
  const bool monetary = Holds(text, conventions.currencySymbol) || Holds(text, conventions.intlCurrencySymbol);
  std::u16string_view point = conventions.decimalPoint;
  std::u16string_view separator = conventions.thousandsSeparator;
  if (monetary) {
    if (!conventions.monetaryDecimalPoint.empty()) point = conventions.monetaryDecimalPoint;
    separator = conventions.monetaryThousandsSeparator;
  }
  if (point.empty()) point = u".";

  const bool negative =
      (Holds(text, u"(") && Holds(text, u")")) ||
      Holds(text, conventions.negativeSign.empty() ? std::u16string_view(u"-") : conventions.negativeSign);

  std::size_t i = 0;
  while (i < text.size() && !IsDigit(text[i])) ++i;
  if (i == text.size()) return kBadArgument;
  // ".5" is half, not five.
  bool fraction = i >= point.size() && StartsWith(text, i - point.size(), point);

  DigitString record;
  record.negative = negative;
  int count = 0;
  int scale = 0;
  while (i < text.size()) {
    if (IsDigit(text[i])) {
      if (count == kMaxDigits) return kBadArgument;
      record.digits[count++] = static_cast<char>(text[i]);
      if (fraction) ++scale;
      ++i;
    } else if (!fraction && StartsWith(text, i, point)) {
      fraction = true;
      i += point.size();
    } else if (!fraction && StartsWith(text, i, separator) && i + separator.size() < text.size() &&
               IsDigit(text[i + separator.size()])) {
      i += separator.size();
    } else {
      break;
    }
  }
  if (scale > kMaxScale) return kBadArgument;
  record.precision = static_cast<uint8_t>(count);
  record.scale = static_cast<uint8_t>(scale);
  return Pack(record, value) ? kOk : kBadArgument;
}

std::u16string DecodeNarrow(const char* text) {
  std::u16string out;
  if (text == nullptr) return out;
  for (; *text != '\0'; ++text) out += static_cast<char16_t>(static_cast<uint8_t>(*text));
  return out;
}

std::u16string DecodeWide(const char16_t* text) {
  return text != nullptr ? std::u16string(text) : std::u16string();
}

std::u16string DecodeMulti(const char* text, const uint8_t* leadBytes) {
  std::u16string out;
  if (text == nullptr) return out;
  while (*text != '\0') {
    const uint8_t first = static_cast<uint8_t>(text[0]);
    const bool lead = leadBytes != nullptr && (leadBytes[first / 8] & (1u << (first % 8))) != 0;
    if (lead && text[1] != '\0') {
      out += static_cast<char16_t>(first << 8 | static_cast<uint8_t>(text[1]));
      text += 2;
    } else {
      out += static_cast<char16_t>(first);
      ++text;
    }
  }
  return out;
}

template <class CH>
FormatConventions<CH> PosixFormatConventions() {
  FormatConventions<CH> c;
  c.decimalPoint.assign(1, CH('.'));
  c.exponentUpper.assign(1, CH('E'));
  c.exponentLower.assign(1, CH('e'));
  return c;
}

template <class CH>
std::size_t Format(const uint8_t* value, int precision, char conversion, bool alternate,
                   const FormatConventions<CH>& conventions, CH* out, std::size_t capacity) {
  Writer<CH> w(out, capacity);
  if (value == nullptr) return w.Finish();
  precision = std::clamp(precision, 0, kMaxDigits);
  const Expanded e = Expand(value);
  if (e.negative) w.Put(CH('-'));
  uint8_t work[1 + kMaxDigits + kMaxScale + kMaxDigits + 1];

  if (conversion == 'E' || conversion == 'e') {
    int first = 0;
    while (first < e.count && e.digit[first] == 0) ++first;
    const bool zero = first == e.count;
    int exponent = zero ? 0 : e.integerDigits - 1 - first;
    const int keep = precision + 1;
    RoundInto(e.digit + first, zero ? 0 : e.count - first, keep, work);
    // A carry makes the digits 1 followed by zeros, one place up.
    const uint8_t* shown = work + 1;
    if (work[0] != 0) {
      shown = work;
      ++exponent;
    }
    w.Digit(shown[0]);
    if (precision > 0 || alternate) w.Put(conventions.decimalPoint);
    for (int k = 1; k < keep; ++k) w.Digit(shown[k]);
    w.Put(conversion == 'E' ? conventions.exponentUpper : conventions.exponentLower);
    w.Put(CH(exponent < 0 ? '-' : '+'));
    const int magnitude = exponent < 0 ? -exponent : exponent;
    if (magnitude < 10) w.Digit(0);
    char digits[8];
    int n = 0;
    for (int m = magnitude; n == 0 || m > 0; m /= 10) digits[n++] = static_cast<char>(m % 10);
    while (n > 0) w.Digit(digits[--n]);
    return w.Finish();
  }

  // 'F', 'f', 'G', 'g'.
  const int keep = e.integerDigits + precision;
  RoundInto(e.digit, e.count, keep, work);
  // work[0] is the carry, work[1..integerDigits] the integer digits: shown
  // without leading zeros, at least one of them ("0" when all are zero).
  int from = 0;
  while (from < e.integerDigits && work[from] == 0) ++from;
  for (int k = from; k <= e.integerDigits; ++k) w.Digit(work[k]);
  if (precision > 0 || alternate) w.Put(conventions.decimalPoint);
  for (int k = e.integerDigits + 1; k <= keep; ++k) w.Digit(work[k]);
  return w.Finish();
}

template FormatConventions<char> PosixFormatConventions<char>();
template FormatConventions<char16_t> PosixFormatConventions<char16_t>();
template std::size_t Format<char>(const uint8_t*, int, char, bool, const FormatConventions<char>&, char*,
                                  std::size_t);
template std::size_t Format<char16_t>(const uint8_t*, int, char, bool, const FormatConventions<char16_t>&,
                                      char16_t*, std::size_t);

}  // namespace slw::bcd
