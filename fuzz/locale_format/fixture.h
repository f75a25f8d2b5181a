// Locales of the three families for the formatting fuzz targets: eras,
// alternative digits, a decimal comma with groups of three and money with
// a symbol, and a lead byte in the multi-byte one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

#include "slw32.h"
#include "sllc_writer.h"

namespace format_fuzz {

struct Locales {
  hlocale h[3] = {};  // narrow, wide, multi-byte
};

inline Locales Setup() {
  Locales l;
  char dir[] = "/tmp/slw32-format-fuzz-XXXXXX";
  if (mkdtemp(dir) == nullptr) std::abort();
  setenv("STASHWELL_ROOT", dir, 1);
  _SL_InitClient(1, 1, 1);
  std::string source;
  for (int family = 1; family <= 3; ++family) {
    const std::string name = "fz_FZ.F" + std::to_string(family);
    source += "locale " + name + "\n  family " + std::to_string(family) + "\n";
    if (family == 3) source += "  leadbytes 0x81 0x82\n";
    source += "  category 2 " + name + "\n    ctype space,digit,lower,upper,xdigit,cntrl,punct,blank toupper,tolower\n"
              "  category 4 " + name + "\n    time\n    timetext 45 %EC%Ey\n    timetext 44 %Eq%c\n"
              "    timetext 40 %c%x\n    timetext 47 \"\\x81\\x40\"\n    era 2019 5 1 2099 12 31 \"R\\x82\\x41\" R\n"
              "    era 1989 1 8 2019 4 30 Heisei %EY\n    altdigits zero one \"\" three\n"
              "  category 8 " + name + "\n    monetary EUR EU , . \"\\x03\\x02\" \"\" - 2 2 1 0 1 0 1 1\n"
              "  category 16 " + name + "\n    numeric , . \"\\x03\" E ;\n";
  }
  std::string error;
  const std::string file = std::string(dir) + "/FUZZ.SLL";
  if (!sllc::Compile(source, file, false, error) || SL_SetLocaleLibrary(file.c_str(), 1) != 0) std::abort();
  for (int family = 1; family <= 3; ++family)
    SL_OpenLocale(&l.h[family - 1], 2 | 4 | 8 | 16, ("fz_FZ.F" + std::to_string(family)).c_str());
  return l;
}

// The family of a selector byte (its value modulo 3) and, by bit 2, the
// fixture locale or the system locale of that family.
inline hlocale Pick(const Locales& l, uint8_t selector) {
  const int family = selector % 3;
  if (selector & 4) return l.h[family];
  return family == 0 ? SLN_GetSysLocale() : family == 1 ? SLW_GetSysLocale() : SLM_GetSysLocale();
}

// Bytes as a terminated string of units (two bytes a unit for 16-bit text).
template <typename Unit>
std::vector<Unit> Text(const uint8_t* data, size_t size) {
  std::vector<Unit> s;
  for (size_t i = 0; i + sizeof(Unit) <= size; i += sizeof(Unit))
    s.push_back(sizeof(Unit) == 1 ? static_cast<Unit>(data[i]) : static_cast<Unit>(data[i] | data[i + 1] << 8));
  s.push_back(0);
  return s;
}

}  // namespace format_fuzz
