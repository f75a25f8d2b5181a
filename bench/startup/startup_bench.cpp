// keldro's start-up to a shown main window (offscreen) over a MASTER of
// 1,000,000 records, beside the same start-up over an empty MASTER measured
// in the same run. Each start builds the main window as the program does
// (settings, table opened shared in its "NewIndex" order, the report
// window, show) and ends when the shown window has painted; the count the
// window shows is then checked against the table's. That count is made on a
// thread once the window has painted and reads the whole table (650 MB):
// the read leaves the machine's caches as it leaves them, and the next
// start pays for it. So that both starts begin alike, the empty one's
// untimed part reads the large table too.
// Goal: the million-record start within 1.2 times the empty one.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QLabel>

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>

#include "fault.h"
#include "inventory_records.h"
#include "orbex32.h"
#include "platform/paths.h"
#include "platform/ui.h"
#include "temp_root.h"
#include "tmain.h"

namespace {

namespace fs = std::filesystem;
using testing_support::TempRoot;

constexpr int kMillion = 1000000;

// One installation: its root, its program folder with MASTER, and the
// records MASTER holds.
struct Installation {
  std::unique_ptr<TempRoot> root;
  int records = 0;

  // Makes this installation the one keldro starts in.
  void Enter() const {
    setenv("STASHWELL_ROOT", root->path().c_str(), 1);
    platform::SetProgramDir(root->programDir());
  }
};

// Appends `records` records to MASTER through the engine linked in, without
// syncs (bulk work); the "NewIndex" tag keldro made is dropped first and
// built again after, with the same expression, as one sort.
void Fill(const fs::path& master, int records) {
  orb::fault::SkipSyncs(true);
  OrbDatabase db = 0;
  EngineOpenDatabase(master.parent_path().c_str(), &db);
  const std::string table = master.stem().string();
  OrbCursor c = 0;
  if (EngineOpenTable(db, table.c_str(), ORB_OPEN_EXCLUSIVE, &c) != ORB_OK) std::abort();
  OrbIndexDesc tags[8]{};
  uint16_t tagCount = 0;
  EngineGetIndexDescs(c, 8, tags, &tagCount);
  for (uint16_t i = 0; i < tagCount; ++i) EngineDeleteIndex(db, c, nullptr, tags[i].tagName);
  OrbTableInfo info{};
  EngineGetTableInfo(c, &info);
  std::vector<uint8_t> rec(info.recordSize);
  for (int i = 0; i < records; ++i) {
    bench::PutInventoryRecord(c, rec.data(), info.recordSize, i);
    if (EngineInsertRecord(c, rec.data(), info.recordSize) != ORB_OK) std::abort();
  }
  for (uint16_t i = 0; i < tagCount; ++i)
    if (EngineAddIndex(db, c, nullptr, &tags[i]) != ORB_OK) std::abort();
  EngineCloseCursor(c);
  EngineCloseDatabase(db);
  orb::fault::SkipSyncs(false);
}

// A new installation whose MASTER keldro created on its first start (with
// the tips of the day off), then filled with `records` records.
Installation Install(int records) {
  Installation in;
  in.root = std::make_unique<TempRoot>();
  in.root->RegisterShippedLocales();
  in.records = records;
  TempRoot::WriteFile(platform::WindowsDir() / "KELDRO.INI", "[Misc]\r\nShow Tips=No\r\n");
  {
    keldro::TMain first(keldro::TMain::StartOptions{{"keldro"}, QSize(800, 600)});
    if (first.Terminated()) std::abort();
  }
  if (records > 0) Fill(platform::FindFileNoCase(in.root->programDir(), "MASTER.DBF"), records);
  return in;
}

const Installation& Empty() {
  static const Installation in = Install(0);
  return in;
}

const Installation& Million() {
  static const Installation in = Install(kMillion);
  return in;
}

void ReadWhole(const fs::path& file) {
  std::vector<char> block(1 << 16);
  const int fd = ::open(file.c_str(), O_RDONLY);
  while (fd >= 0 && ::read(fd, block.data(), block.size()) > 0) {
  }
  if (fd >= 0) ::close(fd);
}

// `alsoRead`: a file the untimed part reads after each start.
void StartUp(benchmark::State& state, const Installation& in, const fs::path& alsoRead = {}) {
  in.Enter();
  for (auto _ : state) {
    auto main = std::make_unique<keldro::TMain>(keldro::TMain::StartOptions{{"keldro"}, QSize(800, 600)});
    if (main->Terminated()) {
      state.SkipWithError("keldro did not start");
      break;
    }
    main->ReportWindow();
    main->show();
    QApplication::processEvents();
    state.PauseTiming();
    // The count shown must be the table's, once the count the start left
    // to a thread is in.
    main->FinishCount();
    if (main->CountLabel->text() != QString::number(in.records)) {
      state.SkipWithError("the count shown is wrong");
      break;
    }
    main->close();
    main.reset();
    if (!alsoRead.empty()) ReadWhole(alsoRead);
    state.ResumeTiming();
  }
}

void BM_StartUpMillion(benchmark::State& state) { StartUp(state, Million()); }
void BM_StartUpEmpty_Baseline(benchmark::State& state) {
  const fs::path large = platform::FindFileNoCase(Million().root->programDir(), "MASTER.DBF");
  StartUp(state, Empty(), large);
}

}  // namespace

BENCHMARK(BM_StartUpEmpty_Baseline)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StartUpMillion)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  framework::TSession::Default().LibraryDirs = {fs::canonical("/proc/self/exe").parent_path()};
  // No message box may wait for a user: any box is answered and fails the run.
  auto ui = std::make_shared<platform::ui::ScriptedUi>();
  ui->onUnexpected = [](const std::string& what) {
    std::fprintf(stderr, "unexpected message box: %s\n", what.c_str());
    std::abort();
  };
  platform::ui::Install(ui);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  platform::ui::Install(nullptr);
  return 0;
}
