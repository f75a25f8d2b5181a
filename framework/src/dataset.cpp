// TDataSet: states, the buffered window of records, moves, edits and the
// data events.
//
// The window holds up to BufferCount records in cursor order; `active_` is
// the one fields read. `cursorRec_` remembers which buffer the cursor stands
// on, so that a move past either end of the window continues from there.
#include <algorithm>

#include "cursor.h"
#include "framework/db.h"
#include "record_buffer.h"

namespace framework {

using detail::Fetch;
using detail::FetchResult;

namespace detail {

std::vector<IndexInfo> Cursor::Indexes() { return {}; }
void Cursor::SwitchToIndex(const std::string& name) {
  if (!name.empty()) throw EDatabaseError("Indexes are not supported by this dataset");
}
void Cursor::AddIndex(const IndexInfo&) { throw EDatabaseError("Indexes are not supported by this dataset"); }
void Cursor::DeleteIndex(const std::string&) { throw EDatabaseError("Indexes are not supported by this dataset"); }
bool Cursor::FindKey(const KeySearch&) { throw EDatabaseError("Indexes are not supported by this dataset"); }
void Cursor::SetRange(const std::vector<FieldValue>*, const std::vector<FieldValue>*) {
  throw EDatabaseError("Ranges are not supported by this dataset");
}
void Cursor::CancelRange() {}

}  // namespace detail

namespace {

void Call(const TDataSetNotifyEvent& event, TDataSet& ds) {
  if (event) event(ds);
}

}  // namespace

TDataSet::TDataSet() = default;

TDataSet::~TDataSet() {
  try {
    if (Active()) Close();
  } catch (...) {
    // A destructor cannot report; the cursor is released below either way.
  }
  cursor_.reset();
  std::vector<TDataSource*> sources = dataSources_;
  for (TDataSource* s : sources) s->SetDataSet(nullptr);
}

void TDataSet::Fail(const std::string& message) const { throw EDatabaseError(message); }

void TDataSet::CheckActive() const {
  if (!Active()) Fail("Cannot perform this operation on a closed dataset");
}

void TDataSet::CheckInactive() const {
  if (Active()) Fail("Cannot perform this operation on an open dataset");
}

void TDataSet::CheckCanMove() const {
  CheckActive();
  if (state_ == dsFilter || state_ == dsCalcFields || inFetch_)
    Fail("Cannot move the dataset while a record is being filtered or calculated");
}

bool TDataSet::CanModify() const { return cursor_ && cursor_->CanModify(); }

void TDataSet::CheckCanModifyNow() const {
  if (!CanModify()) Fail("Cannot modify a read-only dataset");
}

TDataSet::Buffer& TDataSet::ActiveBuf() { return *buffers_.at(static_cast<size_t>(active_)); }

bool TDataSet::IsEmpty() const { return buffers_.empty(); }

// ------------------------------------------------------------ field access

const std::vector<FieldValue>* TDataSet::CurrentValues() const {
  switch (state_) {
    case dsCalcFields: return calcBuffer_ ? &calcBuffer_->data.values : nullptr;
    case dsFilter: return filterValues_;
    case dsSetKey: return &keyValues_;
    case dsInactive: return nullptr;
    default:
      if (buffers_.empty() || active_ < 0 || active_ >= static_cast<int>(buffers_.size())) return nullptr;
      return &buffers_[static_cast<size_t>(active_)]->data.values;
  }
}

std::vector<FieldValue>* TDataSet::CurrentCalcValues() const {
  switch (state_) {
    case dsCalcFields: return calcBuffer_ ? &calcBuffer_->calc : nullptr;
    case dsFilter: return const_cast<std::vector<FieldValue>*>(&filterCalc_);
    case dsInactive:
    case dsSetKey: return nullptr;
    default:
      if (buffers_.empty() || active_ < 0 || active_ >= static_cast<int>(buffers_.size())) return nullptr;
      return &buffers_[static_cast<size_t>(active_)]->calc;
  }
}

std::vector<FieldValue>* TDataSet::WritableValues() {
  if (state_ == dsSetKey) return &keyValues_;
  if (state_ == dsEdit || state_ == dsInsert) return buffers_.empty() ? nullptr : &ActiveBuf().data.values;
  return nullptr;
}

std::vector<FieldValue>* TDataSet::WritableCalcValues() { return CurrentCalcValues(); }

void TDataSet::FieldChanged(TField* field) {
  if (state_ == dsEdit || state_ == dsInsert) {
    if (!field->Calculated()) {
      modified_ = true;
      if (!calcFields_.empty() && !buffers_.empty()) CalculateFields(ActiveBuf());
    }
  }
  DataEvent(deFieldChange, reinterpret_cast<intptr_t>(field));
}

TField* TDataSet::FindField(std::string_view name) const {
  for (TField* f : fields_)
    if (SameText(f->FieldName(), name)) return f;
  return nullptr;
}

TField* TDataSet::FieldByName(std::string_view name) const {
  if (TField* f = FindField(name)) return f;
  throw EDatabaseError("Field '" + std::string(name) + "' not found");
}

TField* TDataSet::FieldByNumber(int fieldNo) const {
  for (TField* f : fields_)
    if (!f->Calculated() && f->FieldNo() == fieldNo) return f;
  return nullptr;
}

void TDataSet::GetFieldNames(std::vector<std::string>& names) const {
  names.clear();
  for (TField* f : fields_) names.push_back(f->FieldName());
}

TField* TDataSet::AddCalcField(const std::string& name, TFieldType type, int size) {
  CheckInactive();
  if (FindField(name)) Fail("Duplicate field name '" + name + "'");
  auto f = CreateField(type, size);
  f->fieldName_ = name;
  f->dataSet_ = this;
  f->calculated_ = true;
  f->calcIndex_ = static_cast<int>(calcFields_.size());
  TField* raw = f.get();
  calcFields_.push_back(raw);
  fields_.push_back(raw);
  ownedFields_.push_back(std::move(f));
  return raw;
}

void TDataSet::RebuildFields() {
  fields_.clear();
  ownedFields_.erase(std::remove_if(ownedFields_.begin(), ownedFields_.end(),
                                    [](const std::unique_ptr<TField>& f) { return !f->Calculated(); }),
                     ownedFields_.end());
  if (cursor_) {
    std::vector<detail::FieldDesc> descs = cursor_->Fields();
    fieldDefs_.Clear();
    for (size_t i = 0; i < descs.size(); ++i) {
      const detail::FieldDesc& d = descs[i];
      TFieldDef& def = fieldDefs_.Add(d.name, d.type, d.size, d.required);
      def.SetPrecision(d.width);
      auto f = CreateField(d.type, d.size);
      f->fieldName_ = d.name;
      f->fieldNo_ = static_cast<int>(i) + 1;
      f->dataSet_ = this;
      f->decimals_ = d.decimals;
      f->dbaseWidth_ = d.width;
      f->required_ = d.required;
      fields_.push_back(f.get());
      ownedFields_.push_back(std::move(f));
    }
  }
  for (TField* c : calcFields_) fields_.push_back(c);
}

void TDataSet::MovedField(TField* field, int newIndex) {
  auto it = std::find(fields_.begin(), fields_.end(), field);
  if (it == fields_.end()) return;
  int count = static_cast<int>(fields_.size());
  newIndex = std::clamp(newIndex, 0, count - 1);
  int old = static_cast<int>(it - fields_.begin());
  if (old == newIndex) return;
  fields_.erase(it);
  fields_.insert(fields_.begin() + newIndex, field);
  LayoutChanged();
}

void TDataSet::LayoutChanged() {
  if (Active()) DataEvent(deLayoutChange);
}

// ------------------------------------------------------------ open, close

std::unique_ptr<detail::Cursor> TDataSet::CreateCursor() {
  Fail("This dataset has no cursor");
}

void TDataSet::SetCursor(std::unique_ptr<detail::Cursor> cursor) { cursor_ = std::move(cursor); }

void TDataSet::OpenCursor() {
  if (!cursor_) cursor_ = CreateCursor();
  if (!cursor_) return;
  RebuildFields();
  PrepareCursor();
  ApplyFilterToCursor();
}

void TDataSet::CloseCursor() { cursor_.reset(); }

void TDataSet::SetActive(bool active) {
  if (active == Active()) return;
  if (active) {
    Call(BeforeOpen, *this);
    try {
      OpenCursor();
      if (!cursor_) return;  // the open step decided there is nothing to show
      UpdateBufferCount();
      ClearBuffers();
      cursor_->SetToBegin();
      GetNextRecords();
    } catch (...) {
      ClearBuffers();
      CloseCursor();
      RebuildFields();
      throw;
    }
    bof_ = true;
    eof_ = buffers_.empty();
    SetState(dsBrowse);
    Call(AfterOpen, *this);
  } else {
    Call(BeforeClose, *this);
    keyValues_.clear();
    SetState(dsInactive);
    ClearBuffers();
    spare_.reset();
    CloseCursor();
    RebuildFields();
    bof_ = eof_ = true;
    Call(AfterClose, *this);
  }
}

void TDataSet::SetState(TDataSetState state) {
  if (state == state_) return;
  state_ = state;
  modified_ = false;
  DataEvent(deUpdateState);
}

void TDataSet::ClearBuffers() {
  if (!buffers_.empty() && !spare_) spare_ = std::move(buffers_.front());
  buffers_.clear();
  active_ = 0;
  cursorRec_ = -1;
}

// ------------------------------------------------------------- the window

void TDataSet::SetCursorTo(int buffer) {
  if (cursorRec_ == buffer) return;
  Buffer& b = *buffers_.at(static_cast<size_t>(buffer));
  switch (b.flag) {
    case Buffer::Bof: cursor_->SetToBegin(); break;
    case Buffer::Eof: cursor_->SetToEnd(); break;
    case Buffer::Inserted:
      if (b.data.bookmark.empty())
        cursor_->SetToEnd();
      else
        cursor_->SetToBookmark(b.data.bookmark);
      break;
    case Buffer::Current: cursor_->SetToBookmark(b.data.bookmark); break;
  }
  cursorRec_ = buffer;
}

// Reads into `into`, which is not in the window (a new or the spare
// buffer): a failed or refused read leaves the window as it was.
bool TDataSet::Fetch(int mode, Buffer& into) {
  FetchResult r;
  inFetch_ = true;
  try {
    r = cursor_->Get(static_cast<detail::Fetch>(mode), into.data);
  } catch (...) {
    inFetch_ = false;
    cursorRec_ = -1;
    throw;
  }
  inFetch_ = false;
  if (r != FetchResult::Ok) return false;
  into.flag = Buffer::Current;
  into.calc.assign(calcFields_.size(), FieldValue{});
  CalculateFields(into);
  return true;
}

// The buffer the next read goes into: the one the window last let go of,
// so that moving through a table reuses its storage.
std::unique_ptr<TDataSet::Buffer> TDataSet::TakeSpare() {
  if (spare_) return std::move(spare_);
  return std::make_unique<Buffer>();
}

bool TDataSet::GetNextRecord() {
  if (!buffers_.empty()) SetCursorTo(static_cast<int>(buffers_.size()) - 1);
  std::unique_ptr<Buffer> b = TakeSpare();
  cursorRec_ = -1;  // the cursor moves whatever the answer
  if (!Fetch(static_cast<int>(Fetch::Next), *b)) {
    spare_ = std::move(b);
    return false;
  }
  if (static_cast<int>(buffers_.size()) >= bufferCount_) {
    spare_ = std::move(buffers_.front());
    buffers_.erase(buffers_.begin());
    --active_;
    ++shifted_;
  }
  buffers_.push_back(std::move(b));
  cursorRec_ = static_cast<int>(buffers_.size()) - 1;
  return true;
}

bool TDataSet::GetPriorRecord() {
  if (!buffers_.empty()) SetCursorTo(0);
  std::unique_ptr<Buffer> b = TakeSpare();
  cursorRec_ = -1;
  if (!Fetch(static_cast<int>(Fetch::Prior), *b)) {
    spare_ = std::move(b);
    return false;
  }
  if (static_cast<int>(buffers_.size()) >= bufferCount_) {
    spare_ = std::move(buffers_.back());
    buffers_.pop_back();
  }
  buffers_.insert(buffers_.begin(), std::move(b));
  ++active_;
  --shifted_;
  cursorRec_ = 0;
  return true;
}

int TDataSet::GetNextRecords() {
  int n = 0;
  while (static_cast<int>(buffers_.size()) < bufferCount_ && GetNextRecord()) ++n;
  return n;
}

int TDataSet::GetPriorRecords() {
  int n = 0;
  while (static_cast<int>(buffers_.size()) < bufferCount_ && GetPriorRecord()) ++n;
  return n;
}

void TDataSet::CalculateFields(Buffer& buffer) {
  TDataSetState saved = state_;
  Buffer* savedBuffer = calcBuffer_;
  state_ = dsCalcFields;
  calcBuffer_ = &buffer;
  try {
    DoOnCalcFields();
  } catch (...) {
    state_ = saved;
    calcBuffer_ = savedBuffer;
    throw;
  }
  state_ = saved;
  calcBuffer_ = savedBuffer;
}

void TDataSet::DoOnCalcFields() { Call(OnCalcFields, *this); }

void TDataSet::UpdateCursorPos() {
  if (!cursor_ || buffers_.empty()) return;
  if (cursorRec_ != active_) SetCursorTo(active_);
}

void TDataSet::CursorPosChanged() { cursorRec_ = -1; }

void TDataSet::ResyncAround(int keepRow, std::unique_ptr<Buffer> into) {
  ClearBuffers();
  std::unique_ptr<Buffer> b = into ? std::move(into) : std::make_unique<Buffer>();
  bool ok = Fetch(static_cast<int>(Fetch::Current), *b);
  if (!ok) ok = Fetch(static_cast<int>(Fetch::Next), *b);
  if (!ok) ok = Fetch(static_cast<int>(Fetch::Prior), *b);
  if (!ok) {
    bof_ = eof_ = true;
    DataEvent(deDataSetChange);
    return;
  }
  buffers_.push_back(std::move(b));
  cursorRec_ = 0;
  active_ = 0;
  keepRow = std::clamp(keepRow, 0, bufferCount_ - 1);
  for (int k = 0; k < keepRow; ++k)
    if (!GetPriorRecord()) break;
  GetNextRecords();
  GetPriorRecords();
  bof_ = eof_ = false;
  DataEvent(deDataSetChange);
}

void TDataSet::Resync() {
  CheckActive();
  ResyncAround(active_);
}

// ------------------------------------------------------------------ moves

void TDataSet::FinishNavigate() { Call(AfterScroll, *this); }

void TDataSet::First() {
  CheckCanMove();
  CheckBrowseMode();
  Call(BeforeScroll, *this);
  ClearBuffers();
  cursor_->SetToBegin();
  shifted_ = 0;
  GetNextRecords();
  active_ = 0;
  bof_ = true;
  eof_ = buffers_.empty();
  DataEvent(deDataSetChange);
  FinishNavigate();
}

void TDataSet::Last() {
  CheckCanMove();
  CheckBrowseMode();
  Call(BeforeScroll, *this);
  ClearBuffers();
  cursor_->SetToEnd();
  shifted_ = 0;
  GetPriorRecords();
  active_ = buffers_.empty() ? 0 : static_cast<int>(buffers_.size()) - 1;
  eof_ = true;
  bof_ = buffers_.empty();
  DataEvent(deDataSetChange);
  FinishNavigate();
}

int TDataSet::MoveBy(int distance) {
  CheckCanMove();
  CheckBrowseMode();
  int moved = 0;
  if (distance == 0 || buffers_.empty()) {
    if (buffers_.empty()) bof_ = eof_ = true;
    return 0;
  }
  if ((distance > 0 && eof_ && active_ == static_cast<int>(buffers_.size()) - 1) ||
      (distance < 0 && bof_ && active_ == 0))
    return 0;
  Call(BeforeScroll, *this);
  bof_ = eof_ = false;
  shifted_ = 0;
  try {
    while (distance > 0) {
      if (active_ < static_cast<int>(buffers_.size()) - 1) {
        ++active_;
      } else if (GetNextRecord()) {
        active_ = static_cast<int>(buffers_.size()) - 1;
      } else {
        eof_ = true;
        break;
      }
      --distance;
      ++moved;
    }
    while (distance < 0) {
      if (active_ > 0) {
        --active_;
      } else if (GetPriorRecord()) {
        active_ = 0;
      } else {
        bof_ = true;
        break;
      }
      ++distance;
      --moved;
    }
  } catch (...) {
    // The window stays consistent: every step taken before the failure holds.
    active_ = std::clamp(active_, 0, std::max(0, static_cast<int>(buffers_.size()) - 1));
    DataEvent(deDataSetChange);
    throw;
  }
  if (moved != 0) {
    DataEvent(deDataSetScroll, shifted_);
    FinishNavigate();
  }
  return moved;
}

int TDataSet::RecordCount() {
  CheckActive();
  return cursor_->RecordCount();
}

int TDataSet::UnfilteredRecordCount() {
  CheckActive();
  return cursor_->RecordCountWithoutFilter();
}

int TDataSet::RecNo() {
  CheckActive();
  if (state_ == dsInsert || buffers_.empty()) return -1;
  UpdateCursorPos();
  return cursor_->SequenceNumber();
}

// ---------------------------------------------------------------- changes

void TDataSet::UpdateRecord() {
  if (state_ != dsEdit && state_ != dsInsert && state_ != dsSetKey) Fail("Dataset not in edit or insert mode");
  DataEvent(deUpdateRecord);
}

void TDataSet::CheckBrowseMode() {
  CheckActive();
  DataEvent(deCheckBrowseMode);
  switch (state_) {
    case dsEdit:
    case dsInsert:
      UpdateRecord();
      if (modified_)
        Post();
      else
        Cancel();
      break;
    case dsSetKey: SetKeyState(false); break;
    default: break;
  }
}

// The checks and events that open both Insert and Append.
void TDataSet::BeginInsert() {
  CheckCanMove();
  CheckBrowseMode();
  CheckCanModifyNow();
  Call(BeforeInsert, *this);
  Call(BeforeScroll, *this);
}

std::unique_ptr<TDataSet::Buffer> TDataSet::NewRecordBuffer(int flag) {
  auto b = std::make_unique<Buffer>();
  b->data = cursor_->NewRecord();
  b->flag = static_cast<Buffer::Flag>(flag);
  b->calc.assign(calcFields_.size(), FieldValue{});
  return b;
}

// Once the new record's buffer stands in the window: the insert state and its events.
void TDataSet::EnterInsertState() {
  bof_ = eof_ = false;
  SetState(dsInsert);
  Call(OnNewRecord, *this);
  modified_ = false;
  DataEvent(deDataSetChange);
  Call(AfterInsert, *this);
  FinishNavigate();
}

void TDataSet::Insert() {
  BeginInsert();
  std::unique_ptr<Buffer> b = NewRecordBuffer(Buffer::Inserted);
  if (buffers_.empty()) {
    buffers_.push_back(std::move(b));
    active_ = 0;
  } else {
    b->data.bookmark = ActiveBuf().flag == Buffer::Current ? ActiveBuf().data.bookmark : TBookmark();
    if (static_cast<int>(buffers_.size()) >= bufferCount_) {
      if (active_ == static_cast<int>(buffers_.size()) - 1) {
        buffers_.erase(buffers_.begin());
        // A one-row window has nothing left above the new record.
        active_ = std::max(active_ - 1, 0);
      } else {
        buffers_.pop_back();
      }
    }
    buffers_.insert(buffers_.begin() + active_, std::move(b));
  }
  cursorRec_ = -1;
  EnterInsertState();
}

void TDataSet::Append() {
  BeginInsert();
  ClearBuffers();
  buffers_.push_back(NewRecordBuffer(Buffer::Eof));
  active_ = 0;
  cursor_->SetToEnd();
  cursorRec_ = 0;
  GetPriorRecords();
  EnterInsertState();
}

void TDataSet::Edit() {
  CheckActive();
  if (state_ == dsEdit || state_ == dsInsert) return;
  if (buffers_.empty()) {
    Insert();
    return;
  }
  CheckCanMove();
  CheckBrowseMode();
  CheckCanModifyNow();
  Call(BeforeEdit, *this);
  // Edit what is stored now, not what was read when the window was filled:
  // read over the window's record (a record found as it was keeps the
  // values read before); a read that fails rebuilds the window.
  bool stored = false;
  try {
    UpdateCursorPos();
    stored = Fetch(static_cast<int>(Fetch::Current), ActiveBuf());
  } catch (const EDatabaseError& e) {
    if (e.ErrorCode() == 0) throw;  // the framework's own refusal, not a vanished record
    cursorRec_ = -1;
  }
  if (!stored) {
    ResyncAround(active_);
    Fail("The record was deleted or changed by another program");
  }
  cursorRec_ = active_;
  editBackup_ = ActiveBuf().data.values;
  ActiveBuf().data.decoded = false;  // the edit changes the values
  SetState(dsEdit);
  DataEvent(deRecordChange);
  Call(AfterEdit, *this);
}

void TDataSet::Post() {
  CheckActive();
  if (state_ == dsSetKey) {
    SetKeyState(false);
    return;
  }
  if (state_ != dsEdit && state_ != dsInsert) Fail("Dataset not in edit or insert mode");
  UpdateRecord();
  for (TField* f : fields_)
    if (f->Required() && !f->Calculated() && f->IsNull())
      Fail("Field '" + f->DisplayName() + "' must have a value");
  Call(BeforePost, *this);
  Buffer& b = ActiveBuf();
  if (state_ == dsEdit) {
    // A field the edit did not change keeps the record's own bytes: only
    // what the user changed is written anew.
    const std::vector<FieldValue>& values = b.data.values;
    b.data.unchanged.assign(values.size(), 0);
    for (size_t i = 0; i < values.size() && i < editBackup_.size(); ++i)
      b.data.unchanged[i] = values[i] == editBackup_[i];
    UpdateCursorPos();
    cursor_->Modify(b.data);
  } else {
    b.data.unchanged.clear();
    cursor_->Insert(b.data);
  }
  // The cursor stands on the stored record, which an index may have moved.
  // An edited record is read again over what was written.
  std::unique_ptr<Buffer> into;
  if (state_ == dsEdit && b.data.decoded) into = std::move(buffers_[static_cast<size_t>(active_)]);
  cursorRec_ = -1;
  int row = active_;
  state_ = dsBrowse;  // the event follows the rebuilt window
  modified_ = false;
  ResyncAround(row, std::move(into));
  DataEvent(deUpdateState);
  Call(AfterPost, *this);
}

void TDataSet::Cancel() {
  CheckActive();
  if (state_ == dsSetKey) {
    SetKeyState(false);
    return;
  }
  if (state_ != dsEdit && state_ != dsInsert) return;
  DataEvent(deCheckBrowseMode);
  Call(BeforeCancel, *this);
  if (state_ == dsEdit) {
    ActiveBuf().data.values = editBackup_;
    ActiveBuf().calc.assign(calcFields_.size(), FieldValue{});
    CalculateFields(ActiveBuf());
  } else {
    // The record the new one stood before (an append: the last one) comes
    // back when the new record was all the window held.
    const TBookmark before = ActiveBuf().flag == Buffer::Inserted ? ActiveBuf().data.bookmark : TBookmark();
    buffers_.erase(buffers_.begin() + active_);
    cursorRec_ = -1;
    if (buffers_.empty()) {
      active_ = 0;
      bof_ = eof_ = true;
      editBackup_.clear();
      try {
        RefillAfterCancel(before);
      } catch (...) {
        ClearBuffers();
        SetState(dsBrowse);
        DataEvent(deDataSetChange);
        throw;
      }
    } else {
      active_ = std::min(active_, static_cast<int>(buffers_.size()) - 1);
      GetNextRecords();
      GetPriorRecords();
    }
  }
  editBackup_.clear();
  SetState(dsBrowse);
  DataEvent(deDataSetChange);
  Call(AfterCancel, *this);
}

void TDataSet::RefillAfterCancel(const TBookmark& before) {
  std::unique_ptr<Buffer> b = TakeSpare();
  bool ok = false;
  if (!before.empty() && cursor_->BookmarkValid(before)) {
    cursor_->SetToBookmark(before);
    ok = Fetch(static_cast<int>(Fetch::Current), *b);
  }
  if (!ok) {
    cursor_->SetToEnd();
    ok = Fetch(static_cast<int>(Fetch::Prior), *b);
  }
  if (!ok) {
    spare_ = std::move(b);
    return;
  }
  buffers_.push_back(std::move(b));
  active_ = 0;
  cursorRec_ = 0;
  GetNextRecords();
  GetPriorRecords();
  bof_ = eof_ = false;
}

void TDataSet::Delete() {
  CheckActive();
  if (state_ == dsInsert || state_ == dsSetKey) {
    Cancel();
    return;
  }
  if (buffers_.empty()) Fail("Cannot perform this operation on an empty dataset");
  CheckCanMove();
  CheckCanModifyNow();
  DataEvent(deCheckBrowseMode);
  Call(BeforeDelete, *this);
  Call(BeforeScroll, *this);
  UpdateCursorPos();
  cursor_->Delete();
  cursorRec_ = -1;
  int row = active_;
  if (state_ == dsEdit) {
    state_ = dsBrowse;
    modified_ = false;
    ResyncAround(row);
    DataEvent(deUpdateState);
  } else {
    ResyncAround(row);
  }
  Call(AfterDelete, *this);
  FinishNavigate();
}

void TDataSet::Refresh() {
  CheckCanMove();
  CheckBrowseMode();
  UpdateCursorPos();
  cursor_->Refresh();
  ResyncAround(active_);
}

void TDataSet::SetKeyState(bool on) {
  if (on) {
    CheckBrowseMode();
    keyValues_.assign(fieldDefs_.Count(), FieldValue{});
    SetState(dsSetKey);
  } else if (state_ == dsSetKey) {
    SetState(dsBrowse);
  }
}

// -------------------------------------------------------------- bookmarks

TBookmark TDataSet::GetBookmark() {
  if (!Active() || buffers_.empty() || state_ == dsInsert) return TBookmark();
  return ActiveBuf().data.bookmark;
}

void TDataSet::GotoBookmark(const TBookmark& bookmark) {
  CheckCanMove();
  if (bookmark.empty()) Fail("Invalid bookmark");
  CheckBrowseMode();
  Call(BeforeScroll, *this);
  cursor_->SetToBookmark(bookmark);
  cursorRec_ = -1;
  ResyncAround((bufferCount_ - 1) / 2);
  FinishNavigate();
}

bool TDataSet::BookmarkValid(const TBookmark& bookmark) {
  if (!Active() || bookmark.empty()) return false;
  bool valid = cursor_->BookmarkValid(bookmark);
  cursorRec_ = -1;  // the test may have moved the cursor
  return valid;
}

int TDataSet::CompareBookmarks(const TBookmark& a, const TBookmark& b) {
  if (a.empty() || b.empty()) return a.empty() == b.empty() ? 0 : (a.empty() ? -1 : 1);
  CheckActive();
  return cursor_->CompareBookmarks(a, b);
}

// -------------------------------------------------------------- filtering

bool TDataSet::FilterAccepts(const std::vector<FieldValue>& values) {
  if (!onFilterRecord_) return true;
  TDataSetState saved = state_;
  const std::vector<FieldValue>* savedValues = filterValues_;
  state_ = dsFilter;
  filterValues_ = &values;
  filterCalc_.assign(calcFields_.size(), FieldValue{});
  bool accept = true;
  try {
    onFilterRecord_(*this, accept);
  } catch (...) {
    state_ = saved;
    filterValues_ = savedValues;
    throw;
  }
  state_ = saved;
  filterValues_ = savedValues;
  return accept;
}

void TDataSet::ApplyFilterToCursor() {
  if (!cursor_) return;
  if (filtered_ && onFilterRecord_)
    cursor_->SetFilter([this](const std::vector<FieldValue>& v) { return FilterAccepts(v); });
  else
    cursor_->SetFilter(nullptr);
}

void TDataSet::SetFiltered(bool filtered) {
  if (filtered == filtered_) return;
  if (Active()) CheckBrowseMode();
  filtered_ = filtered;
  if (Active()) {
    ApplyFilterToCursor();
    First();
  }
}

void TDataSet::SetOnFilterRecord(TFilterRecordEvent handler) {
  if (Active()) CheckBrowseMode();
  onFilterRecord_ = std::move(handler);
  if (Active() && filtered_) {
    ApplyFilterToCursor();
    First();
  }
}

// ---------------------------------------------------------------- controls

void TDataSet::DisableControls() {
  if (disableCount_++ == 0) {
    disableState_ = state_;
    pendingLayout_ = false;
    pendingChange_ = false;
  }
}

void TDataSet::EnableControls() {
  if (disableCount_ == 0) return;
  if (--disableCount_ > 0) return;
  if (state_ != disableState_) DataEvent(deUpdateState);
  if (state_ != dsInactive) DataEvent(pendingLayout_ ? deLayoutChange : deDataSetChange);
}

void TDataSet::DataEvent(TDataEvent event, intptr_t info) {
  if (disableCount_ > 0 && event != deUpdateRecord && event != deCheckBrowseMode) {
    // The links hear of it once, at the last EnableControls. Pending edits
    // are still collected (update data) so nothing typed is lost.
    if (event == deLayoutChange) pendingLayout_ = true;
    pendingChange_ = true;
    return;
  }
  if (dataSources_.empty()) return;  // a walk with nobody listening: two events a record
  std::vector<TDataSource*> sources = dataSources_;
  for (TDataSource* s : sources) s->DataEvent(event, info);
}

// ------------------------------------------------------------ buffer count

void TDataSet::AddDataSource(TDataSource* source) {
  dataSources_.push_back(source);
  UpdateBufferCount();
}

void TDataSet::RemoveDataSource(TDataSource* source) {
  dataSources_.erase(std::remove(dataSources_.begin(), dataSources_.end(), source), dataSources_.end());
  UpdateBufferCount();
}

void TDataSet::UpdateBufferCount() {
  int n = 1;
  for (TDataSource* s : dataSources_)
    for (TDataLink* l : s->links_) n = std::max(n, l->bufferCount_);
  SetBufferCount(n);
}

void TDataSet::SetBufferCount(int count) {
  count = std::max(1, count);
  if (count == bufferCount_) return;
  if (!Active() || !cursor_) {
    bufferCount_ = count;
    return;
  }
  if (count < bufferCount_) {
    int size = static_cast<int>(buffers_.size());
    int dropFront = std::max(0, active_ - (count - 1));
    if (dropFront > 0) {
      buffers_.erase(buffers_.begin(), buffers_.begin() + dropFront);
      active_ -= dropFront;
      ShiftLinks(-dropFront);
      size -= dropFront;
    }
    if (size > count) buffers_.resize(static_cast<size_t>(count));
    bufferCount_ = count;
    cursorRec_ = -1;
  } else {
    bufferCount_ = count;
    if (!buffers_.empty()) {
      shifted_ = 0;
      GetNextRecords();
      int before = active_;
      GetPriorRecords();
      ShiftLinks(active_ - before);
    }
  }
  ShiftLinks(0);
}

void TDataSet::ShiftLinks(int delta) {
  for (TDataSource* s : dataSources_)
    for (TDataLink* l : s->links_) l->firstRecord_ = l->ClampFirst(l->firstRecord_ + delta);
}

}  // namespace framework
