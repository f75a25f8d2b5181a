// The number scanners of the three families over arbitrary text.
#include "fixture.h"

using namespace format_fuzz;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Locales locales = Setup();
  if (size < 1) return 0;
  const int family = data[0] % 3;
  hlocale h = Pick(locales, data[0]);
  int32_t whole = 0;
  double real = 0;
  uint8_t extended[10];
  if (family == 1) {
    std::vector<SL_WCHAR> text = Text<SL_WCHAR>(data + 1, size - 1);
    SLW_StrLong(h, text.data(), &whole);
    SLW_StrDouble(h, text.data(), &real);
    SLW_StrLongDouble(h, text.data(), extended);
  } else {
    std::vector<char> text = Text<char>(data + 1, size - 1);
    if (family == 0) {
      SLN_StrLong(h, text.data(), &whole);
      SLN_StrDouble(h, text.data(), &real);
      SLN_StrLongDouble(h, text.data(), extended);
    } else {
      SLM_StrLong(h, text.data(), &whole);
      SLM_StrDouble(h, text.data(), &real);
      SLM_StrLongDouble(h, text.data(), extended);
    }
  }
  return 0;
}
