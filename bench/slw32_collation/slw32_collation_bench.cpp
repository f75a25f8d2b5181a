// Compare and sort key of en_US.WIN1252 over 100,000 generated item names,
// beside ICU's en_US collator and glibc's en_US.UTF-8 in the same run:
//   SLN_StrCollate   vs ucol_strcoll   vs strcoll
//   SLN_StrTransform vs ucol_getSortKey vs strxfrm   (key bytes per character)
// Each compare takes a name and the next one. glibc's locale is compiled
// into a temporary directory with localedef when the system lacks it.
#include <benchmark/benchmark.h>
#include <unicode/ucol.h>
#include <unistd.h>

#include <clocale>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "item_names.h"
#include "slw32.h"

namespace {

struct Data {
  std::vector<std::string> latin1, utf8;
  std::vector<std::u16string> utf16;
  std::size_t characters = 0;
  hlocale slw = nullptr;
  UCollator* icu = nullptr;
  bool glibc = false;

  Data() {
    for (const std::u16string& n : item_names::Generate(100000)) {
      utf16.push_back(n);
      latin1.push_back(item_names::Latin1(n));
      utf8.push_back(item_names::Utf8(n));
      characters += n.size();
    }
    _SL_InitClient(1, 1, 1);
    SL_SetLocaleLibrary(SLW32_LOCALE_DIR "/USA.SLL", 1);
    SL_OpenLocale(&slw, SL_LC_ALL, "en_US.WIN1252");
    UErrorCode e = U_ZERO_ERROR;
    icu = ucol_open("en_US", &e);
    glibc = std::setlocale(LC_COLLATE, "en_US.UTF-8") != nullptr;
    if (!glibc) {
      localeDir = std::filesystem::temp_directory_path() / ("slw32-bench-locales-" + std::to_string(getpid()));
      std::filesystem::create_directories(localeDir);
      std::string command = "localedef -i en_US -f UTF-8 " + (localeDir / "en_US.UTF-8").string() + " >/dev/null 2>&1";
      if (std::system(command.c_str()) == 0) {
        setenv("LOCPATH", localeDir.c_str(), 1);
        glibc = std::setlocale(LC_COLLATE, "en_US.UTF-8") != nullptr;
      }
    }
  }
  // The locale made for the run goes with it.
  ~Data() {
    std::error_code ec;
    if (!localeDir.empty()) std::filesystem::remove_all(localeDir, ec);
  }
  std::filesystem::path localeDir;
};

Data& D() {
  static Data data;
  return data;
}

template <class Compare>
void RunCompare(benchmark::State& state, Compare compare) {
  const std::size_t n = D().latin1.size();
  std::size_t i = 0;
  int sum = 0;
  for (auto _ : state) {
    sum += compare(i, i + 1 == n ? 0 : i + 1);
    i = i + 1 == n ? 0 : i + 1;
  }
  benchmark::DoNotOptimize(sum);
  state.SetItemsProcessed(state.iterations());
}

void SlwCollate(benchmark::State& state) {
  Data& d = D();
  if (d.slw == nullptr) return state.SkipWithError("en_US.WIN1252 did not open");
  RunCompare(state, [&](std::size_t a, std::size_t b) { return SLN_StrCollate(d.slw, d.latin1[a].c_str(), d.latin1[b].c_str()); });
}
void IcuStrcoll(benchmark::State& state) {
  Data& d = D();
  RunCompare(state, [&](std::size_t a, std::size_t b) {
    return static_cast<int>(ucol_strcoll(d.icu, reinterpret_cast<const UChar*>(d.utf16[a].c_str()), -1,
                                         reinterpret_cast<const UChar*>(d.utf16[b].c_str()), -1));
  });
}
void GlibcStrcoll(benchmark::State& state) {
  Data& d = D();
  if (!d.glibc) return state.SkipWithError("no en_US.UTF-8 locale");
  RunCompare(state, [&](std::size_t a, std::size_t b) { return std::strcoll(d.utf8[a].c_str(), d.utf8[b].c_str()); });
}

// Runs a key function over the names; reports key bytes per character.
template <class Key>
void RunKeys(benchmark::State& state, Key key) {
  const std::size_t n = D().latin1.size();
  std::size_t i = 0, bytes = 0, characters = 0;
  for (auto _ : state) {
    bytes += key(i);
    characters += D().utf16[i].size();
    i = i + 1 == n ? 0 : i + 1;
  }
  state.counters["key_bytes_per_char"] = static_cast<double>(bytes) / static_cast<double>(characters);
  state.SetItemsProcessed(state.iterations());
}

void SlwTransform(benchmark::State& state) {
  Data& d = D();
  if (d.slw == nullptr) return state.SkipWithError("en_US.WIN1252 did not open");
  char out[512];
  RunKeys(state, [&](std::size_t i) { return SLN_StrTransform(d.slw, out, d.latin1[i].c_str(), sizeof out) + 1u; });
}
void IcuSortKey(benchmark::State& state) {
  Data& d = D();
  uint8_t out[512];
  RunKeys(state, [&](std::size_t i) {
    return static_cast<std::size_t>(
        ucol_getSortKey(d.icu, reinterpret_cast<const UChar*>(d.utf16[i].c_str()), -1, out, sizeof out));
  });
}
void GlibcStrxfrm(benchmark::State& state) {
  Data& d = D();
  if (!d.glibc) return state.SkipWithError("no en_US.UTF-8 locale");
  char out[2048];
  RunKeys(state, [&](std::size_t i) { return std::strxfrm(out, d.utf8[i].c_str(), sizeof out) + 1; });
}

BENCHMARK(SlwCollate);
BENCHMARK(IcuStrcoll);
BENCHMARK(GlibcStrcoll);
BENCHMARK(SlwTransform);
BENCHMARK(IcuSortKey);
BENCHMARK(GlibcStrxfrm);

}  // namespace

BENCHMARK_MAIN();
