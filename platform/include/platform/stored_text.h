// The text a dBASE character field stores: its bytes to the last one that
// is not a blank. Read by the engine's decoder and by the framework, which
// reads a record's fields from the bytes the engine handed it.
#pragma once

#include <cstddef>
#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace platform {

constexpr size_t kStoredTextHasNul = ~size_t{0};

// The length of the text in the n stored bytes at p, sixteen bytes at a time
// (the last sixteen overlap the ones before; nothing past the field is
// read); kStoredTextHasNul for bytes holding a NUL, whose text ends there.
// Every field of a width takes the same steps, whatever its text, so the
// loop's branches are foreseen record after record.
inline size_t StoredTextLength(const uint8_t* p, size_t n) {
#if defined(__SSE2__)
  if (n >= 16) {
    const __m128i blanks = _mm_set1_epi8(' ');
    __m128i least = _mm_set1_epi8(static_cast<char>(0xFF));  // zero where a NUL is
    size_t length = 0;
    for (size_t i = 0; i < n; i += 16) {
      const size_t at = i + 16 <= n ? i : n - 16;
      const __m128i w = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + at));
      least = _mm_min_epu8(least, w);
      const unsigned filled = ~static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(w, blanks))) & 0xFFFFu;
      if (filled != 0) length = at + 32 - static_cast<size_t>(__builtin_clz(filled));
    }
    return _mm_movemask_epi8(_mm_cmpeq_epi8(least, _mm_setzero_si128())) == 0 ? length : kStoredTextHasNul;
  }
#endif
  size_t length = 0;
  for (size_t i = 0; i < n; ++i) {
    if (p[i] == 0) return kStoredTextHasNul;
    if (p[i] != ' ') length = i + 1;
  }
  return length;
}

}  // namespace platform
