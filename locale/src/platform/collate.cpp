// Collation mode 3: compares and sort keys by the platform's services with
// the locale's LCID, compare flags and map flags.
#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>

#include "char_access.h"
#include "collation/operations.h"
#include "platform/nls.h"
#include "platform/platform_ops.h"

namespace slw {
namespace {

namespace nls = platform::nls;

// The narrow operations serve multi-byte locales too: their strings are bytes.
const TLocale* ByteLocale(hlocale h) {
  const TLocale* l = CollationLocale(h, SL_FAMILY_NARROW);
  return l != nullptr ? l : CollationLocale(h, SL_FAMILY_MULTI);
}

template <typename Unit>
std::basic_string_view<Unit> Text(const Unit* s, std::size_t limit) {
  if (s == nullptr) return {};
  std::size_t n = 0;
  while (n < limit && s[n] != 0) ++n;
  return {s, n};
}

int16_t Result(int platform) { return static_cast<int16_t>(platform - 2); }

int16_t NarrowCompare(hlocale h, const char* a, std::size_t na, const char* b, std::size_t nb) {
  const TLocale* l = ByteLocale(h);
  if (l == nullptr) return -2;
  return Result(nls::CompareStringA(l->lcid, l->cmpFlags, Text(a, na), Text(b, nb)));
}

int16_t WideCompare(hlocale h, const SL_WCHAR* a, std::size_t na, const SL_WCHAR* b, std::size_t nb) {
  const TLocale* l = CollationLocale(h, SL_FAMILY_WIDE);
  if (l == nullptr) return -2;
  return Result(nls::CompareStringW(l->lcid, l->cmpFlags, Text(a, na), Text(b, nb)));
}

// A sort key needs the sort-key flag; the locale's map flags add the compare
// options to it.
uint32_t KeyFlags(const TLocale& l) {
  return (l.mapFlags & (nls::kLcmapUppercase | nls::kLcmapLowercase)) != 0 ? l.mapFlags
                                                                            : l.mapFlags | nls::kLcmapSortKey;
}

// The mapping into the caller's buffer; 0 when it does not fit.
template <typename Unit, typename Result>
uint16_t Deliver(const Result& mapped, Unit* out, uint16_t size) {
  if (out == nullptr || mapped.size() > size) return 0;
  std::copy(mapped.begin(), mapped.end(), out);
  return static_cast<uint16_t>(mapped.size());
}

uint16_t NarrowKey(hlocale h, char* out, const char* s, std::size_t n, uint16_t size) {
  const TLocale* l = ByteLocale(h);
  std::string key;
  if (l == nullptr || !nls::LCMapStringA(l->lcid, KeyFlags(*l), Text(s, n), key)) return 0;
  return Deliver(key, out, size);
}

uint16_t WideKey(hlocale h, SL_WCHAR* out, const SL_WCHAR* s, std::size_t n, uint16_t size) {
  const TLocale* l = CollationLocale(h, SL_FAMILY_WIDE);
  std::u16string key;
  if (l == nullptr || !nls::LCMapStringW(l->lcid, KeyFlags(*l), Text(s, n), key)) return 0;
  return Deliver(key, out, size);
}

constexpr std::size_t kWhole = SIZE_MAX;

// The multi-byte key: the platform's byte key of the first n characters,
// each byte a 16-bit unit.
uint16_t MultiKey(hlocale h, SL_WCHAR* out, const char* s, std::size_t n, uint16_t size) {
  const TLocale* l = CollationLocale(h, SL_FAMILY_MULTI);
  if (l == nullptr || s == nullptr) return 0;
  const char* end = s;
  for (std::size_t chars = 0; chars < n && *end != '\0'; ++chars) end = NextCharOf(*l, end);
  std::string key;
  if (!nls::LCMapStringA(l->lcid, KeyFlags(*l), std::string_view(s, static_cast<std::size_t>(end - s)), key)) return 0;
  std::u16string units(key.begin(), key.end());
  for (char16_t& u : units) u = static_cast<uint8_t>(u);
  return Deliver(units, out, size);
}

}  // namespace

uint16_t PlatformNarrowTransform(hlocale h, char* out, const char* s, uint16_t size) {
  return NarrowKey(h, out, s, kWhole, size);
}
uint16_t PlatformNarrowBoundedTransform(hlocale h, char* out, const char* s, uint16_t n, uint16_t size) {
  return NarrowKey(h, out, s, n, size);
}
uint16_t PlatformMultiTransform(hlocale h, SL_WCHAR* out, const char* s, uint16_t size) {
  return MultiKey(h, out, s, kWhole, size);
}
uint16_t PlatformMultiBoundedTransform(hlocale h, SL_WCHAR* out, const char* s, uint16_t n, uint16_t size) {
  return MultiKey(h, out, s, n, size);
}
uint16_t PlatformWideTransform(hlocale h, SL_WCHAR* out, const SL_WCHAR* s, uint16_t size) {
  return WideKey(h, out, s, kWhole, size);
}
uint16_t PlatformWideBoundedTransform(hlocale h, SL_WCHAR* out, const SL_WCHAR* s, uint16_t n, uint16_t size) {
  return WideKey(h, out, s, n, size);
}

// Byte counts in every family; each buffer ends at its first NUL.
int16_t PlatformNarrowBufferCollate(hlocale h, const void* a, uint16_t na, const void* b, uint16_t nb) {
  return NarrowCompare(h, static_cast<const char*>(a), na, static_cast<const char*>(b), nb);
}
int16_t PlatformWideBufferCollate(hlocale h, const void* a, uint16_t na, const void* b, uint16_t nb) {
  return WideCompare(h, static_cast<const SL_WCHAR*>(a), na / 2u, static_cast<const SL_WCHAR*>(b), nb / 2u);
}

}  // namespace slw

using namespace slw;

SL_EXPORT int16_t _SLN_P_StrCollate(hlocale h, const char* a, const char* b) {
  return NarrowCompare(h, a, kWhole, b, kWhole);
}
SL_EXPORT int16_t _SLN_P_StrnCollate(hlocale h, const char* a, uint16_t na, const char* b, uint16_t nb) {
  return NarrowCompare(h, a, na, b, nb);
}
SL_EXPORT int16_t _SLW_P_StrCollate(hlocale h, const SL_WCHAR* a, const SL_WCHAR* b) {
  return WideCompare(h, a, kWhole, b, kWhole);
}
SL_EXPORT int16_t _SLW_P_StrnCollate(hlocale h, const SL_WCHAR* a, uint16_t na, const SL_WCHAR* b, uint16_t nb) {
  return WideCompare(h, a, na, b, nb);
}
