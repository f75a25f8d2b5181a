// Conversion speed: 1 MB of Windows-1252 text to Unicode through
// SL_BufferConvert (pieces of at most 32767 characters, as the 16-bit sizes
// allow) against ICU's ucnv_toUChars on the same bytes, in one run.
// Goal: SL_BufferConvert takes at most three times ICU's time.
// Also: the locale printf of numbers against snprintf (below).
#include <unicode/ucnv.h>

#include <cstdint>
#include <cstdio>
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

}  // namespace

BENCHMARK_MAIN();
