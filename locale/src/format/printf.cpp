// The printf engine of the three families (FmtStrPrint, VFmtStrPrint): the
// locale's decimal point, thousands separator, grouping, currency symbols
// and sign conventions, monetary conversions ("M", "I") and positional
// arguments ("%n$").
//
// Positional arguments are read in two passes: the kinds of every position
// of the whole format first, then the values in position order into a typed
// array. A "*" takes "*m$" when written so, else the position after the one
// read last. The output has no size, as with sprintf. Working strings live
// in the two halves of the thread's scratch buffer.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <vector>

#include "bcd.h"
#include "casemap/casemap.h"
#include "char_access.h"
#include "client.h"
#include "format.h"

using namespace slw;
using namespace slw::format;

namespace {

static_assert(sizeof(Buf) <= kScratchSize / 2, "a working string fits half the scratch buffer");

// The caller's format, one character at a time.
class Cursor {
 public:
  Cursor(uint8_t family, const CLocale& l, const void* text) : family_(family), l_(l), text_(text) {}
  uint16_t Peek() const {
    if (family_ == SL_FAMILY_WIDE) return static_cast<const SL_WCHAR*>(text_)[at_];
    const char* p = static_cast<const char*>(text_) + at_;
    if (family_ == SL_FAMILY_MULTI && *p != '\0' && NextCharOf(l_, p) - p == 2) return CharCodeAt(l_, p);
    return static_cast<uint8_t>(*p);
  }
  void Next() {
    if (family_ == SL_FAMILY_MULTI) {
      const char* p = static_cast<const char*>(text_) + at_;
      if (*p != '\0') at_ += static_cast<std::size_t>(NextCharOf(l_, p) - p);
    } else {
      ++at_;
    }
  }
  std::size_t at() const { return at_; }
  void Seek(std::size_t at) { at_ = at; }

 private:
  uint8_t family_;
  const CLocale& l_;
  const void* text_;
  std::size_t at_ = 0;
};

// The caller's output: no size, as sprintf.
class Writer {
 public:
  Writer(uint8_t family, const CLocale& l, void* out) : family_(family), l_(l), out_(out) {}
  void Put(uint16_t c) {
    if (family_ == SL_FAMILY_NARROW) {
      static_cast<char*>(out_)[units_++] = static_cast<char>(c);
    } else if (family_ == SL_FAMILY_WIDE) {
      static_cast<SL_WCHAR*>(out_)[units_++] = c;
    } else {
      char* p = static_cast<char*>(out_) + units_;
      units_ += static_cast<std::size_t>(PutCharAt(l_, p, c) - p);
    }
    ++chars_;
  }
  void Put(const char16_t* s, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) Put(s[i]);
  }
  void Repeat(uint16_t c, int n) {
    for (int i = 0; i < n; ++i) Put(c);
  }
  void Terminate() {
    if (family_ == SL_FAMILY_WIDE)
      static_cast<SL_WCHAR*>(out_)[units_] = 0;
    else
      static_cast<char*>(out_)[units_] = '\0';
  }
  void Reset() { units_ = chars_ = 0; }
  int chars() const { return chars_; }

 private:
  uint8_t family_;
  const CLocale& l_;
  void* out_;
  std::size_t units_ = 0;
  int chars_ = 0;
};

struct Spec {
  int position = 0;  // "n$", 0 none
  bool left = false, plus = false, blank = false, alternate = false, zero = false;
  bool noSymbol = false, group = false, parentheses = false;
  int width = -1, leftPrecision = -1, precision = -1;
  // "*" arguments: 0 none, -1 the next position, else the position.
  int widthArg = 0, leftPrecisionArg = 0, fillArg = 0, precisionArg = 0;
  char size = 0;  // 'h', 'l', 'L', 'B'
  uint16_t conversion = 0;
};

bool IsConversion(uint16_t c) {
  switch (c) {
    case 'd': case 'i': case 'u': case 'o': case 'x': case 'X': case 'p': case 'c': case 's':
    case 'n': case 'e': case 'E': case 'f': case 'F': case 'g': case 'G': case 'M': case 'I': return true;
    default: return false;
  }
}

bool IsDigit(uint16_t c) { return c >= '0' && c <= '9'; }

int ReadNumber(Cursor& c) {
  int n = 0;
  while (IsDigit(c.Peek())) {
    if (n < 100000) n = n * 10 + (c.Peek() - '0');
    c.Next();
  }
  return n;
}

// "*" and an optional "m$" after it.
int ReadStar(Cursor& c) {
  c.Next();
  const std::size_t back = c.at();
  if (IsDigit(c.Peek())) {
    const int n = ReadNumber(c);
    if (c.Peek() == '$' && n > 0) {
      c.Next();
      return n;
    }
    c.Seek(back);
  }
  return -1;
}

// Parses a specification after its "%". False for one cut off by the end of
// the format, an unknown conversion or a control character.
bool ParseSpec(Cursor& c, Spec& s) {
  const std::size_t start = c.at();
  if (IsDigit(c.Peek()) && c.Peek() != '0') {
    const int n = ReadNumber(c);
    if (c.Peek() == '$') {
      s.position = n;
      c.Next();
    } else {
      c.Seek(start);
    }
  }
  for (bool flags = true; flags;) {
    switch (c.Peek()) {
      case '-': s.left = true; break;
      case '+': s.plus = true; break;
      case ' ': s.blank = true; break;
      case '#': s.alternate = true; break;
      case '0': s.zero = true; break;
      case '!': s.noSymbol = true; break;
      case '\'': s.group = true; break;
      case '(': s.parentheses = true; break;
      default: flags = false; continue;
    }
    c.Next();
  }
  if (c.Peek() == '*')
    s.widthArg = ReadStar(c);
  else if (IsDigit(c.Peek()))
    s.width = ReadNumber(c);
  if (c.Peek() == '(') {
    s.parentheses = true;
    c.Next();
  }
  if (c.Peek() == ':') {
    c.Next();
    if (c.Peek() == '*')
      s.leftPrecisionArg = ReadStar(c);
    else
      s.leftPrecision = ReadNumber(c);
    if (c.Peek() == '*') s.fillArg = ReadStar(c);
  }
  if (c.Peek() == '.') {
    c.Next();
    if (c.Peek() == '*')
      s.precisionArg = ReadStar(c);
    else
      s.precision = ReadNumber(c);
  }
  for (;;) {
    const uint16_t z = c.Peek();
    if (z == 'h' || z == 'H') {
      s.size = 'h';
    } else if (z == 'l' || z == 'L' || z == 'B') {
      s.size = static_cast<char>(z);
    } else if (z != 'N' && z != 'F') {
      break;
    } else if (z == 'F') {
      // "F" is a size only when a conversion follows it; "%F" alone converts.
      Cursor after = c;
      after.Next();
      if (!IsConversion(after.Peek()) && after.Peek() != 'h' && after.Peek() != 'l' && after.Peek() != 'L') break;
    }
    c.Next();
  }
  s.conversion = c.Peek();
  if (!IsConversion(s.conversion)) return false;
  c.Next();
  return true;
}

// Argument kinds of the positional pass.
enum Kind : uint8_t { kNone = 0, kInt, kLong, kDouble, kLongDouble, kPointer };

Kind ValueKind(const Spec& s) {
  switch (s.conversion) {
    case 'p':
    case 's':
    case 'n': return kPointer;
    case 'e':
    case 'E':
    case 'f':
    case 'F':
    case 'g':
    case 'G':
    case 'M':
    case 'I': return s.size == 'B' ? kPointer : (s.size == 'L' ? kLongDouble : kDouble);
    default: return s.size == 'l' ? kLong : kInt;
  }
}

struct Value {
  int64_t i = 0;
  long double d = 0;
  const void* p = nullptr;
};

// Where the arguments come from: the va_list in order, or the positional
// array.
class Arguments {
 public:
  explicit Arguments(va_list* ap) : ap_(ap) {}
  bool positional() const { return positional_; }

  // Collects the kinds of the whole format and reads the values in position
  // order; reading stops at a position no specification uses.
  void MakePositional(uint8_t family, const CLocale& l, const void* format) {
    positional_ = true;
    std::vector<Kind> kinds(1, kNone);
    int next = 1;
    auto use = [&](int explicitPosition, Kind k) {
      const int pos = explicitPosition > 0 ? explicitPosition : next;
      next = pos + 1;
      if (static_cast<std::size_t>(pos) >= kinds.size()) kinds.resize(static_cast<std::size_t>(pos) + 1, kNone);
      if (kinds[static_cast<std::size_t>(pos)] == kNone) kinds[static_cast<std::size_t>(pos)] = k;
    };
    Cursor c(family, l, format);
    for (uint16_t ch; (ch = c.Peek()) != 0;) {
      c.Next();
      if (ch != '%') continue;
      if (c.Peek() == '%') {
        c.Next();
        continue;
      }
      Spec s;
      if (!ParseSpec(c, s)) break;
      for (int star : {s.widthArg, s.leftPrecisionArg, s.fillArg, s.precisionArg})
        if (star != 0) use(star, kInt);
      use(s.position, ValueKind(s));
    }
    values_.assign(kinds.size(), Value{});
    for (std::size_t pos = 1; pos < kinds.size(); ++pos) {
      Value& v = values_[pos];
      switch (kinds[pos]) {
        case kNone: return;
        case kInt: v.i = va_arg(*ap_, int); break;
        case kLong: v.i = va_arg(*ap_, long); break;
        case kDouble: v.d = va_arg(*ap_, double); break;
        case kLongDouble: v.d = va_arg(*ap_, long double); break;
        case kPointer: v.p = va_arg(*ap_, const void*); break;
      }
    }
  }

  const Value& At(int explicitPosition) {
    const int pos = explicitPosition > 0 ? explicitPosition : next_;
    next_ = pos + 1;
    static const Value kZero{};
    return static_cast<std::size_t>(pos) < values_.size() ? values_[static_cast<std::size_t>(pos)] : kZero;
  }
  int Int(int position) { return positional_ ? static_cast<int>(At(position).i) : va_arg(*ap_, int); }
  int64_t Integer(const Spec& s) {
    if (positional_) return At(s.position).i;
    return s.size == 'l' ? va_arg(*ap_, long) : va_arg(*ap_, int);
  }
  long double Real(const Spec& s) {
    if (positional_) return At(s.position).d;
    return s.size == 'L' ? va_arg(*ap_, long double) : va_arg(*ap_, double);
  }
  const void* Pointer(const Spec& s) { return positional_ ? At(s.position).p : va_arg(*ap_, const void*); }

 private:
  va_list* ap_;
  bool positional_ = false;
  std::vector<Value> values_;
  int next_ = 1;
};

struct Locale {
  const CLocale& l;
  uint8_t family;
  NumberStyle number;
  const NumericCategory* numeric;
};

// Writes a piece with its padding to the width: blanks before or after it,
// or zeros after its first `signLength` characters.
void PutPadded(Writer& w, const Spec& s, const Buf& piece, std::size_t signLength, bool zeros) {
  const int pad = s.width > static_cast<int>(piece.n) ? s.width - static_cast<int>(piece.n) : 0;
  if (s.left) {
    w.Put(piece.d, piece.n);
    w.Repeat(' ', pad);
  } else if (zeros) {
    w.Put(piece.d, signLength);
    w.Repeat('0', pad);
    w.Put(piece.d + signLength, piece.n - signLength);
  } else {
    w.Repeat(' ', pad);
    w.Put(piece.d, piece.n);
  }
}

void PutInteger(Writer& w, const Locale& loc, const Spec& s, int64_t raw, Buf& b) {
  b.n = 0;
  const uint16_t conv = s.conversion;
  const bool isSigned = conv == 'd' || conv == 'i';
  uint64_t magnitude = 0;
  bool negative = false;
  if (isSigned) {
    const int64_t v = s.size == 'h' ? static_cast<int16_t>(raw) : (s.size == 'l' ? raw : static_cast<int32_t>(raw));
    negative = v < 0;
    magnitude = negative ? 0 - static_cast<uint64_t>(v) : static_cast<uint64_t>(v);
  } else {
    magnitude = s.size == 'h' ? static_cast<uint16_t>(raw)
                              : (s.size == 'l' ? static_cast<uint64_t>(raw) : static_cast<uint32_t>(raw));
  }
  if (negative)
    b.Push('-');
  else if ((isSigned || conv == 'u') && s.plus)
    b.Push('+');
  else if ((isSigned || conv == 'u') && s.blank)
    b.Push(' ');
  if (s.alternate && magnitude != 0 && (conv == 'x' || conv == 'X')) {
    b.Push('0');
    b.Push(static_cast<char16_t>(conv));
  }
  const std::size_t signLength = b.n;
  const unsigned base = conv == 'o' ? 8 : (conv == 'x' || conv == 'X' ? 16 : 10);
  const char* digitSet = conv == 'X' ? "0123456789ABCDEF" : "0123456789abcdef";
  char16_t reversed[24];
  int count = 0;
  for (uint64_t m = magnitude; m != 0; m /= base) reversed[count++] = static_cast<char16_t>(digitSet[m % base]);
  int minimum = s.precision < 0 ? 1 : s.precision;
  if (minimum > static_cast<int>(Buf::kRoom) / 2) minimum = static_cast<int>(Buf::kRoom) / 2;
  if (conv == 'o' && s.alternate && count >= minimum) minimum = count + 1;
  for (int i = count; i < minimum; ++i) b.Push('0');
  for (int i = count; i > 0; --i) b.Push(reversed[i - 1]);
  if (s.group && loc.numeric != nullptr)
    Group(b, signLength, b.n, loc.numeric->grouping, LocaleCodes(loc.l, loc.numeric->thousands));
  PutPadded(w, s, b, signLength, s.zero && !s.left && s.precision < 0);
}

// The value of a real conversion as text in `b`.
void RealText(Arguments& args, const Locale& loc, const Spec& s, char conversion, int precision, bool alternate,
              const NumberStyle& style, bool absolute, bool& negative, Buf& b) {
  b.n = 0;
  if (s.size == 'B') {
    const auto* value = static_cast<const uint8_t*>(args.Pointer(s));
    if (value == nullptr) return;
    uint8_t copy[bcd::kValueSize];
    std::memcpy(copy, value, sizeof copy);
    negative = (copy[1] & 0x80) != 0;
    if (absolute) copy[1] = static_cast<uint8_t>(copy[1] & 0x7F);
    bcd::FormatConventions<char16_t> c;
    c.decimalPoint = style.decimalPoint;
    c.exponentUpper = style.exponentUpper;
    c.exponentLower = style.exponentLower;
    b.n = std::min(bcd::Format(copy, precision < 0 ? 6 : precision, conversion, alternate, c, b.d, Buf::kRoom),
                   Buf::kRoom - 1);
    return;
  }
  (void)loc;
  long double v = args.Real(s);
  negative = std::signbit(v) && !std::isnan(v);
  if (absolute) v = std::fabs(v);
  NumberToText(v, precision, conversion, alternate, style, b);
}

void PutReal(Writer& w, Arguments& args, const Locale& loc, const Spec& s, Buf& b) {
  bool negative = false;
  RealText(args, loc, s, static_cast<char>(s.conversion), s.precision, s.alternate, loc.number, false, negative, b);
  const bool hasSign = b.n > 0 && (b.d[0] == '-' || b.d[0] == '+');
  const bool finite = !(b.n > 1 && (b.d[1] == 'I' || b.d[1] == 'N'));
  if (!hasSign && (s.plus || s.blank)) {
    std::memmove(b.d + 1, b.d, std::min(b.n, Buf::kRoom - 1) * sizeof(char16_t));
    b.d[0] = s.plus ? '+' : ' ';
    b.n = std::min(b.n + 1, Buf::kRoom);
  }
  const std::size_t signLength = b.n > 0 && (b.d[0] == '-' || b.d[0] == '+' || b.d[0] == ' ') ? 1 : 0;
  if (s.group && loc.numeric != nullptr) {
    std::size_t end = signLength;
    while (end < b.n && IsDigit(b.d[end])) ++end;
    Group(b, signLength, end, loc.numeric->grouping, LocaleCodes(loc.l, loc.numeric->thousands));
  }
  PutPadded(w, s, b, signLength, s.zero && !s.left && finite);
}

// Monetary patterns by sign position, then (precedes, space).
constexpr const char16_t* kPatterns[5][4] = {
    {u"(v$)", u"(v $)", u"($v)", u"($ v)"}, {u"-v$", u"-v $", u"-$v", u"-$ v"},
    {u"v$-", u"v $-", u"$v-", u"$ v-"},     {u"v-$", u"v -$", u"-$v", u"-$ v"},
    {u"v$-", u"v $-", u"$-v", u"$ -v"},
};

void PutMoney(Writer& w, Arguments& args, const Locale& loc, Spec s, int fill, Buf& amount, Buf& b) {
  const MonetaryCategory* m = MonetaryOf(loc.l);
  const bool international = s.conversion == 'I';
  int digits = s.precision;
  if (digits < 0) {
    digits = m != nullptr ? m->values[international ? 0 : 1] : 255;
    if (digits == 255) digits = 2;  // unset, as in POSIX
  }
  NumberStyle style = loc.number;
  if (m != nullptr && !m->decimalPoint.empty()) style.decimalPoint = LocaleCodes(loc.l, m->decimalPoint);
  bool negative = false;
  RealText(args, loc, s, 'f', digits, false, style, true, negative, amount);
  std::size_t integerEnd = 0;
  while (integerEnd < amount.n && IsDigit(amount.d[integerEnd])) ++integerEnd;
  if (s.group && m != nullptr) {
    const std::size_t before = amount.n;
    Group(amount, 0, integerEnd, m->grouping, LocaleCodes(loc.l, m->thousands));
    integerEnd += amount.n - before;
  }
  if (s.leftPrecision > static_cast<int>(integerEnd)) {
    // The amount padded with the fill character to the left precision.
    const std::size_t pad = std::min(static_cast<std::size_t>(s.leftPrecision) - integerEnd, Buf::kRoom - amount.n);
    std::memmove(amount.d + pad, amount.d, amount.n * sizeof(char16_t));
    for (std::size_t i = 0; i < pad; ++i) amount.d[i] = static_cast<char16_t>(fill);
    amount.n += pad;
  }
  auto value = [&](int index) { return m != nullptr && m->values[static_cast<std::size_t>(index)] != 0 ? 1 : 0; };
  const char16_t* pattern = u"$ -v";
  if (!international) {
    int position = 0, precedes = 0, space = 0;
    if (negative) {
      precedes = value(4);
      space = value(5);
      position = s.parentheses ? 0 : (m != nullptr ? m->SignPosition(true) : 0);
    } else {
      precedes = value(2);
      space = value(3);
      position = m != nullptr ? m->SignPosition(false) : 1;
    }
    if (position > 4) position = 0;
    pattern = kPatterns[position][precedes * 2 + space];
  }
  Codes symbol, sign;
  if (m != nullptr) {
    if (!s.noSymbol) symbol = LocaleCodes(loc.l, international ? m->intlSymbol : m->symbol);
    sign = LocaleCodes(loc.l, negative ? m->negativeSign : m->positiveSign);
  }
  b.n = 0;
  for (const char16_t* p = pattern; *p != 0; ++p) {
    if (*p == '$')
      b.Append(symbol);
    else if (*p == '-')
      b.Append(sign);
    else if (*p == 'v')
      b.Append(amount.d, amount.n);
    else
      b.Push(*p);
  }
  s.zero = false;
  PutPadded(w, s, b, 0, false);
}

void PutString(Writer& w, const Locale& loc, const Spec& s, const void* text) {
  static const char kNull[] = "0";
  if (text == nullptr) text = loc.family == SL_FAMILY_WIDE ? static_cast<const void*>(u"0") : kNull;
  const std::size_t limit = s.precision < 0 ? SIZE_MAX : static_cast<std::size_t>(s.precision);
  Cursor c(loc.family, loc.l, text);
  std::size_t length = 0;
  while (length < limit && c.Peek() != 0) {
    c.Next();
    ++length;
  }
  const int pad = s.width > static_cast<int>(length) ? s.width - static_cast<int>(length) : 0;
  if (!s.left) w.Repeat(' ', pad);
  c.Seek(0);
  for (std::size_t i = 0; i < length; ++i, c.Next()) w.Put(c.Peek());
  if (s.left) w.Repeat(' ', pad);
}

int Engine(uint8_t family, hlocale h, void* out, const void* format, va_list ap) {
  const CLocale* l = casemap::LocaleOf(h, family);
  if (out == nullptr) return -1;
  if (l == nullptr || format == nullptr) {
    if (family == SL_FAMILY_WIDE)
      *static_cast<SL_WCHAR*>(out) = 0;
    else
      *static_cast<char*>(out) = '\0';
    return l == nullptr ? -1 : 0;
  }
  Writer w(family, *l, out);
  uint32_t scratchSize = 0;
  uint8_t* scratch = ScratchBuffer(&scratchSize);
  if (scratch == nullptr || scratchSize < kScratchSize) {
    w.Terminate();
    return -1;
  }
  Buf& first = *new (scratch) Buf;
  Buf& second = *new (scratch + kScratchSize / 2) Buf;
  try {
    Locale loc{*l, family, NumberStyleOf(*l), NumericOf(*l)};
    va_list original;
    va_copy(original, ap);
    va_list current;
    va_copy(current, ap);
    Arguments args(&current);
    Cursor c(family, *l, format);
    for (uint16_t ch; (ch = c.Peek()) != 0;) {
      if (ch != '%') {
        w.Put(ch);
        c.Next();
        continue;
      }
      const std::size_t specStart = c.at();
      c.Next();
      if (c.Peek() == '%') {
        w.Put('%');
        c.Next();
        continue;
      }
      Spec s;
      if (!ParseSpec(c, s)) {
        // Copied unchanged from its "%" to the end of the format.
        c.Seek(specStart);
        for (; c.Peek() != 0; c.Next()) w.Put(c.Peek());
        break;
      }
      if (s.position > 0 && !args.positional()) {
        // Restart at the beginning with the arguments in position order.
        va_end(current);
        va_copy(current, original);
        args.MakePositional(family, *l, format);
        w.Reset();
        c.Seek(0);
        continue;
      }
      if (s.widthArg != 0) {
        const int64_t v = args.Int(s.widthArg);
        if (v < 0) s.left = true;
        s.width = static_cast<int>(std::min<int64_t>(v < 0 ? -v : v, Buf::kRoom));
      }
      int fill = s.zero && s.width > 0 ? '0' : ' ';
      if (s.leftPrecisionArg != 0) {
        const int64_t v = args.Int(s.leftPrecisionArg);
        s.leftPrecision = static_cast<int>(std::min<int64_t>(v < 0 ? -v : v, Buf::kRoom));
      }
      if (s.fillArg != 0) fill = static_cast<uint16_t>(args.Int(s.fillArg));
      if (s.precisionArg != 0) {
        const int v = args.Int(s.precisionArg);
        s.precision = v < 0 ? -1 : v;
      }
      if (s.width > static_cast<int>(Buf::kRoom)) s.width = static_cast<int>(Buf::kRoom);
      if (s.leftPrecision > static_cast<int>(Buf::kRoom) / 2) s.leftPrecision = static_cast<int>(Buf::kRoom) / 2;
      if (s.left) s.zero = false;
      switch (s.conversion) {
        case 'd':
        case 'i':
        case 'u':
        case 'o':
        case 'x':
        case 'X': PutInteger(w, loc, s, args.Integer(s), first); break;
        case 'p': {
          const auto v = reinterpret_cast<uintptr_t>(args.Pointer(s));
          first.n = 0;
          for (int shift = static_cast<int>(sizeof v * 8) - 4; shift >= 0; shift -= 4)
            first.Push(static_cast<char16_t>("0123456789ABCDEF"[(v >> shift) & 0xF]));
          PutPadded(w, s, first, 0, false);
          break;
        }
        case 'c': {
          const int v = args.Int(s.position);
          first.n = 0;
          first.Push(static_cast<char16_t>(family == SL_FAMILY_NARROW ? v & 0xFF : v & 0xFFFF));
          PutPadded(w, s, first, 0, false);
          break;
        }
        case 's': PutString(w, loc, s, args.Pointer(s)); break;
        case 'n': {
          void* target = const_cast<void*>(args.Pointer(s));
          if (target == nullptr) break;
          if (s.size == 'h')
            *static_cast<int16_t*>(target) = static_cast<int16_t>(w.chars());
          else
            *static_cast<int32_t*>(target) = w.chars();
          break;
        }
        case 'M':
        case 'I': PutMoney(w, args, loc, s, fill, first, second); break;
        default: PutReal(w, args, loc, s, first); break;
      }
    }
    va_end(current);
    va_end(original);
  } catch (const std::bad_alloc&) {
    w.Terminate();
    return -1;
  }
  w.Terminate();
  return w.chars();
}

}  // namespace

#define PRINT_EXPORTS(P, CH, FAMILY)                                                       \
  SL_EXPORT int P##VFmtStrPrint(hlocale h, CH* out, const CH* format, va_list args) {      \
    return Engine(FAMILY, h, out, format, args);                                           \
  }                                                                                        \
  SL_EXPORT int _##P##FmtStrPrint(hlocale h, CH* out, const CH* format, ...) {             \
    va_list args;                                                                          \
    va_start(args, format);                                                                \
    const int result = Engine(FAMILY, h, out, format, args);                               \
    va_end(args);                                                                          \
    return result;                                                                         \
  }

PRINT_EXPORTS(SLN_, char, SL_FAMILY_NARROW)
PRINT_EXPORTS(SLW_, SL_WCHAR, SL_FAMILY_WIDE)
PRINT_EXPORTS(SLM_, char, SL_FAMILY_MULTI)
