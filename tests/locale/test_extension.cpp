// A locale extension library for the tests. SLEXTEST_INIT_FAILS and
// SLEXTEST_NO_COLLATE in the environment make its start or its query fail.
#include <cstdint>
#include <cstdlib>

namespace {
int g_exits = 0;
int16_t Collate(void*, const void*, const void*) { return 0; }
}  // namespace

#define EXPORT extern "C" __attribute__((visibility("default")))

EXPORT int SLEXI_Init(uint16_t major, uint16_t minor, void*) {
  if (std::getenv("SLEXTEST_INIT_FAILS") != nullptr) return 1;
  return major == 1 && minor == 1 ? 0 : 2;
}

EXPORT int SLEXI_Query(void*, uint16_t slot, void* record) {
  void** ops = static_cast<void**>(record);
  if (slot == 0 && std::getenv("SLEXTEST_NO_COLLATE") == nullptr) ops[0] = reinterpret_cast<void*>(&Collate);
  return 0;
}

EXPORT int SLEXI_Exit(void) { return ++g_exits; }

EXPORT int SLEXTEST_Exits(void) { return g_exits; }
