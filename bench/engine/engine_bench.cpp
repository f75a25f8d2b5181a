// The engine on an inventory of 100,000 records with the 22 inventory
// fields, each operation beside a raw file-I/O baseline over the same bytes
// measured in the same run:
//   append all        vs writing the records with one write() per record
//   appends with one tag kept, exclusive open, close included
//                     vs the same appends without the tag, taking turns
//                     (100,000 without syncs; 2,000 posted, each synced)
//   open, first 30    vs open + read of header and 30 records
//   full scan         vs reading the file in 64 KB blocks
//   every field of every record through the C interface (shared open)
//                     vs reading the whole file into memory with read()
//   every field of every record as text through TTable (AsString)
//                     vs the scan through the C interface above (also
//                     the three taking turns, the median of each compared,
//                     in a table the registered locales order and in one
//                     of byte order)
//   filtered count    vs scanning the raw bytes with the same test
//   pack (every tenth deleted) vs copying the live records to a new file
//   count in "NewIndex" order vs count in natural order (both O(1) in keys)
//   count in "NewIndex" order at 1,000,000 records vs the same at 10,000,
//                     both just after a fresh open and just after this
//                     process appended a record and deleted it
//                     (goal: at most 2 times)
//   one post (record, memo-less, production index) on disk when it returns
//                     vs the same post with the syncs left out
// Tables are built without syncs (bulk work); "append all" is that cost.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "fault.h"
#include "framework/dbtables.h"
#include "inventory_records.h"
#include "orbex32.h"
#include "temp_root.h"

namespace {

constexpr int kRecords = 100000;

using bench::F;

const std::vector<OrbFieldDesc>& Fields() { return bench::InventoryFields(); }

std::filesystem::path Dir() {
  static const std::filesystem::path dir = [] {
    auto d = std::filesystem::temp_directory_path() / ("orbex-bench-" + std::to_string(getpid()));
    std::filesystem::create_directories(d);
    return d;
  }();
  return dir;
}

OrbDatabase Db() {
  static OrbDatabase db = [] {
    OrbDatabase d = 0;
    EngineOpenDatabase(Dir().c_str(), &d);
    return d;
  }();
  return db;
}

const char* kCategories[] = {"Kitchen", "Office", "Garage", "Garden", "Living"};

// Builds one inventory table through the engine; answers its record size.
uint32_t BuildTable(const char* name, int records, uint8_t languageDriver = 0) {
  orb::fault::SkipSyncs(true);
  EngineCreateTable(Db(), name, static_cast<uint16_t>(Fields().size()), Fields().data(), languageDriver);
  OrbCursor c = 0;
  EngineOpenTable(Db(), name, ORB_OPEN_EXCLUSIVE, &c);
  OrbTableInfo info{};
  EngineGetTableInfo(c, &info);
  std::vector<uint8_t> rec(info.recordSize);
  for (int i = 0; i < records; ++i) {
    bench::PutInventoryRecord(c, rec.data(), info.recordSize, i);
    EngineInsertRecord(c, rec.data(), info.recordSize);
  }
  EngineCloseCursor(c);
  orb::fault::SkipSyncs(false);
  return info.recordSize;
}

std::filesystem::path TablePath(const char* name) { return Dir() / (std::string(name) + ".DBF"); }

void BM_AppendAll(benchmark::State& state) {
  for (auto _ : state) BuildTable("APPEND", kRecords);
  state.SetItemsProcessed(state.iterations() * kRecords);
}

// Appends in an exclusive open, into a table whose production index has
// keldro's tag, against the same appends into one without an index: 100,000
// without the syncs (what the engine itself spends), and a few thousand
// posted as the program posts them, each on disk when it returns. Each
// run times the appends and the close, whose checkpoint writes what the
// exclusive open's index held back. The two take turns, so both meet the
// same load of the machine, and the best time of each is compared. Each
// tagged run's index must hold every record in key order, and its records
// must be the untagged run's, byte for byte.
constexpr int kSyncedAppends = 2000;

// The bytes of the records, from the header's length to the end.
std::string RecordBytes(const char* name) {
  std::string bytes;
  const int fd = ::open(TablePath(name).c_str(), O_RDONLY);
  if (fd < 0) return bytes;
  char chunk[65536];
  ssize_t got;
  while ((got = ::read(fd, chunk, sizeof chunk)) > 0) bytes.append(chunk, static_cast<size_t>(got));
  ::close(fd);
  const size_t header = bytes.size() >= 12 ? (static_cast<uint8_t>(bytes[8]) | static_cast<uint8_t>(bytes[9]) << 8) : 0;
  return header <= bytes.size() ? bytes.substr(header) : std::string();
}

// One run into a new table; answers the seconds of the appends and the
// close, or a negative number when the table does not hold what it must.
double AppendRun(const char* name, bool tagged, bool synced, int records) {
  BuildTable(name, 0);
  orb::fault::SkipSyncs(true);
  OrbCursor c = 0;
  EngineOpenTable(Db(), name, ORB_OPEN_EXCLUSIVE, &c);
  if (tagged) {
    OrbIndexDesc d{};
    std::strcpy(d.tagName, "NewIndex");
    std::strcpy(d.expression, "Upper(Left(Category,40))+STR(Cost,12,2)");
    d.options = ORB_IDX_EXPRESSION;
    EngineAddIndex(Db(), c, nullptr, &d);
  }
  OrbTableInfo info{};
  EngineGetTableInfo(c, &info);
  std::vector<uint8_t> rec(info.recordSize);
  orb::fault::SkipSyncs(!synced);
  const auto start = std::chrono::steady_clock::now();
  bool ok = true;
  for (int i = 0; i < records; ++i) {
    EngineInitRecord(c, rec.data(), info.recordSize);
    std::string item = "Item number " + std::to_string(i);
    EnginePutField(c, 1, rec.data(), item.c_str());
    double cost = (i % 1000) * 1.25;
    EnginePutField(c, 11, rec.data(), &cost);
    EnginePutField(c, 12, rec.data(), kCategories[i % 5]);
    ok = EngineInsertRecord(c, rec.data(), info.recordSize) == ORB_OK && ok;
  }
  ok = EngineCloseCursor(c) == ORB_OK && ok;
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  orb::fault::SkipSyncs(true);
  EngineOpenTable(Db(), name, ORB_OPEN_READ_ONLY, &c);
  uint32_t n = 0;
  EngineGetRecordCount(c, &n);
  ok = ok && n == static_cast<uint32_t>(records);
  if (tagged) {
    // The index, as the close left it, holds every record in key order.
    ok = ok && EngineSwitchToIndex(c, "NewIndex") == ORB_OK;
    EngineSetToBegin(c);
    uint32_t seen = 0;
    double last = -1;
    std::string category;
    while (ok && EngineGetNextRecord(c, rec.data(), info.recordSize, nullptr) == ORB_OK) {
      char text[64];
      double cost = 0;
      EngineGetField(c, 12, rec.data(), text, sizeof text, nullptr);
      EngineGetField(c, 11, rec.data(), &cost, sizeof cost, nullptr);
      ok = !(category == text && cost < last) && !(category != text && category > text);
      category = text;
      last = cost;
      ++seen;
    }
    ok = ok && seen == static_cast<uint32_t>(records);
  }
  EngineCloseCursor(c);
  orb::fault::SkipSyncs(false);
  return ok ? seconds : -1;
}

void AppendTurns(benchmark::State& state, bool synced) {
  const int records = synced ? kSyncedAppends : kRecords;
  double bestTagged = 1e9, bestUntagged = 1e9;
  for (auto _ : state) {
    const double untagged = AppendRun("APPNONE", false, synced, records);
    const double tagged = AppendRun("APPTAG", true, synced, records);
    if (untagged < 0 || tagged < 0) {
      state.SkipWithError("a table does not hold every record, or its index misses or misorders some");
      return;
    }
    if (RecordBytes("APPTAG") != RecordBytes("APPNONE")) {
      state.SkipWithError("the tagged run's records differ from the untagged run's");
      return;
    }
    bestUntagged = std::min(bestUntagged, untagged);
    bestTagged = std::min(bestTagged, tagged);
    state.SetIterationTime(tagged);
  }
  state.SetItemsProcessed(state.iterations() * records);
  state.counters["tagged_ms"] = bestTagged * 1000;
  state.counters["untagged_ms"] = bestUntagged * 1000;
  state.counters["x_untagged"] = bestTagged / bestUntagged;  // goal: at most 1.5 unsynced
}

void BM_AppendAllIndexed(benchmark::State& state) { AppendTurns(state, false); }
void BM_AppendSyncedIndexed(benchmark::State& state) { AppendTurns(state, true); }

void BM_AppendAll_RawBaseline(benchmark::State& state) {
  const uint32_t size = BuildTable("APPEND", 1);
  std::vector<uint8_t> rec(size, ' ');
  for (auto _ : state) {
    int fd = ::open((Dir() / "RAW.DBF").c_str(), O_RDWR | O_CREAT | O_TRUNC, 0666);
    std::vector<uint8_t> header(32 + 32 * 22 + 1, 0);
    ::pwrite(fd, header.data(), header.size(), 0);
    for (int i = 0; i < kRecords; ++i) {
      // The same two writes a counted append needs: the record, then the count.
      ::pwrite(fd, rec.data(), rec.size(), static_cast<off_t>(header.size() + static_cast<size_t>(i) * size));
      uint32_t n = static_cast<uint32_t>(i + 1);
      ::pwrite(fd, &n, 4, 4);
    }
    ::close(fd);
  }
  state.SetItemsProcessed(state.iterations() * kRecords);
}

void EnsureInventory() {
  static bool built = [] {
    BuildTable("INV", kRecords);
    return true;
  }();
  (void)built;
}

// The scans' tables: "INV" in language driver 0x57, which the registered
// locales order, and "INVB" in 0xEE, which no locale orders (texts in byte
// order, as every table's are without the locales registered).
const char* ScanTable(bool collated) {
  if (collated) {
    EnsureInventory();
    return "INV";
  }
  static bool built = [] {
    BuildTable("INVB", kRecords, 0xEE);
    return true;
  }();
  (void)built;
  return "INVB";
}

void BM_OpenFirst30(benchmark::State& state) {
  EnsureInventory();
  std::vector<uint8_t> rec(2048);
  for (auto _ : state) {
    OrbCursor c = 0;
    EngineOpenTable(Db(), "INV", ORB_OPEN_SHARED, &c);
    for (int i = 0; i < 30; ++i) EngineGetNextRecord(c, rec.data(), static_cast<uint32_t>(rec.size()), nullptr);
    EngineCloseCursor(c);
  }
}

void BM_OpenFirst30_RawBaseline(benchmark::State& state) {
  EnsureInventory();
  std::vector<uint8_t> buf(2048);
  for (auto _ : state) {
    int fd = ::open(TablePath("INV").c_str(), O_RDONLY);
    uint8_t header[32];
    ::pread(fd, header, 32, 0);
    std::vector<uint8_t> fields(32 * 22 + 1);
    ::pread(fd, fields.data(), fields.size(), 32);
    uint32_t hl = header[8] | header[9] << 8, rl = header[10] | header[11] << 8;
    for (int i = 0; i < 30; ++i) ::pread(fd, buf.data(), rl, static_cast<off_t>(hl + static_cast<size_t>(i) * rl));
    ::close(fd);
  }
}

void Scan(benchmark::State& state, uint16_t mode) {
  EnsureInventory();
  std::vector<uint8_t> rec(2048);
  OrbCursor c = 0;
  EngineOpenTable(Db(), "INV", mode, &c);
  for (auto _ : state) {
    EngineSetToBegin(c);
    int n = 0;
    while (EngineGetNextRecord(c, rec.data(), static_cast<uint32_t>(rec.size()), nullptr) == ORB_OK) ++n;
    benchmark::DoNotOptimize(n);
  }
  EngineCloseCursor(c);
  state.SetItemsProcessed(state.iterations() * kRecords);
}

void BM_FullScanShared(benchmark::State& state) { Scan(state, ORB_OPEN_SHARED); }
void BM_FullScanExclusive(benchmark::State& state) { Scan(state, ORB_OPEN_EXCLUSIVE); }

void BM_FullScan_RawBaseline(benchmark::State& state) {
  EnsureInventory();
  std::vector<uint8_t> buf(65536);
  for (auto _ : state) {
    int fd = ::open(TablePath("INV").c_str(), O_RDONLY);
    off_t at = 0;
    ssize_t got;
    size_t total = 0;
    while ((got = ::pread(fd, buf.data(), buf.size(), at)) > 0) {
      at += got;
      total += static_cast<size_t>(got);
    }
    ::close(fd);
    benchmark::DoNotOptimize(total);
  }
  state.SetItemsProcessed(state.iterations() * kRecords);
}

// What a scan of every field answers, summed: the two sides must agree.
struct Digest {
  double numbers = 0;
  int64_t days = 0;
  size_t textBytes = 0;
  int64_t logicals = 0;
  bool operator==(const Digest&) const = default;
};

// The digest worked out from the file's bytes by the plainest means.
Digest RawDigest(const char* table = "INV") {
  static std::map<std::string, Digest> digests;
  if (auto it = digests.find(table); it != digests.end()) return it->second;
  const Digest digest = [table] {
    Digest d;
    std::vector<uint8_t> file(std::filesystem::file_size(TablePath(table)));
    int fd = ::open(TablePath(table).c_str(), O_RDONLY);
    if (::read(fd, file.data(), file.size()) != static_cast<ssize_t>(file.size())) std::abort();
    ::close(fd);
    const uint32_t hl = file[8] | file[9] << 8, rl = file[10] | file[11] << 8;
    for (uint32_t n = 0; n < kRecords; ++n) {
      const uint8_t* r = file.data() + hl + static_cast<size_t>(n) * rl;
      uint32_t at = 1;
      for (const OrbFieldDesc& f : Fields()) {
        std::string text(reinterpret_cast<const char*>(r + at), f.width);
        at += f.width;
        const size_t last = text.find_last_not_of(' ');
        text = last == std::string::npos ? "" : text.substr(0, last + 1);
        if (f.type == 'C') d.textBytes += text.size();
        if (f.type == 'N' && !text.empty()) d.numbers += std::strtod(text.c_str(), nullptr);
        if (f.type == 'L') d.logicals += text == "T" || text == "Y";
        if (f.type == 'D' && !text.empty()) {
          int32_t day = 0;
          const int v = std::stoi(text);
          EngineEncodeDate(v / 10000, v / 100 % 100, v % 100, &day);
          d.days += day;
        }
      }
    }
    return d;
  }();
  digests.emplace(table, digest);
  return digest;
}

// Every field of every record through the C interface into typed values.
struct CScan {
  OrbCursor c = 0;
  std::vector<uint8_t> rec = std::vector<uint8_t>(2048);
  std::vector<char> types;
  explicit CScan(const char* table = "INV") {
    EngineOpenTable(Db(), table, ORB_OPEN_SHARED, &c);
    for (const OrbFieldDesc& f : Fields()) types.push_back(f.type);
  }
  ~CScan() { EngineCloseCursor(c); }
  __attribute__((noinline)) Digest Walk() {  // apart, for profiles
    const uint16_t fields = static_cast<uint16_t>(types.size());
    Digest d;
    EngineSetToBegin(c);
    while (EngineGetNextRecord(c, rec.data(), static_cast<uint32_t>(rec.size()), nullptr) == ORB_OK) {
      for (uint16_t i = 1; i <= fields; ++i) {
        int32_t blank = 0;
        switch (types[i - 1]) {
          case 'C': {
            char text[256];
            EngineGetField(c, i, rec.data(), text, sizeof text, &blank);
            d.textBytes += std::strlen(text);
            break;
          }
          case 'N': {
            double v = 0;
            EngineGetField(c, i, rec.data(), &v, sizeof v, &blank);
            d.numbers += v;
            break;
          }
          case 'D': {
            int32_t day = 0;
            EngineGetField(c, i, rec.data(), &day, sizeof day, &blank);
            d.days += day;
            break;
          }
          case 'L': {
            int16_t b = 0;
            EngineGetField(c, i, rec.data(), &b, sizeof b, &blank);
            d.logicals += b;
            break;
          }
        }
      }
    }
    return d;
  }
};

// keldro's way: TTable, every field as its text. A first walk checks the
// texts against the values the file holds (`ok`); each later walk must
// answer the same texts' total length.
struct TTableScan {
  framework::TTable t;
  size_t wantBytes = 0;
  bool ok = false;
  explicit TTableScan(const char* table = "INV") {
    t.SetDatabaseName(Dir().string());
    t.SetTableName(std::string(table) + ".DBF");
    t.SetTableType(framework::ttDBase);
    t.Open();
    const Digest want = RawDigest(table);
    Digest checked;
    for (t.First(); !t.Eof(); t.Next()) {
      for (int i = 0; i < t.FieldCount(); ++i) {
        const std::string text = t.Fields(i)->AsString();
        wantBytes += text.size();
        const char type = Fields()[static_cast<size_t>(i)].type;
        if (type == 'C') checked.textBytes += text.size();
        if (type == 'N' && !text.empty()) checked.numbers += std::strtod(text.c_str(), nullptr);
      }
    }
    ok = checked.textBytes == want.textBytes && checked.numbers == want.numbers;
  }
  ~TTableScan() { t.Close(); }
  __attribute__((noinline)) bool Walk() {  // apart, for profiles
    size_t bytes = 0;
    for (t.First(); !t.Eof(); t.Next()) {
      for (int i = 0; i < t.FieldCount(); ++i) bytes += t.Fields(i)->AsString().size();
    }
    return bytes == wantBytes;
  }
};

// The baseline of the scans: the whole file into memory with read().
struct ReadWhole {
  explicit ReadWhole(const char* table = "INV") : path(TablePath(table)) {}
  const std::filesystem::path path;
  const size_t size = std::filesystem::file_size(path);
  std::vector<uint8_t> file = std::vector<uint8_t>(size);
  __attribute__((noinline)) bool Read() {
    int fd = ::open(path.c_str(), O_RDONLY);
    size_t total = 0;
    ssize_t got;
    while ((got = ::read(fd, file.data() + total, size - total)) > 0) total += static_cast<size_t>(got);
    ::close(fd);
    benchmark::DoNotOptimize(file.data());
    return total == size;
  }
};

void BM_ScanFields(benchmark::State& state) {
  EnsureInventory();
  const Digest want = RawDigest();
  CScan scan;
  for (auto _ : state)
    if (!(scan.Walk() == want)) state.SkipWithError("scanned values differ from the file's");
  state.SetItemsProcessed(state.iterations() * kRecords);
}

void BM_ScanFieldsTTable(benchmark::State& state) {
  EnsureInventory();
  TTableScan scan;
  if (!scan.ok) state.SkipWithError("scanned texts differ from the file's values");
  for (auto _ : state)
    if (!scan.Walk()) state.SkipWithError("a walk answered other texts");
  state.SetItemsProcessed(state.iterations() * kRecords);
}

double SecondsOf(const std::function<void()>& work) {
  const auto start = std::chrono::steady_clock::now();
  work();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

// The three scans take turns: the C interface scan, the read of the whole
// file (its baseline) and the TTable scan (whose baseline is the C scan),
// so all meet the same load of the machine, and the median time of each is
// compared. Argument 1: the table in the registered locales' order; 0: a
// table in byte order.
void BM_ScanFieldsTTableVsC(benchmark::State& state) {
  const char* table = ScanTable(state.range(0) != 0);
  const Digest want = RawDigest(table);
  CScan c(table);
  ReadWhole read(table);
  TTableScan t(table);
  if (!t.ok) state.SkipWithError("scanned texts differ from the file's values");
  std::vector<double> cTimes, readTimes, tTimes;
  for (auto _ : state) {
    state.PauseTiming();
    bool same = true;
    cTimes.push_back(SecondsOf([&] { same = c.Walk() == want; }));
    if (!same) state.SkipWithError("scanned values differ from the file's");
    readTimes.push_back(SecondsOf([&] { same = read.Read(); }));
    if (!same) state.SkipWithError("short read");
    state.ResumeTiming();
    tTimes.push_back(SecondsOf([&] { same = t.Walk(); }));
    if (!same) state.SkipWithError("a walk answered other texts");
  }
  const double medianC = Median(cTimes), medianRead = Median(readTimes), medianT = Median(tTimes);
  state.SetItemsProcessed(state.iterations() * kRecords);
  state.counters["c_ms"] = medianC * 1000;
  state.counters["read_ms"] = medianRead * 1000;
  state.counters["ttable_ms"] = medianT * 1000;
  state.counters["x_read"] = medianC / medianRead;  // the C scan; goal: at most 4
  state.counters["x_c"] = medianT / medianC;        // goal: at most 1.5
}

void BM_ScanFields_ReadBaseline(benchmark::State& state) {
  EnsureInventory();
  ReadWhole read;
  for (auto _ : state)
    if (!read.Read()) state.SkipWithError("short read");
  state.SetItemsProcessed(state.iterations() * kRecords);
}

struct CountContext {
  OrbCursor cursor;
};

int KitchenOnly(void* context, const uint8_t* record, uint32_t) {
  char value[256];
  int32_t blank = 0;
  EngineGetField(static_cast<CountContext*>(context)->cursor, 12, record, value, sizeof value, &blank);
  return std::strcmp(value, "Kitchen") == 0;
}

void BM_FilteredCount(benchmark::State& state) {
  EnsureInventory();
  OrbCursor c = 0;
  EngineOpenTable(Db(), "INV", ORB_OPEN_SHARED, &c);
  CountContext ctx{c};
  OrbFilter f = 0;
  EngineAddFilter(c, &ctx, 1, 0, nullptr, &KitchenOnly, &f);
  EngineActivateFilter(c, f);
  for (auto _ : state) {
    uint32_t n = 0;
    EngineGetRecordCount(c, &n);
    if (n != kRecords / 5) state.SkipWithError("wrong count");
  }
  EngineCloseCursor(c);
  state.SetItemsProcessed(state.iterations() * kRecords);
}

void BM_FilteredCount_RawBaseline(benchmark::State& state) {
  EnsureInventory();
  const uint32_t hl = 32 + 32 * 22 + 1;
  uint32_t rl = 1;
  uint32_t categoryAt = 1;
  for (size_t i = 0; i < Fields().size(); ++i) {
    if (i == 11) categoryAt = rl;
    rl += Fields()[i].width;
  }
  std::vector<uint8_t> buf(static_cast<size_t>(rl) * 128);
  for (auto _ : state) {
    int fd = ::open(TablePath("INV").c_str(), O_RDONLY);
    uint32_t n = 0;
    for (uint32_t first = 0; first < kRecords; first += 128) {
      uint32_t count = std::min<uint32_t>(128, kRecords - first);
      ::pread(fd, buf.data(), static_cast<size_t>(count) * rl, static_cast<off_t>(hl + static_cast<size_t>(first) * rl));
      for (uint32_t i = 0; i < count; ++i) {
        const uint8_t* r = buf.data() + static_cast<size_t>(i) * rl;
        if (r[0] != '*' && std::memcmp(r + categoryAt, "Kitchen ", 8) == 0) ++n;
      }
    }
    ::close(fd);
    if (n != kRecords / 5) state.SkipWithError("wrong count");
  }
  state.SetItemsProcessed(state.iterations() * kRecords);
}

void DeleteEveryTenth(const char* name) {
  OrbCursor c = 0;
  EngineOpenTable(Db(), name, ORB_OPEN_EXCLUSIVE, &c);
  for (uint32_t n = 10; n <= kRecords; n += 10) {
    EngineSetToRecordNo(c, n);
    EngineDeleteRecord(c);
  }
  EngineCloseCursor(c);
}

void BM_PackEveryTenthDeleted(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    std::filesystem::copy_file(TablePath("INV"), TablePath("PACK"), std::filesystem::copy_options::overwrite_existing);
    DeleteEveryTenth("PACK");
    state.ResumeTiming();
    EnginePack(Db(), 0, "PACK", "DBASE", 1);
  }
  state.SetItemsProcessed(state.iterations() * kRecords);
}

void BM_PackEveryTenthDeleted_RawBaseline(benchmark::State& state) {
  EnsureInventory();
  const uint32_t hl = 32 + 32 * 22 + 1;
  uint32_t rl = 1;
  for (const OrbFieldDesc& f : Fields()) rl += f.width;
  for (auto _ : state) {
    state.PauseTiming();
    std::filesystem::copy_file(TablePath("INV"), TablePath("PACK"), std::filesystem::copy_options::overwrite_existing);
    DeleteEveryTenth("PACK");
    state.ResumeTiming();
    // Read every record, write the live ones compacted, fix count and size.
    int fd = ::open(TablePath("PACK").c_str(), O_RDWR);
    std::vector<uint8_t> rec(rl);
    uint32_t kept = 0;
    for (uint32_t i = 0; i < kRecords; ++i) {
      ::pread(fd, rec.data(), rl, static_cast<off_t>(hl + static_cast<size_t>(i) * rl));
      if (rec[0] == '*') continue;
      if (kept != i) ::pwrite(fd, rec.data(), rl, static_cast<off_t>(hl + static_cast<size_t>(kept) * rl));
      ++kept;
    }
    ::fdatasync(fd);
    ::pwrite(fd, &kept, 4, 4);
    ::ftruncate(fd, static_cast<off_t>(hl + static_cast<size_t>(kept) * rl + 1));
    ::fdatasync(fd);
    ::close(fd);
  }
  state.SetItemsProcessed(state.iterations() * kRecords);
}

// One post as keldro makes it: an insert into a shared table with its
// production index, synced (record before count, then the index).
void Post(benchmark::State& state, bool synced) {
  static bool built = [] {
    BuildTable("POSTS", 1000);
    OrbCursor c = 0;
    EngineOpenTable(Db(), "POSTS", ORB_OPEN_EXCLUSIVE, &c);
    OrbIndexDesc d{};
    std::strcpy(d.tagName, "NewIndex");
    std::strcpy(d.expression, "Upper(Left(Category,40))+STR(Cost,12,2)");
    d.options = ORB_IDX_EXPRESSION;
    EngineAddIndex(Db(), c, nullptr, &d);
    EngineCloseCursor(c);
    return true;
  }();
  (void)built;
  OrbCursor c = 0;
  EngineOpenTable(Db(), "POSTS", ORB_OPEN_SHARED, &c);
  OrbTableInfo info{};
  EngineGetTableInfo(c, &info);
  std::vector<uint8_t> rec(info.recordSize);
  orb::fault::SkipSyncs(!synced);
  int i = 0;
  for (auto _ : state) {
    EngineInitRecord(c, rec.data(), info.recordSize);
    EnginePutField(c, 1, rec.data(), "Posted item");
    EnginePutField(c, 12, rec.data(), kCategories[i++ % 5]);
    if (EngineInsertRecord(c, rec.data(), info.recordSize) != ORB_OK) state.SkipWithError("insert failed");
  }
  orb::fault::SkipSyncs(false);
  EngineCloseCursor(c);
}

// The inventory with keldro's "NewIndex" tag (a table of its own, so the
// others stay without an index).
void EnsureIndexedInventory() {
  static bool built = [] {
    BuildTable("INVIDX", kRecords);
    orb::fault::SkipSyncs(true);
    OrbCursor c = 0;
    EngineOpenTable(Db(), "INVIDX", ORB_OPEN_EXCLUSIVE, &c);
    OrbIndexDesc d{};
    std::strcpy(d.tagName, "NewIndex");
    std::strcpy(d.expression, "Upper(Left(Category,40))+STR(Cost,12,2)");
    d.options = ORB_IDX_EXPRESSION;
    EngineAddIndex(Db(), c, nullptr, &d);
    EngineCloseCursor(c);
    orb::fault::SkipSyncs(false);
    return true;
  }();
  (void)built;
}

void Count(benchmark::State& state, const char* tag) {
  EnsureIndexedInventory();
  OrbCursor c = 0;
  EngineOpenTable(Db(), "INVIDX", ORB_OPEN_SHARED, &c);
  EngineSwitchToIndex(c, tag);
  for (auto _ : state) {
    uint32_t n = 0;
    EngineForceReread(c);  // as after another program's change: nothing cached
    EngineGetRecordCount(c, &n);
    if (n != kRecords) state.SkipWithError("wrong count");
  }
  EngineCloseCursor(c);
}

// Two inventories with keldro's "NewIndex" tag (its default order,
// Category alone) and every 100th record deleted: 10,000 and 1,000,000
// records, built once without syncs. Answers the live records a walk in
// NewIndex order finds (what every count must answer), or -1.
int64_t EnsureCountTable(const char* name, int records) {
  static std::map<std::string, int64_t> walked;
  auto it = walked.find(name);
  if (it != walked.end()) return it->second;
  BuildTable(name, records);
  orb::fault::SkipSyncs(true);
  OrbCursor c = 0;
  int64_t live = -1;
  if (EngineOpenTable(Db(), name, ORB_OPEN_EXCLUSIVE, &c) == ORB_OK) {
    OrbIndexDesc d{};
    std::strcpy(d.tagName, "NewIndex");
    std::strcpy(d.expression, "Upper(Left(Category,80))");
    d.options = ORB_IDX_EXPRESSION;
    bool ok = EngineAddIndex(Db(), c, nullptr, &d) == ORB_OK;
    for (int n = 50; ok && n <= records; n += 100)
      ok = EngineSetToRecordNo(c, static_cast<uint32_t>(n)) == ORB_OK && EngineDeleteRecord(c) == ORB_OK;
    ok = ok && EngineSwitchToIndex(c, "NewIndex") == ORB_OK && EngineSetToBegin(c) == ORB_OK;
    OrbTableInfo info{};
    EngineGetTableInfo(c, &info);
    std::vector<uint8_t> rec(info.recordSize);
    int64_t n = 0;
    while (ok && EngineGetNextRecord(c, rec.data(), info.recordSize, nullptr) == ORB_OK) ++n;
    if (ok) live = n;
    EngineCloseCursor(c);
  }
  orb::fault::SkipSyncs(false);
  walked[name] = live;
  return live;
}

// Each iteration, for the small table and then the large one: a fresh
// open (no other handle of this process on the table) in NewIndex order,
// its first count timed; then an append and the deletion of the appended
// record (synced, as keldro posts them), and the next count timed. Every
// count must be the walk's. The medians of each kind are compared.
void BM_CountNewIndexMillionVsTenThousand(benchmark::State& state) {
  struct Size {
    const char* name;
    int records;
    int64_t live;
    std::vector<double> fresh, changed;
  } sizes[] = {{"COUNT10K", 10000, 0, {}, {}}, {"COUNT1M", 1000000, 0, {}, {}}};
  for (Size& z : sizes) {
    z.live = EnsureCountTable(z.name, z.records);
    if (z.live <= 0) {
      state.SkipWithError("a count table could not be built or walked");
      return;
    }
  }
  auto timedCount = [](OrbCursor c, uint32_t* n) {
    const auto start = std::chrono::steady_clock::now();
    const OrbResult r = EngineGetRecordCount(c, n);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return r == ORB_OK ? seconds : -1.0;
  };
  for (auto _ : state) {
    double total = 0;
    for (Size& z : sizes) {
      OrbCursor c = 0;
      if (EngineOpenTable(Db(), z.name, ORB_OPEN_SHARED, &c) != ORB_OK || EngineSwitchToIndex(c, "NewIndex") != ORB_OK) {
        state.SkipWithError("a count table does not open in NewIndex order");
        return;
      }
      uint32_t n = 0;
      const double fresh = timedCount(c, &n);
      const bool freshRight = fresh >= 0 && n == z.live;
      OrbTableInfo info{};
      EngineGetTableInfo(c, &info);
      std::vector<uint8_t> rec(info.recordSize);
      bench::PutInventoryRecord(c, rec.data(), info.recordSize, z.records);
      const bool changedOk = EngineInsertRecord(c, rec.data(), info.recordSize) == ORB_OK && EngineDeleteRecord(c) == ORB_OK;
      const double changed = timedCount(c, &n);
      const bool changedRight = changedOk && changed >= 0 && n == z.live;
      EngineCloseCursor(c);
      if (!freshRight || !changedRight) {
        state.SkipWithError("a count differs from the walk's");
        return;
      }
      z.fresh.push_back(fresh);
      z.changed.push_back(changed);
      total += fresh + changed;
    }
    state.SetIterationTime(total);
  }
  state.counters["fresh_10k_us"] = Median(sizes[0].fresh) * 1e6;
  state.counters["fresh_1m_us"] = Median(sizes[1].fresh) * 1e6;
  state.counters["x_fresh"] = Median(sizes[1].fresh) / Median(sizes[0].fresh);  // goal: at most 2
  state.counters["changed_10k_us"] = Median(sizes[0].changed) * 1e6;
  state.counters["changed_1m_us"] = Median(sizes[1].changed) * 1e6;
  state.counters["x_changed"] = Median(sizes[1].changed) / Median(sizes[0].changed);  // goal: at most 2
}

void BM_CountIndexOrder(benchmark::State& state) { Count(state, "NewIndex"); }
void BM_CountNatural_Baseline(benchmark::State& state) { Count(state, ""); }

void BM_PostSynced(benchmark::State& state) { Post(state, true); }
void BM_Post_UnsyncedBaseline(benchmark::State& state) { Post(state, false); }

}  // namespace

BENCHMARK(BM_CountNewIndexMillionVsTenThousand)->Unit(benchmark::kMicrosecond)->UseManualTime()->Iterations(21);
BENCHMARK(BM_CountIndexOrder)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_CountNatural_Baseline)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PostSynced)->Unit(benchmark::kMicrosecond)->Iterations(300);
BENCHMARK(BM_Post_UnsyncedBaseline)->Unit(benchmark::kMicrosecond)->Iterations(300);
BENCHMARK(BM_AppendAll)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_AppendAllIndexed)->Unit(benchmark::kMillisecond)->Iterations(5)->UseManualTime();
BENCHMARK(BM_AppendAll_RawBaseline)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_AppendSyncedIndexed)->Unit(benchmark::kMillisecond)->Iterations(3)->UseManualTime();
BENCHMARK(BM_OpenFirst30)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_OpenFirst30_RawBaseline)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FullScanShared)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FullScanExclusive)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FullScan_RawBaseline)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ScanFields)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ScanFields_ReadBaseline)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ScanFieldsTTable)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ScanFieldsTTableVsC)->ArgName("locale")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(15);
BENCHMARK(BM_FilteredCount)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FilteredCount_RawBaseline)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PackEveryTenthDeleted)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_PackEveryTenthDeleted_RawBaseline)->Unit(benchmark::kMillisecond)->Iterations(3);

int main(int argc, char** argv) {
  // The shipped locale files registered in a root of the bench's own, as
  // an installation has them.
  testing_support::TempRoot root;
  root.RegisterShippedLocales();
  framework::TSession::Default().LibraryDirs = {std::filesystem::canonical("/proc/self/exe").parent_path()};
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::error_code ec;
  std::filesystem::remove_all(Dir(), ec);
  return 0;
}
