// Opens fuzzed bytes as a table (and its memo file), then reads everything
// a caller could: every record, every field, every memo, in both directions.
//
// Input: a 2-byte little-endian length n, then n bytes of .DBF, then the
// rest as the .DBT.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "orbex32.h"

namespace {

void WriteFile(const std::filesystem::path& p, const uint8_t* data, size_t size) {
  FILE* f = std::fopen(p.c_str(), "wb");
  if (f == nullptr) return;
  if (size > 0) std::fwrite(data, 1, size, f);
  std::fclose(f);
}

void ReadAll(OrbCursor c, int direction) {
  OrbTableInfo info{};
  if (EngineGetTableInfo(c, &info) != ORB_OK) return;
  std::vector<uint8_t> rec(info.recordSize);
  std::vector<OrbFieldDesc> fields(info.fieldCount);
  uint16_t n = 0;
  EngineGetFieldDescs(c, info.fieldCount, fields.data(), &n);
  direction > 0 ? EngineSetToBegin(c) : EngineSetToEnd(c);
  int guard = 0;
  while (guard++ < 5000) {
    OrbResult r = direction > 0 ? EngineGetNextRecord(c, rec.data(), info.recordSize, nullptr)
                                : EngineGetPriorRecord(c, rec.data(), info.recordSize, nullptr);
    if (r != ORB_OK) break;
    for (uint16_t f = 1; f <= n; ++f) {
      uint8_t value[256];
      int32_t blank = 0;
      EngineGetField(c, f, rec.data(), value, sizeof value, &blank);
      if (fields[f - 1].type == 'M' && EngineOpenBlob(c, rec.data(), f, ORB_BLOB_READ_ONLY) == ORB_OK) {
        uint8_t chunk[4096];
        uint32_t got = 0, offset = 0;
        while (EngineGetBlob(c, rec.data(), f, offset, sizeof chunk, chunk, &got) == ORB_OK) offset += got;
        EngineFreeBlob(c, rec.data(), f);
      }
    }
  }
  uint32_t count = 0;
  EngineGetRecordCount(c, &count);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::filesystem::path dir = [] {
    std::filesystem::path d = std::filesystem::temp_directory_path() / ("orbex-fuzz-" + std::to_string(getpid()));
    std::filesystem::create_directories(d);
    return d;
  }();
  size_t dbfSize = size >= 2 ? (data[0] | data[1] << 8) : 0;
  const uint8_t* dbf = size >= 2 ? data + 2 : data;
  size_t rest = size >= 2 ? size - 2 : 0;
  if (dbfSize > rest) dbfSize = rest;
  WriteFile(dir / "T.DBF", dbf, dbfSize);
  WriteFile(dir / "T.DBT", dbf + dbfSize, rest - dbfSize);

  OrbDatabase db = 0;
  if (EngineOpenDatabase(dir.c_str(), &db) != ORB_OK) return 0;
  OrbCursor c = 0;
  if (EngineOpenTable(db, "T", ORB_OPEN_READ_ONLY, &c) == ORB_OK) {
    ReadAll(c, +1);
    ReadAll(c, -1);
    EngineCloseCursor(c);
  }
  EngineCloseDatabase(db);
  return 0;
}
