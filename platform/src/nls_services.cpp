// The national-language services over ICU's locale data: locale information
// as 16-bit text, string compares, case maps and sort keys, character types
// and the lead bytes of a code page.
#include "platform/nls.h"

#include <unicode/coll.h>
#include <unicode/datefmt.h>
#include <unicode/decimfmt.h>
#include <unicode/dcfmtsym.h>
#include <unicode/dtfmtsym.h>
#include <unicode/locid.h>
#include <unicode/smpdtfmt.h>
#include <unicode/ucol.h>
#include <unicode/ucurr.h>
#include <unicode/uchar.h>
#include <unicode/uloc.h>
#include <unicode/unistr.h>

#include <map>
#include <memory>
#include <utility>

namespace platform::nls {
namespace {

std::u16string ToU16(const icu::UnicodeString& s) {
  return std::u16string(s.getBuffer(), static_cast<std::size_t>(s.length()));
}

// A date pattern of ICU as a Windows date picture: weekday, month, day, year
// and era letters translated, quoted text kept quoted, other letters dropped.
std::u16string WindowsDatePicture(const icu::UnicodeString& pattern) {
  std::u16string out;
  const int32_t n = pattern.length();
  for (int32_t i = 0; i < n;) {
    const char16_t c = pattern.charAt(i);
    if (c == u'\'') {
      int32_t j = i + 1;
      while (j < n && pattern.charAt(j) != u'\'') ++j;
      for (int32_t k = i; k <= j && k < n; ++k) out += pattern.charAt(k);
      i = j + 1;
      continue;
    }
    if (!((c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'))) {
      out += c;
      ++i;
      continue;
    }
    int32_t run = 1;
    while (i + run < n && pattern.charAt(i + run) == c) ++run;
    i += run;
    switch (c) {
      case u'E': out += run >= 4 ? u"dddd" : u"ddd"; break;
      case u'M':
      case u'L': out += run >= 4 ? u"MMMM" : run == 3 ? u"MMM" : run == 2 ? u"MM" : u"M"; break;
      case u'd': out += run >= 2 ? u"dd" : u"d"; break;
      case u'y': out += run == 2 ? u"yy" : u"yyyy"; break;
      case u'G': out += u"gg"; break;
      default: break;
    }
  }
  return out;
}

std::u16string DatePattern(const icu::Locale& loc, icu::DateFormat::EStyle style, bool time) {
  std::unique_ptr<icu::DateFormat> f(time ? icu::DateFormat::createTimeInstance(style, loc)
                                          : icu::DateFormat::createDateInstance(style, loc));
  auto* simple = dynamic_cast<icu::SimpleDateFormat*>(f.get());
  if (simple == nullptr) return {};
  icu::UnicodeString pattern;
  simple->toPattern(pattern);
  return ToU16(pattern);
}

// ITIME, ITLZERO and STIME from the medium time pattern.
bool TimeInfo(const icu::Locale& loc, uint32_t type, std::u16string& out) {
  const std::u16string p = DatePattern(loc, icu::DateFormat::kMedium, true);
  std::size_t at = p.find_first_of(u"HhKk");
  if (at == std::u16string::npos) return false;
  const char16_t letter = p[at];
  std::size_t end = at;
  while (end < p.size() && p[end] == letter) ++end;
  if (type == kLocaleITime) out = letter == u'H' || letter == u'k' ? u"1" : u"0";
  if (type == kLocaleITLZero) out = end - at >= 2 ? u"1" : u"0";
  if (type == kLocaleSTime) {
    for (std::size_t i = end; i < p.size(); ++i) {
      const char16_t c = p[i];
      if ((c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z')) break;
      if (c != u'\'') out += c;
    }
  }
  return true;
}

std::u16string GroupingText(int primary, int secondary) {
  if (primary <= 0) return u"0";
  std::string text = std::to_string(primary);
  if (secondary > 0 && secondary != primary) text.append(";").append(std::to_string(secondary));
  text += ";0";
  return std::u16string(text.begin(), text.end());
}

std::unique_ptr<icu::DecimalFormat> NumberFormatOf(const icu::Locale& loc, bool currency) {
  UErrorCode status = U_ZERO_ERROR;
  std::unique_ptr<icu::NumberFormat> f(currency ? icu::NumberFormat::createCurrencyInstance(loc, status)
                                                : icu::NumberFormat::createInstance(loc, status));
  if (U_FAILURE(status)) return nullptr;
  auto* d = dynamic_cast<icu::DecimalFormat*>(f.get());
  if (d == nullptr) return nullptr;
  f.release();
  return std::unique_ptr<icu::DecimalFormat>(d);
}

bool IsPatternBlank(char16_t c) { return c == u' ' || c == 0x00A0 || c == 0x202F; }

// A currency sub-pattern reduced to its shape: "$" the symbol, "1" the
// number, "-", "(", ")" and " " for any blank between them.
std::u16string CurrencyShape(const std::u16string& sub) {
  std::u16string shape;
  bool inNumber = false;
  for (char16_t c : sub) {
    const bool numberChar = c == u'#' || c == u'0' || c == u',' || c == u'.' || (c >= u'1' && c <= u'9');
    if (numberChar) {
      if (!inNumber) shape += u'1';
      inNumber = true;
      continue;
    }
    inNumber = false;
    if (c == 0x00A4) shape += u'$';
    else if (c == u'-' || c == u'(' || c == u')') shape += c;
    else if (IsPatternBlank(c) && !shape.empty() && shape.back() != u' ') shape += u' ';
  }
  while (!shape.empty() && shape.back() == u' ') shape.pop_back();
  while (!shape.empty() && shape.front() == u' ') shape.erase(0, 1);
  return shape;
}

bool CurrencyInfo(const icu::Locale& loc, uint32_t type, std::u16string& out) {
  auto f = NumberFormatOf(loc, true);
  if (f == nullptr) return false;
  icu::UnicodeString pattern;
  f->toPattern(pattern);
  const std::u16string p = ToU16(pattern);
  const std::size_t semi = p.find(u';');
  const std::u16string positive = CurrencyShape(p.substr(0, semi));
  static const std::u16string kPositive[] = {u"$1", u"1$", u"$ 1", u"1 $"};
  static const std::u16string kNegative[] = {u"($1)", u"-$1",  u"$-1",  u"$1-",  u"(1$)",  u"-1$",
                                             u"1-$",  u"1$-",  u"-1 $", u"-$ 1", u"1 $-", u"$ 1-",
                                             u"$ -1", u"1- $", u"($ 1)", u"(1 $)"};
  if (type == kLocaleICurrency) {
    for (int i = 0; i < 4; ++i)
      if (kPositive[i] == positive) {
        out = std::u16string(1, static_cast<char16_t>(u'0' + i));
        return true;
      }
    out = u"0";
    return true;
  }
  const std::u16string negative = semi == std::u16string::npos ? u"-" + positive : CurrencyShape(p.substr(semi + 1));
  for (int i = 0; i < 16; ++i)
    if (kNegative[i] == negative) {
      std::string text = std::to_string(i);
      out.assign(text.begin(), text.end());
      return true;
    }
  out = u"1";
  return true;
}

std::string IsoCurrency(const std::string& id) {
  UChar code[4] = {};
  UErrorCode status = U_ZERO_ERROR;
  ucurr_forLocale(id.c_str(), code, 4, &status);
  if (U_FAILURE(status)) return {};
  std::string out;
  for (int i = 0; i < 3 && code[i] != 0; ++i) out += static_cast<char>(code[i]);
  return out;
}

// The thread's converter of a code page (ICU converters are not shared
// between threads), kept for the compares and maps that follow; it stops
// at a character without a mapping.
UConverter* ConverterOf(int codePage) {
  thread_local std::map<int, Converter> cache;
  auto it = cache.find(codePage);
  if (it != cache.end()) return it->second.get();
  Converter c = OpenCodePage(codePage);
  if (c == nullptr) return nullptr;
  UErrorCode status = U_ZERO_ERROR;
  ucnv_setFromUCallBack(c.get(), UCNV_FROM_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
  return cache.emplace(codePage, std::move(c)).first->second.get();
}

// The text of `s` in a code page, or false when a character has no mapping.
bool Encode(int codePage, std::u16string_view s, std::string& out) {
  out.clear();
  UConverter* c = ConverterOf(codePage);
  if (c == nullptr) return false;
  ucnv_reset(c);
  std::string buffer(s.size() * 4 + 4, '\0');
  UErrorCode status = U_ZERO_ERROR;
  const int32_t n = ucnv_fromUChars(c, buffer.data(), static_cast<int32_t>(buffer.size()), s.data(),
                                    static_cast<int32_t>(s.size()), &status);
  if (U_FAILURE(status)) return false;
  out.assign(buffer.data(), static_cast<std::size_t>(n));
  return true;
}

std::u16string Decode(int codePage, std::string_view s) {
  UConverter* c = ConverterOf(codePage);
  if (c == nullptr) return std::u16string(s.begin(), s.end());
  ucnv_reset(c);
  std::u16string buffer(s.size() * 2 + 2, u'\0');
  UErrorCode status = U_ZERO_ERROR;
  const int32_t n = ucnv_toUChars(c, buffer.data(), static_cast<int32_t>(buffer.size()), s.data(),
                                  static_cast<int32_t>(s.size()), &status);
  if (U_FAILURE(status)) return {};
  buffer.resize(static_cast<std::size_t>(n));
  return buffer;
}

// One collator per thread, LCID and flags (ICU collators are not to be used
// from two threads at once).
UCollator* CollatorOf(uint32_t lcid, uint32_t flags) {
  struct Close {
    void operator()(UCollator* c) const { ucol_close(c); }
  };
  thread_local std::map<std::pair<uint32_t, uint32_t>, std::unique_ptr<UCollator, Close>> cache;
  flags &= kNormIgnoreCase | kNormIgnoreNonSpace | kNormIgnoreSymbols;
  auto key = std::make_pair(lcid, flags);
  auto it = cache.find(key);
  if (it != cache.end()) return it->second.get();
  const std::string id = LocaleOfLcid(lcid);
  if (id.empty()) return nullptr;
  UErrorCode status = U_ZERO_ERROR;
  UCollator* c = ucol_open(id.c_str(), &status);
  if (U_FAILURE(status) || c == nullptr) return nullptr;
  if ((flags & kNormIgnoreNonSpace) != 0) {
    ucol_setStrength(c, UCOL_PRIMARY);
    if ((flags & kNormIgnoreCase) == 0) ucol_setAttribute(c, UCOL_CASE_LEVEL, UCOL_ON, &status);
  } else if ((flags & kNormIgnoreCase) != 0) {
    ucol_setStrength(c, UCOL_SECONDARY);
  }
  if ((flags & kNormIgnoreSymbols) != 0) ucol_setAttribute(c, UCOL_ALTERNATE_HANDLING, UCOL_SHIFTED, &status);
  cache.emplace(key, std::unique_ptr<UCollator, Close>(c));
  return c;
}

std::string SortKeyOf(UCollator* c, std::u16string_view s) {
  std::string key(s.size() * 8 + 16, '\0');
  for (;;) {
    const int32_t n = ucol_getSortKey(c, s.data(), static_cast<int32_t>(s.size()),
                                      reinterpret_cast<uint8_t*>(key.data()), static_cast<int32_t>(key.size()));
    if (n <= 0) return {};
    if (static_cast<std::size_t>(n) <= key.size()) {
      key.resize(static_cast<std::size_t>(n));  // ends with ICU's 0 byte
      return key;
    }
    key.resize(static_cast<std::size_t>(n));
  }
}

UChar32 CaseOf(UChar32 c, uint32_t flags) {
  return (flags & kLcmapUppercase) != 0 ? u_toupper(c) : u_tolower(c);
}

std::u16string MapCase(uint32_t flags, std::u16string_view src) {
  std::u16string out;
  for (std::size_t i = 0; i < src.size(); ++i) {
    UChar32 c = src[i];
    if (U16_IS_LEAD(c) && i + 1 < src.size() && U16_IS_TRAIL(src[i + 1])) c = U16_GET_SUPPLEMENTARY(c, src[++i]);
    const UChar32 m = CaseOf(c, flags);
    if (m > 0xFFFF) {
      out += U16_LEAD(m);
      out += U16_TRAIL(m);
    } else {
      out += static_cast<char16_t>(m);
    }
  }
  return out;
}

// The characters of a byte string with their byte lengths in a code page.
std::vector<std::pair<std::string_view, std::u16string>> CharactersOf(int codePage, std::string_view s) {
  const std::vector<bool> lead = LeadBytesOf(codePage);
  std::vector<std::pair<std::string_view, std::u16string>> out;
  for (std::size_t i = 0; i < s.size();) {
    const std::size_t n = lead[static_cast<uint8_t>(s[i])] && i + 1 < s.size() ? 2 : 1;
    std::string_view bytes = s.substr(i, n);
    out.emplace_back(bytes, Decode(codePage, bytes));
    i += n;
  }
  return out;
}

}  // namespace

uint32_t ResolveLcid(uint32_t lcid) {
  if (lcid != 0) return lcid;
  return uloc_getLCID(uloc_getDefault());
}

int AnsiCodePageOf(uint32_t lcid) {
  // The last answer of the thread: compares ask for it on every call.
  thread_local uint32_t lastLcid = 0;
  thread_local int lastPage = 0;
  if (lcid != 0 && lcid == lastLcid) return lastPage;
  std::string page;
  if (!GetLocaleInfo(lcid, kLocaleIDefaultAnsiCodePage, page)) return 1252;
  const int n = std::atoi(page.c_str());
  lastLcid = lcid;
  lastPage = n > 0 ? n : 1252;
  return lastPage;
}

std::string EncodeInCodePage(int codePage, std::u16string_view s) {
  std::string out;
  if (Encode(codePage, s, out)) return out;
  // Character by character: one the page lacks becomes "?".
  out.clear();
  for (char16_t c : s) {
    std::string one;
    out += Encode(codePage, std::u16string_view(&c, 1), one) ? one : std::string("?");
  }
  return out;
}

bool GetLocaleInfoW(uint32_t lcid, uint32_t type, std::u16string& out) {
  out.clear();
  lcid = ResolveLcid(lcid);
  const std::string id = LocaleOfLcid(lcid);
  if (id.empty()) return false;
  const icu::Locale loc(id.c_str());
  UErrorCode status = U_ZERO_ERROR;
  if (type >= kLocaleSDayName1 && type < kLocaleSAbbrevMonthName1 + 12) {
    icu::DateFormatSymbols symbols(loc, status);
    if (U_FAILURE(status)) return false;
    int32_t count = 0;
    const icu::UnicodeString* names = nullptr;
    int32_t index = 0;
    if (type < kLocaleSMonthName1) {
      const bool abbreviated = type >= kLocaleSAbbrevDayName1;
      // Windows counts from Monday, ICU from Sunday (index 1).
      const uint32_t day = type - (abbreviated ? kLocaleSAbbrevDayName1 : kLocaleSDayName1);
      names = symbols.getWeekdays(count, icu::DateFormatSymbols::FORMAT,
                                  abbreviated ? icu::DateFormatSymbols::ABBREVIATED : icu::DateFormatSymbols::WIDE);
      index = static_cast<int32_t>((day + 1) % 7 + 1);
    } else {
      const bool abbreviated = type >= kLocaleSAbbrevMonthName1;
      names = symbols.getMonths(count, icu::DateFormatSymbols::FORMAT,
                                abbreviated ? icu::DateFormatSymbols::ABBREVIATED : icu::DateFormatSymbols::WIDE);
      index = static_cast<int32_t>(type - (abbreviated ? kLocaleSAbbrevMonthName1 : kLocaleSMonthName1));
    }
    if (names == nullptr || index >= count) return false;
    out = ToU16(names[index]);
    return true;
  }
  switch (type) {
    case kLocaleS1159:
    case kLocaleS2359: {
      icu::DateFormatSymbols symbols(loc, status);
      if (U_FAILURE(status)) return false;
      int32_t count = 0;
      const icu::UnicodeString* ampm = symbols.getAmPmStrings(count);
      if (count < 2) return false;
      out = ToU16(ampm[type == kLocaleS1159 ? 0 : 1]);
      return true;
    }
    case kLocaleSLongDate:
      out = WindowsDatePicture(icu::UnicodeString(DatePattern(loc, icu::DateFormat::kFull, false).c_str()));
      return !out.empty();
    case kLocaleSShortDate:
      out = WindowsDatePicture(icu::UnicodeString(DatePattern(loc, icu::DateFormat::kShort, false).c_str()));
      return !out.empty();
    case kLocaleITime:
    case kLocaleITLZero:
    case kLocaleSTime:
      return TimeInfo(loc, type, out);
    case kLocaleSDecimal:
    case kLocaleSThousand:
    case kLocaleSMonDecimalSep:
    case kLocaleSMonThousandSep:
    case kLocaleSCurrency:
    case kLocaleSList: {
      icu::DecimalFormatSymbols symbols(loc, status);
      if (U_FAILURE(status)) return false;
      using S = icu::DecimalFormatSymbols;
      const S::ENumberFormatSymbol which = type == kLocaleSDecimal          ? S::kDecimalSeparatorSymbol
                                           : type == kLocaleSThousand       ? S::kGroupingSeparatorSymbol
                                           : type == kLocaleSMonDecimalSep  ? S::kMonetarySeparatorSymbol
                                           : type == kLocaleSMonThousandSep ? S::kMonetaryGroupingSeparatorSymbol
                                           : type == kLocaleSCurrency       ? S::kCurrencySymbol
                                                                            : S::kDecimalSeparatorSymbol;
      out = ToU16(symbols.getSymbol(which));
      if (type == kLocaleSList) out = out == u"," ? u";" : u",";
      return true;
    }
    case kLocaleSGrouping:
    case kLocaleSMonGrouping: {
      auto f = NumberFormatOf(loc, type == kLocaleSMonGrouping);
      if (f == nullptr) return false;
      out = f->isGroupingUsed() ? GroupingText(f->getGroupingSize(), f->getSecondaryGroupingSize()) : u"0";
      return true;
    }
    case kLocaleSIntlSymbol: {
      const std::string code = IsoCurrency(id);
      out.assign(code.begin(), code.end());
      return !out.empty();
    }
    case kLocaleICurrDigits:
    case kLocaleIIntlCurrDigits: {
      const std::string code = IsoCurrency(id);
      const std::u16string wide(code.begin(), code.end());
      const int32_t digits = ucurr_getDefaultFractionDigits(wide.c_str(), &status);
      if (U_FAILURE(status)) return false;
      const std::string text = std::to_string(digits);
      out.assign(text.begin(), text.end());
      return true;
    }
    case kLocaleICurrency:
    case kLocaleINegCurr:
      return CurrencyInfo(loc, type, out);
    case kLocaleSPositiveSign:
      return true;
    case kLocaleSNegativeSign:
      out = u"-";
      return true;
    default:
      return false;
  }
}

int CompareStringW(uint32_t lcid, uint32_t flags, std::u16string_view a, std::u16string_view b) {
  UCollator* c = CollatorOf(ResolveLcid(lcid), flags);
  if (c == nullptr) return 0;
  switch (ucol_strcoll(c, a.data(), static_cast<int32_t>(a.size()), b.data(), static_cast<int32_t>(b.size()))) {
    case UCOL_LESS: return 1;
    case UCOL_EQUAL: return 2;
    default: return 3;
  }
}

int CompareStringA(uint32_t lcid, uint32_t flags, std::string_view a, std::string_view b) {
  lcid = ResolveLcid(lcid);
  if (!IsInstalledLcid(lcid)) return 0;
  const int page = AnsiCodePageOf(lcid);
  return CompareStringW(lcid, flags, Decode(page, a), Decode(page, b));
}

bool LCMapStringW(uint32_t lcid, uint32_t flags, std::u16string_view src, std::u16string& out) {
  out.clear();
  lcid = ResolveLcid(lcid);
  if (!IsInstalledLcid(lcid)) return false;
  if ((flags & kLcmapSortKey) != 0) {
    UCollator* c = CollatorOf(lcid, flags);
    if (c == nullptr) return false;
    const std::string key = SortKeyOf(c, src);
    for (std::size_t i = 0; i < key.size(); i += 2) {
      const auto lo = static_cast<uint8_t>(key[i]);
      const auto hi = i + 1 < key.size() ? static_cast<uint8_t>(key[i + 1]) : uint8_t{0};
      out += static_cast<char16_t>(lo | hi << 8);
    }
    return true;
  }
  if ((flags & (kLcmapUppercase | kLcmapLowercase)) == 0) return false;
  out = MapCase(flags, src);
  return true;
}

bool LCMapStringA(uint32_t lcid, uint32_t flags, std::string_view src, std::string& out) {
  out.clear();
  lcid = ResolveLcid(lcid);
  if (!IsInstalledLcid(lcid)) return false;
  const int page = AnsiCodePageOf(lcid);
  if ((flags & kLcmapSortKey) != 0) {
    UCollator* c = CollatorOf(lcid, flags);
    if (c == nullptr) return false;
    out = SortKeyOf(c, Decode(page, src));
    return true;
  }
  if ((flags & (kLcmapUppercase | kLcmapLowercase)) == 0) return false;
  for (const auto& [bytes, text] : CharactersOf(page, src)) {
    std::string mapped;
    const std::u16string m = MapCase(flags, text);
    // A mapping the page lacks, or one that changes the character's width,
    // keeps the bytes.
    if (!text.empty() && Encode(page, m, mapped) && mapped.size() == bytes.size()) out += mapped;
    else out += bytes;
  }
  return true;
}

bool GetStringTypeA(uint32_t lcid, std::string_view src, std::vector<uint16_t>& types) {
  types.clear();
  lcid = ResolveLcid(lcid);
  if (!IsInstalledLcid(lcid)) return false;
  for (const auto& [bytes, text] : CharactersOf(AnsiCodePageOf(lcid), src)) {
    types.insert(types.end(), bytes.size(), text.size() == 1 ? CharType1(text[0]) : uint16_t{0});
  }
  return true;
}

uint16_t CharType1(char32_t ch) {
  const auto c = static_cast<UChar32>(ch);
  uint16_t t = 0;
  if (u_isupper(c)) t |= kC1Upper;
  if (u_islower(c)) t |= kC1Lower;
  if (u_isdigit(c)) t |= kC1Digit;
  if (u_isspace(c)) t |= kC1Space;
  if (u_ispunct(c)) t |= kC1Punct;
  if (u_iscntrl(c)) t |= kC1Cntrl;
  if (u_isblank(c)) t |= kC1Blank;
  if (u_isalpha(c)) t |= kC1Alpha;
  return t;
}

std::vector<bool> LeadBytesOf(int codePage) {
  thread_local std::map<int, std::vector<bool>> cache;
  auto it = cache.find(codePage);
  if (it != cache.end()) return it->second;
  std::vector<bool> lead(256, false);
  UConverter* c = ConverterOf(codePage);
  if (c != nullptr && ucnv_getType(c) != UCNV_SBCS) {
    UBool starters[256] = {};
    UErrorCode status = U_ZERO_ERROR;
    ucnv_getStarters(c, starters, &status);
    if (U_SUCCESS(status))
      for (int i = 0; i < 256; ++i) lead[static_cast<std::size_t>(i)] = starters[i] != 0;
  }
  cache.emplace(codePage, lead);
  return lead;
}

bool IsDBCSLeadByteEx(int codePage, uint8_t byte) { return LeadBytesOf(codePage)[byte]; }

}  // namespace platform::nls
