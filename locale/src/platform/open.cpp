// Setting up locales of platform names: their LCID, record, lead bytes and
// platform collation.
#include <cstring>

#include "locale_object.h"
#include "platform/nls.h"
#include "platform/platform_ops.h"
#include "status.h"

namespace slw {

namespace nls = platform::nls;

Status PlatformLcidOfName(const std::string& name, uint32_t& lcid) {
  uint16_t langid = 0;
  if (SL_GetLANGIDFromLocaleName(name.c_str(), &langid) != kOk) langid = 0;
  lcid = nls::ResolveLcid(langid);
  return nls::IsInstalledLcid(lcid) ? kOk : kBadHandle;
}

Status PlatformLocaleName(uint32_t lcid, std::string& name, uint8_t& family) {
  char language[64] = {};
  if (Status s = SL_GetLocaleNameFromLANGID(lcid, language); s != kOk) return s;
  char charset[32] = {};
  const int page = nls::AnsiCodePageOf(lcid);
  if (Status s = SL_MakeCharacterSetName(charset, 2, static_cast<uint16_t>(page)); s != kOk) return s;
  SL_CHARSETINFO info{};
  if (Status s = SL_GetCharacterSetInfo(charset, &info); s != kOk) return s;
  name = std::string(language).substr(0, 5) + "." + charset + "@platform";
  family = static_cast<uint8_t>(info.family);
  return kOk;
}

void PreparePlatformLocale(TLocale& l, const std::string& name, uint32_t lcid) {
  const uint8_t family = l.family();
  l.SetRecordText(0, name, 32);
  l.record[32] = 1;
  l.record[33] = 1;
  l.record[34] = 1;
  l.record[35] = '1';
  l.SetRecordText(36, "WIN PLATFORM", 32);
  l.record[68] = 255;  // never pooled
  l.record[74] = family == SL_FAMILY_WIDE ? 2 : 1;
  l.record[75] = family == SL_FAMILY_NARROW ? 1 : 2;
  l.record[76] = 6;
  l.record[77] = 0;
  l.record[80] = 63;
  l.record[81] = 0;
  l.lcid = lcid;
  if (family == SL_FAMILY_MULTI) {
    const std::vector<bool> lead = nls::LeadBytesOf(nls::AnsiCodePageOf(lcid));
    l.leadBytes.assign(32, 0);
    for (std::size_t b = 0; b < 256; ++b)
      if (lead[b]) l.leadBytes[b / 8] = static_cast<uint8_t>(l.leadBytes[b / 8] | 1u << (b % 8));
  }
}

void BindPlatformCollation(TLocale& l) {
  // Mode 3 is both the current and the default setting, so restoring the
  // defaults or rebinding keeps comparing by the platform.
  CollationSettings s{l.collationDefaults.levels, 5, kPlatform};
  l.collation = s;
  l.collationDefaults = s;
  l.BindOperations({kPlatform, s.levels});
}

}  // namespace slw
