#include "shot_path.h"

#include <cstdlib>
#include <filesystem>

namespace testing_support {

std::string ShotPath(const std::string& name) {
  const char* env = std::getenv("STASHWELL_SHOT_DIR");
  const std::filesystem::path dir =
      env != nullptr && *env != '\0' ? std::filesystem::path(env) : std::filesystem::path(STASHWELL_SHOT_BUILD_DIR);
  std::filesystem::create_directories(dir);
  return (dir / name).string();
}

}  // namespace testing_support
