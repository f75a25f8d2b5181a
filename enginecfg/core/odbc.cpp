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
using AllocEnvFn = SqlReturn (*)(SqlHenv*);
using FreeEnvFn = SqlReturn (*)(SqlHenv);
using ListFn = SqlReturn (*)(SqlHenv, unsigned short, unsigned char*, short, short*, unsigned char*, short, short*);

constexpr unsigned short kFetchNext = 1;
constexpr unsigned short kFetchFirst = 2;
constexpr short kTextBytes = 256;
// unixODBC implements ODBC 3.
constexpr int kManagerMajorVersion = 3;

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
}

OdbcDriverManager::~OdbcDriverManager() {
  if (library_) dlclose(library_);
}

bool OdbcDriverManager::Bound() const { return library_ && allocEnv_ && drivers_ && dataSources_ && freeEnv_; }

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
  OdbcDriverManager manager;
  if (!manager.HasLibrary()) return 30;
  if (!manager.Bound()) return 40;
  if (conduitFound && kManagerMajorVersion < 2) return 41;
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
