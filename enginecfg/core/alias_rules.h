// Adding and deleting aliases and ODBC drivers in the entry list: the name
// rules, the rows a new alias or driver gets, and the alias types offered.
// Everything here changes only the list; the file changes on Save.
#pragma once

#include <string>
#include <vector>

namespace vtxcfg {

inline constexpr size_t kAliasNameChars = 31;
// "ODBC_" and the typed name fill a driver slot of 31 characters.
inline constexpr size_t kOdbcNameChars = 26;
// A new driver needs a free slot of the 35.
inline constexpr int kMaxDriversBeforeAdd = 34;
// Longer ODBC driver descriptions and data-source names do not fit a value.
inline constexpr size_t kOdbcTextChars = 127;

// An alias of that name, in any letter case: the engine and every lookup
// ignore case, so "MyData" beside "MYDATA" would be the same alias.
bool AliasExists(const std::string& name);
bool DriverExists(const std::string& name);
// true when invalid: empty, or a character below 128 that is a blank, a
// control character or punctuation other than "_".
bool CheckAliasName(const std::string& name);
// true when invalid: empty, or holding "\", which would split the node path.
bool CheckDriverName(const std::string& name);

// The types of the new-alias dialog, from the driver table: "TESSALY" and
// "DBASE" are offered as one "STANDARD" at the first of them.
std::vector<std::string> AliasTypeChoices();

// \DATABASES\{alias}\DB INFO and \DATABASES\{alias}\DB OPEN, added.
void AddAliasNode(const std::string& alias, const std::string& type);

struct OdbcDriverRow {
  const char* node;  // "INIT" or "DB OPEN"
  const char* name;
  const char* value;  // nullptr: the chosen driver (INIT) or data source (DB OPEN)
};
// The 6 INIT and 10 DB OPEN rows of a new ODBC driver, in order.
const std::vector<OdbcDriverRow>& OdbcDriverRows();
// \DRIVERS\{name}\INIT and \DRIVERS\{name}\DB OPEN, added; the driver table
// is refreshed.
void AddOdbcDriverNode(const std::string& name, const std::string& odbcDriver, const std::string& dataSource);

}  // namespace vtxcfg
