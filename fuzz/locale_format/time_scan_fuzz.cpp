// The time scanners of the three families over arbitrary text and format:
// the first byte picks the family and locale, the rest is split in two.
#include <cstring>

#include "fixture.h"

using namespace format_fuzz;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Locales locales = Setup();
  if (size < 2) return 0;
  const int family = data[0] % 3;
  hlocale h = Pick(locales, data[0]);
  ++data;
  --size;
  const size_t half = size / 2;
  SL_TIME t;
  SL_ALTTIME a;
  if (family == 1) {
    std::vector<SL_WCHAR> text = Text<SL_WCHAR>(data, half), format = Text<SL_WCHAR>(data + half, size - half);
    SLW_ScanStrTime(h, text.data(), format.data(), &t);
    SLW_ScanStrAltTime(h, text.data(), format.data(), &a);
  } else {
    std::vector<char> text = Text<char>(data, half), format = Text<char>(data + half, size - half);
    if (family == 0) {
      SLN_ScanStrTime(h, text.data(), format.data(), &t);
      SLN_ScanStrAltTime(h, text.data(), format.data(), &a);
    } else {
      SLM_ScanStrTime(h, text.data(), format.data(), &t);
      SLM_ScanStrAltTime(h, text.data(), format.data(), &a);
    }
  }
  return 0;
}
