// Query-by-example text as users type it: the reader must answer a SELECT
// or a position for any text, and every SELECT it writes must be one
// statement SQLite reads over a table of the named fields (no text of the
// query may escape its quotes).
#include <sqlite3.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "sql/qbe.h"

namespace {

sqlite3* Db() {
  static sqlite3* db = [] {
    sqlite3* d = nullptr;
    sqlite3_open(":memory:", &d);
    sqlite3_exec(d, "CREATE TABLE T(ITEM TEXT, COST REAL, BOUGHT TEXT, OK INTEGER, QTY INTEGER)", nullptr, nullptr,
                 nullptr);
    return d;
  }();
  return db;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  orb::sql::QbeQuery query;
  orb::sql::QbeError error;
  if (!orb::sql::ParseQbe(text, &query, &error)) {
    if (error.line == 0 || error.column == 0) std::abort();
    return 0;
  }
  query.table = "T";
  const std::vector<orb::sql::QbeField> fields = {
      {"ITEM", 'C'}, {"COST", 'N'}, {"BOUGHT", 'D'}, {"OK", 'L'}, {"QTY", 'F'}};
  std::string sql;
  for (bool blankAsZero : {false, true}) {
    if (!orb::sql::QbeToSql(query, fields, blankAsZero, &sql, &error)) {
      if (error.line == 0) std::abort();
      return 0;
    }
    sqlite3_stmt* stmt = nullptr;
    const char* tail = nullptr;
    if (sqlite3_prepare_v2(Db(), sql.c_str(), static_cast<int>(sql.size()), &stmt, &tail) != SQLITE_OK) std::abort();
    if (tail == nullptr || *tail != 0 || !sqlite3_stmt_readonly(stmt)) std::abort();
    sqlite3_finalize(stmt);
  }
  return 0;
}
