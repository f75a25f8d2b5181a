#include "ctype_class.h"

#include <cstring>

#include "categories.h"
#include "locale_object.h"

namespace slw {

uint32_t ClassWord(const CLocale& locale, uint16_t code) {
  const CtypeCategory* ctype = CtypeOf(locale);
  return ctype == nullptr ? 0 : ctype->ClassOf(code);
}

bool InClass(const CLocale& locale, uint16_t code, uint32_t mask) {
  return (ClassWord(locale, code) & 0x7FFFFFFFu & mask) != 0;
}

bool IsLeadByte(const CLocale& locale, uint8_t byte) {
  if (locale.family() != SL_FAMILY_MULTI || locale.leadBytes.size() < 32) return false;
  return (locale.leadBytes[byte / 8] & (1u << (byte % 8))) != 0;
}

uint16_t CharAt(const CLocale& locale, const char* p, int* length) {
  uint8_t first = static_cast<uint8_t>(p[0]);
  if (first != 0 && IsLeadByte(locale, first) && p[1] != '\0') {
    *length = 2;
    return static_cast<uint16_t>(first << 8 | static_cast<uint8_t>(p[1]));
  }
  *length = first == 0 ? 0 : 1;
  return first;
}

}  // namespace slw
