#include "first_setup.h"

#include <system_error>

#include "orbex32_cfg.h"
#include "platform/paths.h"
#include "platform/registry.h"
#include "platform/text.h"

namespace setup {
namespace {

namespace fs = std::filesystem;
namespace reg = platform::registry;

constexpr const char* kEngineKey = "Software\\Vantrix\\Database Engine";
constexpr const char* kLocaleKey = "Software\\Vantrix\\Slw32";

// Registry values and engine paths are Windows-1252 text.
std::string Ansi(const fs::path& p) { return platform::Utf8ToCp1252(p.string()); }

// Writes the engine's built-in defaults through its own configuration store,
// which writes beside the target and renames in.
std::string WriteDefaultConfig(const fs::path& file) {
  uint32_t handle = 0;
  const std::string oem = platform::AnsiToOem(Ansi(file));
  uint16_t rc = EngineOpenConfigFile(oem.c_str(), 1, &handle);
  if (rc != 0) return "cannot create " + file.string() + ": " + OrbCfgResultText(rc);
  rc = EngineCloseConfigFile(&handle, 1, 0, 0);
  if (rc != 0) return "cannot write " + file.string() + ": " + OrbCfgResultText(rc);
  return {};
}

std::string RegisterEngine(const fs::path& programDir, Outcome& out) {
  reg::Key key;
  if (reg::OpenKey(reg::Hive::LocalMachine, kEngineKey, false, key) == reg::kSuccess) return {};
  const fs::path config = platform::FindFileNoCase(platform::SystemDir(), "ORBEX.CFG");
  std::error_code ec;
  if (!fs::exists(config, ec)) {
    // The file first: the registry never names a file that is not there.
    if (std::string error = WriteDefaultConfig(config); !error.empty()) return error;
    out.configWritten = true;
  }
  if (reg::CreateKey(reg::Hive::LocalMachine, kEngineKey, key) != reg::kSuccess ||
      key.SetString("DLLPATH", Ansi(programDir)) != reg::kSuccess ||
      key.SetString("CONFIGFILE01", Ansi(config)) != reg::kSuccess)
    return "cannot write the engine's registry values";
  out.engineRegistered = true;
  return {};
}

std::string RegisterLocales(const fs::path& localeDir, Outcome& out) {
  static const char* const kFiles[] = {"LOCALE.SLL", "USA.SLL"};
  reg::Key key;
  bool open = false;
  for (int i = 0; i < 2; ++i) {
    const fs::path file = localeDir / kFiles[i];
    std::error_code ec;
    if (!fs::exists(file, ec)) continue;
    const std::string name = "LOCALE_LIB" + std::to_string(i + 1);
    reg::Key probe;
    std::string existing;
    if (reg::OpenKey(reg::Hive::LocalMachine, kLocaleKey, false, probe) == reg::kSuccess &&
        probe.QueryString(name, existing) == reg::kSuccess)
      continue;
    if (!open && reg::CreateKey(reg::Hive::LocalMachine, kLocaleKey, key) != reg::kSuccess)
      return "cannot write the locale library registration";
    open = true;
    if (key.SetString(name, Ansi(fs::absolute(file))) != reg::kSuccess)
      return "cannot write the locale library registration";
    ++out.localesRegistered;
  }
  return {};
}

}  // namespace

Outcome FirstSetup(const fs::path& programDir, const fs::path& localeDir) {
  Outcome out;
  out.error = RegisterEngine(programDir, out);
  if (out.error.empty()) out.error = RegisterLocales(localeDir, out);
  return out;
}

}  // namespace setup
