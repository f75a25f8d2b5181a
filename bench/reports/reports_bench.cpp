// The report generator on an inventory of 100,000 records: "Short Narrow
// Report", grouped by category with totals, written to a text file through
// the stream recorder, beside a full scan of the same table through TTable
// (every field of every record read as text), measured in the same run.
// The goal: the report takes at most 10 times the scan.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <QApplication>
#include <QCryptographicHash>
#include <cstdio>
#include <filesystem>
#include <string>

#include "core/item_fields.h"
#include "framework/dbtables.h"
#include "report/printer.h"
#include "report/stream_report.h"
#include "qt_runtime_dir.h"
#include "reports/report_generator.h"

namespace {

namespace fs = std::filesystem;
using keldro::ItemFields;
constexpr int kRecords = 100000;

fs::path Dir() {
  static const fs::path dir = [] {
    fs::path d = fs::temp_directory_path() / ("reports-bench-" + std::to_string(getpid()));
    fs::create_directories(d);
    return d;
  }();
  return dir;
}

void Open(framework::TTable& t) {
  t.SetDatabaseName(Dir().string());
  t.SetTableName("MASTER.DBF");
  t.SetTableType(framework::ttDBase);
}

// The table, written once: twenty categories of 5,000 items, in category order.
void MakeTable() {
  framework::TTable t;
  Open(t);
  for (const keldro::ItemField& f : ItemFields) {
    switch (f.typeCode) {
      case keldro::kCharacterField: t.FieldDefs().Add(std::string(f.name), framework::ftString, f.width); break;
      case keldro::kIntegerField: t.FieldDefs().Add(std::string(f.name), framework::ftInteger); break;
      case keldro::kFloatField: t.FieldDefs().Add(std::string(f.name), framework::ftFloat, 2); break;
      default: t.FieldDefs().Add(std::string(f.name), framework::ftDate); break;
    }
  }
  t.CreateTable();
  t.Open();
  t.BeginBatch();  // one sync for the whole set-up, as an import makes it
  for (int i = 0; i < kRecords; ++i) {
    t.Append();
    t.FieldByName("Category")->SetAsString("Category " + std::to_string(i / 5000));
    t.FieldByName("Item")->SetAsString("Item number " + std::to_string(i));
    t.FieldByName("Location")->SetAsString("Room " + std::to_string(i % 13));
    t.FieldByName("Descriptio")->SetAsString("A description long enough to be read like a real one");
    t.FieldByName("Quantity")->SetAsString(std::to_string(1 + i % 4));
    t.FieldByName("Cost")->SetAsString(std::to_string(i % 997) + ".25");
    t.FieldByName("RepCost")->SetAsString(std::to_string(i % 991) + ".50");
    t.FieldByName("Value")->SetAsString(std::to_string(i % 983) + ".75");
    t.Post();
  }
  t.CommitBatch();
  t.Close();
}

void BM_TableScan(benchmark::State& state) {
  framework::TTable t;
  Open(t);
  for (auto _ : state) {
    t.Open();
    size_t bytes = 0;
    for (t.First(); !t.Eof(); t.Next())
      for (int f = 0; f < t.FieldCount(); ++f) bytes += t.Fields(f)->AsString().size();
    t.Close();
    benchmark::DoNotOptimize(bytes);
  }
  state.SetItemsProcessed(state.iterations() * kRecords);
}

void BM_ReportToTextFile(benchmark::State& state) {
  keldro::reports::ReportDefinition def = keldro::reports::DefaultReportDefinitions()[0];
  keldro::reports::ReportEnvironment env;
  for (size_t i = 0; i < env.fieldTitles.size(); ++i) env.fieldTitles[i] = std::string(ItemFields[i].title);
  env.today = "12/10/26";
  framework::TTable t;
  Open(t);
  t.Open();
  keldro::reports::DataSetReportRows rows(t);
  size_t size = 0;
  for (auto _ : state) {
    report::TStreamReport writer(report::InstalledPrinter());
    keldro::reports::ConfigureReportWriter(writer);
    writer.StreamMode = report::smMemory;
    keldro::reports::ReportGenerator generator(def, rows, env, keldro::reports::kToTextFile);
    generator.SetTextFileName(Dir() / "REPORT.TXT");
    generator.Attach(writer);
    writer.Execute();
    if (generator.TextFileFailed()) state.SkipWithError("the text file could not be written");
    size = generator.TextFileBytes().size();
  }
  // The answer: every item once, in the file as the generator wrote it; the
  // digest tells a changed byte from one build to the next.
  std::string file;
  if (std::FILE* f = std::fopen((Dir() / "REPORT.TXT").c_str(), "rb")) {
    char block[1 << 16];
    for (size_t n; (n = std::fread(block, 1, sizeof block, f)) > 0;) file.append(block, n);
    std::fclose(f);
  }
  size_t items = 0;
  for (size_t at = 0; (at = file.find("Item number ", at)) != std::string::npos; at += 12) ++items;
  if (file.size() != size || items != kRecords) state.SkipWithError("the text file does not hold every item once");
  state.SetLabel(QCryptographicHash::hash(QByteArray::fromStdString(file), QCryptographicHash::Md5).toHex().toStdString());
  state.counters["file_bytes"] = static_cast<double>(size);
  state.SetItemsProcessed(state.iterations() * kRecords);
}

BENCHMARK(BM_TableScan)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_ReportToTextFile)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  bench::KeepQtRuntimeIn(Dir() / "runtime");
  QApplication app(argc, argv);
  framework::TSession::Default().LibraryDirs = {fs::canonical("/proc/self/exe").parent_path()};
  report::InstallPrinter(report::QtReportPrinter::Pdf((Dir() / "unused.pdf").string()));
  MakeTable();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  report::InstallPrinter(nullptr);
  fs::remove_all(Dir());
  return 0;
}
