// Exports of the packed decimals: the digit-string record both ways and the
// parse of text of the three families.
#include <cstring>
#include <string_view>

#include "bcd.h"
#include "categories.h"
#include "locale_object.h"
#include "status.h"

using namespace slw;

static_assert(sizeof(SL_BCD) == bcd::kValueSize, "the packed decimal is 34 bytes");

namespace {

uint8_t* Bytes(SL_BCD* value) { return reinterpret_cast<uint8_t*>(value); }
const uint8_t* Bytes(const SL_BCD* value) { return reinterpret_cast<const uint8_t*>(value); }

// The numeric and monetary conventions of a locale for the parse, from its
// LC_NUMERIC and LC_MONETARY categories (the built-in "POSIX" ones where a
// locale has none of its own), as views of the categories' texts.
bcd::ParseConventions ConventionsOf(const CLocale& locale) {
  bcd::ParseConventions c = bcd::PosixParseConventions();
  if (const NumericCategory* n = NumericOf(locale)) {
    if (!n->decimalPoint.empty()) c.decimalPoint = n->decimalPoint;
    c.thousandsSeparator = n->thousands;
  }
  if (const MonetaryCategory* m = MonetaryOf(locale)) {
    c.monetaryDecimalPoint = m->decimalPoint;
    c.monetaryThousandsSeparator = m->thousands;
    c.currencySymbol = m->symbol;
    c.intlCurrencySymbol = m->intlSymbol;
    c.positiveSign = m->positiveSign;
    c.negativeSign = m->negativeSign;
  }
  return c;
}

// The parse reads the text where it lies: no copy, no allocation.
template <class Parse>
LocaleStatus StrBcd(hlocale h, SL_BCD* value, Parse parse) {
  if (value == nullptr) return kBadArgument;
  std::memset(value, 0, sizeof *value);
  const CLocale* locale = FindLocale(h);
  if (locale == nullptr) return kBadHandle;
  return parse(*locale, ConventionsOf(*locale), Bytes(value));
}

template <class CH>
std::basic_string_view<CH> ViewOf(const CH* text) {
  return text != nullptr ? std::basic_string_view<CH>(text) : std::basic_string_view<CH>();
}

}  // namespace

SL_EXPORT LocaleStatus SL_BCDToBCDStr(SL_BCDSTR* record, const SL_BCD* value) {
  if (record == nullptr || value == nullptr) return kBadArgument;
  bcd::DigitString d;
  bcd::Unpack(Bytes(value), d);
  std::memset(record, 0, sizeof *record);
  record->sign = d.negative ? 1 : 0;
  record->flag = d.flag ? 1 : 0;
  record->scale = d.scale;
  record->precision = d.precision;
  std::memcpy(record->digits, d.digits, sizeof d.digits);
  return kOk;
}

SL_EXPORT LocaleStatus SL_BCDFromBCDStr(SL_BCD* value, const SL_BCDSTR* record) {
  if (value == nullptr) return kBadArgument;
  if (record == nullptr) {
    std::memset(value, 0, sizeof *value);
    return kBadArgument;
  }
  bcd::DigitString d;
  d.negative = record->sign != 0;
  d.flag = record->flag != 0;
  d.scale = record->scale;
  d.precision = record->precision;
  static_assert(sizeof d.digits == sizeof record->digits, "digit strings of 64 digits");
  std::memcpy(d.digits, record->digits, sizeof d.digits);
  d.digits[bcd::kMaxDigits] = '\0';
  return bcd::Pack(d, Bytes(value)) ? kOk : kBadArgument;
}

SL_EXPORT LocaleStatus SLN_StrBCD(hlocale h, const char* text, SL_BCD* value) {
  return StrBcd(h, value, [&](const CLocale&, const bcd::ParseConventions& c, uint8_t* out) {
    return bcd::Parse(ViewOf(text), nullptr, c, out);
  });
}

SL_EXPORT LocaleStatus SLW_StrBCD(hlocale h, const SL_WCHAR* text, SL_BCD* value) {
  return StrBcd(h, value, [&](const CLocale&, const bcd::ParseConventions& c, uint8_t* out) {
    return bcd::Parse(ViewOf(text), c, out);
  });
}

SL_EXPORT LocaleStatus SLM_StrBCD(hlocale h, const char* text, SL_BCD* value) {
  return StrBcd(h, value, [&](const CLocale& l, const bcd::ParseConventions& c, uint8_t* out) {
    const bool multi = l.family() == SL_FAMILY_MULTI && l.leadBytes.size() >= 32;
    return bcd::Parse(ViewOf(text), multi ? l.leadBytes.data() : nullptr, c, out);
  });
}
