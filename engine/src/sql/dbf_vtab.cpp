#include "sql/dbf_vtab.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>

#include "platform/text.h"
#include "status.h"

namespace orb::sql {

void Context::NoteEngineError(OrbResult r) {
  if (engineError != ORB_OK) return;
  engineError = r;
  char detail[512] = {};
  EngineGetErrorContext(detail, sizeof detail);
  engineDetail = detail;
}

std::string ToUtf8(std::string_view cp1252) {
  for (char c : cp1252) {
    if (static_cast<unsigned char>(c) >= 0x80) return platform::Cp1252ToUtf8(cp1252);
  }
  return std::string(cp1252);
}

std::string ToCp1252(std::string_view utf8) {
  for (char c : utf8) {
    if (static_cast<unsigned char>(c) >= 0x80) return platform::Utf8ToCp1252(utf8);
  }
  return std::string(utf8);
}

std::string DateText(int32_t dayNumber) {
  int32_t y = 0, m = 0, d = 0;
  if (EngineDecodeDate(dayNumber, &y, &m, &d) != ORB_OK) return std::string();
  char buf[48];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", static_cast<int>(y), static_cast<int>(m), static_cast<int>(d));
  return buf;
}

bool ParseDateText(std::string_view text, int32_t* dayNumber) {
  if (text.size() != 10 || text[4] != '-' || text[7] != '-') return false;
  int parts[3] = {0, 0, 0};
  const size_t starts[3] = {0, 5, 8}, lengths[3] = {4, 2, 2};
  for (int i = 0; i < 3; ++i) {
    for (size_t k = 0; k < lengths[i]; ++k) {
      char c = text[starts[i] + k];
      if (c < '0' || c > '9') return false;
      parts[i] = parts[i] * 10 + (c - '0');
    }
  }
  return EngineEncodeDate(parts[0], parts[1], parts[2], dayNumber) == ORB_OK;
}

namespace {

struct DbfTable : sqlite3_vtab {
  Context* context = nullptr;
  std::string name;
  OrbCursor holder = 0;  // kept open for the statement: its lock and the writes
  uint16_t mode = ORB_OPEN_SHARED;
  std::vector<OrbFieldDesc> fields;
  uint32_t recordSize = 0;
  std::vector<uint8_t> buffer;  // for writes
};

struct DbfScan : sqlite3_vtab_cursor {
  OrbCursor cursor = 0;
  std::vector<uint8_t> record;
  uint32_t recordNumber = 0;
  bool eof = true;
};

DbfTable* TableOf(sqlite3_vtab* v) { return static_cast<DbfTable*>(v); }

int EngineFailure(DbfTable* t, OrbResult r) {
  t->context->NoteEngineError(r);
  sqlite3_free(t->zErrMsg);
  t->zErrMsg = sqlite3_mprintf("%s", EngineErrorText(r));
  return SQLITE_ERROR;
}

std::string Quoted(const std::string& name) {
  std::string out = "\"";
  for (char c : name) {
    out += c;
    if (c == '"') out += '"';
  }
  return out + "\"";
}

const char* ColumnType(const OrbFieldDesc& f) {
  switch (f.type) {
    case 'N':
    case 'F':
      return f.decimals == 0 ? "INTEGER" : "REAL";
    case 'L':
      return "INTEGER";
    default:
      return "TEXT";
  }
}

int Connect(sqlite3* db, void* aux, int argc, const char* const* argv, sqlite3_vtab** out, char** err) {
  if (argc < 3) return SQLITE_ERROR;
  auto* context = static_cast<Context*>(aux);
  auto table = std::make_unique<DbfTable>();
  table->context = context;
  table->name = argv[2];
  // Shared first, so the statement may write; a file the engine cannot
  // write is still read.
  OrbResult r = EngineOpenTable(context->db, table->name.c_str(), ORB_OPEN_SHARED, &table->holder);
  if (r == ORB_ERR_ACCESS_DENIED || r == ORB_ERR_READ_ONLY) {
    table->mode = ORB_OPEN_READ_ONLY;
    r = EngineOpenTable(context->db, table->name.c_str(), ORB_OPEN_READ_ONLY, &table->holder);
  }
  if (r != ORB_OK) {
    context->NoteEngineError(r);
    *err = sqlite3_mprintf("%s: %s", table->name.c_str(), EngineErrorText(r));
    return SQLITE_ERROR;
  }
  OrbTableInfo info;
  uint16_t count = 0;
  r = EngineGetTableInfo(table->holder, &info);
  if (r == ORB_OK) {
    table->fields.resize(info.fieldCount);
    table->recordSize = info.recordSize;
    r = EngineGetFieldDescs(table->holder, info.fieldCount, table->fields.data(), &count);
  }
  if (r != ORB_OK) {
    context->NoteEngineError(r);
    EngineCloseCursor(table->holder);
    *err = sqlite3_mprintf("%s: %s", table->name.c_str(), EngineErrorText(r));
    return SQLITE_ERROR;
  }
  context->tablesRead.insert(info.path);
  std::string upper = table->name;
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  context->fields[upper] = table->fields;

  std::string schema = "CREATE TABLE x(";
  for (size_t i = 0; i < table->fields.size(); ++i) {
    if (i > 0) schema += ", ";
    schema += Quoted(table->fields[i].name) + " " + ColumnType(table->fields[i]);
  }
  schema += ")";
  int rc = sqlite3_declare_vtab(db, schema.c_str());
  if (rc != SQLITE_OK) {
    EngineCloseCursor(table->holder);
    return rc;
  }
  table->buffer.resize(table->recordSize);
  *out = table.release();
  return SQLITE_OK;
}

int Disconnect(sqlite3_vtab* v) {
  DbfTable* t = TableOf(v);
  if (t->holder != 0) EngineCloseCursor(t->holder);
  delete t;
  return SQLITE_OK;
}

int BestIndex(sqlite3_vtab* v, sqlite3_index_info* info) {
  OrbTableInfo ti;
  double rows = 1000;
  if (EngineGetTableInfo(TableOf(v)->holder, &ti) == ORB_OK) rows = ti.physicalCount;
  info->estimatedCost = rows + 1;
  info->estimatedRows = static_cast<sqlite3_int64>(rows);
  return SQLITE_OK;
}

int Open(sqlite3_vtab* v, sqlite3_vtab_cursor** out) {
  DbfTable* t = TableOf(v);
  auto scan = std::make_unique<DbfScan>();
  OrbResult r = EngineOpenTable(t->context->db, t->name.c_str(), t->mode, &scan->cursor);
  if (r != ORB_OK) return EngineFailure(t, r);
  scan->record.resize(t->recordSize);
  *out = scan.release();
  return SQLITE_OK;
}

int Close(sqlite3_vtab_cursor* c) {
  auto* scan = static_cast<DbfScan*>(c);
  if (scan->cursor != 0) EngineCloseCursor(scan->cursor);
  delete scan;
  return SQLITE_OK;
}

int Next(sqlite3_vtab_cursor* c) {
  auto* scan = static_cast<DbfScan*>(c);
  OrbRecordInfo info;
  OrbResult r = EngineGetNextRecord(scan->cursor, scan->record.data(), static_cast<uint32_t>(scan->record.size()), &info);
  if (r == ORB_ERR_EOF) {
    scan->eof = true;
    return SQLITE_OK;
  }
  if (r != ORB_OK) return EngineFailure(TableOf(c->pVtab), r);
  scan->eof = false;
  scan->recordNumber = info.recordNumber;
  return SQLITE_OK;
}

int Filter(sqlite3_vtab_cursor* c, int, const char*, int, sqlite3_value**) {
  auto* scan = static_cast<DbfScan*>(c);
  // Re-read the header: records other programs appended since the open show.
  EngineForceReread(scan->cursor);
  OrbResult r = EngineSetToBegin(scan->cursor);
  if (r != ORB_OK) return EngineFailure(TableOf(c->pVtab), r);
  return Next(c);
}

int Eof(sqlite3_vtab_cursor* c) { return static_cast<DbfScan*>(c)->eof ? 1 : 0; }

int Column(sqlite3_vtab_cursor* c, sqlite3_context* out, int column) {
  auto* scan = static_cast<DbfScan*>(c);
  DbfTable* t = TableOf(c->pVtab);
  const OrbFieldDesc& f = t->fields[static_cast<size_t>(column)];
  int32_t blank = 0;
  OrbResult r = ORB_OK;
  switch (f.type) {
    case 'C': {
      char text[ORB_MAX_CHAR_WIDTH + 2];
      r = EngineGetField(scan->cursor, f.number, scan->record.data(), text, sizeof text, &blank);
      if (r == ORB_OK && blank == 0) {
        std::string u = ToUtf8(text);
        sqlite3_result_text(out, u.data(), static_cast<int>(u.size()), SQLITE_TRANSIENT);
        return SQLITE_OK;
      }
      break;
    }
    case 'N':
    case 'F': {
      double v = 0;
      r = EngineGetField(scan->cursor, f.number, scan->record.data(), &v, sizeof v, &blank);
      if (r == ORB_OK && blank == 0) {
        if (f.decimals == 0 && std::fabs(v) < 9.2e18 && v == std::floor(v)) {
          sqlite3_result_int64(out, static_cast<sqlite3_int64>(v));
        } else {
          sqlite3_result_double(out, v);
        }
        return SQLITE_OK;
      }
      break;
    }
    case 'D': {
      int32_t day = 0;
      r = EngineGetField(scan->cursor, f.number, scan->record.data(), &day, sizeof day, &blank);
      if (r == ORB_OK && blank == 0) {
        std::string d = DateText(day);
        if (!d.empty()) {
          sqlite3_result_text(out, d.data(), static_cast<int>(d.size()), SQLITE_TRANSIENT);
          return SQLITE_OK;
        }
      }
      break;
    }
    case 'L': {
      int16_t v = 0;
      r = EngineGetField(scan->cursor, f.number, scan->record.data(), &v, sizeof v, &blank);
      if (r == ORB_OK && blank == 0) {
        sqlite3_result_int(out, v != 0 ? 1 : 0);
        return SQLITE_OK;
      }
      break;
    }
    case 'M': {
      uint32_t block = 0;
      r = EngineGetField(scan->cursor, f.number, scan->record.data(), &block, sizeof block, &blank);
      if (r == ORB_OK && blank == 0 && block != 0) {
        std::string text;
        r = ReadMemo(scan->cursor, scan->record.data(), f.number, &text);
        if (r == ORB_OK) {
          if (text.empty()) break;
          std::string u = ToUtf8(text);
          sqlite3_result_text(out, u.data(), static_cast<int>(u.size()), SQLITE_TRANSIENT);
          return SQLITE_OK;
        }
      }
      break;
    }
    default:
      break;
  }
  if (r != ORB_OK) return EngineFailure(t, r);
  sqlite3_result_null(out);
  return SQLITE_OK;
}

int Rowid(sqlite3_vtab_cursor* c, sqlite3_int64* rowid) {
  *rowid = static_cast<DbfScan*>(c)->recordNumber;
  return SQLITE_OK;
}

// One SQL value into the field of the write buffer.
OrbResult PutValue(DbfTable* t, const OrbFieldDesc& f, sqlite3_value* v) {
  uint8_t* record = t->buffer.data();
  if (sqlite3_value_type(v) == SQLITE_NULL) {
    if (f.type == 'M') return EngineTruncateBlob(t->holder, record, f.number, 0);
    return EnginePutField(t->holder, f.number, record, nullptr);
  }
  switch (f.type) {
    case 'C': {
      std::string text = ToCp1252(reinterpret_cast<const char*>(sqlite3_value_text(v)));
      return EnginePutField(t->holder, f.number, record, text.c_str());
    }
    case 'N':
    case 'F': {
      const int type = sqlite3_value_numeric_type(v);
      if (type != SQLITE_INTEGER && type != SQLITE_FLOAT) {
        return Fail(ORB_ERR_VALUE_RANGE, std::string(f.name).append(": not a number"));
      }
      double d = sqlite3_value_double(v);
      return EnginePutField(t->holder, f.number, record, &d);
    }
    case 'D': {
      int32_t day = 0;
      const char* text = reinterpret_cast<const char*>(sqlite3_value_text(v));
      if (!ParseDateText(text != nullptr ? text : "", &day)) {
        return Fail(ORB_ERR_VALUE_RANGE, f.name + std::string(": a date is written as YYYY-MM-DD"));
      }
      return EnginePutField(t->holder, f.number, record, &day);
    }
    case 'L': {
      int16_t b = sqlite3_value_int(v) != 0 ? 1 : 0;
      return EnginePutField(t->holder, f.number, record, &b);
    }
    case 'M': {
      std::string text = ToCp1252(reinterpret_cast<const char*>(sqlite3_value_text(v)));
      OrbResult r = EngineTruncateBlob(t->holder, record, f.number, 0);
      if (r == ORB_OK && !text.empty()) {
        r = EnginePutBlob(t->holder, record, f.number, 0, static_cast<uint32_t>(text.size()),
                          reinterpret_cast<const uint8_t*>(text.data()));
      }
      return r;
    }
    default:
      return ORB_ERR_FIELD_TYPE;
  }
}

OrbResult PutValues(DbfTable* t, int argc, sqlite3_value** argv) {
  for (size_t i = 0; i < t->fields.size() && static_cast<int>(i) + 2 < argc; ++i) {
    const OrbFieldDesc& f = t->fields[i];
    if (f.type == 'M') {
      OrbResult r = EngineOpenBlob(t->holder, t->buffer.data(), f.number, ORB_BLOB_READ_WRITE);
      if (r != ORB_OK) return r;
    }
    OrbResult r = PutValue(t, f, argv[i + 2]);
    if (r != ORB_OK) return r;
  }
  return ORB_OK;
}

void FreeBlobs(DbfTable* t) {
  for (const OrbFieldDesc& f : t->fields) {
    if (f.type == 'M') EngineFreeBlob(t->holder, t->buffer.data(), f.number);
  }
}

int Update(sqlite3_vtab* v, int argc, sqlite3_value** argv, sqlite3_int64* rowid) {
  DbfTable* t = TableOf(v);
  if (t->mode == ORB_OPEN_READ_ONLY) return EngineFailure(t, ORB_ERR_READ_ONLY);
  const uint32_t size = t->recordSize;
  OrbResult r = ORB_OK;
  if (argc == 1) {
    r = EngineSetToRecordNo(t->holder, static_cast<uint32_t>(sqlite3_value_int64(argv[0])));
    if (r == ORB_OK) r = EngineDeleteRecord(t->holder);
  } else if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
    if (sqlite3_value_type(argv[1]) != SQLITE_NULL) return EngineFailure(t, Fail(ORB_ERR_NOT_SUPPORTED, "record numbers are the engine's"));
    r = EngineInitRecord(t->holder, t->buffer.data(), size);
    if (r == ORB_OK) r = PutValues(t, argc, argv);
    if (r == ORB_OK) r = EngineInsertRecord(t->holder, t->buffer.data(), size);
    OrbRecordInfo info;
    if (r == ORB_OK && EngineGetRecord(t->holder, nullptr, 0, &info) == ORB_OK) *rowid = info.recordNumber;
    FreeBlobs(t);
  } else {
    if (sqlite3_value_int64(argv[0]) != sqlite3_value_int64(argv[1])) {
      return EngineFailure(t, Fail(ORB_ERR_NOT_SUPPORTED, "record numbers are the engine's"));
    }
    r = EngineSetToRecordNo(t->holder, static_cast<uint32_t>(sqlite3_value_int64(argv[0])));
    if (r == ORB_OK) r = EngineGetRecord(t->holder, t->buffer.data(), size, nullptr);
    if (r == ORB_OK) r = PutValues(t, argc, argv);
    if (r == ORB_OK) r = EngineModifyRecord(t->holder, t->buffer.data(), size);
    FreeBlobs(t);
  }
  if (r != ORB_OK) return EngineFailure(t, r);
  ++t->context->rowsWritten;
  return SQLITE_OK;
}

sqlite3_module MakeModule() {
  sqlite3_module m;
  std::memset(&m, 0, sizeof m);
  m.iVersion = 1;
  m.xCreate = Connect;
  m.xConnect = Connect;
  m.xBestIndex = BestIndex;
  m.xDisconnect = Disconnect;
  m.xDestroy = Disconnect;
  m.xOpen = Open;
  m.xClose = Close;
  m.xFilter = Filter;
  m.xNext = Next;
  m.xEof = Eof;
  m.xColumn = Column;
  m.xRowid = Rowid;
  m.xUpdate = Update;
  return m;
}

const sqlite3_module kModule = MakeModule();

}  // namespace

// A memo's text, read through the cursor's blob entries.
OrbResult ReadMemo(OrbCursor cursor, uint8_t* record, uint16_t field, std::string* text) {
  OrbResult r = EngineOpenBlob(cursor, record, field, ORB_BLOB_READ_ONLY);
  if (r != ORB_OK) return r;
  uint32_t size = 0;
  r = EngineGetBlobSize(cursor, record, field, &size);
  if (r == ORB_OK) {
    text->resize(size);
    uint32_t done = 0;
    while (r == ORB_OK && done < size) {
      uint32_t got = 0;
      uint32_t want = std::min<uint32_t>(size - done, ORB_MAX_BLOB_CHUNK);
      r = EngineGetBlob(cursor, record, field, done, want, reinterpret_cast<uint8_t*>(text->data()) + done, &got);
      if (r == ORB_ERR_BLOB_END) r = ORB_OK;
      if (got == 0) break;
      done += got;
    }
    text->resize(done);
  }
  EngineFreeBlob(cursor, record, field);
  return r;
}

int RegisterModule(sqlite3* db, Context* context) {
  return sqlite3_create_module_v2(db, kModuleName, &kModule, context, nullptr);
}

int DeclareTable(sqlite3* db, const std::string& name) {
  std::string sql = "CREATE VIRTUAL TABLE " + Quoted(name) + " USING " + kModuleName;
  return sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr);
}

}  // namespace orb::sql
