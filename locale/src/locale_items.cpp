// Locale items (SL_GetLocaleItem and its family back-ends) and the
// conventions records of the numeric and monetary categories.
#include <algorithm>
#include <cstring>

#include "categories.h"
#include "ctype_class.h"
#include "lock.h"

namespace slw {

namespace {

// Julian day number of a Gregorian date (Fliegel and Van Flandern).
int32_t JulianDay(int32_t year, int32_t month, int32_t day) {
  int32_t a = (month - 14) / 12;
  return day - 32075 + 1461 * (year + 4800 + a) / 4 + 367 * (month - 2 - 12 * a) / 12 -
         3 * ((year + 4900 + a) / 100) / 4;
}

// How many units of a text fit `room` units without splitting a character:
// a multi-byte lead byte never goes without its trail byte.
std::size_t Fit(const CLocale& l, const Text& text, std::size_t room) {
  if (l.family() != SL_FAMILY_MULTI) return std::min(text.size(), room);
  std::size_t n = 0;
  while (n < text.size()) {
    const std::size_t step =
        n + 1 < text.size() && text[n + 1] != 0 && IsLeadByte(l, static_cast<uint8_t>(text[n])) ? 2 : 1;
    if (n + step > room) break;
    n += step;
  }
  return n;
}

// Writes a text as a terminated string of the family (16-bit units for the
// wide family, bytes otherwise) in at most `room` bytes, terminator
// included. A full 64-byte field of a wide or multi-byte library record
// would need more than the caller's buffer: it is cut at a whole character.
void PutText(const CLocale& l, void* out, const Text& text, std::size_t room) {
  auto* o = static_cast<uint8_t*>(out);
  if (l.family() == SL_FAMILY_WIDE) {
    const std::size_t n = Fit(l, text, room / 2 - 1);
    for (std::size_t i = 0; i < n; ++i) WriteU16(o + 2 * i, text[i]);
    WriteU16(o + 2 * n, 0);
    return;
  }
  const std::size_t n = Fit(l, text, room - 1);
  for (std::size_t i = 0; i < n; ++i) o[i] = static_cast<uint8_t>(text[i]);
  o[n] = 0;
}

// The first character of a text: one unit, or a lead byte and its trail
// byte in the multi-byte family.
Text FirstChar(const CLocale& l, const Text& t) {
  if (t.empty()) return Text();
  std::size_t n = t.size() > 1 && t[1] != 0 && IsLeadByte(l, static_cast<uint8_t>(t[0])) ? 2 : 1;
  return t.substr(0, n);
}

Text Widen(const std::string& s) {
  Text t;
  for (char c : s) t.push_back(static_cast<unsigned char>(c));
  return t;
}

Status Item(const CLocale& l, void* out, uint16_t item) {
  const TimeCategory* time = TimeOf(l);
  const NumericCategory* numeric = NumericOf(l);
  const MonetaryCategory* monetary = MonetaryOf(l);
  const MessagesCategory* messages = MessagesOf(l);
  auto put = [&](const Text& t) {
    PutText(l, out, t, SL_ITEM_SIZE);
    return kOk;
  };
  auto era = [&](int n) -> const Era* {
    return time != nullptr && n >= 1 && static_cast<std::size_t>(n) <= time->eras.size()
               ? &time->eras[static_cast<std::size_t>(n - 1)]
               : nullptr;
  };
  if (item >= 1 && item <= 115 && item != 27 && item != 40) {
    if (time == nullptr) return kNoCategory;
    if (item <= 26) return put(time->texts[item - 1u]);
    if (item <= 39) return put(time->texts[item - 2u]);
    if (item <= 48) return put(time->texts[item - 3u]);
    if (item <= 64) {
      const Era* e = era(item - 48);
      return put(e != nullptr ? e->name : Text());
    }
    if (item <= 80) {
      const Era* e = era(item - 64);
      return put(e != nullptr ? e->format : Text());
    }
    if (item <= 112) {
      bool start = item <= 96;
      const Era* e = era(start ? item - 80 : item - 96);
      int32_t day = 0;
      if (e != nullptr)
        day = start ? JulianDay(e->startYear, e->startMonth, e->startDay) : JulianDay(e->endYear, e->endMonth, e->endDay);
      WriteU32(static_cast<uint8_t*>(out), static_cast<uint32_t>(day));
      return kOk;
    }
    if (item == 113) return put(time->texts[47]);
    if (item == 114) return put(time->texts[48]);
    return put(time->texts[46]);  // 115, the short date format
  }
  switch (item) {
    case 128: return numeric ? put(FirstChar(l, numeric->decimalPoint)) : kNoCategory;
    case 129: return numeric ? put(FirstChar(l, numeric->thousands)) : kNoCategory;
    case 130: return numeric ? put(numeric->exponent) : kNoCategory;
    case 131: return numeric ? put(numeric->list) : kNoCategory;
    case 148: return monetary ? put(monetary->intlSymbol) : kNoCategory;
    case 149: return monetary ? put(monetary->symbol) : kNoCategory;
    case 150: return monetary ? put(FirstChar(l, monetary->decimalPoint)) : kNoCategory;
    case 151: return monetary ? put(FirstChar(l, monetary->thousands)) : kNoCategory;
    case 152: return monetary ? put(monetary->positiveSign) : kNoCategory;
    case 153: return monetary ? put(monetary->negativeSign) : kNoCategory;
    case 180: return messages ? put(messages->yes) : kNoCategory;
    case 181: return messages ? put(messages->no) : kNoCategory;
    case 182: return messages ? put(messages->third) : kNoCategory;
    case 256: {
      // The full name is as long as it is; the caller sizes for it.
      const Text name = Widen(l.fullName);
      PutText(l, out, name, l.family() == SL_FAMILY_WIDE ? 2 * name.size() + 2 : name.size() + 1);
      return kOk;
    }
    default: return kNoCategory;
  }
}

// Copies a text into a field of `units` units (the last one stays 0), cut
// at a whole character.
template <typename Unit>
void Field(const CLocale& l, Unit* field, std::size_t units, const Text& text) {
  const std::size_t n = Fit(l, text, units - 1);
  for (std::size_t i = 0; i < n; ++i) field[i] = static_cast<Unit>(text[i]);
}
void Bytes(char* field, std::size_t size, const std::string& text) {
  for (std::size_t i = 0; i + 1 < size && i < text.size(); ++i) field[i] = text[i];
}

template <typename Record, typename Unit>
void FillConv(const CLocale& l, Record& r) {
  std::memset(&r, 0, sizeof r);
  auto units = [](const auto& field) { return sizeof(field) / sizeof(Unit); };
  if (const NumericCategory* n = NumericOf(l)) {
    Field<Unit>(l, reinterpret_cast<Unit*>(r.decimalPoint), units(r.decimalPoint), FirstChar(l, n->decimalPoint));
    Field<Unit>(l, reinterpret_cast<Unit*>(r.thousands), units(r.thousands), FirstChar(l, n->thousands));
    Bytes(r.grouping, sizeof r.grouping, n->grouping);
    Field<Unit>(l, reinterpret_cast<Unit*>(r.exponent), units(r.exponent), n->exponent);
    Field<Unit>(l, reinterpret_cast<Unit*>(r.listSeparator), units(r.listSeparator), n->list);
  }
  if (const MonetaryCategory* m = MonetaryOf(l)) {
    Field<Unit>(l, reinterpret_cast<Unit*>(r.intlSymbol), units(r.intlSymbol), m->intlSymbol);
    Field<Unit>(l, reinterpret_cast<Unit*>(r.symbol), units(r.symbol), m->symbol);
    Field<Unit>(l, reinterpret_cast<Unit*>(r.monDecimalPoint), units(r.monDecimalPoint), FirstChar(l, m->decimalPoint));
    Field<Unit>(l, reinterpret_cast<Unit*>(r.monThousands), units(r.monThousands), FirstChar(l, m->thousands));
    Bytes(r.monGrouping, sizeof r.monGrouping, m->grouping);
    Field<Unit>(l, reinterpret_cast<Unit*>(r.positiveSign), units(r.positiveSign), m->positiveSign);
    Field<Unit>(l, reinterpret_cast<Unit*>(r.negativeSign), units(r.negativeSign), m->negativeSign);
    std::memcpy(r.values, m->values.data(), 8);
  }
}

}  // namespace

}  // namespace slw

using namespace slw;

SL_EXPORT LocaleStatus SL_GetLocaleItem(hlocale h, void* out, uint16_t item) {
  LockHold hold;
  CLocale* l = FindLocale(h);
  if (l == nullptr || l->family() < 1 || l->family() > 3) return kBadHandle;
  if (out == nullptr) return kBadArgument;
  return Item(*l, out, item);
}

SL_EXPORT LocaleStatus SLN_GetConvInfo(hlocale h, SL_CONVINFO* out) {
  LockHold hold;
  CLocale* l = FindLocale(h);
  if (l == nullptr || l->family() != SL_FAMILY_NARROW) return kBadHandle;
  if (out == nullptr) return kBadArgument;
  FillConv<SL_CONVINFO, char>(*l, *out);
  return kOk;
}

SL_EXPORT LocaleStatus SLW_GetConvInfo(hlocale h, SL_WCONVINFO* out) {
  LockHold hold;
  CLocale* l = FindLocale(h);
  if (l == nullptr || l->family() != SL_FAMILY_WIDE) return kBadHandle;
  if (out == nullptr) return kBadArgument;
  FillConv<SL_WCONVINFO, SL_WCHAR>(*l, *out);
  return kOk;
}

SL_EXPORT LocaleStatus SLM_GetConvInfo(hlocale h, SL_MCONVINFO* out) {
  LockHold hold;
  CLocale* l = FindLocale(h);
  if (l == nullptr || l->family() != SL_FAMILY_MULTI) return kBadHandle;
  if (out == nullptr) return kBadArgument;
  FillConv<SL_MCONVINFO, char>(*l, *out);
  return kOk;
}
