// The session, databases and the engine datasets.
#include "framework/dbtables.h"

#include <algorithm>
#include <cstring>

#include "engine_api.h"
#include "engine_cursor.h"
#include "platform/paths.h"

namespace framework {

using detail::Check;
using detail::Engine;

// ---------------------------------------------------------------- TSession

TSession& TSession::Default() {
  // Never destroyed: the engine may be gone by the time static objects are,
  // and the process's end releases its handles anyway.
  static TSession* session = new TSession;
  return *session;
}

bool TSession::IsLockConflict(uint16_t code) { return code == ORB_ERR_LOCKED || code == ORB_ERR_TABLE_IN_USE; }

TDatabase& TSession::OpenDatabase(const std::string& directory) {
  for (auto& db : databases_)
    if (db->DatabaseName() == directory) return *db;
  databases_.push_back(std::make_unique<TDatabase>(directory));
  return *databases_.back();
}

void TSession::LoadEngine() { Engine(); }

// --------------------------------------------------------------- TDatabase

TDatabase::~TDatabase() {
  try {
    Close();
  } catch (...) {
  }
}

void TDatabase::Open() {
  if (handle_) return;
  std::string dir = directory_.empty() ? std::string() : platform::MapPath(directory_).string();
  OrbDatabase db = 0;
  Check(Engine().EngineOpenDatabase(dir.c_str(), &db));
  handle_ = db;
}

void TDatabase::Close() {
  if (!handle_) return;
  OrbDatabase db = handle_;
  handle_ = 0;
  Check(Engine().EngineCloseDatabase(db));
}

uint32_t TDatabase::Handle() {
  Open();
  return handle_;
}

// -------------------------------------------------------------- TDBDataSet

void TDBDataSet::SetDatabaseName(const std::string& name) {
  CheckInactive();
  databaseName_ = name;
}

TDatabase& TDBDataSet::Database() { return TSession::Default().OpenDatabase(databaseName_); }
uint32_t TDBDataSet::DBHandle() { return Database().Handle(); }
uint32_t TDBDataSet::Handle() const { return Cursor() ? Cursor()->Handle() : 0; }
std::unique_ptr<detail::Cursor> TDBDataSet::AdoptEngineCursor(uint32_t handle) {
  return std::make_unique<detail::EngineCursor>(handle);
}
std::unique_ptr<detail::Cursor> TDBDataSet::CreateCursor() {
  const uint32_t handle = OpenEngineCursor();
  return handle != 0 ? AdoptEngineCursor(handle) : nullptr;
}
uint32_t TDBDataSet::OpenEngineCursor() { Fail("This dataset has no cursor"); }

// ------------------------------------------------------------------ TTable

TTable::TTable() {
  indexDefs_.updater = [this](TIndexDefs& defs) {
    if (!Cursor()) return;
    defs.Clear();
    for (const detail::IndexInfo& i : Cursor()->Indexes()) defs.Add(i.name, i.fields, i.options);
  };
}

TTable::~TTable() {
  // Closed here, while the table is still whole for its close events.
  try {
    Close();
  } catch (...) {
  }
}

void TTable::SetTableName(const std::string& name) {
  CheckInactive();
  tableName_ = name;
}

void TTable::SetTableType(TTableType type) {
  CheckInactive();
  if (type != ttDefault && type != ttDBase) throw EDatabaseError("Only dBASE tables are supported");
  tableType_ = type;
}

void TTable::SetExclusive(bool exclusive) {
  CheckInactive();
  exclusive_ = exclusive;
}

void TTable::SetReadOnly(bool readOnly) {
  CheckInactive();
  readOnly_ = readOnly;
}

bool TTable::CanModify() const { return !readOnly_ && TDataSet::CanModify(); }

std::unique_ptr<detail::Cursor> TTable::CreateCursor() {
  if (tableName_.empty()) throw EDatabaseError("Missing TableName property");
  uint16_t mode = readOnly_ ? ORB_OPEN_READ_ONLY : (exclusive_ ? ORB_OPEN_EXCLUSIVE : ORB_OPEN_SHARED);
  OrbDatabase db = DBHandle();
  while (true) {
    OrbCursor cursor = 0;
    OrbResult r = Engine().EngineOpenTable(db, tableName_.c_str(), mode, &cursor);
    if (r == ORB_OK) return std::make_unique<detail::EngineCursor>(cursor);
    if (TSession::IsLockConflict(r) && TSession::Default().LockRetry(r)) continue;
    Check(r);
  }
}

void TTable::PrepareCursor() {
  if (!indexName_.empty()) Cursor()->SwitchToIndex(indexName_);
  if (rangeStartSet_ || rangeEndSet_)
    Cursor()->SetRange(rangeStartSet_ ? &rangeStart_ : nullptr, rangeEndSet_ ? &rangeEnd_ : nullptr);
}

void TTable::SetIndexName(const std::string& name) {
  if (name == indexName_) return;
  if (Active()) {
    CheckBrowseMode();
    Cursor()->SwitchToIndex(name);
    indexName_ = name;
    rangeStartSet_ = rangeEndSet_ = false;
    First();
    DataEvent(deLayoutChange);
  } else {
    indexName_ = name;
  }
}

TIndexDefs& TTable::IndexDefs() {
  indexDefs_.Update();
  return indexDefs_;
}

namespace {

const detail::IndexInfo* FindIndex(const std::vector<detail::IndexInfo>& list, const std::string& name) {
  for (const auto& i : list)
    if (SameText(i.name, name)) return &i;
  return nullptr;
}

}  // namespace

int TTable::IndexFieldCount() {
  if (!Active() || indexName_.empty()) return 0;
  auto list = Cursor()->Indexes();
  const detail::IndexInfo* i = FindIndex(list, indexName_);
  return i ? static_cast<int>(i->keyFields.size()) : 0;
}

TField* TTable::IndexFields(int n) {
  if (!Active() || indexName_.empty()) return nullptr;
  auto list = Cursor()->Indexes();
  const detail::IndexInfo* i = FindIndex(list, indexName_);
  if (!i || n < 0 || n >= static_cast<int>(i->keyFields.size())) return nullptr;
  return FieldByNumber(i->keyFields[static_cast<size_t>(n)]);
}

bool TTable::ExpressionIndex() {
  auto list = Cursor()->Indexes();
  const detail::IndexInfo* i = FindIndex(list, indexName_);
  return i && i->keyFields.empty();
}

void TTable::AddIndex(const std::string& name, const std::string& fields, TIndexOptions options) {
  if (Active()) {
    CheckBrowseMode();
    detail::IndexInfo info{name, fields, options, {}};
    Cursor()->AddIndex(info);
    return;
  }
  if (tableName_.empty()) throw EDatabaseError("Missing TableName property");
  OrbIndexDesc d{};
  std::strncpy(d.tagName, name.c_str(), ORB_MAX_TAG_NAME);
  std::strncpy(d.expression, fields.c_str(), ORB_MAX_KEY_EXPRESSION);
  if (options & ixUnique) d.options |= ORB_IDX_UNIQUE;
  if (options & ixDescending) d.options |= ORB_IDX_DESCENDING;
  if (options & ixExpression) d.options |= ORB_IDX_EXPRESSION;
  Check(Engine().EngineAddIndex(DBHandle(), 0, tableName_.c_str(), &d));
}

void TTable::DeleteIndex(const std::string& name) {
  if (Active()) {
    CheckBrowseMode();
    Cursor()->DeleteIndex(name);
    return;
  }
  if (tableName_.empty()) throw EDatabaseError("Missing TableName property");
  Check(Engine().EngineDeleteIndex(DBHandle(), 0, tableName_.c_str(), name.c_str()));
}

// ------------------------------------------------------------ batches

bool TTable::InBatch() const { return batchCursor_ != 0 && batchCursor_ == Handle(); }

void TTable::BeginBatch() {
  CheckActive();
  CheckBrowseMode();
  Check(Engine().EngineBeginBatch(Handle()));
  batchCursor_ = Handle();
}

void TTable::CommitBatch() {
  CheckActive();
  // The batch ends whatever the commit answers: a failed one was undone.
  struct End {
    TTable& t;
    ~End() { t.batchCursor_ = 0; }
  } end{*this};
  try {
    CheckBrowseMode();
  } catch (...) {
    Engine().EngineRollbackBatch(Handle());
    RereadRecords();
    throw;
  }
  const OrbResult r = Engine().EngineCommitBatch(Handle());
  if (r != ORB_OK) {
    const std::string message = detail::ErrorMessage(r);
    RereadRecords();
    throw EDatabaseError(message, r);
  }
}

void TTable::RollbackBatch() {
  CheckActive();
  if (State() == dsEdit || State() == dsInsert) Cancel();
  const OrbResult r = Engine().EngineRollbackBatch(Handle());
  batchCursor_ = 0;
  const std::string message = r != ORB_OK ? detail::ErrorMessage(r) : std::string();
  RereadRecords();
  if (r != ORB_OK) throw EDatabaseError(message, r);
}

// After a rollback the records shown may be gone: read them again, from the
// first when the current one went.
void TTable::RereadRecords() {
  try {
    Refresh();
  } catch (const EDatabaseError&) {
    First();
  }
}

void TTable::CheckKeyIndex() {
  CheckActive();
  if (indexName_.empty()) throw EDatabaseError("No index currently active");
}

void TTable::SetKey() {
  CheckKeyIndex();
  SetKeyState(true);
  keyEdit_ = KeyEdit::Search;
}

void TTable::AssignKey(const std::vector<std::string>& values) {
  SetKey();
  try {
    int n = IndexFieldCount();
    if (static_cast<int>(values.size()) > std::max(n, 1))
      throw EDatabaseError("Too many key values for index " + indexName_);
    for (int i = 0; i < n && i < static_cast<int>(values.size()); ++i) IndexFields(i)->SetAsString(values[static_cast<size_t>(i)]);
  } catch (...) {
    SetKeyState(false);
    keyEdit_ = KeyEdit::None;
    throw;
  }
}

bool TTable::SearchKey(bool nearest) {
  detail::KeySearch key;
  key.nearest = nearest;
  key.record = KeyValues();
  SetKeyState(false);
  keyEdit_ = KeyEdit::None;
  bool found = Cursor()->FindKey(key);
  CursorPosChanged();
  if (found || nearest) {
    Resync();
    return found;
  }
  return false;
}

bool TTable::GotoKey() {
  if (State() != dsSetKey) throw EDatabaseError("Dataset not in set key mode");
  return SearchKey(false);
}

void TTable::GotoNearest() {
  if (State() != dsSetKey) throw EDatabaseError("Dataset not in set key mode");
  SearchKey(true);
}

bool TTable::FindKey(const std::vector<std::string>& values) {
  CheckKeyIndex();
  CheckBrowseMode();
  if (ExpressionIndex()) {
    // An expression key is searched by its text.
    detail::KeySearch key;
    key.useText = true;
    for (const std::string& v : values) key.keyText += v;
    bool found = Cursor()->FindKey(key);
    CursorPosChanged();
    if (found) Resync();
    return found;
  }
  AssignKey(values);
  return SearchKey(false);
}

void TTable::FindNearest(const std::vector<std::string>& values) {
  CheckKeyIndex();
  CheckBrowseMode();
  if (ExpressionIndex()) {
    detail::KeySearch key;
    key.useText = true;
    key.nearest = true;
    for (const std::string& v : values) key.keyText += v;
    Cursor()->FindKey(key);
    CursorPosChanged();
    Resync();
    return;
  }
  AssignKey(values);
  SearchKey(true);
}

void TTable::StoreKeyEdit() {
  if (State() != dsSetKey) return;
  if (keyEdit_ == KeyEdit::RangeStart) {
    rangeStart_ = KeyValues();
    rangeStartSet_ = true;
  } else if (keyEdit_ == KeyEdit::RangeEnd) {
    rangeEnd_ = KeyValues();
    rangeEndSet_ = true;
  }
}

void TTable::SetRangeStart() {
  CheckKeyIndex();
  StoreKeyEdit();
  if (State() != dsSetKey) SetKeyState(true);
  KeyValues().assign(static_cast<size_t>(TDataSet::FieldDefs().Count()), FieldValue{});
  keyEdit_ = KeyEdit::RangeStart;
  rangeStartSet_ = true;
}

void TTable::SetRangeEnd() {
  CheckKeyIndex();
  StoreKeyEdit();
  if (State() != dsSetKey) SetKeyState(true);
  KeyValues().assign(static_cast<size_t>(TDataSet::FieldDefs().Count()), FieldValue{});
  keyEdit_ = KeyEdit::RangeEnd;
  rangeEndSet_ = true;
}

void TTable::ApplyRange() {
  CheckKeyIndex();
  StoreKeyEdit();
  if (State() == dsSetKey) SetKeyState(false);
  keyEdit_ = KeyEdit::None;
  Cursor()->SetRange(rangeStartSet_ ? &rangeStart_ : nullptr, rangeEndSet_ ? &rangeEnd_ : nullptr);
  First();
}

void TTable::CancelRange() {
  CheckActive();
  if (State() == dsSetKey) SetKeyState(false);
  keyEdit_ = KeyEdit::None;
  rangeStartSet_ = rangeEndSet_ = false;
  rangeStart_.clear();
  rangeEnd_.clear();
  CheckBrowseMode();
  Cursor()->CancelRange();
  First();
}

void TTable::SetRange(const std::vector<std::string>& start, const std::vector<std::string>& end) {
  CheckKeyIndex();
  int n = IndexFieldCount();
  // A bound that does not convert leaves the range as it was, and the table
  // browsing rather than in key editing.
  const std::vector<FieldValue> oldStart = rangeStart_, oldEnd = rangeEnd_;
  const bool oldStartSet = rangeStartSet_, oldEndSet = rangeEndSet_;
  try {
    SetRangeStart();
    for (int i = 0; i < n && i < static_cast<int>(start.size()); ++i) IndexFields(i)->SetAsString(start[static_cast<size_t>(i)]);
    SetRangeEnd();
    for (int i = 0; i < n && i < static_cast<int>(end.size()); ++i) IndexFields(i)->SetAsString(end[static_cast<size_t>(i)]);
  } catch (...) {
    SetKeyState(false);
    keyEdit_ = KeyEdit::None;
    rangeStart_ = oldStart;
    rangeEnd_ = oldEnd;
    rangeStartSet_ = oldStartSet;
    rangeEndSet_ = oldEndSet;
    throw;
  }
  ApplyRange();
}

void TTable::CreateTable() {
  CheckInactive();
  if (tableName_.empty()) throw EDatabaseError("Missing TableName property");
  const TFieldDefs& defs = TDataSet::FieldDefs();
  if (defs.Count() == 0) throw EDatabaseError("No fields defined for table " + tableName_);
  std::vector<OrbFieldDesc> descs(static_cast<size_t>(defs.Count()));
  for (int i = 0; i < defs.Count(); ++i) {
    const TFieldDef& f = defs.Items(i);
    OrbFieldDesc& d = descs[static_cast<size_t>(i)];
    if (f.Name().size() > ORB_MAX_FIELD_NAME) throw EDatabaseError("Field name '" + f.Name() + "' is too long");
    std::strncpy(d.name, f.Name().c_str(), ORB_MAX_FIELD_NAME);
    switch (f.DataType()) {
      case ftString: d.type = ORB_FLD_CHAR, d.width = static_cast<uint16_t>(f.Size() > 0 ? f.Size() : 20); break;
      case ftSmallint:
      case ftInteger:
      case ftWord: d.type = ORB_FLD_NUMERIC, d.width = static_cast<uint16_t>(f.Precision()); break;
      case ftFloat:
      case ftCurrency:
      case ftBCD:
        d.type = ORB_FLD_NUMERIC;
        d.width = static_cast<uint16_t>(f.Precision());
        d.decimals = static_cast<uint8_t>(f.Size() > 0 ? f.Size() : 2);
        break;
      case ftDate: d.type = ORB_FLD_DATE, d.width = 8; break;
      case ftBoolean: d.type = ORB_FLD_LOGICAL, d.width = 1; break;
      case ftMemo:
      case ftBlob: d.type = ORB_FLD_MEMO, d.width = 10; break;
      default:
        throw EDatabaseError(std::string("A dBASE table cannot hold a field of type ") + FieldTypeName(f.DataType()));
    }
  }
  Check(Engine().EngineCreateTable(DBHandle(), tableName_.c_str(), static_cast<uint16_t>(descs.size()), descs.data(), 0));
  for (int i = 0; i < indexDefs_.Count(); ++i) {
    const TIndexDef& def = indexDefs_.Items(i);
    AddIndex(def.Name(), def.Fields(), def.Options());
  }
}

int CountTableRecords(const std::string& directory, const std::string& tableName) {
  detail::EngineApi& e = Engine();
  const std::string dir = directory.empty() ? std::string() : platform::MapPath(directory).string();
  OrbDatabase db = 0;
  Check(e.EngineOpenDatabase(dir.c_str(), &db));
  OrbCursor cursor = 0;
  uint32_t count = 0;
  // Read-only: the count may run beside the program's own shared open.
  OrbResult r = e.EngineOpenTable(db, tableName.c_str(), ORB_OPEN_READ_ONLY, &cursor);
  if (r == ORB_OK) {
    r = e.EngineGetRecordCount(cursor, &count);
    e.EngineCloseCursor(cursor);
  }
  e.EngineCloseDatabase(db);
  Check(r);
  return static_cast<int>(count);
}

// ------------------------------------------------------------------ TQuery

namespace {

// A statement freed however its use ends.
struct Statement {
  OrbStatement handle = 0;
  Statement(OrbDatabase db, uint16_t language) { Check(Engine().EngineQueryAlloc(db, language, &handle)); }
  ~Statement() {
    if (handle != 0) Engine().EngineQueryFree(handle);
  }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;
};

// A parameter in the engine's value formats.
void Bind(OrbStatement stmt, const TParam& p) {
  const FieldValue& v = p.Value();
  const std::string name = p.Name();
  detail::EngineApi& e = Engine();
  if (auto s = std::get_if<std::string>(&v)) {
    Check(e.EngineQueryBindParam(stmt, name.c_str(), 'C', s->c_str()));
  } else if (auto i = std::get_if<int64_t>(&v)) {
    if (p.DataType() == ftDate) {
      int32_t day = static_cast<int32_t>(*i);
      Check(e.EngineQueryBindParam(stmt, name.c_str(), 'D', &day));
    } else {
      double d = static_cast<double>(*i);
      Check(e.EngineQueryBindParam(stmt, name.c_str(), 'N', &d));
    }
  } else if (auto d = std::get_if<double>(&v)) {
    if (p.DataType() == ftDateTime || p.DataType() == ftDate) {
      int32_t day = DateToEngineDay(*d);
      Check(e.EngineQueryBindParam(stmt, name.c_str(), 'D', &day));
    } else {
      Check(e.EngineQueryBindParam(stmt, name.c_str(), 'N', d));
    }
  } else if (auto b = std::get_if<bool>(&v)) {
    int16_t l = *b ? 1 : 0;
    Check(e.EngineQueryBindParam(stmt, name.c_str(), 'L', &l));
  } else {
    Check(e.EngineQueryBindParam(stmt, name.c_str(), 'C', nullptr));
  }
}

}  // namespace

TQuery::~TQuery() {
  try {
    Close();
  } catch (...) {
  }
}

std::string TQuery::Text() const {
  std::string text;
  for (size_t i = 0; i < SQL.size(); ++i) text += (i > 0 ? "\n" : "") + SQL[i];
  return text;
}

void TQuery::Prepare() {
  const std::string text = Text();
  if (text.find_first_not_of(" \t\r\n") == std::string::npos) throw EDatabaseError("No SQL statement available");
  Statement s(DBHandle(), ORB_QUERY_SQL);
  Check(Engine().EngineQueryPrepare(s.handle, text.c_str()));
  uint16_t count = 0;
  Check(Engine().EngineQueryParamCount(s.handle, &count));
  for (uint16_t i = 1; i <= count; ++i) {
    char name[256] = {};
    Check(Engine().EngineQueryParamName(s.handle, i, name, sizeof name));
    if (params_.FindParam(name) == nullptr) params_.CreateParam(ftUnknown, name);
  }
  preparedText_ = text;
}

uint32_t TQuery::Run() {
  if (Text() != preparedText_) Prepare();
  while (true) {
    Statement s(DBHandle(), ORB_QUERY_SQL);
    Check(Engine().EngineQueryPrepare(s.handle, preparedText_.c_str()));
    for (int i = 0; i < params_.Count(); ++i) Bind(s.handle, params_[i]);
    OrbCursor answer = 0;
    OrbResult r = Engine().EngineQueryExecute(s.handle, &answer);
    if (TSession::IsLockConflict(r) && TSession::Default().LockRetry(r)) continue;
    Check(r);
    Check(Engine().EngineQueryRowsAffected(s.handle, &rowsAffected_));
    return answer;
  }
}

std::unique_ptr<detail::Cursor> TQuery::CreateCursor() {
  OrbCursor answer = Run();
  if (answer == 0) throw EDatabaseError("The query has no answer to show");
  return AdoptEngineCursor(answer);
}

void TQuery::ExecSQL() {
  CheckInactive();
  OrbCursor answer = Run();
  if (answer != 0) Engine().EngineCloseCursor(answer);
}

}  // namespace framework
