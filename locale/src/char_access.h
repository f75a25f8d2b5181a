// The four character-access operations of a locale's family and the
// character read and write built on them.
#pragma once

#include <cstdint>

namespace slw {

class CLocale;

bool FirstByteAt(const CLocale& l, const char* p);
bool CharFirstByte(const CLocale& l, uint16_t code);
const char* NextCharOf(const CLocale& l, const char* p);
const char* PrevCharOf(const CLocale& l, const char* start, const char* p);
uint16_t CharCodeAt(const CLocale& l, const char* p);
char* PutCharAt(const CLocale& l, char* p, uint16_t code);

}  // namespace slw
