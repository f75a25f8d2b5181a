// The exported entries: argument checks, handles, the engine lock, and the
// ordinal table.
#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "cursor.h"
#include "fieldcodec.h"
#include "key_order.h"
#include "memo.h"
#include "ordinals.h"
#include "status.h"
#include "table.h"

namespace orb {
namespace {

// One lock for the engine: entries are short, and a filter callback that
// calls back in (EngineGetField) runs on the same thread.
std::recursive_mutex& EngineLock() {
  static std::recursive_mutex m;
  return m;
}

struct Handles {
  uint32_t next = 1;
  std::map<uint32_t, std::filesystem::path> databases;
  std::map<uint32_t, std::unique_ptr<Cursor>> cursors;
  std::map<uint32_t, uint32_t> filterOwner;  // filter -> cursor
  std::map<uint32_t, std::vector<uint8_t>> filterBuffers;  // expression filters as given
  std::map<uint32_t, uint32_t> cursorDatabase;  // cursor -> the database it was opened in
  uint32_t Take() {
    if (next == 0) next = 1;
    return next++;
  }
};

Handles& H() {
  static Handles h;
  return h;
}

#define ORB_ENTER                                          \
  std::lock_guard<std::recursive_mutex> guard(EngineLock()); \
  ClearContext()

// The cursor last found: a scan asks for the same one millions of times.
// (Handles are not reused, and a close forgets it.)
OrbCursor gLastHandle = 0;
Cursor* gLastCursor = nullptr;

Cursor* FindCursor(OrbCursor c) {
  if (c == gLastHandle && c != 0) return gLastCursor;
  auto it = H().cursors.find(c);
  if (it == H().cursors.end()) return nullptr;
  gLastHandle = c;
  gLastCursor = it->second.get();
  return gLastCursor;
}

// EngineGetField is called for every field of every record a program reads,
// so it runs without the engine lock: each thread keeps the fields of the
// cursor it read last (a copy the table shares), trusted while no cursor
// was closed and no table packed since (the epoch moves under the lock).
std::atomic<uint64_t> gLayoutEpoch{1};
struct LayoutCache {
  OrbCursor handle = 0;
  uint64_t epoch = 0;
  const FieldInfo* fields = nullptr;  // held by tLayoutHeld
  size_t count = 0;
};
// Initial-exec: the library is loaded by name at run time, where the
// general model would make every access a call into the loader (two per
// field read); the few bytes fit the static TLS kept for such libraries.
// Trivially destructible, so that no guard (kept in the general model)
// is asked on the way; the reference that keeps the fields alive while
// cached is taken only when the cache is refilled.
thread_local LayoutCache tLayout __attribute__((tls_model("initial-exec")));
thread_local std::shared_ptr<const std::vector<FieldInfo>> tLayoutHeld;

void LayoutChanged() { gLayoutEpoch.fetch_add(1, std::memory_order_release); }

OrbResult BadHandle(const char* what) { return Fail(ORB_ERR_INVALID_HANDLE, std::string("invalid ") + what + " handle"); }

std::string Upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

bool EndsWithDbf(const std::string& name) {
  return name.size() > 4 && Upper(name.substr(name.size() - 4)) == ".DBF";
}

// The table's file: tableName as given (a full path, or a name in the
// database's directory), ".DBF" added unless it ends so; an existing file
// is found without regard to case.
OrbResult ResolveTable(OrbDatabase db, const char* tableName, std::filesystem::path* out) {
  if (tableName == nullptr || tableName[0] == 0) return Fail(ORB_ERR_INVALID_PARAM, "no table name");
  std::filesystem::path dir;
  if (db != 0) {
    auto it = H().databases.find(db);
    if (it == H().databases.end()) return BadHandle("database");
    dir = it->second;
  }
  std::string name = tableName;
  if (!EndsWithDbf(name)) name += ".DBF";
  std::filesystem::path p(name);
  if (p.is_relative() && !dir.empty()) p = dir / p;
  std::error_code ec;
  if (!std::filesystem::exists(p, ec)) {
    const std::string want = Upper(p.filename().string());
    std::filesystem::path parent = p.parent_path();
    for (std::filesystem::directory_iterator it(parent.empty() ? "." : parent, ec), end; !ec && it != end;
         it.increment(ec)) {
      if (Upper(it->path().filename().string()) == want) {
        p = it->path();
        break;
      }
    }
  }
  *out = p;
  return ORB_OK;
}

bool RecordArgOk(Cursor* c, const void* record, uint32_t size) {
  return record == nullptr || size >= c->table().RecordSize();
}

// A cursor for a table-level operation: the caller's (when given) or an
// exclusive one of our own for the run.
struct TableUse {
  Cursor* cursor = nullptr;
  std::unique_ptr<Cursor> own;
};

OrbResult UseTable(OrbDatabase db, OrbCursor cursor, const char* tableName, TableUse* use) {
  if (cursor != 0) {
    use->cursor = FindCursor(cursor);
    return use->cursor == nullptr ? BadHandle("cursor") : ORB_OK;
  }
  std::filesystem::path path;
  OrbResult r = ResolveTable(db, tableName, &path);
  if (r != ORB_OK) return r;
  std::shared_ptr<Table> table;
  r = Table::Acquire(path, ORB_OPEN_EXCLUSIVE, &table);
  if (r != ORB_OK) return r;
  use->own = std::make_unique<Cursor>(std::move(table), ORB_OPEN_EXCLUSIVE);
  use->cursor = use->own.get();
  return ORB_OK;
}

// The table's append lock held while a tag is added, deleted or rebuilt on
// a shared table: other programs change the index only under that lock.
struct IndexLock {
  explicit IndexLock(Table& t) : table(t), held(t.LockAppend()) {}
  ~IndexLock() {
    if (held) table.UnlockAppend();
  }
  IndexLock(const IndexLock&) = delete;
  IndexLock& operator=(const IndexLock&) = delete;
  OrbResult Refused() const {
    return Fail(ORB_ERR_LOCKED, table.DisplayName() + ": another program is changing the table");
  }
  Table& table;
  bool held;
};

}  // namespace

OrbResult ResolveTablePath(OrbDatabase db, const char* tableName, std::filesystem::path* path) {
  std::lock_guard<std::recursive_mutex> guard(EngineLock());
  return ResolveTable(db, tableName, path);
}

bool DatabaseDirectory(OrbDatabase db, std::filesystem::path* dir) {
  std::lock_guard<std::recursive_mutex> guard(EngineLock());
  auto it = H().databases.find(db);
  if (it == H().databases.end()) return false;
  *dir = it->second;
  return true;
}

}  // namespace orb

using namespace orb;

#define CURSOR_OR_FAIL(name)                       \
  Cursor* cur = FindCursor(name);                  \
  if (cur == nullptr) return BadHandle("cursor")
#define NOT_BUSY                                                                            \
  if (cur->busy()) return Fail(ORB_ERR_CURSOR_BUSY, "a filter callback may not move its cursor")

OrbResult EngineOpenDatabase(const char* directory, OrbDatabase* db) {
  ORB_ENTER;
  if (db == nullptr) return Fail(ORB_ERR_INVALID_PARAM, "no out handle");
  *db = 0;
  std::filesystem::path dir = directory != nullptr && directory[0] != 0 ? directory : ".";
  std::error_code ec;
  if (!std::filesystem::is_directory(dir, ec)) return Fail(ORB_ERR_NO_SUCH_TABLE, dir.string() + " is not a directory");
  uint32_t h = H().Take();
  H().databases[h] = dir;
  *db = h;
  return ORB_OK;
}

OrbResult EngineCloseDatabase(OrbDatabase db) {
  ORB_ENTER;
  if (H().databases.erase(db) != 1) return BadHandle("database");
  // A batch begun on a cursor of the database ends with it, undone.
  for (const auto& [handle, database] : H().cursorDatabase) {
    if (database != db) continue;
    auto it = H().cursors.find(handle);
    if (it != H().cursors.end() && it->second->table().BatchOwner() == it->second.get()) {
      it->second->table().RollbackBatch();
    }
  }
  return ORB_OK;
}

OrbResult EngineEncodeDate(int32_t year, int32_t month, int32_t day, int32_t* dayNumber) {
  if (dayNumber == nullptr) return ORB_ERR_INVALID_PARAM;
  if (!ValidDate(year, month, day)) return ORB_ERR_VALUE_RANGE;
  *dayNumber = DaysFromCivil(year, month, day);
  return ORB_OK;
}

OrbResult EngineDecodeDate(int32_t dayNumber, int32_t* year, int32_t* month, int32_t* day) {
  if (year == nullptr || month == nullptr || day == nullptr) return ORB_ERR_INVALID_PARAM;
  if (dayNumber < 1 || dayNumber > DaysFromCivil(9999, 12, 31)) return ORB_ERR_VALUE_RANGE;
  CivilFromDays(dayNumber, year, month, day);
  return ORB_OK;
}

namespace orb {
namespace {

OrbResult CreateTableAt(OrbDatabase db, const char* tableName, uint16_t fieldCount, const OrbFieldDesc* fields,
                        uint8_t languageDriver, bool durable) {
  if (fields == nullptr || fieldCount == 0) return Fail(ORB_ERR_INVALID_PARAM, "no fields");
  std::filesystem::path path;
  OrbResult r = ResolveTable(db, tableName, &path);
  if (r != ORB_OK) return r;
  std::vector<FieldInfo> infos;
  uint32_t offset = 1;
  for (uint16_t i = 0; i < fieldCount; ++i) {
    const OrbFieldDesc& d = fields[i];
    FieldInfo f;
    size_t n = strnlen(d.name, sizeof d.name);
    f.name = Upper(std::string(d.name, n));
    f.type = static_cast<char>(std::toupper(static_cast<unsigned char>(d.type)));
    f.width = d.width;
    f.decimals = d.decimals;
    const std::string where = "field " + std::to_string(i + 1) + " (" + f.name + ")";
    if (f.name.empty() || f.name.size() > ORB_MAX_FIELD_NAME || n == sizeof d.name) {
      return Fail(ORB_ERR_INVALID_FIELD_DEF, where + ": a name of 1 to 10 characters");
    }
    // dBASE field names start with a letter: dBASE itself does not take
    // others.
    if (!std::isalpha(static_cast<unsigned char>(f.name[0]))) {
      return Fail(ORB_ERR_INVALID_FIELD_DEF, where + ": names start with a letter");
    }
    for (char c : f.name) {
      if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '_')) {
        return Fail(ORB_ERR_INVALID_FIELD_DEF, where + ": names hold letters, digits and _");
      }
    }
    for (const FieldInfo& other : infos) {
      if (other.name == f.name) return Fail(ORB_ERR_INVALID_FIELD_DEF, where + ": duplicate name");
    }
    switch (f.type) {
      case 'C':
        if (f.width < 1 || f.width > ORB_MAX_CHAR_WIDTH) return Fail(ORB_ERR_INVALID_FIELD_DEF, where + ": width 1 to 254");
        f.decimals = 0;
        break;
      case 'N':
      case 'F':
        if (f.type == 'F' && f.width == 0 && f.decimals == 0) f.decimals = 2;
        if (f.width == 0) f.width = f.decimals == 0 ? ORB_DEFAULT_INT_WIDTH : ORB_DEFAULT_FLOAT_WIDTH;
        if (f.width > 20 || (f.decimals > 0 && f.decimals + 2 > f.width)) {
          return Fail(ORB_ERR_INVALID_FIELD_DEF, where + ": width 1 to 20, room for the decimals");
        }
        break;
      case 'D': f.width = 8; f.decimals = 0; break;
      case 'L': f.width = 1; f.decimals = 0; break;
      case 'M': f.width = 10; f.decimals = 0; break;
      default: return Fail(ORB_ERR_INVALID_FIELD_DEF, where + ": type C, N, F, D, L or M");
    }
    f.number = static_cast<uint16_t>(i + 1);
    f.offset = offset;
    offset += f.width;
    infos.push_back(std::move(f));
  }
  return Table::Create(path, infos, languageDriver == 0 ? ORB_LDID_ANSI_1252 : languageDriver, durable);
}

}  // namespace

OrbResult CreatePrivateTable(const char* path, uint16_t fieldCount, const OrbFieldDesc* fields) {
  ORB_ENTER;
  return CreateTableAt(0, path, fieldCount, fields, 0, false);
}

OrbResult MakePrivate(OrbCursor cursor) {
  ORB_ENTER;
  CURSOR_OR_FAIL(cursor);
  cur->table().SetPrivate();
  return ORB_OK;
}

OrbResult BeginCopyBeside(OrbCursor target, OrbCursor* building) {
  ORB_ENTER;
  *building = 0;
  CURSOR_OR_FAIL(target);
  NOT_BUSY;
  if (cur->mode() == ORB_OPEN_READ_ONLY) return ORB_OK;  // refused by the batch as ever
  std::filesystem::path path;
  OrbResult r = cur->table().BeginCopyBeside(&path);
  if (r != ORB_OK || path.empty()) return r;
  r = EngineOpenTable(0, path.string().c_str(), ORB_OPEN_EXCLUSIVE, building);
  if (r == ORB_OK) {
    FindCursor(*building)->table().SetPrivate();
    r = EngineBeginBatch(*building);
  }
  if (r != ORB_OK) {
    const std::string why = Context();
    if (*building != 0) EngineCloseCursor(*building);
    *building = 0;
    FindCursor(target)->table().AbandonCopyBeside(path);
    return Fail(r, why);
  }
  return ORB_OK;
}

OrbResult EndCopyBeside(OrbCursor target, OrbCursor building, bool commit) {
  ORB_ENTER;
  Cursor* from = FindCursor(building);
  if (from == nullptr) return BadHandle("cursor");
  const std::filesystem::path path = from->table().Path();
  OrbResult r = commit ? EngineCommitBatch(building) : EngineRollbackBatch(building);
  const OrbResult closed = EngineCloseCursor(building);
  if (r == ORB_OK) r = closed;
  CURSOR_OR_FAIL(target);
  if (commit && r == ORB_OK) {
    r = cur->table().EndCopyBeside(path);
  } else {
    cur->table().AbandonCopyBeside(path);
  }
  const std::string why = Context();
  LayoutChanged();
  cur->SetToBegin();
  return Fail(r, why);
}

}  // namespace orb

OrbResult EngineCreateTable(OrbDatabase db, const char* tableName, uint16_t fieldCount, const OrbFieldDesc* fields,
                            uint8_t languageDriver) {
  ORB_ENTER;
  return CreateTableAt(db, tableName, fieldCount, fields, languageDriver, true);
}

OrbResult EngineOpenTable(OrbDatabase db, const char* tableName, uint16_t openMode, OrbCursor* cursor) {
  ORB_ENTER;
  if (cursor == nullptr) return Fail(ORB_ERR_INVALID_PARAM, "no out handle");
  *cursor = 0;
  if (openMode > ORB_OPEN_READ_ONLY) return Fail(ORB_ERR_INVALID_PARAM, "unknown open mode");
  std::filesystem::path path;
  OrbResult r = ResolveTable(db, tableName, &path);
  if (r != ORB_OK) return r;
  std::shared_ptr<Table> table;
  r = Table::Acquire(path, openMode, &table);
  if (r != ORB_OK) return r;
  uint32_t h = H().Take();
  const uint8_t driver = table->LanguageDriver();
  H().cursors[h] = std::make_unique<Cursor>(std::move(table), openMode);
  if (db != 0) H().cursorDatabase[h] = db;
  *cursor = h;
  // Nothing is refused in byte order; the context says why texts sort so.
  return Fail(ORB_OK, KeyOrder::ForDriver(driver)->FallbackReason());
}

OrbResult EngineCloseCursor(OrbCursor cursor) {
  ORB_ENTER;
  CURSOR_OR_FAIL(cursor);
  NOT_BUSY;
  for (auto it = H().filterOwner.begin(); it != H().filterOwner.end();) {
    if (it->second == cursor) H().filterBuffers.erase(it->first);
    it = it->second == cursor ? H().filterOwner.erase(it) : std::next(it);
  }
  if (gLastHandle == cursor) gLastHandle = 0;
  LayoutChanged();
  // The handle goes either way; an index that could not be written is
  // rebuilt by the next open (its stamp on disk lags the table).
  const OrbResult r = cur->Close();
  H().cursors.erase(cursor);
  H().cursorDatabase.erase(cursor);
  return r;
}

OrbResult EngineGetTableInfo(OrbCursor cursor, OrbTableInfo* info) {
  ORB_ENTER;
  CURSOR_OR_FAIL(cursor);
  if (info == nullptr) return Fail(ORB_ERR_INVALID_PARAM, "no out record");
  Table& t = cur->table();
  std::memset(info, 0, sizeof *info);
  std::string p = t.Path().string();
  std::memcpy(info->path, p.data(), std::min(p.size(), sizeof info->path - 1));
  info->openMode = cur->mode();
  info->fieldCount = static_cast<uint16_t>(t.Fields().size());
  info->recordSize = t.RecordSize();
  info->physicalCount = t.RecordCount();
  info->recordsTrimmed = t.RecordsTrimmed();
  info->version = t.Version();
  info->languageDriver = t.LanguageDriver();
  info->hasProductionIndex = t.ProductionFlag() ? 1 : 0;
  info->hasMemo = t.HasMemo() ? 1 : 0;
  info->lastUpdate = t.LastUpdate();
  const auto order = KeyOrder::ForDriver(t.LanguageDriver());
  info->keyOrder = static_cast<uint16_t>(order->kind());
  if (!order->collates()) return Fail(ORB_OK, order->FallbackReason());
  if (t.Index() != nullptr) {
    std::vector<OrbIndexDesc> tags;
    if (t.Index()->Describe(&tags) == ORB_OK) info->indexCount = static_cast<uint16_t>(tags.size());
  }
  return ORB_OK;
}

OrbResult EngineGetFieldDescs(OrbCursor cursor, uint16_t capacity, OrbFieldDesc* fields, uint16_t* count) {
  ORB_ENTER;
  CURSOR_OR_FAIL(cursor);
  if (count == nullptr || (capacity > 0 && fields == nullptr)) return Fail(ORB_ERR_INVALID_PARAM, "no out buffer");
  const auto& fs = cur->table().Fields();
  *count = static_cast<uint16_t>(fs.size());
  for (size_t i = 0; i < fs.size() && i < capacity; ++i) {
    OrbFieldDesc& d = fields[i];
    std::memset(&d, 0, sizeof d);
    std::memcpy(d.name, fs[i].name.data(), std::min<size_t>(fs[i].name.size(), ORB_MAX_FIELD_NAME + 1));
    d.type = fs[i].type;
    d.decimals = fs[i].decimals;
    d.width = fs[i].width;
    d.number = fs[i].number;
    d.offset = fs[i].offset;
  }
  return ORB_OK;
}

OrbResult EngineFieldNumber(OrbCursor cursor, const char* name, uint16_t* fieldNumber) {
  ORB_ENTER;
  CURSOR_OR_FAIL(cursor);
  if (name == nullptr || fieldNumber == nullptr) return Fail(ORB_ERR_INVALID_PARAM, "no name or out number");
  const FieldInfo* f = cur->table().FindField(name);
  if (f == nullptr) return Fail(ORB_ERR_NO_SUCH_FIELD, std::string("no field ") + name);
  *fieldNumber = f->number;
  return ORB_OK;
}

OrbResult EngineSetToBegin(OrbCursor cursor) {
  ORB_ENTER;
  CURSOR_OR_FAIL(cursor);
  NOT_BUSY;
  cur->SetToBegin();
  return ORB_OK;
}

OrbResult EngineSetToEnd(OrbCursor cursor) {
  ORB_ENTER;
  CURSOR_OR_FAIL(cursor);
  NOT_BUSY;
  cur->SetToEnd();
  return ORB_OK;
}

#define RECORD_ARGS                                       \
  CURSOR_OR_FAIL(cursor);                                 \
  NOT_BUSY;                                               \
  if (!RecordArgOk(cur, record, recordSize)) return Fail(ORB_ERR_INVALID_PARAM, "record buffer too small")

OrbResult EngineGetNextRecord(OrbCursor cursor, uint8_t* record, uint32_t recordSize, OrbRecordInfo* info) {
  ORB_ENTER;
  RECORD_ARGS;
  return cur->Step(+1, record, info);
}

OrbResult EngineGetPriorRecord(OrbCursor cursor, uint8_t* record, uint32_t recordSize, OrbRecordInfo* info) {
  ORB_ENTER;
  RECORD_ARGS;
  return cur->Step(-1, record, info);
}

OrbResult EngineGetRecord(OrbCursor cursor, uint8_t* record, uint32_t recordSize, OrbRecordInfo* info) {
  ORB_ENTER;
  RECORD_ARGS;
  return cur->Current(record, info);
}

OrbResult EngineGetRelativeRecord(OrbCursor cursor, int32_t offset, uint8_t* record, uint32_t recordSize,
                                  OrbRecordInfo* info) {
  ORB_ENTER;
  RECORD_ARGS;
  if (offset == 0) return cur->Current(record, info);
  const int dir = offset > 0 ? +1 : -1;
  int64_t steps = offset > 0 ? offset : -static_cast<int64_t>(offset);
  OrbResult r = ORB_OK;
  for (int64_t i = 0; i < steps && r == ORB_OK; ++i) r = cur->Step(dir, i + 1 == steps ? record : nullptr, info);
  return r;
}

OrbResult EngineGetFirstRecord(OrbCursor cursor, uint8_t* record, uint32_t recordSize, OrbRecordInfo* info) {
  ORB_ENTER;
  RECORD_ARGS;
  cur->SetToBegin();
  return cur->Step(+1, record, info);
}

OrbResult EngineGetLastRecord(OrbCursor cursor, uint8_t* record, uint32_t recordSize, OrbRecordInfo* info) {
  ORB_ENTER;
  RECORD_ARGS;
  cur->SetToEnd();
  return cur->Step(-1, record, info);
}

OrbResult EngineGetRecordCount(OrbCursor cursor, uint32_t* count) {
  ORB_ENTER;
  CURSOR_OR_FAIL(cursor);
  NOT_BUSY;
  if (count == nullptr) return Fail(ORB_ERR_INVALID_PARAM, "no out count");
  return cur->Count(count);
}

OrbResult EngineGetSeqNo(OrbCursor cursor, uint32_t* sequenceNumber) {
  ORB_ENTER;
  CURSOR_OR_FAIL(cursor);
  NOT_BUSY;
  if (sequenceNumber == nullptr) return Fail(ORB_ERR_INVALID_PARAM, "no out number");
  return cur->SeqNo(sequenceNumber);
}

OrbResult EngineSetToSeqNo(OrbCursor cursor, uint32_t sequenceNumber) {
  ORB_ENTER;
  CURSOR_OR_FAIL(cursor);
  NOT_BUSY;
  return cur->SetToSeqNo(sequenceNumber);
}

OrbResult EngineSetToRecordNo(OrbCursor cursor, uint32_t recordNumber) {
  ORB_ENTER;
  CURSOR_OR_FAIL(cursor);
  NOT_BUSY;
  return cur->SetToRecordNo(recordNumber);
}

OrbResult EngineForceReread(OrbCursor cursor) {
  ORB_ENTER;
  CURSOR_OR_FAIL(cursor);
  NOT_BUSY;
  return cur->Refresh();
}

OrbResult EngineGetBookmark(OrbCursor cursor, uint8_t* bookmark, uint32_t size) {
  ORB_ENTER;
  CURSOR_OR_FAIL(cursor);
  if (bookmark == nullptr || size < ORB_BOOKMARK_SIZE) return Fail(ORB_ERR_INVALID_PARAM, "bookmark buffer too small");
  return cur->Bookmark(bookmark);
}

OrbResult EngineSetToBookmark(OrbCursor cursor, const uint8_t* bookmark) {
  ORB_ENTER;
  CURSOR_OR_FAIL(cursor);
  NOT_BUSY;
  if (bookmark == nullptr) return Fail(ORB_ERR_INVALID_PARAM, "no bookmark");
  return cur->GoToBookmark(bookmark);
}

OrbResult EngineCompareBookmarks(OrbCursor cursor, const uint8_t* a, const uint8_t* b, int32_t* result) {
  ORB_ENTER;
  CURSOR_OR_FAIL(cursor);
  if (a == nullptr || b == nullptr || result == nullptr) return Fail(ORB_ERR_INVALID_PARAM, "missing argument");
  return cur->CompareBookmarks(a, b, result);
}

OrbResult EngineInitRecord(OrbCursor cursor, uint8_t* record, uint32_t recordSize) {
  ORB_ENTER;
  CURSOR_OR_FAIL(cursor);
  if (record == nullptr || recordSize < cur->table().RecordSize()) return Fail(ORB_ERR_INVALID_PARAM, "record buffer too small");
  std::memset(record, ' ', cur->table().RecordSize());
  return ORB_OK;
}

// The field entry's way when its thread's cached layout is not the
// cursor's (or the arguments are wrong): under the lock, the layout taken
// afresh.
__attribute__((noinline)) static OrbResult GetFieldRefilled(OrbCursor cursor, uint16_t fieldNumber,
                                                            const uint8_t* record, void* value, uint32_t valueSize,
                                                            int32_t* blank) {
  LayoutCache& cache = tLayout;
  if (cursor == 0 || cache.handle != cursor || cache.epoch != gLayoutEpoch.load(std::memory_order_acquire)) {
    ORB_ENTER;
    const uint64_t epoch = gLayoutEpoch.load(std::memory_order_relaxed);
    CURSOR_OR_FAIL(cursor);
    tLayoutHeld = cur->table().Layout();
    cache = {cursor, epoch, tLayoutHeld->data(), tLayoutHeld->size()};
  } else {
    ClearContext();
  }
  if (record == nullptr || value == nullptr) return Fail(ORB_ERR_INVALID_PARAM, "no record or value buffer");
  if (fieldNumber < 1 || fieldNumber > cache.count) {
    return Fail(ORB_ERR_NO_SUCH_FIELD, "no field " + std::to_string(fieldNumber));
  }
  return DecodeField(cache.fields[fieldNumber - 1], record, value, valueSize, blank);
}

OrbResult EngineGetField(OrbCursor cursor, uint16_t fieldNumber, const uint8_t* record, void* value,
                         uint32_t valueSize, int32_t* blank) {
  const LayoutCache& cache = tLayout;
  // A context to clear goes the other way too: this one then makes no call
  // but the decoder's.
  if (cursor == 0 || cache.handle != cursor || cache.epoch != gLayoutEpoch.load(std::memory_order_acquire) ||
      record == nullptr || value == nullptr || fieldNumber - 1u >= cache.count || tHasContext) {
    return GetFieldRefilled(cursor, fieldNumber, record, value, valueSize, blank);
  }
  return DecodeField(cache.fields[fieldNumber - 1], record, value, valueSize, blank);
}

OrbResult EnginePutField(OrbCursor cursor, uint16_t fieldNumber, uint8_t* record, const void* value) {
  ORB_ENTER;
  CURSOR_OR_FAIL(cursor);
  if (record == nullptr) return Fail(ORB_ERR_INVALID_PARAM, "no record buffer");
  const FieldInfo* f = cur->table().Field(fieldNumber);
  if (f == nullptr) return Fail(ORB_ERR_NO_SUCH_FIELD, "no field " + std::to_string(fieldNumber));
  return EncodeField(*f, record, value);
}

OrbResult EngineInsertRecord(OrbCursor cursor, uint8_t* record, uint32_t recordSize) {
  ORB_ENTER;
  CURSOR_OR_FAIL(cursor);
  NOT_BUSY;
  if (record == nullptr || recordSize < cur->table().RecordSize()) return Fail(ORB_ERR_INVALID_PARAM, "record buffer too small");
  return cur->Insert(record);
}

OrbResult EngineModifyRecord(OrbCursor cursor, uint8_t* record, uint32_t recordSize) {
  ORB_ENTER;
  CURSOR_OR_FAIL(cursor);
  NOT_BUSY;
  if (record == nullptr || recordSize < cur->table().RecordSize()) return Fail(ORB_ERR_INVALID_PARAM, "record buffer too small");
  return cur->Modify(record);
}

OrbResult EngineDeleteRecord(OrbCursor cursor) {
  ORB_ENTER;
  CURSOR_OR_FAIL(cursor);
  NOT_BUSY;
  return cur->Delete();
}

OrbResult EngineBeginBatch(OrbCursor cursor) {
  ORB_ENTER;
  CURSOR_OR_FAIL(cursor);
  NOT_BUSY;
  if (cur->mode() == ORB_OPEN_READ_ONLY) return Fail(ORB_ERR_READ_ONLY, cur->table().DisplayName() + " is open read-only");
  return cur->table().BeginBatch(cur);
}

// The cursor reads the table as the end of the batch left it.
static OrbResult EndBatch(OrbCursor cursor, bool commit) {
  ORB_ENTER;
  CURSOR_OR_FAIL(cursor);
  NOT_BUSY;
  const OrbResult r = commit ? cur->table().CommitBatch() : cur->table().RollbackBatch();
  const std::string why = Context();
  cur->Refresh();
  return Fail(r, why);
}

OrbResult EngineCommitBatch(OrbCursor cursor) { return EndBatch(cursor, true); }
OrbResult EngineRollbackBatch(OrbCursor cursor) { return EndBatch(cursor, false); }

OrbResult EngineAddFilter(OrbCursor cursor, void* context, uint16_t priority, int32_t canAbort,
                          const uint8_t* expression, OrbRecordFilterFn recordFn, OrbFilter* filter) {
  ORB_ENTER;
  if (filter != nullptr) *filter = 0;
  CURSOR_OR_FAIL(cursor);
  if (filter == nullptr) return Fail(ORB_ERR_INVALID_PARAM, "no out handle");
  if (expression != nullptr && recordFn != nullptr) return Fail(ORB_ERR_INVALID_PARAM, "both an expression and a callback");
  if (recordFn == nullptr && expression == nullptr) return Fail(ORB_ERR_INVALID_PARAM, "neither an expression nor a callback");
  std::unique_ptr<FilterExpr> expr;
  size_t size = 0;
  if (expression != nullptr) {
    // The buffer carries its own size; nothing beyond it is read.
    size = FilterExpr::ClaimedSize(expression);
    OrbResult r = FilterExpr::Parse(expression, size, cur->table().Fields(), &expr,
                                    KeyOrder::ForDriver(cur->table().LanguageDriver()));
    if (r != ORB_OK) return r;
  }
  (void)canAbort;
  uint32_t h = H().Take();
  if (expression != nullptr) H().filterBuffers[h].assign(expression, expression + size);
  cur->AddFilter(context, priority, recordFn, h, std::move(expr));
  H().filterOwner[h] = cursor;
  *filter = h;
  return ORB_OK;
}

static OrbResult SetFilterActive(OrbCursor cursor, OrbFilter filter, bool active) {
  CURSOR_OR_FAIL(cursor);
  NOT_BUSY;
  FilterEntry* f = cur->FindFilter(filter);
  if (f == nullptr) return BadHandle("filter");
  f->active = active;
  return ORB_OK;
}

OrbResult EngineActivateFilter(OrbCursor cursor, OrbFilter filter) {
  ORB_ENTER;
  return SetFilterActive(cursor, filter, true);
}

OrbResult EngineDeactivateFilter(OrbCursor cursor, OrbFilter filter) {
  ORB_ENTER;
  return SetFilterActive(cursor, filter, false);
}

OrbResult EngineDropFilter(OrbCursor cursor, OrbFilter filter) {
  ORB_ENTER;
  CURSOR_OR_FAIL(cursor);
  NOT_BUSY;
  if (cur->FindFilter(filter) == nullptr) return BadHandle("filter");
  H().filterOwner.erase(filter);
  H().filterBuffers.erase(filter);
  return cur->DropFilter(filter);
}

OrbResult EngineGetFilterBuffer(OrbCursor cursor, OrbFilter filter, uint8_t* buffer, uint32_t size,
                                uint32_t* length) {
  ORB_ENTER;
  CURSOR_OR_FAIL(cursor);
  if (cur->FindFilter(filter) == nullptr) return BadHandle("filter");
  if (length == nullptr || (size > 0 && buffer == nullptr)) return Fail(ORB_ERR_INVALID_PARAM, "no out buffer");
  auto it = H().filterBuffers.find(filter);
  if (it == H().filterBuffers.end()) return Fail(ORB_ERR_INVALID_PARAM, "a callback filter has no buffer");
  *length = static_cast<uint32_t>(it->second.size());
  if (size < it->second.size()) return Fail(ORB_ERR_BUFFER_TOO_SMALL, "the filter buffer is larger");
  std::memcpy(buffer, it->second.data(), it->second.size());
  return ORB_OK;
}

OrbResult EngineOpenBlob(OrbCursor cursor, uint8_t* record, uint16_t fieldNumber, uint16_t mode) {
  ORB_ENTER;
  CURSOR_OR_FAIL(cursor);
  if (record == nullptr) return Fail(ORB_ERR_INVALID_PARAM, "no record buffer");
  return cur->OpenBlob(record, fieldNumber, mode);
}

// The text of a blob: the open one, else read afresh from the memo file.
static OrbResult BlobText(Cursor* cur, const uint8_t* record, uint16_t field, std::vector<uint8_t>* tmp,
                          const std::vector<uint8_t>** text) {
  if (Blob* b = cur->FindBlob(record, field)) {
    *text = &b->text;
    return ORB_OK;
  }
  OrbResult r = cur->ReadMemo(record, field, tmp);
  *text = tmp;
  return r;
}

OrbResult EngineGetBlobSize(OrbCursor cursor, const uint8_t* record, uint16_t fieldNumber, uint32_t* size) {
  ORB_ENTER;
  CURSOR_OR_FAIL(cursor);
  if (record == nullptr || size == nullptr) return Fail(ORB_ERR_INVALID_PARAM, "missing argument");
  std::vector<uint8_t> tmp;
  const std::vector<uint8_t>* text = nullptr;
  OrbResult r = BlobText(cur, record, fieldNumber, &tmp, &text);
  if (r != ORB_OK) return r;
  *size = static_cast<uint32_t>(text->size());
  return ORB_OK;
}

OrbResult EngineGetBlob(OrbCursor cursor, const uint8_t* record, uint16_t fieldNumber, uint32_t offset,
                        uint32_t length, uint8_t* dest, uint32_t* bytesRead) {
  ORB_ENTER;
  if (bytesRead != nullptr) *bytesRead = 0;
  CURSOR_OR_FAIL(cursor);
  if (record == nullptr || (dest == nullptr && length > 0) || bytesRead == nullptr) {
    return Fail(ORB_ERR_INVALID_PARAM, "missing argument");
  }
  std::vector<uint8_t> tmp;
  const std::vector<uint8_t>* text = nullptr;
  OrbResult r = BlobText(cur, record, fieldNumber, &tmp, &text);
  if (r != ORB_OK) return r;
  uint32_t avail = offset < text->size() ? static_cast<uint32_t>(text->size() - offset) : 0;
  uint32_t n = std::min(avail, length);
  if (n > 0) std::memcpy(dest, text->data() + offset, n);
  *bytesRead = n;
  return n < length ? Fail(ORB_ERR_BLOB_END, "end of memo") : ORB_OK;
}

static OrbResult WritableBlob(Cursor* cur, uint8_t* record, uint16_t field, Blob** blob) {
  *blob = cur->FindBlob(record, field);
  if (*blob == nullptr) return Fail(ORB_ERR_INVALID_PARAM, "the blob is not open");
  if ((*blob)->mode != ORB_BLOB_READ_WRITE) return Fail(ORB_ERR_READ_ONLY, "the blob was opened for reading");
  return ORB_OK;
}

OrbResult EnginePutBlob(OrbCursor cursor, uint8_t* record, uint16_t fieldNumber, uint32_t offset, uint32_t length,
                        const uint8_t* src) {
  ORB_ENTER;
  CURSOR_OR_FAIL(cursor);
  if (record == nullptr || (src == nullptr && length > 0)) return Fail(ORB_ERR_INVALID_PARAM, "missing argument");
  Blob* b = nullptr;
  OrbResult r = WritableBlob(cur, record, fieldNumber, &b);
  if (r != ORB_OK) return r;
  const uint64_t end = static_cast<uint64_t>(offset) + length;
  if (end > (64u << 20)) return Fail(ORB_ERR_VALUE_RANGE, "memo too long");
  if (b->text.size() < end) b->text.resize(end, ' ');
  if (length > 0) std::memcpy(b->text.data() + offset, src, length);
  b->dirty = true;
  return ORB_OK;
}

OrbResult EngineTruncateBlob(OrbCursor cursor, uint8_t* record, uint16_t fieldNumber, uint32_t length) {
  ORB_ENTER;
  CURSOR_OR_FAIL(cursor);
  if (record == nullptr) return Fail(ORB_ERR_INVALID_PARAM, "no record buffer");
  Blob* b = nullptr;
  OrbResult r = WritableBlob(cur, record, fieldNumber, &b);
  if (r != ORB_OK) return r;
  if (length < b->text.size()) b->text.resize(length);
  b->dirty = true;
  return ORB_OK;
}

OrbResult EngineFreeBlob(OrbCursor cursor, uint8_t* record, uint16_t fieldNumber) {
  ORB_ENTER;
  CURSOR_OR_FAIL(cursor);
  return cur->FreeBlob(record, fieldNumber);
}

OrbResult EnginePack(OrbDatabase db, OrbCursor cursor, const char* tableName, const char* driverType,
                     int32_t regenIndexes) {
  ORB_ENTER;
  if (driverType != nullptr && driverType[0] != 0 && Upper(driverType) != "DBASE") {
    return Fail(ORB_ERR_NOT_SUPPORTED, std::string("driver ") + driverType);
  }
  (void)regenIndexes;  // a pack renumbers records: the indexes are always rebuilt
  TableUse use;
  OrbResult r = UseTable(db, cursor, tableName, &use);
  if (r != ORB_OK) return r;
  if (use.cursor->busy()) return Fail(ORB_ERR_CURSOR_BUSY, "pack from a filter callback");
  if (!use.cursor->table().Exclusive()) return Fail(ORB_ERR_NEED_EXCLUSIVE, "pack needs the table open exclusively");
  r = use.cursor->table().Pack();
  LayoutChanged();
  use.cursor->SetToBegin();
  return r;
}

OrbResult EngineRegenIndexes(OrbCursor cursor) {
  ORB_ENTER;
  CURSOR_OR_FAIL(cursor);
  NOT_BUSY;
  if (cur->mode() == ORB_OPEN_READ_ONLY) return Fail(ORB_ERR_READ_ONLY, "the table is open read-only");
  if (cur->table().InBatch()) return Fail(ORB_ERR_INVALID_PARAM, "indexes are not rebuilt inside a batch");
  if (cur->table().Index() == nullptr) return ORB_OK;  // nothing to rebuild
  // Under the append lock: other programs change the index only under it.
  IndexLock lock(cur->table());
  if (!lock.held) return lock.Refused();
  OrbResult r = cur->table().Index()->Regenerate();
  cur->Refresh();
  return r;
}

static OrbResult NeedIndexModule() {
  return GetIndexModule() != nullptr ? ORB_OK : Fail(ORB_ERR_NO_INDEX_SUPPORT, "no index module");
}

OrbResult EngineAddIndex(OrbDatabase db, OrbCursor cursor, const char* tableName, const OrbIndexDesc* index) {
  ORB_ENTER;
  if (index == nullptr) return Fail(ORB_ERR_INVALID_PARAM, "no index descriptor");
  OrbResult r = NeedIndexModule();
  if (r != ORB_OK) return r;
  TableUse use;
  r = UseTable(db, cursor, tableName, &use);
  if (r != ORB_OK) return r;
  Table& t = use.cursor->table();
  if (use.cursor->mode() == ORB_OPEN_READ_ONLY) return Fail(ORB_ERR_READ_ONLY, "the table is open read-only");
  if (t.InBatch()) return Fail(ORB_ERR_INVALID_PARAM, "indexes are not added inside a batch");
  IndexLock lock(t);
  if (!lock.held) return lock.Refused();
  if (t.Index() == nullptr) {
    std::unique_ptr<ProductionIndex> created;
    r = GetIndexModule()->Create(t, &created);
    if (r != ORB_OK) return r;
    t.SetIndex(std::move(created));
  }
  r = t.Index()->AddTag(*index);
  if (r == ORB_OK && !t.ProductionFlag()) r = t.SetProductionFlag(true);
  return r;
}

OrbResult EngineDeleteIndex(OrbDatabase db, OrbCursor cursor, const char* tableName, const char* tagName) {
  ORB_ENTER;
  if (tagName == nullptr) return Fail(ORB_ERR_INVALID_PARAM, "no tag name");
  OrbResult r = NeedIndexModule();
  if (r != ORB_OK) return r;
  TableUse use;
  r = UseTable(db, cursor, tableName, &use);
  if (r != ORB_OK) return r;
  Table& t = use.cursor->table();
  if (t.Index() == nullptr) return Fail(ORB_ERR_NO_SUCH_INDEX, std::string("no index ") + tagName);
  if (use.cursor->mode() == ORB_OPEN_READ_ONLY) return Fail(ORB_ERR_READ_ONLY, "the table is open read-only");
  if (t.InBatch()) return Fail(ORB_ERR_INVALID_PARAM, "indexes are not deleted inside a batch");
  IndexLock lock(t);
  if (!lock.held) return lock.Refused();
  if (Upper(use.cursor->order().Name()) == Upper(tagName)) use.cursor->SetOrder(std::make_unique<NaturalOrder>(t));
  return t.Index()->DeleteTag(tagName);
}

OrbResult EngineSwitchToIndex(OrbCursor cursor, const char* tagName) {
  ORB_ENTER;
  CURSOR_OR_FAIL(cursor);
  NOT_BUSY;
  if (tagName == nullptr || tagName[0] == 0) return cur->SetOrder(std::make_unique<NaturalOrder>(cur->table()));
  OrbResult r = NeedIndexModule();
  if (r != ORB_OK) return r;
  if (cur->table().Index() == nullptr) return Fail(ORB_ERR_NO_SUCH_INDEX, std::string("no index ") + tagName);
  if (cur->table().IndexOutOfStep() && !cur->table().Index()->Damaged()) {
    return Fail(ORB_ERR_INDEX_OUT_OF_STEP, cur->table().DisplayName() + ": its production index may not match " +
                                               "the records (a change was cut off) and must be rebuilt");
  }
  std::unique_ptr<RecordOrder> order;
  r = cur->table().Index()->MakeOrder(tagName, &order);
  if (r != ORB_OK) return r;
  return cur->SetOrder(std::move(order));
}

OrbResult EngineGetActiveIndex(OrbCursor cursor, char* tagName, uint32_t size) {
  ORB_ENTER;
  CURSOR_OR_FAIL(cursor);
  if (tagName == nullptr || size == 0) return Fail(ORB_ERR_INVALID_PARAM, "no out buffer");
  std::string name = cur->order().Name();
  if (name.size() + 1 > size) return Fail(ORB_ERR_BUFFER_TOO_SMALL, "tag name buffer too small");
  std::memcpy(tagName, name.c_str(), name.size() + 1);
  return ORB_OK;
}

OrbResult EngineGetIndexDescs(OrbCursor cursor, uint16_t capacity, OrbIndexDesc* indexes, uint16_t* count) {
  ORB_ENTER;
  CURSOR_OR_FAIL(cursor);
  if (count == nullptr || (capacity > 0 && indexes == nullptr)) return Fail(ORB_ERR_INVALID_PARAM, "no out buffer");
  *count = 0;
  if (cur->table().Index() == nullptr) return GetIndexModule() != nullptr ? ORB_OK : NeedIndexModule();
  std::vector<OrbIndexDesc> tags;
  OrbResult r = cur->table().Index()->Describe(&tags);
  if (r != ORB_OK) return r;
  *count = static_cast<uint16_t>(tags.size());
  for (size_t i = 0; i < tags.size() && i < capacity; ++i) indexes[i] = tags[i];
  return ORB_OK;
}

static OrbResult Seek(Cursor* cur, uint16_t mode, const SearchKey& key) {
  if (mode > ORB_KEY_GT) return Fail(ORB_ERR_INVALID_PARAM, "unknown search mode");
  OrbResult r = NeedIndexModule();
  if (r != ORB_OK) return r;
  r = cur->order().Seek(mode, key);
  if (r != ORB_OK && r != ORB_ERR_NOT_FOUND) return r;
  OrbResult s = cur->SettleAfterSeek();
  if (r == ORB_ERR_NOT_FOUND) return r;
  // Every record of the key found may be hidden: the settled cursor then
  // stands past the key, where a search for a missing key stands.
  if (mode == ORB_KEY_EQ && (s == ORB_ERR_EOF || (s == ORB_OK && !cur->order().OnSoughtKey())))
    return Fail(ORB_ERR_NOT_FOUND, "key not found");
  return s;
}

OrbResult EngineSetToKey(OrbCursor cursor, uint16_t searchMode, uint16_t partialLength, const uint8_t* record) {
  ORB_ENTER;
  CURSOR_OR_FAIL(cursor);
  NOT_BUSY;
  if (record == nullptr) return Fail(ORB_ERR_INVALID_PARAM, "no key record");
  SearchKey key;
  key.record = record;
  key.partialLength = partialLength;
  return Seek(cur, searchMode, key);
}

OrbResult EngineSetToKeyText(OrbCursor cursor, uint16_t searchMode, const char* keyText, uint16_t partialLength) {
  ORB_ENTER;
  CURSOR_OR_FAIL(cursor);
  NOT_BUSY;
  if (keyText == nullptr) return Fail(ORB_ERR_INVALID_PARAM, "no key text");
  SearchKey key;
  key.text = keyText;
  key.partialLength = partialLength;
  return Seek(cur, searchMode, key);
}

OrbResult EngineSetRange(OrbCursor cursor, uint16_t lowPartialLength, const uint8_t* lowRecord, int32_t lowIncluded,
                         uint16_t highPartialLength, const uint8_t* highRecord, int32_t highIncluded) {
  ORB_ENTER;
  CURSOR_OR_FAIL(cursor);
  NOT_BUSY;
  OrbResult r = NeedIndexModule();
  if (r != ORB_OK) return r;
  SearchKey low, high;
  low.record = lowRecord;
  low.partialLength = lowPartialLength;
  high.record = highRecord;
  high.partialLength = highPartialLength;
  r = cur->order().SetRange(lowRecord != nullptr ? &low : nullptr, lowIncluded != 0,
                            highRecord != nullptr ? &high : nullptr, highIncluded != 0);
  if (r == ORB_OK) cur->SetToBegin();
  return r;
}

OrbResult EngineResetRange(OrbCursor cursor) {
  ORB_ENTER;
  CURSOR_OR_FAIL(cursor);
  NOT_BUSY;
  OrbResult r = NeedIndexModule();
  if (r != ORB_OK) return r;
  r = cur->order().ResetRange();
  if (r == ORB_OK) cur->SetToBegin();
  return r;
}

ORB_ORDINALS({845, (void*)&EngineGetFilterBuffer}, {1, (void*)&EngineOpenDatabase}, {2, (void*)&EngineCloseDatabase}, {3, (void*)&EngineCreateTable},
             {4, (void*)&EngineOpenTable}, {5, (void*)&EngineCloseCursor}, {6, (void*)&EngineGetTableInfo},
             {7, (void*)&EngineGetFieldDescs}, {8, (void*)&EngineFieldNumber}, {9, (void*)&EngineSetToBegin},
             {10, (void*)&EngineSetToEnd}, {14, (void*)&EngineGetFirstRecord}, {15, (void*)&EngineGetLastRecord},
             {16, (void*)&EngineGetNextRecord}, {17, (void*)&EngineGetPriorRecord}, {18, (void*)&EngineGetRecord},
             {19, (void*)&EngineGetRelativeRecord}, {21, (void*)&EngineGetRecordCount}, {25, (void*)&EngineGetSeqNo},
             {26, (void*)&EngineForceReread}, {27, (void*)&EngineGetBookmark}, {28, (void*)&EngineSetToBookmark},
             {30, (void*)&EngineCompareBookmarks}, {40, (void*)&EngineInitRecord}, {41, (void*)&EngineInsertRecord},
             {42, (void*)&EngineModifyRecord}, {43, (void*)&EngineDeleteRecord},
             {44, (void*)&EngineBeginBatch}, {45, (void*)&EngineCommitBatch}, {46, (void*)&EngineRollbackBatch}, {50, (void*)&EngineAddIndex},
             {51, (void*)&EngineDeleteIndex}, {52, (void*)&EngineSwitchToIndex}, {53, (void*)&EngineGetActiveIndex},
             {54, (void*)&EngineGetIndexDescs}, {55, (void*)&EngineSetToKey}, {56, (void*)&EngineSetToKeyText},
             {57, (void*)&EngineSetRange}, {58, (void*)&EngineResetRange}, {62, (void*)&EngineEncodeDate},
             {63, (void*)&EngineDecodeDate}, {100, (void*)&EngineOpenBlob}, {101, (void*)&EngineGetBlobSize},
             {102, (void*)&EngineGetBlob}, {103, (void*)&EnginePutBlob}, {104, (void*)&EngineTruncateBlob},
             {105, (void*)&EngineFreeBlob}, {207, (void*)&EngineGetField}, {208, (void*)&EnginePutField},
             {222, (void*)&EngineSetToSeqNo}, {223, (void*)&EngineSetToRecordNo}, {246, (void*)&EnginePack},
             {249, (void*)&EngineRegenIndexes}, {840, (void*)&EngineAddFilter}, {841, (void*)&EngineDeactivateFilter},
             {842, (void*)&EngineActivateFilter}, {843, (void*)&EngineDropFilter});
