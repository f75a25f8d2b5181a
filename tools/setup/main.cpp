// stashwell-setup: the first set-up an install runs. The root it sets up is
// the one in STASHWELL_ROOT (the install passes the program folder's parent).
//   stashwell-setup [LOCALE-DIR]
#include <cstdio>

#include "first_setup.h"
#include "platform/paths.h"

int main(int argc, char** argv) {
  const std::filesystem::path programDir = platform::ProgramDir();
  const std::filesystem::path localeDir = argc > 1 ? std::filesystem::path(argv[1]) : programDir;
  setup::Outcome out = setup::FirstSetup(programDir, localeDir);
  if (!out.error.empty()) {
    std::fprintf(stderr, "stashwell-setup: %s\n", out.error.c_str());
    return 1;
  }
  if (out.engineRegistered) std::printf("-- Engine registered in %s\n", platform::RootDir().c_str());
  if (out.configWritten) std::printf("-- Engine configuration written with its defaults\n");
  if (out.localesRegistered > 0) std::printf("-- %d locale libraries registered\n", out.localesRegistered);
  return 0;
}
