// Case mapping, translations, case-insensitive matching, class trims and
// scans, soundex codes and the family string utilities of the three text
// families, and the reader of the Windows international settings.
//
// The exports decode their strings into 16-bit character codes (narrow:
// bytes, wide: units, multi-byte: lead x 256 + trail through the locale's
// character access), work on whole strings in memory of their own, and write
// back in the family's encoding. So no string is cut at the thread's scratch
// buffer, and offsets into the caller's string are kept per character.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "categories.h"
#include "locale_object.h"
#include "slw32.h"

namespace slw::casemap {

using Codes = std::u16string;

// A caller's string decoded: its characters and, for each, the offset of its
// first unit in the string (one more entry: the terminator's offset).
struct Decoded {
  Codes codes;
  std::vector<std::size_t> offsets;
};

// The three families as one interface over the caller's units.
struct Family {
  uint8_t family;
  const CLocale* locale;  // needed by the multi-byte family only

  Decoded Decode(const void* s, std::size_t maxChars = SIZE_MAX) const;
  // Units a character takes when written (multi-byte: 1 or 2 bytes).
  std::size_t UnitsOf(uint16_t code) const;
  // Writes codes at `out` (no terminator); returns the units written.
  std::size_t Encode(const Codes& codes, void* out) const;
  void Terminate(void* out, std::size_t unitOffset) const;
  std::size_t UnitBytes() const { return family == SL_FAMILY_WIDE ? 2 : 1; }
};

// Units before the terminator.
template <typename Unit>
std::size_t UnitLength(const Unit* s) {
  std::size_t n = 0;
  while (s[n] != 0) ++n;
  return n;
}

// The locale of a handle when it is of `family`, else null.
const CLocale* LocaleOf(hlocale h, uint8_t family);

// The raw entry of `code` in translation `index`: 0 unchanged, 0xFFFF the
// multi-character entries, else the translated code.
uint16_t RawEntry(const CtypeCategory& ctype, int index, uint16_t code);
// The number of translations the locale's LC_CTYPE names.
std::size_t TranslationCount(const CtypeCategory& ctype);

// Translates `src` (at most `srcLimit` characters) into `out`, whose room is
// `room` units of the family. With keepRest, a multi-character entry is used
// only when the characters after it still fit (mapping in place). Returns
// whether a multi-character entry was used.
bool TranslateCodes(const Family& f, const CtypeCategory& ctype, int index, const Codes& src,
                    std::size_t srcLimit, std::size_t room, bool keepRest, Codes& out);

// A code through the toupper table alone (no multi-character entries).
uint16_t UpperOne(const CtypeCategory& ctype, uint8_t family, uint16_t code);

}  // namespace slw::casemap
