#include "engine_cursor.h"

#include <algorithm>
#include <cstring>

#include "platform/stored_text.h"
#include "platform/stored_value.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace framework::detail {

namespace {

template <typename Word>
inline bool BlankWord(const uint8_t* p) {
  Word w;
  std::memcpy(&w, p, sizeof w);
  return w == static_cast<Word>(0x2020202020202020ull);
}

// Whether the n (>= 1) bytes at p are all blanks: the interface's blank
// field of every type, read as blank without asking the engine (most
// fields of a typical record are never filled in). A short run and the
// end of a long one are read as words that overlap.
inline bool AllBlanks(const uint8_t* p, size_t n) {
#if defined(__SSE2__)
  if (n >= 16) {
    const __m128i blanks = _mm_set1_epi8(' ');
    auto blank16 = [&blanks](const uint8_t* at) {
      const __m128i w = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
      return _mm_movemask_epi8(_mm_cmpeq_epi8(w, blanks)) == 0xFFFF;
    };
    const uint8_t* last = p + n - 16;
    for (; p < last; p += 16)
      if (!blank16(p)) return false;
    return blank16(last);
  }
#endif
  if (n >= 8) {
    const uint8_t* last = p + n - 8;
    for (; p < last; p += 8)
      if (!BlankWord<uint64_t>(p)) return false;
    return BlankWord<uint64_t>(last);
  }
  if (n >= 4) return BlankWord<uint32_t>(p) && BlankWord<uint32_t>(p + n - 4);
  if (n >= 2) return BlankWord<uint16_t>(p) && BlankWord<uint16_t>(p + n - 2);
  return *p == ' ';
}

constexpr size_t kHasNul = platform::kStoredTextHasNul;

bool IsPositionCode(OrbResult r) {
  return r == ORB_ERR_BOF || r == ORB_ERR_EOF || r == ORB_ERR_RECORD_DELETED || r == ORB_ERR_NO_CURRENT_RECORD ||
         r == ORB_ERR_NOT_FOUND;
}

}  // namespace

TFieldType EngineCursor::TypeOf(const OrbFieldDesc& d) {
  switch (d.type) {
    case ORB_FLD_CHAR: return ftString;
    case ORB_FLD_NUMERIC:
    case ORB_FLD_FLOAT:
      // Whole numbers that fit a 64-bit value read as integers.
      return d.decimals == 0 && d.width <= 18 ? ftInteger : ftFloat;
    case ORB_FLD_DATE: return ftDate;
    case ORB_FLD_LOGICAL: return ftBoolean;
    case ORB_FLD_MEMO: return ftMemo;
    default: return ftUnknown;
  }
}

EngineCursor::EngineCursor(OrbCursor handle) : e_(Engine()), handle_(handle) {
  OrbTableInfo info{};
  try {
    Check(e_.EngineGetTableInfo(handle_, &info));
    openMode_ = info.openMode;
    recordSize_ = info.recordSize;
    descs_.resize(info.fieldCount);
    uint16_t count = 0;
    Check(e_.EngineGetFieldDescs(handle_, static_cast<uint16_t>(descs_.size()), descs_.data(), &count));
    descs_.resize(std::min<size_t>(count, descs_.size()));
  } catch (...) {
    e_.EngineCloseCursor(handle_);
    throw;
  }
  for (const OrbFieldDesc& d : descs_) {
    FieldDesc f;
    f.name = d.name;
    f.type = TypeOf(d);
    f.width = d.width;
    f.decimals = d.decimals;
    f.size = f.type == ftString ? d.width : (f.type == ftFloat ? d.decimals : 0);
    fields_.push_back(f);
    const bool known = f.type != ftUnknown && d.width > 0 && d.offset + d.width <= recordSize_;
    slots_.push_back({d.offset, static_cast<uint16_t>(slots_.size()), d.number, d.width, d.type,
                      f.type == ftInteger, known});
  }
  decodeOrder_ = slots_;
  std::stable_sort(decodeOrder_.begin(), decodeOrder_.end(), [](const Slot& a, const Slot& b) { return a.type < b.type; });
}

EngineCursor::~EngineCursor() {
  if (filter_) e_.EngineDropFilter(handle_, filter_);
  e_.EngineCloseCursor(handle_);
}

void EngineCursor::Call(OrbResult result) {
  if (pending_) {
    std::exception_ptr p = pending_;
    pending_ = nullptr;
    std::rethrow_exception(p);
  }
  Check(result);
}

std::string EngineCursor::ReadMemo(const OrbFieldDesc& d, const uint8_t* record) {
  // The blob calls want a writable buffer of their own.
  std::vector<uint8_t> copy(record, record + recordSize_);
  Check(e_.EngineOpenBlob(handle_, copy.data(), d.number, ORB_BLOB_READ_ONLY));
  std::string memo;
  OrbResult r = ORB_OK;
  for (uint32_t offset = 0; r == ORB_OK;) {
    std::vector<uint8_t> chunk(ORB_MAX_BLOB_CHUNK);
    uint32_t got = 0;
    r = e_.EngineGetBlob(handle_, copy.data(), d.number, offset, ORB_MAX_BLOB_CHUNK, chunk.data(), &got);
    if (r != ORB_OK && r != ORB_ERR_BLOB_END) break;
    memo.append(reinterpret_cast<const char*>(chunk.data()), got);
    offset += got;
    if (got == 0) break;
  }
  e_.EngineFreeBlob(handle_, copy.data(), d.number);
  if (r != ORB_OK && r != ORB_ERR_BLOB_END) Check(r);
  return memo;
}

// Inlined into the record loop: a call per field costs as much as the dispatch.
__attribute__((always_inline)) inline void EngineCursor::DecodeField(const Slot& f, const uint8_t* record, bool withMemos,
                                                                    FieldValue& out) {
  // Text, numbers and dates are read from their bytes below, blanks and
  // all; a blank field of another type needs no call of the engine.
  if (f.blankable && (f.type == ORB_FLD_LOGICAL || f.type == ORB_FLD_MEMO) && AllBlanks(record + f.offset, f.width)) {
    if (out.index() != 0) out = std::monostate{};
    return;
  }
  int32_t blank = 0;
  OrbResult r = ORB_OK;
  switch (f.type) {
    case ORB_FLD_CHAR: {
      // The text is the stored bytes less the blanks that pad them, read
      // here as the blank fields are; the engine is asked for a field that
      // holds a NUL (or lies outside the record).
      const char* text = reinterpret_cast<const char*>(record + f.offset);
      size_t length = f.blankable ? platform::StoredTextLength(record + f.offset, f.width) : kHasNul;
      if (length == kHasNul) {
        r = e_.EngineGetField(handle_, f.number, record, text_, sizeof text_, &blank);
        if (r != ORB_OK) Check(r);
        text = text_;
        length = blank ? 0 : strnlen(text_, sizeof text_);
      }
      if (length == 0) {
        out = std::monostate{};
      } else if (std::string* s = std::get_if<std::string>(&out)) {
        // Over the last record's text, within its room: the general
        // assign's checks for overlapping bytes cost more than the copy.
        s->resize(length);
        std::memcpy(s->data(), text, length);
      } else {
        out.emplace<std::string>(text, length);
      }
      break;
    }
    case ORB_FLD_NUMERIC:
    case ORB_FLD_FLOAT: {
      // Numbers and dates too are read here from the stored bytes, by the
      // reader the engine's decoder uses.
      double v = 0;
      if (f.blankable) {
        blank = !platform::StoredNumber(record + f.offset, f.width, &v);
      } else {
        r = e_.EngineGetField(handle_, f.number, record, &v, sizeof v, &blank);
        if (r != ORB_OK) Check(r);
      }
      if (blank)
        out = std::monostate{};
      else if (f.integer)
        out = static_cast<int64_t>(v < 0 ? v - 0.5 : v + 0.5);
      else
        out = v;
      break;
    }
    case ORB_FLD_DATE: {
      int32_t day = 0;
      if (f.blankable) {
        day = platform::StoredDate(record + f.offset, f.width);
        blank = day == 0;
      } else {
        r = e_.EngineGetField(handle_, f.number, record, &day, sizeof day, &blank);
        if (r != ORB_OK) Check(r);
      }
      if (blank)
        out = std::monostate{};
      else
        out = static_cast<int64_t>(day);
      break;
    }
    case ORB_FLD_LOGICAL: {
      int16_t b = 0;
      r = e_.EngineGetField(handle_, f.number, record, &b, sizeof b, &blank);
      if (r != ORB_OK) Check(r);
      if (blank)
        out = std::monostate{};
      else
        out = b != 0;
      break;
    }
    case ORB_FLD_MEMO: {
      out = std::monostate{};
      uint32_t block = 0;
      Check(e_.EngineGetField(handle_, f.number, record, &block, sizeof block, &blank));
      if (blank || block == 0 || !withMemos) break;
      std::string memo = ReadMemo(descs_[f.index], record);
      if (!memo.empty()) out = std::move(memo);
      break;
    }
    default: out = std::monostate{}; break;
  }
}

void EngineCursor::Decode(const uint8_t* record, bool withMemos, std::vector<FieldValue>& values) {
  values.resize(descs_.size());
  // Fields of one type after another: the type's branch is then the same
  // many times in a row.
  for (const Slot& f : decodeOrder_) DecodeField(f, record, withMemos, values[f.index]);
}

std::string EngineCursor::Encode(RecordData& record) {
  std::string raw = record.raw;
  if (raw.size() != recordSize_) {
    raw.assign(recordSize_, '\0');
    Check(e_.EngineInitRecord(handle_, reinterpret_cast<uint8_t*>(raw.data()), recordSize_));
  }
  auto* buf = reinterpret_cast<uint8_t*>(raw.data());
  // A memo handed to the engine stays with it, keyed by the buffer's address,
  // until freed: a field refused after it must not leave it there for the
  // next record stored from a buffer at the same address.
  std::vector<uint16_t> openMemos;
  try {
    EncodeInto(record, buf, openMemos);
  } catch (...) {
    for (uint16_t number : openMemos) e_.EngineFreeBlob(handle_, buf, number);
    throw;
  }
  return raw;
}

void EngineCursor::EncodeInto(const RecordData& record, uint8_t* buf, std::vector<uint16_t>& openMemos) {
  // Over the stored record, the fields an edit left alone keep their bytes.
  const bool overStored = record.raw.size() == recordSize_;
  for (size_t i = 0; i < descs_.size() && i < record.values.size(); ++i) {
    if (overStored && i < record.unchanged.size() && record.unchanged[i]) continue;
    const OrbFieldDesc& d = descs_[i];
    const FieldValue& v = record.values[i];
    if (std::holds_alternative<std::monostate>(v)) {
      Check(e_.EnginePutField(handle_, d.number, buf, nullptr));
      continue;
    }
    switch (d.type) {
      case ORB_FLD_CHAR: {
        std::string s = std::get_if<std::string>(&v) ? std::get<std::string>(v) : std::string();
        if (s.size() > d.width) s.resize(d.width);
        Check(e_.EnginePutField(handle_, d.number, buf, s.c_str()));
        break;
      }
      case ORB_FLD_NUMERIC:
      case ORB_FLD_FLOAT: {
        double x = 0;
        if (auto p = std::get_if<double>(&v)) x = *p;
        if (auto p = std::get_if<int64_t>(&v)) x = static_cast<double>(*p);
        Check(e_.EnginePutField(handle_, d.number, buf, &x));
        break;
      }
      case ORB_FLD_DATE: {
        int32_t day = 0;
        if (auto p = std::get_if<int64_t>(&v)) day = static_cast<int32_t>(*p);
        Check(e_.EnginePutField(handle_, d.number, buf, &day));
        break;
      }
      case ORB_FLD_LOGICAL: {
        int16_t b = 0;
        if (auto p = std::get_if<bool>(&v)) b = *p ? 1 : 0;
        Check(e_.EnginePutField(handle_, d.number, buf, &b));
        break;
      }
      case ORB_FLD_MEMO: {
        const std::string* s = std::get_if<std::string>(&v);
        Check(e_.EngineOpenBlob(handle_, buf, d.number, ORB_BLOB_READ_WRITE));
        openMemos.push_back(d.number);
        Check(e_.EngineTruncateBlob(handle_, buf, d.number, 0));
        if (s && !s->empty())
          Check(e_.EnginePutBlob(handle_, buf, d.number, 0, static_cast<uint32_t>(s->size()),
                                 reinterpret_cast<const uint8_t*>(s->data())));
        break;
      }
      default: break;
    }
  }
}

void EngineCursor::SetToBegin() { Check(e_.EngineSetToBegin(handle_)); }
void EngineCursor::SetToEnd() { Check(e_.EngineSetToEnd(handle_)); }

FetchResult EngineCursor::Get(Fetch mode, RecordData& record) {
  // The record's strings are reused: a scan through a recycled buffer
  // allocates nothing per record. The record is read beside the bytes the
  // buffer holds, which it then takes (their storage kept for the next).
  read_.resize(recordSize_);
  auto* buf = reinterpret_cast<uint8_t*>(read_.data());
  OrbRecordInfo info{};
  OrbResult r;
  switch (mode) {
    case Fetch::Current: r = e_.EngineGetRecord(handle_, buf, recordSize_, &info); break;
    case Fetch::Next: r = e_.EngineGetNextRecord(handle_, buf, recordSize_, &info); break;
    default: r = e_.EngineGetPriorRecord(handle_, buf, recordSize_, &info); break;
  }
  if (pending_ || !IsPositionCode(r)) Call(r);
  if (r != ORB_OK) return mode == Fetch::Prior ? FetchResult::Bof : FetchResult::Eof;
  // The same bytes read as the same values (an edit's fresh look, the read
  // after a post); a memo may have changed in its blocks, so memos are read.
  const bool same = record.decoded && record.raw.size() == read_.size() && record.values.size() == descs_.size() &&
                    std::memcmp(record.raw.data(), read_.data(), read_.size()) == 0;
  record.decoded = false;
  if (same) {
    for (const Slot& f : slots_)
      if (f.type == ORB_FLD_MEMO) DecodeField(f, buf, true, record.values[f.index]);
  } else {
    record.raw.swap(read_);
    Decode(reinterpret_cast<const uint8_t*>(record.raw.data()), true, record.values);
  }
  record.decoded = true;
  record.bookmark.resize(ORB_BOOKMARK_SIZE);
  Check(e_.EngineGetBookmark(handle_, reinterpret_cast<uint8_t*>(record.bookmark.data()), ORB_BOOKMARK_SIZE));
  return FetchResult::Ok;
}

void EngineCursor::SetToBookmark(const TBookmark& bookmark) {
  if (bookmark.size() != ORB_BOOKMARK_SIZE) throw EDatabaseError("Invalid bookmark");
  Call(e_.EngineSetToBookmark(handle_, reinterpret_cast<const uint8_t*>(bookmark.data())));
}

bool EngineCursor::BookmarkValid(const TBookmark& bookmark) {
  if (bookmark.size() != ORB_BOOKMARK_SIZE) return false;
  if (e_.EngineSetToBookmark(handle_, reinterpret_cast<const uint8_t*>(bookmark.data())) != ORB_OK) return false;
  std::string raw(recordSize_, '\0');
  OrbRecordInfo info{};
  OrbResult r = e_.EngineGetRecord(handle_, reinterpret_cast<uint8_t*>(raw.data()), recordSize_, &info);
  pending_ = nullptr;
  return r == ORB_OK;
}

int EngineCursor::CompareBookmarks(const TBookmark& a, const TBookmark& b) {
  if (a.size() != ORB_BOOKMARK_SIZE || b.size() != ORB_BOOKMARK_SIZE) throw EDatabaseError("Invalid bookmark");
  int32_t result = 0;
  Check(e_.EngineCompareBookmarks(handle_, reinterpret_cast<const uint8_t*>(a.data()),
                                  reinterpret_cast<const uint8_t*>(b.data()), &result));
  return result < 0 ? -1 : (result > 0 ? 1 : 0);
}

int EngineCursor::RecordCount() {
  uint32_t count = 0;
  Call(e_.EngineGetRecordCount(handle_, &count));
  return static_cast<int>(count);
}

int EngineCursor::RecordCountWithoutFilter() {
  if (!filter_) return RecordCount();
  // Set aside for the one call (a flag in the engine, nothing moves).
  Check(e_.EngineDeactivateFilter(handle_, filter_));
  uint32_t count = 0;
  const OrbResult r = e_.EngineGetRecordCount(handle_, &count);
  Check(e_.EngineActivateFilter(handle_, filter_));
  Call(r);
  return static_cast<int>(count);
}

int EngineCursor::SequenceNumber() {
  uint32_t seq = 0;
  OrbResult r = e_.EngineGetSeqNo(handle_, &seq);
  if (pending_) Call(r);
  return r == ORB_OK && seq > 0 ? static_cast<int>(seq) : -1;
}

void EngineCursor::Refresh() { Call(e_.EngineForceReread(handle_)); }

RecordData EngineCursor::NewRecord() {
  RecordData r;
  r.raw.assign(recordSize_, '\0');
  Check(e_.EngineInitRecord(handle_, reinterpret_cast<uint8_t*>(r.raw.data()), recordSize_));
  r.values.assign(descs_.size(), FieldValue{});
  return r;
}

void EngineCursor::Insert(RecordData& record) {
  std::string raw = Encode(record);
  auto* buf = reinterpret_cast<uint8_t*>(raw.data());
  OrbResult r = e_.EngineInsertRecord(handle_, buf, recordSize_);
  for (const OrbFieldDesc& d : descs_)
    if (d.type == ORB_FLD_MEMO) e_.EngineFreeBlob(handle_, buf, d.number);
  Call(r);
  record.raw = raw;
  record.bookmark.assign(ORB_BOOKMARK_SIZE, '\0');
  Check(e_.EngineGetBookmark(handle_, reinterpret_cast<uint8_t*>(record.bookmark.data()), ORB_BOOKMARK_SIZE));
}

void EngineCursor::Modify(RecordData& record) {
  const bool overStored = record.raw.size() == recordSize_;
  std::string raw = Encode(record);
  auto* buf = reinterpret_cast<uint8_t*>(raw.data());
  OrbResult r = e_.EngineModifyRecord(handle_, buf, recordSize_);
  for (const OrbFieldDesc& d : descs_)
    if (d.type == ORB_FLD_MEMO) e_.EngineFreeBlob(handle_, buf, d.number);
  Call(r);
  record.raw.swap(raw);
  // The values become what the stored bytes read as (a number cut to its
  // decimals, a text to its width); those the edit left alone already are.
  record.decoded = false;
  record.values.resize(descs_.size());
  const auto* stored = reinterpret_cast<const uint8_t*>(record.raw.data());
  for (const Slot& f : slots_)
    if (!overStored || f.index >= record.unchanged.size() || !record.unchanged[f.index])
      DecodeField(f, stored, true, record.values[f.index]);
  record.decoded = true;
}

void EngineCursor::Delete() { Call(e_.EngineDeleteRecord(handle_)); }

int EngineCursor::FilterTrampoline(void* context, const uint8_t* record, uint32_t) {
  auto* self = static_cast<EngineCursor*>(context);
  // Nothing may unwind through the engine: a failure is kept and raised
  // when the engine call that asked returns.
  if (self->pending_ || !self->accept_) return 1;
  try {
    // The fields are decoded as the filter reads them (FilterValue): a
    // test of two fields should not pay for all of them.
    for (size_t i = 0; i < self->filterDecoded_.size(); ++i)
      if (self->filterDecoded_[i]) self->filterValues_[i] = FieldValue{};
    self->filterValues_.resize(self->descs_.size());
    self->filterDecoded_.assign(self->descs_.size(), 0);
    self->filterRecord_ = record;
    struct Done {
      EngineCursor* cursor;
      ~Done() { cursor->filterRecord_ = nullptr; }
    } done{self};
    return self->accept_(self->filterValues_) ? 1 : 0;
  } catch (...) {
    self->pending_ = std::current_exception();
    return 1;
  }
}

const FieldValue* EngineCursor::FilterValue(size_t index) {
  if (!filterRecord_ || index >= filterValues_.size()) return nullptr;
  if (!filterDecoded_[index]) {
    DecodeField(slots_[index], filterRecord_, false, filterValues_[index]);
    filterDecoded_[index] = 1;
  }
  return &filterValues_[index];
}

void EngineCursor::DropFilter() {
  if (filter_) {
    OrbFilter f = filter_;
    filter_ = 0;
    Check(e_.EngineDropFilter(handle_, f));
  }
}

void EngineCursor::SetFilter(std::function<bool(const std::vector<FieldValue>&)> accept) {
  DropFilter();
  accept_ = std::move(accept);
  if (!accept_) return;
  OrbFilter f = 0;
  Check(e_.EngineAddFilter(handle_, this, 1, 0, nullptr, &EngineCursor::FilterTrampoline, &f));
  filter_ = f;
  Check(e_.EngineActivateFilter(handle_, filter_));
}

// ------------------------------------------------------------------ indexes

std::vector<IndexInfo> EngineCursor::Indexes() {
  uint16_t count = 0;
  Check(e_.EngineGetIndexDescs(handle_, 0, nullptr, &count));
  std::vector<OrbIndexDesc> descs(count);
  if (count > 0) Check(e_.EngineGetIndexDescs(handle_, count, descs.data(), &count));
  std::vector<IndexInfo> out;
  for (size_t i = 0; i < descs.size() && i < count; ++i) {
    const OrbIndexDesc& d = descs[i];
    IndexInfo info;
    info.name = d.tagName;
    info.fields = d.expression;
    if (d.options & ORB_IDX_UNIQUE) info.options |= ixUnique;
    if (d.options & ORB_IDX_DESCENDING) info.options |= ixDescending;
    if (d.options & ORB_IDX_CASE_INSENSITIVE) info.options |= ixCaseInsensitive;
    if (d.fieldCount == 1 && !(d.options & ORB_IDX_EXPRESSION)) {
      info.keyFields.push_back(d.fieldNumbers[0]);
      if (d.fieldNumbers[0] >= 1 && d.fieldNumbers[0] <= descs_.size())
        info.fields = descs_[d.fieldNumbers[0] - 1].name;
    } else {
      info.options |= ixExpression;
    }
    out.push_back(info);
  }
  return out;
}

void EngineCursor::SwitchToIndex(const std::string& name) { Call(e_.EngineSwitchToIndex(handle_, name.c_str())); }

void EngineCursor::AddIndex(const IndexInfo& index) {
  OrbIndexDesc d{};
  std::strncpy(d.tagName, index.name.c_str(), ORB_MAX_TAG_NAME);
  std::strncpy(d.expression, index.fields.c_str(), ORB_MAX_KEY_EXPRESSION);
  if (index.options & ixUnique) d.options |= ORB_IDX_UNIQUE;
  if (index.options & ixDescending) d.options |= ORB_IDX_DESCENDING;
  if (index.options & ixExpression) d.options |= ORB_IDX_EXPRESSION;
  Check(e_.EngineAddIndex(0, handle_, nullptr, &d));
}

void EngineCursor::DeleteIndex(const std::string& name) { Check(e_.EngineDeleteIndex(0, handle_, nullptr, name.c_str())); }

bool EngineCursor::FindKey(const KeySearch& key) {
  uint16_t mode = key.nearest ? ORB_KEY_GE : ORB_KEY_EQ;
  OrbResult r;
  if (key.useText) {
    r = e_.EngineSetToKeyText(handle_, mode, key.keyText.c_str(), 0);
  } else {
    RecordData rec;
    rec.values = key.record;
    std::string raw = Encode(rec);
    r = e_.EngineSetToKey(handle_, mode, 0, reinterpret_cast<const uint8_t*>(raw.data()));
  }
  if (pending_ || !IsPositionCode(r)) Call(r);
  return r == ORB_OK;
}

void EngineCursor::SetRange(const std::vector<FieldValue>* low, const std::vector<FieldValue>* high) {
  std::string lowRaw, highRaw;
  if (low) {
    RecordData r;
    r.values = *low;
    lowRaw = Encode(r);
  }
  if (high) {
    RecordData r;
    r.values = *high;
    highRaw = Encode(r);
  }
  Call(e_.EngineSetRange(handle_, 0, low ? reinterpret_cast<const uint8_t*>(lowRaw.data()) : nullptr, 1, 0,
                         high ? reinterpret_cast<const uint8_t*>(highRaw.data()) : nullptr, 1));
}

void EngineCursor::CancelRange() { Call(e_.EngineResetRange(handle_)); }

}  // namespace framework::detail
