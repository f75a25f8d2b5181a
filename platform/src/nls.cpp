#include "platform/nls.h"

#include "platform/text.h"

#include <unicode/coll.h>
#include <unicode/locid.h>
#include <unicode/uloc.h>
#include <unicode/unistr.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <sstream>

namespace stashwell_embedded {
extern const unsigned char nls_countries[];
extern const std::size_t nls_countries_size;
extern const unsigned char nls_languages[];
extern const std::size_t nls_languages_size;
}  // namespace stashwell_embedded

namespace platform::nls {
namespace {

// Lines of an embedded table, comments and blank lines left out.
std::vector<std::vector<std::string>> TableLines(const unsigned char* bytes, std::size_t size) {
  std::vector<std::vector<std::string>> rows;
  std::istringstream in(std::string(reinterpret_cast<const char*>(bytes), size));
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream words(line);
    std::vector<std::string> row;
    for (std::string w; words >> w;) row.push_back(w);
    if (!row.empty()) rows.push_back(std::move(row));
  }
  return rows;
}

struct LanguagePages {
  std::string key;  // "en" or "en_GB"
  int ansi = 0;
  int oem = 0;
};

const std::vector<LanguagePages>& Languages() {
  static const std::vector<LanguagePages> table = [] {
    std::vector<LanguagePages> t;
    for (const auto& row : TableLines(stashwell_embedded::nls_languages, stashwell_embedded::nls_languages_size))
      if (row.size() == 3) t.push_back({row[0], std::atoi(row[1].c_str()), std::atoi(row[2].c_str())});
    return t;
  }();
  return table;
}

// Language and country of an ICU id ("en", "US"; "en", "" for a neutral one).
void SplitLocale(const std::string& id, std::string& language, std::string& country) {
  char buffer[32] = {};
  UErrorCode err = U_ZERO_ERROR;
  uloc_getLanguage(id.c_str(), buffer, sizeof buffer - 1, &err);
  language = U_SUCCESS(err) ? buffer : "";
  err = U_ZERO_ERROR;
  std::memset(buffer, 0, sizeof buffer);
  uloc_getCountry(id.c_str(), buffer, sizeof buffer - 1, &err);
  country = U_SUCCESS(err) ? buffer : "";
}

const LanguagePages* PagesOf(const std::string& language, const std::string& country) {
  const LanguagePages* plain = nullptr;
  for (const LanguagePages& l : Languages()) {
    if (!country.empty() && l.key == language + "_" + country) return &l;
    if (l.key == language) plain = &l;
  }
  return plain;
}

}  // namespace

Converter OpenCodePage(int codePage) {
  std::vector<std::string> names;
  switch (codePage) {
    case 65001: names = {"UTF-8"}; break;
    case 1200: names = {"UTF-16LE"}; break;
    case 1201: names = {"UTF-16BE"}; break;
    case 20127: names = {"US-ASCII"}; break;
    case 932: names = {"windows-31j"}; break;
    case 936: names = {"windows-936-2000", "GBK"}; break;
    case 949: names = {"windows-949-2000", "windows-949"}; break;
    case 950: names = {"windows-950-2000", "Big5"}; break;
    default:
      if (codePage <= 0) return nullptr;
      if (codePage >= 28591 && codePage <= 28606) {
        names = {"ISO-8859-" + std::to_string(codePage - 28590)};
      } else if (codePage == 874 || (codePage >= 1250 && codePage <= 1258)) {
        names = {"windows-" + std::to_string(codePage)};
      } else {
        names = {"ibm-" + std::to_string(codePage), "cp" + std::to_string(codePage)};
      }
  }
  for (const std::string& name : names) {
    UErrorCode err = U_ZERO_ERROR;
    UConverter* c = ucnv_open(name.c_str(), &err);
    if (U_SUCCESS(err) && c != nullptr) return Converter(c);
    if (c != nullptr) ucnv_close(c);
  }
  return nullptr;
}

const std::vector<Country>& Countries() {
  static const std::vector<Country> table = [] {
    std::vector<Country> t;
    for (const auto& row : TableLines(stashwell_embedded::nls_countries, stashwell_embedded::nls_countries_size))
      if (row.size() == 3)
        t.push_back({static_cast<uint16_t>(std::atoi(row[0].c_str())), row[1], row[2]});
    return t;
  }();
  return table;
}

const Country* CountryByAlpha2(std::string_view alpha2) {
  for (const Country& c : Countries())
    if (c.alpha2 == alpha2) return &c;
  return nullptr;
}

const Country* CountryByCode(uint16_t code) {
  for (const Country& c : Countries())
    if (c.code == code) return &c;
  return nullptr;
}

std::string LocaleOfLcid(uint32_t lcid) {
  if (lcid == 0) return {};
  char buffer[ULOC_FULLNAME_CAPACITY] = {};
  UErrorCode err = U_ZERO_ERROR;
  int32_t n = uloc_getLocaleForLCID(lcid, buffer, sizeof buffer - 1, &err);
  if (U_FAILURE(err) || n <= 0) return {};
  return buffer;
}

uint32_t LcidOfLocale(std::string_view locale) {
  if (locale.empty()) return 0;
  return uloc_getLCID(std::string(locale).c_str());
}

int CompareStringAnsi(std::string_view a, std::string_view b) {
  // One collator for the process: ICU's collators compare from many threads at
  // once. The C locale (ICU's en_US_POSIX) orders by code; Windows never does,
  // so it takes the root order.
  static const icu::Collator* collator = [] {
    UErrorCode status = U_ZERO_ERROR;
    icu::Locale locale = icu::Locale::getDefault();
    if (std::strcmp(locale.getName(), "en_US_POSIX") == 0) locale = icu::Locale::getRoot();
    icu::Collator* c = icu::Collator::createInstance(locale, status);
    return U_SUCCESS(status) ? c : nullptr;
  }();
  const icu::UnicodeString ua = icu::UnicodeString::fromUTF8(Cp1252ToUtf8(a));
  const icu::UnicodeString ub = icu::UnicodeString::fromUTF8(Cp1252ToUtf8(b));
  if (collator == nullptr) return ua.compare(ub);
  UErrorCode status = U_ZERO_ERROR;
  return collator->compare(ua, ub, status);
}

bool IsInstalledLcid(uint32_t lcid) { return !LocaleOfLcid(lcid).empty(); }

bool GetLocaleInfo(uint32_t lcid, uint32_t type, std::string& out) {
  out.clear();
  lcid = ResolveLcid(lcid);
  std::string id = LocaleOfLcid(lcid);
  if (id.empty()) return false;
  std::string language, country;
  SplitLocale(id, language, country);
  if (language.size() < 2) return false;
  switch (type) {
    case kLocaleSAbbrevLangName: {
      // The ISO 639-1 code in upper case, then the country's initial, as
      // Windows' three-letter names run ("ENU", "JPN" is "JAJ" here).
      for (char ch : language.substr(0, 2)) out += static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
      if (!country.empty()) out += country[0];
      return true;
    }
    case kLocaleICountry: {
      const Country* c = CountryByAlpha2(country);
      if (c == nullptr) return false;
      out = std::to_string(c->code);
      return true;
    }
    case kLocaleIDefaultCodePage:
    case kLocaleIDefaultAnsiCodePage: {
      const LanguagePages* pages = PagesOf(language, country);
      if (pages == nullptr) return false;
      out = std::to_string(type == kLocaleIDefaultAnsiCodePage ? pages->ansi : pages->oem);
      return true;
    }
    default: {
      std::u16string wide;
      if (!GetLocaleInfoW(lcid, type, wide)) return false;
      out = EncodeInCodePage(AnsiCodePageOf(lcid), wide);
      return true;
    }
  }
}

}  // namespace platform::nls
