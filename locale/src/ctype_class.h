// Character classes and multi-byte character steps as the frame needs them
// (the class trimming and scanning of the multi-byte family).
#pragma once

#include <cstdint>

namespace slw {

class CLocale;

// The 32-bit class word of a character in the locale's LC_CTYPE data.
uint32_t ClassWord(const CLocale& locale, uint16_t code);
// True when the word (bit 31 ignored) shares a bit with the mask.
bool InClass(const CLocale& locale, uint16_t code, uint32_t mask);

// Lead-byte test of a multi-byte locale (never true for other families).
bool IsLeadByte(const CLocale& locale, uint8_t byte);
// The character at p (lead x 256 + trail for a two-byte character) and its length.
uint16_t CharAt(const CLocale& locale, const char* p, int* length);

}  // namespace slw
