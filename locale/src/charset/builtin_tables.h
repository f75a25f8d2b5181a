// The built-in character-set tables (written at build time by charset_gen
// from ICU's converters, in the layout of charset.h).
#pragma once

#include <cstddef>
#include <cstdint>

namespace slw {

struct BuiltinTable {
  const char* name;
  const uint8_t* bytes;
  std::size_t size;
};

extern const BuiltinTable kBuiltinTables[];
extern const std::size_t kBuiltinTableCount;

}  // namespace slw
