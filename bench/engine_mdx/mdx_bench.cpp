// Building, opening and maintaining the inventory's sort index "NewIndex"
// over a generated 100,000-record inventory table, against std::sort of the
// same keys in memory (the baseline, measured in the same run); built in
// the language driver's order through SLW32 against byte order; and 10,000
// random exact seeks through the engine against std::lower_bound over the
// same sorted keys in memory, both answering the same records; and a walk
// of every field in a four-level "NewIndex" order against the same walk in
// record order.
//
// The records are held in memory as the table file lays them out; the index
// is a real file in a temporary folder.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <functional>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "fault.h"
#include "key_order.h"
#include "mdx/mdx_file.h"
#include "orbex32.h"
#include "temp_root.h"

using namespace orb::mdx;

namespace {

constexpr uint32_t kRecords = 100000;

struct Inventory : RecordSource {
  std::vector<FieldDesc> fields;
  uint32_t length = 1;
  std::vector<uint8_t> bytes;
  uint32_t count = 0;

  Inventory() {
    const struct {
      const char* name;
      char type;
      int width, dec;
    } specs[] = {{"ITEM", 'C', 40, 0},     {"BRAND", 'C', 20, 0},      {"MODEL", 'C', 20, 0},
                 {"SERIAL", 'C', 20, 0},   {"LOCATION", 'C', 30, 0},   {"DESCRIPTIO", 'C', 110, 0},
                 {"BOUGHTFROM", 'C', 40, 0}, {"IDMARKS", 'C', 60, 0},  {"QUANTITY", 'N', 11, 0},
                 {"PURCHDATE", 'D', 8, 0}, {"COST", 'N', 12, 2},       {"CATEGORY", 'C', 20, 0},
                 {"REPCOST", 'N', 12, 2},  {"WARRANTY", 'C', 3, 0},    {"WARDATE", 'D', 8, 0},
                 {"WARNOTES", 'C', 30, 0}, {"OWNER", 'C', 30, 0},      {"VALUE", 'N', 12, 2},
                 {"USERDEF1", 'C', 40, 0}, {"USERDEF2", 'C', 40, 0},   {"USERDEF3", 'C', 40, 0},
                 {"USERDEF4", 'C', 40, 0}};
    for (const auto& s : specs) {
      fields.push_back({s.name, s.type, length, static_cast<uint16_t>(s.width), static_cast<uint8_t>(s.dec)});
      length += s.width;
    }
  }
  const FieldDesc& F(const char* name) const {
    for (const auto& f : fields)
      if (f.name == name) return f;
    return fields[0];
  }
  void Put(uint8_t* rec, const char* field, const std::string& v) {
    const FieldDesc& f = F(field);
    size_t n = std::min<size_t>(v.size(), f.width);
    if (f.type == 'N')
      std::memcpy(rec + f.offset + f.width - n, v.data(), n);
    else
      std::memcpy(rec + f.offset, v.data(), n);
  }
  void Generate(uint32_t n, uint32_t seed) {
    static const char* kCategories[] = {"Furniture", "Electronics", "Kitchen", "Tools", "Jewelry", "Books",
                                        "Clothing", "Garden", "Sports", "Toys", "Art", "Music",
                                        "Office", "Bath", "Bedding", "Lighting", "Antiques", "Camera",
                                        "Computer", "Appliance", "Silverware", "China", "Rugs", "Garage"};
    static const char* kItems[] = {"Chair", "Table", "Lamp", "Television", "Stereo", "Drill", "Ring",
                                   "Necklace", "Sofa", "Desk", "Bicycle", "Guitar", "Piano", "Camera"};
    std::mt19937 gen(seed);
    auto rng = [&gen] { return static_cast<unsigned>(gen()); };
    bytes.resize(size_t(count + n) * length, ' ');
    for (uint32_t i = 0; i < n; ++i) {
      uint8_t* rec = bytes.data() + size_t(count + i) * length;
      Put(rec, "ITEM", std::string(kItems[rng() % 14]) + " " + std::to_string(rng() % 10000));
      Put(rec, "CATEGORY", rng() % 50 == 0 ? "" : kCategories[rng() % 24]);
      Put(rec, "BRAND", "Brand" + std::to_string(rng() % 300));
      Put(rec, "QUANTITY", std::to_string(1 + rng() % 20));
      char buf[32];
      std::snprintf(buf, sizeof buf, "%u.%02u", rng() % 100000, rng() % 100);
      Put(rec, "COST", buf);
      Put(rec, "VALUE", buf);
      std::snprintf(buf, sizeof buf, "%04u%02u%02u", 1950 + rng() % 75, 1 + rng() % 12, 1 + rng() % 28);
      Put(rec, "PURCHDATE", rng() % 20 == 0 ? "" : buf);
      Put(rec, "WARRANTY", rng() % 2 ? "Yes" : "No");
      Put(rec, "DESCRIPTIO", "Generated description of an inventory item for the benchmark");
    }
    count += n;
  }
  uint32_t RecordCount() override { return count; }
  const uint8_t* Record(uint32_t recno) override {
    return recno >= 1 && recno <= count ? bytes.data() + size_t(recno - 1) * length : nullptr;
  }
};

Inventory& Table() {
  static Inventory* t = [] {
    auto* inv = new Inventory();
    inv->Generate(kRecords, 1995);
    return inv;
  }();
  return *t;
}

const char* Expression(int levels) {
  switch (levels) {
    case 1: return "Upper(Left(CATEGORY,80))";
    case 2: return "Upper(Left(CATEGORY,40))+STR(COST,12,2)";
    default: return "Upper(Left(CATEGORY,20))+STR(COST,12,2)+Upper(Left(ITEM,20))+DTOS(PURCHDATE)";
  }
}

std::filesystem::path Dir() {
  static std::filesystem::path dir = [] {
    std::string tmpl = (std::filesystem::temp_directory_path() / "mdx_bench_XXXXXX").string();
    return std::filesystem::path(mkdtemp(tmpl.data()));
  }();
  return dir;
}

std::vector<std::string> Keys(int levels) {
  Inventory& t = Table();
  KeyExpression e;
  KeyExpression::Compile(Expression(levels), t.fields, t.length, e);
  std::vector<std::string> keys(t.count, std::string(e.keyLength(), ' '));
  for (uint32_t r = 0; r < t.count; ++r) e.Evaluate(t.Record(r + 1), reinterpret_cast<uint8_t*>(keys[r].data()));
  return keys;
}

std::unique_ptr<MdxFile> Build(const std::filesystem::path& path, int levels,
                               std::shared_ptr<const orb::KeyOrder> order = nullptr) {
  Inventory& t = Table();
  std::unique_ptr<MdxFile> m;
  MdxFile::Options options;
  options.order = std::move(order);
  MdxFile::Create(OpenDiskFile(path.string(), true, false), "MASTER", t.fields, t.length, m, options);
  MdxStatus st = m->AddTag("NEWINDEX", Expression(levels), t);
  if (!st.ok()) std::abort();
  return m;
}

// Baseline: std::sort of the same keys, already evaluated, in memory.
void BM_SortKeysInMemory(benchmark::State& state) {
  std::vector<std::string> keys = Keys(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    state.PauseTiming();
    std::vector<std::string> copy = keys;
    state.ResumeTiming();
    std::sort(copy.begin(), copy.end());
    benchmark::DoNotOptimize(copy.data());
  }
  state.SetItemsProcessed(state.iterations() * keys.size());
}

// A build into a new file, as a rebuild writes its index beside the old one.
double BuildSeconds(const std::filesystem::path& path, int levels, const std::shared_ptr<const orb::KeyOrder>& order) {
  std::filesystem::remove(path);
  auto start = std::chrono::steady_clock::now();
  auto m = Build(path, levels, order);
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Evaluating every record's key, sorting and writing the tag bottom-up,
// against std::sort of the same keys already evaluated (the baseline): the
// two take turns, so both meet the same load of the machine, and the best
// time of each is compared.
void BM_BuildNewIndex(benchmark::State& state) {
  int levels = static_cast<int>(state.range(0));
  const std::vector<std::string> keys = Keys(levels);
  std::filesystem::path path = Dir() / "BUILD.MDX";
  double bestSort = 1e9, bestBuild = 1e9;
  for (auto _ : state) {
    state.PauseTiming();
    std::vector<std::string> copy = keys;
    auto start = std::chrono::steady_clock::now();
    std::sort(copy.begin(), copy.end());
    bestSort = std::min(bestSort, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    benchmark::DoNotOptimize(copy.data());
    std::filesystem::remove(path);
    state.ResumeTiming();
    start = std::chrono::steady_clock::now();
    auto m = Build(path, levels);
    bestBuild = std::min(bestBuild, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    benchmark::DoNotOptimize(m.get());
  }
  state.SetItemsProcessed(state.iterations() * kRecords);
  state.counters["sort_ms"] = bestSort * 1000;
  state.counters["build_ms"] = bestBuild * 1000;
  state.counters["x_sort"] = bestBuild / bestSort;  // goal: at most 2
}

// "NewIndex" in the order of language driver 0x57 (SLW32's dBASE order),
// against the same build in byte order (a driver SLW32 does not know). The
// two builds take turns, so both meet the same load of the machine, and
// the best time of each is compared.
void BM_BuildNewIndexDriverOrder(benchmark::State& state) {
  int levels = static_cast<int>(state.range(0));
  auto driver = orb::KeyOrder::ForDriver(0x57);
  auto bytes = orb::KeyOrder::ForDriver(0xEE);
  if (!driver->collates()) {
    state.SkipWithError("SLW32 or its locale files are not found beside the program");
    return;
  }
  double bestBytes = 1e9, bestDriver = 1e9;
  for (auto _ : state) {
    state.PauseTiming();
    bestBytes = std::min(bestBytes, BuildSeconds(Dir() / "BYTES.MDX", levels, bytes));
    state.ResumeTiming();
    bestDriver = std::min(bestDriver, BuildSeconds(Dir() / "DRIVER.MDX", levels, driver));
  }
  // Each index walks every record once, as a stable sort of the keys by its
  // order's compare does.
  const std::vector<std::string> keys = Keys(levels);
  auto sorted = [&keys](auto less) {
    std::vector<uint32_t> recnos(keys.size());
    std::iota(recnos.begin(), recnos.end(), 1u);
    std::stable_sort(recnos.begin(), recnos.end(), [&](uint32_t a, uint32_t b) { return less(keys[a - 1], keys[b - 1]); });
    return recnos;
  };
  auto walk = [levels](const char* name, const std::shared_ptr<const orb::KeyOrder>& order) {
    auto m = Build(Dir() / name, levels, order);
    std::vector<uint32_t> recnos;
    TagCursor c(*m, 0);
    for (MdxStatus st = c.First(); st.ok(); st = c.Next()) recnos.push_back(c.recno());
    return recnos;
  };
  const auto byDriver = [&driver](const std::string& a, const std::string& b) {
    return driver->Compare(reinterpret_cast<const uint8_t*>(a.data()), a.size(),
                           reinterpret_cast<const uint8_t*>(b.data()), b.size(), true) < 0;
  };
  if (walk("DRIVER.MDX", driver) != sorted(byDriver)) state.SkipWithError("the driver's index is out of its order");
  if (walk("BYTES.MDX", bytes) != sorted(std::less<std::string>()))
    state.SkipWithError("the byte-order index is out of byte order");
  state.SetItemsProcessed(state.iterations() * kRecords);
  state.counters["byte_order_ms"] = bestBytes * 1000;
  state.counters["driver_order_ms"] = bestDriver * 1000;
  state.counters["x_byte_order"] = bestDriver / bestBytes;  // goal: at most 1.5
}

void BM_OpenAndReadFirst30(benchmark::State& state) {
  std::filesystem::path path = Dir() / "OPEN.MDX";
  Build(path, 2);
  Inventory& t = Table();
  for (auto _ : state) {
    std::unique_ptr<MdxFile> m;
    MdxFile::Open(OpenDiskFile(path.string(), false, true), t.fields, t.length, m);
    TagCursor c(*m, m->FindTag("NEWINDEX"));
    int read = 0;
    for (MdxStatus st = c.First(); st.ok() && read < 30; st = c.Next(), ++read)
      benchmark::DoNotOptimize(t.Record(c.recno()));
    if (read != 30) std::abort();
  }
}

// 1,000 appended records, each kept in the index as it is added.
void BM_Insert1000Maintained(benchmark::State& state) {
  std::filesystem::path built = Dir() / "BASE.MDX", work = Dir() / "WORK.MDX";
  Build(built, 2);
  Inventory& t = Table();
  Inventory extra;
  extra.Generate(1000, 77);
  std::vector<uint8_t> rec(t.length);
  for (auto _ : state) {
    state.PauseTiming();
    std::filesystem::copy_file(built, work, std::filesystem::copy_options::overwrite_existing);
    std::unique_ptr<MdxFile> m;
    MdxFile::Open(OpenDiskFile(work.string(), false, false), t.fields, t.length, m);
    state.ResumeTiming();
    for (uint32_t i = 1; i <= 1000; ++i)
      if (!m->InsertRecord(extra.Record(i), kRecords + i).ok()) std::abort();
  }
  state.SetItemsProcessed(state.iterations() * 1000);
}

// The same through the engine: a 100,000-record inventory table on disk
// with "NewIndex", opened and read in index order, and appended to with the
// index kept current by the table's own write path.
// The inventory's fields as the engine's create call takes them.
const std::vector<OrbFieldDesc>& EngineFields() {
  static const std::vector<OrbFieldDesc> fields = [] {
    std::vector<OrbFieldDesc> out;
    for (const FieldDesc& f : Table().fields) {
      OrbFieldDesc d{};
      std::strncpy(d.name, f.name.c_str(), sizeof d.name - 1);
      d.type = f.type;
      d.width = f.width;
      d.decimals = f.decimals;
      out.push_back(d);
    }
    return out;
  }();
  return fields;
}

struct EngineTable {
  OrbDatabase db = 0;
  std::filesystem::path dir;
  // In its own folder, "NewIndex" of `levels` levels.
  EngineTable(const char* folder, int levels) {
    dir = Dir() / folder;
    std::filesystem::create_directories(dir);
    EngineOpenDatabase(dir.c_str(), &db);
    Inventory& t = Table();
    const std::vector<OrbFieldDesc>& fields = EngineFields();
    if (EngineCreateTable(db, "MASTER", static_cast<uint16_t>(fields.size()), fields.data(), 0) != ORB_OK) std::abort();
    OrbCursor c = 0;
    EngineOpenTable(db, "MASTER", ORB_OPEN_EXCLUSIVE, &c);
    orb::fault::SkipSyncs(true);  // bulk work: each post's syncs are not what is measured
    std::vector<uint8_t> rec(t.length);
    for (uint32_t r = 1; r <= kRecords; ++r) {
      std::memcpy(rec.data(), t.Record(r), t.length);
      if (EngineInsertRecord(c, rec.data(), t.length) != ORB_OK) std::abort();
    }
    OrbIndexDesc d{};
    std::strcpy(d.tagName, "NewIndex");
    std::strcpy(d.expression, Expression(levels));
    d.options = ORB_IDX_EXPRESSION;
    if (EngineAddIndex(db, c, nullptr, &d) != ORB_OK) std::abort();
    EngineCloseCursor(c);
    orb::fault::SkipSyncs(false);
  }
};

EngineTable& TheEngineTable() {
  static EngineTable* t = new EngineTable("ENGINE", 2);
  return *t;
}

void BM_EngineOpenAndReadFirst30(benchmark::State& state) {
  EngineTable& et = TheEngineTable();
  std::vector<uint8_t> rec(Table().length);
  for (auto _ : state) {
    OrbCursor c = 0;
    if (EngineOpenTable(et.db, "MASTER", ORB_OPEN_SHARED, &c) != ORB_OK) std::abort();
    EngineSwitchToIndex(c, "NEWINDEX");
    for (int i = 0; i < 30; ++i)
      if (EngineGetNextRecord(c, rec.data(), static_cast<uint32_t>(rec.size()), nullptr) != ORB_OK) std::abort();
    EngineCloseCursor(c);
  }
}

void BM_EngineInsert1000Maintained(benchmark::State& state) {
  EngineTable& et = TheEngineTable();
  Inventory extra;
  extra.Generate(1000, 78);
  OrbCursor c = 0;
  if (EngineOpenTable(et.db, "MASTER", ORB_OPEN_EXCLUSIVE, &c) != ORB_OK) std::abort();
  EngineSwitchToIndex(c, "NEWINDEX");
  std::vector<uint8_t> rec(extra.length);
  // The index's own cost: the syncs that put each post on disk are measured
  // beside an unsynced post in engine_bench.
  orb::fault::SkipSyncs(true);
  for (auto _ : state) {
    for (uint32_t i = 1; i <= 1000; ++i) {
      std::memcpy(rec.data(), extra.Record(i), extra.length);
      if (EngineInsertRecord(c, rec.data(), extra.length) != ORB_OK) std::abort();
    }
  }
  orb::fault::SkipSyncs(false);
  state.SetItemsProcessed(state.iterations() * 1000);
  EngineCloseCursor(c);
}

// The whole EngineAddIndex of "NewIndex" on a 100,000-record table on disk
// (its open for the run, the records read, the keys made and sorted, the
// new index written, synced and renamed into place), in byte order
// (language driver 0xEE, which no locale orders) and in the order of
// driver 0x57 through the registered locales, against std::sort of the
// same keys already evaluated in memory. The three take turns, each tag
// deleted again between turns, and the median of each of 11 turns is
// compared. Beside them, what the disk alone takes to put a file of the
// byte-order index's bytes in place (disk_ms): a build cannot be faster. Each
// table's index, built once more, must then walk the records as a stable
// sort of the keys by its order does.
struct BuildTables {
  OrbDatabase db = 0;
  BuildTables() {
    const std::filesystem::path dir = Dir() / "BUILD";
    std::filesystem::create_directories(dir);
    EngineOpenDatabase(dir.c_str(), &db);
    Make("BYTES", 0xEE);
    Make("DRIVER", 0x57);
  }
  void Make(const char* name, uint8_t driver) {
    Inventory& t = Table();
    if (EngineCreateTable(db, name, static_cast<uint16_t>(EngineFields().size()), EngineFields().data(), driver) !=
        ORB_OK)
      std::abort();
    OrbCursor c = 0;
    EngineOpenTable(db, name, ORB_OPEN_EXCLUSIVE, &c);
    orb::fault::SkipSyncs(true);  // bulk work: each post's syncs are not what is measured
    std::vector<uint8_t> rec(t.length);
    for (uint32_t r = 1; r <= kRecords; ++r) {
      std::memcpy(rec.data(), t.Record(r), t.length);
      if (EngineInsertRecord(c, rec.data(), t.length) != ORB_OK) std::abort();
    }
    EngineCloseCursor(c);
    orb::fault::SkipSyncs(false);
    // On disk before the first build: else the system writes the table
    // out during the builds, and the first build's sync of the table waits
    // for all of it.
    const int fd = ::open((Dir() / "BUILD" / (std::string(name) + ".DBF")).c_str(), O_RDONLY);
    if (fd >= 0) {
      ::fsync(fd);
      ::close(fd);
    }
  }
  // Seconds of one EngineAddIndex; negative when it fails.
  double Add(const char* name, int levels) {
    OrbIndexDesc d{};
    std::strcpy(d.tagName, "NewIndex");
    std::strcpy(d.expression, Expression(levels));
    d.options = ORB_IDX_EXPRESSION;
    const auto start = std::chrono::steady_clock::now();
    if (EngineAddIndex(db, 0, name, &d) != ORB_OK) return -1;
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  }
  bool Drop(const char* name) { return EngineDeleteIndex(db, 0, name, "NewIndex") == ORB_OK; }
  // The record numbers in the order of the table's "NewIndex".
  std::vector<uint32_t> Walk(const char* name) {
    std::vector<uint32_t> recnos;
    OrbCursor c = 0;
    if (EngineOpenTable(db, name, ORB_OPEN_SHARED, &c) != ORB_OK) return recnos;
    EngineSwitchToIndex(c, "NEWINDEX");
    std::vector<uint8_t> rec(Table().length);
    while (EngineGetNextRecord(c, rec.data(), static_cast<uint32_t>(rec.size()), nullptr) == ORB_OK) {
      uint8_t mark[ORB_BOOKMARK_SIZE];
      uint32_t n = 0;
      if (EngineGetBookmark(c, mark, sizeof mark) == ORB_OK) std::memcpy(&n, mark + 4, 4);
      recnos.push_back(n);
    }
    EngineCloseCursor(c);
    return recnos;
  }
};

BuildTables& TheBuildTables() {
  static BuildTables* t = new BuildTables();
  return *t;
}

// What the disk alone costs a build: the bytes of the index just built
// written to a new file, synced, renamed into place and the folder synced,
// as the build puts its file in place. Negative when that fails.
double DiskSeconds(const std::filesystem::path& index) {
  std::string bytes;
  {
    std::ifstream in(index, std::ios::binary);
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  const std::filesystem::path dir = index.parent_path(), temp = dir / "DISK.NEW", done = dir / "DISK.MDX";
  const auto start = std::chrono::steady_clock::now();
  const int fd = ::open(temp.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  bool ok = fd >= 0 && ::pwrite(fd, bytes.data(), bytes.size(), 0) == static_cast<ssize_t>(bytes.size()) &&
            ::fdatasync(fd) == 0;
  if (fd >= 0) ::close(fd);
  ok = ok && ::rename(temp.c_str(), done.c_str()) == 0;
  const int d = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  ok = ok && d >= 0 && ::fsync(d) == 0;
  if (d >= 0) ::close(d);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::error_code ec;
  std::filesystem::remove(temp, ec);
  std::filesystem::remove(done, ec);
  return ok && !bytes.empty() ? seconds : -1;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

void BM_EngineBuildNewIndex(benchmark::State& state) {
  const int levels = static_cast<int>(state.range(0));
  auto driver = orb::KeyOrder::ForDriver(0x57);
  if (!driver->collates()) {
    state.SkipWithError("SLW32 or its locale files are not found beside the program");
    return;
  }
  BuildTables& bt = TheBuildTables();
  const std::vector<std::string> keys = Keys(levels);
  std::vector<double> sorts, bytes, drivers, disks;
  for (auto _ : state) {
    std::vector<std::string> copy = keys;
    auto start = std::chrono::steady_clock::now();
    std::sort(copy.begin(), copy.end());
    sorts.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    benchmark::DoNotOptimize(copy.data());
    bytes.push_back(bt.Add("BYTES", levels));
    drivers.push_back(bt.Add("DRIVER", levels));
    if (bytes.back() < 0 || drivers.back() < 0) {
      state.SkipWithError("EngineAddIndex failed");
      break;
    }
    disks.push_back(DiskSeconds(Dir() / "BUILD" / "BYTES.MDX"));
    if (disks.back() < 0) {
      state.SkipWithError("the byte-order index could not be written again");
      break;
    }
    if (!(bt.Drop("BYTES") && bt.Drop("DRIVER"))) {
      state.SkipWithError("EngineDeleteIndex failed");
      break;
    }
  }
  auto sorted = [&keys](auto less) {
    std::vector<uint32_t> recnos(keys.size());
    std::iota(recnos.begin(), recnos.end(), 1u);
    std::stable_sort(recnos.begin(), recnos.end(), [&](uint32_t a, uint32_t b) { return less(keys[a - 1], keys[b - 1]); });
    return recnos;
  };
  const auto byDriver = [&driver](const std::string& a, const std::string& b) {
    return driver->Compare(reinterpret_cast<const uint8_t*>(a.data()), a.size(),
                           reinterpret_cast<const uint8_t*>(b.data()), b.size(), true) < 0;
  };
  if (bt.Add("BYTES", levels) < 0 || bt.Add("DRIVER", levels) < 0) state.SkipWithError("EngineAddIndex failed");
  if (bt.Walk("BYTES") != sorted(std::less<std::string>())) state.SkipWithError("the byte-order index is out of byte order");
  if (bt.Walk("DRIVER") != sorted(byDriver)) state.SkipWithError("the driver's index is out of its order");
  bt.Drop("BYTES");
  bt.Drop("DRIVER");
  const double sort = Median(sorts), byteOrder = Median(bytes), driverOrder = Median(drivers);
  // The machine may be shared: the figure is read beside its load.
  double load[1] = {0};
  if (getloadavg(load, 1) == 1) state.counters["load_1m"] = load[0];
  state.SetItemsProcessed(state.iterations() * kRecords);
  state.counters["sort_ms"] = sort * 1000;
  state.counters["byte_order_ms"] = byteOrder * 1000;
  state.counters["driver_order_ms"] = driverOrder * 1000;
  state.counters["disk_ms"] = Median(disks) * 1000;  // of byte_order_ms, what the disk takes alone
  state.counters["x_sort"] = byteOrder / sort;              // goal: at most 2
  state.counters["x_byte_order"] = driverOrder / byteOrder;  // goal: at most 1.5
}

// 10,000 keys of records picked at random, and the record each exact seek
// must find: the first of the equal keys in record order.
struct SeekCase {
  std::vector<std::pair<std::string, uint32_t>> sorted;  // key, record number
  std::vector<std::string> queries;
  std::vector<uint32_t> answers;
};

const SeekCase& Seeks() {
  static const SeekCase* c = [] {
    auto* out = new SeekCase();
    const std::vector<std::string> keys = Keys(2);
    for (uint32_t r = 0; r < keys.size(); ++r) out->sorted.emplace_back(keys[r], r + 1);
    std::sort(out->sorted.begin(), out->sorted.end());
    std::mt19937 gen(2026);
    for (int i = 0; i < 10000; ++i) out->queries.push_back(keys[gen() % keys.size()]);
    for (const std::string& q : out->queries) {
      auto it = std::lower_bound(out->sorted.begin(), out->sorted.end(), std::make_pair(q, 0u));
      out->answers.push_back(it->second);
    }
    return out;
  }();
  return *c;
}

// Baseline: std::lower_bound over the same keys, sorted in memory; its
// answers must be the engine's.
double LowerBoundSeconds(std::vector<uint32_t>& found) {
  const SeekCase& sc = Seeks();
  found.assign(sc.queries.size(), 0);
  double best = 1e9;
  for (int round = 0; round < 20; ++round) {
    auto start = std::chrono::steady_clock::now();
    for (size_t i = 0; i < sc.queries.size(); ++i) {
      auto it = std::lower_bound(sc.sorted.begin(), sc.sorted.end(), sc.queries[i],
                                 [](const std::pair<std::string, uint32_t>& e, const std::string& k) { return e.first < k; });
      found[i] = it->second;
    }
    benchmark::DoNotOptimize(found.data());
    best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }
  return best;
}

// 10,000 exact seeks on the engine's "NewIndex" (the table's driver 0x57),
// against the baseline measured in the same run.
void BM_EngineSeek10000(benchmark::State& state) {
  EngineTable& et = TheEngineTable();
  const SeekCase& sc = Seeks();
  std::vector<uint32_t> baseline;
  const double baselineSeconds = LowerBoundSeconds(baseline);
  if (baseline != sc.answers) state.SkipWithError("lower_bound found other records");
  OrbCursor c = 0;
  if (EngineOpenTable(et.db, "MASTER", ORB_OPEN_SHARED, &c) != ORB_OK) std::abort();
  EngineSwitchToIndex(c, "NEWINDEX");
  std::vector<uint32_t> found(sc.queries.size());
  double best = 1e9;
  for (auto _ : state) {
    auto start = std::chrono::steady_clock::now();
    for (size_t i = 0; i < sc.queries.size(); ++i) {
      // The bookmark names the record the cursor stands on.
      uint8_t mark[ORB_BOOKMARK_SIZE];
      if (EngineSetToKeyText(c, ORB_KEY_EQ, sc.queries[i].c_str(), 0) != ORB_OK ||
          EngineGetBookmark(c, mark, sizeof mark) != ORB_OK) {
        found[i] = 0;
        continue;
      }
      std::memcpy(&found[i], mark + 4, 4);
    }
    best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    if (found != baseline) state.SkipWithError("a seek found another record than lower_bound");
  }
  EngineCloseCursor(c);
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(sc.queries.size()));
  state.counters["lower_bound_ms"] = baselineSeconds * 1000;
  state.counters["seek_ms"] = best * 1000;
  state.counters["x_lower_bound"] = best / baselineSeconds;  // goal: at most 4
}

// Every field of every record through the C interface, in the cursor's
// order: a digest of each record's values by its record number, so two
// walks in different orders must answer the same.
struct FieldWalk {
  OrbCursor c = 0;
  std::vector<uint8_t> rec = std::vector<uint8_t>(Table().length);
  std::vector<uint64_t> digests = std::vector<uint64_t>(kRecords + 1);
  uint32_t visited = 0;
  FieldWalk(OrbDatabase db, const char* order) {
    if (EngineOpenTable(db, "MASTER", ORB_OPEN_SHARED, &c) != ORB_OK) std::abort();
    if (order != nullptr && EngineSwitchToIndex(c, order) != ORB_OK) std::abort();
  }
  ~FieldWalk() { EngineCloseCursor(c); }
  __attribute__((noinline)) void Walk() {  // apart, for profiles
    const std::vector<FieldDesc>& fields = Table().fields;
    visited = 0;
    EngineSetToBegin(c);
    OrbRecordInfo info{};
    while (EngineGetNextRecord(c, rec.data(), static_cast<uint32_t>(rec.size()), &info) == ORB_OK) {
      uint64_t h = 1469598103934665603ull;
      auto mix = [&h](uint64_t v) { h = (h ^ v) * 1099511628211ull; };
      for (uint16_t i = 1; i <= fields.size(); ++i) {
        int32_t blank = 0;
        switch (fields[i - 1].type) {
          case 'C': {
            char text[256];
            EngineGetField(c, i, rec.data(), text, sizeof text, &blank);
            for (const char* p = text; *p != '\0'; ++p) mix(static_cast<uint8_t>(*p));
            break;
          }
          case 'N': {
            double v = 0;
            EngineGetField(c, i, rec.data(), &v, sizeof v, &blank);
            mix(static_cast<uint64_t>(std::llround(v * 100)));
            break;
          }
          case 'D': {
            int32_t day = 0;
            EngineGetField(c, i, rec.data(), &day, sizeof day, &blank);
            mix(static_cast<uint64_t>(day));
            break;
          }
        }
        mix(static_cast<uint64_t>(blank));
      }
      if (info.recordNumber <= kRecords) digests[info.recordNumber] = h;
      ++visited;
    }
  }
};

EngineTable& TheWalkTable() {
  static EngineTable* t = new EngineTable("WALK", 4);
  return *t;
}

// Every field of the 100,000 records in the four-level "NewIndex" order
// (category, cost, item, date), against the same walk in record order (the
// baseline): the two take turns, so both meet the same load of the
// machine, and the best time of each is compared. Both must answer every
// record once, with the same values.
void BM_EngineWalkNewIndex(benchmark::State& state) {
  EngineTable& et = TheWalkTable();
  FieldWalk natural(et.db, nullptr), indexed(et.db, "NEWINDEX");
  double bestNatural = 1e9, bestIndexed = 1e9;
  for (auto _ : state) {
    state.PauseTiming();
    auto start = std::chrono::steady_clock::now();
    natural.Walk();
    bestNatural = std::min(bestNatural, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    state.ResumeTiming();
    start = std::chrono::steady_clock::now();
    indexed.Walk();
    bestIndexed = std::min(bestIndexed, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }
  if (natural.visited != kRecords || indexed.visited != kRecords || natural.digests != indexed.digests)
    state.SkipWithError("the walk in index order answered other records or values than record order");
  state.SetItemsProcessed(state.iterations() * kRecords);
  state.counters["record_order_ms"] = bestNatural * 1000;
  state.counters["index_order_ms"] = bestIndexed * 1000;
  state.counters["x_record_order"] = bestIndexed / bestNatural;  // goal: at most 2
}

}  // namespace

BENCHMARK(BM_SortKeysInMemory)->ArgName("levels")->Arg(1)->Arg(2)->Arg(4)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BuildNewIndex)->ArgName("levels")->Arg(1)->Arg(2)->Arg(4)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BuildNewIndexDriverOrder)->ArgName("levels")->Arg(1)->Arg(2)->Arg(4)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenAndReadFirst30)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Insert1000Maintained)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EngineOpenAndReadFirst30)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_EngineInsert1000Maintained)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_EngineSeek10000)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_EngineBuildNewIndex)->ArgName("levels")->Arg(1)->Arg(4)->Unit(benchmark::kMillisecond)->Iterations(11);
BENCHMARK(BM_EngineWalkNewIndex)->Unit(benchmark::kMillisecond)->MinTime(2.0);

int main(int argc, char** argv) {
  // The shipped locale files registered in a root of the bench's own.
  testing_support::TempRoot root;
  root.RegisterShippedLocales();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::filesystem::remove_all(Dir());
  return 0;
}
