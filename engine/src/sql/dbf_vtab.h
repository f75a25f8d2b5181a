// SQLite's view of the engine's tables: a virtual-table module whose scans
// and writes go through ordinary engine cursors, so SQL reads and changes
// the dBASE files in place under the engine's locks.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "orbex32.h"

namespace orb {
// From the entries' handle table (api.cpp).
bool DatabaseDirectory(OrbDatabase db, std::filesystem::path* dir);
// The file a table name stands for, as EngineOpenTable finds it.
OrbResult ResolveTablePath(OrbDatabase db, const char* tableName, std::filesystem::path* path);
// A private table (a query answer) at `path`: made, written and never
// synced, since nothing of the user's is in it.
OrbResult CreatePrivateTable(const char* path, uint16_t fieldCount, const OrbFieldDesc* fields);
OrbResult MakePrivate(OrbCursor cursor);
// A copy into the table of `target` that holds no record, built beside it
// (Table::BeginCopyBeside): *building is a private cursor, in a batch, on
// the table to fill; 0 when the copy goes into `target` in a batch.
OrbResult BeginCopyBeside(OrbCursor target, OrbCursor* building);
// Closes `building` and, with `commit`, puts its table in the place of the
// target's; else removes it. The target's cursor then stands at its begin.
OrbResult EndCopyBeside(OrbCursor target, OrbCursor building, bool commit);
}

namespace orb::sql {

// What one statement's connection shares with its virtual tables.
struct Context {
  OrbDatabase db = 0;
  // The first engine failure met inside SQLite's callbacks: the statement
  // answers it rather than SQLite's generic error.
  OrbResult engineError = ORB_OK;
  std::string engineDetail;
  uint32_t rowsWritten = 0;
  std::set<std::filesystem::path> tablesRead;  // files, as the engine resolved them
  // Field descriptions by table name as the SQL named it (upper case).
  std::map<std::string, std::vector<OrbFieldDesc>> fields;

  void NoteEngineError(OrbResult r);
};

inline constexpr const char* kModuleName = "orbex_dbf";

int RegisterModule(sqlite3* db, Context* context);
// Declares the virtual table over the database's table of that name.
int DeclareTable(sqlite3* db, const std::string& name);

// Text between the tables (Windows-1252) and SQLite (UTF-8).
std::string ToUtf8(std::string_view cp1252);
std::string ToCp1252(std::string_view utf8);

// A memo field's whole text (Windows-1252) through the cursor's blob entries.
OrbResult ReadMemo(OrbCursor cursor, uint8_t* record, uint16_t field, std::string* text);

// "YYYY-MM-DD" and day numbers; false for text that is no such date.
std::string DateText(int32_t dayNumber);
bool ParseDateText(std::string_view text, int32_t* dayNumber);

}  // namespace orb::sql
