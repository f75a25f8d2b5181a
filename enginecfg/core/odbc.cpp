#include "core/odbc.h"

#include <dlfcn.h>

#include <filesystem>

#include "core/alias_rules.h"
#include "core/config_model.h"
#include "core/engine_binding.h"
#include "platform/paths.h"
#include "platform/text.h"

namespace vtxcfg {
namespace {

// The ODBC types as the driver manager's interface defines them.
using SqlReturn = short;
using SqlHenv = void*;
using SqlHdbc = void*;
using AllocEnvFn = SqlReturn (*)(SqlHenv*);
using FreeEnvFn = SqlReturn (*)(SqlHenv);
using AllocConnectFn = SqlReturn (*)(SqlHenv, SqlHdbc*);
using FreeConnectFn = SqlReturn (*)(SqlHdbc);
using GetInfoFn = SqlReturn (*)(SqlHdbc, unsigned short, void*, short, short*);
using ListFn = SqlReturn (*)(SqlHenv, unsigned short, unsigned char*, short, short*, unsigned char*, short, short*);

constexpr unsigned short kFetchNext = 1;
constexpr unsigned short kFetchFirst = 2;
constexpr short kTextBytes = 256;
// The information type that asks the driver manager for its own version,
// "##.##.####.####"; answered on a connection that is not connected.
constexpr unsigned short kInfoManagerVersion = 171;

std::string& LibraryName() {
  static std::string name = "libodbc.so.2";
  return name;
}

// Walks SQLDrivers or SQLDataSources, first then next, until "no more" or
// an error; `take` gets each pair of texts with their full lengths.
template <typename Take>
void Walk(void* allocEnv, void* freeEnv, void* list, Take take) {
  SqlHenv env = nullptr;
  if (reinterpret_cast<AllocEnvFn>(allocEnv)(&env) != 0 || !env) return;
  unsigned short direction = kFetchFirst;
  while (true) {
    unsigned char first[kTextBytes] = {}, second[kTextBytes] = {};
    short firstLen = 0, secondLen = 0;
    SqlReturn rc = reinterpret_cast<ListFn>(list)(env, direction, first, kTextBytes, &firstLen, second, kTextBytes,
                                                  &secondLen);
    if (rc != 0 && rc != 1) break;
    direction = kFetchNext;
    auto text = [](const unsigned char* p) {
      size_t n = 0;
      while (n < kTextBytes && p[n]) ++n;
      return std::string(reinterpret_cast<const char*>(p), n);
    };
    take(text(first), firstLen, text(second), secondLen);
  }
  reinterpret_cast<FreeEnvFn>(freeEnv)(env);
}

bool Fits(const std::string& utf8, short length) {
  return length >= 0 && length < kTextBytes && platform::Utf8ToCp1252(utf8).size() <= kOdbcTextChars;
}

}  // namespace

OdbcDriverManager::OdbcDriverManager() {
  library_ = dlopen(LibraryName().c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!library_) return;
  allocEnv_ = dlsym(library_, "SQLAllocEnv");
  drivers_ = dlsym(library_, "SQLDrivers");
  dataSources_ = dlsym(library_, "SQLDataSources");
  freeEnv_ = dlsym(library_, "SQLFreeEnv");
  allocConnect_ = dlsym(library_, "SQLAllocConnect");
  freeConnect_ = dlsym(library_, "SQLFreeConnect");
  getInfo_ = dlsym(library_, "SQLGetInfo");
}

OdbcDriverManager::~OdbcDriverManager() {
  if (library_) dlclose(library_);
}

bool OdbcDriverManager::Bound() const { return library_ && allocEnv_ && drivers_ && dataSources_ && freeEnv_; }

int OdbcDriverManager::MajorVersion() const {
  if (!library_ || !allocEnv_ || !freeEnv_ || !allocConnect_ || !freeConnect_ || !getInfo_) return -1;
  SqlHenv env = nullptr;
  if (reinterpret_cast<AllocEnvFn>(allocEnv_)(&env) != 0 || !env) return -1;
  int major = -1;
  SqlHdbc dbc = nullptr;
  if (reinterpret_cast<AllocConnectFn>(allocConnect_)(env, &dbc) == 0 && dbc) {
    char text[kTextBytes] = {};
    short length = 0;
    SqlReturn rc = reinterpret_cast<GetInfoFn>(getInfo_)(dbc, kInfoManagerVersion, text, kTextBytes, &length);
    if (rc == 0 || rc == 1) {
      text[kTextBytes - 1] = 0;
      // The number before the first ".": digits only, and not absurdly long.
      int value = 0, digits = 0;
      for (const char* p = text; *p >= '0' && *p <= '9' && digits < 6; ++p, ++digits) value = value * 10 + (*p - '0');
      if (digits > 0 && digits < 6 && (text[digits] == '.' || text[digits] == 0)) major = value;
    }
    reinterpret_cast<FreeConnectFn>(freeConnect_)(dbc);
  }
  reinterpret_cast<FreeEnvFn>(freeEnv_)(env);
  return major;
}

std::vector<std::string> OdbcDriverManager::Drivers() const {
  std::vector<std::string> out;
  if (!Bound()) return out;
  Walk(allocEnv_, freeEnv_, drivers_, [&](const std::string& description, short length, const std::string&, short) {
    if (Fits(description, length)) out.push_back(platform::Utf8ToCp1252(description));
  });
  return out;
}

std::vector<std::string> OdbcDriverManager::DataSources(const std::string& driver) const {
  std::vector<std::string> out;
  if (!Bound()) return out;
  Walk(allocEnv_, freeEnv_, dataSources_,
       [&](const std::string& name, short length, const std::string& description, short) {
         if (Fits(name, length) && PathEqual(platform::Utf8ToCp1252(description), driver))
           out.push_back(platform::Utf8ToCp1252(name));
       });
  return out;
}

int OdbcVersionCheck() {
  std::string dllPath, conduit;
  GetEngineDllPath(dllPath);
  bool conduitFound = FindFileOnPath(dllPath, "OXODBC01.DLL", conduit);
  int major = OdbcDriverManager().MajorVersion();
  if (major < 0) return 40;
  if (conduitFound && major < 2) return 41;
  return 0;
}

bool FindFileOnPath(const std::string& directories, const std::string& file, std::string& path) {
  size_t start = 0;
  while (start <= directories.size()) {
    size_t end = directories.find(';', start);
    if (end == std::string::npos) end = directories.size();
    std::string dir = directories.substr(start, std::min<size_t>(end - start, 259));
    start = end + 1;
    if (dir.empty()) continue;
    if (dir.back() != '/' && dir.back() != '\\') dir += '/';
    std::string candidate = dir + file;
    std::error_code ec;
    std::filesystem::path mapped = platform::MapPath(platform::Cp1252ToUtf8(candidate));
    if (std::filesystem::is_regular_file(mapped, ec)) {
      path = candidate;
      return true;
    }
  }
  return false;
}

void SetOdbcLibraryForTesting(const std::string& name) { LibraryName() = name.empty() ? "libodbc.so.2" : name; }

}  // namespace vtxcfg
