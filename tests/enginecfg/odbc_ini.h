// unixODBC's own configuration in a temporary folder: an odbcinst.ini that
// names test drivers and an odbc.ini with data sources on them. No driver
// library is needed: listing drivers and data sources reads only the files.
#pragma once

#include <filesystem>
#include <string>

class OdbcIni {
 public:
  // `drivers` and `sources` are ini sections, written as given.
  OdbcIni(const std::filesystem::path& dir, const std::string& drivers, const std::string& sources);
  ~OdbcIni();

 private:
  std::string saved_[3];
  bool had_[3] = {};
};
