// Windows library names over dlopen.
#include "platform/dynlib.h"

#include <dlfcn.h>

#include <cstring>
#include <system_error>

#include "platform/paths.h"

namespace fs = std::filesystem;

namespace platform::dynlib {
namespace {

bool EndsWithNoCase(std::string_view s, std::string_view suffix) {
  if (s.size() < suffix.size()) return false;
  for (size_t i = 0; i < suffix.size(); ++i) {
    char a = s[s.size() - suffix.size() + i], b = suffix[i];
    if (a >= 'A' && a <= 'Z') a = static_cast<char>(a + 32);
    if (b >= 'A' && b <= 'Z') b = static_cast<char>(b + 32);
    if (a != b) return false;
  }
  return true;
}

bool IsLinuxName(std::string_view name) {
  return EndsWithNoCase(name, ".so") || name.find(".so.") != std::string_view::npos;
}

void SetError(uint32_t* error, uint32_t code) {
  if (error) *error = code;
}

// A dlopen failure of an existing file: a missing dependency counts as a
// missing module (as Windows reports it), anything else as a bad image.
uint32_t DlErrorCode(const char* message) {
  if (message && std::strstr(message, "cannot open shared object file")) return kModNotFound;
  if (message && std::strstr(message, "annot allocate memory")) return kNotEnoughMemory;
  return kOther;
}

Module Open(const fs::path& file, uint32_t* error) {
  dlerror();
  void* handle = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) {
    SetError(error, DlErrorCode(dlerror()));
    return nullptr;
  }
  SetError(error, kOk);
  return handle;
}

bool HasDirectoryPart(std::string_view name) {
  return name.find('/') != std::string_view::npos || name.find('\\') != std::string_view::npos ||
         (name.size() >= 2 && name[1] == ':');
}

// Where a name given with a directory lives: the directory mapped, the file
// name in its Linux form.
fs::path MappedFile(std::string_view windowsName) {
  size_t cut = windowsName.find_last_of("/\\:");
  std::string_view dir = windowsName.substr(0, cut + 1);
  std::string_view base = windowsName.substr(cut + 1);
  fs::path mappedDir = MapPath(dir);
  if (mappedDir.empty()) mappedDir = "/";
  return FindFileNoCase(mappedDir, LinuxLibraryName(base));
}

std::vector<fs::path> Candidates(std::string_view windowsName, const std::vector<fs::path>& dirs) {
  std::vector<fs::path> out;
  const std::string linuxName = LinuxLibraryName(windowsName);
  for (const fs::path& dir : dirs) {
    if (dir.empty()) continue;  // an empty entry would mean the current directory
    out.push_back(FindFileNoCase(dir, linuxName));
  }
  out.push_back(FindFileNoCase(ProgramDir(), linuxName));
  return out;
}

}  // namespace

std::string LinuxLibraryName(std::string_view windowsName) {
  size_t cut = windowsName.find_last_of("/\\");
  std::string_view base = cut == std::string_view::npos ? windowsName : windowsName.substr(cut + 1);
  if (IsLinuxName(base)) return std::string(base);
  if (EndsWithNoCase(base, ".dll") || EndsWithNoCase(base, ".drv") || EndsWithNoCase(base, ".exe"))
    base.remove_suffix(4);
  return "lib" + std::string(base) + ".so";
}

Module Load(std::string_view windowsName, const std::vector<fs::path>& dirs, uint32_t* error) {
  if (windowsName.empty()) {
    SetError(error, kModNotFound);
    return nullptr;
  }
  if (HasDirectoryPart(windowsName)) return LoadFile(MappedFile(windowsName), error);
  std::error_code ec;
  for (const fs::path& candidate : Candidates(windowsName, dirs))
    if (fs::is_regular_file(candidate, ec)) return Open(candidate, error);
  // The system's own search. A bare name never finds the current
  // directory there unless LD_LIBRARY_PATH names it.
  const std::string linuxName = LinuxLibraryName(windowsName);
  dlerror();
  void* handle = dlopen(linuxName.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) {
    const char* message = dlerror();
    // "cannot open shared object file" here means it was found nowhere.
    SetError(error, message && std::strstr(message, linuxName.c_str()) &&
                            std::strstr(message, "cannot open shared object file")
                        ? kModNotFound
                        : DlErrorCode(message));
    return nullptr;
  }
  SetError(error, kOk);
  return handle;
}

Module LoadFile(const fs::path& file, uint32_t* error) {
  std::error_code ec;
  if (file.empty()) {
    SetError(error, kFileNotFound);
    return nullptr;
  }
  if (!file.parent_path().empty() && !fs::is_directory(file.parent_path(), ec)) {
    SetError(error, kPathNotFound);
    return nullptr;
  }
  if (!fs::exists(file, ec)) {
    SetError(error, kModNotFound);
    return nullptr;
  }
  // dlopen searches for a name without a slash; this file is meant exactly.
  fs::path exact = file.has_parent_path() ? file : fs::path(".") / file;
  return Open(exact, error);
}

Module LoadedModule(std::string_view windowsName) {
  std::vector<fs::path> names;
  if (HasDirectoryPart(windowsName)) {
    names.push_back(MappedFile(windowsName));
  } else {
    names = Candidates(windowsName, {});
    names.emplace_back(LinuxLibraryName(windowsName));
  }
  for (const fs::path& name : names) {
    if (void* handle = dlopen(name.c_str(), RTLD_NOW | RTLD_NOLOAD)) {
      // RTLD_NOLOAD still counts a reference; GetModuleHandle takes none.
      dlclose(handle);
      return handle;
    }
  }
  return nullptr;
}

void* Entry(Module module, const char* name) {
  if (!module || !name) return nullptr;
  return dlsym(module, name);
}

void* EntryByOrdinal(Module module, uint16_t ordinal) {
  using Resolver = void* (*)(uint16_t);
  void* resolver = Entry(module, "OrbEntryByOrdinal");
  if (!resolver) return nullptr;
  return reinterpret_cast<Resolver>(resolver)(ordinal);
}

void Free(Module module) {
  if (module) dlclose(module);
}

}  // namespace platform::dynlib
