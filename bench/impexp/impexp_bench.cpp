// Export and import at scale, each beside a baseline measured in the same
// run, on the disk TMPDIR is on (syncs cost what they cost there):
//   export lines of 100,000 records           vs  a plain write of the same text
//   the import's first pass                    vs  a plain parse of the same text
//   the text export through keldro's path: a table walk in NewIndex order,
//     the export's lines, the file written     vs  one write of the same bytes
//     (the two alternated in one figure)
//   the import of 100,000 item lines through the import's path (first pass,
//     then the appends in one batch)           vs  a plain parse and write of
//                                                  the records' bytes
//   the dBASE export of 100,000 records        vs  the same copy without syncs
//     (the two alternated in one figure)
// Every figure checks its answer against its baseline's, so a faster wrong
// answer fails. Everything made in TMPDIR is removed at the end, also when a
// figure is skipped.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "bench_folder.h"
#include "core/import_export.h"
#include "core/item_fields.h"
#include "core/item_text_file.h"
#include "fault_engine.h"
#include "framework/dbtables.h"
#include "framework/sysutils.h"
#include "platform/file_io.h"

namespace {

namespace fs = std::filesystem;
namespace fault_engine = testing_support::fault_engine;
using framework::TTable;

constexpr int kRecords = 100000;
constexpr const char* kSortExpression = "Upper(Left(Category,80))";

// The bench's folder in TMPDIR, gone when the program ends.
const fs::path& Dir() { return bench::BenchFolder("impexp-bench"); }

// Record i's values as the export writes them (edit texts, dates with
// four-digit years in the default m/d/yy order).
std::vector<std::string> Values(int i) {
  return {"Item " + std::to_string(i), "Brand " + std::to_string(i % 50), "M-" + std::to_string(i % 977),
          "SN" + std::to_string(100000 + i), "Room " + std::to_string(i % 12),
          "A description of item number " + std::to_string(i), "Shop " + std::to_string(i % 31), "",
          std::to_string(1 + i % 9), std::to_string(1 + i % 12) + "/" + std::to_string(1 + i % 28) + "/1995",
          std::to_string(i % 1000) + ".25", "Category " + std::to_string(i % 20), std::to_string(i % 1500) + ".50",
          i % 2 ? "Yes" : "No", "", "Notes", "Owner " + std::to_string(i % 4), std::to_string(i % 800) + ".75", "",
          "", "", "Last"};
}

const std::vector<std::vector<std::string>>& Records() {
  static const std::vector<std::vector<std::string>> records = [] {
    std::vector<std::vector<std::string>> r;
    r.reserve(kRecords);
    for (int i = 0; i < kRecords; ++i) r.push_back(Values(i));
    return r;
  }();
  return records;
}

// The plain writer: the same bytes by direct appends into `out` (emptied
// first, its room kept), nothing to double or trim.
void PlainWrite(const std::vector<const std::vector<std::string>*>& records, std::string& out) {
  out.clear();
  for (const auto* values : records) {
    for (size_t i = 0; i < values->size(); ++i) {
      if (i > 0) out += ',';
      out += '"';
      out += (*values)[i];
      out += '"';
    }
    out += "\r\n";
  }
}

std::string PlainText(const std::vector<const std::vector<std::string>*>& records) {
  std::string out;
  PlainWrite(records, out);
  return out;
}

std::vector<const std::vector<std::string>*> InFileOrder() {
  std::vector<const std::vector<std::string>*> order;
  for (const auto& r : Records()) order.push_back(&r);
  return order;
}

// The order of the sort index: by category (upper case), then record number.
std::vector<const std::vector<std::string>*> InIndexOrder() {
  std::vector<const std::vector<std::string>*> order = InFileOrder();
  std::stable_sort(order.begin(), order.end(), [](const auto* a, const auto* b) { return (*a)[11] < (*b)[11]; });
  return order;
}

const std::string& FileOrderText() {
  static const std::string text = PlainText(InFileOrder());
  return text;
}

const std::string& IndexOrderText() {
  static const std::string text = PlainText(InIndexOrder());
  return text;
}

// The export's lines of every record into `out` (emptied first, its room kept).
void ExportLines(std::string& out) {
  out.clear();
  for (const auto& values : Records()) out += keldro::ItemTextLine(values);
}

// Both writers fill a buffer of their own that keeps its room from one
// iteration to the next (its pages touched once, before the timing, as the
// records are built): each figure is the writing alone.
void BM_PlainWrite(benchmark::State& state) {
  const std::vector<const std::vector<std::string>*> records = InFileOrder();
  std::string text;
  PlainWrite(records, text);
  for (auto _ : state) {
    PlainWrite(records, text);
    benchmark::DoNotOptimize(text.data());
  }
}
BENCHMARK(BM_PlainWrite)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// The export's lines against the plain write of the same text (the
// baseline), taking turns; the best time of each is compared.
void BM_ExportLines(benchmark::State& state) {
  const std::vector<const std::vector<std::string>*> records = InFileOrder();
  std::string plain, text;
  PlainWrite(records, plain);
  ExportLines(text);
  if (text != plain) state.SkipWithError("the export's bytes differ from the plain write's");
  double bestPlain = 1e9, bestExport = 1e9;
  for (auto _ : state) {
    state.PauseTiming();
    auto start = std::chrono::steady_clock::now();
    PlainWrite(records, plain);
    benchmark::DoNotOptimize(plain.data());
    bestPlain = std::min(bestPlain, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    state.ResumeTiming();
    start = std::chrono::steady_clock::now();
    ExportLines(text);
    benchmark::DoNotOptimize(text.data());
    bestExport = std::min(bestExport, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }
  state.counters["plain_ms"] = bestPlain * 1000;
  state.counters["export_ms"] = bestExport * 1000;
  state.counters["x_plain"] = bestExport / bestPlain;
}
BENCHMARK(BM_ExportLines)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// The plain parse: lines at LF, values between the quote-comma-quote seams;
// `each` gets every record's values.
template <typename Each>
size_t PlainParse(std::string_view text, Each&& each) {
  size_t records = 0;
  size_t at = 0;
  std::vector<std::string_view> values;
  while (at < text.size()) {
    size_t end = text.find('\n', at);
    std::string_view line = text.substr(at, end - at);
    at = end + 1;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    values.clear();
    size_t start = 1;
    while (start <= line.size()) {
      size_t stop = line.find("\",\"", start);
      if (stop == std::string_view::npos) stop = line.size() - 1;
      values.push_back(line.substr(start, stop - start));
      start = stop + 3;
    }
    each(values);
    ++records;
  }
  return records;
}

double CostOf(std::string_view text) { return std::strtod(std::string(text).c_str(), nullptr); }

std::vector<int> AllTargets() {
  std::vector<int> targets(22);
  for (int i = 0; i < 22; ++i) targets[static_cast<size_t>(i)] = i + 1;
  return targets;
}

void BM_PlainParse(benchmark::State& state) {
  const std::string& text = FileOrderText();
  for (auto _ : state) {
    double sum = 0;
    benchmark::DoNotOptimize(PlainParse(text, [&](const std::vector<std::string_view>& v) { sum += CostOf(v[10]); }));
  }
}
BENCHMARK(BM_PlainParse)->Unit(benchmark::kMillisecond);

void BM_ImportCheck(benchmark::State& state) {
  const std::string& text = FileOrderText();
  const std::vector<int> targets = AllTargets();
  double plainSum = 0;
  const size_t plainRecords =
      PlainParse(text, [&](const std::vector<std::string_view>& v) { plainSum += CostOf(v[10]); });
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

// ------------------------------------------------------------ on the disk

// An empty inventory table with its sort index, as keldro makes MASTER, in
// `dir` under `name`.
void CreateMaster(const fs::path& dir, const std::string& name) {
  TTable t;
  t.SetDatabaseName(dir.string());
  t.SetTableName(name);
  t.SetTableType(framework::ttDBase);
  for (const keldro::ItemField& f : keldro::ItemFields) {
    const std::string field(f.name);
    switch (f.typeCode) {
      case keldro::kCharacterField: t.FieldDefs().Add(field, framework::ftString, f.width); break;
      case keldro::kIntegerField: t.FieldDefs().Add(field, framework::ftInteger); break;
      case keldro::kFloatField: t.FieldDefs().Add(field, framework::ftFloat, f.decimals); break;
      default: t.FieldDefs().Add(field, framework::ftDate); break;
    }
  }
  t.CreateTable();
  t.SetExclusive(true);
  t.Open();
  t.AddIndex("NewIndex", kSortExpression, framework::ixExpression);
  t.Close();
}

// The 100,000 records in a table of their own, appended in one batch once.
const fs::path& FullTable() {
  static const fs::path table = [] {
    fault_engine::Use();
    const fs::path dir = Dir() / "full";
    fs::create_directories(dir);
    CreateMaster(dir, "MASTER.DBF");
    const std::vector<int> targets = AllTargets();
    TTable t;
    t.SetDatabaseName(dir.string());
    t.SetTableName("MASTER.DBF");
    t.SetExclusive(true);
    t.Open();
    const keldro::ImportOutcome outcome = keldro::AppendImport(t, [&](const keldro::RecordSink& sink) {
      keldro::CheckTextImport(FileOrderText(), 22, targets, false, sink);
    });
    t.Close();
    if (!outcome.ok || outcome.appended != static_cast<size_t>(kRecords)) std::abort();
    return dir / "MASTER.DBF";
  }();
  return table;
}

void OpenInSortOrder(TTable& t, const fs::path& table) {
  t.SetDatabaseName(table.parent_path().string());
  t.SetTableName(table.filename().string());
  t.SetIndexName("NewIndex");
  t.Open();
}

// The text export through keldro's path (a TTable walk in NewIndex order,
// each record's line, the file written as the lines come, as the Export
// window writes it), against one write of the same bytes as the export
// writes its file (the baseline: a temporary file, the write, its sync,
// the rename). The two take turns, so both meet the same load of the
// machine, and the best time of each is compared; the export's bytes must
// be the baseline's.
void BM_TextExportPath(benchmark::State& state) {
  const fs::path& table = FullTable();
  const std::string& bytes = IndexOrderText();
  const fs::path plain = Dir() / "PLAIN.TXT", file = Dir() / "EXPORT.TXT";
  const std::vector<int> fields = AllTargets();
  double bestWrite = 1e9, bestExport = 1e9;
  for (auto _ : state) {
    state.PauseTiming();
    auto start = std::chrono::steady_clock::now();
    if (!platform::WriteFileAtomic(plain, bytes)) state.SkipWithError("the file could not be written");
    bestWrite = std::min(bestWrite, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    state.ResumeTiming();
    start = std::chrono::steady_clock::now();
    TTable t;
    OpenInSortOrder(t, table);
    keldro::ItemTextFileWriter writer;
    int error = 0;
    if (!writer.Open(file, &error)) state.SkipWithError("the export could not begin its file");
    keldro::ItemTextExporter exporter(t, fields);
    for (t.First(); !t.Eof(); t.Next()) writer.Append(exporter);
    t.Close();
    if (!writer.Finish(&error)) state.SkipWithError("the export's file could not be written");
    bestExport = std::min(bestExport, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }
  std::string written;
  platform::ReadWholeFile(file, written);
  if (written != bytes) state.SkipWithError("the export wrote other bytes than the plain write");
  fs::remove(file);
  fs::remove(plain);
  state.counters["write_ms"] = bestWrite * 1000;
  state.counters["export_ms"] = bestExport * 1000;
  state.counters["x_write"] = bestExport / bestWrite;  // goal: at most 10
}
BENCHMARK(BM_TextExportPath)->Unit(benchmark::kMillisecond)->MinTime(4.0);

// The baseline of the import: the plain parse, each record's values put in
// its fixed-width record as the table stores it, the bytes written and
// synced once.
void BM_PlainParseAndWrite(benchmark::State& state) {
  const std::string& text = FileOrderText();
  const fs::path file = Dir() / "PLAIN.DBF";
  size_t recordLength = 1;
  for (const keldro::ItemField& f : keldro::ItemFields) recordLength += static_cast<size_t>(f.width);
  size_t records = 0;
  for (auto _ : state) {
    std::string bytes;
    bytes.reserve(static_cast<size_t>(kRecords) * recordLength);
    records = PlainParse(text, [&](const std::vector<std::string_view>& values) {
      bytes += ' ';
      for (size_t i = 0; i < keldro::ItemFields.size(); ++i) {
        const size_t width = static_cast<size_t>(keldro::ItemFields[i].width);
        const std::string_view v = i < values.size() ? values[i].substr(0, width) : std::string_view();
        bytes += v;
        bytes.append(width - v.size(), ' ');
      }
    });
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    const bool ok = fd >= 0 && ::write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size()) &&
                    ::fsync(fd) == 0;
    if (fd >= 0) ::close(fd);
    if (!ok) state.SkipWithError("the file could not be written");
  }
  if (records != static_cast<size_t>(kRecords)) state.SkipWithError("the plain parse missed records");
  fs::remove(file);
}
BENCHMARK(BM_PlainParseAndWrite)->Unit(benchmark::kMillisecond)->Iterations(5);

// The import's path for a text file: the first pass over the whole file,
// then the second pass appending every record in one batch, into an empty
// MASTER with its sort index.
void BM_ImportPath(benchmark::State& state) {
  FullTable();  // the test engine loaded
  const std::string& text = FileOrderText();
  const std::vector<int> targets = AllTargets();
  const fs::path dir = Dir() / "import";
  size_t appended = 0, records = 0;
  double costs = 0;
  for (auto _ : state) {
    state.PauseTiming();
    fs::remove_all(dir);
    fs::create_directories(dir);
    CreateMaster(dir, "MASTER.DBF");
    TTable t;
    OpenInSortOrder(t, dir / "MASTER.DBF");
    state.ResumeTiming();
    const keldro::ImportCheck check =
        keldro::CheckTextImport(text, 22, targets, false, [](const keldro::ImportRecord&) {});
    const keldro::ImportOutcome outcome = keldro::AppendImport(t, [&](const keldro::RecordSink& sink) {
      keldro::CheckTextImport(text, 22, targets, false, sink);
    });
    appended = check.badLines == 0 && outcome.ok ? outcome.appended : 0;
    state.PauseTiming();
    records = static_cast<size_t>(t.RecordCount());
    costs = 0;
    for (t.First(); !t.Eof(); t.Next()) costs += t.FieldByName("Cost")->AsFloat();
    t.Close();
    state.ResumeTiming();
  }
  double plainCosts = 0;
  const size_t plainRecords =
      PlainParse(text, [&](const std::vector<std::string_view>& v) { plainCosts += CostOf(v[10]); });
  if (appended != plainRecords || records != plainRecords || std::abs(costs - plainCosts) > 1e-3)
    state.SkipWithError("the import stored something else than the plain parse read");
  fs::remove_all(dir);
}
BENCHMARK(BM_ImportPath)->Unit(benchmark::kMillisecond)->Iterations(3);

// The dBASE export of every field of the 100,000 records in NewIndex order
// into `target`; `synced` false runs the same copy with the engine's syncs
// skipped. The seconds it took.
double DBaseExportOnce(benchmark::State& state, const fs::path& target, bool synced) {
  const std::vector<int> fields = AllTargets();
  fault_engine::SkipSyncs(!synced);
  const auto start = std::chrono::steady_clock::now();
  {
    TTable source;
    OpenInSortOrder(source, FullTable());
    TTable exportTable;
    keldro::DBaseExportWriter writer(exportTable, target, fields);
    for (source.First(); !source.Eof(); source.Next()) writer.Write(source);
    const std::string failure = writer.Finish();
    if (!failure.empty()) state.SkipWithError(failure.c_str());
  }
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  fault_engine::SkipSyncs(false);
  return seconds;
}

// Every record walked is in the export, in the order walked, with its values.
bool HoldsTheTable(const fs::path& target) {
  TTable copy;
  copy.SetDatabaseName(target.parent_path().string());
  copy.SetTableName(target.filename().string());
  copy.Open();
  size_t records = 0;
  std::string items;
  for (copy.First(); !copy.Eof(); copy.Next()) {
    ++records;
    if (records % 997 == 1) items += copy.FieldByName("Item")->AsString() + copy.FieldByName("Cost")->AsString() + ",";
  }
  copy.Close();
  std::string expected;
  size_t n = 0;
  for (const auto* values : InIndexOrder())
    if (++n % 997 == 1) expected += (*values)[0] + (*values)[10] + ",";
  return records == static_cast<size_t>(kRecords) && items == expected;
}

// The export as the Export window runs it (its syncs on the disk) against
// the same copy unsynced (the baseline), taking turns so both meet the same
// load; the median of each is compared. Each export goes over the one
// before, as a user's second export would. Both must hold the table.
void BM_DBaseExport(benchmark::State& state) {
  FullTable();
  const fs::path synced = Dir() / "EXP.DBF", unsynced = Dir() / "EXPNS.DBF";
  std::vector<double> withSyncs, without;
  bool syncedFirst = true;
  for (auto _ : state) {
    if (syncedFirst) withSyncs.push_back(DBaseExportOnce(state, synced, true));
    without.push_back(DBaseExportOnce(state, unsynced, false));
    if (!syncedFirst) withSyncs.push_back(DBaseExportOnce(state, synced, true));
    syncedFirst = !syncedFirst;
  }
  if (!HoldsTheTable(synced) || !HoldsTheTable(unsynced))
    state.SkipWithError("the export holds other records than the table");
  fs::remove(synced);
  fs::remove(unsynced);
  auto median = [](std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0.0 : v[v.size() / 2];
  };
  state.counters["export_ms"] = median(withSyncs) * 1000;
  state.counters["unsynced_ms"] = median(without) * 1000;
  state.counters["x_unsynced"] = median(withSyncs) / median(without);  // goal: at most 3
}
BENCHMARK(BM_DBaseExport)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

BENCHMARK_MAIN();
