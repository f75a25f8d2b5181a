// The dBASE table file (.DBF), as this engine reads and writes it.
//
// Header, 32 bytes, little-endian:
//   0 version: 0x03 plain, 0x83 dBASE III with memo, 0x8B dBASE IV with memo
//     (0x43, 0x63, 0xCB from dBASE IV's SQL variants are read too)
//   1-3 date of last update: year - 1900, month, day
//   4-7 record count          8-9 header length     10-11 record length
//   14 incomplete-transaction flag   15 encryption flag (refused when set)
//   28 production .MDX flag          29 language driver
// Field descriptors follow, 32 bytes each: 0-10 name (NUL-padded), 11 type,
// 16 width, 17 decimals; the list ends with 0x0D (a missing 0x0D is
// tolerated when the header length leaves no room for it).
// Records follow at the header length: a flag byte (' ' live, '*' deleted)
// and the fields as text; the file ends with 0x1A.
//
// What a reader meets in the wild and what we do:
// - a count larger than the whole records present: the records present are
//   used and the shortfall reported (OrbTableInfo.recordsTrimmed);
// - records beyond the count (an append cut off before its count was
//   written): ignored, and overwritten by the next append;
// - a record length longer than the fields need: kept; shorter: refused;
// - header byte 28 set while the .MDX is gone: refused with
//   ORB_ERR_INDEX_MISSING (the caller clears the byte to open without it).
#include "table.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <ctime>
#include <map>
#include <utility>

#include "fieldcodec.h"
#include "memo.h"
#include "progress.h"
#include "status.h"

namespace orb {
namespace {

uint16_t Get16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
uint32_t Get32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}
void Put16(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
void Put32(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
  p[2] = static_cast<uint8_t>(v >> 16);
  p[3] = static_cast<uint8_t>(v >> 24);
}

using FileKey = std::pair<uint64_t, uint64_t>;  // device, inode

std::map<FileKey, std::weak_ptr<Table>>& Registry() {
  static std::map<FileKey, std::weak_ptr<Table>> registry;
  return registry;
}

bool KeyOf(const std::filesystem::path& path, FileKey* key) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return false;
  *key = {static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)};
  return true;
}

std::string Upper(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

void TodayBytes(uint8_t* p) {
  std::time_t now = std::time(nullptr);
  std::tm tm {};
  localtime_r(&now, &tm);
  p[0] = static_cast<uint8_t>(std::clamp(tm.tm_year, 0, 255));
  p[1] = static_cast<uint8_t>(tm.tm_mon + 1);
  p[2] = static_cast<uint8_t>(tm.tm_mday);
}

bool KnownVersion(uint8_t v) {
  switch (v) {
    case 0x03: case 0x83: case 0x8B: case 0x43: case 0x63: case 0xCB: return true;
    default: return false;
  }
}

bool ValidFieldType(char t) { return std::strchr("CNFDLM", t) != nullptr && t != 0; }

IndexModule* gIndexModule = nullptr;

OrbResult DefaultMissingIndex(Table& table) {
  return Fail(ORB_ERR_INDEX_MISSING, table.DisplayName() + ": header byte 28 names a production index, but " +
                                         table.Companion(".MDX").filename().string() + " is missing");
}
MissingIndexHook gMissingIndexHook = &DefaultMissingIndex;

}  // namespace

void SetIndexModule(IndexModule* module) { gIndexModule = module; }
IndexModule* GetIndexModule() { return gIndexModule; }
void SetMissingIndexHook(MissingIndexHook hook) {
  gMissingIndexHook = hook != nullptr ? hook : &DefaultMissingIndex;
}
MissingIndexHook GetMissingIndexHook() { return gMissingIndexHook; }

Table::~Table() { index_.reset(); }

std::string Table::DisplayName() const { return path_.filename().string(); }

std::filesystem::path Table::Companion(std::string_view extension) const {
  const std::string stem = Upper(path_.stem().string());
  const std::string ext = Upper(extension);
  std::error_code ec;
  std::filesystem::path dir = path_.parent_path();
  for (std::filesystem::directory_iterator it(dir.empty() ? "." : dir, ec), end; !ec && it != end;
       it.increment(ec)) {
    const std::filesystem::path& p = it->path();
    if (Upper(p.stem().string()) == stem && Upper(p.extension().string()) == ext) return p;
  }
  return dir / (path_.stem().string() + ext);
}

bool Table::CompanionExists(std::string_view extension) const {
  std::error_code ec;
  return std::filesystem::is_regular_file(Companion(extension), ec);
}

const FieldInfo* Table::FindField(std::string_view name) const {
  const std::string want = Upper(name);
  for (const FieldInfo& f : fields_) {
    if (f.name == want) return &f;
  }
  return nullptr;
}

const FieldInfo* Table::Field(uint16_t number) const {
  if (number < 1 || number > fields_.size()) return nullptr;
  return &fields_[number - 1];
}

bool Table::IsOpen(const std::filesystem::path& path) {
  FileKey key;
  if (!KeyOf(path, &key)) return false;
  auto it = Registry().find(key);
  return it != Registry().end() && !it->second.expired();
}

OrbResult Table::Acquire(const std::filesystem::path& path, uint16_t mode, std::shared_ptr<Table>* out) {
  if (mode > ORB_OPEN_READ_ONLY) return Fail(ORB_ERR_INVALID_PARAM, "unknown open mode");
  FileKey key;
  if (!KeyOf(path, &key)) {
    int err = errno;
    return Fail(err == ENOENT || err == ENOTDIR ? ORB_ERR_NO_SUCH_TABLE : ORB_ERR_OPEN_FAILED,
                path.string() + ": " + std::strerror(err));
  }
  std::shared_ptr<Table> table;
  auto it = Registry().find(key);
  if (it != Registry().end()) table = it->second.lock();

  if (table) {
    // Within the process the file's one descriptor holds one lock, so the
    // modes are checked here.
    if (mode == ORB_OPEN_EXCLUSIVE) {
      return Fail(ORB_ERR_TABLE_IN_USE, table->DisplayName() + " is open: an exclusive open is refused");
    }
    if (table->exclusiveUsers_ > 0) {
      return Fail(ORB_ERR_TABLE_IN_USE, table->DisplayName() + " is open exclusively");
    }
    if (mode == ORB_OPEN_SHARED && !table->Writable()) {
      return Fail(ORB_ERR_ACCESS_DENIED, table->DisplayName() + " cannot be written");
    }
    OrbResult r = table->RefreshCount();
    if (r != ORB_OK) return r;
  } else {
    table.reset(new Table());
    table->path_ = path;
    OrbResult r = table->file_.Open(path, mode != ORB_OPEN_READ_ONLY);
    if (r != ORB_OK) return r;
    if (!table->file_.Lock(kLockOpenMode, mode == ORB_OPEN_EXCLUSIVE)) {
      return Fail(ORB_ERR_TABLE_IN_USE, table->DisplayName() + (mode == ORB_OPEN_EXCLUSIVE
                                                                    ? " is in use by another program"
                                                                    : " is open exclusively by another program"));
    }
    r = table->Load();
    if (r != ORB_OK) return r;
    Registry()[key] = table;
  }
  if (mode == ORB_OPEN_SHARED) ++table->sharedUsers_;
  if (mode == ORB_OPEN_EXCLUSIVE) ++table->exclusiveUsers_;
  if (mode == ORB_OPEN_READ_ONLY) ++table->readOnlyUsers_;
  *out = std::move(table);
  return ORB_OK;
}

void Table::Release(uint16_t mode) {
  if (mode == ORB_OPEN_SHARED) --sharedUsers_;
  if (mode == ORB_OPEN_EXCLUSIVE) --exclusiveUsers_;
  if (mode == ORB_OPEN_READ_ONLY) --readOnlyUsers_;
}

OrbResult Table::Load() {
  int64_t size = 0;
  OrbResult r = file_.Size(&size, &lastMtimeNs_);
  if (r != ORB_OK) return r;
  const std::string name = DisplayName();
  if (size < 32) return Fail(ORB_ERR_NOT_DBASE, name + ": " + std::to_string(size) + " bytes is too short for a dBASE table");
  uint8_t h[32];
  r = file_.ReadAt(0, h, sizeof h);
  if (r != ORB_OK) return r;
  version_ = h[0];
  if (!KnownVersion(version_)) {
    char hex[8];
    std::snprintf(hex, sizeof hex, "0x%02X", version_);
    return Fail(ORB_ERR_NOT_DBASE, name + ": version byte " + hex + " is not a dBASE III/IV table");
  }
  if (h[15] != 0) return Fail(ORB_ERR_NOT_SUPPORTED, name + ": the table is encrypted");
  const uint32_t count = Get32(h + 4);
  headerLength_ = Get16(h + 8);
  recordLength_ = Get16(h + 10);
  productionFlag_ = h[28] == 1;
  languageDriver_ = h[29];
  if (h[2] >= 1 && h[2] <= 12 && h[3] >= 1 && h[3] <= 31) {
    int32_t year = 1900 + h[1];
    if (ValidDate(year, h[2], h[3])) lastUpdate_ = DaysFromCivil(year, h[2], h[3]);
  }
  if (headerLength_ < 32 + 32 + 1 - 1 || headerLength_ > size) {
    return Fail(ORB_ERR_CORRUPT, name + ": header length " + std::to_string(headerLength_) +
                                     " does not fit a file of " + std::to_string(size) + " bytes");
  }
  std::vector<uint8_t> header(headerLength_);
  r = file_.ReadAt(0, header.data(), header.size());
  if (r != ORB_OK) return r;

  fields_.clear();
  uint32_t offset = 1;
  bool terminated = false;
  for (uint32_t pos = 32; pos + 32 <= headerLength_; pos += 32) {
    const uint8_t* d = header.data() + pos;
    if (d[0] == 0x0D) {
      terminated = true;
      break;
    }
    FieldInfo f;
    size_t n = 0;
    while (n < 11 && d[n] != 0) ++n;
    f.name = Upper(std::string(reinterpret_cast<const char*>(d), n));
    while (!f.name.empty() && f.name.back() == ' ') f.name.pop_back();
    f.type = static_cast<char>(std::toupper(d[11]));
    f.width = d[16];
    f.decimals = d[17];
    f.number = static_cast<uint16_t>(fields_.size() + 1);
    f.offset = offset;
    const std::string where = name + ": field " + std::to_string(f.number) + " (" + f.name + ")";
    if (f.name.empty()) return Fail(ORB_ERR_CORRUPT, where + " has no name");
    if (!ValidFieldType(f.type)) return Fail(ORB_ERR_CORRUPT, where + " has unknown type " + std::to_string(d[11]));
    bool widthOk = true;
    switch (f.type) {
      case 'C': widthOk = f.width >= 1; break;
      case 'N': case 'F': widthOk = f.width >= 1 && f.width <= 32 && f.decimals < f.width; break;
      case 'D': widthOk = f.width == 8; break;
      case 'L': widthOk = f.width == 1; break;
      case 'M': widthOk = f.width == 10 || f.width == 4; break;
    }
    if (f.type == 'M' && f.width == 4) {
      return Fail(ORB_ERR_NOT_SUPPORTED, where + " is a binary memo pointer (not dBASE III/IV)");
    }
    if (!widthOk) {
      return Fail(ORB_ERR_CORRUPT, where + " has width " + std::to_string(f.width) + "," + std::to_string(f.decimals));
    }
    if (f.type == 'M') hasMemo_ = true;
    offset += f.width;
    fields_.push_back(std::move(f));
  }
  if (!terminated && headerLength_ >= 32 * (fields_.size() + 1) + 1) {
    // A header with room for the terminator must hold it; else it is cut.
    if (header[32 * (fields_.size() + 1)] != 0x0D) {
      return Fail(ORB_ERR_CORRUPT, name + ": field list is not terminated");
    }
  }
  if (fields_.empty()) return Fail(ORB_ERR_CORRUPT, name + ": no fields");
  if (recordLength_ < offset) {
    return Fail(ORB_ERR_CORRUPT, name + ": record length " + std::to_string(recordLength_) +
                                     " is shorter than its fields (" + std::to_string(offset) + ")");
  }
  const uint64_t present = static_cast<uint64_t>(size - headerLength_) / recordLength_;
  recordCount_ = static_cast<uint32_t>(std::min<uint64_t>(count, present));
  recordsTrimmed_ = count - recordCount_;
  lastSize_ = size;

  if (hasMemo_) {
    memo_ = std::make_unique<MemoFile>();
    MemoFile::Style style = version_ == 0x83 ? MemoFile::Style::kDbase3 : MemoFile::Style::kDbase4;
    if (!CompanionExists(".DBT")) {
      return Fail(ORB_ERR_MEMO_MISSING, name + ": its memo file " + Companion(".DBT").filename().string() + " is missing");
    }
    r = memo_->Open(Companion(".DBT"), style, false);
    if (r != ORB_OK) return r;
  }

  if (productionFlag_) {
    if (!CompanionExists(".MDX")) {
      r = gMissingIndexHook(*this);
      if (r != ORB_OK) return r;
    } else if (gIndexModule != nullptr) {
      r = gIndexModule->Open(*this, &index_);
      if (r != ORB_OK) return r;
    }
  }
  return ORB_OK;
}

OrbResult Table::RefreshCount() {
  int64_t size = 0, mtime = 0;
  OrbResult r = file_.Size(&size, &mtime);
  if (r != ORB_OK) return r;
  if (size == lastSize_ && mtime == lastMtimeNs_) return ORB_OK;
  uint8_t h[32];
  r = file_.ReadAt(0, h, sizeof h);
  if (r != ORB_OK) return r;
  const uint64_t present = size > headerLength_ ? static_cast<uint64_t>(size - headerLength_) / recordLength_ : 0;
  recordCount_ = static_cast<uint32_t>(std::min<uint64_t>(Get32(h + 4), present));
  lastSize_ = size;
  lastMtimeNs_ = mtime;
  ++generation_;
  if (index_) {
    index_->Refresh();
  } else if (h[28] == 1 && gIndexModule != nullptr && CompanionExists(".MDX")) {
    // Another program gave the table its production index since we opened
    // it: our changes must reach its keys too. One that does not open is
    // tried again on the next look.
    std::unique_ptr<ProductionIndex> index;
    if (gIndexModule->Open(*this, &index) == ORB_OK && index) {
      index_ = std::move(index);
      productionFlag_ = true;
    }
  }
  return ORB_OK;
}

OrbResult Table::ReadRecord(uint32_t recordNumber, uint8_t* record) {
  if (recordNumber < 1 || recordNumber > recordCount_) {
    return Fail(ORB_ERR_NOT_FOUND, DisplayName() + ": no record " + std::to_string(recordNumber));
  }
  const int64_t at = headerLength_ + static_cast<int64_t>(recordNumber - 1) * recordLength_;
  if (Exclusive()) {
    // Nobody else writes the file: read ahead in large blocks.
    if (at < cacheStart_ || at + recordLength_ > cacheStart_ + static_cast<int64_t>(cacheLength_)) {
      cache_.resize(std::max<size_t>(65536, recordLength_));
      size_t got = 0;
      OrbResult r = file_.ReadSome(at, cache_.data(), cache_.size(), &got);
      if (r != ORB_OK) return r;
      cacheStart_ = at;
      cacheLength_ = got;
      if (got < recordLength_) return Fail(ORB_ERR_CORRUPT, DisplayName() + ": record cut short");
    }
    std::memcpy(record, cache_.data() + (at - cacheStart_), recordLength_);
    return ORB_OK;
  }
  return file_.ReadAt(at, record, recordLength_);
}

OrbResult Table::ReadFlag(uint32_t recordNumber, uint8_t* flag) {
  if (recordNumber < 1 || recordNumber > recordCount_) return ORB_ERR_NOT_FOUND;
  return file_.ReadAt(headerLength_ + static_cast<int64_t>(recordNumber - 1) * recordLength_, flag, 1);
}

OrbResult Table::DeletionFlags(const std::vector<uint8_t>** flags) {
  if (flagsGeneration_ != generation_ || flags_.size() != recordCount_) {
    flags_.assign(recordCount_, ' ');
    std::vector<uint8_t> block(std::max<size_t>(65536, recordLength_) / recordLength_ * recordLength_);
    const uint32_t perBlock = static_cast<uint32_t>(block.size() / recordLength_);
    for (uint32_t first = 0; first < recordCount_; first += perBlock) {
      const uint32_t n = std::min(perBlock, recordCount_ - first);
      OrbResult r = file_.ReadAt(headerLength_ + static_cast<int64_t>(first) * recordLength_, block.data(),
                                 static_cast<size_t>(n) * recordLength_);
      if (r != ORB_OK) {
        flagsGeneration_ = 0;
        return r;
      }
      for (uint32_t i = 0; i < n; ++i) flags_[first + i] = block[static_cast<size_t>(i) * recordLength_];
    }
    flagsGeneration_ = generation_;
  }
  *flags = &flags_;
  return ORB_OK;
}

OrbResult Table::WriteHeaderDate() {
  uint8_t h[3];
  TodayBytes(h);
  return file_.WriteAt(1, h, sizeof h);
}

// Nested takes hold the one lock: the byte is locked by the first and
// given back by the last (a lock on a byte is not counted by the system).
bool Table::LockAppend() {
  if (Exclusive()) return true;
  if (appendDepth_ == 0 && !file_.LockWait(kLockAppend, true, 2000)) return false;
  ++appendDepth_;
  return true;
}
void Table::UnlockAppend() {
  if (Exclusive() || appendDepth_ == 0) return;
  if (--appendDepth_ == 0) file_.Unlock(kLockAppend);
}

OrbResult Table::WriteHeaderCount(uint32_t count) {
  uint8_t h[7];
  TodayBytes(h);
  Put32(h + 3, count);
  return file_.WriteAt(1, h, sizeof h);
}

void Table::Wrote() {
  cacheLength_ = 0;
  ++generation_;
  int64_t size = 0, mtime = 0;
  if (file_.Size(&size, &mtime) == ORB_OK) {
    lastSize_ = size;
    lastMtimeNs_ = mtime;
  }
}

OrbResult Table::Append(const uint8_t* record, uint32_t* recordNumber) {
  const bool lock = !Exclusive();
  if (!LockAppend()) return Fail(ORB_ERR_LOCKED, DisplayName() + ": another program is appending");
  if (lock) lastSize_ = -1;  // force a fresh look: another program may have appended
  OrbResult r = RefreshCount();
  if (r == ORB_OK) {
    const uint32_t n = recordCount_;
    const int64_t at = headerLength_ + static_cast<int64_t>(n) * recordLength_;
    std::vector<uint8_t> buf(record, record + recordLength_);
    buf.push_back(0x1A);
    // The record (and the end marker) first, then the count: a crash in
    // between leaves the record uncounted, never a counted half record.
    r = file_.WriteAt(at, buf.data(), buf.size());
    if (r == ORB_OK) r = WriteHeaderCount(n + 1);
    // Bytes left after the marker by an append that never got counted would
    // look like records to tools that go by the file size: cut them off.
    int64_t size = 0;
    if (r == ORB_OK && file_.Size(&size) == ORB_OK && size > at + static_cast<int64_t>(buf.size())) {
      r = file_.Truncate(at + static_cast<int64_t>(buf.size()));
    }
    if (r == ORB_OK) {
      recordCount_ = n + 1;
      recordsTrimmed_ = 0;
      *recordNumber = n + 1;
    }
  }
  UnlockAppend();
  Wrote();
  return r;
}

bool Table::LockRecord(uint32_t recordNumber) {
  if (Exclusive()) return true;
  if (!file_.LockWait(RecordLockOffset(recordNumber), true, 2000)) return false;
  heldRecord_ = recordNumber;
  return true;
}

void Table::UnlockRecord(uint32_t recordNumber) {
  if (Exclusive() || heldRecord_ != recordNumber) return;
  file_.Unlock(RecordLockOffset(recordNumber));
  heldRecord_ = 0;
}

OrbResult Table::Rewrite(uint32_t recordNumber, const uint8_t* record, bool* written) {
  if (written != nullptr) *written = false;
  if (recordNumber < 1 || recordNumber > recordCount_) return Fail(ORB_ERR_NOT_FOUND, "no such record");
  const bool lock = !Exclusive() && heldRecord_ != recordNumber;
  if (lock && !file_.LockWait(RecordLockOffset(recordNumber), true, 2000)) {
    return Fail(ORB_ERR_LOCKED, DisplayName() + ": record " + std::to_string(recordNumber) + " is locked");
  }
  OrbResult r = file_.WriteAt(headerLength_ + static_cast<int64_t>(recordNumber - 1) * recordLength_, record,
                              recordLength_);
  if (r == ORB_OK && written != nullptr) *written = true;
  // Only the date: the count belongs to whoever appends (our copy of it may
  // be behind another program's append).
  if (r == ORB_OK) r = WriteHeaderDate();
  if (lock) file_.Unlock(RecordLockOffset(recordNumber));
  Wrote();
  return r;
}

OrbResult Table::SetDeleted(uint32_t recordNumber) {
  if (recordNumber < 1 || recordNumber > recordCount_) return Fail(ORB_ERR_NOT_FOUND, "no such record");
  const bool lock = !Exclusive();
  if (lock && !file_.LockWait(RecordLockOffset(recordNumber), true, 2000)) {
    return Fail(ORB_ERR_LOCKED, DisplayName() + ": record " + std::to_string(recordNumber) + " is locked");
  }
  const uint8_t star = '*';
  OrbResult r = file_.WriteAt(headerLength_ + static_cast<int64_t>(recordNumber - 1) * recordLength_, &star, 1);
  if (lock) file_.Unlock(RecordLockOffset(recordNumber));
  Wrote();
  return r;
}

OrbResult Table::SetProductionFlag(bool on) {
  const uint8_t b = on ? 1 : 0;
  OrbResult r = file_.WriteAt(28, &b, 1);
  if (r == ORB_OK) productionFlag_ = on;
  Wrote();
  return r;
}

OrbResult Table::SetFieldIndexFlag(uint16_t fieldNumber, bool on) {
  if (Field(fieldNumber) == nullptr) return Fail(ORB_ERR_NO_SUCH_FIELD, "no field " + std::to_string(fieldNumber));
  const uint8_t b = on ? 1 : 0;
  OrbResult r = file_.WriteAt(32 + 32 * static_cast<int64_t>(fieldNumber - 1) + 31, &b, 1);
  Wrote();
  return r;
}

bool Table::FieldIndexFlag(uint16_t fieldNumber) {
  uint8_t b = 0;
  if (Field(fieldNumber) == nullptr) return false;
  return file_.ReadAt(32 + 32 * static_cast<int64_t>(fieldNumber - 1) + 31, &b, 1) == ORB_OK && b == 1;
}

OrbResult Table::Pack() {
  if (!Exclusive()) return Fail(ORB_ERR_NEED_EXCLUSIVE, DisplayName() + ": pack needs exclusive use");
  // Live records move down in place, in order. Until the new count is
  // written every live record exists at least once in the counted area, so
  // an interruption can duplicate a record but never lose one.
  std::vector<uint8_t> rec(recordLength_);
  uint32_t kept = 0;
  OrbResult r = ORB_OK;
  // The index rebuild below reads the records once more: it fills the
  // second half.
  ProgressPass progress(uint64_t{recordCount_} * (index_ ? 2 : 1));
  for (uint32_t n = 1; n <= recordCount_ && r == ORB_OK; ++n) {
    progress.Advance();
    r = file_.ReadAt(headerLength_ + static_cast<int64_t>(n - 1) * recordLength_, rec.data(), rec.size());
    if (r != ORB_OK) break;
    if (rec[0] == '*') continue;
    ++kept;
    if (kept != n) {
      r = file_.WriteAt(headerLength_ + static_cast<int64_t>(kept - 1) * recordLength_, rec.data(), rec.size());
    }
  }
  if (r == ORB_OK) r = file_.Sync();
  if (r == ORB_OK) r = WriteHeaderCount(kept);
  const int64_t end = headerLength_ + static_cast<int64_t>(kept) * recordLength_;
  const uint8_t eof = 0x1A;
  if (r == ORB_OK) r = file_.WriteAt(end, &eof, 1);
  if (r == ORB_OK) r = file_.Truncate(end + 1);
  if (r == ORB_OK) r = file_.Sync();
  if (r == ORB_OK) {
    recordCount_ = kept;
    recordsTrimmed_ = 0;
  }
  Wrote();
  if (r == ORB_OK && index_) r = index_->Regenerate();
  return r;
}

OrbResult Table::Create(const std::filesystem::path& path, const std::vector<FieldInfo>& fields,
                        uint8_t languageDriver) {
  const std::string name = path.filename().string();
  if (fields.empty() || fields.size() > 255) return Fail(ORB_ERR_INVALID_FIELD_DEF, name + ": 1 to 255 fields");
  bool memo = false;
  uint32_t recordLength = 1;
  for (const FieldInfo& f : fields) {
    if (f.type == 'M') memo = true;
    recordLength += f.width;
  }
  if (recordLength > 65535) return Fail(ORB_ERR_INVALID_FIELD_DEF, name + ": record too long");

  std::error_code ec;
  if (std::filesystem::exists(path, ec)) {
    if (IsOpen(path)) return Fail(ORB_ERR_TABLE_IN_USE, name + " is open: it cannot be replaced");
    File existing;
    if (existing.Open(path, false) == ORB_OK && !existing.Lock(kLockOpenMode, true)) {
      return Fail(ORB_ERR_TABLE_IN_USE, name + " is in use by another program: it cannot be replaced");
    }
  }

  const uint32_t headerLength = 32 + 32 * static_cast<uint32_t>(fields.size()) + 1;
  std::vector<uint8_t> bytes(headerLength + 1, 0);
  bytes[0] = memo ? 0x8B : 0x03;
  TodayBytes(bytes.data() + 1);
  Put16(bytes.data() + 8, headerLength);
  Put16(bytes.data() + 10, recordLength);
  bytes[29] = languageDriver;
  for (size_t i = 0; i < fields.size(); ++i) {
    uint8_t* d = bytes.data() + 32 + 32 * i;
    std::memcpy(d, fields[i].name.data(), std::min<size_t>(fields[i].name.size(), 10));
    d[11] = static_cast<uint8_t>(fields[i].type);
    d[16] = static_cast<uint8_t>(fields[i].width);
    d[17] = fields[i].decimals;
  }
  bytes[headerLength - 1] = 0x0D;
  bytes[headerLength] = 0x1A;

  // Written beside the old file and renamed over it, so a failure leaves
  // the old table as it was.
  std::filesystem::path temp = path;
  temp += ".new";
  {
    File f;
    OrbResult r = f.Create(temp);
    if (r != ORB_OK) return r;
    r = f.WriteAt(0, bytes.data(), bytes.size());
    if (r == ORB_OK) r = f.Sync();
    if (r != ORB_OK) {
      f.Close();
      std::filesystem::remove(temp, ec);
      return r;
    }
  }
  Table probe;
  probe.path_ = path;
  // The memo file too is made aside: until both are in place the old
  // table and its memos stay whole.
  std::filesystem::path memoPath = probe.Companion(".DBT");
  std::filesystem::path memoTemp = memoPath;
  memoTemp += ".new";
  if (memo) {
    OrbResult r = MemoFile::Create(memoTemp, Upper(path.stem().string()));
    if (r != ORB_OK) {
      std::filesystem::remove(temp, ec);
      std::filesystem::remove(memoTemp, ec);
      return r;
    }
  }
  std::filesystem::rename(temp, path, ec);
  if (ec) {
    const std::string why = ec.message();
    std::filesystem::remove(temp, ec);
    std::filesystem::remove(memoTemp, ec);
    return Fail(ORB_ERR_WRITE_FAILED, name + ": " + why);
  }
  // A production index of the same name belongs to the table replaced.
  if (probe.CompanionExists(".MDX")) std::filesystem::remove(probe.Companion(".MDX"), ec);
  if (memo) {
    std::filesystem::rename(memoTemp, memoPath, ec);
    if (ec) return Fail(ORB_ERR_WRITE_FAILED, memoPath.filename().string() + ": " + ec.message());
  }
  return ORB_OK;
}

}  // namespace orb
