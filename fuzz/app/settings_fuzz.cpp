// "KELDRO.INI" is a text file anyone can edit: every value read must stay
// usable, and what is written must read back the same.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "core/sort_levels.h"
#include "core/settings.h"
#include "platform/profile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  platform::IniFile ini;
  ini.Parse(std::string_view(reinterpret_cast<const char*>(data), size));
  const keldro::AppSettings s = keldro::LoadSettings(ini, "C:");
  for (int level : s.sortLevels.levels)
    if (level < 0 || level > keldro::kItemFieldCount) std::abort();
  for (const auto& f : s.fields)
    if (f.title.size() > 20) std::abort();
  (void)keldro::BuildSortString(s.sortLevels);

  platform::IniFile written;
  keldro::SaveSettings(s, written);
  platform::IniFile reread;
  reread.Parse(written.Serialize());
  const keldro::AppSettings back = keldro::LoadSettings(reread, "D:");
  if (back.sortLevels != s.sortLevels || back.colors != s.colors || back.reports.yourName != s.reports.yourName)
    std::abort();
  return 0;
}
