// Qt makes its runtime folder in TMPDIR when XDG_RUNTIME_DIR is not set, and
// leaves it there: a benchmark points it into a folder of its own, removed
// with the rest of what the benchmark made.
#pragma once

#include <cstdlib>
#include <filesystem>

namespace bench {

inline void KeepQtRuntimeIn(const std::filesystem::path& dir) {
  if (const char* set = std::getenv("XDG_RUNTIME_DIR"); set != nullptr && *set != '\0') return;
  std::error_code ec;
  std::filesystem::create_directories(dir, ec);
  std::filesystem::permissions(dir, std::filesystem::perms::owner_all, std::filesystem::perm_options::replace, ec);
  setenv("XDG_RUNTIME_DIR", dir.c_str(), 1);
}

}  // namespace bench
