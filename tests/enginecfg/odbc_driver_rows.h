// The parameter rows a new ODBC driver gets, in order, with the driver and
// the data source the user chose.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace vtxcfg_test {

using Rows = std::vector<std::pair<std::string, std::string>>;

inline Rows NewOdbcInitRows(const std::string& odbcDriver) {
  return {{"VERSION", "3.0"},     {"TYPE", "SERVER"},          {"DLL", "OXODBC01.DLL"},
          {"DLL32", "OXODBC32.DLL"}, {"ODBC DRIVER", odbcDriver}, {"DRIVER FLAGS", ""}};
}

inline Rows NewOdbcOpenRows(const std::string& dataSource) {
  return {{"DATABASE NAME", ""},
          {"USER NAME", ""},
          {"ODBC DSN", dataSource},
          {"OPEN MODE", "READ/WRITE"},
          {"SCHEMA CACHE SIZE", "8"},
          {"SQLQRYMODE", ""},
          {"LANGDRIVER", ""},
          {"SQLPASSTHRU MODE", "SHARED AUTOCOMMIT"},
          {"ENABLE SCHEMA CACHE", "FALSE"},
          {"SCHEMA CACHE DIR", ""}};
}

}  // namespace vtxcfg_test
