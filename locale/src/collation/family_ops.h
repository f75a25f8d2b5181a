// The default operations of modes 1, 2 and 4, written once over the family
// traits; the exports of each family are thin wrappers around them.
#pragma once

#include <type_traits>

#include "client.h"
#include "collation/operations.h"

namespace slw {

template <class F>
constexpr uint8_t FamilyOf() {
  if constexpr (std::is_same_v<F, NarrowText>) return SL_FAMILY_NARROW;
  else if constexpr (std::is_same_v<F, WideText>) return SL_FAMILY_WIDE;
  else return SL_FAMILY_MULTI;
}

template <class F>
const typename F::Unit* OrEmpty(const typename F::Unit* s) {
  static const typename F::Unit kEmpty[1] = {0};
  return s == nullptr ? kEmpty : s;
}

inline bool Weighted(const CollateContext& x) {
  return x.table != nullptr && !x.table->builtIn() && x.table->levels() > 0;
}

// Collate of mode 2 (code order when the locale has no weights).
template <class F>
int16_t CollateWith(const TLocale& l, const typename F::Unit* a, uint32_t la, const typename F::Unit* b, uint32_t lb) {
  CollateContext x = ContextOf(l);
  a = OrEmpty<F>(a);
  b = OrEmpty<F>(b);
  if (!Weighted(x)) return CodeCompare<F>(x, a, la, b, lb);
  return WeightedCompare<F>(x, a, la, b, lb, true).value;
}
template <class F>
int16_t CollateOp(hlocale h, const typename F::Unit* a, uint32_t la, const typename F::Unit* b, uint32_t lb) {
  const TLocale* l = CollationLocale(h, FamilyOf<F>());
  return l == nullptr ? 0 : CollateWith<F>(*l, a, la, b, lb);
}

// The dBASE front step: empty counts answer at once; otherwise the compare
// runs with the trim flag for an exact compare and without it otherwise, on
// the owning thread (another thread's compare keeps the current flags). The
// locale's settings are never changed.
template <class F>
int16_t DbaseFront(hlocale h, const typename F::Unit* a, uint16_t na, const typename F::Unit* b, uint16_t nb,
                   uint8_t exact, bool weighted) {
  if (na == 0 && nb == 0) return 0;
  if (nb == 0) return exact == 1 ? 1 : 0;
  if (na == 0) return -1;
  const TLocale* l = CollationLocale(h, FamilyOf<F>());
  if (l == nullptr) return 0;
  CollateContext x = ContextOf(*l);
  if (l->ownerThread == CurrentThreadId()) x.flags = exact == 1 ? kTrimBlanks : 1;
  a = OrEmpty<F>(a);
  b = OrEmpty<F>(b);
  bool secondEnded = false;
  int16_t r = 0;
  if (weighted && Weighted(x)) {
    CompareResult c = WeightedCompare<F>(x, a, na, b, nb, false);
    r = c.value;
    secondEnded = c.secondEnded;
    if (exact != 1 && (r >= 2 || (r == 1 && secondEnded))) return 0;
    return r;
  }
  if ((x.flags & kTrimBlanks) != 0) {
    na = static_cast<uint16_t>(TrimmedLength<F>(x, a, na));
    nb = static_cast<uint16_t>(TrimmedLength<F>(x, b, nb));
  }
  r = CodeCompare<F>(x, a, na, b, nb, &secondEnded);
  if (exact != 1 && r == 1 && secondEnded) return 0;
  return r;
}

// The dBASE engines run with the locale's current flags.
template <class F>
int16_t DbaseEngine(hlocale h, const typename F::Unit* a, uint16_t na, const typename F::Unit* b, uint16_t nb,
                    uint8_t exact, bool weighted) {
  const TLocale* l = CollationLocale(h, FamilyOf<F>());
  if (l == nullptr) return 0;
  CollateContext x = ContextOf(*l);
  a = OrEmpty<F>(a);
  b = OrEmpty<F>(b);
  if (weighted && Weighted(x)) {
    CompareResult c = WeightedCompare<F>(x, a, na, b, nb, false);
    if (exact != 1 && (c.value >= 2 || (c.value == 1 && c.secondEnded))) return 0;
    return c.value;
  }
  if ((x.flags & kTrimBlanks) != 0) {
    na = static_cast<uint16_t>(TrimmedLength<F>(x, a, na));
    nb = static_cast<uint16_t>(TrimmedLength<F>(x, b, nb));
  }
  bool secondEnded = false;
  int16_t r = CodeCompare<F>(x, a, na, b, nb, &secondEnded);
  return exact != 1 && r == 1 && secondEnded ? 0 : r;
}

// Code-order collate: narrow and wide trim both strings first when the
// flags are exactly the trim flag.
template <class F>
int16_t CharCompareOp(hlocale h, const typename F::Unit* a, uint32_t la, const typename F::Unit* b, uint32_t lb) {
  const TLocale* l = CollationLocale(h, FamilyOf<F>());
  if (l == nullptr) return 0;
  CollateContext x = ContextOf(*l);
  a = OrEmpty<F>(a);
  b = OrEmpty<F>(b);
  if (FamilyOf<F>() != SL_FAMILY_MULTI && l->collation.flags == kTrimBlanks) {
    la = TrimmedLength<F>(x, a, la);
    lb = TrimmedLength<F>(x, b, lb);
  }
  return CodeCompare<F>(x, a, la, b, lb);
}

}  // namespace slw
