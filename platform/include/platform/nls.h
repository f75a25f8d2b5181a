// National-language services: code pages, Windows locale ids (LCID) and the
// locale information the locale library asks for, all answered from ICU and
// two compiled-in tables (countries, default code pages of a language).
#pragma once

#include <unicode/ucnv.h>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace platform::nls {

struct ConverterCloser {
  void operator()(UConverter* c) const { ucnv_close(c); }
};
using Converter = std::unique_ptr<UConverter, ConverterCloser>;

// ICU's converter of a Windows code page number (1252, 437, 932, 65001 ...),
// as ICU ships it (no substitution or callbacks set); null when unknown.
Converter OpenCodePage(int codePage);

// One row of the country table: "001 US USA".
struct Country {
  uint16_t code = 0;  // the Windows country code
  std::string alpha2;
  std::string alpha3;
};
const std::vector<Country>& Countries();
const Country* CountryByAlpha2(std::string_view alpha2);
const Country* CountryByCode(uint16_t code);

// The ICU locale id of an LCID ("en_US" for 0x0409, "en" for 0x0009);
// empty when ICU cannot map it.
std::string LocaleOfLcid(uint32_t lcid);
// The LCID of an ICU locale id, 0 when ICU knows none.
uint32_t LcidOfLocale(std::string_view locale);
// An LCID ICU can map counts as installed.
bool IsInstalledLcid(uint32_t lcid);

// Locale information types answered.
inline constexpr uint32_t kLocaleSAbbrevLangName = 0x0003;
inline constexpr uint32_t kLocaleICountry = 0x0005;
inline constexpr uint32_t kLocaleIDefaultCodePage = 0x000B;
inline constexpr uint32_t kLocaleSList = 0x000C;
inline constexpr uint32_t kLocaleSDecimal = 0x000E;
inline constexpr uint32_t kLocaleSThousand = 0x000F;
inline constexpr uint32_t kLocaleSGrouping = 0x0010;
inline constexpr uint32_t kLocaleSCurrency = 0x0014;
inline constexpr uint32_t kLocaleSIntlSymbol = 0x0015;
inline constexpr uint32_t kLocaleSMonDecimalSep = 0x0016;
inline constexpr uint32_t kLocaleSMonThousandSep = 0x0017;
inline constexpr uint32_t kLocaleSMonGrouping = 0x0018;
inline constexpr uint32_t kLocaleICurrDigits = 0x0019;
inline constexpr uint32_t kLocaleIIntlCurrDigits = 0x001A;
inline constexpr uint32_t kLocaleICurrency = 0x001B;
inline constexpr uint32_t kLocaleINegCurr = 0x001C;
inline constexpr uint32_t kLocaleSTime = 0x001E;
inline constexpr uint32_t kLocaleSShortDate = 0x001F;
inline constexpr uint32_t kLocaleSLongDate = 0x0020;
inline constexpr uint32_t kLocaleITime = 0x0023;
inline constexpr uint32_t kLocaleITLZero = 0x0025;
inline constexpr uint32_t kLocaleS1159 = 0x0028;
inline constexpr uint32_t kLocaleS2359 = 0x0029;
inline constexpr uint32_t kLocaleSDayName1 = 0x002A;        // Monday; 7 is Sunday
inline constexpr uint32_t kLocaleSAbbrevDayName1 = 0x0031;
inline constexpr uint32_t kLocaleSMonthName1 = 0x0038;
inline constexpr uint32_t kLocaleSAbbrevMonthName1 = 0x0044;
inline constexpr uint32_t kLocaleSPositiveSign = 0x0050;
inline constexpr uint32_t kLocaleSNegativeSign = 0x0051;
inline constexpr uint32_t kLocaleIDefaultAnsiCodePage = 0x1004;

// Compare flags, map flags and character types.
inline constexpr uint32_t kNormIgnoreCase = 0x0001;
inline constexpr uint32_t kNormIgnoreNonSpace = 0x0002;
inline constexpr uint32_t kNormIgnoreSymbols = 0x0004;
inline constexpr uint32_t kLcmapLowercase = 0x0100;
inline constexpr uint32_t kLcmapUppercase = 0x0200;
inline constexpr uint32_t kLcmapSortKey = 0x0400;
inline constexpr uint16_t kC1Upper = 0x0001, kC1Lower = 0x0002, kC1Digit = 0x0004, kC1Space = 0x0008,
                          kC1Punct = 0x0010, kC1Cntrl = 0x0020, kC1Blank = 0x0040, kC1Alpha = 0x0100;

// lstrcmpA: two Windows-1252 texts compared by ICU's collator of the default
// locale; negative, 0 or positive.
int CompareStringAnsi(std::string_view a, std::string_view b);

// GetLocaleInfo: the text of `type` for `lcid`; false when the id is not
// installed, the type is not answered or the tables hold no value.
bool GetLocaleInfo(uint32_t lcid, uint32_t type, std::string& out);

// The LCID of ICU's default locale (LC_ALL, LC_MESSAGES, LANG) for 0, else
// the id itself.
uint32_t ResolveLcid(uint32_t lcid);
// The ANSI code page of an LCID (1252 when the tables hold none).
int AnsiCodePageOf(uint32_t lcid);

// 16-bit text in a code page; a character the page lacks becomes "?".
std::string EncodeInCodePage(int codePage, std::u16string_view s);

// GetLocaleInfoW: the same answers as 16-bit text (GetLocaleInfo gives them
// in the LCID's ANSI code page).
bool GetLocaleInfoW(uint32_t lcid, uint32_t type, std::u16string& out);

// CompareStringW/A: 1 less, 2 equal, 3 greater, 0 when the LCID is not
// installed. The A form reads the texts in the LCID's ANSI code page.
int CompareStringW(uint32_t lcid, uint32_t flags, std::u16string_view a, std::u16string_view b);
int CompareStringA(uint32_t lcid, uint32_t flags, std::string_view a, std::string_view b);

// LCMapStringW/A: upper or lower case by character, or the sort key (bytes;
// the W form packs them two to a unit, low byte first, and ends with 0).
// False when the LCID is not installed or no mapping flag is given. In the A
// form a character whose mapping the code page lacks keeps its bytes.
bool LCMapStringW(uint32_t lcid, uint32_t flags, std::u16string_view src, std::u16string& out);
bool LCMapStringA(uint32_t lcid, uint32_t flags, std::string_view src, std::string& out);

// GetStringTypeA with CT_CTYPE1: the kC1 bits of each byte of `src` (a lead
// byte and its trail byte both get their character's bits).
bool GetStringTypeA(uint32_t lcid, std::string_view src, std::vector<uint16_t>& types);

// The kC1 bits of one Unicode character.
uint16_t CharType1(char32_t c);

// The lead bytes of a code page (all false for a single-byte page).
std::vector<bool> LeadBytesOf(int codePage);
bool IsDBCSLeadByteEx(int codePage, uint8_t byte);

}  // namespace platform::nls
