#include "fieldcodec.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include "platform/stored_text.h"
#include "platform/stored_value.h"
#include "status.h"

namespace orb {
namespace {

// The length of a character field's text: the field less its trailing
// blanks and NULs, cut at an embedded NUL as the zero-terminated value
// would be.
size_t TextLengthByBytes(const uint8_t* p, size_t width) {
  size_t n = width;
  while (n > 0 && (p[n - 1] == ' ' || p[n - 1] == 0)) --n;
  const void* nul = std::memchr(p, 0, n);
  return nul != nullptr ? static_cast<size_t>(static_cast<const uint8_t*>(nul) - p) : n;
}

// The field's length without its trailing blanks, cut at a NUL.
size_t TextLength(const uint8_t* p, size_t width) {
  const size_t n = platform::StoredTextLength(p, width);
  return n != platform::kStoredTextHasNul ? n : TextLengthByBytes(p, width);
}

// A text longer than the value buffer: as much as fits, and the failure.
__attribute__((noinline, cold)) OrbResult TextCutShort(const FieldInfo& f, const uint8_t* p, size_t n, void* value,
                                                       uint32_t valueSize, int32_t* blank) {
  if (valueSize == 0) return Fail(ORB_ERR_BUFFER_TOO_SMALL, "value buffer of 0 bytes");
  std::memcpy(value, p, valueSize - 1);
  static_cast<char*>(value)[valueSize - 1] = 0;
  if (blank != nullptr) *blank = n == 0;
  return Fail(ORB_ERR_BUFFER_TOO_SMALL, "field " + f.name + " is longer than the value buffer");
}

// A caller reads the text it asked for at once, with strlen, whose first
// load is a vector: a load that no single store of the value holds waits
// until the stores reach the cache, longer than the whole field took. So a
// text shorter than that vector goes out as one store as wide, its end
// padded with zeros, where the value buffer takes it and the record holds
// the bytes to load (record bytes from p: FieldInfo::room).
__attribute__((noinline)) OrbResult PutText(const FieldInfo& f, const uint8_t* p, size_t n, void* value,
                                            uint32_t valueSize, int32_t* blank) {
  if (n + 1 > valueSize) return TextCutShort(f, p, n, value, valueSize, blank);
#if defined(__SSE2__)
  if (n < 16 && valueSize >= 16 && f.room >= 16) {
    const __m128i index = _mm_setr_epi8(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
    const __m128i kept = _mm_cmpgt_epi8(_mm_set1_epi8(static_cast<char>(n)), index);
    const __m128i text = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    _mm_storeu_si128(static_cast<__m128i*>(value), _mm_and_si128(text, kept));
  } else
#endif
  {
    std::memcpy(value, p, n);
    static_cast<char*>(value)[n] = 0;
  }
  if (blank != nullptr) *blank = n == 0;
  return ORB_OK;
}

__attribute__((noinline)) OrbResult DecodeTextBy16(const FieldInfo& f, const uint8_t* p, void* value,
                                                   uint32_t valueSize, int32_t* blank) {
  return PutText(f, p, TextLength(p, f.width), value, valueSize, blank);
}

__attribute__((noinline)) OrbResult DecodeTextByBytes(const FieldInfo& f, const uint8_t* p, void* value,
                                                      uint32_t valueSize, int32_t* blank) {
  return PutText(f, p, TextLengthByBytes(p, f.width), value, valueSize, blank);
}

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
// Where the processor has AVX2 (strlen's vector is 32 bytes then): the
// field 32 bytes at a time, the last vector reaching past the field into
// the record's next bytes (masked off); a field too near the record's end
// for that goes sixteen at a time, one holding a NUL by bytes. The text and
// its NUL go out as whole vectors too, the last padded with zeros, so each
// of strlen's loads (the first at the value, the next ones on boundaries
// of 32) finds one store that holds it where the value is so aligned.
__attribute__((target("avx2"))) OrbResult DecodeTextBy32(const FieldInfo& f, const uint8_t* p, void* value,
                                                         uint32_t valueSize, int32_t* blank) {
  const size_t width = f.width, whole = (width + 31) & ~size_t{31};
  if (f.room < whole) return DecodeTextBy16(f, p, value, valueSize, blank);
  const __m256i zeros = _mm256_setzero_si256(), notBlank = _mm256_set1_epi8(static_cast<char>(0xDF));
  size_t length = 0;
  uint32_t nuls = 0;
  for (size_t at = 0; at < whole; at += 32) {
    const __m256i w = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + at));
    const uint32_t mine = at + 32 <= width ? ~0u : static_cast<uint32_t>((uint64_t{1} << (width - at)) - 1);
    // Blanks and NULs are the bytes that are zero less bit 5.
    const uint32_t empty =
        static_cast<uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(_mm256_and_si256(w, notBlank), zeros)));
    nuls |= static_cast<uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(w, zeros))) & mine;
    const uint32_t filled = ~empty & mine;
    if (filled != 0) length = at + 32 - static_cast<size_t>(__builtin_clz(filled));
  }
  if (nuls != 0) return DecodeTextByBytes(f, p, value, valueSize, blank);
  const size_t last = length & ~size_t{31};
  if (length + 1 > valueSize || valueSize < last + 32 || f.room < last + 32) {
    return PutText(f, p, length, value, valueSize, blank);
  }
  auto* out = static_cast<uint8_t*>(value);
  for (size_t at = 0; at < last; at += 32) {
    const __m256i w = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + at));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + at), w);
  }
  const __m256i index = _mm256_setr_epi8(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20,
                                         21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31);
  const __m256i kept = _mm256_cmpgt_epi8(_mm256_set1_epi8(static_cast<char>(length - last)), index);
  const __m256i end = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + last));
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + last), _mm256_and_si256(end, kept));
  if (blank != nullptr) *blank = length == 0;
  return ORB_OK;
}

using TextDecoder = OrbResult (*)(const FieldInfo&, const uint8_t*, void*, uint32_t, int32_t*);
const TextDecoder kDecodeText = [] {
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx2") ? &DecodeTextBy32 : &DecodeTextBy16;
}();
#else
constexpr auto kDecodeText = &DecodeTextBy16;
#endif

// The number as fixed-point text with `decimals` places, rounded half away
// from zero on its shortest decimal form (the digits the user typed), so
// 1.005 gives "1.01" although the double is 1.00499999...; a value that
// rounds to zero carries no sign.
std::string FixedText(double d, int decimals) {
  char buf[400];
  auto [end, ec] = std::to_chars(buf, buf + sizeof buf, std::fabs(d), std::chars_format::fixed);
  std::string digits = ec == std::errc() ? std::string(buf, end) : std::string("0");
  const size_t point = digits.find('.');
  std::string whole = point == std::string::npos ? digits : digits.substr(0, point);
  std::string frac = point == std::string::npos ? std::string() : digits.substr(point + 1);
  bool up = frac.size() > static_cast<size_t>(decimals) && frac[decimals] >= '5';
  frac.resize(decimals, '0');
  std::string all = whole + frac;
  for (size_t i = all.size(); up && i > 0; --i) {
    if (all[i - 1] == '9') {
      all[i - 1] = '0';
    } else {
      ++all[i - 1];
      up = false;
    }
  }
  if (up) all.insert(all.begin(), '1');
  const bool zero = all.find_first_not_of('0') == std::string::npos;
  std::string out = (d < 0 && !zero) ? "-" : "";
  out += all.substr(0, all.size() - decimals);
  if (decimals > 0) out.append(".").append(all, all.size() - decimals);
  return out;
}

}  // namespace

void CivilFromDays(int32_t dayNumber, int32_t* year, int32_t* month, int32_t* day) {
  platform::CivilFromDays(dayNumber, year, month, day);
}

uint32_t MemoBlock(const FieldInfo& f, const uint8_t* record) {
  const uint8_t* p = record + f.offset;
  uint64_t v = 0;
  bool any = false;
  for (uint16_t i = 0; i < f.width; ++i) {
    if (p[i] == ' ' || p[i] == 0) {
      if (any) break;  // trailing blanks
      continue;        // leading blanks
    }
    if (p[i] < '0' || p[i] > '9') return 0;
    v = v * 10 + static_cast<uint64_t>(p[i] - '0');
    if (v > 0xFFFFFFFFull) return 0;
    any = true;
  }
  return static_cast<uint32_t>(v);
}

void SetMemoBlock(const FieldInfo& f, uint8_t* record, uint32_t block) {
  uint8_t* p = record + f.offset;
  std::memset(p, ' ', f.width);
  if (block == 0) return;
  char text[16];
  int n = std::snprintf(text, sizeof text, "%*u", static_cast<int>(f.width), block);
  if (n == f.width) std::memcpy(p, text, f.width);
}

namespace {

__attribute__((noinline, cold)) OrbResult TooSmall(const char* what) { return Fail(ORB_ERR_BUFFER_TOO_SMALL, what); }

// The number and the date are read as the framework reads them, by the
// one reader of stored values.
__attribute__((noinline)) OrbResult DecodeNumber(const FieldInfo& f, const uint8_t* p, void* value, uint32_t valueSize,
                                                 int32_t* blank) {
  if (valueSize < 8) return TooSmall("a number needs 8 bytes");
  double d;
  const bool number = platform::StoredNumber(p, f.width, &d);
  std::memcpy(value, &d, sizeof d);
  if (blank != nullptr) *blank = !number;
  return ORB_OK;
}

__attribute__((noinline)) OrbResult DecodeDate(const FieldInfo& f, const uint8_t* p, void* value, uint32_t valueSize,
                                               int32_t* blank) {
  if (valueSize < 4) return TooSmall("a date needs 4 bytes");
  const int32_t dn = platform::StoredDate(p, f.width);
  std::memcpy(value, &dn, sizeof dn);
  if (blank != nullptr) *blank = dn == 0;  // an invalid date reads as blank
  return ORB_OK;
}

__attribute__((noinline)) OrbResult DecodeLogical(const FieldInfo&, const uint8_t* p, void* value, uint32_t valueSize,
                                                  int32_t* blank) {
  if (valueSize < 2) return TooSmall("a logical needs 2 bytes");
  int16_t b = 0;
  int32_t isBlank = 0;
  switch (p[0]) {
    case 'T': case 't': case 'Y': case 'y': b = 1; break;
    case 'F': case 'f': case 'N': case 'n': b = 0; break;
    default: isBlank = 1; break;
  }
  std::memcpy(value, &b, sizeof b);
  if (blank != nullptr) *blank = isBlank;
  return ORB_OK;
}

__attribute__((noinline)) OrbResult DecodeMemoBlock(const FieldInfo& f, const uint8_t* p, void* value,
                                                    uint32_t valueSize, int32_t* blank) {
  if (valueSize < 4) return TooSmall("a memo block needs 4 bytes");
  uint32_t block = MemoBlock(f, p - f.offset);
  std::memcpy(value, &block, sizeof block);
  if (blank != nullptr) *blank = block == 0;
  return ORB_OK;
}

__attribute__((noinline, cold)) OrbResult UnknownType(const FieldInfo& f) {
  return Fail(ORB_ERR_FIELD_TYPE, "field " + f.name + " has an unknown type");
}

}  // namespace

// Each type's reader on its own, so the choice among them keeps no frame.
OrbResult DecodeField(const FieldInfo& f, const uint8_t* record, void* value, uint32_t valueSize,
                      int32_t* blank) {
  const uint8_t* p = record + f.offset;
  switch (f.type) {
    case 'C': return kDecodeText(f, p, value, valueSize, blank);
    case 'N':
    case 'F': return DecodeNumber(f, p, value, valueSize, blank);
    case 'D': return DecodeDate(f, p, value, valueSize, blank);
    case 'L': return DecodeLogical(f, p, value, valueSize, blank);
    case 'M': return DecodeMemoBlock(f, p, value, valueSize, blank);
    default: return UnknownType(f);
  }
}

OrbResult EncodeField(const FieldInfo& f, uint8_t* record, const void* value) {
  uint8_t* p = record + f.offset;
  if (value == nullptr) {
    std::memset(p, ' ', f.width);
    return ORB_OK;
  }
  switch (f.type) {
    case 'C': {
      const char* text = static_cast<const char*>(value);
      size_t n = std::strlen(text);
      size_t trimmed = n;
      while (trimmed > 0 && text[trimmed - 1] == ' ') --trimmed;
      if (trimmed > f.width) {
        return Fail(ORB_ERR_VALUE_TOO_LONG, "field " + f.name + " holds " +
                                                std::to_string(f.width) + " characters, not " +
                                                std::to_string(trimmed));
      }
      std::memset(p, ' ', f.width);
      std::memcpy(p, text, trimmed);
      return ORB_OK;
    }
    case 'N':
    case 'F': {
      double d;
      std::memcpy(&d, value, sizeof d);
      if (!std::isfinite(d)) return Fail(ORB_ERR_VALUE_RANGE, "field " + f.name + ": not a number");
      const std::string text = FixedText(d, f.decimals);
      if (text.size() > f.width) {
        return Fail(ORB_ERR_VALUE_RANGE, "field " + f.name + " (" + std::to_string(f.width) + "," +
                                             std::to_string(f.decimals) + ") cannot hold " + text);
      }
      std::memset(p, ' ', f.width);
      std::memcpy(p + (f.width - text.size()), text.data(), text.size());
      return ORB_OK;
    }
    case 'D': {
      int32_t dn;
      std::memcpy(&dn, value, sizeof dn);
      if (dn == 0) {
        std::memset(p, ' ', f.width);
        return ORB_OK;
      }
      int32_t y, m, d;
      if (dn < 1 || dn > DaysFromCivil(9999, 12, 31)) {
        return Fail(ORB_ERR_VALUE_RANGE, "field " + f.name + ": day number out of range");
      }
      CivilFromDays(dn, &y, &m, &d);
      char text[16];
      std::snprintf(text, sizeof text, "%04d%02d%02d", y, m, d);
      std::memset(p, ' ', f.width);
      std::memcpy(p, text, 8);
      return ORB_OK;
    }
    case 'L': {
      int16_t b;
      std::memcpy(&b, value, sizeof b);
      p[0] = b != 0 ? 'T' : 'F';
      return ORB_OK;
    }
    case 'M': {
      uint32_t block;
      std::memcpy(&block, value, sizeof block);
      SetMemoBlock(f, record, block);
      return ORB_OK;
    }
    default:
      return Fail(ORB_ERR_FIELD_TYPE, "field " + f.name + " has an unknown type");
  }
}

}  // namespace orb
