// LC_COLLATE bodies: the first byte picks the family and the compare flags,
// the second how many of the last bytes are the two strings; the rest is
// the body. A body that loads is walked by the weighted compare (and the
// narrow fast path), the sort key and the code-order compare over strings of
// exactly their size, so no table that passed the checks can be walked past
// its end and no string read past its terminator or limit.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "collation/engine.h"

namespace {

template <class F>
void Walk(const slw::CollateContext& x, const std::vector<typename F::Unit>& a, const std::vector<typename F::Unit>& b) {
  volatile int sink = 0;
  const auto la = static_cast<uint32_t>(a.size() - 1), lb = static_cast<uint32_t>(b.size() - 1);
  sink = sink + slw::WeightedCompare<F>(x, a.data(), slw::kNoLimit, b.data(), slw::kNoLimit, true).value;
  sink = sink + slw::WeightedCompare<F>(x, a.data(), la / 2, b.data(), lb, true).value;
  std::vector<typename F::KeyUnit> key(1 + la % 64);
  sink = sink + slw::WeightedKey<F>(x, key.data(), a.data(), slw::kNoLimit, static_cast<uint16_t>(key.size()));
  sink = sink + slw::CodeCompare<F>(x, a.data(), la, b.data(), slw::kNoLimit);
  if constexpr (F::kNarrow) sink = sink + slw::FastCompare(x, a.data(), slw::kNoLimit, b.data(), lb / 2);
}

template <class Unit>
std::vector<Unit> Text(const uint8_t* p, std::size_t n) {
  std::vector<Unit> s;
  for (std::size_t i = 0; i + sizeof(Unit) <= n; i += sizeof(Unit))
    s.push_back(static_cast<Unit>(sizeof(Unit) == 1 ? p[i] : p[i] | p[i + 1] << 8));
  s.push_back(0);
  return s;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const uint8_t family = static_cast<uint8_t>(1 + data[0] % 3);
  std::size_t tail = std::min<std::size_t>(data[1], size - 2);
  const uint8_t* body = data + 2;
  std::size_t bodySize = size - 2 - tail;
  slw::CollationTable table(family);
  if (table.Parse(body, bodySize) != slw::kOk || table.levels() == 0) return 0;
  const uint8_t* strings = body + bodySize;
  std::size_t half = tail / 2;
  static const uint8_t kLeads[32] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF};
  std::vector<uint8_t> defined(family == 1 ? 32 : 8192, 0x5A);
  slw::CollateContext x;
  x.table = &table;
  x.leadBytes = kLeads;
  x.defined = defined.data();
  x.definedSize = defined.size();
  x.levels = static_cast<uint16_t>(1 + (data[0] >> 2) % 8);
  x.flags = static_cast<uint16_t>((data[0] >> 5) & 0x6);
  if (family == 2)
    Walk<slw::WideText>(x, Text<char16_t>(strings, half), Text<char16_t>(strings + half, tail - half));
  else if (family == 1)
    Walk<slw::NarrowText>(x, Text<char>(strings, half), Text<char>(strings + half, tail - half));
  else
    Walk<slw::MultiText>(x, Text<char>(strings, half), Text<char>(strings + half, tail - half));
  return 0;
}
