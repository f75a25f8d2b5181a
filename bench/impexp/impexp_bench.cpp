// The item text file at scale: 100,000 records of 22 values written as export
// lines and read back by the import's first pass, each beside a plain write
// and a plain parse of the same text measured in the same run. The figures
// check their answers: the export's bytes equal the plain write's, and the
// import reads every record with the values the plain parse finds.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "core/import_export.h"
#include "core/item_text_file.h"

namespace {

constexpr int kRecords = 100000;

// Values as the export takes them from a table: text, whole numbers,
// decimals, dates; some blank.
const std::vector<std::vector<std::string>>& Records() {
  static const std::vector<std::vector<std::string>> records = [] {
    std::vector<std::vector<std::string>> r(kRecords);
    for (int i = 0; i < kRecords; ++i) {
      auto& v = r[static_cast<size_t>(i)];
      v = {"Item " + std::to_string(i), "Brand " + std::to_string(i % 50), "M-" + std::to_string(i % 977),
           "SN" + std::to_string(100000 + i), "Room " + std::to_string(i % 12),
           "A description of item number " + std::to_string(i), "Shop " + std::to_string(i % 31), "",
           std::to_string(1 + i % 9), std::to_string(1 + i % 12) + "/" + std::to_string(1 + i % 28) + "/95",
           std::to_string(i % 1000) + ".25", "Category " + std::to_string(i % 20),
           std::to_string(i % 1500) + ".50", i % 2 ? "Yes" : "No", "", "Notes", "Owner " + std::to_string(i % 4),
           std::to_string(i % 800) + ".75", "", "", "", "Last"};
    }
    return r;
  }();
  return records;
}

// The plain writer: the same bytes by direct appends, nothing to double or trim.
std::string PlainWrite() {
  std::string out;
  for (const auto& values : Records()) {
    for (size_t i = 0; i < values.size(); ++i) {
      if (i > 0) out += ',';
      out += '"';
      out += values[i];
      out += '"';
    }
    out += "\r\n";
  }
  return out;
}

std::string ExportText() {
  std::string out;
  for (const auto& values : Records()) out += keldro::ItemTextLine(values);
  return out;
}

void BM_PlainWrite(benchmark::State& state) {
  for (auto _ : state) {
    std::string text = PlainWrite();
    benchmark::DoNotOptimize(text.data());
  }
}
BENCHMARK(BM_PlainWrite)->Unit(benchmark::kMillisecond);

void BM_ExportLines(benchmark::State& state) {
  if (ExportText() != PlainWrite()) state.SkipWithError("the export's bytes differ from the plain write's");
  for (auto _ : state) {
    std::string text = ExportText();
    benchmark::DoNotOptimize(text.data());
  }
}
BENCHMARK(BM_ExportLines)->Unit(benchmark::kMillisecond);

// The plain parse: lines at LF, values between the quote-comma-quote seams.
size_t PlainParse(std::string_view text, double& costSum) {
  size_t records = 0;
  costSum = 0;
  size_t at = 0;
  while (at < text.size()) {
    size_t end = text.find('\n', at);
    std::string_view line = text.substr(at, end - at);
    at = end + 1;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    size_t field = 0, start = 1;
    while (start <= line.size()) {
      size_t stop = line.find("\",\"", start);
      if (stop == std::string_view::npos) stop = line.size() - 1;
      if (field == 10) costSum += std::strtod(std::string(line.substr(start, stop - start)).c_str(), nullptr);
      ++field;
      start = stop + 3;
    }
    ++records;
  }
  return records;
}

void BM_PlainParse(benchmark::State& state) {
  const std::string text = PlainWrite();
  for (auto _ : state) {
    double sum = 0;
    benchmark::DoNotOptimize(PlainParse(text, sum));
  }
}
BENCHMARK(BM_PlainParse)->Unit(benchmark::kMillisecond);

void BM_ImportCheck(benchmark::State& state) {
  const std::string text = ExportText();
  std::vector<int> targets(22);
  for (int i = 0; i < 22; ++i) targets[static_cast<size_t>(i)] = i + 1;
  double plainSum = 0;
  const size_t plainRecords = PlainParse(text, plainSum);
  {
    double sum = 0;
    keldro::ImportCheck check =
        keldro::CheckTextImport(text, 22, targets, false, [&](const keldro::ImportRecord& r) { sum += r[10].number; });
    if (check.badLines != 0 || check.goodRecords != plainRecords || sum != plainSum)
      state.SkipWithError("the import read something else than the plain parse");
  }
  for (auto _ : state) {
    // The import's first pass: every line read and converted, nothing kept.
    keldro::ImportCheck check = keldro::CheckTextImport(text, 22, targets, false, [](const keldro::ImportRecord&) {});
    benchmark::DoNotOptimize(check.goodRecords);
  }
}
BENCHMARK(BM_ImportCheck)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
