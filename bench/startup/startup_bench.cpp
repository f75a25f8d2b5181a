// keldro's start-up to a shown main window (offscreen) over a MASTER of
// 1,000,000 records, beside the same start-up over an empty MASTER measured
// in the same run. Each start builds the main window as the program does
// (settings, table opened shared in its "NewIndex" order, the report
// window, show) and ends when the shown window has painted; the count the
// window shows is then checked against the table's. That count is made
// before the first paint, in the "NewIndex" order, and reads no record (the
// index's stamp names the deleted records). The empty start's untimed part
// reads the large table (650 MB), so that a start finds the machine's
// caches as a run over the large table leaves them whichever goes first.
// Goal: the million-record start within 1.2 times the empty one.
//
// The whole program's start is measured too, as a user meets it: a new
// process of this program in the mode that does what keldro's main does
// (the application, the platform's message boxes, the main window with its
// report window, shown), from its start until the window has painted, beside
// a new process that shows a plain main window of the same size (the part
// of a start that is Qt's own). The child says "painted" through a pipe;
// the count it then finishes must be the table's.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QLabel>
#include <QMainWindow>
#include <QTimer>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "fault.h"
#include "inventory_records.h"
#include "orbex32.h"
#include "platform/paths.h"
#include "platform/ui.h"
#include "qt_runtime_dir.h"
#include "qt_ui.h"
#include "temp_root.h"
#include "tmain.h"

extern char** environ;

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

// The child's modes, and the variables that tell it where to start.
constexpr const char* kChildKeldro = "--child-keldro";
constexpr const char* kChildPlainWindow = "--child-plain-window";
constexpr const char* kPaintedFd = "STARTUP_BENCH_PAINTED_FD";
constexpr const char* kProgramDir = "STARTUP_BENCH_PROGRAM_DIR";
constexpr const char* kRecords = "STARTUP_BENCH_RECORDS";

// A new process of this program in `mode`; the time until it said the
// window painted. False (with `why`) when it did not start, paint or end well.
bool TimeChildStart(const char* mode, const Installation* in, double* seconds, std::string* why) {
  int painted[2];
  if (::pipe(painted) != 0) {
    *why = "no pipe";
    return false;
  }
  // The child's environment: this one's, with where to start and where to
  // say it painted.
  std::vector<std::string> vars;
  for (char** e = environ; *e != nullptr; ++e) {
    const std::string_view var(*e);
    const std::string_view name = var.substr(0, var.find('='));
    if (name != kPaintedFd && name != kProgramDir && name != kRecords && name != "STASHWELL_ROOT")
      vars.emplace_back(var);
  }
  vars.push_back(std::string(kPaintedFd) + "=" + std::to_string(painted[1]));
  vars.push_back(std::string(kProgramDir) + "=" + (in ? in->root->programDir().string() : std::string()));
  vars.push_back(std::string(kRecords) + "=" + (in ? std::to_string(in->records) : std::string("0")));
  if (in) vars.push_back("STASHWELL_ROOT=" + in->root->path().string());
  std::vector<char*> envp;
  for (std::string& v : vars) envp.push_back(v.data());
  envp.push_back(nullptr);
  std::string self = "startup_bench", modeArg = mode;
  char* argv[] = {self.data(), modeArg.data(), nullptr};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addclose(&actions, painted[0]);
  // Spawned, not forked: a fork would copy this process's page tables (a
  // large process after the million-record start), and the child would pay
  // for dropping them before it even began, as no program a user starts does.
  const auto start = std::chrono::steady_clock::now();
  pid_t child = -1;
  if (posix_spawn(&child, "/proc/self/exe", &actions, nullptr, argv, envp.data()) != 0) child = -1;
  posix_spawn_file_actions_destroy(&actions);
  ::close(painted[1]);
  char byte = 0;
  const bool said = child > 0 && ::read(painted[0], &byte, 1) == 1 && byte == 'P';
  *seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  ::close(painted[0]);
  int status = 0;
  if (child > 0) ::waitpid(child, &status, 0);
  if (!said || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    *why = child <= 0 ? "no child" : !said ? "the child never painted" : "the child's count was wrong";
    return false;
  }
  return true;
}

void ProcessStart(benchmark::State& state, const char* mode, const Installation* in) {
  for (auto _ : state) {
    double seconds = 0;
    std::string why;
    if (!TimeChildStart(mode, in, &seconds, &why)) {
      state.SkipWithError(why.c_str());
      break;
    }
    state.SetIterationTime(seconds);
  }
}

void BM_ProcessStartEmpty(benchmark::State& state) { ProcessStart(state, kChildKeldro, &Empty()); }
void BM_ProcessStartMillion(benchmark::State& state) { ProcessStart(state, kChildKeldro, &Million()); }
void BM_ProcessStartPlainWindow_Baseline(benchmark::State& state) { ProcessStart(state, kChildPlainWindow, nullptr); }

// The child: starts as keldro's main does (or shows a plain window), says
// "painted", then checks the count shown. Ends with 0 when all went well.
int Child(int argc, char** argv, const std::string& mode) {
  const char* fd = std::getenv(kPaintedFd);
  if (fd == nullptr) return 2;
  // A window that waits for a user would hang the run: the child gives up.
  auto sayPainted = [fd] {
    const char p = 'P';
    return ::write(std::atoi(fd), &p, 1) == 1;
  };
  QApplication app(argc, argv);
  QTimer::singleShot(60000, [] { ::_exit(3); });
  if (mode == kChildPlainWindow) {
    QMainWindow window;
    window.resize(800, 600);
    window.show();
    QApplication::processEvents();
    return sayPainted() ? 0 : 4;
  }
  QApplication::setApplicationName("Stashwell Inventory");
  framework::TSession::Default().LibraryDirs = {fs::canonical("/proc/self/exe").parent_path()};
  platform::SetProgramDir(std::getenv(kProgramDir));
  platform::ui::InstallQtUi();
  auto main = std::make_unique<keldro::TMain>(keldro::TMain::StartOptions{{"keldro"}, std::nullopt});
  if (main->Terminated()) return 5;
  main->ReportWindow();
  main->show();
  QApplication::processEvents();
  if (!sayPainted()) return 4;
  main->FinishCount();
  const char* records = std::getenv(kRecords);
  return records && main->CountLabel->text() == QString::fromLatin1(records) ? 0 : 1;
}

}  // namespace

BENCHMARK(BM_StartUpEmpty_Baseline)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StartUpMillion)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ProcessStartPlainWindow_Baseline)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(10);
BENCHMARK(BM_ProcessStartEmpty)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(10);
BENCHMARK(BM_ProcessStartMillion)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(10);

namespace {

int Run(int argc, char** argv) {
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

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && (std::strcmp(argv[1], kChildKeldro) == 0 || std::strcmp(argv[1], kChildPlainWindow) == 0)) {
    const std::string mode = argv[1];
    int childArgc = 1;
    return Child(childArgc, argv, mode);
  }
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  const fs::path runtime = fs::temp_directory_path() / ("startup-bench-runtime-" + std::to_string(getpid()));
  bench::KeepQtRuntimeIn(runtime);
  int status = Run(argc, argv);
  std::error_code ec;
  fs::remove_all(runtime, ec);
  return status;
}
