// The family string utilities that need no collation data: ASCII tests, last
// character, fills, character-set scans, sub-string search, the token
// scanner, and the identity sort keys.
#include <algorithm>
#include <cstring>
#include <type_traits>
#include <new>
#include <string>

#include "casemap.h"
#include "char_access.h"
#include "client.h"
#include "lock.h"
#include "platform/nls.h"

using namespace slw;
using namespace slw::casemap;

namespace {

template <typename Unit>
using U = std::make_unsigned_t<Unit>;

template <typename Unit>
int IsStrAscii(const Unit* s) {
  if (s == nullptr) return 1;
  for (; *s != 0; ++s)
    if ((static_cast<U<Unit>>(*s) & 0x80) != 0) return 0;
  return 1;
}

// The terminator counts as a character.
template <typename Unit>
Unit* ChrLast(const Unit* s, Unit c) {
  if (s == nullptr) return nullptr;
  const Unit* found = nullptr;
  for (const Unit* p = s;; ++p) {
    if (*p == c) found = p;
    if (*p == 0) break;
  }
  return const_cast<Unit*>(found);
}

template <typename Unit>
Unit* Set(Unit* s, Unit c, std::size_t n) {
  if (s == nullptr) return s;
  for (std::size_t i = 0; i < n && s[i] != 0; ++i) s[i] = c;
  return s;
}

template <typename Unit>
Unit* ScanForChars(const Unit* s, const Unit* set) {
  if (s == nullptr || set == nullptr) return nullptr;
  for (; *s != 0; ++s)
    for (const Unit* q = set; *q != 0; ++q)
      if (*q == *s) return const_cast<Unit*>(s);
  return nullptr;
}

template <typename Unit>
Unit* Str(const Unit* s, const Unit* sub) {
  if (s == nullptr || sub == nullptr) return nullptr;
  if (*sub == 0) return const_cast<Unit*>(s);
  const std::size_t n = UnitLength(sub);
  for (; *s != 0; ++s)
    if (*s == *sub && std::memcmp(s, sub, n * sizeof(Unit)) == 0) return const_cast<Unit*>(s);
  return nullptr;
}

bool InSet(const char* set, char c) {
  for (; *set != '\0'; ++set)
    if (*set == c) return true;
  return false;
}
bool InSet(const SL_WCHAR* set, SL_WCHAR c) {
  for (; *set != 0; ++set)
    if (*set == c) return true;
  return false;
}

// The next token; the position after it is kept per thread and family.
template <typename Unit>
Unit* Tokens(const Unit* s, const Unit* delimiters, int slot) {
  if (delimiters == nullptr) return nullptr;
  LockHold hold;
  Thread* t = CallingThread();
  if (t == nullptr) return nullptr;
  Unit* p = const_cast<Unit*>(s != nullptr ? s : static_cast<const Unit*>(t->tokenPosition[slot]));
  if (p == nullptr) return nullptr;
  while (*p != 0 && InSet(delimiters, *p)) ++p;
  if (*p == 0) {
    t->tokenPosition[slot] = p;
    return nullptr;
  }
  Unit* token = p;
  while (*p != 0 && !InSet(delimiters, *p)) ++p;
  if (*p != 0) *p++ = 0;
  t->tokenPosition[slot] = p;
  return token;
}

template <typename Unit>
uint16_t SysTransform(Unit* out, const Unit* s, std::size_t limit, uint16_t outSize) {
  if (out == nullptr || s == nullptr) return 0;
  const std::size_t n = std::min({limit, UnitLength(s) + 1, std::size_t{outSize}});
  std::memmove(out, s, n * sizeof(Unit));
  return static_cast<uint16_t>(n);
}

}  // namespace

SL_EXPORT int SLN_IsAscii(char c) { return (static_cast<uint8_t>(c) & 0x80) == 0; }
SL_EXPORT int SLW_IsAscii(SL_WCHAR c) { return c < 128; }
SL_EXPORT int SLM_IsAscii(uint16_t c) { return c < 128; }
SL_EXPORT int SLN_IsStrAscii(const char* s) { return IsStrAscii(s); }
SL_EXPORT int SLW_IsStrAscii(const SL_WCHAR* s) { return IsStrAscii(s); }
SL_EXPORT int SLM_IsStrAscii(const char* s) { return IsStrAscii(s); }

SL_EXPORT char* SLN_StrChrLast(const char* s, char c) { return ChrLast(s, c); }
SL_EXPORT SL_WCHAR* SLW_StrChrLast(const SL_WCHAR* s, SL_WCHAR c) { return ChrLast(s, c); }
SL_EXPORT char* SLN_StrSet(char* s, char c) { return Set(s, c, SIZE_MAX); }
SL_EXPORT SL_WCHAR* SLW_StrSet(SL_WCHAR* s, SL_WCHAR c) { return Set(s, c, SIZE_MAX); }
SL_EXPORT char* SLN_StrnSet(char* s, char c, uint16_t n) { return Set(s, c, n); }
SL_EXPORT SL_WCHAR* SLW_StrnSet(SL_WCHAR* s, SL_WCHAR c, uint16_t n) { return Set(s, c, n); }
SL_EXPORT char* SLN_StrScanForChars(const char* s, const char* set) { return ScanForChars(s, set); }
SL_EXPORT SL_WCHAR* SLW_StrScanForChars(const SL_WCHAR* s, const SL_WCHAR* set) { return ScanForChars(s, set); }
SL_EXPORT char* SLN_StrStr(const char* s, const char* sub) { return Str(s, sub); }
SL_EXPORT SL_WCHAR* SLW_StrStr(const SL_WCHAR* s, const SL_WCHAR* sub) { return Str(s, sub); }
SL_EXPORT char* SLN_StrScanForTokens(const char* s, const char* delimiters) { return Tokens(s, delimiters, 0); }
SL_EXPORT SL_WCHAR* SLW_StrScanForTokens(const SL_WCHAR* s, const SL_WCHAR* delimiters) {
  return Tokens(s, delimiters, 1);
}

// The multi-byte utilities step through whole characters.
namespace {
const CLocale* Multi(hlocale h) { return LocaleOf(h, SL_FAMILY_MULTI); }
}  // namespace

SL_EXPORT char* SLM_StrChrLast(hlocale h, const char* s, uint16_t c) {
  const CLocale* l = Multi(h);
  if (l == nullptr || s == nullptr) return nullptr;
  Family f{SL_FAMILY_MULTI, l};
  try {
    Decoded d = f.Decode(s);
    if (c == 0) return const_cast<char*>(s) + d.offsets.back();
    for (std::size_t i = d.codes.size(); i-- > 0;)
      if (d.codes[i] == c) return const_cast<char*>(s) + d.offsets[i];
  } catch (const std::bad_alloc&) {
  }
  return nullptr;
}

// A double-byte character fills pairs of bytes; a single byte left at an odd
// length becomes the terminator.
SL_EXPORT char* SLM_StrnSet(hlocale h, char* s, uint16_t c, uint16_t n) {
  const CLocale* l = Multi(h);
  if (l == nullptr || s == nullptr) return s;
  Family f{SL_FAMILY_MULTI, l};
  try {
    Decoded d = f.Decode(s, n);
    const std::size_t bytes = d.offsets.back();
    const std::size_t width = f.UnitsOf(c);
    std::size_t at = 0;
    for (; at + width <= bytes; at += width) f.Encode(Codes(1, c), s + at);
    if (at < bytes) s[at] = '\0';
  } catch (const std::bad_alloc&) {
  }
  return s;
}
SL_EXPORT char* SLM_StrSet(hlocale h, char* s, uint16_t c) { return SLM_StrnSet(h, s, c, 0xFFFF); }

SL_EXPORT char* SLM_StrScanForChars(hlocale h, const char* s, const char* set) {
  const CLocale* l = Multi(h);
  if (l == nullptr || s == nullptr || set == nullptr) return nullptr;
  Family f{SL_FAMILY_MULTI, l};
  try {
    Decoded d = f.Decode(s), ds = f.Decode(set);
    for (std::size_t i = 0; i < d.codes.size(); ++i)
      if (ds.codes.find(d.codes[i]) != Codes::npos) return const_cast<char*>(s) + d.offsets[i];
  } catch (const std::bad_alloc&) {
  }
  return nullptr;
}

SL_EXPORT char* SLM_StrStr(hlocale h, const char* s, const char* sub) {
  const CLocale* l = Multi(h);
  if (l == nullptr || s == nullptr || sub == nullptr) return nullptr;
  if (*sub == '\0') return const_cast<char*>(s);
  Family f{SL_FAMILY_MULTI, l};
  try {
    // Matched on whole characters, so a trail byte never starts a match.
    Decoded d = f.Decode(s), ds = f.Decode(sub);
    std::size_t at = d.codes.find(ds.codes);
    if (at != Codes::npos) return const_cast<char*>(s) + d.offsets[at];
  } catch (const std::bad_alloc&) {
  }
  return nullptr;
}

// The position is kept per thread like the other families'; a delimiter is
// a whole character, so a trail byte equal to one is part of its character.
SL_EXPORT char* SLM_StrScanForTokens(hlocale h, const char* s, const char* delimiters) {
  const CLocale* l = Multi(h);
  if (l == nullptr || delimiters == nullptr) return nullptr;
  LockHold hold;
  Thread* t = CallingThread();
  if (t == nullptr) return nullptr;
  char* p = const_cast<char*>(s != nullptr ? s : static_cast<const char*>(t->tokenPosition[2]));
  if (p == nullptr) return nullptr;
  Family f{SL_FAMILY_MULTI, l};
  try {
    const Codes set = f.Decode(delimiters).codes;
    auto isDelimiter = [&](const char* at) {
      const uint16_t code = NextCharOf(*l, at) - at == 2 ? CharCodeAt(*l, at) : static_cast<uint8_t>(*at);
      return set.find(code) != Codes::npos;
    };
    while (*p != '\0' && isDelimiter(p)) p = const_cast<char*>(NextCharOf(*l, p));
    if (*p == '\0') {
      t->tokenPosition[2] = p;
      return nullptr;
    }
    char* token = p;
    while (*p != '\0' && !isDelimiter(p)) p = const_cast<char*>(NextCharOf(*l, p));
    if (*p != '\0') {
      char* after = const_cast<char*>(NextCharOf(*l, p));
      PutCharAt(*l, p, 0);
      p = after;
    }
    t->tokenPosition[2] = p;
    return token;
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

SL_EXPORT uint16_t _SLN_StrSysTransform(hlocale, char* out, const char* s, uint16_t outSize) {
  return SysTransform(out, s, SIZE_MAX, outSize);
}
SL_EXPORT uint16_t _SLN_StrnSysTransform(hlocale, char* out, const char* s, uint16_t n, uint16_t outSize) {
  return SysTransform(out, s, n, outSize);
}
SL_EXPORT uint16_t _SLW_StrSysTransform(hlocale, SL_WCHAR* out, const SL_WCHAR* s, uint16_t outSize) {
  return SysTransform(out, s, SIZE_MAX, outSize);
}
SL_EXPORT uint16_t _SLW_StrnSysTransform(hlocale, SL_WCHAR* out, const SL_WCHAR* s, uint16_t n, uint16_t outSize) {
  return SysTransform(out, s, n, outSize);
}
SL_EXPORT uint16_t _SLM_StrSysTransform(hlocale, char* out, const char* s, uint16_t outSize) {
  return SysTransform(out, s, SIZE_MAX, outSize);
}
SL_EXPORT uint16_t _SLM_StrnSysTransform(hlocale, char* out, const char* s, uint16_t n, uint16_t outSize) {
  return SysTransform(out, s, n, outSize);
}
SL_EXPORT uint16_t _SLN_PlatformStrTransform(hlocale h, char* out, const char* s, uint16_t outSize) {
  return _SLN_StrSysTransform(h, out, s, outSize);
}
SL_EXPORT uint16_t _SLN_PlatformStrnTransform(hlocale h, char* out, const char* s, uint16_t n, uint16_t outSize) {
  if (s == nullptr) return 0;
  try {
    std::string first(s, std::min<std::size_t>(n, std::strlen(s)));
    return _SLN_StrSysTransform(h, out, first.c_str(), outSize);
  } catch (const std::bad_alloc&) {
    return 0x8000;
  }
}

// lstrcmpA through the platform's collator; equal strings compare equal.
SL_EXPORT int16_t _SLN_PlatformStrCollate(hlocale, const char* a, const char* b) {
  if (a == nullptr || b == nullptr) return 0;
  try {
    const int d = platform::nls::CompareStringAnsi(a, b);
    return static_cast<int16_t>(d < 0 ? -1 : d > 0 ? 1 : 0);
  } catch (const std::bad_alloc&) {
    return static_cast<int16_t>(0x8000);
  }
}
SL_EXPORT int16_t _SLN_PlatformStrnCollate(hlocale, const char* a, const char* b, uint16_t n) {
  if (a == nullptr || b == nullptr) return 0;
  try {
    const int d = platform::nls::CompareStringAnsi(std::string_view(a, strnlen(a, n)), std::string_view(b, strnlen(b, n)));
    return static_cast<int16_t>(d < 0 ? -1 : d > 0 ? 1 : 0);
  } catch (const std::bad_alloc&) {
    return static_cast<int16_t>(0x8000);
  }
}
