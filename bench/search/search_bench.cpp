// Locate, search and search and replace on an inventory of 100,000
// records, each beside a baseline measured in the same run:
//   locate of the last record's Item by scan   vs  the plain scan
//   a two-level search applied (all records)   vs  the plain scan
//   search and replace of a category (25,000
//     records changed, one batch)              vs  a TTable scan with the
//                                                  same match, and the
//                                                  disk's own bound: the
//                                                  table's bytes rewritten
//                                                  in place and synced once
// The plain scan reads every record through the engine cursor and takes
// its Item field, as little as a scan can do. The tables are made once, in
// one batch each, in a folder of TMPDIR that is removed at the end.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <system_error>
#include <string>
#include <vector>

#include "bench_folder.h"
#include "core/item_fields.h"
#include "core/search_filter.h"
#include "core/search_replace.h"
#include "framework/dbtables.h"
#include "grid/ix_locate.h"
#include "orbex32.h"
#include "platform/dynlib.h"

namespace {

namespace fs = std::filesystem;
using namespace framework;

constexpr int kRecords = 100000;

// The bench's folder in TMPDIR, gone when the program ends.
const fs::path& Dir() { return bench::BenchFolder("search-bench"); }

std::string ItemName(int i) { return "Item " + std::to_string(i); }

// An inventory table `name` in the folder, its records appended in one
// batch: categories and owners in turn, costs from 0 to 999.
void MakeTable(const std::string& name) {
  TSession::Default().LibraryDirs = {fs::canonical("/proc/self/exe").parent_path()};
  TTable make;
  make.SetDatabaseName(Dir().string());
  make.SetTableName(name);
  make.SetTableType(ttDBase);
  for (const keldro::ItemField& f : keldro::ItemFields) {
    const std::string field(f.name);
    if (f.letter == 'C')
      make.FieldDefs().Add(field, ftString, f.width);
    else if (f.letter == 'D')
      make.FieldDefs().Add(field, ftDate);
    else
      make.FieldDefs().Add(field, f.typeCode == keldro::kIntegerField ? ftInteger : ftFloat, f.decimals);
  }
  make.CreateTable();
  make.SetExclusive(true);
  make.Open();
  const char* categories[] = {"TOOLS", "GARDEN", "KITCHEN", "OFFICE"};
  const char* owners[] = {"ANN", "BOB", "CAROL"};
  make.BeginBatch();
  for (int i = 1; i <= kRecords; ++i) {
    make.Append();
    make.FieldByName("Item")->SetAsString(ItemName(i));
    make.FieldByName("Category")->SetAsString(categories[i % 4]);
    make.FieldByName("Owner")->SetAsString(owners[i % 3]);
    make.FieldByName("Cost")->SetAsFloat(i % 1000);
    make.Post();
  }
  make.CommitBatch();
  make.Close();
}

// The inventory table, made once.
grid::TixTable& Table() {
  static grid::TixTable* table = [] {
    MakeTable("MASTER.DBF");
    auto* t = new grid::TixTable;
    t->SetDatabaseName(Dir().string());
    t->SetTableName("MASTER.DBF");
    t->Open();
    return t;
  }();
  return *table;
}

struct RawEngine {
  decltype(&::EngineSetToBegin) setToBegin;
  decltype(&::EngineGetNextRecord) getNext;
  decltype(&::EngineGetField) getField;
  decltype(&::EngineGetTableInfo) tableInfo;
};

RawEngine& Raw() {
  static RawEngine raw = [] {
    platform::dynlib::Module m = platform::dynlib::Load("ORBEX32.DLL", TSession::Default().LibraryDirs);
    return RawEngine{reinterpret_cast<decltype(&::EngineSetToBegin)>(platform::dynlib::EntryByOrdinal(m, 9)),
                     reinterpret_cast<decltype(&::EngineGetNextRecord)>(platform::dynlib::EntryByOrdinal(m, 16)),
                     reinterpret_cast<decltype(&::EngineGetField)>(platform::dynlib::EntryByOrdinal(m, 207)),
                     reinterpret_cast<decltype(&::EngineGetTableInfo)>(platform::dynlib::EntryByOrdinal(m, 6))};
  }();
  return raw;
}

void BM_PlainEngineScan(benchmark::State& state) {
  grid::TixTable& t = Table();
  RawEngine& e = Raw();
  OrbTableInfo info{};
  e.tableInfo(t.Handle(), &info);
  std::string record(info.recordSize, '\0');
  char item[64];
  for (auto _ : state) {
    e.setToBegin(t.Handle());
    int n = 0;
    OrbRecordInfo ri{};
    int32_t blank = 0;
    while (e.getNext(t.Handle(), reinterpret_cast<uint8_t*>(record.data()), info.recordSize, &ri) == ORB_OK) {
      e.getField(t.Handle(), 1, reinterpret_cast<const uint8_t*>(record.data()), item, sizeof item, &blank);
      ++n;
    }
    if (n != kRecords) state.SkipWithError("the scan did not see every record");
    benchmark::DoNotOptimize(item);
  }
  t.CursorPosChanged();
}
BENCHMARK(BM_PlainEngineScan)->Unit(benchmark::kMillisecond);

void BM_LocateLastItemByScan(benchmark::State& state) {
  grid::TixTable& t = Table();
  const std::string last = ItemName(kRecords);
  for (auto _ : state) {
    t.First();
    if (!grid::LocateRecord(true, t, "Item", false, grid::mtExactMatch, last))
      state.SkipWithError("the last record was not found");
  }
  if (t.FieldByName("Item")->AsString() != last) state.SkipWithError("the table is not on the last record");
}
BENCHMARK(BM_LocateLastItemByScan)->Unit(benchmark::kMillisecond);

// Category TOOLS, or Owner ANN with a cost over 500: the count of the
// records that pass, read through the record filter.
void BM_TwoLevelSearchApplied(benchmark::State& state) {
  grid::TixTable& t = Table();
  keldro::SearchItems items = {
      {"TOOLS", 0, 0, 12, keldro::soContains, true, false},
      {"ANN", 0, 0, 17, keldro::soContains, false, false},
      {"500", 500, 0, 11, keldro::soGreater, true, false},
  };
  t.SetOnFilter([&items](grid::TixTable& table) { return keldro::SearchAccepts(items, table); });
  int count = 0;
  for (auto _ : state) {
    t.Refresh();
    count = t.RecordCount();
  }
  // 25,000 TOOLS, and ANN over 500 among the rest.
  if (count <= kRecords / 4 || count >= kRecords / 2) state.SkipWithError("unexpected count");
  state.counters["passed"] = count;
  t.SetOnFilter(nullptr);
}
BENCHMARK(BM_TwoLevelSearchApplied)->Unit(benchmark::kMillisecond);

// A table of its own for search and replace, open to the bench alone (the
// replacement needs it exclusively), in file order as the window walks it.
TTable& ReplaceTable() {
  static TTable* table = [] {
    MakeTable("REPLACE.DBF");
    auto* t = new TTable;
    t->SetDatabaseName(Dir().string());
    t->SetTableName("REPLACE.DBF");
    t->SetExclusive(true);
    t->Open();
    // Walked once: the baseline and the replacement both start with the
    // table read in, whichever runs first.
    for (t->First(); !t->Eof(); t->Next()) {
    }
    return t;
  }();
  return *table;
}

// The search's spec for the category `from`, replaced by `to`.
keldro::ReplaceSpec CategorySpec(const char* from, const char* to) {
  keldro::ReplaceSpec spec;
  if (keldro::PrepareReplace(12, from, to, spec) != keldro::ReplaceInputError::None) std::abort();
  return spec;
}

// The Items of the records the scan matched: the answer the replacement
// must give (those records changed, no other).
std::set<std::string> gScanAnswer;
bool gScanAnswered = false;

std::set<std::string> ItemsMatching(TTable& t, const keldro::ReplaceSpec& spec) {
  std::set<std::string> items;
  for (t.First(); !t.Eof(); t.Next())
    if (keldro::ReplaceMatches(spec, *t.FieldByName("Category"))) items.insert(t.FieldByName("Item")->AsString());
  return items;
}

// The baseline: every record read through the table with the same match.
void BM_ScanWithTheReplaceMatch(benchmark::State& state) {
  TTable& t = ReplaceTable();
  const keldro::ReplaceSpec spec = CategorySpec("tools", "TOOLZ");
  long matches = 0;
  for (auto _ : state) {
    matches = 0;
    for (t.First(); !t.Eof(); t.Next())
      if (keldro::ReplaceMatches(spec, *t.FieldByName("Category"))) ++matches;
  }
  // The answer, gathered outside the timing.
  gScanAnswer = ItemsMatching(t, spec);
  gScanAnswered = true;
  if (static_cast<long>(gScanAnswer.size()) != matches) state.SkipWithError("the scans disagree");
  state.counters["matches"] = static_cast<double>(matches);
}
BENCHMARK(BM_ScanWithTheReplaceMatch)->Unit(benchmark::kMillisecond);

// TOOLS becomes TOOLZ and back in turn, so every run changes as many records.
void BM_SearchAndReplace(benchmark::State& state) {
  TTable& t = ReplaceTable();
  const keldro::ReplaceSpec there = CategorySpec("tools", "TOOLZ"), back = CategorySpec("toolz", "TOOLS");
  if (!gScanAnswered) {
    gScanAnswer = ItemsMatching(t, there);
    gScanAnswered = true;
  }
  bool forth = true;
  long changed = 0;
  for (auto _ : state) {
    keldro::ReplaceCounts counts;
    keldro::ReplaceAllInBatch(t, forth ? there : back, nullptr, nullptr, counts);
    forth = !forth;
    changed = counts.changed;
    if (counts.processed != kRecords) state.SkipWithError("the walk missed records");
  }
  keldro::ReplaceCounts counts;
  if (forth) keldro::ReplaceAllInBatch(t, there, nullptr, nullptr, counts);
  // Now TOOLZ: exactly the records the scan matched hold it, read afresh
  // from the file by a table of its own after the commit.
  {
    t.Close();
    TTable check;
    check.SetDatabaseName(Dir().string());
    check.SetTableName("REPLACE.DBF");
    check.Open();
    if (ItemsMatching(check, back) != gScanAnswer)
      state.SkipWithError("the replacement changed other records than the scan matches");
    long others = 0;
    for (check.First(); !check.Eof(); check.Next())
      if (check.FieldByName("Category")->AsString() == "TOOLS") ++others;
    if (others != 0) state.SkipWithError("records the scan matched were left unchanged");
    check.Close();
    t.Open();
  }
  keldro::ReplaceAllInBatch(t, back, nullptr, nullptr, counts);
  if (changed != static_cast<long>(gScanAnswer.size()))
    state.SkipWithError("the replacement changed another count of records than the scan matches");
  state.counters["changed"] = static_cast<double>(changed);
}
BENCHMARK(BM_SearchAndReplace)->Unit(benchmark::kMillisecond);

// The disk's own bound for the replacement's commit: a file as long as the
// table, every byte of it rewritten in place (as the replacement leaves
// every page of the table changed) in 256 KiB writes, then one sync.
void BM_DiskRewriteAndSyncOfTheTable(benchmark::State& state) {
  ReplaceTable();
  std::error_code ec;
  const uintmax_t length = fs::file_size(Dir() / "REPLACE.DBF", ec);
  if (ec) {
    state.SkipWithError("no table");
    return;
  }
  const fs::path path = Dir() / "DISK.BIN";
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) {
    state.SkipWithError("cannot make the file");
    return;
  }
  std::vector<char> chunk(256 << 10, 'x');
  auto rewrite = [&](char fill) {
    chunk.assign(chunk.size(), fill);
    for (uintmax_t at = 0; at < length; at += chunk.size()) {
      const size_t n = static_cast<size_t>(std::min<uintmax_t>(chunk.size(), length - at));
      if (::pwrite(fd, chunk.data(), n, static_cast<off_t>(at)) != static_cast<ssize_t>(n)) return false;
    }
    return ::fdatasync(fd) == 0;
  };
  if (!rewrite('x')) state.SkipWithError("write failed");
  char fill = 'a';
  for (auto _ : state) {
    if (!rewrite(fill)) state.SkipWithError("write failed");
    fill = fill == 'a' ? 'b' : 'a';
  }
  ::close(fd);
  fs::remove(path, ec);
  state.counters["MiB"] = static_cast<double>(length) / (1 << 20);
}
BENCHMARK(BM_DiskRewriteAndSyncOfTheTable)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
