// First set-up of an installation: what the engine's and the locale library's
// own installers did on Windows. Only what is missing is written; a
// configuration, a registry value or a locale registration a user already has
// is never touched, so running it again changes nothing.
#pragma once

#include <filesystem>
#include <string>

namespace setup {

struct Outcome {
  bool engineRegistered = false;   // DLLPATH and CONFIGFILE01 written
  bool configWritten = false;      // the configuration file created with the defaults
  int localesRegistered = 0;       // LOCALE_LIBn values written
  std::string error;               // empty on success
};

// programDir holds the engine; localeDir the shipped locale library files.
Outcome FirstSetup(const std::filesystem::path& programDir, const std::filesystem::path& localeDir);

}  // namespace setup
