// The ODBC driver manager (unixODBC), loaded at run time by its Linux name
// "libodbc.so.2" and bound by name: the installed drivers and the data
// sources on each. Every environment allocated is freed again.
#pragma once

#include <string>
#include <vector>

namespace vtxcfg {

class OdbcDriverManager {
 public:
  OdbcDriverManager();
  ~OdbcDriverManager();
  OdbcDriverManager(const OdbcDriverManager&) = delete;
  OdbcDriverManager& operator=(const OdbcDriverManager&) = delete;

  // The library and its entries "SQLAllocEnv", "SQLDrivers", "SQLDataSources".
  bool Bound() const;
  // Descriptions of the installed drivers, in the manager's order; those
  // too long for a configuration value are left out. Text is Windows-1252.
  std::vector<std::string> Drivers() const;
  // Names of the data sources whose driver is `driver` (ignoring case).
  std::vector<std::string> DataSources(const std::string& driver) const;
  // The manager's major version, as it answers for itself on a connection
  // handle of a new environment; -1 when there is no library, an entry is
  // missing, a call fails or the answer is no version.
  int MajorVersion() const;

 private:
  void* library_ = nullptr;
  void* allocEnv_ = nullptr;
  void* drivers_ = nullptr;
  void* dataSources_ = nullptr;
  void* freeEnv_ = nullptr;
  void* allocConnect_ = nullptr;
  void* freeConnect_ = nullptr;
  void* getInfo_ = nullptr;
};

// 0 when a usable driver manager is installed; 40 when its version cannot
// be had (no library, an entry missing, a failed call), 41 when it is older
// than ODBC 2 while the engine's ODBC conduit "OXODBC01.DLL" lies on the
// engine's DLLPATH.
int OdbcVersionCheck();

// Looks for `file` in each directory of `directories` (separated by ";", a
// "/" added where missing); true and the path of the first found.
bool FindFileOnPath(const std::string& directories, const std::string& file, std::string& path);

// For tests: the library to load ("" for "libodbc.so.2").
void SetOdbcLibraryForTesting(const std::string& name);

}  // namespace vtxcfg
