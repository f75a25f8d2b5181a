// Packed decimals (BCD) of up to 64 digits, their digit-string form, the
// parse of locale-formatted text into them and their formatting for the
// printf engines.
//
// The 34-byte value:
//   byte 0      precision: the number of digits, 0 to 64
//   byte 1      bit 7 negative; bit 6 a flag carried from the digit-string
//               record; bits 0-5 the scale (digits after the point, 0 to 63)
//   bytes 2-33  the digits, two per byte, the first digit in the high half;
//               an odd count leaves the last low half 0
// A scale above the precision stands for leading zeros after the point
// (precision 1, scale 3, digit 5 is 0.005).
//
// Text is handled as 16-bit character codes whatever its family: a narrow
// byte, a wide unit, or a multi-byte character (lead byte << 8 | trail byte).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "status.h"

namespace slw::bcd {

inline constexpr std::size_t kValueSize = 34;
inline constexpr int kMaxDigits = 64;
inline constexpr int kMaxScale = 63;

// The digit-string record in the library's own terms.
struct DigitString {
  bool negative = false;
  bool flag = false;
  uint8_t scale = 0;
  uint8_t precision = 0;       // at most 64
  char digits[kMaxDigits + 1] = {};  // '0'-'9', zero-terminated
};

// Sign, scale and precision of a value and its digits as characters; the
// flag comes back clear. A precision above 64 is cut to 64.
void Unpack(const uint8_t* value, DigitString& out);
// The reverse. Digits stop at the record's terminator (the rest count as 0);
// a precision above 64 is cut to 64. A scale above 63 does not fit the
// value: false, and the value is zero-filled.
bool Pack(const DigitString& in, uint8_t* value);

// The conventions the parse reads, as character codes (empty: none); views
// of the locale's category texts, which stay as they are while the locale
// holds the category.
struct ParseConventions {
  std::u16string_view decimalPoint;
  std::u16string_view thousandsSeparator;
  std::u16string_view monetaryDecimalPoint;
  std::u16string_view monetaryThousandsSeparator;
  std::u16string_view currencySymbol;
  std::u16string_view intlCurrencySymbol;
  std::u16string_view positiveSign;
  std::u16string_view negativeSign;
};

// Those of the built-in "POSIX" numeric and monetary categories: "." as the
// decimal point and nothing else.
inline ParseConventions PosixParseConventions() {
  ParseConventions c;
  c.decimalPoint = u".";
  return c;
}

// Parses a number into a value. A text that holds a non-empty currency
// symbol (or international one) is read with the monetary point and
// separator. Negative when the text holds both "(" and ")" or the negative
// sign ("-" without one). The digits start at the first digit (or at a
// decimal point right before it); thousands separators between integer
// digits are skipped; any other character ends the number. Returns 0, or
// 0x0C07 with a zero-filled value for a text without digits, more than 64
// digits or more than 63 after the point.
//
// The text is read where it lies, in its family's units: 16-bit units, or
// bytes. Bytes with a lead-byte map (a 256-bit map, 32 bytes) are read by
// characters: a lead byte and the byte after it are one character, which is
// never a digit, and a convention's bytes match only where they stand for
// whole characters of the text. A convention's unit is one byte of narrow and
// multi-byte text.
Status Parse(std::u16string_view text, const ParseConventions& conventions, uint8_t* value);
Status Parse(std::string_view text, const uint8_t* leadBytes, const ParseConventions& conventions, uint8_t* value);

// What the formatting writes besides digits and "-". The exponent marker is
// given in both cases so that the caller can map it with the locale.
template <class CH>
struct FormatConventions {
  std::basic_string<CH> decimalPoint;
  std::basic_string<CH> exponentUpper;
  std::basic_string<CH> exponentLower;
};
template <class CH>
FormatConventions<CH> PosixFormatConventions();

// Formats a value for the printf engines: conversion 'F'/'f' (and 'G'/'g',
// taken as 'F'/'f') or 'E'/'e'; precision is the digits after the point (for
// 'E' after the first digit), negative counting as 0 and at most 64; rounding
// half up. Writes at most capacity - 1 units and a terminator (narrow and
// multi-byte text use CH = char) and returns the length of the whole text.
template <class CH>
std::size_t Format(const uint8_t* value, int precision, char conversion, bool alternate,
                   const FormatConventions<CH>& conventions, CH* out, std::size_t capacity);

}  // namespace slw::bcd
