// The engine's start and stop by name.
#include <mutex>

#include "cfg/cfg_store.h"
#include "orbex32_cfg.h"
#include "platform/paths.h"
#include "platform/registry.h"
#include "platform/text.h"

#define ORB_EXPORT extern "C" __attribute__((visibility("default")))

namespace orb::cfg {
namespace {

struct EngineState {
  std::mutex mutex;
  bool started = false;
  std::unique_ptr<Node> config;
};

EngineState& State() {
  static EngineState* state = new EngineState;
  return *state;
}

std::string Field(const uint8_t* env, size_t offset, size_t size) {
  const char* p = reinterpret_cast<const char*>(env + offset);
  size_t n = 0;
  while (n < size && p[n] != '\0') ++n;
  return std::string(p, n);
}

// The file named in the start record, else the registered one, else
// "ORBEX.CFG" in the system directory.
std::filesystem::path ConfigFileFor(const uint8_t* env) {
  std::string named = platform::OemToAnsi(Field(env, ORB_ENV_CONFIG_FILE, ORB_ENV_FIELD_BYTES));
  if (named.empty()) {
    platform::registry::Key key;
    if (platform::registry::OpenKey(platform::registry::Hive::LocalMachine, "Software\\Vantrix\\Database Engine",
                                    false, key) == platform::registry::kSuccess) {
      key.QueryString("CONFIGFILE01", named);
    }
  }
  if (named.empty()) return platform::FindFileNoCase(platform::SystemDir(), "ORBEX.CFG");
  return platform::MapPath(platform::Cp1252ToUtf8(named));
}

}  // namespace

const Node& ActiveConfig() {
  EngineState& s = State();
  std::lock_guard<std::mutex> lock(s.mutex);
  return s.config ? *s.config : Defaults();
}

bool EngineStarted() {
  EngineState& s = State();
  std::lock_guard<std::mutex> lock(s.mutex);
  return s.started;
}

}  // namespace orb::cfg

using namespace orb::cfg;

ORB_EXPORT uint16_t OrbInitFn(uint16_t version, const void* env) {
  if (!env || version < 300) return ORBCFG_INVALID_ARGUMENT;
  EngineState& s = State();
  std::lock_guard<std::mutex> lock(s.mutex);
  if (s.started) return ORBCFG_ALREADY_STARTED;
  auto tree = std::make_unique<Node>();
  uint16_t rc = LoadFile(ConfigFileFor(static_cast<const uint8_t*>(env)), *tree);
  if (rc == ORBCFG_FILE_NOT_FOUND) {
    tree = Defaults().Clone();  // no file: the built-in defaults
  } else if (rc != 0) {
    return rc;  // a file that is there but unreadable is never silently replaced
  }
  s.config = std::move(tree);
  s.started = true;
  return 0;
}

ORB_EXPORT uint16_t OrbExit(void) {
  EngineState& s = State();
  std::lock_guard<std::mutex> lock(s.mutex);
  s.started = false;
  s.config.reset();
  return 0;
}
