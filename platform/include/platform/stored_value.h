// The value a dBASE number (N, F) or date (D) field stores: its text to a
// double, YYYYMMDD to a day number. Read by the engine's decoder and by the
// framework, which reads a record's fields from the bytes the engine handed
// it; one reader, so both answer the same to the bit.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "platform/civil_date.h"

namespace platform {

inline bool ValidDate(int32_t year, int32_t month, int32_t day) {
  if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1) return false;
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  int dim = kDays[month - 1];
  if (month == 2 && IsLeapYear(year)) dim = 29;
  return day <= dim;
}

namespace stored_detail {

inline uint64_t Word8(const uint8_t* p) {
  uint64_t w;
  std::memcpy(&w, p, sizeof w);
  return w;
}

constexpr uint64_t Eight(uint8_t byte) { return 0x0101010101010101ull * byte; }

// The plain decimal text tools write ("-123.45"), converted without
// strtod: at most 15 digits make an exact integer, and 10^k for k <= 22 is
// exact, so one division rounds once, to the double strtod would give.
// Anything else (exponents, more digits) is left to strtod.
inline bool PlainDecimal(const char* text, size_t n, double* out) {
  static constexpr double kPow10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                      1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
  size_t i = 0;
  const bool negative = n > 0 && text[0] == '-';
  if (n > 0 && (text[0] == '-' || text[0] == '+')) ++i;
  uint64_t mantissa = 0;
  int digits = 0, fraction = 0;
  bool point = false;
  for (; i < n; ++i) {
    const char c = text[i];
    if (c >= '0' && c <= '9') {
      if (++digits > 15) return false;
      mantissa = mantissa * 10 + static_cast<uint64_t>(c - '0');
      if (point) ++fraction;
    } else if (c == '.' && !point) {
      point = true;
    } else {
      return false;
    }
  }
  if (digits == 0) return false;
  const double v = static_cast<double>(mantissa) / kPow10[fraction];
  *out = negative ? -v : v;
  return true;
}

// A number's text as other tools leave it (blanks or NULs anywhere, a
// decimal comma, the stars of an overflow, exponents), by the C library.
__attribute__((noinline)) inline bool NumberByText(const uint8_t* p, size_t width, double* value) {
  char text[40];
  size_t n = 0, stars = 0;
  for (size_t i = 0; i < width && n + 1 < sizeof text; ++i) {
    char c = static_cast<char>(p[i]);
    if (c == ' ' || c == 0) continue;
    if (c == ',') c = '.';  // some tools write a decimal comma
    stars += c == '*';
    text[n++] = c;
  }
  text[n] = 0;
  *value = 0;
  if (n == 0 || stars == n) return false;  // blank, or the overflow stars other tools write
  double d = 0;
  char* end = nullptr;
  if (!PlainDecimal(text, n, &d)) d = std::strtod(text, &end);
  else end = text + n;
  if (end == text || !std::isfinite(d)) return false;
  *value = d;
  return true;
}

}  // namespace stored_detail

// The number in the `width` stored bytes at p; false (and 0) when blank.
// The plain right-aligned number ("   -123.45") is read where it stands:
// past its leading blanks (eight at a time) the rest is the text the
// general reader would make of it, so the value is the same.
inline bool StoredNumber(const uint8_t* p, size_t width, double* value) {
  using stored_detail::Eight;
  size_t i = 0;
  for (; i + 8 <= width; i += 8) {
    if (const uint64_t other = stored_detail::Word8(p + i) ^ Eight(' '); other != 0) {
      i += static_cast<size_t>(__builtin_ctzll(other)) / 8;
      break;
    }
  }
  while (i < width && p[i] == ' ') ++i;
  if (i == width) {
    *value = 0;
    return false;
  }
  if (!stored_detail::PlainDecimal(reinterpret_cast<const char*>(p) + i, width - i, value))
    return stored_detail::NumberByText(p, width, value);
  return true;
}

// The day number of YYYYMMDD in the `width` stored bytes at p, its eight
// bytes as one word: a date when every byte is a digit and the date
// exists; 0 (blank) for anything else, blanks and invalid dates alike.
inline int32_t StoredDate(const uint8_t* p, size_t width) {
  using stored_detail::Eight;
  if (width < 8) return 0;
  const uint64_t w = stored_detail::Word8(p);
  const uint64_t high = Eight(0xF0);
  // Digits: high nibble 3, and the low one at most 9 (adding 6 keeps it below 16).
  if ((w & high) != Eight(0x30) || ((w + Eight(6)) & high) != Eight(0x30)) return 0;
  const uint64_t digits = w - Eight('0');
  // Neighbouring digits paired into 0..99, one pair in each 16 bits.
  const uint64_t pairs = ((digits * 10) + (digits >> 8)) & 0x00FF00FF00FF00FFull;
  const int32_t y = static_cast<int32_t>(pairs & 0xFF) * 100 + static_cast<int32_t>((pairs >> 16) & 0xFF);
  const int32_t m = static_cast<int32_t>((pairs >> 32) & 0xFF), d = static_cast<int32_t>(pairs >> 48);
  return ValidDate(y, m, d) ? DaysFromCivil(y, m, d) : 0;
}

}  // namespace platform
