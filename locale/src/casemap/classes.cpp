// Trimming and scanning by character class, narrow and wide (the multi-byte
// forms live with that family's primitives).
#include <cstring>

#include "casemap.h"
#include "ctype_class.h"

using namespace slw;
using namespace slw::casemap;

namespace {

template <typename Unit>
bool In(const CLocale& l, Unit c, uint32_t mask) {
  return InClass(l, static_cast<uint16_t>(static_cast<std::make_unsigned_t<Unit>>(c)), mask);
}

template <typename Unit>
Unit* TrimStart(hlocale h, uint8_t family, Unit* s, uint32_t mask) {
  const CLocale* l = LocaleOf(h, family);
  if (l == nullptr || s == nullptr) return s;
  std::size_t skip = 0;
  while (s[skip] != 0 && In(*l, s[skip], mask)) ++skip;
  if (skip > 0) std::memmove(s, s + skip, (UnitLength(s + skip) + 1) * sizeof(Unit));
  return s;
}

template <typename Unit>
Unit* TrimStartStr(hlocale h, uint8_t family, Unit* out, const Unit* s, uint32_t mask) {
  const CLocale* l = LocaleOf(h, family);
  if (out == nullptr) return out;
  if (l == nullptr || s == nullptr) {
    out[0] = 0;
    return out;
  }
  while (*s != 0 && In(*l, *s, mask)) ++s;
  std::memmove(out, s, (UnitLength(s) + 1) * sizeof(Unit));
  return out;
}

template <typename Unit>
std::size_t KeptLength(const CLocale& l, const Unit* s, uint32_t mask) {
  std::size_t n = UnitLength(s);
  while (n > 0 && In(l, s[n - 1], mask)) --n;
  return n;
}

template <typename Unit>
Unit* TrimEnd(hlocale h, uint8_t family, Unit* s, uint32_t mask) {
  const CLocale* l = LocaleOf(h, family);
  if (l == nullptr || s == nullptr) return s;
  s[KeptLength(*l, s, mask)] = 0;
  return s;
}

template <typename Unit>
Unit* TrimEndStr(hlocale h, uint8_t family, Unit* out, const Unit* s, uint32_t mask) {
  const CLocale* l = LocaleOf(h, family);
  if (out == nullptr) return out;
  if (l == nullptr || s == nullptr) {
    out[0] = 0;
    return out;
  }
  std::size_t n = KeptLength(*l, s, mask);
  std::memmove(out, s, n * sizeof(Unit));
  out[n] = 0;
  return out;
}

template <typename Unit>
Unit* Scan(hlocale h, uint8_t family, const Unit* s, uint32_t mask, int wanted, std::size_t n) {
  const CLocale* l = LocaleOf(h, family);
  if (l == nullptr || s == nullptr) return const_cast<Unit*>(s);
  for (std::size_t i = 0; i < n && *s != 0; ++i, ++s)
    if (In(*l, *s, mask) != (wanted != 0)) break;
  return const_cast<Unit*>(s);
}

}  // namespace

#define CLASS_EXPORTS(P, FAMILY, CH)                                                                      \
  SL_EXPORT CH* P##StrTrimClassStart(hlocale h, CH* s, uint32_t mask) { return TrimStart(h, FAMILY, s, mask); } \
  SL_EXPORT CH* P##StrTrimClassStartStr(hlocale h, CH* out, const CH* s, uint32_t mask) {                \
    return TrimStartStr(h, FAMILY, out, s, mask);                                                        \
  }                                                                                                       \
  SL_EXPORT CH* P##StrTrimClassEnd(hlocale h, CH* s, uint32_t mask) { return TrimEnd(h, FAMILY, s, mask); } \
  SL_EXPORT CH* P##StrTrimClassEndStr(hlocale h, CH* out, const CH* s, uint32_t mask) {                  \
    return TrimEndStr(h, FAMILY, out, s, mask);                                                          \
  }                                                                                                       \
  SL_EXPORT CH* P##StrScanForClass(hlocale h, const CH* s, uint32_t mask, int wanted) {                  \
    return Scan(h, FAMILY, s, mask, wanted, SIZE_MAX);                                                   \
  }                                                                                                       \
  SL_EXPORT CH* P##StrnScanForClass(hlocale h, const CH* s, uint32_t mask, int wanted, uint16_t n) {     \
    return Scan(h, FAMILY, s, mask, wanted, n);                                                          \
  }

CLASS_EXPORTS(SLN_, SL_FAMILY_NARROW, char)
CLASS_EXPORTS(SLW_, SL_FAMILY_WIDE, SL_WCHAR)
