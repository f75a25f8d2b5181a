// Windows date pictures into time formats, and the formats formatted in
// turn with an era locale.
#include "fixture.h"
#include "format/format.h"

using namespace format_fuzz;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Locales locales = Setup();
  if (size < 1) return 0;
  std::vector<SL_WCHAR> picture = Text<SL_WCHAR>(data + 1, size - 1);
  slw::format::Codes eraYear;
  const slw::format::Codes format = slw::format::ConvertDatePicture(
      data[0] & 1 ? "ja_JP" : "en_US", slw::format::Codes(picture.begin(), picture.end() - 1), eraYear);
  SL_TIME t{0, 5, 9, 5, 2, 1996, 2, 64, 0, 0};
  SL_WCHAR out[64];
  SLW_FmtStrTime(locales.h[1], out, reinterpret_cast<const SL_WCHAR*>(format.c_str()), &t, 64);
  return 0;
}
