// The benchmarks' fixed tables are written once, through the engine linked
// in, with its syncs skipped: no figure measures them, and a sync per record
// would make building the table cost more than every figure together.
#pragma once

#include <cstdint>
#include <filesystem>
#include <vector>

#include "fault.h"
#include "orbex32.h"

namespace bench {

// Appends `records` records to the table open on `cursor`, record `i` filled
// by `put(cursor, record, size, i)`. Answers false when the engine refused
// one.
template <class Put>
bool AppendUnsynced(OrbCursor cursor, int records, Put put) {
  OrbTableInfo info{};
  if (EngineGetTableInfo(cursor, &info) != ORB_OK) return false;
  std::vector<uint8_t> record(info.recordSize);
  orb::fault::SkipSyncs(true);
  bool ok = true;
  for (int i = 0; i < records && ok; ++i) {
    put(cursor, record.data(), info.recordSize, i);
    ok = EngineInsertRecord(cursor, record.data(), info.recordSize) == ORB_OK;
  }
  orb::fault::SkipSyncs(false);
  return ok;
}

// The same for the closed dBASE table `table`, opened exclusively for it.
template <class Put>
bool AppendUnsynced(const std::filesystem::path& table, int records, Put put) {
  OrbDatabase db = 0;
  if (EngineOpenDatabase(table.parent_path().c_str(), &db) != ORB_OK) return false;
  OrbCursor cursor = 0;
  bool ok = EngineOpenTable(db, table.stem().c_str(), ORB_OPEN_EXCLUSIVE, &cursor) == ORB_OK;
  ok = ok && AppendUnsynced(cursor, records, put);
  if (cursor != 0) ok = EngineCloseCursor(cursor) == ORB_OK && ok;
  return EngineCloseDatabase(db) == ORB_OK && ok;
}

}  // namespace bench
