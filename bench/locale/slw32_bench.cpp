// Conversion speed: 1 MB of Windows-1252 text to Unicode through
// SL_BufferConvert (pieces of at most 32767 characters, as the 16-bit sizes
// allow) against ICU's ucnv_toUChars on the same bytes, in one run.
// Goal: SL_BufferConvert takes at most three times ICU's time.
// Also: upper-casing 1 MB in place against a glibc toupper loop, the locale
// printf of numbers against snprintf, and the packed-decimal parse against
// strtod (below).
#include <unicode/ucnv.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "platform/nls.h"
#include "slw32.h"

namespace {

constexpr std::size_t kTextSize = 1 << 20;
constexpr std::size_t kPiece = 32767;

// Text of every defined Windows-1252 byte, letters most often.
const std::vector<char>& Text() {
  static const std::vector<char> text = [] {
    std::vector<char> t(kTextSize);
    uint32_t x = 12345;
    for (char& c : t) {
      x = x * 1103515245u + 12345u;
      uint8_t b = static_cast<uint8_t>(x >> 16);
      if (b < 0x20 || b == 0x81 || b == 0x8D || b == 0x8F || b == 0x90 || b == 0x9D) b = static_cast<uint8_t>('a' + b % 26);
      c = static_cast<char>(b);
    }
    return t;
  }();
  return text;
}

void BM_StrConvert1MB(benchmark::State& state) {
  _SL_InitClient(1, 1, 1);
  hconversion conv = nullptr;
  if (SL_OpenConversion(&conv, "WIN1252", "Unicode", nullptr) != 0) {
    state.SkipWithError("no conversion");
    return;
  }
  const std::vector<char>& text = Text();
  std::vector<char16_t> out(kPiece);
  for (auto _ : state) {
    for (std::size_t at = 0; at < text.size(); at += kPiece) {
      auto count = static_cast<uint16_t>(std::min(kPiece, text.size() - at));
      SL_BufferConvert(conv, out.data(), static_cast<uint16_t>(2 * count), text.data() + at, &count);
      benchmark::DoNotOptimize(out.data());
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
  SL_CloseConversion(conv);
  SL_Exit();
}
BENCHMARK(BM_StrConvert1MB)->Unit(benchmark::kMillisecond);

void BM_IcuToUChars1MB(benchmark::State& state) {
  platform::nls::Converter conv = platform::nls::OpenCodePage(1252);
  const std::vector<char>& text = Text();
  std::vector<UChar> out(text.size() + 1);
  for (auto _ : state) {
    UErrorCode err = U_ZERO_ERROR;
    ucnv_resetToUnicode(conv.get());
    int32_t n = ucnv_toUChars(conv.get(), out.data(), static_cast<int32_t>(out.size()), text.data(),
                              static_cast<int32_t>(text.size()), &err);
    benchmark::DoNotOptimize(n);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_IcuToUChars1MB)->Unit(benchmark::kMillisecond);

// Upper-casing the 1 MB text in place with the shipped en_US.WIN1252 (its
// table maps the accented letters too), in pieces of 32767 bytes, against a
// loop of glibc's toupper over the same bytes. Each pass starts from a fresh
// copy of the text. Goal: at most twice the toupper loop's time.
template <class Upper>
void UpperPasses(benchmark::State& state, Upper upper) {
  const std::vector<char>& text = Text();
  std::vector<char> work(text.size() + 1);
  for (auto _ : state) {
    state.PauseTiming();
    std::copy(text.begin(), text.end(), work.begin());
    state.ResumeTiming();
    upper(work.data(), text.size());
    benchmark::DoNotOptimize(work.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
}

void BM_StrnUpper1MB(benchmark::State& state) {
  _SL_InitClient(1, 1, 1);
  SL_SetLocaleLibrary(SLW32_LOCALE_DIR "/USA.SLL", 1);
  hlocale h = nullptr;
  if (SL_OpenLocale(&h, SL_LC_ALL, "en_US.WIN1252") != 0) {
    state.SkipWithError("en_US.WIN1252 did not open");
    return;
  }
  UpperPasses(state, [&](char* s, std::size_t size) {
    for (std::size_t at = 0; at < size; at += kPiece)
      SLN_StrnUpper(h, s + at, static_cast<uint16_t>(std::min(kPiece, size - at)));
  });
  SL_CloseLocale(&h);
  SL_Exit();
}
BENCHMARK(BM_StrnUpper1MB)->Unit(benchmark::kMillisecond);

void BM_ToupperLoop1MB(benchmark::State& state) {
  UpperPasses(state, [](char* s, std::size_t size) {
    for (std::size_t i = 0; i < size; ++i) s[i] = static_cast<char>(std::toupper(static_cast<unsigned char>(s[i])));
  });
}
BENCHMARK(BM_ToupperLoop1MB)->Unit(benchmark::kMillisecond);

// Locale printf of a few numbers in the "POSIX" locale against the C
// library's snprintf of the same. Goal: at most twice snprintf's time.
constexpr const char* kNumbersFormat = "%d %.2f %e %x";

void BM_FmtStrPrintNumbers(benchmark::State& state) {
  _SL_InitClient(1, 1, 1);
  hlocale h = SLN_GetSysLocale();
  char out[128];
  for (auto _ : state) {
    int n = _SLN_FmtStrPrint(h, out, kNumbersFormat, 123456, 3.14159, 2.5e-7, 0xBEEFu);
    benchmark::DoNotOptimize(n);
    benchmark::DoNotOptimize(out);
  }
  SL_Exit();
}
BENCHMARK(BM_FmtStrPrintNumbers);

void BM_SnprintfNumbers(benchmark::State& state) {
  char out[128];
  for (auto _ : state) {
    int n = std::snprintf(out, sizeof out, kNumbersFormat, 123456, 3.14159, 2.5e-7, 0xBEEFu);
    benchmark::DoNotOptimize(n);
    benchmark::DoNotOptimize(out);
  }
}
BENCHMARK(BM_SnprintfNumbers);

// The packed-decimal parse of number texts in en_US.WIN1252 (and its wide
// and multi-byte twins in en_US.Unicode and ja_JP.WIN932) against strtod of
// the same texts, the two taking turns and the best pass of each compared.
// Goal: SLN_StrBCD takes at most twice strtod's time.
struct NumberText {
  const char* text;   // as the locale writes it
  const char* plain;  // the same number for strtod: no thousands separators
};

constexpr NumberText kNumberTexts[] = {
    {"0", "0"},
    {"7", "7"},
    {"42", "42"},
    {"-17", "-17"},
    {"+3", "+3"},
    {"65535", "65535"},
    {"2147483647", "2147483647"},
    {"3.14", "3.14"},
    {"-0.75", "-0.75"},
    {".5", ".5"},
    {"0.001", "0.001"},
    {"  128 ", "  128 "},
    {"\t-64.25  ", "\t-64.25  "},
    {"1,234", "1234"},
    {"-1,234,567.89", "-1234567.89"},
    {"12,345,678.90", "12345678.90"},
    {"123456789012345678", "123456789012345678"},
    {"3.14159265358979323846264338327950288", "3.14159265358979323846264338327950288"},
    {"-98765432109876543210.0123456789", "-98765432109876543210.0123456789"},
    // What an N(12,2) field of a dBASE table holds: right-aligned, two places.
    {"        0.00", "        0.00"},
    {"       12.50", "       12.50"},
    {"     1234.56", "     1234.56"},
    {"    -1234.56", "    -1234.56"},
    {"999999999.99", "999999999.99"},
};
constexpr int kNumberPasses = 200;

// The number a packed decimal holds, through its digit-string record and
// strtod; NaN when the record does not come back.
double BcdNumber(const SL_BCD& value) {
  SL_BCDSTR r;
  if (SL_BCDToBCDStr(&r, &value) != 0) return std::nan("");
  std::string text = r.sign != 0 ? "-" : "";
  const std::string digits(r.digits, r.precision);
  if (r.scale >= r.precision) {
    text += "0." + std::string(r.scale - r.precision, '0') + digits;
  } else {
    text += digits.substr(0, digits.size() - r.scale) + "." + digits.substr(digits.size() - r.scale);
  }
  return std::strtod(text.c_str(), nullptr);
}

struct BcdTexts {
  hlocale narrow = nullptr, wide = nullptr, multi = nullptr;
  std::vector<std::u16string> wideTexts;
  std::string error;

  BcdTexts() {
    _SL_InitClient(1, 1, 1);
    SL_SetLocaleLibrary(SLW32_LOCALE_DIR "/LOCALE.SLL", 1);
    SL_SetLocaleLibrary(SLW32_LOCALE_DIR "/USA.SLL", 0);
    if (SL_OpenLocale(&narrow, SL_LC_ALL, "en_US.WIN1252") != 0 ||
        SL_OpenLocale(&wide, SL_LC_ALL, "en_US.Unicode") != 0 ||
        SL_OpenLocale(&multi, SL_LC_ALL, "ja_JP.WIN932") != 0) {
      error = "the shipped locales did not open";
      return;
    }
    for (const NumberText& t : kNumberTexts) wideTexts.emplace_back(t.text, t.text + std::char_traits<char>::length(t.text));
    // Every family's value is strtod's for the same number.
    for (std::size_t i = 0; i < std::size(kNumberTexts); ++i) {
      const double want = std::strtod(kNumberTexts[i].plain, nullptr);
      SL_BCD n, w, m;
      if (SLN_StrBCD(narrow, kNumberTexts[i].text, &n) != 0 || SLW_StrBCD(wide, Wide(i), &w) != 0 ||
          SLM_StrBCD(multi, kNumberTexts[i].text, &m) != 0 || BcdNumber(n) != want || BcdNumber(w) != want ||
          BcdNumber(m) != want) {
        error = std::string("another value than strtod's for \"") + kNumberTexts[i].text + "\"";
        return;
      }
    }
  }
  ~BcdTexts() {
    for (hlocale* h : {&narrow, &wide, &multi})
      if (*h != nullptr) SL_CloseLocale(h);
    SL_Exit();
  }
  const SL_WCHAR* Wide(std::size_t i) const { return reinterpret_cast<const SL_WCHAR*>(wideTexts[i].c_str()); }
};

// Nanoseconds per text of the best of one pass over all texts.
template <class Parse>
double NsPerText(Parse parse) {
  const auto start = std::chrono::steady_clock::now();
  for (int pass = 0; pass < kNumberPasses; ++pass)
    for (std::size_t i = 0; i < std::size(kNumberTexts); ++i) parse(i);
  const std::chrono::duration<double, std::nano> spent = std::chrono::steady_clock::now() - start;
  return spent.count() / (kNumberPasses * static_cast<double>(std::size(kNumberTexts)));
}

void BM_StrBCDVsStrtod(benchmark::State& state) {
  const BcdTexts d;
  if (!d.error.empty()) {
    state.SkipWithError(d.error.c_str());
    return;
  }
  SL_BCD value;
  double best[4] = {1e300, 1e300, 1e300, 1e300};  // strtod, narrow, wide, multi-byte
  for (auto _ : state) {
    best[0] = std::min(best[0], NsPerText([&](std::size_t i) {
      double v = std::strtod(kNumberTexts[i].plain, nullptr);
      benchmark::DoNotOptimize(v);
    }));
    best[1] = std::min(best[1], NsPerText([&](std::size_t i) {
      benchmark::DoNotOptimize(SLN_StrBCD(d.narrow, kNumberTexts[i].text, &value));
      benchmark::ClobberMemory();
    }));
    best[2] = std::min(best[2], NsPerText([&](std::size_t i) {
      benchmark::DoNotOptimize(SLW_StrBCD(d.wide, d.Wide(i), &value));
      benchmark::ClobberMemory();
    }));
    best[3] = std::min(best[3], NsPerText([&](std::size_t i) {
      benchmark::DoNotOptimize(SLM_StrBCD(d.multi, kNumberTexts[i].text, &value));
      benchmark::ClobberMemory();
    }));
  }
  state.SetItemsProcessed(state.iterations() * kNumberPasses * static_cast<int64_t>(std::size(kNumberTexts)));
  state.counters["strtod_ns"] = best[0];
  state.counters["bcd_ns"] = best[1];
  state.counters["wide_bcd_ns"] = best[2];
  state.counters["multi_bcd_ns"] = best[3];
  state.counters["x_strtod"] = best[1] / best[0];  // goal: at most 2
  state.counters["x_strtod_wide"] = best[2] / best[0];
  state.counters["x_strtod_multi"] = best[3] / best[0];
}
BENCHMARK(BM_StrBCDVsStrtod)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
