// The data grid on inventories of 1,000 and 100,000 records with the 22
// inventory fields, beside a baseline measured in the same run:
//   open and first paint (1,000 and 100,000 records)
//   page down from the first record to the last, as a user holding the
//     key: each key press moves a screen; repaints are coalesced to the
//     display's 60 frames a second
//   baseline: the table walked once from First to the end through TTable,
//     each record fetched from the engine
// Goals: first paint on 100,000 within twice that on 1,000 and below a
// tenth of the full scan; paging through all within three times the scan.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <QApplication>
#include <QImage>
#include <QPainter>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "framework/dbtables.h"
#include "grid/ix_table.h"
#include "inventory_records.h"
#include "ix_dbgrid.h"
#include "orbex32.h"
#include "qt_runtime_dir.h"

namespace {

namespace fs = std::filesystem;

const std::vector<OrbFieldDesc>& Fields() { return bench::InventoryFields(); }

const fs::path& Dir() {
  static const fs::path dir = [] {
    fs::path d = fs::temp_directory_path() / ("grid-bench-" + std::to_string(getpid()));
    fs::create_directories(d);
    return d;
  }();
  return dir;
}

// Writes the inventory once per size, through the engine linked in.
std::string Inventory(int records) {
  const std::string name = "INV" + std::to_string(records);
  if (fs::exists(Dir() / (name + ".DBF"))) return name;
  OrbDatabase db = 0;
  EngineOpenDatabase(Dir().c_str(), &db);
  EngineCreateTable(db, name.c_str(), static_cast<uint16_t>(Fields().size()), Fields().data(), 0);
  OrbCursor c = 0;
  EngineOpenTable(db, name.c_str(), ORB_OPEN_EXCLUSIVE, &c);
  OrbTableInfo info{};
  EngineGetTableInfo(c, &info);
  std::vector<uint8_t> rec(info.recordSize);
  EngineBeginBatch(c);  // one sync for the whole set-up
  for (int i = 0; i < records; ++i) {
    bench::PutInventoryRecord(c, rec.data(), info.recordSize, i);
    EngineInsertRecord(c, rec.data(), info.recordSize);
  }
  EngineCommitBatch(c);
  EngineCloseCursor(c);
  EngineCloseDatabase(db);
  return name;
}

// The main window's grid: 22 columns, check boxes, 800 x 600.
struct GridOnTable {
  explicit GridOnTable(int records) {
    table.SetDatabaseName(Dir().string());
    table.SetTableName(Inventory(records));
    table.SetTableType(framework::ttDBase);
    table.SetControlType({"WARRANTY;CheckBox;Yes;No"});
    source.SetDataSet(&table);
    form.resize(800, 600);
    grid = new grid::TixDBGrid(&form);
    grid->setGeometry(0, 0, 800, 600);
    grid->SetOptions(grid::dgTabs | grid::dgAlwaysShowSelection | grid::dgConfirmDelete | grid::dgIndicator |
                     grid::dgRowLines | grid::dgColLines | grid::dgTitles | grid::dgEditing);
    grid->SetDataSource(&source);
    grid->Loaded();
    // Shown, so the viewport has its size and the link its window of rows.
    form.show();
    QApplication::processEvents();
    image = QImage(grid->viewport()->size(), QImage::Format_RGB32);
  }
  ~GridOnTable() {
    source.SetDataSet(nullptr);
    table.Close();
  }
  void Paint() {
    QPainter painter(&image);
    grid->PaintCells(painter, image.rect());
  }

  grid::TixTable table;
  grid::TixDataSource source;
  QWidget form;
  grid::TixDBGrid* grid = nullptr;
  QImage image;
};

void BM_GridOpenFirstPaint(benchmark::State& state) {
  GridOnTable g(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    g.table.Open();
    g.Paint();
    state.PauseTiming();
    g.table.Close();
    state.ResumeTiming();
  }
}

// Repaints are coalesced to the display's frame rate: a screen is painted
// when a frame's time has gone by since the last one.
constexpr auto kFrame = std::chrono::microseconds(16667);

void BM_GridPageDownAll(benchmark::State& state) {
  GridOnTable g(static_cast<int>(state.range(0)));
  g.table.Open();
  int pages = 0, paints = 0;
  for (auto _ : state) {
    g.table.First();
    g.Paint();
    auto painted = std::chrono::steady_clock::now();
    while (!g.table.Eof()) {
      g.grid->KeyDown(Qt::Key_PageDown, Qt::NoModifier);
      ++pages;
      const auto now = std::chrono::steady_clock::now();
      if (now - painted >= kFrame) {
        g.Paint();
        ++paints;
        painted = std::chrono::steady_clock::now();
      }
    }
    g.Paint();
    ++paints;
  }
  state.counters["pages"] = benchmark::Counter(pages, benchmark::Counter::kAvgIterations);
  state.counters["paints"] = benchmark::Counter(paints, benchmark::Counter::kAvgIterations);
  state.counters["rows"] = g.grid->VisibleDataRows();
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_EngineFullScan(benchmark::State& state) {
  framework::TTable t;
  t.SetDatabaseName(Dir().string());
  t.SetTableName(Inventory(static_cast<int>(state.range(0))));
  t.SetTableType(framework::ttDBase);
  t.Open();
  for (auto _ : state) {
    int n = 0;
    for (t.First(); !t.Eof(); t.Next()) ++n;
    benchmark::DoNotOptimize(n);
  }
  t.Close();
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

BENCHMARK(BM_GridOpenFirstPaint)->Arg(1000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GridPageDownAll)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EngineFullScan)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  bench::KeepQtRuntimeIn(Dir() / "runtime");
  QApplication app(argc, argv);
  framework::TSession::Default().LibraryDirs = {fs::canonical("/proc/self/exe").parent_path()};
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  fs::remove_all(Dir());
  return 0;
}
