// Formatting and scanning by locale: dates and times (FmtStrTime,
// ScanStrTime and their AltTime forms, and the conversion of Windows date
// pictures into time formats), the printf engine (FmtStrPrint), its number
// to text conversion, and the number scanners (StrLong, StrDouble,
// StrLongDouble), in the narrow, wide and multi-byte families.
//
// The engines work on 16-bit character codes whatever the family: a narrow
// byte, a wide unit, or a multi-byte character (lead byte << 8 | trail byte,
// through the locale's character access). Locale texts of the multi-byte
// family are byte strings and are decoded the same way before use.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "categories.h"
#include "locale_object.h"
#include "slw32.h"
#include "status.h"

namespace slw::format {

using Codes = std::u16string;

// A locale text as character codes of its family (multi-byte: pairs of a
// lead byte and its trail byte make one code).
Codes LocaleCodes(const CLocale& l, const Text& text);

// Upper case of a code through the family's system locale, for matching
// names ignoring case.
uint16_t FoldCase(uint8_t family, uint16_t code);

// Whether `name` (not empty) starts `text` at `at`, ignoring case.
bool MatchesAt(uint8_t family, const Codes& text, std::size_t at, const Codes& name);

// A working string of fixed room (half of the thread's scratch buffer):
// what does not fit is dropped, never written past it.
struct Buf {
  static constexpr std::size_t kRoom = 1000;
  std::size_t n = 0;
  char16_t d[kRoom];
  void Push(char16_t c) {
    if (n < kRoom) d[n++] = c;
  }
  void Append(const char16_t* s, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) Push(s[i]);
  }
  void Append(const Codes& s) { Append(s.data(), s.size()); }
};

// Group sizes of a grouping string (byte values, from the decimal point
// leftwards; the sizes repeat from the first when the string ends) applied
// to a run of digits: the separator goes between the groups.
// Rewrites the integer digits of out[from, to) in place.
void Group(Buf& out, std::size_t from, std::size_t to, const std::string& grouping, const Codes& separator);

// Group sizes from a Windows grouping text (LOCALE_SGROUPING, for the
// platform fill): "3;0" is "\x03"; "3;2;0" is 3 and then 2s to ten sizes;
// without the closing 0 grouping stops after the sizes given ("3;2" is 3, 2,
// then no more groups: 127).
std::string GroupingFromWindows(std::string_view text);

// Converts a Windows date picture (LOCALE_SLONGDATE, LOCALE_SSHORTDATE) into
// a time format. Quoted text is copied with its quotes dropped; "%" in any
// copied text is doubled. `eraYearFormat` is set when "GG" is followed by
// one or two "n" ("%EC%Ey", "%EC%E+y"), else left as it is.
Codes ConvertDatePicture(std::string_view localeName, const Codes& picture, Codes& eraYearFormat);

// Number to text: the value as the conversion 'e', 'E', 'f', 'F', 'g' or 'G'
// prints it with `precision` (at most 40; -1 for the default 6), the locale's
// decimal point and exponent marker. Appends to `out`.
struct NumberStyle {
  Codes decimalPoint = u".";
  Codes exponentUpper = u"E";
  Codes exponentLower = u"e";
};
NumberStyle NumberStyleOf(const CLocale& l);
void NumberToText(long double value, int precision, char conversion, bool alternate, const NumberStyle& style,
                  Buf& out);

// The number scanners on decoded text. `integerOnly` reads the integer part
// (StrLong). 0, or 0x0C07 with the value 0.
Status ScanNumber(const CLocale& l, const Codes& text, bool integerOnly, long double& value);

}  // namespace slw::format
