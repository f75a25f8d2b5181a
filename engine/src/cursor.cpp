#include "cursor.h"

#include <algorithm>
#include <cstring>

#include "fieldcodec.h"
#include "memo.h"
#include "status.h"

namespace orb {

OrbResult NaturalOrder::Next(uint32_t* recordNumber) {
  if (pos_ == kEnd) return ORB_ERR_EOF;
  if (pos_ >= table_.RecordCount()) {
    pos_ = kEnd;
    return ORB_ERR_EOF;
  }
  *recordNumber = ++pos_;
  return ORB_OK;
}

OrbResult NaturalOrder::Prior(uint32_t* recordNumber) {
  if (pos_ == kEnd || pos_ > table_.RecordCount() + 1) pos_ = table_.RecordCount() + 1;
  if (pos_ <= 1) {
    pos_ = 0;
    return ORB_ERR_BOF;
  }
  *recordNumber = --pos_;
  return ORB_OK;
}

OrbResult NaturalOrder::SetToRecord(uint32_t recordNumber, const uint8_t*) {
  if (recordNumber < 1 || recordNumber > table_.RecordCount()) return ORB_ERR_NOT_FOUND;
  pos_ = recordNumber;
  return ORB_OK;
}

Cursor::Cursor(std::shared_ptr<Table> table, uint16_t mode)
    : table_(std::move(table)), mode_(mode), order_(std::make_unique<NaturalOrder>(*table_)),
      scratch_(table_->RecordSize()) {}

Cursor::~Cursor() { Close(); }

OrbResult Cursor::Close() {
  if (closed_) return ORB_OK;
  closed_ = true;
  // A batch this cursor began ends with it, undone.
  if (table_->BatchOwner() == this) table_->RollbackBatch();
  order_.reset();
  return table_->Release(mode_);
}

bool Cursor::Visible(uint32_t recordNumber, const uint8_t* record) {
  if (record[0] == '*') return false;
  if (filters_.empty()) return true;
  inFilter_ = true;
  bool keep = true;
  for (const FilterEntry& f : filters_) {
    if (!f.active) continue;
    if ((f.fn != nullptr && f.fn(f.context, record, recordNumber) == 0) || (f.expr && !f.expr->Matches(record))) {
      keep = false;
      break;
    }
  }
  inFilter_ = false;
  return keep;
}

void Cursor::Fill(uint8_t* record, OrbRecordInfo* info, uint32_t recordNumber, const uint8_t* source) {
  if (record != nullptr) std::memcpy(record, source, table_->RecordSize());
  if (info != nullptr) {
    info->recordNumber = recordNumber;
    info->sequenceNumber = 0;
    info->deleted = source[0] == '*';
  }
}

void Cursor::SetToBegin() {
  table_->DropReadAhead();
  table_->RefreshCount();
  order_->SetToBegin();
  place_ = Place::kBegin;
  current_ = 0;
  currentGone_ = false;
}

void Cursor::SetToEnd() {
  table_->DropReadAhead();
  table_->RefreshCount();
  order_->SetToEnd();
  place_ = Place::kEnd;
  current_ = 0;
  currentGone_ = false;
}

OrbResult Cursor::Step(int direction, uint8_t* record, OrbRecordInfo* info) {
  bool refreshed = false;
  for (;;) {
    uint32_t n = 0;
    OrbResult r = direction > 0 ? order_->Next(&n) : order_->Prior(&n);
    if (r == ORB_ERR_EOF && !refreshed) {
      // Another handle may have appended since we last looked.
      refreshed = true;
      uint32_t before = table_->RecordCount();
      if (table_->RefreshCount() == ORB_OK && table_->RecordCount() > before) {
        if (place_ == Place::kOn && current_ != 0 && table_->ReadRecord(current_, scratch_.data()) == ORB_OK) {
          if (order_->SetToRecord(current_, scratch_.data()) == ORB_OK) continue;
        }
        order_->SetToBegin();
        continue;
      }
    }
    if (r == ORB_ERR_EOF || r == ORB_ERR_BOF) {
      place_ = r == ORB_ERR_EOF ? Place::kEnd : Place::kBegin;
      current_ = 0;
      currentGone_ = false;
      return r;
    }
    if (r != ORB_OK) return r;
    // The record in place in the table's blocks, read once (its deletion
    // flag is its first byte, all a seek settling asks), copied once, into
    // the caller's buffer. A callback filter is handed a copy of its own,
    // since it may read this table through another cursor, which moves the
    // blocks.
    const uint8_t* bytes = nullptr;
    r = table_->ReadRecordAhead(n, scratch_.data(), &bytes);
    if (r == ORB_ERR_NOT_FOUND) continue;  // an index entry beyond the records (index out of date)
    if (r != ORB_OK) return r;
    if (bytes != scratch_.data() && CallbackFilterActive()) {
      std::memcpy(scratch_.data(), bytes, scratch_.size());
      bytes = scratch_.data();
    }
    if (!Visible(n, bytes)) continue;
    place_ = Place::kOn;
    current_ = n;
    currentGone_ = false;
    Fill(record, info, n, bytes);
    return ORB_OK;
  }
}

OrbResult Cursor::Current(uint8_t* record, OrbRecordInfo* info) {
  if (place_ == Place::kBegin) return Fail(ORB_ERR_BOF, "the cursor is before the first record");
  if (place_ == Place::kEnd) return Fail(ORB_ERR_EOF, "the cursor is after the last record");
  if (currentGone_) return Fail(ORB_ERR_RECORD_DELETED, "the current record was deleted");
  OrbResult r = table_->ReadRecord(current_, scratch_.data());
  if (r != ORB_OK) return r;
  if (!Visible(current_, scratch_.data())) {
    return Fail(ORB_ERR_RECORD_DELETED, "record " + std::to_string(current_) + " is deleted or hidden");
  }
  Fill(record, info, current_, scratch_.data());
  return ORB_OK;
}

void Cursor::Restore(Place place, uint32_t current) {
  if (place == Place::kOn && current != 0 && table_->ReadRecord(current, scratch_.data()) == ORB_OK &&
      order_->SetToRecord(current, scratch_.data()) == ORB_OK) {
    place_ = Place::kOn;
    current_ = current;
    return;
  }
  if (place == Place::kEnd) {
    order_->SetToEnd();
    place_ = Place::kEnd;
  } else {
    order_->SetToBegin();
    place_ = Place::kBegin;
  }
  current_ = 0;
}

bool Cursor::Unfiltered() const { return std::string(order_->Name()) == "" && NoActiveFilter(); }

bool Cursor::CallbackFilterActive() const {
  for (const FilterEntry& f : filters_) {
    if (f.active && f.fn != nullptr) return true;
  }
  return false;
}

bool Cursor::NoActiveFilter() const {
  for (const FilterEntry& f : filters_) {
    if (f.active) return false;
  }
  return true;
}

OrbResult Cursor::Count(uint32_t* count) {
  // Every live record once, whatever the order: the table knows how many.
  if (NoActiveFilter() && (table_->RefreshCount(), order_->VisitsEveryRecord())) return table_->LiveCount(count);
  const Place place = place_;
  const uint32_t current = current_;
  const bool gone = currentGone_;
  table_->RefreshCount();
  order_->SetToBegin();
  uint32_t n = 0;
  OrbResult r;
  while ((r = Step(+1, nullptr, nullptr)) == ORB_OK) ++n;
  Restore(place, current);
  currentGone_ = gone;
  if (r != ORB_ERR_EOF) return r;
  *count = n;
  return ORB_OK;
}

OrbResult Cursor::SeqNo(uint32_t* seq) {
  if (place_ != Place::kOn || currentGone_) return Fail(ORB_ERR_NO_CURRENT_RECORD, "no current record");
  const uint32_t current = current_;
  if (Unfiltered()) {
    const std::vector<uint8_t>* flags = nullptr;
    OrbResult r = table_->DeletionFlags(&flags);
    if (r != ORB_OK) return r;
    if (current > flags->size() || (*flags)[current - 1] == '*') {
      return Fail(ORB_ERR_RECORD_DELETED, "the current record was deleted");
    }
    *seq = static_cast<uint32_t>(current - std::count(flags->begin(), flags->begin() + current, '*'));
    return ORB_OK;
  }
  order_->SetToBegin();
  uint32_t n = 0;
  OrbResult r;
  bool found = false;
  while ((r = Step(+1, nullptr, nullptr)) == ORB_OK) {
    ++n;
    if (current_ == current) {
      found = true;
      break;
    }
  }
  Restore(Place::kOn, current);
  if (!found) return r == ORB_ERR_EOF ? Fail(ORB_ERR_RECORD_DELETED, "the current record is hidden") : r;
  *seq = n;
  return ORB_OK;
}

OrbResult Cursor::SetToSeqNo(uint32_t seq) {
  if (seq == 0) return Fail(ORB_ERR_INVALID_PARAM, "sequence numbers start at 1");
  SetToBegin();
  if (Unfiltered()) {
    const std::vector<uint8_t>* flags = nullptr;
    OrbResult r = table_->DeletionFlags(&flags);
    if (r != ORB_OK) return r;
    uint32_t live = 0;
    for (uint32_t i = 0; i < flags->size(); ++i) {
      if ((*flags)[i] != '*' && ++live == seq) return SetToRecordNo(i + 1);
    }
    SetToEnd();
    return Fail(ORB_ERR_EOF, "fewer records than the sequence number");
  }
  OrbResult r = ORB_OK;
  for (uint32_t i = 0; i < seq && r == ORB_OK; ++i) r = Step(+1, nullptr, nullptr);
  return r;
}

OrbResult Cursor::SetToRecordNo(uint32_t recordNumber) {
  table_->RefreshCount();
  OrbResult r = table_->ReadRecord(recordNumber, scratch_.data());
  if (r != ORB_OK) return r;
  if (!Visible(recordNumber, scratch_.data())) {
    return Fail(ORB_ERR_RECORD_DELETED, "record " + std::to_string(recordNumber) + " is deleted or hidden");
  }
  r = order_->SetToRecord(recordNumber, scratch_.data());
  if (r != ORB_OK) return r;
  place_ = Place::kOn;
  current_ = recordNumber;
  currentGone_ = false;
  return ORB_OK;
}

OrbResult Cursor::Refresh() {
  table_->ForgetState();
  OrbResult r = table_->RefreshCount();
  if (r != ORB_OK) return r;
  order_->Refresh();
  if (place_ == Place::kOn) Restore(place_, current_);
  return ORB_OK;
}

// Bookmark: "OB", 2 reserved, record number, the table's record size as a
// check that it belongs to this table layout, then zeros.
OrbResult Cursor::Bookmark(uint8_t* bookmark) {
  if (place_ != Place::kOn) return Fail(ORB_ERR_NO_CURRENT_RECORD, "no current record to mark");
  std::memset(bookmark, 0, ORB_BOOKMARK_SIZE);
  bookmark[0] = 'O';
  bookmark[1] = 'B';
  std::memcpy(bookmark + 4, &current_, 4);
  uint32_t size = table_->RecordSize();
  std::memcpy(bookmark + 8, &size, 4);
  return ORB_OK;
}

static bool ReadMark(const uint8_t* b, uint32_t recordSize, uint32_t* recordNumber) {
  uint32_t size;
  std::memcpy(recordNumber, b + 4, 4);
  std::memcpy(&size, b + 8, 4);
  return b[0] == 'O' && b[1] == 'B' && size == recordSize && *recordNumber != 0;
}

OrbResult Cursor::GoToBookmark(const uint8_t* bookmark) {
  uint32_t n;
  if (!ReadMark(bookmark, table_->RecordSize(), &n)) return Fail(ORB_ERR_INVALID_PARAM, "not a bookmark of this table");
  OrbResult r = SetToRecordNo(n);
  return r == ORB_ERR_NOT_FOUND ? Fail(ORB_ERR_NOT_FOUND, "the bookmarked record is gone") : r;
}

OrbResult Cursor::CompareBookmarks(const uint8_t* a, const uint8_t* b, int32_t* result) {
  uint32_t na, nb;
  if (!ReadMark(a, table_->RecordSize(), &na) || !ReadMark(b, table_->RecordSize(), &nb)) {
    return Fail(ORB_ERR_INVALID_PARAM, "not a bookmark of this table");
  }
  std::vector<uint8_t> ra(table_->RecordSize()), rb(table_->RecordSize());
  OrbResult r = table_->ReadRecord(na, ra.data());
  if (r == ORB_OK) r = table_->ReadRecord(nb, rb.data());
  if (r != ORB_OK) return r;
  *result = order_->Compare(na, ra.data(), nb, rb.data());
  return ORB_OK;
}

// Memos always go to new blocks, on disk before the record that points to
// them: a record whose change is cut off or refused still finds its old
// memos whole. A pack gives the space of the old ones back.
OrbResult Cursor::StoreBlobs(uint8_t* record) {
  bool locked = false;
  bool wrote = false;
  OrbResult r = ORB_OK;
  for (auto& [key, blob] : blobs_) {
    if (key.first != record || !blob.dirty) continue;
    const FieldInfo* f = table_->Field(key.second);
    if (f == nullptr || table_->Memo() == nullptr) continue;
    if (!locked && !(locked = table_->LockAppend())) {
      return Fail(ORB_ERR_LOCKED, table_->DisplayName() + ": another program is writing memos");
    }
    uint32_t block = 0;
    r = table_->Memo()->Write(0, blob.text, &block);
    if (r != ORB_OK) break;
    SetMemoBlock(*f, record, block);
    wrote = true;
  }
  if (r == ORB_OK && wrote) r = table_->Memo()->Sync();
  if (locked) table_->UnlockAppend();
  return r;
}

// Once the record is stored its memos are its own.
void Cursor::BlobsStored(const uint8_t* record) {
  for (auto& [key, blob] : blobs_) {
    if (key.first == record) blob.dirty = false;
  }
}

OrbResult Cursor::Insert(uint8_t* record) {
  if (mode_ == ORB_OPEN_READ_ONLY) return Fail(ORB_ERR_READ_ONLY, table_->DisplayName() + " is open read-only");
  if (OrbResult refused = table_->BatchRefused(); refused != ORB_OK) return refused;
  record[0] = ' ';
  // Memos, record and index keys under one append lock: no other program
  // changes the index between our record and its keys.
  if (!table_->LockAppend()) return Fail(ORB_ERR_LOCKED, table_->DisplayName() + ": another program is appending");
  OrbResult r = StoreBlobs(record);
  uint32_t n = 0;
  if (r == ORB_OK) r = table_->Append(record, &n);
  if (r == ORB_OK && table_->Index() != nullptr) {
    r = table_->Index()->OnInsert(n, record);
    // Keys that could not be stored take the record back with them: a
    // failed append leaves no record behind for a retry to double.
    if (r != ORB_OK && table_->TakeBackAppend(n) == ORB_OK) table_->Index()->Restamp();
  }
  // Placed on the new record while the lock still keeps the index as this
  // insert left it (looked at afresh by the append): nothing to read again.
  if (r == ORB_OK && order_->SetToRecord(n, record) == ORB_OK) {
    place_ = Place::kOn;
    current_ = n;
    currentGone_ = false;
  }
  table_->UnlockAppend();
  if (r != ORB_OK) return r;
  BlobsStored(record);
  return ORB_OK;
}

OrbResult Cursor::Modify(uint8_t* record) {
  if (mode_ == ORB_OPEN_READ_ONLY) return Fail(ORB_ERR_READ_ONLY, table_->DisplayName() + " is open read-only");
  if (place_ != Place::kOn || currentGone_) return Fail(ORB_ERR_NO_CURRENT_RECORD, "no current record to modify");
  // The index is changed under the append lock, as appends change it; the
  // old record is read under it too, so its keys are the ones the index has.
  // A fresh look first finds an index another program has added since.
  OrbResult fresh = table_->RefreshCount();
  if (fresh != ORB_OK) return fresh;
  const bool indexed = table_->Index() != nullptr;
  if (indexed && !table_->LockAppend()) {
    return Fail(ORB_ERR_LOCKED, table_->DisplayName() + ": another program is changing the index");
  }
  const uint32_t number = current_;
  OrbResult r = ORB_OK;
  if (!table_->LockRecord(number)) {
    r = Fail(ORB_ERR_LOCKED, table_->DisplayName() + ": record " + std::to_string(number) + " is locked");
  }
  std::vector<uint8_t> before(table_->RecordSize());
  if (r == ORB_OK) r = table_->ReadRecord(number, before.data());
  if (r == ORB_OK && before[0] == '*') r = Fail(ORB_ERR_RECORD_DELETED, "the record was deleted meanwhile");
  record[0] = ' ';
  if (r == ORB_OK) r = StoreBlobs(record);
  bool written = false;
  if (r == ORB_OK) r = table_->Rewrite(number, record, &written);
  if (r == ORB_OK && indexed) r = table_->Index()->OnModify(number, before.data(), record);
  if (r != ORB_OK && written) {
    // The keys (or the sync) failed: the old record goes back, and the
    // index, which a failed change leaves as it was, matches it again.
    bool back = false;
    if (table_->Rewrite(number, before.data(), &back) == ORB_OK && indexed) table_->Index()->Restamp();
    written = !back;
  } else if (r != ORB_OK && indexed) {
    table_->Index()->Restamp();  // the counter may have moved before the record could be written
  }
  table_->UnlockRecord(number);
  if (indexed) table_->UnlockAppend();
  if (r == ORB_OK) BlobsStored(record);
  if (!written && r != ORB_OK) return r;
  order_->Refresh();
  order_->SetToRecord(current_, record);
  return r;
}

OrbResult Cursor::Delete() {
  if (mode_ == ORB_OPEN_READ_ONLY) return Fail(ORB_ERR_READ_ONLY, table_->DisplayName() + " is open read-only");
  if (place_ != Place::kOn || currentGone_) return Fail(ORB_ERR_NO_CURRENT_RECORD, "no current record to delete");
  // The flag and the index's stamp (which names the deleted records) under
  // one append lock: no other program sees the one without the other.
  if (!table_->LockAppend()) return Fail(ORB_ERR_LOCKED, table_->DisplayName() + ": another program is changing the table");
  std::vector<uint8_t> rec(table_->RecordSize());
  OrbResult r = table_->ReadRecord(current_, rec.data());
  bool moved = false;
  if (r == ORB_OK) {
    r = table_->SetDeleted(current_);
    moved = r != ORB_OK && r != ORB_ERR_RECORD_DELETED;  // the counter may have moved before the flag failed
  }
  ProductionIndex* index = table_->Index();
  if (r == ORB_OK && index != nullptr) {
    rec[0] = '*';
    r = index->OnDelete(current_, rec.data());
    // A stamp that could not be written takes the flag back with it.
    moved = r != ORB_OK;
    if (moved) table_->SetDeleted(current_, false);
  }
  // The stamp follows the counter again (a batch that failed was rolled
  // back whole, its index with it).
  if (moved && index != nullptr && !table_->InBatch()) index->Restamp();
  table_->UnlockAppend();
  if (r != ORB_OK) return r;
  currentGone_ = true;
  return ORB_OK;
}

OrbResult Cursor::AddFilter(void* context, uint16_t priority, OrbRecordFilterFn fn, OrbFilter handle,
                            std::shared_ptr<const FilterExpr> expr) {
  FilterEntry e;
  e.expr = std::move(expr);
  e.handle = handle;
  e.context = context;
  e.priority = priority;
  e.fn = fn;
  auto at = std::upper_bound(filters_.begin(), filters_.end(), priority,
                             [](uint16_t p, const FilterEntry& f) { return p < f.priority; });
  filters_.insert(at, e);
  return ORB_OK;
}

FilterEntry* Cursor::FindFilter(OrbFilter handle) {
  for (FilterEntry& f : filters_) {
    if (f.handle == handle) return &f;
  }
  return nullptr;
}

OrbResult Cursor::DropFilter(OrbFilter handle) {
  for (auto it = filters_.begin(); it != filters_.end(); ++it) {
    if (it->handle == handle) {
      filters_.erase(it);
      return ORB_OK;
    }
  }
  return Fail(ORB_ERR_INVALID_HANDLE, "no such filter on this cursor");
}

Blob* Cursor::FindBlob(const uint8_t* record, uint16_t field) {
  auto it = blobs_.find({record, field});
  return it == blobs_.end() ? nullptr : &it->second;
}

OrbResult Cursor::ReadMemo(const uint8_t* record, uint16_t field, std::vector<uint8_t>* text) {
  const FieldInfo* f = table_->Field(field);
  if (f == nullptr) return Fail(ORB_ERR_NO_SUCH_FIELD, "no field " + std::to_string(field));
  if (f->type != 'M') return Fail(ORB_ERR_FIELD_TYPE, "field " + f->name + " is not a memo");
  if (table_->Memo() == nullptr) return Fail(ORB_ERR_MEMO_MISSING, "the table has no memo file");
  return table_->Memo()->Read(MemoBlock(*f, record), text);
}

OrbResult Cursor::OpenBlob(uint8_t* record, uint16_t field, uint16_t mode) {
  if (mode > ORB_BLOB_READ_WRITE) return Fail(ORB_ERR_INVALID_PARAM, "unknown blob mode");
  if (mode == ORB_BLOB_READ_WRITE && mode_ == ORB_OPEN_READ_ONLY) {
    return Fail(ORB_ERR_READ_ONLY, table_->DisplayName() + " is open read-only");
  }
  Blob blob;
  blob.mode = mode;
  OrbResult r = ReadMemo(record, field, &blob.text);
  if (r != ORB_OK) return r;
  blobs_[{record, field}] = std::move(blob);
  return ORB_OK;
}

OrbResult Cursor::FreeBlob(uint8_t* record, uint16_t field) {
  if (blobs_.erase({record, field}) == 0) return Fail(ORB_ERR_INVALID_PARAM, "the blob is not open");
  return ORB_OK;
}

OrbResult Cursor::SetOrder(std::unique_ptr<RecordOrder> order) {
  const Place place = place_;
  const uint32_t current = current_;
  order_ = std::move(order);
  Restore(place == Place::kOn && !currentGone_ ? Place::kOn : Place::kBegin, current);
  if (place_ != Place::kOn) {
    order_->SetToBegin();
    place_ = Place::kBegin;
  }
  currentGone_ = false;
  return ORB_OK;
}

OrbResult Cursor::SettleAfterSeek() { return Step(+1, nullptr, nullptr); }

}  // namespace orb
