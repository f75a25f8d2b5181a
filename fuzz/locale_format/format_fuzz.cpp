// The time formatters and the printf engines of the three families over an
// arbitrary format. The time output is exactly the size given, so a write
// past it is caught. The printf engines get more arguments than any format
// of at most four specifications can read: pointers to one zeroed block
// (long enough for "%s", "%n" and a packed decimal) and doubles.
#include <algorithm>
#include <memory>

#include "fixture.h"

using namespace format_fuzz;

namespace {

alignas(16) uint8_t g_block[256];

#define P8 g_block, g_block, g_block, g_block, g_block, g_block, g_block, g_block
#define ARGS 1.5, -2.25e-7, 1e300, 0.0, -1.0, 123456.789, 3.0, 4.0, P8, P8, P8, P8, P8, P8

template <typename Unit, typename Print>
void PrintBoth(const std::vector<Unit>& format, Print print) {
  size_t specs = 0;
  for (Unit u : format) specs += u == '%' ? 1 : 0;
  if (specs > 4 || format.size() > 512) return;
  std::fill(std::begin(g_block), std::end(g_block), 0);
  auto out = std::make_unique<Unit[]>(8192);
  print(out.get(), format.data());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Locales locales = Setup();
  if (size < 2 + 4 * 10) return 0;
  const int family = data[0] % 3;
  hlocale h = Pick(locales, data[0]);
  const uint16_t room = data[1];
  SL_TIME t;
  int32_t* fields = &t.sec;
  // Small values mostly, any 32-bit value when the field's top byte is set.
  for (int i = 0; i < 10; ++i) {
    const uint8_t* f = data + 2 + 4 * i;
    fields[i] = f[3] != 0 ? static_cast<int32_t>(f[0] | f[1] << 8 | f[2] << 16 | static_cast<uint32_t>(f[3]) << 24)
                          : static_cast<int8_t>(f[0]) * (i == 5 ? 40 : 1);
  }
  data += 2 + 4 * 10;
  size -= 2 + 4 * 10;
  if (family == 1) {
    std::vector<SL_WCHAR> format = Text<SL_WCHAR>(data, size);
    auto out = std::make_unique<SL_WCHAR[]>(room + 1u);
    SLW_FmtStrTime(h, out.get(), format.data(), &t, room);
    PrintBoth(format, [&](SL_WCHAR* o, const SL_WCHAR* f) { _SLW_FmtStrPrint(h, o, f, ARGS); });
  } else {
    std::vector<char> format = Text<char>(data, size);
    auto out = std::make_unique<char[]>(room + 1u);
    if (family == 0) {
      SLN_FmtStrTime(h, out.get(), format.data(), &t, room);
      PrintBoth(format, [&](char* o, const char* f) { _SLN_FmtStrPrint(h, o, f, ARGS); });
    } else {
      SLM_FmtStrTime(h, out.get(), format.data(), &t, room);
      PrintBoth(format, [&](char* o, const char* f) { _SLM_FmtStrPrint(h, o, f, ARGS); });
    }
  }
  return 0;
}
