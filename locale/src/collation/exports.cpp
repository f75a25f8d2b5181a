// The collation exports of the three families: the front ends that call a
// locale's bound operations, the Set...Fn exports, and the default
// operations of modes 1 (code order), 2 (weighted) and 4 (narrow fast path).
#include <cstring>
#include <memory>
#include <new>

#include "collation/family_ops.h"
#include "lock.h"

namespace slw {

namespace {

using Narrow = NarrowText;
using Wide = WideText;
using Multi = MultiText;

using GenericDbase = int16_t (*)(hlocale, const void*, uint16_t, const void*, uint16_t, uint8_t);
using BufferFn = int16_t (*)(hlocale, const void*, uint16_t, const void*, uint16_t);

// Calls the operation bound in `slot`: a caller's or an extension's function
// with the untyped signature, the library's own with the family's types.
template <class Typed, class Generic, class R, class... A>
R CallBound(hlocale h, uint8_t family, int slot, A... args) {
  const TLocale* l = CollationLocale(h, family);
  if (l == nullptr) return R{};
  void* op = l->operations.ops[static_cast<std::size_t>(slot)];
  if (op == nullptr) return R{};
  if (l->operations.generic[static_cast<std::size_t>(slot)] != 0) return reinterpret_cast<Generic>(op)(h, args...);
  return reinterpret_cast<Typed>(op)(h, args...);
}

LocaleStatus SetOperation(hlocale h, uint8_t family, int slot, void* fn) {
  if (fn == nullptr) return kNullFunction;
  LockHold hold;
  auto* l = dynamic_cast<TLocale*>(FindLocale(h));
  if (l == nullptr || l->family() != family) return kBadHandle;
  l->operations.ops[static_cast<std::size_t>(slot)] = fn;
  l->operations.generic[static_cast<std::size_t>(slot)] = 1;
  return kOk;
}

template <class F>
uint16_t WeightedTransform(hlocale h, typename F::KeyUnit* out, const typename F::Unit* s, uint32_t limit,
                           uint16_t size);

// Code-order key of the narrow and wide families: the source copied by the
// family's bounded copy; a bounded key shorter than the destination is
// terminated.
template <class Unit, class Copy>
uint16_t CopyKey(Unit* out, const Unit* s, uint32_t limit, uint16_t size, Copy copy) {
  if (out == nullptr || size == 0) return 0;
  static const Unit kEmpty[1] = {0};
  if (s == nullptr) s = kEmpty;
  uint16_t count = static_cast<uint16_t>(std::min<uint32_t>(limit, size));
  uint16_t length = 0;
  while (length < count && s[length] != 0) ++length;
  copy(out, s, count);
  if (length == count && count < size) out[count] = 0;
  return length;
}

// Code-order key of the multi-byte family: the source's bytes, whole
// characters only, terminated, in a destination of `size` 16-bit units.
uint16_t MultiCopyKey(hlocale h, SL_WCHAR* out, const char* s, uint32_t limit, uint16_t size) {
  const TLocale* l = CollationLocale(h, SL_FAMILY_MULTI);
  if (l == nullptr || out == nullptr || size == 0) return 0;
  CollateContext x = ContextOf(*l);
  s = OrEmpty<Multi>(s);
  auto* bytes = reinterpret_cast<char*>(out);
  const std::size_t room = std::size_t{size} * 2;
  std::size_t used = 0;
  uint16_t chars = 0;
  uint16_t code = 0;
  for (unsigned n; chars < limit && (n = Multi::Read(x, s + used, code)) != 0 && used + n + 1 <= room; used += n) {
    std::memcpy(bytes + used, s + used, n);
    ++chars;
  }
  bytes[used] = '\0';
  return chars;
}

template <class F>
uint16_t WeightedTransform(hlocale h, typename F::KeyUnit* out, const typename F::Unit* s, uint32_t limit,
                           uint16_t size) {
  const TLocale* l = CollationLocale(h, FamilyOf<F>());
  if (l == nullptr) return 0;
  CollateContext x = ContextOf(*l);
  s = OrEmpty<F>(s);
  if (!Weighted(x)) {
    if constexpr (std::is_same_v<F, Narrow>) {
      return CopyKey(out, s, limit, size, [](char* d, const char* src, uint16_t n) { SLN_StrnCpy(d, src, n); });
    } else if constexpr (std::is_same_v<F, Wide>) {
      return CopyKey(out, s, limit, size,
                     [](SL_WCHAR* d, const SL_WCHAR* src, uint16_t n) { SLW_StrnCpy(d, src, n); });
    } else {
      return MultiCopyKey(h, out, s, limit, size);
    }
  }
  return WeightedKey<F>(x, out, s, limit, size);
}

template <class F>
int16_t FastOp(hlocale h, const char* a, uint32_t la, const char* b, uint32_t lb) {
  const TLocale* l = CollationLocale(h, SL_FAMILY_NARROW);
  if (l == nullptr) return 0;
  CollateContext x = ContextOf(*l);
  a = OrEmpty<F>(a);
  b = OrEmpty<F>(b);
  if (!Weighted(x)) return CodeCompare<F>(x, a, la, b, lb);
  return FastCompare(x, a, la, b, lb);
}

uint16_t Measured(uint16_t length, const void* buffer) { return buffer == nullptr ? 0 : length; }

// A multi-byte buffer as the buffer compares read it: its characters
// before its first NUL within its byte count, as SLM_BufferLen counts them.
// A lead byte in the last counted byte is a character of its own, as
// before a terminator; the compares, which read a lead byte's second byte
// wherever it lies, then read a terminated copy, so that no byte past the
// count is read. (Without memory for a long copy, that lead byte is left
// out.)
class MultiBuffer {
 public:
  MultiBuffer(hlocale h, const void* buffer, uint16_t bytes) {
    const TLocale* l = CollationLocale(h, SL_FAMILY_MULTI);
    text_ = static_cast<const char*>(buffer);
    if (l == nullptr || text_ == nullptr) return;
    const CollateContext x = ContextOf(*l);
    uint16_t code = 0;
    bool endsInLead = false;
    for (std::size_t at = 0; at < bytes && text_[at] != '\0'; ++chars_) {
      auto lead = static_cast<uint8_t>(text_[at]);
      if (at + 1 == bytes && x.leadBytes != nullptr && (x.leadBytes[lead / 8] & (1u << (lead % 8))) != 0) {
        endsInLead = true;
        ++chars_;
        break;
      }
      at += Multi::Read(x, text_ + at, code);
    }
    if (!endsInLead) return;
    char* copy = local_;
    if (bytes >= sizeof local_) {
      heap_.reset(new (std::nothrow) char[bytes + 1u]);
      copy = heap_.get();
    }
    if (copy == nullptr) {
      --chars_;
      return;
    }
    std::memcpy(copy, text_, bytes);
    copy[bytes] = '\0';
    text_ = copy;
  }
  MultiBuffer(const MultiBuffer&) = delete;
  MultiBuffer& operator=(const MultiBuffer&) = delete;
  const char* text() const { return text_; }
  uint16_t chars() const { return chars_; }

 private:
  const char* text_ = nullptr;
  uint16_t chars_ = 0;
  char local_[512];
  std::unique_ptr<char[]> heap_;
};

}  // namespace

int16_t NarrowBufferCharCompare(hlocale h, const void* a, uint16_t na, const void* b, uint16_t nb) {
  return CharCompareOp<Narrow>(h, static_cast<const char*>(a), na, static_cast<const char*>(b), nb);
}

}  // namespace slw

using namespace slw;

// ---- front ends ----

// The weighted collate, the most frequent call, goes straight to its engine
// when it is the bound operation.
#define SL_COLLATION_FRONT_ENDS(P, F, CH, KEY, FAMILY)                                                         \
  SL_EXPORT int16_t P##StrCollate(hlocale h, const CH* a, const CH* b) {                                    \
    const TLocale* l = CollationLocale(h, FAMILY);                                                           \
    if (l != nullptr && l->operations.generic[kCollateOp] == 0 &&                                            \
        l->operations.ops[kCollateOp] == reinterpret_cast<void*>(&_##P##StrCollate))                        \
      return CollateWith<F>(*l, a, kNoLimit, b, kNoLimit);                                                   \
    return CallBound<int16_t (*)(hlocale, const CH*, const CH*), SL_COLLATEFN, int16_t>(h, FAMILY, kCollateOp, \
                                                                                        a, b);                 \
  }                                                                                                          \
  SL_EXPORT int16_t P##StrnCollate(hlocale h, const CH* a, uint16_t na, const CH* b, uint16_t nb) {          \
    return CallBound<int16_t (*)(hlocale, const CH*, uint16_t, const CH*, uint16_t), SL_NCOLLATEFN, int16_t>( \
        h, FAMILY, kBoundedCollateOp, a, na, b, nb);                                                         \
  }                                                                                                          \
  SL_EXPORT uint16_t P##StrTransform(hlocale h, KEY* out, const CH* s, uint16_t size) {                      \
    return CallBound<uint16_t (*)(hlocale, KEY*, const CH*, uint16_t), SL_TRANSFORMFN, uint16_t>(           \
        h, FAMILY, kTransformOp, out, s, size);                                                              \
  }                                                                                                          \
  SL_EXPORT uint16_t P##StrnTransform(hlocale h, KEY* out, const CH* s, uint16_t n, uint16_t size) {         \
    return CallBound<uint16_t (*)(hlocale, KEY*, const CH*, uint16_t, uint16_t), SL_NTRANSFORMFN, uint16_t>( \
        h, FAMILY, kBoundedTransformOp, out, s, n, size);                                                    \
  }                                                                                                          \
  SL_EXPORT int16_t P##StrDbaseCompare(hlocale h, const CH* a, uint16_t na, const CH* b, uint16_t nb,        \
                                       uint8_t exact) {                                                      \
    return CallBound<int16_t (*)(hlocale, const CH*, uint16_t, const CH*, uint16_t, uint8_t), GenericDbase,  \
                     int16_t>(h, FAMILY, kDbaseOp, a, na, b, nb, exact);                                     \
  }                                                                                                          \
  SL_EXPORT int16_t P##BufferCollate(hlocale h, const void* a, uint16_t na, const void* b, uint16_t nb) {   \
    return CallBound<BufferFn, BufferFn, int16_t>(h, FAMILY, kBufferCollateOp, a, na, b, nb);               \
  }                                                                                                          \
  SL_EXPORT uint16_t P##BufferTransform(hlocale, void*, const void*, uint16_t, uint16_t) { return 0; }       \
  SL_EXPORT LocaleStatus P##SetCollationFn(hlocale h, SL_COLLATEFN fn) {                                     \
    return SetOperation(h, FAMILY, kCollateOp, reinterpret_cast<void*>(fn));                                 \
  }                                                                                                          \
  SL_EXPORT LocaleStatus P##SetnCollationFn(hlocale h, SL_NCOLLATEFN fn) {                                   \
    return SetOperation(h, FAMILY, kBoundedCollateOp, reinterpret_cast<void*>(fn));                          \
  }                                                                                                          \
  SL_EXPORT LocaleStatus P##SetTransformFn(hlocale h, SL_TRANSFORMFN fn) {                                   \
    return SetOperation(h, FAMILY, kTransformOp, reinterpret_cast<void*>(fn));                               \
  }                                                                                                          \
  SL_EXPORT LocaleStatus P##SetnTransformFn(hlocale h, SL_NTRANSFORMFN fn) {                                 \
    return SetOperation(h, FAMILY, kBoundedTransformOp, reinterpret_cast<void*>(fn));                        \
  }

SL_COLLATION_FRONT_ENDS(SLN_, Narrow, char, char, SL_FAMILY_NARROW)
SL_COLLATION_FRONT_ENDS(SLW_, Wide, SL_WCHAR, SL_WCHAR, SL_FAMILY_WIDE)
SL_COLLATION_FRONT_ENDS(SLM_, Multi, char, SL_WCHAR, SL_FAMILY_MULTI)

// ---- weighted (mode 2) and the fast path (mode 4) ----

#define SL_WEIGHTED_OPS(P, F, CH, KEY)                                                                        \
  SL_EXPORT int16_t P##StrCollate(hlocale h, const CH* a, const CH* b) {                                    \
    return CollateOp<F>(h, a, kNoLimit, b, kNoLimit);                                                        \
  }                                                                                                          \
  SL_EXPORT int16_t P##StrnCollate(hlocale h, const CH* a, uint16_t na, const CH* b, uint16_t nb) {          \
    return CollateOp<F>(h, a, na, b, nb);                                                                    \
  }                                                                                                          \
  SL_EXPORT uint16_t P##StrTransform(hlocale h, KEY* out, const CH* s, uint16_t size) {                      \
    return WeightedTransform<F>(h, out, s, kNoLimit, size);                                                  \
  }                                                                                                          \
  SL_EXPORT uint16_t P##StrnTransform(hlocale h, KEY* out, const CH* s, uint16_t n, uint16_t size) {         \
    return WeightedTransform<F>(h, out, s, n, size);                                                         \
  }                                                                                                          \
  SL_EXPORT int16_t P##StrDbaseCompare(hlocale h, const CH* a, uint16_t na, const CH* b, uint16_t nb,        \
                                       uint8_t exact) {                                                      \
    return DbaseFront<F>(h, a, na, b, nb, exact, true);                                                      \
  }                                                                                                          \
  SL_EXPORT int16_t _##P##StrDbaseCompare(hlocale h, const CH* a, uint16_t na, const CH* b, uint16_t nb,     \
                                          uint8_t exact) {                                                   \
    return DbaseEngine<F>(h, a, na, b, nb, exact, true);                                                     \
  }

SL_WEIGHTED_OPS(_SLN_, Narrow, char, char)
SL_WEIGHTED_OPS(_SLW_, Wide, SL_WCHAR, SL_WCHAR)
SL_WEIGHTED_OPS(_SLM_, Multi, char, SL_WCHAR)

SL_EXPORT int16_t _SLN_StrCollateOp(hlocale h, const char* a, const char* b) {
  return FastOp<Narrow>(h, a, kNoLimit, b, kNoLimit);
}
SL_EXPORT int16_t _SLN_StrnCollateOp(hlocale h, const char* a, uint16_t na, const char* b, uint16_t nb) {
  return FastOp<Narrow>(h, a, na, b, nb);
}

// Buffers end at their byte count or their first NUL.
SL_EXPORT int16_t _SLN_BufferCollate(hlocale h, const void* a, uint16_t na, const void* b, uint16_t nb) {
  return CollateOp<Narrow>(h, static_cast<const char*>(a), Measured(SLN_BufferLen(a, na), a),
                           static_cast<const char*>(b), Measured(SLN_BufferLen(b, nb), b));
}
SL_EXPORT int16_t _SLW_BufferCollate(hlocale h, const void* a, uint16_t na, const void* b, uint16_t nb) {
  return CollateOp<Wide>(h, static_cast<const SL_WCHAR*>(a), Measured(SLW_BufferLen(a, na), a),
                         static_cast<const SL_WCHAR*>(b), Measured(SLW_BufferLen(b, nb), b));
}
SL_EXPORT int16_t _SLM_BufferCollate(hlocale h, const void* a, uint16_t na, const void* b, uint16_t nb) {
  const MultiBuffer ba(h, a, na), bb(h, b, nb);
  return CollateOp<Multi>(h, ba.text(), ba.chars(), bb.text(), bb.chars());
}

// ---- code order (mode 1) ----

#define SL_CODE_ORDER_OPS(P, F, CH)                                                                           \
  SL_EXPORT int16_t P##StrCharCompare(hlocale h, const CH* a, const CH* b) {                                \
    return CharCompareOp<F>(h, a, kNoLimit, b, kNoLimit);                                                    \
  }                                                                                                          \
  SL_EXPORT int16_t P##StrnCharCompare(hlocale h, const CH* a, uint16_t na, const CH* b, uint16_t nb) {      \
    return CharCompareOp<F>(h, a, na, b, nb);                                                                \
  }                                                                                                          \
  SL_EXPORT int16_t _##P##StrDbaseCharCompare(hlocale h, const CH* a, uint16_t na, const CH* b, uint16_t nb, \
                                              uint8_t exact) {                                               \
    return DbaseFront<F>(h, a, na, b, nb, exact, false);                                                     \
  }                                                                                                          \
  SL_EXPORT int16_t __##P##StrDbaseCharCompare(hlocale h, const CH* a, uint16_t na, const CH* b,             \
                                               uint16_t nb, uint8_t exact) {                                 \
    return DbaseEngine<F>(h, a, na, b, nb, exact, false);                                                    \
  }

SL_CODE_ORDER_OPS(_SLN_, Narrow, char)
SL_CODE_ORDER_OPS(_SLW_, Wide, SL_WCHAR)
SL_CODE_ORDER_OPS(_SLM_, Multi, char)

SL_EXPORT uint16_t _SLN_StrCharTransform(hlocale h, char* out, const char* s, uint16_t size) {
  if (CollationLocale(h, SL_FAMILY_NARROW) == nullptr) return 0;
  return CopyKey(out, s, kNoLimit, size, [](char* d, const char* src, uint16_t n) { SLN_StrnCpy(d, src, n); });
}
SL_EXPORT uint16_t _SLN_StrnCharTransform(hlocale h, char* out, const char* s, uint16_t n, uint16_t size) {
  if (CollationLocale(h, SL_FAMILY_NARROW) == nullptr) return 0;
  return CopyKey(out, s, n, size, [](char* d, const char* src, uint16_t c) { SLN_StrnCpy(d, src, c); });
}
SL_EXPORT uint16_t _SLW_StrCharTransform(hlocale h, SL_WCHAR* out, const SL_WCHAR* s, uint16_t size) {
  if (CollationLocale(h, SL_FAMILY_WIDE) == nullptr) return 0;
  return CopyKey(out, s, kNoLimit, size,
                 [](SL_WCHAR* d, const SL_WCHAR* src, uint16_t n) { SLW_StrnCpy(d, src, n); });
}
SL_EXPORT uint16_t _SLW_StrnCharTransform(hlocale h, SL_WCHAR* out, const SL_WCHAR* s, uint16_t n, uint16_t size) {
  if (CollationLocale(h, SL_FAMILY_WIDE) == nullptr) return 0;
  return CopyKey(out, s, n, size, [](SL_WCHAR* d, const SL_WCHAR* src, uint16_t c) { SLW_StrnCpy(d, src, c); });
}
SL_EXPORT uint16_t _SLM_StrCharTransform(hlocale h, SL_WCHAR* out, const char* s, uint16_t size) {
  return MultiCopyKey(h, out, s, kNoLimit, size);
}
SL_EXPORT uint16_t _SLM_StrnCharTransform(hlocale h, SL_WCHAR* out, const char* s, uint16_t n, uint16_t size) {
  return MultiCopyKey(h, out, s, n, size);
}

// The byte-order names are the code-order operations under a second name.
#define SL_BYTE_ORDER_NAMES(P, CH, KEY)                                                                      \
  SL_EXPORT int16_t P##StrByteCompare(hlocale h, const CH* a, const CH* b) { return P##StrCharCompare(h, a, b); } \
  SL_EXPORT int16_t P##StrnByteCompare(hlocale h, const CH* a, uint16_t na, const CH* b, uint16_t nb) {      \
    return P##StrnCharCompare(h, a, na, b, nb);                                                              \
  }                                                                                                          \
  SL_EXPORT int16_t _##P##StrDbaseByteCompare(hlocale h, const CH* a, uint16_t na, const CH* b, uint16_t nb, \
                                              uint8_t exact) {                                               \
    return _##P##StrDbaseCharCompare(h, a, na, b, nb, exact);                                                \
  }                                                                                                          \
  SL_EXPORT uint16_t P##StrByteTransform(hlocale h, KEY* out, const CH* s, uint16_t size) {                  \
    return P##StrCharTransform(h, out, s, size);                                                             \
  }                                                                                                          \
  SL_EXPORT uint16_t P##StrnByteTransform(hlocale h, KEY* out, const CH* s, uint16_t n, uint16_t size) {     \
    return P##StrnCharTransform(h, out, s, n, size);                                                         \
  }

SL_BYTE_ORDER_NAMES(_SLN_, char, char)
SL_BYTE_ORDER_NAMES(_SLW_, SL_WCHAR, SL_WCHAR)
SL_BYTE_ORDER_NAMES(_SLM_, char, SL_WCHAR)

// Buffer compares of code order: the wide form halves its byte counts; the
// multi-byte one measures its buffers in characters first.
SL_EXPORT int16_t _SLW_BufferCharCompare(hlocale h, const void* a, uint16_t na, const void* b, uint16_t nb) {
  return CharCompareOp<Wide>(h, static_cast<const SL_WCHAR*>(a), na / 2u, static_cast<const SL_WCHAR*>(b), nb / 2u);
}
SL_EXPORT int16_t _SLM_BufferCharCompare(hlocale h, const void* a, uint16_t na, const void* b, uint16_t nb) {
  const MultiBuffer ba(h, a, na), bb(h, b, nb);
  return CharCompareOp<Multi>(h, ba.text(), ba.chars(), bb.text(), bb.chars());
}
