#include "mdx/key_expr.h"

#include <unicode/uchar.h>
#include <unicode/ucnv.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstring>
#include <mutex>

#include "platform/stored_value.h"

namespace orb::mdx {

namespace {

// The upper-case table of Windows-1252, taken from ICU's converter and case
// mapping once: a byte maps to the byte of its upper-case character when
// that character exists in the code page, else to itself.
struct UpperTable {
  std::array<uint8_t, 256> map{};
  UpperTable() {
    for (int i = 0; i < 256; ++i) map[i] = static_cast<uint8_t>(i);
    for (int i = 'a'; i <= 'z'; ++i) map[i] = static_cast<uint8_t>(i - 32);
    UErrorCode err = U_ZERO_ERROR;
    UConverter* conv = ucnv_open("windows-1252", &err);
    if (U_FAILURE(err) || conv == nullptr) return;
    for (int i = 0x80; i < 256; ++i) {
      char in = static_cast<char>(i);
      UChar u[4];
      err = U_ZERO_ERROR;
      int32_t n = ucnv_toUChars(conv, u, 4, &in, 1, &err);
      if (U_FAILURE(err) || n != 1) continue;
      UChar32 up = u_toupper(u[0]);
      if (up == u[0] || up > 0xFFFF) continue;
      UChar upc = static_cast<UChar>(up);
      char back[4];
      err = U_ZERO_ERROR;
      int32_t m = ucnv_fromUChars(conv, back, 4, &upc, 1, &err);
      if (U_FAILURE(err) || m != 1) continue;
      // A character missing from the code page comes back as the substitute.
      if (static_cast<uint8_t>(back[0]) == 0x1A) continue;
      map[i] = static_cast<uint8_t>(back[0]);
    }
    ucnv_close(conv);
  }
};

const UpperTable& Table() {
  static const UpperTable table;
  return table;
}

// The table's upper case of `n` bytes in place; eight at a time while
// they are ASCII, where the table maps a to z to A to Z and keeps the
// rest: bit 7 of a byte plus 0x1F is set from 'a' on, of a byte plus 0x05
// from past 'z' on (no carry leaves a byte below 0x80).
void UpperBytes(uint8_t* p, size_t n) {
  const auto& map = Table().map;
  constexpr uint64_t kHigh = 0x8080808080808080ull;
  size_t i = 0;
  for (; i + 8 <= n; i += 8) {
    uint64_t x;
    std::memcpy(&x, p + i, 8);
    if ((x & kHigh) != 0) {
      for (size_t j = i; j < i + 8; ++j) p[j] = map[p[j]];
      continue;
    }
    const uint64_t lower = (x + 0x1F1F1F1F1F1F1F1Full) & ~(x + 0x0505050505050505ull) & kHigh;
    x ^= lower >> 2;
    std::memcpy(p + i, &x, 8);
  }
  for (; i < n; ++i) p[i] = map[p[i]];
}

// A number as dBASE field text holds it: sign, integer digits without
// leading zeros, fraction digits.
struct Decimal {
  bool negative = false;
  std::string whole;  // no leading zeros ("" for zero)
  std::string frac;
};

Decimal ParseDecimal(std::string_view text) {
  Decimal d;
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\0')) ++i;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
    d.negative = text[i] == '-';
    ++i;
    while (i < text.size() && text[i] == ' ') ++i;
  }
  while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
    if (!(d.whole.empty() && text[i] == '0')) d.whole.push_back(text[i]);
    ++i;
  }
  if (i < text.size() && text[i] == '.') {
    ++i;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') d.frac.push_back(text[i++]);
  }
  // Anything after the number (an overflowed "***" field, garbage) ends it.
  return d;
}

bool IsZero(const Decimal& d) {
  return d.whole.empty() && std::all_of(d.frac.begin(), d.frac.end(), [](char c) { return c == '0'; });
}

// Rounds half away from zero to `dec` fraction digits.
Decimal RoundTo(Decimal d, int dec) {
  if (static_cast<int>(d.frac.size()) <= dec) {
    d.frac.append(dec - d.frac.size(), '0');
    return d;
  }
  bool up = d.frac[dec] >= '5';
  d.frac.resize(dec);
  if (!up) return d;
  std::string digits = d.whole + d.frac;
  int i = static_cast<int>(digits.size()) - 1;
  for (; i >= 0; --i) {
    if (digits[i] == '9') {
      digits[i] = '0';
    } else {
      ++digits[i];
      break;
    }
  }
  if (i < 0) digits.insert(digits.begin(), '1');
  d.whole = digits.substr(0, digits.size() - dec);
  d.frac = digits.substr(digits.size() - dec);
  size_t nz = d.whole.find_first_not_of('0');
  d.whole = nz == std::string::npos ? std::string() : d.whole.substr(nz);
  return d;
}

std::string Render(const Decimal& d, int dec) {
  std::string s;
  if (d.negative && !IsZero(d)) s.push_back('-');
  s += d.whole.empty() ? "0" : d.whole;
  if (dec > 0) {
    s.push_back('.');
    s += d.frac;
  }
  return s;
}

bool ValidDate(const uint8_t* p, int& y, int& m, int& d) {
  for (int i = 0; i < 8; ++i)
    if (p[i] < '0' || p[i] > '9') return false;
  y = (p[0] - '0') * 1000 + (p[1] - '0') * 100 + (p[2] - '0') * 10 + (p[3] - '0');
  m = (p[4] - '0') * 10 + (p[5] - '0');
  d = (p[6] - '0') * 10 + (p[7] - '0');
  return platform::ValidDate(y, m, d);
}

// Numeric key: byte 0 = 0x34 + decimal exponent (value = 0.d1d2... x 10^e),
// byte 1 = significant digits << 2 | 1 (0x80 when negative), then the digits
// packed two to a byte.
struct Bcd {
  bool negative = false;
  int exponent = 0;
  int count = 0;
  uint8_t digit[20] = {};
};

Bcd DecodeBcd(const uint8_t* k) {
  Bcd b;
  b.exponent = static_cast<int>(k[0]) - 0x34;
  b.negative = (k[1] & 0x80) != 0;
  b.count = std::min((k[1] >> 2) & 0x1F, 20);
  for (int i = 0; i < b.count; ++i) {
    uint8_t byte = k[2 + i / 2];
    uint8_t v = (i % 2 == 0) ? byte >> 4 : byte & 0x0F;
    b.digit[i] = v > 9 ? 9 : v;
  }
  bool zero = true;
  for (int i = 0; i < b.count; ++i) zero = zero && b.digit[i] == 0;
  if (zero) {
    b.count = 0;
    b.negative = false;
    b.exponent = 0;
  }
  return b;
}

int CompareMagnitude(const Bcd& a, const Bcd& b) {
  if (a.count == 0 || b.count == 0) return (a.count != 0) - (b.count != 0);
  if (a.exponent != b.exponent) return a.exponent < b.exponent ? -1 : 1;
  for (int i = 0; i < 20; ++i) {
    if (a.digit[i] != b.digit[i]) return a.digit[i] < b.digit[i] ? -1 : 1;
  }
  return 0;
}

double ReadDouble(const uint8_t* p) {
  uint64_t bits = 0;
  for (int i = 7; i >= 0; --i) bits = (bits << 8) | p[i];
  double v;
  std::memcpy(&v, &bits, sizeof v);
  if (v != v) return -1e308;  // a damaged key still has a place in the order
  return v;
}

void WriteDouble(double v, uint8_t* p) {
  uint64_t bits;
  std::memcpy(&bits, &v, sizeof v);
  for (int i = 0; i < 8; ++i) p[i] = static_cast<uint8_t>(bits >> (8 * i));
}

std::string UpperAscii(std::string_view s) {
  std::string r(s);
  for (char& c : r) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return r;
}

}  // namespace

uint8_t Upper1252(uint8_t c) { return Table().map[c]; }

int CompareKeys(KeyType type, const uint8_t* a, const uint8_t* b, size_t length) {
  switch (type) {
    case KeyType::kNumeric: {
      Bcd x = DecodeBcd(a), y = DecodeBcd(b);
      if (x.negative != y.negative) return x.negative ? -1 : 1;
      int m = CompareMagnitude(x, y);
      return x.negative ? -m : m;
    }
    case KeyType::kDate: {
      double x = ReadDouble(a), y = ReadDouble(b);
      return x < y ? -1 : (x > y ? 1 : 0);
    }
    case KeyType::kCharacter:
    default: {
      int c = length ? std::memcmp(a, b, length) : 0;
      return c < 0 ? -1 : (c > 0 ? 1 : 0);
    }
  }
}

void MakeNumericKey(std::string_view text, uint8_t out[kNumericKeyLength]) {
  std::memset(out, 0, kNumericKeyLength);
  Decimal d = ParseDecimal(text);
  std::string digits = d.whole + d.frac;
  int exponent = static_cast<int>(d.whole.size());
  size_t first = digits.find_first_not_of('0');
  if (first == std::string::npos) {
    out[0] = 0x34;
    out[1] = 0x01;
    return;
  }
  if (d.whole.empty()) exponent = -static_cast<int>(first);
  digits = digits.substr(first);
  while (!digits.empty() && digits.back() == '0') digits.pop_back();
  if (digits.size() > 20) digits.resize(20);
  out[0] = static_cast<uint8_t>(0x34 + exponent);
  out[1] = static_cast<uint8_t>((digits.size() << 2) | 0x01 | (d.negative ? 0x80 : 0));
  for (size_t i = 0; i < digits.size(); ++i) {
    uint8_t v = static_cast<uint8_t>(digits[i] - '0');
    out[2 + i / 2] |= (i % 2 == 0) ? static_cast<uint8_t>(v << 4) : v;
  }
}

int64_t JulianDay(int year, int month, int day) {
  int64_t a = (14 - month) / 12;
  int64_t y = year + 4800 - a;
  int64_t m = month + 12 * a - 3;
  return day + (153 * m + 2) / 5 + 365 * y + y / 4 - y / 100 + y / 400 - 32045;
}

void MakeDateKey(std::string_view yyyymmdd, uint8_t out[kDateKeyLength]) {
  int y, m, d;
  double v = 0.0;  // no date sorts before every date
  if (yyyymmdd.size() >= 8 && ValidDate(reinterpret_cast<const uint8_t*>(yyyymmdd.data()), y, m, d))
    v = static_cast<double>(JulianDay(y, m, d));
  WriteDouble(v, out);
}

// STR() of a number field's text into out[0, len) on the stack: the same
// text as the general formatting below, for every record of an index build
// without allocating. False when the text or width is longer than the
// buffers here (the general formatting then answers).
namespace {

constexpr int kShortNumber = 64;

bool FormatStrShort(std::string_view text, int len, int dec, char* out) {
  if (len <= 0 || len > kShortNumber || text.size() > kShortNumber) return false;
  if (dec < 0) dec = 0;
  char whole[kShortNumber], frac[kShortNumber];
  int nw = 0, nf = 0;
  bool negative = false;
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\0')) ++i;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
    negative = text[i] == '-';
    ++i;
    while (i < text.size() && text[i] == ' ') ++i;
  }
  while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
    if (!(nw == 0 && text[i] == '0')) whole[nw++] = text[i];
    ++i;
  }
  if (i < text.size() && text[i] == '.') {
    ++i;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') frac[nf++] = text[i++];
  }
  for (int places = dec; places >= 0; --places) {
    if (places > 0 && places >= len - 1) continue;
    // The whole digits and `places` fraction digits, rounded half away
    // from zero; one more place in front for a carry.
    char digits[2 * kShortNumber + 2];
    int nd = 1;
    digits[0] = '0';
    std::memcpy(digits + nd, whole, nw);
    nd += nw;
    for (int k = 0; k < places; ++k) digits[nd++] = k < nf ? frac[k] : '0';
    if (nf > places && frac[places] >= '5') {
      int k = nd - 1;
      for (; digits[k] == '9'; --k) digits[k] = '0';
      ++digits[k];
    }
    int start = 0;
    const int point = nd - places;
    while (start < point && digits[start] == '0') ++start;
    bool zero = start == point;
    for (int k = point; k < nd && zero; ++k) zero = digits[k] == '0';
    const bool minus = negative && !zero;
    const int wholeLength = point - start;
    const int size = (minus ? 1 : 0) + std::max(wholeLength, 1) + (places > 0 ? places + 1 : 0);
    if (size > len) continue;
    char* p = out;
    std::memset(p, ' ', len - size);
    p += len - size;
    if (minus) *p++ = '-';
    if (wholeLength == 0) {
      *p++ = '0';
    } else {
      std::memcpy(p, digits + start, wholeLength);
      p += wholeLength;
    }
    if (places > 0) {
      *p++ = '.';
      std::memcpy(p, digits + point, places);
    }
    return true;
  }
  std::memset(out, '*', len);
  return true;
}

// True when a field's text is already what STR(field, len, dec) gives
// (the common case: STR of an N field at its own width and decimals):
// blanks, an optional minus, the integer digits without leading zeros (a
// lone 0), then exactly `dec` fraction digits; a negative zero is not.
bool IsStrText(std::string_view t, int len, int dec) {
  if (static_cast<int>(t.size()) != len || dec < 0) return false;
  size_t i = 0;
  while (i < t.size() && t[i] == ' ') ++i;
  const bool negative = i < t.size() && t[i] == '-';
  if (negative) ++i;
  const size_t whole = i;
  while (i < t.size() && t[i] >= '0' && t[i] <= '9') ++i;
  if (i == whole || (i - whole > 1 && t[whole] == '0')) return false;
  bool zero = i - whole == 1 && t[whole] == '0';
  if (dec > 0) {
    if (i >= t.size() || t[i] != '.' || t.size() - i - 1 != static_cast<size_t>(dec)) return false;
    for (++i; i < t.size(); ++i) {
      if (t[i] < '0' || t[i] > '9') return false;
      zero = zero && t[i] == '0';
    }
  }
  return i == t.size() && !(negative && zero);
}

}  // namespace

std::string FormatStr(std::string_view number, int len, int dec) {
  if (len <= 0) return {};
  if (dec < 0) dec = 0;
  if (char out[kShortNumber]; FormatStrShort(number, len, dec, out)) return std::string(out, len);
  Decimal d = ParseDecimal(number);
  for (int places = dec; places >= 0; --places) {
    // Decimals that do not fit are dropped before the number overflows.
    if (places > 0 && places >= len - 1) continue;
    std::string s = Render(RoundTo(d, places), places);
    if (static_cast<int>(s.size()) <= len) return std::string(len - s.size(), ' ') + s;
  }
  return std::string(len, '*');
}

// Recursive descent over the expression text; builds the node list.
class ExprParser {
 public:
  ExprParser(std::string_view text, std::span<const FieldDesc> fields, KeyExpression& out)
      : text_(text), fields_(fields), out_(out) {}

  MdxStatus Run() {
    int root = -1;
    if (!ParseSum(root)) return Fail();
    SkipBlanks();
    if (pos_ != text_.size()) return Error("unexpected text at position " + std::to_string(pos_ + 1));
    out_.root_ = root;
    return MdxStatus::Ok();
  }

 private:
  MdxStatus Fail() { return MdxStatus::Make(MdxCode::kBadExpression, error_); }
  MdxStatus Error(std::string msg) {
    error_ = std::move(msg);
    return Fail();
  }
  bool Set(std::string msg) {
    if (error_.empty()) error_ = std::move(msg);
    return false;
  }

  void SkipBlanks() {
    while (pos_ < text_.size() && (text_[pos_] == ' ' || text_[pos_] == '\t')) ++pos_;
  }
  bool Eat(char c) {
    SkipBlanks();
    if (pos_ < text_.size() && text_[pos_] == c) {
      ++pos_;
      return true;
    }
    return false;
  }
  bool Expect(char c) {
    if (Eat(c)) return true;
    return Set(std::string("expected \"") + c + "\" at position " + std::to_string(pos_ + 1));
  }

  int Add(KeyExpression::Node n) {
    if (out_.nodes_.size() >= 256) return -1;
    out_.nodes_.push_back(n);
    return static_cast<int>(out_.nodes_.size()) - 1;
  }

  const KeyExpression::Node& N(int i) const { return out_.nodes_[i]; }

  bool ParseSum(int& result) {
    if (++depth_ > 64) return Set("expression nested too deeply");
    int left;
    if (!ParsePrimary(left)) return false;
    while (Eat('+')) {
      int right;
      if (!ParsePrimary(right)) return false;
      if (N(left).kind != KeyExpression::ValueKind::kChar || N(right).kind != KeyExpression::ValueKind::kChar)
        return Set("\"+\" joins character values only");
      uint32_t total = uint32_t(N(left).length) + N(right).length;
      if (total > 4096) return Set("expression result too long");
      KeyExpression::Node n;
      n.op = KeyExpression::Op::kConcat;
      n.kind = KeyExpression::ValueKind::kChar;
      n.length = static_cast<uint16_t>(total);
      n.a = left;
      n.b = right;
      left = Add(n);
      if (left < 0) return Set("expression too long");
    }
    --depth_;
    result = left;
    return true;
  }

  bool ParseInt(int& v) {
    SkipBlanks();
    size_t start = pos_;
    long long x = 0;
    while (pos_ < text_.size() && text_[pos_] >= '0' && text_[pos_] <= '9') {
      x = x * 10 + (text_[pos_] - '0');
      if (x > 100000) return Set("number too large at position " + std::to_string(start + 1));
      ++pos_;
    }
    if (pos_ == start) return Set("expected a number at position " + std::to_string(pos_ + 1));
    v = static_cast<int>(x);
    return true;
  }

  bool ParsePrimary(int& result) {
    SkipBlanks();
    if (Eat('(')) {
      if (!ParseSum(result)) return false;
      return Expect(')');
    }
    size_t start = pos_;
    while (pos_ < text_.size() &&
           (std::isalnum(static_cast<unsigned char>(text_[pos_])) || text_[pos_] == '_'))
      ++pos_;
    if (pos_ == start) return Set("expected a field or function at position " + std::to_string(pos_ + 1));
    std::string name = UpperAscii(text_.substr(start, pos_ - start));
    SkipBlanks();
    if (pos_ < text_.size() && text_[pos_] == '(') {
      ++pos_;
      return ParseCall(name, result);
    }
    for (size_t i = 0; i < fields_.size(); ++i) {
      if (UpperAscii(fields_[i].name) != name) continue;
      KeyExpression::Node n;
      n.op = KeyExpression::Op::kField;
      n.field = static_cast<int>(i);
      switch (fields_[i].type) {
        case 'C': n.kind = KeyExpression::ValueKind::kChar; break;
        case 'N':
        case 'F': n.kind = KeyExpression::ValueKind::kNumber; break;
        case 'D': n.kind = KeyExpression::ValueKind::kDate; break;
        default: return Set("field " + name + " cannot be part of a key");
      }
      n.length = fields_[i].width;
      result = Add(n);
      return result >= 0 || Set("expression too long");
    }
    return Set("unknown field " + name);
  }

  bool ParseCall(const std::string& fn, int& result) {
    using VK = KeyExpression::ValueKind;
    KeyExpression::Node n;
    int arg;
    if (!ParseSum(arg)) return false;
    n.a = arg;
    if (fn == "UPPER") {
      if (N(arg).kind != VK::kChar) return Set("UPPER needs a character value");
      n.op = KeyExpression::Op::kUpper;
      n.length = N(arg).length;
    } else if (fn == "LEFT") {
      if (N(arg).kind != VK::kChar) return Set("LEFT needs a character value");
      if (!Expect(',')) return false;
      int count;
      if (!ParseInt(count)) return false;
      n.op = KeyExpression::Op::kLeft;
      n.n1 = count;
      n.length = static_cast<uint16_t>(std::min<int>(count, N(arg).length));
      n.scratch = scratchSize_;
      scratchSize_ += N(arg).length;
    } else if (fn == "STR") {
      if (N(arg).kind != VK::kNumber) return Set("STR needs a numeric value");
      int len = 10, dec = 0;
      if (Eat(',')) {
        if (!ParseInt(len)) return false;
        if (Eat(',') && !ParseInt(dec)) return false;
      }
      if (len < 1 || len > 255 || dec > 255) return Set("STR length out of range");
      n.op = KeyExpression::Op::kStr;
      n.n1 = len;
      n.n2 = dec;
      n.length = static_cast<uint16_t>(len);
    } else if (fn == "DTOS") {
      if (N(arg).kind != VK::kDate) return Set("DTOS needs a date value");
      n.op = KeyExpression::Op::kDtos;
      n.length = 8;
    } else {
      return Set("unknown function " + fn);
    }
    if (!Expect(')')) return false;
    n.kind = VK::kChar;
    result = Add(n);
    return result >= 0 || Set("expression too long");
  }

 public:
  uint32_t scratchSize_ = 0;

 private:
  std::string_view text_;
  std::span<const FieldDesc> fields_;
  KeyExpression& out_;
  size_t pos_ = 0;
  int depth_ = 0;
  std::string error_;
};

MdxStatus KeyExpression::Compile(std::string_view text, std::span<const FieldDesc> fields,
                                 uint32_t recordLength, KeyExpression& out) {
  out = KeyExpression();
  for (const FieldDesc& f : fields) {
    if (uint64_t(f.offset) + f.width > recordLength || f.offset == 0)
      return MdxStatus::Make(MdxCode::kBadExpression, "field " + f.name + " lies outside the record");
  }
  out.fields_.assign(fields.begin(), fields.end());
  out.text_ = std::string(text);
  ExprParser parser(text, fields, out);
  MdxStatus st = parser.Run();
  if (!st.ok()) {
    out = KeyExpression();
    return st;
  }
  const Node& root = out.nodes_[out.root_];
  if (root.op == Op::kField) out.plainField_ = root.field;
  switch (root.kind) {
    case ValueKind::kNumber:
      out.type_ = KeyType::kNumeric;
      out.keyLength_ = kNumericKeyLength;
      break;
    case ValueKind::kDate:
      out.type_ = KeyType::kDate;
      out.keyLength_ = kDateKeyLength;
      break;
    case ValueKind::kChar:
      out.type_ = KeyType::kCharacter;
      if (root.length == 0 || root.length > kMaxCharacterKey) {
        std::string msg = "key of " + std::to_string(root.length) + " bytes; keys hold 1 to " +
                          std::to_string(kMaxCharacterKey);
        out = KeyExpression();
        return MdxStatus::Make(MdxCode::kBadExpression, msg);
      }
      out.keyLength_ = root.length;
      break;
  }
  out.scratch_.assign(parser.scratchSize_ + 1, 0);
  return MdxStatus::Ok();
}

void KeyExpression::EvalChar(int index, const uint8_t* record, uint8_t* out) const {
  const Node& n = nodes_[index];
  switch (n.op) {
    case Op::kField: {
      const FieldDesc& f = fields_[n.field];
      std::memcpy(out, record + f.offset, f.width);
      break;
    }
    case Op::kUpper: {
      EvalChar(n.a, record, out);
      UpperBytes(out, n.length);
      break;
    }
    case Op::kLeft: {
      const Node& arg = nodes_[n.a];
      if (arg.length == n.length) {
        EvalChar(n.a, record, out);
      } else if (arg.op == Op::kField) {
        std::memcpy(out, record + fields_[arg.field].offset, n.length);
      } else {
        uint8_t* tmp = scratch_.data() + n.scratch;
        EvalChar(n.a, record, tmp);
        std::memcpy(out, tmp, n.length);
      }
      break;
    }
    case Op::kStr: {
      const FieldDesc& f = fields_[nodes_[n.a].field];
      const std::string_view text(reinterpret_cast<const char*>(record + f.offset), f.width);
      if (IsStrText(text, n.n1, n.n2)) {
        std::memcpy(out, text.data(), n.length);
      } else if (char s[kShortNumber]; n.length <= n.n1 && FormatStrShort(text, n.n1, n.n2, s)) {
        std::memcpy(out, s, n.length);
      } else {
        std::string general = FormatStr(text, n.n1, n.n2);
        std::memcpy(out, general.data(), n.length);
      }
      break;
    }
    case Op::kDtos: {
      const FieldDesc& f = fields_[nodes_[n.a].field];
      int y, m, d;
      if (f.width >= 8 && ValidDate(record + f.offset, y, m, d))
        std::memcpy(out, record + f.offset, 8);
      else
        std::memset(out, ' ', 8);
      break;
    }
    case Op::kConcat: {
      EvalChar(n.a, record, out);
      EvalChar(n.b, record, out + nodes_[n.a].length);
      break;
    }
  }
}

void KeyExpression::Evaluate(const uint8_t* record, uint8_t* key) const {
  if (root_ < 0) return;
  const Node& root = nodes_[root_];
  switch (type_) {
    case KeyType::kNumeric: {
      const FieldDesc& f = fields_[root.field];
      MakeNumericKey(std::string_view(reinterpret_cast<const char*>(record + f.offset), f.width), key);
      break;
    }
    case KeyType::kDate: {
      const FieldDesc& f = fields_[root.field];
      MakeDateKey(std::string_view(reinterpret_cast<const char*>(record + f.offset), f.width), key);
      break;
    }
    case KeyType::kCharacter:
      EvalChar(root_, record, key);
      break;
  }
}

const char* MdxCodeText(MdxCode code) {
  switch (code) {
    case MdxCode::kOk: return "success";
    case MdxCode::kNotFound: return "key not found";
    case MdxCode::kEndOfIndex: return "at the end of the index";
    case MdxCode::kTagMissing: return "no index of that name";
    case MdxCode::kTagExists: return "an index of that name exists";
    case MdxCode::kTooManyTags: return "the production index holds no more tags";
    case MdxCode::kBadTagName: return "invalid index name";
    case MdxCode::kBadExpression: return "invalid key expression";
    case MdxCode::kCorrupt: return "the index file is damaged";
    case MdxCode::kMismatch: return "the index disagrees with its table";
    case MdxCode::kIoError: return "the index file could not be read or written";
    case MdxCode::kDiskFull: return "no room left on the disk for the index file";
  }
  return "unknown result";
}

}  // namespace orb::mdx
