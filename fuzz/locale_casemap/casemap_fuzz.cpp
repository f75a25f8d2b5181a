// Case mapping, matching, soundex and the string utilities over arbitrary
// strings and sizes, in the three families and with a locale whose upper case
// expands a character and one with lead bytes; the platform compares and
// keys of platform locales (one of code page 932). Every output buffer is
// exactly the size given plus its terminator, so a write past it is caught.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

#include "slw32.h"
#include "sllc_writer.h"

namespace {

struct Locales {
  hlocale narrow = nullptr, wide = nullptr, multi = nullptr;
  hlocale platformNarrow = nullptr, platformMulti = nullptr;
};

Locales Setup() {
  Locales l;
  char dir[] = "/tmp/slw32-casemap-fuzz-XXXXXX";
  if (mkdtemp(dir) == nullptr) std::abort();
  setenv("STASHWELL_ROOT", dir, 1);
  _SL_InitClient(1, 1, 1);
  std::string source;
  for (int family = 1; family <= 3; ++family) {
    const std::string name = "fz_FZ.F" + std::to_string(family);
    source += "locale " + name + "\n  family " + std::to_string(family) + "\n";
    if (family == 3) source += "  leadbytes 0x81 0x82\n";
    source += "  category 2 " + name + "\n    ctype space,digit,lower,upper,xdigit,cntrl,punct,blank toupper,tolower\n"
              "    map 0 0xDF 0xFFFF\n    multi 0 \"\\xDF\" \"SS\"\n    multi 0 \"\\xDF\\xDF\" \"SSSSS\"\n"
              "  category 64 " + name + "\n    soundex BFPVbfpv 1\n    soundex CGJKcgjk 2\n";
  }
  std::string error;
  const std::string file = std::string(dir) + "/FUZZ.SLL";
  if (!sllc::Compile(source, file, false, error) || SL_SetLocaleLibrary(file.c_str(), 1) != 0) std::abort();
  SL_OpenLocale(&l.narrow, 66, "fz_FZ.F1");
  SL_OpenLocale(&l.wide, 66, "fz_FZ.F2");
  SL_OpenLocale(&l.multi, 66, "fz_FZ.F3");
  SL_OpenPlatformLocale(&l.platformNarrow, 0x0409, 255, 0);
  SL_OpenPlatformLocale(&l.platformMulti, 0x0411, 255, 0);
  return l;
}

template <typename Unit>
std::vector<Unit> Text(const uint8_t* data, size_t size) {
  std::vector<Unit> s;
  for (size_t i = 0; i + sizeof(Unit) <= size; i += sizeof(Unit)) {
    Unit u = sizeof(Unit) == 1 ? static_cast<Unit>(data[i]) : static_cast<Unit>(data[i] | data[i + 1] << 8);
    s.push_back(u);
  }
  s.push_back(0);
  return s;
}

void Narrow(hlocale h, bool multi, uint16_t n, uint16_t outSize, const uint8_t* data, size_t size) {
  std::vector<char> a = Text<char>(data, size);
  const size_t half = a.size() / 2;
  std::vector<char> b(a.begin() + static_cast<std::ptrdiff_t>(half), a.end());
  auto out = std::make_unique<char[]>(outSize + 1u);
  volatile intptr_t sink = 0;
  if (multi) {
    sink = sink + SLM_StrUpperEx(h, out.get(), a.data(), outSize) + SLM_StrnLowerEx(h, out.get(), a.data(), n, outSize);
    sink = sink + SLM_StrnTranslation(h, out.get(), a.data(), n % 3, n, outSize);
    sink = sink + SLM_StrMatchi(h, a.data(), b.data()) + SLM_StrnMatchi(h, a.data(), b.data(), n);
    sink = sink + SLM_QStrnMatchi(h, a.data(), b.data(), n) + SLM_StrMatchEx(h, a.data(), b.data(), n % 4);
    sink = sink + reinterpret_cast<intptr_t>(SLM_StrStri(h, a.data(), b.data()));
    sink = sink + reinterpret_cast<intptr_t>(SLM_StrChri(h, a.data(), n));
    sink = sink + reinterpret_cast<intptr_t>(SLM_StrStr(h, a.data(), b.data()));
    sink = sink + reinterpret_cast<intptr_t>(SLM_StrChrLast(h, a.data(), n));
    sink = sink + SLM_StrnSoundexCmp(h, a.data(), b.data(), n) + SLM_StrSoundexCmp(h, a.data(), b.data());
    char code[6];
    SLM_StrnSoundex(h, code, a.data(), n);
    SLM_StrSoundex(h, code, a.data());
    std::vector<char> c = a;
    SLM_StrnUpper(h, c.data(), n);
    SLM_StrLower(h, c.data());
    SLM_StrnSet(h, c.data(), n, n);
    SLM_StrTrimClassEnd(h, c.data(), n);
    std::vector<char> d = a;
    while (SLM_StrScanForTokens(h, d.data(), b.data()) != nullptr &&
           SLM_StrScanForTokens(h, nullptr, b.data()) != nullptr) {
    }
  } else {
    sink = sink + SLN_StrUpperEx(h, out.get(), a.data(), outSize) + SLN_StrnLowerEx(h, out.get(), a.data(), n, outSize);
    sink = sink + SLN_StrnTranslation(h, out.get(), a.data(), n % 3, n, outSize);
    sink = sink + SLN_StrMatchi(h, a.data(), b.data()) + SLN_StrnMatchi(h, a.data(), b.data(), n);
    sink = sink + SLN_QStrnMatchi(h, a.data(), b.data(), n) + SLN_StrMatchEx(h, a.data(), b.data(), n % 4);
    sink = sink + reinterpret_cast<intptr_t>(SLN_StrStri(h, a.data(), b.data()));
    sink = sink + reinterpret_cast<intptr_t>(SLN_StrChri(h, a.data(), static_cast<char>(n)));
    sink = sink + SLN_StrnSoundexCmp(h, a.data(), b.data(), n);
    char code[5];
    SLN_StrnSoundex(h, code, a.data(), n);
    std::vector<char> c = a;
    SLN_StrnUpper(h, c.data(), n);
    SLN_StrLower(h, c.data());
    SLN_StrTrimClassEnd(h, c.data(), n);
    SLN_StrTrimClassStart(h, c.data(), n);
    std::vector<char> d = a;
    while (SLN_StrScanForTokens(d.data(), b.data()) != nullptr && SLN_StrScanForTokens(nullptr, b.data()) != nullptr) {
    }
    sink = sink + _SLN_StrnSysTransform(h, out.get(), a.data(), n, outSize);
  }
}

void Wide(hlocale h, uint16_t n, uint16_t outSize, const uint8_t* data, size_t size) {
  std::vector<SL_WCHAR> a = Text<SL_WCHAR>(data, size);
  const size_t half = a.size() / 2;
  std::vector<SL_WCHAR> b(a.begin() + static_cast<std::ptrdiff_t>(half), a.end());
  auto out = std::make_unique<SL_WCHAR[]>(outSize + 1u);
  volatile intptr_t sink = 0;
  sink = sink + SLW_StrUpperEx(h, out.get(), a.data(), outSize) + SLW_StrnTranslation(h, out.get(), a.data(), n % 3, n, outSize);
  sink = sink + SLW_StrMatchi(h, a.data(), b.data()) + SLW_QStrMatchi(h, a.data(), b.data());
  sink = sink + reinterpret_cast<intptr_t>(SLW_StrStri(h, a.data(), b.data()));
  sink = sink + SLW_StrSoundexCmp(h, a.data(), b.data());
  std::vector<SL_WCHAR> c = a;
  SLW_StrnUpper(h, c.data(), n);
  SLW_StrTrimClassEnd(h, c.data(), n);
}

// The platform's compares and sort keys over arbitrary bytes.
void Platform(hlocale h, bool multi, uint16_t n, uint16_t outSize, const uint8_t* data, size_t size) {
  std::vector<char> a = Text<char>(data, size);
  const size_t half = a.size() / 2;
  std::vector<char> b(a.begin() + static_cast<std::ptrdiff_t>(half), a.end());
  volatile intptr_t sink = 0;
  SL_SetCmpFlags(h, n % 8);
  if (multi) {
    auto key = std::make_unique<SL_WCHAR[]>(outSize + 1u);
    sink = sink + SLM_StrCollate(h, a.data(), b.data()) + SLM_StrnCollate(h, a.data(), n, b.data(), n);
    sink = sink + SLM_BufferCollate(h, a.data(), n, b.data(), n) + SLM_StrnTransform(h, key.get(), a.data(), n, outSize);
    sink = sink + SLM_StrTransform(h, key.get(), a.data(), outSize);
  } else {
    auto key = std::make_unique<char[]>(outSize + 1u);
    sink = sink + SLN_StrCollate(h, a.data(), b.data()) + SLN_StrnCollate(h, a.data(), n, b.data(), n);
    sink = sink + SLN_BufferCollate(h, a.data(), n, b.data(), n) + SLN_StrnTransform(h, key.get(), a.data(), n, outSize);
    sink = sink + SLN_StrTransform(h, key.get(), a.data(), outSize);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Locales locales = Setup();
  if (size < 4) return 0;
  const uint16_t n = data[1];
  const uint16_t outSize = data[2];
  switch (data[0] % 7) {
    case 0: Narrow(locales.narrow, false, n, outSize, data + 3, size - 3); break;
    case 1: Narrow(SLN_GetSysLocale(), false, n, outSize, data + 3, size - 3); break;
    case 2: Narrow(locales.multi, true, n, outSize, data + 3, size - 3); break;
    case 3: Wide(locales.wide, n, outSize, data + 3, size - 3); break;
    case 4: Wide(SLW_GetSysLocale(), n, outSize, data + 3, size - 3); break;
    case 5: Platform(locales.platformNarrow, false, n, outSize, data + 3, size - 3); break;
    case 6: Platform(locales.platformMulti, true, n, outSize, data + 3, size - 3); break;
  }
  return 0;
}
