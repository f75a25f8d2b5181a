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

// Locale information types answered so far.
inline constexpr uint32_t kLocaleSAbbrevLangName = 0x0003;
inline constexpr uint32_t kLocaleICountry = 0x0005;
inline constexpr uint32_t kLocaleIDefaultCodePage = 0x000B;
inline constexpr uint32_t kLocaleIDefaultAnsiCodePage = 0x1004;

// lstrcmpA: two Windows-1252 texts compared by ICU's collator of the default
// locale; negative, 0 or positive.
int CompareStringAnsi(std::string_view a, std::string_view b);

// GetLocaleInfo: the text of `type` for `lcid`; false when the id is not
// installed, the type is not answered or the tables hold no value.
bool GetLocaleInfo(uint32_t lcid, uint32_t type, std::string& out);

}  // namespace platform::nls
