// Decoding and encoding the caller's strings of the three families.
#include <cstring>

#include "casemap.h"
#include "char_access.h"

namespace slw::casemap {

Decoded Family::Decode(const void* s, std::size_t maxChars) const {
  Decoded d;
  if (s == nullptr) {
    d.offsets.push_back(0);
    return d;
  }
  std::size_t at = 0;
  if (family == SL_FAMILY_WIDE) {
    const auto* w = static_cast<const SL_WCHAR*>(s);
    while (d.codes.size() < maxChars && w[at] != 0) {
      d.offsets.push_back(at);
      d.codes.push_back(w[at++]);
    }
  } else if (family == SL_FAMILY_MULTI && locale != nullptr) {
    const char* p = static_cast<const char*>(s);
    while (d.codes.size() < maxChars && p[at] != '\0') {
      std::size_t length = static_cast<std::size_t>(NextCharOf(*locale, p + at) - (p + at));
      if (length == 0) break;
      d.offsets.push_back(at);
      d.codes.push_back(length == 2 ? CharCodeAt(*locale, p + at) : static_cast<uint8_t>(p[at]));
      at += length;
    }
  } else {
    const auto* b = static_cast<const uint8_t*>(s);
    while (d.codes.size() < maxChars && b[at] != 0) {
      d.offsets.push_back(at);
      d.codes.push_back(b[at++]);
    }
  }
  d.offsets.push_back(at);
  return d;
}

std::size_t Family::UnitsOf(uint16_t code) const {
  if (family != SL_FAMILY_MULTI || code < 256 || locale == nullptr) return 1;
  return CharFirstByte(*locale, code) ? 2 : 1;
}

std::size_t Family::Encode(const Codes& codes, void* out) const {
  std::size_t at = 0;
  if (family == SL_FAMILY_WIDE) {
    auto* w = static_cast<SL_WCHAR*>(out);
    for (char16_t c : codes) w[at++] = c;
  } else if (family == SL_FAMILY_MULTI && locale != nullptr) {
    char* p = static_cast<char*>(out);
    for (char16_t c : codes) at = static_cast<std::size_t>(PutCharAt(*locale, p + at, c) - p);
  } else {
    auto* b = static_cast<uint8_t*>(out);
    for (char16_t c : codes) b[at++] = static_cast<uint8_t>(c);
  }
  return at;
}

void Family::Terminate(void* out, std::size_t unitOffset) const {
  if (family == SL_FAMILY_WIDE)
    static_cast<SL_WCHAR*>(out)[unitOffset] = 0;
  else
    static_cast<char*>(out)[unitOffset] = '\0';
}

const CLocale* LocaleOf(hlocale h, uint8_t family) {
  const CLocale* l = FindLocale(h);
  return l != nullptr && l->family() == family ? l : nullptr;
}

}  // namespace slw::casemap
