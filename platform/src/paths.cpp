#include "platform/paths.h"

#include <unistd.h>

#include <cstdlib>
#include <mutex>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

namespace platform {
namespace {

std::mutex g_mutex;
fs::path g_programDir;  // set by SetProgramDir; empty means the executable's

bool EqualNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    unsigned char x = static_cast<unsigned char>(a[i]);
    unsigned char y = static_cast<unsigned char>(b[i]);
    if (x >= 'a' && x <= 'z') x = static_cast<unsigned char>(x - 32);
    if (y >= 'a' && y <= 'z') y = static_cast<unsigned char>(y - 32);
    if (x != y) return false;
  }
  return true;
}

fs::path EnsureDir(const fs::path& dir) {
  std::error_code ec;
  fs::create_directories(dir, ec);
  return dir;
}

}  // namespace

fs::path RootDir() {
  if (const char* root = std::getenv("STASHWELL_ROOT"); root && *root) return fs::path(root);
  if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg) return fs::path(xdg) / "stashwell";
  if (const char* home = std::getenv("HOME"); home && *home)
    return fs::path(home) / ".local" / "share" / "stashwell";
  return fs::temp_directory_path() / "stashwell";
}

fs::path WindowsDir() { return EnsureDir(RootDir() / "WINDOWS"); }
fs::path SystemDir() { return EnsureDir(RootDir() / "WINDOWS" / "SYSTEM"); }
fs::path RegistryDir() { return EnsureDir(RootDir() / "REGISTRY"); }

fs::path ProgramDir() {
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    if (!g_programDir.empty()) return g_programDir;
  }
  std::error_code ec;
  fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  if (ec) return fs::current_path(ec);
  return exe.parent_path();
}

void SetProgramDir(const fs::path& dir) {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_programDir = dir;
}

fs::path FindFileNoCase(const fs::path& dir, std::string_view name) {
  std::error_code ec;
  fs::path exact = dir / fs::path(std::string(name));
  if (fs::exists(exact, ec)) return exact;
  // A bare name is looked up in the current directory, and keeps its bare form.
  for (fs::directory_iterator it(dir.empty() ? fs::path(".") : dir, ec), end; !ec && it != end; it.increment(ec)) {
    if (EqualNoCase(it->path().filename().string(), name)) return dir / it->path().filename();
  }
  return exact;
}

fs::path MapPath(std::string_view windowsPath) {
  std::string p(windowsPath);
  for (char& c : p)
    if (c == '\\') c = '/';
  fs::path base;
  size_t pos = 0;
  if (p.size() >= 2 && p[1] == ':' &&
      ((p[0] >= 'A' && p[0] <= 'Z') || (p[0] >= 'a' && p[0] <= 'z'))) {
    char drive = static_cast<char>(p[0] >= 'a' ? p[0] - 32 : p[0]);
    base = RootDir() / std::string(1, drive);
    pos = 2;
    while (pos < p.size() && p[pos] == '/') ++pos;
  } else if (!p.empty() && p[0] == '/') {
    base = "/";
    pos = 1;
  }
  // Resolve each component without regard to case while the directories
  // exist; the rest keeps the caller's spelling.
  fs::path result = base;
  bool resolving = true;
  while (pos <= p.size()) {
    size_t next = p.find('/', pos);
    if (next == std::string::npos) next = p.size();
    std::string part = p.substr(pos, next - pos);
    pos = next + 1;
    if (part.empty() || part == ".") continue;
    if (part == "..") {
      // As on Windows, ".." at a drive's root (or "/") stays there.
      if (result.empty() || result.filename() == "..") result /= "..";
      else if (result != base) result = result.parent_path();
      continue;
    }
    std::error_code ec;
    fs::path dir = result.empty() ? fs::path(".") : result;
    if (resolving && fs::is_directory(dir, ec)) {
      fs::path found = FindFileNoCase(dir, part);
      result = result.empty() ? found.filename() : result / found.filename();
    } else {
      resolving = false;
      result /= part;
    }
  }
  return result;
}

}  // namespace platform
