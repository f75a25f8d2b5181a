#include "ctype_class.h"

#include <cstring>

#include "locale_object.h"

namespace slw {

namespace {

// Built-in class table of the "POSIX" LC_CTYPE.
uint32_t PosixClass(uint16_t c) {
  if (c >= 8 && c <= 13) return 33;
  if (c == ' ') return 129;
  if (c < 32 || c == 127) return 32;
  if (c >= '0' && c <= '9') return 18;
  if (c >= 'A' && c <= 'F') return 24;
  if (c >= 'G' && c <= 'Z') return 8;
  if (c >= 'a' && c <= 'f') return 20;
  if (c >= 'g' && c <= 'z') return 4;
  if (c < 127) return 64;
  return 0;
}

}  // namespace

uint32_t ClassWord(const CLocale& locale, uint16_t code) {
  const Category* ctype = locale.categories[1];
  if (ctype == nullptr) return 0;
  const std::vector<uint8_t>& body = ctype->body();
  if (body.empty()) return PosixClass(code);
  constexpr std::size_t kTable = 512;
  if (locale.family() == SL_FAMILY_NARROW) {
    if (code > 255 || body.size() < kTable + 1024) return 0;
    return ReadU32(body.data() + kTable + 4 * code);
  }
  // Wide layout: a plane descriptor (u16 page count, 256-bit page map) and
  // the present 1024-byte pages in page order.
  if (body.size() < kTable + 34) return 0;
  const uint8_t* map = body.data() + kTable + 2;
  unsigned page = code >> 8;
  if ((map[page / 8] & (1u << (page % 8))) == 0) return 0;
  std::size_t index = 0;
  for (unsigned p = 0; p < page; ++p)
    if (map[p / 8] & (1u << (p % 8))) ++index;
  std::size_t at = kTable + 34 + index * 1024 + 4 * (code & 0xFF);
  if (at + 4 > body.size()) return 0;
  return ReadU32(body.data() + at);
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
