// Soundex codes and their similarity, in the three families.
//
// The rules kept as they stand: "h" and "w" separate two letters of one digit
// as vowels do; the first letter's own digit is not the previous digit, so a
// following letter of that digit is written; the padding zeros of two codes
// take part in the similarity like written digits.
#include <new>
#include <type_traits>

#include "casemap.h"
#include "char_access.h"
#include "ctype_class.h"

using namespace slw;
using namespace slw::casemap;

namespace {

constexpr uint32_t kBlank = 128;
constexpr uint32_t kLetter = 1036;

uint8_t DigitOf(const CLocale& l, uint16_t c) {
  const SoundexCategory* s = SoundexOf(l);
  return s == nullptr ? 0 : s->CodeOf(c);
}

// The code of the first n characters of a word: four codes, "0000" without
// a leading letter.
Codes SoundexCode(const CLocale& l, uint8_t family, const Codes& word) {
  Codes code(4, u'0');
  std::size_t i = 0;
  while (i < word.size() && InClass(l, word[i], kBlank)) ++i;
  if (i >= word.size() || !InClass(l, word[i], kLetter)) return code;
  const CtypeCategory* ct = CtypeOf(l);
  code[0] = ct != nullptr ? static_cast<char16_t>(UpperOne(*ct, family, word[i])) : word[i];
  int written = 0;
  int previousDigit = -1;
  int previousChar = -1;
  for (++i; i < word.size() && written < 3; ++i) {
    const uint16_t c = word[i];
    if (!InClass(l, c, kLetter)) break;
    const uint8_t v = DigitOf(l, c);
    const int d = '0' + v;
    if (v != 0 && c != previousChar && d != previousDigit) code[1 + written++] = static_cast<char16_t>(d);
    previousDigit = d;
    previousChar = c;
  }
  return code;
}

uint16_t Similarity(const Codes& a, const Codes& b) {
  if (a == b) return 4;
  const int base = a[0] == b[0] ? 1 : 0;
  int result = base;
  for (std::size_t s = 1; s <= 3; ++s) {
    int count = base;
    std::size_t cursor = 1;
    for (std::size_t i = s; i <= 3; ++i) {
      for (std::size_t k = cursor; k <= 3; ++k) {
        if (b[k] == a[i]) {
          ++count;
          cursor = k + 1;
          break;
        }
      }
    }
    if (count > result) result = count;
  }
  return static_cast<uint16_t>(result);
}

template <typename Unit>
Codes DecodeUnits(const Unit* s, std::size_t n) {
  Codes out;
  if (s == nullptr) return out;
  for (std::size_t i = 0; i < n && s[i] != 0; ++i)
    out.push_back(static_cast<char16_t>(static_cast<std::make_unsigned_t<Unit>>(s[i])));
  return out;
}

template <typename Unit>
Unit* WriteCode(hlocale h, uint8_t family, Unit* out, const Unit* word, std::size_t n) {
  if (out == nullptr) return out;
  const CLocale* l = LocaleOf(h, family);
  Codes code(4, u'0');
  try {
    if (l != nullptr) code = SoundexCode(*l, family, DecodeUnits(word, n));
  } catch (const std::bad_alloc&) {
  }
  for (std::size_t i = 0; i < 4; ++i) out[i] = static_cast<Unit>(code[i]);
  out[4] = 0;
  return out;
}

template <typename Unit>
uint16_t Compare(hlocale h, uint8_t family, const Unit* a, const Unit* b, std::size_t n) {
  const CLocale* l = LocaleOf(h, family);
  if (l == nullptr) return 0;
  try {
    return Similarity(SoundexCode(*l, family, DecodeUnits(a, n)), SoundexCode(*l, family, DecodeUnits(b, n)));
  } catch (const std::bad_alloc&) {
    return 0;
  }
}

}  // namespace

#define SOUNDEX_EXPORTS(P, FAMILY, CH)                                                                    \
  SL_EXPORT uint16_t P##ToSoundex(hlocale h, CH c) {                                                     \
    const CLocale* l = LocaleOf(h, FAMILY);                                                              \
    return l == nullptr ? 0 : DigitOf(*l, static_cast<uint16_t>(static_cast<std::make_unsigned_t<CH>>(c))); \
  }                                                                                                       \
  SL_EXPORT CH* P##StrSoundex(hlocale h, CH* out, const CH* word) { return WriteCode(h, FAMILY, out, word, SIZE_MAX); } \
  SL_EXPORT CH* P##StrnSoundex(hlocale h, CH* out, const CH* word, uint16_t n) {                         \
    return WriteCode(h, FAMILY, out, word, n);                                                           \
  }                                                                                                       \
  SL_EXPORT uint16_t P##StrSoundexCmp(hlocale h, const CH* a, const CH* b) { return Compare(h, FAMILY, a, b, SIZE_MAX); } \
  SL_EXPORT uint16_t P##StrnSoundexCmp(hlocale h, const CH* a, const CH* b, uint16_t n) {                \
    return Compare(h, FAMILY, a, b, n);                                                                  \
  }

SOUNDEX_EXPORTS(SLN_, SL_FAMILY_NARROW, char)
SOUNDEX_EXPORTS(SLW_, SL_FAMILY_WIDE, SL_WCHAR)

// The multi-byte code: the letter through the locale's character access (one
// or two bytes), then the three digits; words are read by whole characters.
namespace {
Codes MultiCode(const CLocale& l, const char* word, std::size_t n) {
  Family f{SL_FAMILY_MULTI, &l};
  return SoundexCode(l, SL_FAMILY_MULTI, f.Decode(word, n).codes);
}

char* WriteMultiCode(hlocale h, char* out, const char* word, std::size_t n) {
  if (out == nullptr) return out;
  const CLocale* l = LocaleOf(h, SL_FAMILY_MULTI);
  Codes code(4, u'0');
  try {
    if (l != nullptr) code = MultiCode(*l, word, n);
  } catch (const std::bad_alloc&) {
  }
  char* p = l != nullptr ? PutCharAt(*l, out, code[0]) : out;
  if (l == nullptr) *p++ = '0';
  for (std::size_t i = 1; i < 4; ++i) *p++ = static_cast<char>(code[i]);
  *p = '\0';
  return out;
}

uint16_t CompareMulti(hlocale h, const char* a, const char* b, std::size_t n) {
  const CLocale* l = LocaleOf(h, SL_FAMILY_MULTI);
  if (l == nullptr) return 0;
  try {
    return Similarity(MultiCode(*l, a, n), MultiCode(*l, b, n));
  } catch (const std::bad_alloc&) {
    return 0;
  }
}
}  // namespace

SL_EXPORT uint16_t SLM_ToSoundex(hlocale h, uint16_t c) {
  const CLocale* l = LocaleOf(h, SL_FAMILY_MULTI);
  return l == nullptr ? 0 : DigitOf(*l, c);
}
SL_EXPORT char* SLM_StrSoundex(hlocale h, char* out, const char* word) { return WriteMultiCode(h, out, word, SIZE_MAX); }
SL_EXPORT char* SLM_StrnSoundex(hlocale h, char* out, const char* word, uint16_t n) {
  return WriteMultiCode(h, out, word, n);
}
SL_EXPORT uint16_t SLM_StrSoundexCmp(hlocale h, const char* a, const char* b) { return CompareMulti(h, a, b, SIZE_MAX); }
SL_EXPORT uint16_t SLM_StrnSoundexCmp(hlocale h, const char* a, const char* b, uint16_t n) {
  return CompareMulti(h, a, b, n);
}
