// Compressed locale files come from anywhere: expanding never faults or
// reads past the input, and a success gives exactly the announced length.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/lzfile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<uint8_t> in(data, data + size);
  std::vector<uint8_t> out;
  platform::LzStatus s = platform::ExpandLzData(in, out);
  if (s == platform::LzStatus::kOk && size >= 14 &&
      std::memcmp(data, "SZDD\x88\xF0\x27\x33", 8) == 0) {
    size_t announced = static_cast<size_t>(data[10]) | static_cast<size_t>(data[11]) << 8 |
                       static_cast<size_t>(data[12]) << 16 | static_cast<size_t>(data[13]) << 24;
    if (out.size() != announced) std::abort();
  }
  return 0;
}
