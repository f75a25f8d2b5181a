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

bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

// A text in its family's units, read by characters (see Parse).
template <class Unit>
class Units {
 public:
  Units(const Unit* units, std::size_t size, const uint8_t* leadBytes)
      : units_(units), size_(size), leadBytes_(leadBytes) {}
  std::size_t size() const { return size_; }
  char16_t operator[](std::size_t i) const { return static_cast<char16_t>(units_[i]); }
  // Units of the character at i: two for a lead byte with a byte after it.
  std::size_t LengthAt(std::size_t i) const {
    if constexpr (sizeof(Unit) == 1) {
      if (leadBytes_ != nullptr && i + 1 < size_ && (leadBytes_[units_[i] / 8] & (1u << (units_[i] % 8))) != 0)
        return 2;
    }
    return 1;
  }
  bool DigitAt(std::size_t i) const { return IsDigit((*this)[i]) && LengthAt(i) == 1; }
  // Whether s stands at the character start i as whole characters.
  bool MatchAt(std::size_t i, std::u16string_view s) const {
    if (s.empty() || size_ - i < s.size()) return false;
    for (std::size_t k = 0; k < s.size(); ++k)
      if ((*this)[i + k] != s[k]) return false;
    return leadBytes_ == nullptr || CharactersEndAt(i, i + s.size());
  }
  bool StartsCharacter(std::size_t at) const { return leadBytes_ == nullptr || CharactersEndAt(0, at); }

 private:
  // Whether the characters from the start `from` end exactly at `end`.
  bool CharactersEndAt(std::size_t from, std::size_t end) const {
    while (from < end) from += LengthAt(from);
    return from == end;
  }

  const Unit* units_;
  std::size_t size_;
  const uint8_t* leadBytes_;
};

Status Rejected(uint8_t* value) {
  std::memset(value, 0, kValueSize);
  return kBadArgument;
}

template <class Unit>
Status ParseUnits(const Units<Unit>& text, const ParseConventions& conventions, uint8_t* value) {
  std::memset(value, 0, kValueSize);
  // One walk over the text finds the first digit and which of the symbols
  // that decide the conventions and the sign it holds anywhere.
  enum { kSymbol, kIntlSymbol, kOpen, kClose, kNegative, kLooked };
  const std::u16string_view looked[kLooked] = {
      conventions.currencySymbol, conventions.intlCurrencySymbol, u"(", u")",
      conventions.negativeSign.empty() ? std::u16string_view(u"-") : conventions.negativeSign};
  // The first units below 128 of the symbols, so that most characters are
  // passed over with one test.
  uint64_t firstUnits[2] = {0, 0};
  bool firstAbove127 = false;
  for (std::u16string_view s : looked) {
    if (s.empty()) continue;
    if (s[0] < 128) firstUnits[s[0] / 64] |= uint64_t{1} << (s[0] % 64);
    else firstAbove127 = true;
  }
  bool holds[kLooked] = {};
  const std::size_t size = text.size();
  std::size_t first = size;
  for (std::size_t i = 0; i < size;) {
    const char16_t u = text[i];
    const std::size_t length = text.LengthAt(i);
    if (first == size && length == 1 && IsDigit(u)) first = i;
    if (u < 128 ? ((firstUnits[u / 64] >> (u % 64)) & 1) != 0 : firstAbove127) {
      for (int k = 0; k < kLooked; ++k)
        if (!holds[k] && text.MatchAt(i, looked[k])) holds[k] = true;
    }
    i += length;
  }

  std::u16string_view point = conventions.decimalPoint;
  std::u16string_view separator = conventions.thousandsSeparator;
  if (holds[kSymbol] || holds[kIntlSymbol]) {
    if (!conventions.monetaryDecimalPoint.empty()) point = conventions.monetaryDecimalPoint;
    separator = conventions.monetaryThousandsSeparator;
  }
  if (point.empty()) point = u".";
  const bool negative = (holds[kOpen] && holds[kClose]) || holds[kNegative];

  if (first == size) return kBadArgument;
  std::size_t i = first;
  // ".5" is half, not five.
  bool fraction = i >= point.size() && text.StartsCharacter(i - point.size()) && text.MatchAt(i - point.size(), point);
  int count = 0;
  int scale = 0;
  while (i < size) {
    if (text.DigitAt(i)) {
      if (count == kMaxDigits) return Rejected(value);
      const auto digit = static_cast<uint8_t>(text[i] - u'0');
      value[2 + count / 2] |= static_cast<uint8_t>(count % 2 == 0 ? digit << 4 : digit);
      ++count;
      if (fraction) ++scale;
      ++i;
    } else if (!fraction && text.MatchAt(i, point)) {
      fraction = true;
      i += point.size();
    } else if (!fraction && text.MatchAt(i, separator) && i + separator.size() < size &&
               text.DigitAt(i + separator.size())) {
      i += separator.size();
    } else {
      break;
    }
  }
  if (scale > kMaxScale) return Rejected(value);
  value[0] = static_cast<uint8_t>(count);
  value[1] = static_cast<uint8_t>((negative ? 0x80 : 0) | scale);
  return kOk;
}

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

Status Parse(std::u16string_view text, const ParseConventions& conventions, uint8_t* value) {
  return ParseUnits(Units<char16_t>(text.data(), text.size(), nullptr), conventions, value);
}

Status Parse(std::string_view text, const uint8_t* leadBytes, const ParseConventions& conventions, uint8_t* value) {
  return ParseUnits(Units<uint8_t>(reinterpret_cast<const uint8_t*>(text.data()), text.size(), leadBytes), conventions,
                    value);
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
