// The configuration file reader on arbitrary bytes: it accepts or refuses,
// and what it accepts writes back to text that reads the same.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "cfg/cfg_tree.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  orb::cfg::Node root;
  if (orb::cfg::Parse(text, root) != orb::cfg::ParseResult::kOk) return 0;
  std::string once = orb::cfg::Serialize(root);
  orb::cfg::Node again;
  if (orb::cfg::Parse(once, again) != orb::cfg::ParseResult::kOk) std::abort();
  if (orb::cfg::Serialize(again) != once) std::abort();
  return 0;
}
