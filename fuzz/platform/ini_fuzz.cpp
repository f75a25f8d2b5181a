// INI text from disk: parse, query, change and write back without fault,
// and a written file reads back to the same text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "platform/profile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  platform::IniFile ini;
  ini.Parse(text);
  for (const std::string& name : ini.SectionNames()) {
    for (const auto& [key, value] : ini.Section(name)) (void)ini.Get(name, key);
  }
  ini.Set("Misc", "Button Bar", "2");
  ini.Set(text.substr(0, 8), text.substr(0, 4), text.substr(0, 16));
  std::string once = ini.Serialize();
  platform::IniFile again;
  again.Parse(once);
  if (again.Serialize() != once) std::abort();
  ini.DeleteKey("Misc", "Button Bar");
  ini.DeleteSection(text.substr(0, 8));
  return 0;
}
