// Language drivers (LDID, driver name, locale name, alternative set,
// description) from the compiled-in table, and the Windows language ids
// (LANGID, LCID) mapped to the library's "ll_CC" locale names.
#include <strings.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "charset/charset.h"
#include "client.h"
#include "library_file.h"
#include "locale_object.h"
#include "lock.h"
#include "platform/nls.h"

namespace stashwell_embedded {
extern const unsigned char slw_langdrivers[];
extern const std::size_t slw_langdrivers_size;
}  // namespace stashwell_embedded

namespace slw {
namespace {

constexpr int kIdSlots = 208;
constexpr int kLastId = 204;
constexpr int kNameRows = 99;  // look-ups by name scan rows 1 to 99

struct DriverRow {
  std::string driver;       // at most 8
  std::string locale;       // at most 31
  std::string alternative;  // at most 31
  std::string description;  // at most 19
};

struct DriverTable {
  std::array<uint16_t, kIdSlots> rowOfId{};
  std::vector<DriverRow> rows;
};

std::string Cut(std::string text, std::size_t width) {
  if (text.size() > width) text.resize(width);
  return text;
}

std::vector<std::string> Split(const std::string& line, char separator) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  for (;;) {
    std::size_t end = line.find(separator, start);
    parts.push_back(line.substr(start, end == std::string::npos ? std::string::npos : end - start));
    if (end == std::string::npos) return parts;
    start = end + 1;
  }
}

const DriverTable& Drivers() {
  static const DriverTable table = [] {
    DriverTable t;
    std::istringstream in(std::string(reinterpret_cast<const char*>(stashwell_embedded::slw_langdrivers),
                                      stashwell_embedded::slw_langdrivers_size));
    std::string line;
    while (std::getline(in, line)) {
      if (line.empty() || line[0] == '#') continue;
      std::vector<std::string> f = Split(line, '|');
      if (f.size() != 6) continue;
      int row = std::atoi(f[0].c_str());
      if (row < 0 || row > 0xFFFF) continue;
      if (t.rows.size() <= static_cast<std::size_t>(row)) t.rows.resize(static_cast<std::size_t>(row) + 1);
      t.rows[static_cast<std::size_t>(row)] = {Cut(f[2], 8), Cut(f[3], 31), Cut(f[4], 31), Cut(f[5], 19)};
      for (const std::string& id : Split(f[1], ',')) {
        int n = std::atoi(id.c_str());
        if (n >= 1 && n <= kLastId) t.rowOfId[static_cast<std::size_t>(n)] = static_cast<uint16_t>(row);
      }
    }
    return t;
  }();
  return table;
}

// The row of an id: 0x0C07 for 0 or less, 0x0305 past 204 or undefined.
Status RowOfId(int16_t ldid, const DriverRow*& row) {
  if (ldid <= 0) return kBadArgument;
  if (ldid > kLastId) return kNotFound;
  const DriverTable& t = Drivers();
  uint16_t r = t.rowOfId[static_cast<std::size_t>(ldid)];
  if (r == 0 || r >= t.rows.size()) return kNotFound;
  row = &t.rows[r];
  return kOk;
}

// The first id whose table value is `row`, 0 when none.
int16_t IdOfRow(std::size_t row) {
  const DriverTable& t = Drivers();
  for (int id = 1; id <= kLastId; ++id)
    if (t.rowOfId[static_cast<std::size_t>(id)] == row) return static_cast<int16_t>(id);
  return 0;
}

// The row (1 to 99) whose driver name matches without regard to case, 0 when none.
std::size_t RowOfDriverName(const char* name) {
  if (name == nullptr) return 0;
  const DriverTable& t = Drivers();
  for (std::size_t r = 1; r < t.rows.size() && r <= kNameRows; ++r)
    if (!t.rows[r].driver.empty() && strcasecmp(t.rows[r].driver.c_str(), name) == 0) return r;
  return 0;
}

Status CopyText(char* out, const std::string& text) {
  if (out == nullptr) return kBadArgument;
  std::memcpy(out, text.c_str(), text.size() + 1);
  return kOk;
}

// One text of an id's row.
Status RowText(char* out, int16_t ldid, std::string DriverRow::*field) {
  const DriverRow* row = nullptr;
  if (Status s = RowOfId(ldid, row); s != kOk) return s;
  return CopyText(out, row->*field);
}

// The locale part and, with a modifier, "@" and the modifier.
std::string DriverKey(std::string_view name) { return std::string(name.substr(0, name.find(';'))); }

Status LdidOfLocaleName(std::string_view name, int16_t& ldid) {
  ldid = 0;
  std::string key = DriverKey(name);
  const DriverTable& t = Drivers();
  for (std::size_t r = 1; r < t.rows.size(); ++r) {
    if (t.rows[r].locale.empty() || t.rows[r].locale != key) continue;
    ldid = IdOfRow(r);
    if (ldid != 0) return kOk;
  }
  return kNotFound;
}

// ---- Windows language ids ----

std::string InfoText(uint32_t lcid, uint32_t type) {
  std::string text;
  return platform::nls::GetLocaleInfo(lcid, type, text) ? text : std::string();
}

std::string Padded(const std::string& number) {
  std::string n = number;
  while (n.size() < 3) n.insert(n.begin(), '0');
  return n;
}

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

Status LocaleNameOfLangid(uint32_t lcid, std::string& out) {
  std::string abbrev = InfoText(lcid, platform::nls::kLocaleSAbbrevLangName);
  std::string country = InfoText(lcid, platform::nls::kLocaleICountry);
  if (abbrev.size() < 2 || country.empty()) return kNoLangid;
  std::string code = Padded(country);
  for (const platform::nls::Country& c : platform::nls::Countries()) {
    if (Padded(std::to_string(c.code)) != code) continue;
    out = Lower(abbrev.substr(0, 2)) + "_" + c.alpha2;
    return kOk;
  }
  return kNoLangid;
}

// Under five characters, or no "_" third, names no language and country.
Status LangidOfLocaleName(std::string_view name, uint16_t& langid) {
  langid = 0;
  if (name.size() < 5 || name[2] != '_') return kNoLangid;
  std::string language = Lower(std::string(name.substr(0, 2)));
  std::string alpha2(name.substr(3, 2));
  uint32_t primary = 0;
  for (uint32_t p = 1; p <= 509 && primary == 0; ++p) {
    std::string abbrev = Lower(InfoText(p, platform::nls::kLocaleSAbbrevLangName));
    if (abbrev.compare(0, 2, language) == 0 && abbrev.size() >= 2) primary = p;
  }
  const platform::nls::Country* country = platform::nls::CountryByAlpha2(alpha2);
  if (primary == 0 || country == nullptr) return kNoLangid;
  std::string wanted = Padded(std::to_string(country->code));
  for (uint32_t sub = 1; sub <= 30; ++sub) {
    uint32_t id = sub * 1024 + primary;
    std::string code = InfoText(id, platform::nls::kLocaleICountry);
    if (!code.empty() && Padded(code) == wanted) {
      langid = static_cast<uint16_t>(id);
      return kOk;
    }
  }
  return kNoLangid;
}

std::string HandleRecordName(hlocale h, bool* found) {
  LockHold hold;
  CLocale* l = FindLocale(h);
  *found = l != nullptr;
  return l != nullptr ? l->RecordName() : std::string();
}

template <typename CH>
Status LcidInfo(const char* name, uint32_t type, CH* buffer, int32_t size) {
  if (name == nullptr || buffer == nullptr || size <= 0) return kBadArgument;
  uint16_t langid = 0;
  if (Status s = LangidOfLocaleName(name, langid); s != kOk) return s;
  std::string text;
  if (!platform::nls::GetLocaleInfo(langid, type, text) || text.size() + 1 > static_cast<std::size_t>(size))
    return kBufferSmall;
  // The answers are ASCII: one unit per byte in either width.
  for (std::size_t i = 0; i < text.size(); ++i) buffer[i] = static_cast<CH>(static_cast<unsigned char>(text[i]));
  buffer[text.size()] = 0;
  return kOk;
}

}  // namespace
}  // namespace slw

using namespace slw;

SL_EXPORT LocaleStatus SL_GetLDNameFromLDID(char* out, int16_t ldid) { return RowText(out, ldid, &DriverRow::driver); }

SL_EXPORT LocaleStatus SL_GetLocaleNameFromLDID(char* out, int16_t ldid) {
  return RowText(out, ldid, &DriverRow::locale);
}

SL_EXPORT LocaleStatus SL_GetAltCharSetNameFromLDID(char* out, int16_t ldid) {
  return RowText(out, ldid, &DriverRow::alternative);
}

SL_EXPORT LocaleStatus SL_GetLDDescFromLDID(char* out, int16_t ldid) {
  return RowText(out, ldid, &DriverRow::description);
}

SL_EXPORT LocaleStatus SL_GetShortCategoryNameFromLDID(char* out, int16_t ldid) {
  const DriverRow* row = nullptr;
  if (Status s = RowOfId(ldid, row); s != kOk) return s;
  std::size_t at = row->locale.find('@');
  return CopyText(out, at == std::string::npos ? std::string() : row->locale.substr(at));
}

SL_EXPORT LocaleStatus SL_GetLDIDFromLDName(const char* name, int16_t* ldid) {
  if (ldid == nullptr) return kBadArgument;
  *ldid = 0;
  std::size_t row = RowOfDriverName(name);
  if (row != 0) *ldid = IdOfRow(row);
  return *ldid != 0 ? kOk : kResourceNotFound;
}

SL_EXPORT LocaleStatus SL_GetLDIDFromLocaleName(const char* name, int16_t* ldid) {
  if (ldid == nullptr) return kBadArgument;
  *ldid = 0;
  if (name == nullptr || *name == '\0') return kBadArgument;
  // A name with both "@" and ";" is no locale name.
  if (std::strchr(name, '@') != nullptr && std::strchr(name, ';') != nullptr) return kBadArgument;
  return LdidOfLocaleName(name, *ldid);
}

SL_EXPORT LocaleStatus SL_GetLocaleNameFromLDName(char* out, const char* name) {
  std::size_t row = RowOfDriverName(name);
  if (row == 0) return kNotFound;
  return CopyText(out, Drivers().rows[row].locale);
}

// The name the locale was opened with: its full name never equals a row.
SL_EXPORT LocaleStatus SL_GetLDIDFromHlocale(hlocale h, int16_t* ldid) {
  if (ldid == nullptr) return kBadArgument;
  *ldid = 0;
  std::string name;
  {
    LockHold hold;
    CLocale* l = FindLocale(h);
    if (l == nullptr) return kOk;
    name = l->openName;
  }
  LdidOfLocaleName(name, *ldid);
  return kOk;
}

SL_EXPORT LocaleStatus SL_OpenLocaleWithLDID(hlocale* handle, uint16_t mask, int16_t ldid) {
  if (handle == nullptr) return kBadArgument;
  *handle = nullptr;
  const DriverRow* row = nullptr;
  if (Status s = RowOfId(ldid, row); s != kOk) return s;
  if (row->locale.empty()) return kResourceNotFound;
  return SL_OpenLocale(handle, mask, row->locale.c_str());
}

SL_EXPORT LocaleStatus SL_OpenLocaleWithLDName(hlocale* handle, uint16_t mask, const char* name) {
  if (handle == nullptr) return kBadArgument;
  *handle = nullptr;
  int16_t ldid = 0;
  if (SL_GetLDIDFromLDName(name, &ldid) != kOk) return kResourceNotFound;
  return SL_OpenLocaleWithLDID(handle, mask, ldid);
}

SL_EXPORT LocaleStatus SL_GetLocaleNameFromLANGID(uint32_t lcid, char* out) {
  if (out == nullptr) return kBadArgument;
  std::string name;
  if (Status s = LocaleNameOfLangid(lcid, name); s != kOk) return s;
  return CopyText(out, name);
}

SL_EXPORT LocaleStatus SL_GetLANGIDFromLocaleName(const char* name, uint16_t* langid) {
  if (langid == nullptr) return kBadArgument;
  *langid = 0;
  if (name == nullptr) return kNoLangid;
  return LangidOfLocaleName(name, *langid);
}

SL_EXPORT LocaleStatus SL_GetLANGIDFromHLocale(hlocale h, uint16_t* langid) {
  if (langid == nullptr) return kBadArgument;
  *langid = 0;
  bool found = false;
  std::string name = HandleRecordName(h, &found);
  if (!found) return kBadHandle;
  return LangidOfLocaleName(name, *langid);
}

SL_EXPORT LocaleStatus SL_GetLCIDInfoFromLocaleNameA(const char* name, uint32_t infoType, char* buffer, int32_t size) {
  return LcidInfo(name, infoType, buffer, size);
}

SL_EXPORT LocaleStatus SL_GetLCIDInfoFromHLocaleA(hlocale h, uint32_t infoType, char* buffer, int32_t size) {
  bool found = false;
  std::string name = HandleRecordName(h, &found);
  if (!found) return kBadHandle;
  return LcidInfo(name.c_str(), infoType, buffer, size);
}

SL_EXPORT LocaleStatus SL_GetLCIDInfoFromLocaleNameW(const char* name, uint32_t infoType, SL_WCHAR* buffer,
                                                     int32_t size) {
  return LcidInfo(name, infoType, buffer, size);
}

SL_EXPORT LocaleStatus SL_GetLCIDInfoFromHLocaleW(hlocale h, uint32_t infoType, SL_WCHAR* buffer, int32_t size) {
  bool found = false;
  std::string name = HandleRecordName(h, &found);
  if (!found) return kBadHandle;
  return LcidInfo(name.c_str(), infoType, buffer, size);
}
