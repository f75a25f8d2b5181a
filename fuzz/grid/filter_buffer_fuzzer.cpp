// Hands fuzzed bytes to the engine as an expression filter buffer on a
// table of every field type, and walks the table through it when accepted.
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "filter_expr.h"
#include "key_order.h"
#include "orbex32.h"
#include "temp_root.h"

namespace {

OrbCursor cursor = 0;
std::vector<orb::FieldInfo> fields;

void Put(uint8_t* rec, uint16_t field, const void* value) { EnginePutField(cursor, field, rec, value); }

void Setup() {
  namespace fs = std::filesystem;
  // Texts compare in the table's language driver order, through SLW32.
  static testing_support::TempRoot root;
  root.RegisterShippedLocales();
  if (!orb::KeyOrder::ForDriver(0x57)->collates()) __builtin_trap();  // SLW32 or the locale files are missing
  fs::path dir = fs::temp_directory_path() / ("grid_buffer_fuzz_" + std::to_string(getpid()));
  fs::create_directories(dir);
  OrbDatabase db = 0;
  EngineOpenDatabase(dir.c_str(), &db);
  OrbFieldDesc d[6] = {};
  const struct {
    const char* name;
    char type;
    uint16_t width;
    uint8_t decimals;
  } defs[6] = {{"BRAND", 'C', 20, 0}, {"PRICE", 'N', 12, 2}, {"QTY", 'N', 11, 0},
               {"BOUGHT", 'D', 8, 0}, {"OK", 'L', 1, 0},     {"NOTES", 'M', 10, 0}};
  for (int i = 0; i < 6; ++i) {
    std::strcpy(d[i].name, defs[i].name);
    d[i].type = defs[i].type;
    d[i].width = defs[i].width;
    d[i].decimals = defs[i].decimals;
  }
  EngineCreateTable(db, "STOCK", 6, d, 0);
  EngineOpenTable(db, "STOCK", ORB_OPEN_SHARED, &cursor);
  OrbTableInfo info{};
  EngineGetTableInfo(cursor, &info);
  std::vector<uint8_t> rec(info.recordSize);
  for (int i = 0; i < 3; ++i) {
    EngineInitRecord(cursor, rec.data(), info.recordSize);
    if (i < 2) {
      Put(rec.data(), 1, i == 0 ? "Sony" : "Nikon");
      double price = 10.5 * i, qty = i;
      int32_t day = 728000 + i;
      int16_t ok = static_cast<int16_t>(i);
      Put(rec.data(), 2, &price);
      Put(rec.data(), 3, &qty);
      Put(rec.data(), 4, &day);
      Put(rec.data(), 5, &ok);
    }
    EngineInsertRecord(cursor, rec.data(), info.recordSize);
  }
  OrbFieldDesc back[6] = {};
  uint16_t n = 0;
  EngineGetFieldDescs(cursor, 6, back, &n);
  for (uint16_t i = 0; i < n; ++i) {
    orb::FieldInfo f;
    f.name = back[i].name;
    f.type = back[i].type;
    f.offset = back[i].offset;
    f.width = back[i].width;
    f.decimals = back[i].decimals;
    f.number = back[i].number;
    fields.push_back(f);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (cursor == 0) Setup();
  // The reader itself, told exactly how many bytes there are.
  std::unique_ptr<orb::FilterExpr> expr;
  if (orb::FilterExpr::Parse(data, size, fields, &expr) == ORB_OK) {
    std::vector<uint8_t> rec(fields.back().offset + fields.back().width, ' ');
    expr->Matches(rec.data());
  }
  // Through the engine's entry, which reads as far as the header claims:
  // the bytes are placed in a buffer that long.
  if (size < 4) return 0;
  std::vector<uint8_t> buffer(65536 + 4, 0);
  std::memcpy(buffer.data(), data, std::min(size, buffer.size()));
  OrbFilter filter = 0;
  if (EngineAddFilter(cursor, nullptr, 1, 0, buffer.data(), nullptr, &filter) != ORB_OK) return 0;
  EngineActivateFilter(cursor, filter);
  uint32_t count = 0;
  EngineGetRecordCount(cursor, &count);
  EngineDropFilter(cursor, filter);
  return 0;
}
