// Hive files may be edited by hand: parsing never faults, and what the
// registry writes reads back to the same file.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "platform/detail/registry_file.h"

namespace reg = platform::registry;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  for (reg::Hive hive : {reg::Hive::LocalMachine, reg::Hive::CurrentUser}) {
    reg::detail::HiveFile file = reg::detail::ParseHive(hive, text);
    std::string once = reg::detail::SerializeHive(hive, file);
    std::string twice = reg::detail::SerializeHive(hive, reg::detail::ParseHive(hive, once));
    if (once != twice) std::abort();
  }
  (void)reg::detail::NormalizeKeyPath(text);
  return 0;
}
