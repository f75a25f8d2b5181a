#include "core/alias_rules.h"

#include "core/config_model.h"

namespace vtxcfg {
namespace {

bool ChildExists(const std::string& root, const std::string& name) {
  std::string child;
  for (int n = 0; GetChildName(root, n, child) == 0; ++n)
    if (PathEqual(child, name)) return true;
  return false;
}

std::string ValueOr(const std::string& path, const std::string& name) {
  std::string value;
  GetEntryValue(path, name, value);
  return value;
}

}  // namespace

bool AliasExists(const std::string& name) { return ChildExists("\\DATABASES", name); }
bool DriverExists(const std::string& name) { return ChildExists("\\DRIVERS", name); }

bool CheckAliasName(const std::string& name) {
  if (name.empty()) return true;
  for (unsigned char c : name) {
    if (c >= 128) continue;
    if (c <= ' ' || c == 127) return true;
    bool alnum = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
    if (!alnum && c != '_') return true;
  }
  return false;
}

bool CheckDriverName(const std::string& name) { return name.empty() || name.find('\\') != std::string::npos; }

std::vector<std::string> AliasTypeChoices() {
  std::vector<std::string> out;
  bool standard = false;
  for (const std::string& name : DriverNames().names) {
    if (name.empty()) continue;
    if (name == "TESSALY" || name == "DBASE") {
      if (!standard) out.push_back("STANDARD");
      standard = true;
      continue;
    }
    out.push_back(name);
  }
  return out;
}

void AddAliasNode(const std::string& alias, const std::string& type) {
  if (alias.empty()) return;
  const std::string node = "\\DATABASES\\" + alias;
  const std::string driverInit = "\\DRIVERS\\" + type + "\\INIT";
  std::vector<std::pair<std::string, std::string>> info;
  for (const char* name : {"TYPE", "PATH", "DEFAULT DRIVER"}) {
    std::string n = name;
    if (n == "DEFAULT DRIVER" && !PathEqual(type, "STANDARD")) continue;
    std::string value = ValueOr(driverInit, n);
    if (n == "TYPE") value = type;
    if (n == "DEFAULT DRIVER") value = ValueOr("\\SYSTEM\\INIT", n);
    info.emplace_back(n, value);
  }
  std::vector<std::pair<std::string, std::string>> open;
  const std::string driverOpen = "\\DRIVERS\\" + type + "\\DB OPEN";
  for (int n = 0;; ++n) {
    const ConfigEntry* e = GetNodeEntry(driverOpen, n);
    if (!e) break;
    open.emplace_back(e->name, e->value);
  }
  FindDatabasesEnd();
  for (const auto& [name, value] : info) InsertEntry(node + "\\DB INFO", name, value, kAdded);
  FindDatabasesEnd();
  for (const auto& [name, value] : open) InsertEntry(node + "\\DB OPEN", name, value, kAdded);
}

const std::vector<OdbcDriverRow>& OdbcDriverRows() {
  static const std::vector<OdbcDriverRow> rows = {
      {"INIT", "VERSION", "3.0"},
      {"INIT", "TYPE", "SERVER"},
      {"INIT", "DLL", "OXODBC01.DLL"},
      {"INIT", "DLL32", "OXODBC32.DLL"},
      {"INIT", "ODBC DRIVER", nullptr},
      {"INIT", "DRIVER FLAGS", ""},
      {"DB OPEN", "DATABASE NAME", ""},
      {"DB OPEN", "USER NAME", ""},
      {"DB OPEN", "ODBC DSN", nullptr},
      {"DB OPEN", "OPEN MODE", "READ/WRITE"},
      {"DB OPEN", "SCHEMA CACHE SIZE", "8"},
      {"DB OPEN", "SQLQRYMODE", ""},
      {"DB OPEN", "LANGDRIVER", ""},
      {"DB OPEN", "SQLPASSTHRU MODE", "SHARED AUTOCOMMIT"},
      {"DB OPEN", "ENABLE SCHEMA CACHE", "FALSE"},
      {"DB OPEN", "SCHEMA CACHE DIR", ""},
  };
  return rows;
}

void AddOdbcDriverNode(const std::string& name, const std::string& odbcDriver, const std::string& dataSource) {
  const std::string node = "\\DRIVERS\\" + name + "\\";
  std::string lastNode;
  for (const OdbcDriverRow& row : OdbcDriverRows()) {
    // Each node's rows go after the last "\DRIVERS" entry, in order.
    if (lastNode != row.node) FindDriversEnd();
    lastNode = row.node;
    std::string value = row.value ? row.value : std::string(row.node) == "INIT" ? odbcDriver : dataSource;
    InsertEntry(node + row.node, row.name, value, kAdded);
  }
  RefreshDriverTable();
}

}  // namespace vtxcfg
