#include "temp_root.h"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "platform/paths.h"
#include "platform/registry.h"

namespace fs = std::filesystem;

namespace testing_support {

TempRoot::TempRoot() {
  std::string pattern = (fs::temp_directory_path() / "stashwell-test-XXXXXX").string();
  if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
  root_ = pattern;
  if (const char* old = std::getenv("STASHWELL_ROOT")) {
    hadRoot_ = true;
    oldRoot_ = old;
  }
  setenv("STASHWELL_ROOT", root_.c_str(), 1);
  fs::create_directories(programDir());
  platform::SetProgramDir(programDir());
}

TempRoot::~TempRoot() {
  platform::SetProgramDir({});
  if (hadRoot_)
    setenv("STASHWELL_ROOT", oldRoot_.c_str(), 1);
  else
    unsetenv("STASHWELL_ROOT");
  std::error_code ec;
  fs::remove_all(root_, ec);
}

void TempRoot::WriteFile(const fs::path& file, const std::string& bytes) {
  fs::create_directories(file.parent_path());
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + file.string());
}

std::string TempRoot::ReadFile(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void TempRoot::RegisterShippedLocales() const {
  namespace reg = platform::registry;
  reg::Key key;
  if (reg::CreateKey(reg::Hive::LocalMachine, "Software\\Vantrix\\Slw32", key) != reg::kSuccess)
    throw std::runtime_error("cannot register the locale libraries");
  const fs::path dir = STASHWELL_LOCALE_BUILD_DIR;
  if (key.SetString("LOCALE_LIB1", (dir / "LOCALE.SLL").string()) != reg::kSuccess ||
      key.SetString("LOCALE_LIB2", (dir / "USA.SLL").string()) != reg::kSuccess)
    throw std::runtime_error("cannot register the locale libraries");
}

}  // namespace testing_support
