// The collation engines the three families share: the weight cursor, the
// weighted compare, the sort key and the code-order compare. A family is a
// traits type that says how a character is read and how wide a weight is.
// No engine allocates, and none reads past a string's terminator or limit.
#pragma once

#include <algorithm>
#include <cstdint>
#include <limits>
#include <type_traits>

#include "collation/collation_table.h"

namespace slw {

inline constexpr uint32_t kNoLimit = std::numeric_limits<uint32_t>::max();

// What the engines read of a locale.
struct CollateContext {
  const CollationTable* table = nullptr;
  const uint8_t* leadBytes = nullptr;  // multi-byte: the 32-byte lead-byte map
  const uint8_t* defined = nullptr;    // the defined-character bitmap
  std::size_t definedSize = 0;
  uint16_t levels = 1;
  uint16_t flags = 0;

  bool IsDefined(uint16_t code) const {
    std::size_t byte = code / 8u;
    return byte < definedSize && (defined[byte] & (1u << (code % 8))) != 0;
  }
};

struct NarrowText {
  using Unit = char;
  using KeyUnit = char;
  static constexpr bool kNarrow = true;
  // The character at p and its length in units; 0 at the terminator.
  static unsigned Read(const CollateContext&, const Unit* p, uint16_t& code) {
    code = static_cast<uint8_t>(*p);
    return code != 0 ? 1 : 0;
  }
  static uint16_t Entry(const CollationTable& t, int level, uint16_t code) { return t.NarrowEntries(level)[code]; }
  static uint16_t Weight(uint16_t entry) { return entry & 0xFF; }
  static uint16_t Slot(const uint8_t* p) { return *p; }
  static constexpr unsigned kSlot = 1;
};

struct WideText {
  using Unit = char16_t;
  using KeyUnit = char16_t;
  static constexpr bool kNarrow = false;
  static unsigned Read(const CollateContext&, const Unit* p, uint16_t& code) {
    code = *p;
    return code != 0 ? 1 : 0;
  }
  static uint16_t Entry(const CollationTable& t, int level, uint16_t code) { return t.Entry(level, code); }
  static uint16_t Weight(uint16_t entry) { return entry; }
  static uint16_t Slot(const uint8_t* p) { return CollationTable::ReadSlot(p); }
  static constexpr unsigned kSlot = 2;
};

// Multi-byte strings: a lead byte and its trail byte make one character
// (code lead x 256 + trail); a lead byte right before the terminator is a
// character of its own.
struct MultiText {
  using Unit = char;
  using KeyUnit = char16_t;
  static constexpr bool kNarrow = false;
  static unsigned Read(const CollateContext& x, const Unit* p, uint16_t& code) {
    auto b = static_cast<uint8_t>(p[0]);
    if (b == 0) {
      code = 0;
      return 0;
    }
    if (x.leadBytes != nullptr && (x.leadBytes[b / 8] & (1u << (b % 8))) != 0 && p[1] != '\0') {
      code = static_cast<uint16_t>(b << 8 | static_cast<uint8_t>(p[1]));
      return 2;
    }
    code = b;
    return 1;
  }
  static uint16_t Entry(const CollationTable& t, int level, uint16_t code) { return t.Entry(level, code); }
  static uint16_t Weight(uint16_t entry) { return entry; }
  static uint16_t Slot(const uint8_t* p) { return CollationTable::ReadSlot(p); }
  static constexpr unsigned kSlot = 2;
};

template <class F>
struct WeightCursor {
  const typename F::Unit* p;
  uint32_t limit;
  uint32_t pos = 0;  // characters consumed, counted from 1
  const uint8_t* expansion = nullptr;
  unsigned expansionLeft = 0;
  bool ended = false;

  WeightCursor(const typename F::Unit* s, uint32_t l) : p(s), limit(l) {}

  // Matches the contraction group of the character at `at` (its code read,
  // the cursor already past it).
  [[gnu::noinline]] void Contract(const CollateContext& x, int level, std::size_t index, const typename F::Unit* at) {
    const CollationTable& t = *x.table;
    for (std::size_t r = index;; ++r) {
      const uint8_t* rec = t.Record(r);
      unsigned k = rec[0];
      if (k == 0) {  // the closing record: the single character's weight
        expansion = t.RecordWeights(rec, level);
        expansionLeft = 1;
        return;
      }
      if (uint64_t{pos} - 1 + k > limit) continue;
      const typename F::Unit* q = at;
      bool match = true;
      for (unsigned j = 0; j < k && match; ++j) {
        uint16_t code = 0;
        unsigned n = F::Read(x, q, code);
        match = n != 0 && code == t.RecordChar(rec, j);
        q += n;
      }
      if (!match) continue;
      p = q;
      pos += k - 1;
      expansion = t.RecordWeights(rec, level);
      expansionLeft = rec[1] == 0 ? 1u : rec[1];
      return;
    }
  }

  // The next non-ignorable weight of a level; 0 with `ended` at the end.
  [[gnu::always_inline]] inline uint16_t Next(const CollateContext& x, int level) {
    for (;;) {
      if (expansionLeft != 0) {
        uint16_t w = F::Weight(F::Slot(expansion));
        expansion += F::kSlot;
        --expansionLeft;
        if (w != 0) return w;
        continue;
      }
      if (pos >= limit) break;
      uint16_t code = 0;
      unsigned n = F::Read(x, p, code);
      if (n == 0) break;
      const typename F::Unit* at = p;
      p += n;
      ++pos;
      uint16_t e = F::Entry(*x.table, level, code);
      if ((e & kContractionBit) != 0) {
        Contract(x, level, e & 0x7FFFu, at);
        continue;
      }
      e = F::Weight(e);
      if (e != 0) return e;
    }
    ended = true;
    return 0;
  }
};

// Characters of a string up to its terminator or limit, less its trailing
// blanks (single-byte blanks only in the multi-byte family).
template <class F>
uint32_t TrimmedLength(const CollateContext& x, const typename F::Unit* s, uint32_t limit) {
  uint32_t count = 0, kept = 0;
  uint16_t code = 0;
  for (unsigned n; count < limit && (n = F::Read(x, s, code)) != 0; s += n) {
    ++count;
    if (!(n == 1 && code == 0x20)) kept = count;
  }
  return kept;
}

struct CompareResult {
  int16_t value = 0;
  bool secondEnded = false;  // the deciding step saw s2 at its end
};

inline int16_t LevelResult(int sign, int level) { return static_cast<int16_t>(sign * (level + 1)); }

// How many characters both strings begin with alike (narrow and wide, one
// unit a character): they give both the same weights on every level, so the
// compare may begin after them; but not after a character that may begin a
// contraction reaching past them.
template <class F>
uint32_t EqualStart(const CollateContext& x, const typename F::Unit* a, uint32_t la, const typename F::Unit* b,
                    uint32_t lb) {
  const uint32_t limit = std::min(la, lb);
  uint32_t i = 0;
  while (i < limit && a[i] == b[i] && a[i] != 0) ++i;
  const CollationTable& t = *x.table;
  if (!t.HasLongContraction()) return i;
  const uint32_t reach = t.charsPerRecord();
  auto opens = [&](uint16_t code) {
    for (int level = 0; level < t.levels(); ++level)
      if ((F::Entry(t, level, code) & kContractionBit) != 0) return true;
    return false;
  };
  for (bool moved = true; moved;) {
    moved = false;
    for (uint32_t k = 1; k < reach && k <= i && !moved; ++k) {
      if (opens(static_cast<uint16_t>(static_cast<std::make_unsigned_t<typename F::Unit>>(a[i - k])))) {
        i -= k;
        moved = true;
      }
    }
  }
  return i;
}

// The multi-level weighted compare; `undefinedPass` runs the comparison of
// undefined characters when every level ties and the flags ask for it.
template <class F>
CompareResult WeightedCompare(const CollateContext& x, const typename F::Unit* a, uint32_t la,
                              const typename F::Unit* b, uint32_t lb, bool undefinedPass) {
  if ((x.flags & kTrimBlanks) != 0) {
    la = TrimmedLength<F>(x, a, la);
    lb = TrimmedLength<F>(x, b, lb);
  }
  if constexpr (!std::is_same_v<F, MultiText>) {
    const uint32_t same = EqualStart<F>(x, a, la, b, lb);
    a += same;
    b += same;
    if (la != kNoLimit) la -= same;
    if (lb != kNoLimit) lb -= same;
  }
  const CollationTable& t = *x.table;
  const int levels = std::min<int>(x.levels, t.levels());
  for (int level = 0; level < levels; ++level) {
    const uint8_t attribute = t.attribute(level);
    const bool position = (attribute & kPositionLevel) != 0;
    const bool backward = (attribute & kBackwardLevel) != 0;
    WeightCursor<F> ca(a, la), cb(b, lb);
    int pending = 0;
    for (;;) {
      uint16_t wa = ca.Next(x, level);
      uint16_t wb = cb.Next(x, level);
      if (ca.ended || cb.ended) break;
      int d = 0;
      if (position && ca.pos != cb.pos) d = ca.pos > cb.pos ? 1 : -1;
      else if (wa != wb) d = wa > wb ? 1 : -1;
      if (d == 0) continue;
      if (!backward) return {LevelResult(d, level), false};
      pending = d;
    }
    if (ca.ended != cb.ended) return {LevelResult(ca.ended ? -1 : 1, level), cb.ended};
    if (pending != 0) return {LevelResult(pending, level), true};
  }
  if (!undefinedPass || (x.flags & kUndefinedPass) == 0) return {};
  // Every level ties: the undefined characters decide, by their codes.
  auto nextUndefined = [&](const typename F::Unit*& p, uint32_t& left, uint16_t& code) {
    for (unsigned n; left > 0 && (n = F::Read(x, p, code)) != 0;) {
      p += n;
      --left;
      if (!x.IsDefined(code)) return true;
    }
    return false;
  };
  const typename F::Unit* pa = a;
  const typename F::Unit* pb = b;
  for (;;) {
    uint16_t ua = 0, ub = 0;
    bool ha = nextUndefined(pa, la, ua);
    bool hb = nextUndefined(pb, lb, ub);
    if (!ha || !hb) {
      if (ha == hb) return {};
      return {LevelResult(ha ? 1 : -1, levels), !hb};
    }
    if (ua != ub) return {LevelResult(ua > ub ? 1 : -1, levels), false};
  }
}

// The narrow fast path: equal prefix by bytes, then the 16-bit entries of
// every level from the first difference on; a contraction entry hands the
// rest to the weighted compare.
inline int16_t FastCompare(const CollateContext& x, const char* a, uint32_t la, const char* b, uint32_t lb) {
  uint32_t i = 0;
  for (;; ++i) {
    bool ea = i >= la, eb = i >= lb;
    if (ea && eb) return 0;
    if (ea || eb || a[i] != b[i]) break;
    if (a[i] == '\0') return 0;
  }
  const CollationTable& t = *x.table;
  const int levels = std::min<int>(x.levels, t.levels());
  for (int level = 0; level < levels; ++level) {
    const uint16_t* entries = t.NarrowEntries(level);
    for (uint32_t j = i;; ++j) {
      bool ea = j >= la || a[j] == '\0';
      bool eb = j >= lb || b[j] == '\0';
      if (ea || eb) {
        if (ea && eb) break;
        return LevelResult(ea ? -1 : 1, level);
      }
      uint16_t wa = entries[static_cast<uint8_t>(a[j])];
      uint16_t wb = entries[static_cast<uint8_t>(b[j])];
      if (((wa | wb) & kContractionBit) != 0) {
        uint32_t ra = la == kNoLimit ? kNoLimit : la - i;
        uint32_t rb = lb == kNoLimit ? kNoLimit : lb - i;
        return WeightedCompare<NarrowText>(x, a + i, ra, b + i, rb, false).value;
      }
      if (wa != wb) return LevelResult(wa > wb ? 1 : -1, level);
    }
  }
  return 0;
}

// The weighted sort key of modes 2 and 4 into `out` of `size` units; the
// result is the key length without its terminator, or `size` when the key
// does not fit (the buffer then ends with a terminator inside it).
template <class F>
uint16_t WeightedKey(const CollateContext& x, typename F::KeyUnit* out, const typename F::Unit* s, uint32_t limit,
                     uint16_t size) {
  using K = typename F::KeyUnit;
  if (out == nullptr || size == 0) return 0;
  if ((x.flags & kTrimBlanks) != 0) limit = TrimmedLength<F>(x, s, limit);
  const CollationTable& t = *x.table;
  const int levels = std::min<int>(x.levels, t.levels());
  uint32_t n = 0;
  for (int level = 0; level < levels; ++level) {
    const uint8_t attribute = t.attribute(level);
    const bool position = (attribute & kPositionLevel) != 0;
    uint32_t first = n;  // where the level's (reversible) entries start
    WeightCursor<F> c(s, limit);
    for (;;) {
      uint16_t w = c.Next(x, level);
      if (c.ended) break;
      if (position) {
        if (n == first) {
          if (n >= size) goto full;
          out[n++] = static_cast<K>(2);
          first = n;
        }
        uint16_t at = static_cast<uint16_t>(c.pos + 0x0101);
        if constexpr (F::kNarrow) {
          if (n + 3 > size) goto full;
          out[n++] = static_cast<K>(at & 0xFF);
          out[n++] = static_cast<K>(at >> 8);
        } else {
          if (n + 2 > size) goto full;
          out[n++] = static_cast<K>(at);
        }
      } else if (n >= size) {
        goto full;
      }
      out[n++] = static_cast<K>(w);
    }
    if ((attribute & kBackwardLevel) != 0) {
      const uint32_t entry = position ? (F::kNarrow ? 3 : 2) : 1;
      // Reverse the entries, each kept whole: reverse all units, then each entry back.
      std::reverse(out + first, out + n);
      for (uint32_t e = first; e + entry <= n; e += entry) std::reverse(out + e, out + e + entry);
    }
  }
  if (n < size) {
    out[n] = 0;
    return static_cast<uint16_t>(n);
  }
full:
  out[size - 1] = 0;
  return size;
}

// Code order: character codes as unsigned numbers up to a difference or a
// common end; the string that ends first is smaller.
template <class F>
int16_t CodeCompare(const CollateContext& x, const typename F::Unit* a, uint32_t la, const typename F::Unit* b,
                    uint32_t lb, bool* secondEnded = nullptr) {
  for (;;) {
    uint16_t ca = 0, cb = 0;
    unsigned na = la > 0 ? F::Read(x, a, ca) : 0;
    unsigned nb = lb > 0 ? F::Read(x, b, cb) : 0;
    if (na == 0 || nb == 0) {
      if (secondEnded != nullptr) *secondEnded = nb == 0;
      return na == nb ? 0 : na == 0 ? -1 : 1;
    }
    if (ca != cb) return ca < cb ? -1 : 1;
    a += na;
    b += nb;
    if (la != kNoLimit) --la;
    if (lb != kNoLimit) --lb;
  }
}

}  // namespace slw
