// The query entries: statements in SQL or by example, run by an embedded
// SQLite over the engine's virtual tables; answers written as snapshot
// dBASE tables in a private folder; answer tables made permanent; table
// copies and deletion; alias paths.
#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "cfg/cfg_store.h"
#include "ordinals.h"
#include "sql/dbf_vtab.h"
#include "sql/qbe.h"
#include "status.h"
#include "table.h"

namespace fs = std::filesystem;

namespace orb::sql {
namespace {

std::string Upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

OrbResult CopyOut(const std::string& text, char* buf, uint32_t size) {
  if (buf == nullptr || size == 0) return Fail(ORB_ERR_INVALID_PARAM, "no out buffer");
  const size_t n = std::min<size_t>(text.size(), size - 1);
  std::memcpy(buf, text.data(), n);
  buf[n] = 0;
  return n < text.size() ? ORB_ERR_BUFFER_TOO_SMALL : ORB_OK;
}

// A bound parameter in the value formats of EnginePutField.
struct Binding {
  char type = 0;  // 0: NULL
  std::string text;
  double number = 0;
  int32_t day = 0;
  int16_t logical = 0;
};

struct Statement {
  OrbDatabase db = 0;
  uint16_t language = ORB_QUERY_SQL;
  std::map<uint32_t, uint32_t> props;
  bool prepared = false;
  std::string sql;  // UTF-8, as SQLite reads it
  std::vector<std::string> params;  // names without the colon, in order
  std::map<std::string, Binding> bindings;  // by upper-case name
  uint32_t errorLine = 0, errorColumn = 0;
  uint32_t rowsAffected = 0;
};

struct Answer {
  fs::path path;
  fs::path directory;            // the statement's database directory
  std::set<fs::path> tablesRead;
};

struct Registry {
  std::recursive_mutex mutex;
  uint32_t next = 1;
  std::map<uint32_t, std::unique_ptr<Statement>> statements;
  std::map<OrbCursor, Answer> answers;
  uint32_t answerSerial = 0;
};

Registry& R() {
  static Registry r;
  return r;
}

const Answer* FindAnswer(OrbCursor c);
void ForgetClosedAnswers();
std::vector<fs::path> Companions(const fs::path& table);

// The engine's private folder: answers live here until their cursors are
// closed (gone at the next answer) or the process ends.
class PrivateFolder {
 public:
  ~PrivateFolder() {
    std::error_code ec;
    if (!path_.empty()) fs::remove_all(path_, ec);
  }
  const fs::path& Path() {
    if (path_.empty()) {
      std::error_code ec;
      fs::path base = fs::temp_directory_path(ec);
      if (ec) base = "/tmp";
      std::string pattern = (base / "orbex-XXXXXX").string();
      if (::mkdtemp(pattern.data()) != nullptr) path_ = pattern;
    }
    return path_;
  }

 private:
  fs::path path_;
};

PrivateFolder& Private() {
  static PrivateFolder folder;
  return folder;
}

// 1-based line and column of a byte offset in text.
void Position(const std::string& text, int offset, uint32_t* line, uint32_t* column) {
  *line = 1;
  *column = 1;
  if (offset < 0) return;
  for (size_t i = 0; i < text.size() && i < static_cast<size_t>(offset); ++i) {
    if (text[i] == '\n') {
      ++*line;
      *column = 1;
    } else {
      ++*column;
    }
  }
}

int Authorize(void* allow, int action, const char*, const char*, const char*, const char*) {
  if (*static_cast<bool*>(allow)) return SQLITE_OK;
  switch (action) {
    case SQLITE_CREATE_INDEX: case SQLITE_CREATE_TABLE: case SQLITE_CREATE_TEMP_INDEX:
    case SQLITE_CREATE_TEMP_TABLE: case SQLITE_CREATE_TEMP_TRIGGER: case SQLITE_CREATE_TEMP_VIEW:
    case SQLITE_CREATE_TRIGGER: case SQLITE_CREATE_VIEW: case SQLITE_DROP_INDEX: case SQLITE_DROP_TABLE:
    case SQLITE_DROP_TEMP_INDEX: case SQLITE_DROP_TEMP_TABLE: case SQLITE_DROP_TEMP_TRIGGER:
    case SQLITE_DROP_TEMP_VIEW: case SQLITE_DROP_TRIGGER: case SQLITE_DROP_VIEW: case SQLITE_ALTER_TABLE:
    case SQLITE_ATTACH: case SQLITE_DETACH: case SQLITE_PRAGMA: case SQLITE_CREATE_VTABLE:
    case SQLITE_DROP_VTABLE: case SQLITE_ANALYZE: case SQLITE_REINDEX:
      return SQLITE_DENY;
    default:
      return SQLITE_OK;
  }
}

// CREATE, DROP and ALTER: refused before SQLite reads them (the
// authorizer below catches the same inside other statements).
bool ChangesSchema(const std::string& sql) {
  size_t i = 0;
  while (i < sql.size()) {
    if (std::isspace(static_cast<unsigned char>(sql[i]))) {
      ++i;
    } else if (sql.compare(i, 2, "--") == 0) {
      i = sql.find('\n', i);
    } else if (sql.compare(i, 2, "/*") == 0) {
      i = sql.find("*/", i + 2);
      if (i != std::string::npos) i += 2;
    } else {
      break;
    }
  }
  if (i >= sql.size()) return false;
  size_t end = i;
  while (end < sql.size() && std::isalpha(static_cast<unsigned char>(sql[end]))) ++end;
  const std::string word = Upper(sql.substr(i, end - i));
  return word == "CREATE" || word == "DROP" || word == "ALTER";
}

// One statement's SQLite connection with the engine's tables declared as
// the text names them.
class Connection {
 public:
  Connection(OrbDatabase db) { context_.db = db; }
  ~Connection() {
    if (stmt_ != nullptr) sqlite3_finalize(stmt_);
    if (db_ != nullptr) sqlite3_close(db_);
  }
  Context& context() { return context_; }
  sqlite3_stmt* stmt() { return stmt_; }
  sqlite3* db() { return db_; }

  // Prepares the text; on failure the engine result (with *line and
  // *column for a syntax error).
  OrbResult Prepare(const std::string& sql, uint32_t* line, uint32_t* column) {
    *line = *column = 0;
    if (sqlite3_open_v2(":memory:", &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) != SQLITE_OK) {
      return Fail(ORB_ERR_NO_MEMORY, "the query engine could not start");
    }
    if (ChangesSchema(sql)) {
      return Fail(ORB_ERR_NOT_SUPPORTED, "tables are created, dropped and altered by the engine's own entries");
    }
    RegisterModule(db_, &context_);
    sqlite3_set_authorizer(db_, Authorize, &allowSchema_);
    for (int attempt = 0; attempt < 256; ++attempt) {
      const char* tail = nullptr;
      int rc = sqlite3_prepare_v2(db_, sql.c_str(), static_cast<int>(sql.size()), &stmt_, &tail);
      if (rc == SQLITE_OK) {
        if (stmt_ == nullptr) {
          *line = *column = 1;
          return Fail(ORB_ERR_QUERY_SYNTAX, "the query is empty");
        }
        for (const char* p = tail; p != nullptr && *p != 0; ++p) {
          if (!std::isspace(static_cast<unsigned char>(*p)) && *p != ';') {
            Position(sql, static_cast<int>(p - sql.c_str()), line, column);
            return Fail(ORB_ERR_QUERY_SYNTAX, "one statement at a time");
          }
        }
        return ORB_OK;
      }
      const std::string message = sqlite3_errmsg(db_);
      const int offset = sqlite3_error_offset(db_);
      if (rc == SQLITE_AUTH) return Fail(ORB_ERR_NOT_SUPPORTED, "tables are created, dropped and altered by the engine's own entries");
      static const std::string kNoTable = "no such table: ";
      if (message.compare(0, kNoTable.size(), kNoTable) == 0) {
        std::string name = message.substr(kNoTable.size());
        if (name.compare(0, 5, "main.") == 0) name.erase(0, 5);
        allowSchema_ = true;
        rc = DeclareTable(db_, name);
        allowSchema_ = false;
        if (rc == SQLITE_OK) continue;
        if (context_.engineError != ORB_OK) return Fail(context_.engineError, context_.engineDetail);
        return Fail(ORB_ERR_NO_SUCH_TABLE, name);
      }
      if (context_.engineError != ORB_OK) return Fail(context_.engineError, context_.engineDetail);
      Position(sql, offset, line, column);
      return Fail(ORB_ERR_QUERY_SYNTAX, message);
    }
    return Fail(ORB_ERR_QUERY_FAILED, "too many tables");
  }

  // The failure of a step: an engine result met inside, else SQLite's.
  OrbResult StepFailure() {
    if (context_.engineError != ORB_OK) return Fail(context_.engineError, context_.engineDetail);
    return Fail(ORB_ERR_QUERY_FAILED, sqlite3_errmsg(db_));
  }

 private:
  Context context_;
  sqlite3* db_ = nullptr;
  sqlite3_stmt* stmt_ = nullptr;
  bool allowSchema_ = false;
};

std::vector<OrbFieldDesc> FieldsOf(OrbCursor c, OrbResult* r) {
  uint16_t count = 0;
  *r = EngineGetFieldDescs(c, 0, nullptr, &count);
  std::vector<OrbFieldDesc> fields(count);
  if (*r == ORB_OK) *r = EngineGetFieldDescs(c, count, fields.data(), &count);
  return fields;
}

// The SQL of a QBE text, with the table's fields read from the engine.
OrbResult TranslateQbe(Statement* s, const std::string& text) {
  QbeQuery query;
  QbeError error;
  if (!ParseQbe(text, &query, &error)) {
    s->errorLine = error.line;
    s->errorColumn = error.column;
    return Fail(ORB_ERR_QUERY_SYNTAX, "line " + std::to_string(error.line) + ": " + error.message);
  }
  OrbCursor cursor = 0;
  OrbResult r = EngineOpenTable(s->db, query.table.c_str(), ORB_OPEN_READ_ONLY, &cursor);
  if (r != ORB_OK) return r;
  std::vector<OrbFieldDesc> descs = FieldsOf(cursor, &r);
  EngineCloseCursor(cursor);
  if (r != ORB_OK) return r;
  std::vector<QbeField> fields;
  for (const OrbFieldDesc& d : descs) fields.push_back({d.name, d.type});
  const bool blankAsZero = s->props[ORB_QPROP_BLANK_AS_ZERO] == 1;
  std::string sql;
  if (!QbeToSql(query, fields, blankAsZero, &sql, &error)) {
    s->errorLine = error.line;
    s->errorColumn = error.column;
    return Fail(ORB_ERR_QUERY_SYNTAX, "line " + std::to_string(error.line) + ": " + error.message);
  }
  s->sql = ToUtf8(sql);
  return ORB_OK;
}

OrbResult BindAll(Statement* s, sqlite3_stmt* stmt) {
  for (int i = 1; i <= sqlite3_bind_parameter_count(stmt); ++i) {
    const char* raw = sqlite3_bind_parameter_name(stmt, i);
    if (raw == nullptr) continue;
    auto it = s->bindings.find(Upper(raw + 1));
    if (it == s->bindings.end()) continue;  // unbound: NULL
    const Binding& b = it->second;
    switch (b.type) {
      case 'C':
      case 'M': {
        std::string u = ToUtf8(b.text);
        sqlite3_bind_text(stmt, i, u.data(), static_cast<int>(u.size()), SQLITE_TRANSIENT);
        break;
      }
      case 'N':
      case 'F':
        if (b.number == std::floor(b.number) && std::fabs(b.number) < 9.2e18) {
          sqlite3_bind_int64(stmt, i, static_cast<sqlite3_int64>(b.number));
        } else {
          sqlite3_bind_double(stmt, i, b.number);
        }
        break;
      case 'D': {
        std::string d = DateText(b.day);
        sqlite3_bind_text(stmt, i, d.data(), static_cast<int>(d.size()), SQLITE_TRANSIENT);
        break;
      }
      case 'L':
        sqlite3_bind_int(stmt, i, b.logical != 0 ? 1 : 0);
        break;
      default:
        sqlite3_bind_null(stmt, i);
    }
  }
  return ORB_OK;
}

// ---------------------------------------------------------------- answers

struct Cell {
  int type = SQLITE_NULL;
  sqlite3_int64 integer = 0;
  double real = 0;
  std::string text;  // Windows-1252
};

struct AnswerColumn {
  std::string name;
  std::optional<OrbFieldDesc> origin;  // the field it reads plainly
};

// Field names: upper case, letters, digits and "_", up to 10, unique.
std::vector<std::string> FieldNames(const std::vector<AnswerColumn>& columns) {
  std::vector<std::string> names;
  std::set<std::string> taken;
  for (const AnswerColumn& c : columns) {
    std::string n;
    for (char ch : Upper(c.name)) {
      n += std::isalnum(static_cast<unsigned char>(ch)) || ch == '_' ? ch : '_';
    }
    if (n.empty() || !std::isalpha(static_cast<unsigned char>(n[0]))) n = "F" + n;
    if (n.size() > ORB_MAX_FIELD_NAME) n.resize(ORB_MAX_FIELD_NAME);
    std::string candidate = n;
    for (int k = 1; taken.count(candidate) != 0; ++k) {
      std::string suffix = std::string("_").append(std::to_string(k));
      candidate = n.substr(0, ORB_MAX_FIELD_NAME - suffix.size()) + suffix;
    }
    taken.insert(candidate);
    names.push_back(candidate);
  }
  return names;
}

OrbFieldDesc ComputedField(const std::vector<std::vector<Cell>>& rows, size_t column) {
  OrbFieldDesc d;
  std::memset(&d, 0, sizeof d);
  bool text = false, real = false;
  size_t longest = 1;
  for (const auto& row : rows) {
    const Cell& c = row[column];
    if (c.type == SQLITE_TEXT || c.type == SQLITE_BLOB) {
      text = true;
      longest = std::max(longest, c.text.size());
    } else if (c.type == SQLITE_FLOAT) {
      real = true;
    }
  }
  if (text) {
    d.type = longest > ORB_MAX_CHAR_WIDTH ? 'M' : 'C';
    d.width = d.type == 'M' ? 10 : static_cast<uint16_t>(longest);
  } else {
    d.type = 'N';
    d.width = 20;
    d.decimals = real ? 6 : 0;
  }
  return d;
}

std::string CellText(const Cell& c) {
  if (c.type == SQLITE_TEXT || c.type == SQLITE_BLOB) return c.text;
  if (c.type == SQLITE_INTEGER) return std::to_string(c.integer);
  if (c.type == SQLITE_FLOAT) {
    std::ostringstream os;
    os.precision(15);
    os << c.real;
    return os.str();
  }
  return std::string();
}

OrbResult PutCell(OrbCursor cursor, const OrbFieldDesc& f, uint8_t* record, const Cell& c) {
  if (c.type == SQLITE_NULL) return ORB_OK;  // the initialised record is blank
  switch (f.type) {
    case 'C': {
      std::string t = CellText(c);
      if (t.size() > f.width) t.resize(f.width);
      return EnginePutField(cursor, f.number, record, t.c_str());
    }
    case 'N':
    case 'F': {
      double v = c.type == SQLITE_INTEGER ? static_cast<double>(c.integer)
                 : c.type == SQLITE_FLOAT ? c.real
                                          : std::strtod(c.text.c_str(), nullptr);
      return EnginePutField(cursor, f.number, record, &v);
    }
    case 'D': {
      int32_t day = 0;
      if (!ParseDateText(CellText(c), &day)) return ORB_OK;
      return EnginePutField(cursor, f.number, record, &day);
    }
    case 'L': {
      int16_t b = (c.type == SQLITE_INTEGER ? c.integer != 0 : c.real != 0) ? 1 : 0;
      return EnginePutField(cursor, f.number, record, &b);
    }
    case 'M': {
      const std::string t = CellText(c);
      OrbResult r = EngineOpenBlob(cursor, record, f.number, ORB_BLOB_READ_WRITE);
      if (r == ORB_OK && !t.empty()) {
        r = EnginePutBlob(cursor, record, f.number, 0, static_cast<uint32_t>(t.size()),
                          reinterpret_cast<const uint8_t*>(t.data()));
      }
      return r;
    }
    default:
      return ORB_OK;
  }
}

// Writes the rows as a new table in the private folder and opens it
// read-only.
OrbResult WriteAnswer(const std::vector<AnswerColumn>& columns, const std::vector<std::vector<Cell>>& rows,
                      OrbCursor* answer, fs::path* path) {
  const fs::path& folder = Private().Path();
  if (folder.empty()) return Fail(ORB_ERR_OPEN_FAILED, "no private folder for answers");
  std::vector<OrbFieldDesc> descs;
  const std::vector<std::string> names = FieldNames(columns);
  for (size_t i = 0; i < columns.size(); ++i) {
    OrbFieldDesc d = columns[i].origin ? *columns[i].origin : ComputedField(rows, i);
    std::memset(d.name, 0, sizeof d.name);
    std::memcpy(d.name, names[i].data(), names[i].size());
    descs.push_back(d);
  }
  *path = folder / ("ANS" + std::to_string(++R().answerSerial) + ".DBF");
  const std::string file = path->string();
  OrbResult r = CreatePrivateTable(file.c_str(), static_cast<uint16_t>(descs.size()), descs.data());
  if (r != ORB_OK) return r;
  OrbCursor writer = 0;
  r = EngineOpenTable(0, file.c_str(), ORB_OPEN_EXCLUSIVE, &writer);
  if (r != ORB_OK) return r;
  r = MakePrivate(writer);
  // One batch: the rows are written together at its end.
  if (r == ORB_OK) r = EngineBeginBatch(writer);
  OrbTableInfo info;
  r = EngineGetTableInfo(writer, &info);
  std::vector<OrbFieldDesc> fields(descs.size());
  uint16_t count = 0;
  if (r == ORB_OK) r = EngineGetFieldDescs(writer, static_cast<uint16_t>(fields.size()), fields.data(), &count);
  std::vector<uint8_t> record(r == ORB_OK ? info.recordSize : 0);
  for (const auto& row : rows) {
    if (r != ORB_OK) break;
    r = EngineInitRecord(writer, record.data(), info.recordSize);
    for (size_t i = 0; i < fields.size() && r == ORB_OK; ++i) r = PutCell(writer, fields[i], record.data(), row[i]);
    if (r == ORB_OK) r = EngineInsertRecord(writer, record.data(), info.recordSize);
    for (const OrbFieldDesc& f : fields) {
      if (f.type == 'M') EngineFreeBlob(writer, record.data(), f.number);
    }
  }
  if (r == ORB_OK) r = EngineCommitBatch(writer);
  EngineCloseCursor(writer);
  if (r != ORB_OK) return r;
  return EngineOpenTable(0, file.c_str(), ORB_OPEN_READ_ONLY, answer);
}

OrbResult RunSelect(Statement* s, Connection& c, const fs::path& directory, OrbCursor* answer) {
  sqlite3_stmt* stmt = c.stmt();
  const int n = sqlite3_column_count(stmt);
  std::vector<AnswerColumn> columns(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) {
    const char* name = sqlite3_column_name(stmt, i);
    columns[static_cast<size_t>(i)].name = name != nullptr ? ToCp1252(name) : "";
    const char* table = sqlite3_column_table_name(stmt, i);
    const char* origin = sqlite3_column_origin_name(stmt, i);
    if (table == nullptr || origin == nullptr) continue;
    auto it = c.context().fields.find(Upper(table));
    if (it == c.context().fields.end()) continue;
    for (const OrbFieldDesc& f : it->second) {
      if (Upper(origin) == f.name) columns[static_cast<size_t>(i)].origin = f;
    }
  }
  std::vector<std::vector<Cell>> rows;
  int rc;
  while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
    std::vector<Cell> row(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) {
      Cell& cell = row[static_cast<size_t>(i)];
      cell.type = sqlite3_column_type(stmt, i);
      if (cell.type == SQLITE_INTEGER) cell.integer = sqlite3_column_int64(stmt, i);
      if (cell.type == SQLITE_FLOAT) cell.real = sqlite3_column_double(stmt, i);
      if (cell.type == SQLITE_TEXT || cell.type == SQLITE_BLOB) {
        const unsigned char* t = sqlite3_column_text(stmt, i);
        cell.text = ToCp1252(t != nullptr ? reinterpret_cast<const char*>(t) : "");
      }
    }
    rows.push_back(std::move(row));
  }
  if (rc != SQLITE_DONE) return c.StepFailure();
  s->rowsAffected = static_cast<uint32_t>(rows.size());
  ForgetClosedAnswers();
  fs::path path;
  OrbResult r = WriteAnswer(columns, rows, answer, &path);
  if (r != ORB_OK) return r;
  R().answers[*answer] = Answer{path, directory, c.context().tablesRead};
  return ORB_OK;
}

bool SameFile(const fs::path& a, const fs::path& b) {
  std::error_code ec;
  if (fs::equivalent(a, b, ec)) return true;
  return fs::weakly_canonical(a, ec) == fs::weakly_canonical(b, ec);
}

// The answer of an open answer cursor (a handle reused by another cursor
// is not).
const Answer* FindAnswer(OrbCursor c) {
  auto it = R().answers.find(c);
  OrbTableInfo info;
  if (it == R().answers.end() || EngineGetTableInfo(c, &info) != ORB_OK || !SameFile(info.path, it->second.path)) {
    return nullptr;
  }
  return &it->second;
}

// Answers whose cursors were closed leave the private folder.
void ForgetClosedAnswers() {
  for (auto it = R().answers.begin(); it != R().answers.end();) {
    if (FindAnswer(it->first) != nullptr) {
      ++it;
      continue;
    }
    std::error_code ec;
    for (const fs::path& p : Companions(it->second.path)) fs::remove(p, ec);
    fs::remove(it->second.path, ec);
    it = R().answers.erase(it);
  }
}

Statement* FindStatement(OrbStatement h) {
  auto it = R().statements.find(h);
  return it == R().statements.end() ? nullptr : it->second.get();
}

#define STATEMENT_OR_FAIL(h)                                         \
  std::lock_guard<std::recursive_mutex> guard(R().mutex);            \
  ClearContext();                                                    \
  Statement* s = FindStatement(h);                                   \
  if (s == nullptr) return Fail(ORB_ERR_INVALID_HANDLE, "invalid statement handle")

// Files beside a table: the memo and the production index, any case.
std::vector<fs::path> Companions(const fs::path& table) {
  std::vector<fs::path> out;
  const std::string stem = Upper(table.stem().string());
  std::error_code ec;
  fs::path dir = table.parent_path().empty() ? fs::path(".") : table.parent_path();
  for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
    const fs::path& p = it->path();
    const std::string ext = Upper(p.extension().string());
    if (Upper(p.stem().string()) == stem && (ext == ".DBT" || ext == ".MDX")) out.push_back(p);
  }
  return out;
}

// Refuses when the table is open by any handle (here or in another
// program): an exclusive open of it must succeed.
OrbResult NobodyHasOpen(const fs::path& table) {
  std::error_code ec;
  if (!fs::exists(table, ec)) return ORB_OK;
  OrbCursor probe = 0;
  OrbResult r = EngineOpenTable(0, table.string().c_str(), ORB_OPEN_EXCLUSIVE, &probe);
  if (r == ORB_OK) {
    EngineCloseCursor(probe);
    return ORB_OK;
  }
  if (r == ORB_ERR_TABLE_IN_USE) return r;
  return ORB_OK;  // a damaged or foreign file is nobody's open table
}

// One field's value from a source record into a target record.
OrbResult CopyField(OrbCursor source, const OrbFieldDesc& from, uint8_t* sourceRecord, OrbCursor target,
                    const OrbFieldDesc& to, uint8_t* targetRecord) {
  int32_t blank = 0;
  const bool numbers = (from.type == 'N' || from.type == 'F') && (to.type == 'N' || to.type == 'F');
  if (from.type != to.type && !numbers) return ORB_OK;
  switch (from.type) {
    case 'C': {
      char text[ORB_MAX_CHAR_WIDTH + 2];
      OrbResult r = EngineGetField(source, from.number, sourceRecord, text, sizeof text, &blank);
      if (r != ORB_OK || blank != 0) return r;
      return EnginePutField(target, to.number, targetRecord, text);
    }
    case 'M': {
      std::string text;
      OrbResult r = ReadMemo(source, sourceRecord, from.number, &text);
      if (r != ORB_OK || text.empty()) return r;
      r = EngineOpenBlob(target, targetRecord, to.number, ORB_BLOB_READ_WRITE);
      if (r == ORB_OK) {
        r = EnginePutBlob(target, targetRecord, to.number, 0, static_cast<uint32_t>(text.size()),
                          reinterpret_cast<const uint8_t*>(text.data()));
      }
      return r;
    }
    default: {
      uint8_t value[16] = {};
      OrbResult r = EngineGetField(source, from.number, sourceRecord, value, sizeof value, &blank);
      if (r != ORB_OK || blank != 0) return r;
      return EnginePutField(target, to.number, targetRecord, value);
    }
  }
}

}  // namespace
}  // namespace orb::sql

using namespace orb;
using namespace orb::sql;

OrbResult EngineQueryAlloc(OrbDatabase db, uint16_t language, OrbStatement* stmt) {
  std::lock_guard<std::recursive_mutex> guard(R().mutex);
  ClearContext();
  if (stmt == nullptr) return Fail(ORB_ERR_INVALID_PARAM, "no out handle");
  *stmt = 0;
  fs::path dir;
  if (!DatabaseDirectory(db, &dir)) return Fail(ORB_ERR_INVALID_HANDLE, "invalid database handle");
  if (language != ORB_QUERY_SQL && language != ORB_QUERY_QBE) return Fail(ORB_ERR_INVALID_PARAM, "unknown query language");
  auto s = std::make_unique<Statement>();
  s->db = db;
  s->language = language;
  s->props[ORB_QPROP_AUX_TABLES] = 1;
  s->props[ORB_QPROP_BLANK_AS_ZERO] = 0;
  if (R().next == 0) R().next = 1;
  const uint32_t h = R().next++;
  R().statements[h] = std::move(s);
  *stmt = h;
  return ORB_OK;
}

OrbResult EngineQueryPrepare(OrbStatement stmt, const char* text) {
  STATEMENT_OR_FAIL(stmt);
  if (text == nullptr) return Fail(ORB_ERR_INVALID_PARAM, "no query text");
  s->prepared = false;
  s->errorLine = s->errorColumn = 0;
  s->params.clear();
  if (s->language == ORB_QUERY_QBE) {
    OrbResult r = TranslateQbe(s, text);
    if (r != ORB_OK) return r;
  } else {
    s->sql = ToUtf8(text);
  }
  Connection c(s->db);
  OrbResult r = c.Prepare(s->sql, &s->errorLine, &s->errorColumn);
  if (r != ORB_OK) return r;
  for (int i = 1; i <= sqlite3_bind_parameter_count(c.stmt()); ++i) {
    const char* name = sqlite3_bind_parameter_name(c.stmt(), i);
    std::string n = name != nullptr ? ToCp1252(name + 1) : "";
    s->params.push_back(n);
  }
  s->prepared = true;
  return ORB_OK;
}

OrbResult EngineQueryExecute(OrbStatement stmt, OrbCursor* answer) {
  STATEMENT_OR_FAIL(stmt);
  if (answer != nullptr) *answer = 0;
  if (!s->prepared) return Fail(ORB_ERR_INVALID_PARAM, "the statement is not prepared");
  s->rowsAffected = 0;
  fs::path dir;
  if (!DatabaseDirectory(s->db, &dir)) return Fail(ORB_ERR_INVALID_HANDLE, "the statement's database is closed");
  Connection c(s->db);
  OrbResult r = c.Prepare(s->sql, &s->errorLine, &s->errorColumn);
  if (r != ORB_OK) return r;
  BindAll(s, c.stmt());
  if (sqlite3_column_count(c.stmt()) > 0) {
    OrbCursor out = 0;
    r = RunSelect(s, c, dir, &out);
    if (r == ORB_OK) {
      if (answer != nullptr) {
        *answer = out;
      } else {
        EngineCloseCursor(out);
      }
    }
    return r;
  }
  int rc;
  while ((rc = sqlite3_step(c.stmt())) == SQLITE_ROW) {
  }
  s->rowsAffected = c.context().rowsWritten;
  return rc == SQLITE_DONE ? ORB_OK : c.StepFailure();
}

OrbResult EngineQueryFree(OrbStatement stmt) {
  std::lock_guard<std::recursive_mutex> guard(R().mutex);
  ClearContext();
  return R().statements.erase(stmt) == 1 ? ORB_OK : Fail(ORB_ERR_INVALID_HANDLE, "invalid statement handle");
}

OrbResult EngineQuerySetProp(OrbStatement stmt, uint32_t prop, uint32_t value) {
  STATEMENT_OR_FAIL(stmt);
  if (prop != ORB_QPROP_BLANK_AS_ZERO && prop != ORB_QPROP_AUX_TABLES) return Fail(ORB_ERR_INVALID_PARAM, "unknown property");
  s->props[prop] = value;
  return ORB_OK;
}

OrbResult EngineQueryGetProp(OrbStatement stmt, uint32_t prop, uint32_t* value) {
  STATEMENT_OR_FAIL(stmt);
  if (value == nullptr) return Fail(ORB_ERR_INVALID_PARAM, "no out value");
  auto it = s->props.find(prop);
  if (it == s->props.end()) return Fail(ORB_ERR_INVALID_PARAM, "unknown property");
  *value = it->second;
  return ORB_OK;
}

OrbResult EngineQueryGetSQL(OrbStatement stmt, char* buf, uint32_t size) {
  STATEMENT_OR_FAIL(stmt);
  return CopyOut(ToCp1252(s->sql), buf, size);
}

OrbResult EngineQueryRowsAffected(OrbStatement stmt, uint32_t* rows) {
  STATEMENT_OR_FAIL(stmt);
  if (rows == nullptr) return Fail(ORB_ERR_INVALID_PARAM, "no out count");
  *rows = s->rowsAffected;
  return ORB_OK;
}

OrbResult EngineQueryBindParam(OrbStatement stmt, const char* name, char type, const void* value) {
  STATEMENT_OR_FAIL(stmt);
  if (name == nullptr || name[0] == 0) return Fail(ORB_ERR_INVALID_PARAM, "no parameter name");
  std::string n = Upper(name[0] == ':' ? name + 1 : name);
  Binding b;
  if (value != nullptr) {
    b.type = static_cast<char>(std::toupper(static_cast<unsigned char>(type)));
    switch (b.type) {
      case 'C':
      case 'M':
        b.text = static_cast<const char*>(value);
        break;
      case 'N':
      case 'F':
        std::memcpy(&b.number, value, sizeof b.number);
        break;
      case 'D':
        std::memcpy(&b.day, value, sizeof b.day);
        break;
      case 'L':
        std::memcpy(&b.logical, value, sizeof b.logical);
        break;
      default:
        return Fail(ORB_ERR_FIELD_TYPE, "unknown value type");
    }
  }
  s->bindings[n] = b;
  return ORB_OK;
}

OrbResult EngineQueryParamCount(OrbStatement stmt, uint16_t* count) {
  STATEMENT_OR_FAIL(stmt);
  if (count == nullptr) return Fail(ORB_ERR_INVALID_PARAM, "no out count");
  *count = static_cast<uint16_t>(s->params.size());
  return ORB_OK;
}

OrbResult EngineQueryParamName(OrbStatement stmt, uint16_t number, char* buf, uint32_t size) {
  STATEMENT_OR_FAIL(stmt);
  if (number == 0 || number > s->params.size()) return Fail(ORB_ERR_INVALID_PARAM, "no such parameter");
  return CopyOut(s->params[number - 1u], buf, size);
}

OrbResult EngineQueryErrorPosition(OrbStatement stmt, uint32_t* line, uint32_t* column) {
  STATEMENT_OR_FAIL(stmt);
  if (line == nullptr || column == nullptr) return Fail(ORB_ERR_INVALID_PARAM, "no out position");
  *line = s->errorLine;
  *column = s->errorColumn;
  return ORB_OK;
}

OrbResult EngineMakePermanent(OrbCursor answer, const char* name, int32_t overwrite) {
  std::lock_guard<std::recursive_mutex> guard(R().mutex);
  ClearContext();
  const Answer* a = FindAnswer(answer);
  if (a == nullptr) return Fail(ORB_ERR_INVALID_HANDLE, "not an answer cursor");
  if (name == nullptr || name[0] == 0) return Fail(ORB_ERR_INVALID_PARAM, "no table name");
  fs::path target(name);
  if (target.is_relative()) target = a->directory / target;
  // Found as the engine finds tables: ".DBF" added, any case.
  OrbResult resolved = ResolveTablePath(0, target.string().c_str(), &target);
  if (resolved != ORB_OK) return resolved;
  for (const fs::path& read : a->tablesRead) {
    if (SameFile(read, target)) return Fail(ORB_ERR_TABLE_IN_USE, target.string() + " was read by the query");
  }
  std::error_code ec;
  if (fs::exists(target, ec)) {
    if (overwrite == 0) return Fail(ORB_ERR_ACCESS_DENIED, target.string() + " exists");
    OrbResult r = NobodyHasOpen(target);
    if (r != ORB_OK) return Fail(r, target.string() + " is open");
  }
  fs::path memo;
  for (const fs::path& m : Companions(a->path)) {
    if (Upper(m.extension().string()) == ".DBT") memo = m;
  }
  return Table::ReplaceWithCopy(target, a->path, memo);
}

OrbResult EngineBatchCopy(OrbCursor source, OrbCursor target, uint32_t* copied) {
  ClearContext();
  if (copied != nullptr) *copied = 0;
  OrbTableInfo sourceInfo, targetInfo;
  OrbResult r = EngineGetTableInfo(source, &sourceInfo);
  if (r == ORB_OK) r = EngineGetTableInfo(target, &targetInfo);
  if (r != ORB_OK) return r;
  if (SameFile(sourceInfo.path, targetInfo.path)) return Fail(ORB_ERR_INVALID_PARAM, "a table cannot be copied into itself");
  std::vector<OrbFieldDesc> from = FieldsOf(source, &r);
  if (r != ORB_OK) return r;
  std::vector<OrbFieldDesc> to = FieldsOf(target, &r);
  if (r != ORB_OK) return r;
  std::vector<std::pair<size_t, size_t>> pairs;
  for (size_t i = 0; i < from.size(); ++i) {
    for (size_t k = 0; k < to.size(); ++k) {
      if (std::strcmp(from[i].name, to[k].name) == 0) pairs.emplace_back(i, k);
    }
  }
  std::vector<uint8_t> in(sourceInfo.recordSize), out(targetInfo.recordSize);
  // Into a table that holds no record the copy is built whole beside it and
  // renamed in; into records already there (which others may be reading)
  // it is one batch, unless the caller's own holds it. Either is synced once
  // at its end, and a copy that fails or is cut off leaves the target as it
  // was.
  OrbCursor building = 0;
  r = BeginCopyBeside(target, &building);
  if (r != ORB_OK) return r;
  const OrbCursor into = building != 0 ? building : target;
  const bool own = building == 0 && EngineBeginBatch(target) == ORB_OK;
  r = EngineSetToBegin(source);
  uint32_t count = 0;
  while (r == ORB_OK) {
    r = EngineGetNextRecord(source, in.data(), sourceInfo.recordSize, nullptr);
    if (r == ORB_ERR_EOF) {
      r = ORB_OK;
      break;
    }
    if (r == ORB_OK) r = EngineInitRecord(into, out.data(), targetInfo.recordSize);
    for (const auto& [i, k] : pairs) {
      if (r != ORB_OK) break;
      r = CopyField(source, from[i], in.data(), into, to[k], out.data());
    }
    if (r == ORB_OK) r = EngineInsertRecord(into, out.data(), targetInfo.recordSize);
    for (const auto& [i, k] : pairs) {
      if (to[k].type == 'M') EngineFreeBlob(into, out.data(), to[k].number);
    }
    if (r == ORB_OK) ++count;
  }
  if (building != 0) {
    const std::string why = orb::Context();
    const OrbResult ended = EndCopyBeside(target, building, r == ORB_OK);
    if (r != ORB_OK) {
      Fail(r, why);
    } else {
      r = ended;
    }
    if (r != ORB_OK) count = 0;
  }
  if (own && r == ORB_OK) r = EngineCommitBatch(target);
  if (own && r != ORB_OK) {
    const std::string why = orb::Context();
    EngineRollbackBatch(target);
    Fail(r, why);
    count = 0;
  }
  if (copied != nullptr) *copied = count;
  return r;
}

OrbResult EngineGetAliasPath(const char* alias, char* buf, uint32_t size) {
  ClearContext();
  if (alias == nullptr || alias[0] == 0) return Fail(ORB_ERR_INVALID_PARAM, "no alias");
  const cfg::Node* databases = cfg::ActiveConfig().Child("DATABASES");
  const cfg::Node* node = databases != nullptr ? databases->Child(alias) : nullptr;
  const cfg::Node* dbInfo = node != nullptr ? node->Child("DB INFO") : nullptr;
  if (dbInfo != nullptr) {
    for (const cfg::Param& p : dbInfo->params) {
      if (cfg::EqualNoCase(p.name, "PATH")) return CopyOut(p.value, buf, size);
    }
  }
  return Fail(ORB_ERR_NOT_FOUND, std::string("no alias ") + alias);
}

OrbResult EngineGetAnswerPath(OrbCursor answer, char* buf, uint32_t size) {
  std::lock_guard<std::recursive_mutex> guard(R().mutex);
  ClearContext();
  const Answer* a = FindAnswer(answer);
  if (a == nullptr) return Fail(ORB_ERR_INVALID_HANDLE, "not an answer cursor");
  return CopyOut(a->path.string(), buf, size);
}

OrbResult EngineDeleteTable(OrbDatabase db, const char* tableName) {
  ClearContext();
  fs::path path;
  OrbResult r = ResolveTablePath(db, tableName, &path);
  if (r != ORB_OK) return r;
  std::error_code ec;
  if (!fs::exists(path, ec)) return Fail(ORB_ERR_NO_SUCH_TABLE, path.string());
  r = NobodyHasOpen(path);
  if (r != ORB_OK) return Fail(r, path.string() + " is open");
  const std::vector<fs::path> companions = Companions(path);
  if (!fs::remove(path, ec)) return Fail(ORB_ERR_ACCESS_DENIED, path.string() + ": " + ec.message());
  for (const fs::path& p : companions) fs::remove(p, ec);
  return ORB_OK;
}

ORB_ORDINALS({131, (void*)&EngineQueryAlloc}, {132, (void*)&EngineQueryPrepare}, {133, (void*)&EngineQueryGetProp},
             {134, (void*)&EngineQueryGetSQL}, {135, (void*)&EngineQueryRowsAffected},
             {136, (void*)&EngineQueryExecute}, {137, (void*)&EngineQueryFree}, {1072, (void*)&EngineQuerySetProp},
             {65, (void*)&EngineQueryBindParam}, {1063, (void*)&EngineQueryParamCount},
             {1068, (void*)&EngineQueryParamName}, {1078, (void*)&EngineQueryErrorPosition},
             {12, (void*)&EngineMakePermanent}, {13, (void*)&EngineBatchCopy}, {29, (void*)&EngineGetAliasPath},
             {234, (void*)&EngineGetAnswerPath}, {298, (void*)&EngineDeleteTable});
