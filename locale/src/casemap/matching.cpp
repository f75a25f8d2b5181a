// Case-insensitive matching: StrMatchi, StrnMatchi, StrMatchEx, the quick
// compares, StrChri and StrStri. Strings are compared whole, however long.
#include <new>
#include <type_traits>

#include "casemap.h"

using namespace slw;
using namespace slw::casemap;

namespace {

// The exact comparison of the family on two decoded strings: narrow gives the
// byte difference, wide and multi-byte the sign.
int16_t Exact(uint8_t family, const Codes& a, const Codes& b) {
  for (std::size_t i = 0;; ++i) {
    int ca = i < a.size() ? a[i] : 0;
    int cb = i < b.size() ? b[i] : 0;
    if (ca != cb) {
      if (family == SL_FAMILY_NARROW) return static_cast<int16_t>((ca & 0xFF) - (cb & 0xFF));
      return static_cast<int16_t>(ca < cb ? -1 : 1);
    }
    if (cb == 0) return 0;
  }
}

// Both strings through a translation (index out of range: untranslated),
// then compared exactly. Without memory the strings count as different.
int16_t MatchThrough(hlocale h, uint8_t family, const void* a, const void* b, int index, std::size_t n,
                     bool useUpper) {
  const CLocale* l = LocaleOf(h, family);
  if (l == nullptr || a == nullptr || b == nullptr) return 0;
  try {
    Family f{family, l};
    Decoded da = f.Decode(a, n), db = f.Decode(b, n);
    const CtypeCategory* ct = CtypeOf(*l);
    if (ct != nullptr && useUpper) index = ct->upperIndex();
    if (ct == nullptr || index < 0 || static_cast<std::size_t>(index) >= TranslationCount(*ct))
      return Exact(family, da.codes, db.codes);
    Codes ta, tb;
    TranslateCodes(f, *ct, index, da.codes, SIZE_MAX, SIZE_MAX, false, ta);
    TranslateCodes(f, *ct, index, db.codes, SIZE_MAX, SIZE_MAX, false, tb);
    return Exact(family, ta, tb);
  } catch (const std::bad_alloc&) {
    return 1;
  }
}

// Difference of two mapped characters held within 16 bits by its sign.
int16_t Clamped(int d) { return static_cast<int16_t>(d > 32767 ? 32767 : d < -32767 ? -32767 : d); }

int16_t QuickMatch(hlocale h, uint8_t family, const void* a, const void* b, std::size_t n) {
  const CLocale* l = LocaleOf(h, family);
  if (l == nullptr || a == nullptr || b == nullptr || n == 0) return 0;
  try {
    Family f{family, l};
    Decoded da = f.Decode(a, n), db = f.Decode(b, n);
    const CtypeCategory* ct = CtypeOf(*l);
    for (std::size_t i = 0;; ++i) {
      const bool endA = i >= da.codes.size(), endB = i >= db.codes.size();
      if (endA || endB) {
        if (i >= n) return 0;
        return Clamped(int{endA ? 0 : da.codes[i]} - int{endB ? 0 : db.codes[i]});
      }
      uint16_t ca = da.codes[i], cb = db.codes[i];
      if (ct != nullptr) {
        ca = UpperOne(*ct, family, ca);
        cb = UpperOne(*ct, family, cb);
      }
      if (ca != cb) return Clamped(int{ca} - int{cb});
    }
  } catch (const std::bad_alloc&) {
    return 1;
  }
}

// Upper case of a short run of codes (a character, or one expanded).
Codes UpperRun(const Family& f, const CtypeCategory* ct, const Codes& codes) {
  if (ct == nullptr || ct->upperIndex() < 0) return codes;
  Codes out;
  TranslateCodes(f, *ct, ct->upperIndex(), codes, SIZE_MAX, 8, false, out);
  return out;
}

const void* FindChar(hlocale h, uint8_t family, const void* s, uint16_t c) {
  const CLocale* l = LocaleOf(h, family);
  if (l == nullptr || s == nullptr) return nullptr;
  try {
    Family f{family, l};
    const CtypeCategory* ct = CtypeOf(*l);
    if (family == SL_FAMILY_NARROW) c &= 0xFF;
    const Codes wanted = UpperRun(f, ct, Codes(1, c));
    Decoded d = f.Decode(s);
    for (std::size_t i = 0; i < d.codes.size(); ++i) {
      if (UpperRun(f, ct, Codes(1, d.codes[i])) == wanted)
        return static_cast<const char*>(s) + d.offsets[i] * f.UnitBytes();
    }
  } catch (const std::bad_alloc&) {
  }
  return nullptr;
}

// Searched in copies mapped one character to one, so a position in the copy
// is a position in the caller's string.
const void* FindSub(hlocale h, uint8_t family, const void* s, const void* sub) {
  const CLocale* l = LocaleOf(h, family);
  if (l == nullptr || s == nullptr || sub == nullptr) return nullptr;
  try {
    Family f{family, l};
    const CtypeCategory* ct = CtypeOf(*l);
    Decoded ds = f.Decode(s), dsub = f.Decode(sub);
    if (dsub.codes.empty()) return s;
    if (ct != nullptr) {
      for (char16_t& c : ds.codes) c = UpperOne(*ct, family, c);
      for (char16_t& c : dsub.codes) c = UpperOne(*ct, family, c);
    }
    std::size_t at = ds.codes.find(dsub.codes);
    if (at == Codes::npos) return nullptr;
    return static_cast<const char*>(s) + ds.offsets[at] * f.UnitBytes();
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

}  // namespace

#define MATCHING_EXPORTS(P, FAMILY, CH, CHARARG)                                                          \
  SL_EXPORT int16_t P##StrMatchi(hlocale h, const CH* a, const CH* b) {                                  \
    return MatchThrough(h, FAMILY, a, b, -1, SIZE_MAX, true);                                            \
  }                                                                                                       \
  SL_EXPORT int16_t P##StrnMatchi(hlocale h, const CH* a, const CH* b, uint16_t n) {                     \
    return MatchThrough(h, FAMILY, a, b, -1, n, true);                                                   \
  }                                                                                                       \
  SL_EXPORT int16_t P##StrMatchEx(hlocale h, const CH* a, const CH* b, uint16_t translation) {           \
    return MatchThrough(h, FAMILY, a, b, translation, SIZE_MAX, false);                                  \
  }                                                                                                       \
  SL_EXPORT int16_t P##QStrMatchi(hlocale h, const CH* a, const CH* b) { return QuickMatch(h, FAMILY, a, b, SIZE_MAX); } \
  SL_EXPORT int16_t P##QStrnMatchi(hlocale h, const CH* a, const CH* b, uint16_t n) {                    \
    return QuickMatch(h, FAMILY, a, b, n);                                                               \
  }                                                                                                       \
  SL_EXPORT CH* P##StrChri(hlocale h, const CH* s, CHARARG c) {                                          \
    return const_cast<CH*>(static_cast<const CH*>(                                                       \
        FindChar(h, FAMILY, s, static_cast<uint16_t>(static_cast<std::make_unsigned_t<CHARARG>>(c)))));  \
  }                                                                                                       \
  SL_EXPORT CH* P##StrStri(hlocale h, const CH* s, const CH* sub) {                                      \
    return const_cast<CH*>(static_cast<const CH*>(FindSub(h, FAMILY, s, sub)));                          \
  }

MATCHING_EXPORTS(SLN_, SL_FAMILY_NARROW, char, char)
MATCHING_EXPORTS(SLW_, SL_FAMILY_WIDE, SL_WCHAR, SL_WCHAR)
MATCHING_EXPORTS(SLM_, SL_FAMILY_MULTI, char, uint16_t)
