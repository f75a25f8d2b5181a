// Any file the user points keldro at is first looked at as a dBASE header.
#include <cstdint>
#include <cstdlib>

#include "core/dbf_header.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (auto h = keldro::ParseDbfHeader(data, size, size)) {
    if (h->fieldNames.empty() || h->headerLength > size || h->fieldNames.size() != h->fieldTypes.size()) std::abort();
    for (const auto& n : h->fieldNames)
      if (n.empty() || n.size() > 11) std::abort();
  }
  return 0;
}
