// 10,000 appends as keldro's import makes them (a shared open of the
// inventory with its "NewIndex" tag) in one batch on the disk (the
// temporary folder, TMPDIR as the user has it), beside the baseline
// measured in the same run: the same 10,000 appended one by one, each
// synced, on tmpfs (/dev/shm), where a sync costs nothing. The goal: the
// batch within 3x of the baseline. Both take turns, best of each compared;
// the ratio is printed as a counter.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "inventory_records.h"
#include "orbex32.h"

namespace {

constexpr int kAppends = 10000;


const std::vector<OrbFieldDesc>& Fields() { return bench::InventoryFields(); }

std::filesystem::path Folder(const std::filesystem::path& base) {
  return base / ("orbex-batch-bench-" + std::to_string(getpid()));
}

// A fresh inventory with its tag in `dir`, then the appends; the seconds
// the appends (and the commit) took, -1 when one failed.
double Run(const std::filesystem::path& dir, bool batch) {
  std::error_code ec;
  std::filesystem::remove_all(dir, ec);
  std::filesystem::create_directories(dir);
  OrbDatabase db = 0;
  OrbCursor c = 0;
  EngineOpenDatabase(dir.c_str(), &db);
  bool ok = EngineCreateTable(db, "MASTER", static_cast<uint16_t>(Fields().size()), Fields().data(), 0) == ORB_OK &&
            EngineOpenTable(db, "MASTER", ORB_OPEN_SHARED, &c) == ORB_OK;
  OrbIndexDesc d{};
  std::strcpy(d.tagName, "NewIndex");
  std::strcpy(d.expression, "Upper(Left(Category,40))+STR(Cost,12,2)");
  d.options = ORB_IDX_EXPRESSION;
  ok = ok && EngineAddIndex(db, c, nullptr, &d) == ORB_OK;
  OrbTableInfo info{};
  EngineGetTableInfo(c, &info);
  std::vector<uint8_t> rec(info.recordSize);
  const auto start = std::chrono::steady_clock::now();
  if (batch) ok = ok && EngineBeginBatch(c) == ORB_OK;
  for (int i = 0; ok && i < kAppends; ++i) {
    bench::PutInventoryRecord(c, rec.data(), info.recordSize, i);
    ok = EngineInsertRecord(c, rec.data(), info.recordSize) == ORB_OK;
  }
  if (batch) ok = ok && EngineCommitBatch(c) == ORB_OK;
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  uint32_t count = 0;
  ok = ok && EngineGetRecordCount(c, &count) == ORB_OK && count == kAppends;
  EngineCloseCursor(c);
  EngineCloseDatabase(db);
  std::filesystem::remove_all(dir, ec);
  return ok ? seconds : -1;
}

void BM_BatchAppendsOnDiskVsTmpfs(benchmark::State& state) {
  const std::filesystem::path disk = Folder(std::filesystem::temp_directory_path());
  const std::filesystem::path shm = Folder("/dev/shm");
  double bestBatch = 1e9, bestTmpfs = 1e9;
  for (auto _ : state) {
    const double b = Run(disk, true);
    const double t = Run(shm, false);
    if (b < 0 || t < 0) {
      state.SkipWithError("an append failed");
      break;
    }
    bestBatch = std::min(bestBatch, b);
    bestTmpfs = std::min(bestTmpfs, t);
    state.SetIterationTime(b);
  }
  state.counters["batch_on_disk_ms"] = bestBatch * 1000;
  state.counters["one_by_one_tmpfs_ms"] = bestTmpfs * 1000;
  state.counters["ratio"] = bestBatch / bestTmpfs;
  state.SetItemsProcessed(state.iterations() * kAppends);
}

// The same appends one by one on the disk, each synced: what a batch spares.
void BM_AppendsOneByOneOnDisk(benchmark::State& state) {
  const std::filesystem::path disk = Folder(std::filesystem::temp_directory_path());
  for (auto _ : state) {
    const double s = Run(disk, false);
    if (s < 0) state.SkipWithError("an append failed");
    state.SetIterationTime(s);
  }
  state.SetItemsProcessed(state.iterations() * kAppends);
}

}  // namespace

BENCHMARK(BM_BatchAppendsOnDiskVsTmpfs)->Unit(benchmark::kMillisecond)->Iterations(5)->UseManualTime();
BENCHMARK(BM_AppendsOneByOneOnDisk)->Unit(benchmark::kMillisecond)->Iterations(1)->UseManualTime();
BENCHMARK_MAIN();
