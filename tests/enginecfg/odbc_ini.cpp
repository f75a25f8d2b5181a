#include "odbc_ini.h"

#include <cstdlib>
#include <fstream>

namespace {
const char* const kVars[] = {"ODBCSYSINI", "ODBCINSTINI", "ODBCINI"};
void Write(const std::filesystem::path& file, const std::string& text) { std::ofstream(file) << text; }
}  // namespace

OdbcIni::OdbcIni(const std::filesystem::path& dir, const std::string& drivers, const std::string& sources) {
  for (int i = 0; i < 3; ++i) {
    const char* v = std::getenv(kVars[i]);
    had_[i] = v != nullptr;
    if (v) saved_[i] = v;
  }
  std::filesystem::create_directories(dir);
  Write(dir / "odbcinst.ini", drivers);
  Write(dir / "odbc.ini", sources);
  Write(dir / "user.ini", "");  // no data sources of the user's own
  setenv("ODBCSYSINI", dir.c_str(), 1);
  setenv("ODBCINSTINI", "odbcinst.ini", 1);
  setenv("ODBCINI", (dir / "user.ini").c_str(), 1);
}

OdbcIni::~OdbcIni() {
  for (int i = 0; i < 3; ++i) {
    if (had_[i])
      setenv(kVars[i], saved_[i].c_str(), 1);
    else
      unsetenv(kVars[i]);
  }
}
