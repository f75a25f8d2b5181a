// Character access of the three families: how a string is stepped through
// and how a character is read and written. Narrow characters are one byte,
// wide ones one 16-bit unit (read as its two bytes, the first as the high
// byte), multi-byte ones a lead byte and its trail byte or a single byte.
#include "char_access.h"

#include "ctype_class.h"
#include "locale_object.h"

namespace slw {

bool FirstByteAt(const CLocale& l, const char* p) {
  switch (l.family()) {
    case SL_FAMILY_WIDE: return true;
    case SL_FAMILY_MULTI: return IsLeadByte(l, static_cast<uint8_t>(*p));
    default: return false;
  }
}

bool CharFirstByte(const CLocale& l, uint16_t code) {
  switch (l.family()) {
    case SL_FAMILY_WIDE: return true;
    case SL_FAMILY_MULTI: return IsLeadByte(l, static_cast<uint8_t>(code >> 8));
    default: return false;
  }
}

// A lead byte right before the terminator counts as a character of its own,
// so that no step passes the end of the string.
const char* NextCharOf(const CLocale& l, const char* p) {
  switch (l.family()) {
    case SL_FAMILY_WIDE: return p + 2;
    case SL_FAMILY_MULTI: return IsLeadByte(l, static_cast<uint8_t>(*p)) && p[1] != '\0' ? p + 2 : p + 1;
    default: return p + 1;
  }
}

const char* PrevCharOf(const CLocale& l, const char* start, const char* p) {
  if (p <= start) return start;
  switch (l.family()) {
    case SL_FAMILY_WIDE: return p - start >= 2 ? p - 2 : start;
    case SL_FAMILY_MULTI: {
      // Stepping from the start: the character that holds or precedes p.
      const char* at = start;
      for (;;) {
        const char* next = NextCharOf(l, at);
        if (next >= p) return at;
        at = next;
      }
    }
    default: return p - 1;
  }
}

uint16_t CharCodeAt(const CLocale& l, const char* p) {
  const auto* u = reinterpret_cast<const uint8_t*>(p);
  if (FirstByteAt(l, p)) return static_cast<uint16_t>(u[0] << 8 | u[1]);
  return u[0];
}

char* PutCharAt(const CLocale& l, char* p, uint16_t code) {
  if (CharFirstByte(l, code)) {
    *p++ = static_cast<char>(code >> 8);
    *p++ = static_cast<char>(code & 0xFF);
  } else {
    *p++ = static_cast<char>(code & 0xFF);
  }
  return p;
}

}  // namespace slw

using namespace slw;

namespace {
// The locale behind a handle with its character-access operations set.
const TLocale* Access(hlocale h) {
  auto* l = dynamic_cast<const TLocale*>(FindLocale(h));
  return l != nullptr && l->access.next != nullptr ? l : nullptr;
}
}  // namespace

SL_EXPORT int SL_IsFirstByte(hlocale h, const char* position) {
  const TLocale* l = Access(h);
  return l != nullptr && position != nullptr && l->access.firstByteAt(*l, position) ? 1 : 0;
}

SL_EXPORT int SL_IsCharFirstByte(hlocale h, uint16_t code) {
  const TLocale* l = Access(h);
  return l != nullptr && l->access.charFirstByte(*l, code) ? 1 : 0;
}

SL_EXPORT char* SL_NextChar(hlocale h, const char* position) {
  const TLocale* l = Access(h);
  if (l == nullptr || position == nullptr) return const_cast<char*>(position);
  return const_cast<char*>(l->access.next(*l, position));
}

SL_EXPORT char* SL_PrevChar(hlocale h, const char* start, const char* position) {
  const TLocale* l = Access(h);
  if (l == nullptr || start == nullptr || position == nullptr) return const_cast<char*>(position);
  return const_cast<char*>(l->access.previous(*l, start, position));
}

SL_EXPORT uint16_t SL_GetChar(hlocale h, const char* position) {
  const TLocale* l = Access(h);
  return l != nullptr && position != nullptr ? CharCodeAt(*l, position) : 0;
}

SL_EXPORT uint16_t SL_GetCharNext(hlocale h, const char** position) {
  const TLocale* l = Access(h);
  if (l == nullptr || position == nullptr || *position == nullptr) return 0;
  uint16_t c = CharCodeAt(*l, *position);
  *position = l->access.next(*l, *position);
  return c;
}

SL_EXPORT uint16_t SL_NextGetChar(hlocale h, const char** position) {
  const TLocale* l = Access(h);
  if (l == nullptr || position == nullptr || *position == nullptr) return 0;
  *position = l->access.next(*l, *position);
  return CharCodeAt(*l, *position);
}

SL_EXPORT uint16_t SL_GetCharPrev(hlocale h, const char* start, const char** position) {
  const TLocale* l = Access(h);
  if (l == nullptr || start == nullptr || position == nullptr || *position == nullptr) return 0;
  uint16_t c = CharCodeAt(*l, *position);
  *position = l->access.previous(*l, start, *position);
  return c;
}

SL_EXPORT uint16_t SL_PrevGetChar(hlocale h, const char* start, const char** position) {
  const TLocale* l = Access(h);
  if (l == nullptr || start == nullptr || position == nullptr || *position == nullptr) return 0;
  *position = l->access.previous(*l, start, *position);
  return CharCodeAt(*l, *position);
}

SL_EXPORT char* SL_PutChar(hlocale h, char* position, uint16_t code) {
  const TLocale* l = Access(h);
  if (l == nullptr || position == nullptr) return position;
  return PutCharAt(*l, position, code);
}
