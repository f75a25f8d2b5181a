// A stand-in engine library that only starts and stops: OrbInitFn answers
// FIRST_RESULT while the start record names no configuration file, 0 once
// it names one (the utility's second attempt), and OrbExit answers 0.
#include <cstdint>

#define STANDIN_EXPORT extern "C" __attribute__((visibility("default")))

namespace {
constexpr int kConfigFileOffset = 261;
}  // namespace

STANDIN_EXPORT uint16_t OrbInitFn(uint16_t version, const void* env) {
  const auto* bytes = static_cast<const unsigned char*>(env);
  if (version != 300 || bytes == nullptr) return 1;
  return bytes[kConfigFileOffset] == 0 ? uint16_t{FIRST_RESULT} : uint16_t{0};
}

STANDIN_EXPORT uint16_t OrbExit() { return 0; }
