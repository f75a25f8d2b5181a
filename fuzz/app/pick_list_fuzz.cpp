// Pick lists are text files anyone can edit: every line read is trimmed,
// never empty and never longer than 255 characters.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "core/display_formats.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const auto items = keldro::ParsePickList(std::string_view(reinterpret_cast<const char*>(data), size));
  for (const std::string& item : items)
    if (item.empty() || item.size() > 255 || item.front() == ' ' || item.back() == ' ') std::abort();
  return 0;
}
