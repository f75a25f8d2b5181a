// String primitives and character-class tests of the three families.
// Narrow counts are bytes, wide counts 16-bit units, multi-byte counts
// characters (stepped with the locale's lead bytes).
#include <cstring>

#include "char_access.h"
#include "ctype_class.h"
#include "locale_object.h"

using namespace slw;

namespace {

int Sign(int d) { return d < 0 ? -1 : d > 0 ? 1 : 0; }

// The multi-byte character at p and its byte length (0 at the terminator).
uint16_t MultiChar(const CLocale& l, const char* p, std::size_t& length) {
  if (*p == '\0') {
    length = 0;
    return 0;
  }
  length = static_cast<std::size_t>(NextCharOf(l, p) - p);
  return length == 2 ? CharCodeAt(l, p) : static_cast<uint8_t>(*p);
}

int IsClassOf(hlocale h, uint8_t family, uint16_t c, uint32_t mask) {
  CLocale* l = FindLocale(h);
  if (l == nullptr || l->family() != family) return 0;
  if (family == SL_FAMILY_NARROW) c &= 0xFF;
  return InClass(*l, c, mask) ? 1 : 0;
}

uint32_t ClassOf(hlocale h, uint8_t family, uint16_t c) {
  CLocale* l = FindLocale(h);
  if (l == nullptr || l->family() != family) return 0;
  if (family == SL_FAMILY_NARROW) c &= 0xFF;
  return ClassWord(*l, c);
}

template <typename Unit>
std::size_t Length(const Unit* s) {
  std::size_t n = 0;
  while (s[n] != 0) ++n;
  return n;
}

}  // namespace

// ---- classes ----

SL_EXPORT int SLN_IsClass(hlocale h, uint16_t c, uint32_t mask) { return IsClassOf(h, SL_FAMILY_NARROW, c, mask); }
SL_EXPORT int SLW_IsClass(hlocale h, uint16_t c, uint32_t mask) { return IsClassOf(h, SL_FAMILY_WIDE, c, mask); }
SL_EXPORT int SLM_IsClass(hlocale h, uint16_t c, uint32_t mask) { return IsClassOf(h, SL_FAMILY_MULTI, c, mask); }

SL_EXPORT uint32_t SLN_GetCharClass(hlocale h, uint16_t c) { return ClassOf(h, SL_FAMILY_NARROW, c); }
SL_EXPORT uint32_t SLW_GetCharClass(hlocale h, uint16_t c) { return ClassOf(h, SL_FAMILY_WIDE, c); }
SL_EXPORT uint32_t SLM_GetCharClass(hlocale h, uint16_t c) { return ClassOf(h, SL_FAMILY_MULTI, c); }

SL_EXPORT int SLN_IsStrClass(hlocale h, const char* s, uint32_t mask) {
  CLocale* l = FindLocale(h);
  if (l == nullptr || s == nullptr) return 0;
  for (; *s != '\0'; ++s)
    if (!InClass(*l, static_cast<uint8_t>(*s), mask)) return 0;
  return 1;
}

SL_EXPORT int SLW_IsStrClass(hlocale h, const SL_WCHAR* s, uint32_t mask) {
  CLocale* l = FindLocale(h);
  if (l == nullptr || s == nullptr) return 0;
  for (; *s != 0; ++s)
    if (!InClass(*l, *s, mask)) return 0;
  return 1;
}

SL_EXPORT int SLM_IsStrClass(hlocale h, const char* s, uint32_t mask) {
  CLocale* l = FindLocale(h);
  if (l == nullptr || s == nullptr) return 0;
  std::size_t length = 0;
  for (uint16_t c = MultiChar(*l, s, length); length != 0; s += length, c = MultiChar(*l, s, length))
    if (!InClass(*l, c, mask)) return 0;
  return 1;
}

// ---- fill ----

SL_EXPORT LocaleStatus SLN_MemSet(void* destination, uint8_t value, uint16_t count) {
  if (destination != nullptr) std::memset(destination, value, count);
  return kOk;
}

SL_EXPORT LocaleStatus SLW_MemSet(void* destination, SL_WCHAR value, uint16_t count) {
  auto* d = static_cast<uint8_t*>(destination);
  for (uint16_t i = 0; d != nullptr && i < count; ++i) std::memcpy(d + 2 * i, &value, 2);
  return kOk;
}

SL_EXPORT LocaleStatus SLM_MemSet(void* destination, uint16_t value, uint16_t count) {
  auto* d = static_cast<uint8_t*>(destination);
  for (uint16_t i = 0; d != nullptr && i < count; ++i) {
    if (value > 0xFF) *d++ = static_cast<uint8_t>(value >> 8);
    *d++ = static_cast<uint8_t>(value);
  }
  return kOk;
}

// ---- length, copy, concatenate ----

SL_EXPORT uint16_t SLN_StrLen(const char* s) { return s == nullptr ? 0 : static_cast<uint16_t>(Length(s)); }
SL_EXPORT uint16_t SLW_StrLen(const SL_WCHAR* s) { return s == nullptr ? 0 : static_cast<uint16_t>(Length(s)); }

SL_EXPORT uint16_t SLM_StrLen(hlocale h, const char* s) {
  CLocale* l = FindLocale(h);
  if (l == nullptr || s == nullptr) return 0;
  uint16_t n = 0;
  for (std::size_t length = 0; MultiChar(*l, s, length), length != 0; s += length) ++n;
  return n;
}

SL_EXPORT char* SLN_StrCpy(char* d, const char* s) {
  if (d != nullptr && s != nullptr) std::memmove(d, s, Length(s) + 1);
  return d;
}
SL_EXPORT SL_WCHAR* SLW_StrCpy(SL_WCHAR* d, const SL_WCHAR* s) {
  if (d != nullptr && s != nullptr) std::memmove(d, s, 2 * (Length(s) + 1));
  return d;
}
SL_EXPORT char* SLM_StrCpy(char* d, const char* s) { return SLN_StrCpy(d, s); }

SL_EXPORT char* SLN_StrnCpy(char* d, const char* s, uint16_t count) {
  if (d == nullptr || s == nullptr) return d;
  uint16_t i = 0;
  for (; i < count && s[i] != '\0'; ++i) d[i] = s[i];
  for (; i < count; ++i) d[i] = '\0';
  return d;
}
SL_EXPORT SL_WCHAR* SLW_StrnCpy(SL_WCHAR* d, const SL_WCHAR* s, uint16_t count) {
  if (d == nullptr || s == nullptr) return d;
  uint16_t i = 0;
  for (; i < count && s[i] != 0; ++i) d[i] = s[i];
  for (; i < count; ++i) d[i] = 0;
  return d;
}

SL_EXPORT uint16_t SLM_StrnCpy(hlocale h, char* d, const char* s, uint16_t count) {
  CLocale* l = FindLocale(h);
  if (l == nullptr || d == nullptr || s == nullptr) return 0;
  uint16_t n = 0;
  std::size_t length = 0;
  while (n < count && (MultiChar(*l, s, length), length != 0)) {
    std::memcpy(d, s, length);
    d += length;
    s += length;
    ++n;
  }
  *d = '\0';
  return n;
}

SL_EXPORT char* SLN_StrCat(char* d, const char* s) {
  if (d != nullptr && s != nullptr) SLN_StrCpy(d + Length(d), s);
  return d;
}
SL_EXPORT SL_WCHAR* SLW_StrCat(SL_WCHAR* d, const SL_WCHAR* s) {
  if (d != nullptr && s != nullptr) SLW_StrCpy(d + Length(d), s);
  return d;
}
SL_EXPORT char* SLM_StrCat(char* d, const char* s) { return SLN_StrCat(d, s); }

SL_EXPORT char* SLN_StrnCat(char* d, const char* s, uint16_t count) {
  if (d == nullptr || s == nullptr) return d;
  char* end = d + Length(d);
  uint16_t i = 0;
  for (; i < count && s[i] != '\0'; ++i) end[i] = s[i];
  end[i] = '\0';
  return d;
}
SL_EXPORT SL_WCHAR* SLW_StrnCat(SL_WCHAR* d, const SL_WCHAR* s, uint16_t count) {
  if (d == nullptr || s == nullptr) return d;
  SL_WCHAR* end = d + Length(d);
  uint16_t i = 0;
  for (; i < count && s[i] != 0; ++i) end[i] = s[i];
  end[i] = 0;
  return d;
}
SL_EXPORT char* SLM_StrnCat(hlocale h, char* d, const char* s, uint16_t count) {
  if (d == nullptr) return d;
  SLM_StrnCpy(h, d + Length(d), s, count);
  return d;
}

// ---- search ----

SL_EXPORT char* SLN_StrChr(const char* s, char c) {
  if (s == nullptr) return nullptr;
  for (;; ++s) {
    if (*s == c) return const_cast<char*>(s);
    if (*s == '\0') return nullptr;
  }
}
SL_EXPORT SL_WCHAR* SLW_StrChr(const SL_WCHAR* s, SL_WCHAR c) {
  if (s == nullptr) return nullptr;
  for (;; ++s) {
    if (*s == c) return const_cast<SL_WCHAR*>(s);
    if (*s == 0) return nullptr;
  }
}
SL_EXPORT char* SLM_StrChr(hlocale h, const char* s, uint16_t code) {
  CLocale* l = FindLocale(h);
  if (l == nullptr || s == nullptr || code == 0) return nullptr;
  std::size_t length = 0;
  for (uint16_t c = MultiChar(*l, s, length); length != 0; s += length, c = MultiChar(*l, s, length))
    if (c == code) return const_cast<char*>(s);
  return nullptr;
}

// ---- match ----

SL_EXPORT int16_t SLN_StrMatch(hlocale, const char* a, const char* b) {
  if (a == nullptr || b == nullptr) return 0;
  for (std::size_t i = 0;; ++i) {
    int d = static_cast<uint8_t>(a[i]) - static_cast<uint8_t>(b[i]);
    if (d != 0) return static_cast<int16_t>(d);
    if (b[i] == '\0') return 0;
  }
}
SL_EXPORT int16_t SLM_StrMatch(hlocale h, const char* a, const char* b) { return SLN_StrMatch(h, a, b); }

SL_EXPORT int16_t SLW_StrMatch(hlocale, const SL_WCHAR* a, const SL_WCHAR* b) {
  if (a == nullptr || b == nullptr) return 0;
  for (std::size_t i = 0;; ++i) {
    if (a[i] != b[i]) return static_cast<int16_t>(Sign(int{a[i]} - int{b[i]}));
    if (b[i] == 0) return 0;
  }
}

SL_EXPORT int16_t SLN_StrnMatch(hlocale, const char* a, const char* b, uint16_t n) {
  if (a == nullptr || b == nullptr) return 0;
  for (uint16_t i = 0; i < n; ++i) {
    int d = static_cast<uint8_t>(a[i]) - static_cast<uint8_t>(b[i]);
    if (d != 0) return static_cast<int16_t>(d);
    if (a[i] == '\0') return 0;
  }
  return 0;
}

SL_EXPORT int16_t SLW_StrnMatch(hlocale, const SL_WCHAR* a, const SL_WCHAR* b, uint16_t n) {
  if (a == nullptr || b == nullptr) return 0;
  for (uint16_t i = 0; i < n; ++i) {
    if (a[i] != b[i]) return static_cast<int16_t>(Sign(int{a[i]} - int{b[i]}));
    if (a[i] == 0) return 0;
  }
  return 0;
}

SL_EXPORT int16_t SLM_StrnMatch(hlocale h, const char* a, const char* b, uint16_t n) {
  CLocale* l = FindLocale(h);
  if (l == nullptr || a == nullptr || b == nullptr) return 0;
  std::size_t la = 0, lb = 0;
  for (uint16_t i = 0; i < n; ++i, a += la, b += lb) {
    uint16_t ca = MultiChar(*l, a, la);
    uint16_t cb = MultiChar(*l, b, lb);
    if (ca != cb) return static_cast<int16_t>(Sign(int{ca} - int{cb}));
    if (la == 0) return 0;
  }
  return 0;
}

// ---- buffers ----

SL_EXPORT uint16_t SLN_BufferLen(const void* buffer, uint16_t byteCount) {
  if (buffer == nullptr) return 0;
  const void* nul = std::memchr(buffer, 0, byteCount);
  return nul == nullptr ? byteCount : static_cast<uint16_t>(static_cast<const char*>(nul) - static_cast<const char*>(buffer));
}

SL_EXPORT uint16_t SLW_BufferLen(const void* buffer, uint16_t byteCount) {
  if (buffer == nullptr) return 0;
  const auto* b = static_cast<const uint8_t*>(buffer);
  uint16_t units = byteCount / 2;
  for (uint16_t i = 0; i < units; ++i)
    if (b[2 * i] == 0 && b[2 * i + 1] == 0) return i;
  return units;
}

// Characters that start within the count; a lead byte at the last position
// counts without its trail byte being read.
SL_EXPORT uint16_t SLM_BufferLen(hlocale h, const void* buffer, uint16_t byteCount) {
  CLocale* l = FindLocale(h);
  if (l == nullptr || buffer == nullptr) return 0;
  const auto* b = static_cast<const uint8_t*>(buffer);
  uint16_t n = 0;
  for (std::size_t i = 0; i < byteCount && b[i] != 0; ++n)
    i += IsLeadByte(*l, b[i]) && i + 1 < byteCount && b[i + 1] != 0 ? 2 : 1;
  return n;
}
