// Translations of characters and strings: ToUpper, ToLower, ToTranslation,
// the in-place Upper/Lower forms and the Ex and Translation forms.
#include <algorithm>
#include <array>
#include <new>
#include <type_traits>

#include "casemap.h"

namespace slw::casemap {

std::size_t TranslationCount(const CtypeCategory& ctype) { return ctype.translations().size(); }

uint16_t RawEntry(const CtypeCategory& ctype, int index, uint16_t code) {
  const auto& tables = ctype.translationTables();
  if (tables.empty()) {  // the built-in POSIX data: no tables, plain ASCII case
    uint16_t mapped = ctype.Translate(index, code);
    return mapped == code ? 0 : mapped;
  }
  if (index < 0 || static_cast<std::size_t>(index) >= tables.size()) return 0;
  return tables[static_cast<std::size_t>(index)].table.At(code);
}

namespace {

// The translated code of one character by its table entry alone.
uint16_t Mapped(uint16_t entry, uint16_t code, uint8_t family) {
  if (entry == 0 || entry == 0xFFFF) return code;
  return family == SL_FAMILY_NARROW ? static_cast<uint16_t>(entry & 0xFF) : entry;
}

std::size_t UnitsOfCodes(const Family& f, const Codes& codes, std::size_t from, std::size_t to) {
  std::size_t n = 0;
  for (std::size_t i = from; i < to; ++i) n += f.UnitsOf(codes[i]);
  return n;
}

}  // namespace

uint16_t UpperOne(const CtypeCategory& ctype, uint8_t family, uint16_t code) {
  if (family == SL_FAMILY_NARROW) code &= 0xFF;
  return Mapped(RawEntry(ctype, ctype.upperIndex(), code), code, family);
}

bool TranslateCodes(const Family& f, const CtypeCategory& ctype, int index, const Codes& src,
                    std::size_t srcLimit, std::size_t room, bool keepRest, Codes& out) {
  out.clear();
  const std::size_t end = std::min(src.size(), srcLimit);
  const auto& tables = ctype.translationTables();
  const Translation* table =
      index >= 0 && static_cast<std::size_t>(index) < tables.size() ? &tables[static_cast<std::size_t>(index)] : nullptr;
  bool multiUsed = false;
  std::size_t used = 0;
  for (std::size_t i = 0; i < end;) {
    const uint16_t code = f.family == SL_FAMILY_NARROW ? static_cast<uint16_t>(src[i] & 0xFF) : src[i];
    const uint16_t entry = RawEntry(ctype, index, code);
    if (entry == 0xFFFF && table != nullptr) {
      const uint16_t first = table->first[code & 0xFF];
      bool taken = false;
      for (std::size_t e = first; first != 0xFFFF && e < table->entries.size() && !taken; ++e) {
        const MultiCharEntry& m = table->entries[e];
        if (m.source.empty() || i + m.source.size() > end) continue;
        if (src.compare(i, m.source.size(), m.source) != 0) continue;
        std::size_t need = UnitsOfCodes(f, m.target, 0, m.target.size());
        if (keepRest) need += UnitsOfCodes(f, src, i + m.source.size(), end);
        if (used + need > room) continue;
        out += m.target;
        used += UnitsOfCodes(f, m.target, 0, m.target.size());
        i += m.source.size();
        multiUsed = taken = true;
      }
      if (taken) continue;
    }
    const uint16_t mapped = Mapped(entry, code, f.family);
    const std::size_t units = f.UnitsOf(mapped);
    if (used + units > room) break;
    out.push_back(mapped);
    used += units;
    ++i;
  }
  return multiUsed;
}

}  // namespace slw::casemap

using namespace slw;
using namespace slw::casemap;

namespace {

// Translation of one character by its table alone.
uint16_t ToTranslationOf(hlocale h, uint8_t family, uint16_t c, int index) {
  const CLocale* l = LocaleOf(h, family);
  const CtypeCategory* ct = l != nullptr ? CtypeOf(*l) : nullptr;
  if (ct == nullptr) return c;
  if (family == SL_FAMILY_NARROW) c &= 0xFF;
  if (index < 0 || static_cast<std::size_t>(index) >= TranslationCount(*ct)) return c;
  return Mapped(RawEntry(*ct, index, c), c, family);
}

int UpperIndex(const CtypeCategory& ct) { return ct.upperIndex(); }
int LowerIndex(const CtypeCategory& ct) { return ct.lowerIndex(); }

// One character through the toupper or tolower table.
uint16_t CaseOne(hlocale h, uint8_t family, uint16_t c, bool upper) {
  const CLocale* l = LocaleOf(h, family);
  const CtypeCategory* ct = l != nullptr ? CtypeOf(*l) : nullptr;
  if (ct == nullptr) return c;
  return ToTranslationOf(h, family, c, upper ? ct->upperIndex() : ct->lowerIndex());
}

// The Ex and Translation forms: translate into out (outSize units of room
// besides the terminator). A translation the locale lacks copies the string
// unchanged (the Upper/Lower forms) or writes nothing (the Translation forms).
int TranslateInto(hlocale h, uint8_t family, void* out, const void* s, int index, bool copyWithout,
                  std::size_t n, uint16_t outSize) {
  if (out == nullptr) return 0;
  const CLocale* l = LocaleOf(h, family);
  Family f{family, l};
  f.Terminate(out, 0);
  if (l == nullptr || s == nullptr) return 0;
  try {
    const CtypeCategory* ct = CtypeOf(*l);
    Decoded d = f.Decode(s, n);
    Codes result;
    bool multi = false;
    if (ct != nullptr && index >= 0 && static_cast<std::size_t>(index) < TranslationCount(*ct)) {
      multi = TranslateCodes(f, *ct, index, d.codes, d.codes.size(), outSize, false, result);
    } else if (copyWithout) {
      std::size_t used = 0;
      for (char16_t c : d.codes) {
        if (used + f.UnitsOf(c) > outSize) break;
        used += f.UnitsOf(c);
        result.push_back(c);
      }
    } else {
      return 0;
    }
    f.Terminate(out, f.Encode(result, out));
    return multi ? 1 : 0;
  } catch (const std::bad_alloc&) {
    return 0;
  }
}

// Whether a multi-character entry can be taken in place at s[i] (within the
// first n units): mapping in place, an entry is taken only when the rest
// still fits, which after one-to-one mappings holds only for an entry whose
// target is no longer than its source.
template <typename Unit>
bool EntryFitsInPlace(const Translation& t, uint16_t code, const Unit* s, std::size_t i, std::size_t n) {
  const uint16_t first = t.first[code & 0xFF];
  if (first == 0xFFFF) return false;
  for (std::size_t e = first; e < t.entries.size(); ++e) {
    const MultiCharEntry& m = t.entries[e];
    if (m.source.empty() || m.target.size() > m.source.size() || m.source.size() > n - i) continue;
    std::size_t k = 0;
    while (k < m.source.size() && s[i + k] != 0 &&
           static_cast<char16_t>(static_cast<std::make_unsigned_t<Unit>>(s[i + k])) == m.source[k])
      ++k;
    if (k == m.source.size()) return true;
  }
  return false;
}

// The narrow and wide characters mapped where they lie by their table
// entries: the units up to the first that a multi-character entry may
// replace (or to the end, or n); a character whose entries cannot be taken
// in place stays as it is. Returns how many were passed.
template <typename Unit>
std::size_t MapByTable(const CtypeCategory& ct, int index, Unit* s, std::size_t n) {
  const auto& tables = ct.translationTables();
  std::size_t i = 0;
  if (tables.empty()) {  // the built-in POSIX data
    for (; i < n && s[i] != 0; ++i)
      s[i] = static_cast<Unit>(ct.Translate(index, static_cast<std::make_unsigned_t<Unit>>(s[i])));
    return i;
  }
  if (static_cast<std::size_t>(index) >= tables.size()) return 0;
  const Translation& t = tables[static_cast<std::size_t>(index)];
  if constexpr (sizeof(Unit) == 1) {
    static const std::array<uint16_t, 256> kNone{};
    const std::array<uint16_t, 256>& page =
        t.table.page[0] < 0 ? kNone : t.table.pages[static_cast<std::size_t>(t.table.page[0])];
    // Every byte is written through a map of bytes, so the loop takes no
    // branch on the text but at its end and at a byte of entries.
    uint8_t map[256];
    bool stop[256];
    for (unsigned c = 0; c < 256; ++c) {
      const uint16_t e = page[c];
      map[c] = e == 0 || e == 0xFFFF ? static_cast<uint8_t>(c) : static_cast<uint8_t>(e & 0xFF);
      stop[c] = c == 0 || e == 0xFFFF;
    }
    for (; i < n; ++i) {
      const uint8_t c = static_cast<uint8_t>(s[i]);
      if (stop[c]) {
        if (c == 0 || EntryFitsInPlace(t, c, s, i, n)) break;
        continue;
      }
      s[i] = static_cast<Unit>(map[c]);
    }
  } else {
    for (; i < n && s[i] != 0; ++i) {
      const uint16_t c = static_cast<uint16_t>(s[i]);
      const uint16_t e = t.table.At(c);
      if (e == 0xFFFF) {
        if (EntryFitsInPlace(t, c, s, i, n)) break;
        continue;
      }
      s[i] = static_cast<Unit>(e == 0 ? c : e);
    }
  }
  return i;
}

// In place: the first n characters mapped, the rest kept; an expansion is
// taken only while the rest still fits in the string.
void* MapInPlace(hlocale h, uint8_t family, void* string, std::size_t n, bool upper) {
  if (string == nullptr) return string;
  const CLocale* l = LocaleOf(h, family);
  const CtypeCategory* ct = l != nullptr ? CtypeOf(*l) : nullptr;
  if (ct == nullptr) return string;
  const int index = upper ? UpperIndex(*ct) : LowerIndex(*ct);
  if (index < 0) return string;
  // Characters of one unit that map one to one go first, by their tables;
  // the rest (from a character with multi-character entries on) as below,
  // which is the same over what is left.
  void* s = string;
  if (family == SL_FAMILY_NARROW) {
    auto* b = static_cast<char*>(string);
    const std::size_t done = MapByTable(*ct, index, b, n);
    if (done == n || b[done] == '\0') return string;
    s = b + done;
    n -= done;
  } else if (family == SL_FAMILY_WIDE) {
    auto* w = static_cast<SL_WCHAR*>(string);
    const std::size_t done = MapByTable(*ct, index, w, n);
    if (done == n || w[done] == 0) return string;
    s = w + done;
    n -= done;
  }
  Family f{family, l};
  try {
    Decoded whole = f.Decode(s);
    const std::size_t mappedChars = std::min(n, whole.codes.size());
    const std::size_t prefixUnits = whole.offsets[mappedChars];
    Codes out;
    TranslateCodes(f, *ct, index, whole.codes, mappedChars, prefixUnits, true, out);
    out.append(whole.codes, mappedChars, Codes::npos);
    f.Terminate(s, f.Encode(out, s));
  } catch (const std::bad_alloc&) {
  }
  return string;
}

}  // namespace

#define CASEMAP_EXPORTS(P, FAMILY, CH, CHARARG)                                                           \
  SL_EXPORT CHARARG P##ToUpper(hlocale h, CHARARG c) {                                                   \
    return static_cast<CHARARG>(CaseOne(h, FAMILY, static_cast<std::make_unsigned_t<CHARARG>>(c), true));  \
  }                                                                                                       \
  SL_EXPORT CHARARG P##ToLower(hlocale h, CHARARG c) {                                                   \
    return static_cast<CHARARG>(CaseOne(h, FAMILY, static_cast<std::make_unsigned_t<CHARARG>>(c), false)); \
  }                                                                                                       \
  SL_EXPORT CH* P##StrUpper(hlocale h, CH* s) { return static_cast<CH*>(MapInPlace(h, FAMILY, s, SIZE_MAX, true)); } \
  SL_EXPORT CH* P##StrnUpper(hlocale h, CH* s, uint16_t n) { return static_cast<CH*>(MapInPlace(h, FAMILY, s, n, true)); } \
  SL_EXPORT CH* P##StrLower(hlocale h, CH* s) { return static_cast<CH*>(MapInPlace(h, FAMILY, s, SIZE_MAX, false)); } \
  SL_EXPORT CH* P##StrnLower(hlocale h, CH* s, uint16_t n) { return static_cast<CH*>(MapInPlace(h, FAMILY, s, n, false)); } \
  SL_EXPORT int P##StrUpperEx(hlocale h, CH* out, const CH* s, uint16_t outSize) {                       \
    return CaseInto(h, FAMILY, out, s, true, SIZE_MAX, outSize);                                          \
  }                                                                                                       \
  SL_EXPORT int P##StrnUpperEx(hlocale h, CH* out, const CH* s, uint16_t n, uint16_t outSize) {          \
    return CaseInto(h, FAMILY, out, s, true, n, outSize);                                                 \
  }                                                                                                       \
  SL_EXPORT int P##StrLowerEx(hlocale h, CH* out, const CH* s, uint16_t outSize) {                       \
    return CaseInto(h, FAMILY, out, s, false, SIZE_MAX, outSize);                                         \
  }                                                                                                       \
  SL_EXPORT int P##StrnLowerEx(hlocale h, CH* out, const CH* s, uint16_t n, uint16_t outSize) {          \
    return CaseInto(h, FAMILY, out, s, false, n, outSize);                                                \
  }                                                                                                       \
  SL_EXPORT int P##StrTranslation(hlocale h, CH* out, const CH* s, uint16_t translation, uint16_t outSize) { \
    return TranslateInto(h, FAMILY, out, s, translation, false, SIZE_MAX, outSize);                       \
  }                                                                                                       \
  SL_EXPORT int P##StrnTranslation(hlocale h, CH* out, const CH* s, uint16_t translation, uint16_t n,    \
                                   uint16_t outSize) {                                                    \
    return TranslateInto(h, FAMILY, out, s, translation, false, n, outSize);                              \
  }

namespace {
int CaseInto(hlocale h, uint8_t family, void* out, const void* s, bool upper, std::size_t n, uint16_t outSize) {
  const CLocale* l = LocaleOf(h, family);
  const CtypeCategory* ct = l != nullptr ? CtypeOf(*l) : nullptr;
  const int index = ct == nullptr ? -1 : upper ? ct->upperIndex() : ct->lowerIndex();
  return TranslateInto(h, family, out, s, index, true, n, outSize);
}
}  // namespace

CASEMAP_EXPORTS(SLN_, SL_FAMILY_NARROW, char, char)
CASEMAP_EXPORTS(SLW_, SL_FAMILY_WIDE, SL_WCHAR, SL_WCHAR)
CASEMAP_EXPORTS(SLM_, SL_FAMILY_MULTI, char, uint16_t)

SL_EXPORT char SLN_ToTranslation(hlocale h, char c, uint16_t translation) {
  return static_cast<char>(ToTranslationOf(h, SL_FAMILY_NARROW, static_cast<uint8_t>(c), translation));
}
SL_EXPORT SL_WCHAR SLW_ToTranslation(hlocale h, SL_WCHAR c, uint16_t translation) {
  return ToTranslationOf(h, SL_FAMILY_WIDE, c, translation);
}
SL_EXPORT uint16_t SLM_ToTranslation(hlocale h, uint16_t c, uint16_t translation) {
  return ToTranslationOf(h, SL_FAMILY_MULTI, c, translation);
}
