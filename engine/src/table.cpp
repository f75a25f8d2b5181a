// The dBASE table file (.DBF), as this engine reads and writes it.
//
// Header, 32 bytes, little-endian:
//   0 version: 0x03 plain, 0x83 dBASE III with memo, 0x8B dBASE IV with memo
//     (0x43, 0x63, 0xCB from dBASE IV's SQL variants are read too)
//   1-3 date of last update: year - 1900, month, day
//   4-7 record count          8-9 header length     10-11 record length
//   14 incomplete-transaction flag   15 encryption flag (refused when set)
//   16-19 our change counter (reserved bytes other tools leave alone): moved
//     before every change that reaches the production index
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

#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <map>
#include <mutex>
#include <thread>
#include <utility>

#include "fieldcodec.h"
#include "file.h"
#include "journal.h"
#include "memo.h"
#include "progress.h"
#include "platform/paths.h"
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

std::filesystem::path CompanionOf(const std::filesystem::path& table, std::string_view extension) {
  return platform::FindFileNoCase(table.parent_path(), table.stem().string() + Upper(extension));
}

// Replacing a table (a pack, a create over an old one): every new file is
// written as "<name>.new" beside the one it replaces, complete and synced.
// Then a marker "<table>.commit" says they are to be put in place, and the
// renames follow. A crash before the marker leaves the old table (the next
// open removes the new files), one after it the new table (the next open
// finishes the renames). What the marker finishes is found by name; it
// holds one word: kPacked, or kNewTable for a new table, whose header names
// no index (an old index beside it is then removed). A marker without its
// word was cut off before the commit: the old table stays.
std::filesystem::path Beside(const std::filesystem::path& p) {
  std::filesystem::path out = p;
  out += ".new";
  return out;
}
std::filesystem::path MarkerOf(const std::filesystem::path& table) {
  std::filesystem::path out = table;
  out += ".commit";
  return out;
}

// The files of a replacement, the table last.
std::vector<std::filesystem::path> ReplacedFiles(const std::filesystem::path& table) {
  return {CompanionOf(table, ".DBT"), CompanionOf(table, ".MDX"), table};
}

bool Exists(const std::filesystem::path& p) {
  std::error_code ec;
  return std::filesystem::exists(p, ec);
}

constexpr std::string_view kNewTable = "new table";
constexpr std::string_view kPacked = "packed";

// The marker's word, "" when there is none.
std::string_view MarkerWord(const std::filesystem::path& table) {
  File marker;
  char text[16] = {};
  size_t got = 0;
  if (marker.Open(MarkerOf(table), false) != ORB_OK || marker.ReadSome(0, text, sizeof text, &got) != ORB_OK) {
    return {};
  }
  const std::string_view word(text, got);
  return word == kNewTable ? kNewTable : word == kPacked ? kPacked : std::string_view();
}

// The renames after the marker; each is done only while its new file is
// still there, so finishing twice is harmless.
OrbResult PutInPlace(const std::filesystem::path& table) {
  const bool newTable = MarkerWord(table) == kNewTable;
  for (const std::filesystem::path& target : ReplacedFiles(table)) {
    if (!Exists(Beside(target))) continue;
    OrbResult r = RenameFile(Beside(target), target);
    if (r != ORB_OK) return r;
  }
  OrbResult r = SyncDirectory(table.parent_path());
  if (r != ORB_OK) return r;
  std::error_code ec;
  const std::filesystem::path mdx = CompanionOf(table, ".MDX");
  if (newTable && Exists(mdx)) std::filesystem::remove(mdx, ec);
  std::filesystem::remove(MarkerOf(table), ec);
  if (ec) return Fail(ORB_ERR_WRITE_FAILED, MarkerOf(table).string() + ": " + ec.message());
  return SyncDirectory(table.parent_path());
}

void RemoveNewFiles(const std::filesystem::path& table) {
  std::error_code ec;
  for (const std::filesystem::path& target : ReplacedFiles(table)) std::filesystem::remove(Beside(target), ec);
}

// The new files are complete and synced: mark and rename.
OrbResult CommitReplacement(const std::filesystem::path& table, bool newTable) {
  {
    File marker;
    OrbResult r = marker.Create(MarkerOf(table));
    const std::string_view word = newTable ? kNewTable : kPacked;
    if (r == ORB_OK) r = marker.WriteAt(0, word.data(), word.size());
    if (r == ORB_OK) r = marker.Sync();
    if (r == ORB_OK) r = SyncDirectory(table.parent_path());
    if (r != ORB_OK) {
      marker.Close();
      std::error_code ec;
      std::filesystem::remove(MarkerOf(table), ec);
      RemoveNewFiles(table);
      return r;
    }
  }
  return PutInPlace(table);
}

// A copy made beside one of the table's files (".MASTER.DBF.copy-XXXXXX")
// that a kill cut off before its rename.
bool IsCopyLeftover(const std::string& upperName, const std::string& upperStem) {
  return upperName.rfind("." + upperStem, 0) == 0 && upperName.find(".COPY-") != std::string::npos;
}

bool HasLeftovers(const std::filesystem::path& table) {
  const std::string bare = Upper(table.stem().string());
  const std::string stem = bare + ".";
  std::error_code ec;
  std::filesystem::path dir = table.parent_path();
  for (std::filesystem::directory_iterator it(dir.empty() ? "." : dir, ec), end; !ec && it != end;
       it.increment(ec)) {
    const std::string name = Upper(it->path().filename().string());
    if (IsCopyLeftover(name, stem)) return true;
    if (name.rfind(stem, 0) != 0) continue;
    if (name.ends_with(".NEW") || name.ends_with(".COMMIT")) return true;
  }
  return false;
}

void RemoveCopyLeftovers(const std::filesystem::path& table) {
  const std::string stem = Upper(table.stem().string()) + ".";
  std::error_code ec;
  std::filesystem::path dir = table.parent_path();
  std::vector<std::filesystem::path> gone;
  for (std::filesystem::directory_iterator it(dir.empty() ? "." : dir, ec), end; !ec && it != end;
       it.increment(ec)) {
    if (IsCopyLeftover(Upper(it->path().filename().string()), stem)) gone.push_back(it->path());
  }
  for (const std::filesystem::path& p : gone) RemoveFile(p);
}

// Copies `from` whole into a new file `to`, synced.
OrbResult CopyInto(const std::filesystem::path& from, const std::filesystem::path& to) {
  File in;
  OrbResult r = in.Open(from, false);
  if (r != ORB_OK) return r;
  File out;
  r = out.Create(to);
  std::vector<uint8_t> chunk(1 << 16);
  int64_t at = 0;
  while (r == ORB_OK) {
    size_t got = 0;
    r = in.ReadSome(at, chunk.data(), chunk.size(), &got);
    if (r != ORB_OK || got == 0) break;
    r = out.WriteAt(at, chunk.data(), got);
    at += static_cast<int64_t>(got);
  }
  if (r == ORB_OK) r = out.Sync();
  return r;
}

// At an open: what an interrupted replacement left is finished or removed,
// but only while nobody has the table open (a replacement in progress
// holds it exclusively).
void FinishReplacement(const std::filesystem::path& table) {
  if (!HasLeftovers(table)) return;
  File probe;
  if (probe.Open(table, true) == ORB_OK && !probe.Lock(kLockOpenMode, true)) return;
  RemoveCopyLeftovers(table);
  if (!MarkerWord(table).empty()) {
    PutInPlace(table);
  } else {
    RemoveNewFiles(table);
    std::error_code ec;
    std::filesystem::remove(MarkerOf(table), ec);
  }
}

}  // namespace

// A batch's state (see BeginBatch, below).
struct BatchState {
  const void* owner = nullptr;
  OrbResult failed = ORB_OK;  // a failed batch, rolled back, waiting to be answered
  bool locked = false;        // holds the append lock
  bool changed = false;
  bool counterMoved = false;  // the change counter on disk moved before the index's first change
  uint32_t counter = 0;       // the change counter of every change of the batch
  int64_t tableLength = 0;
  int64_t memoLength = -1;
  uint32_t headerLength = 0;
  // The deleted records known when it began, for a rollback to put back.
  bool deletedKnown = false;
  uint32_t deleted = 0, deletedCounter = 0, deletedRecords = 0;
  std::filesystem::path journalPath;
  Journal journal;
  // The spans of each file whose old bytes the journal holds (start -> end).
  std::map<int64_t, int64_t> saved[2];
};

void SetIndexModule(IndexModule* module) { gIndexModule = module; }
IndexModule* GetIndexModule() { return gIndexModule; }
void SetMissingIndexHook(MissingIndexHook hook) {
  gMissingIndexHook = hook != nullptr ? hook : &DefaultMissingIndex;
}
MissingIndexHook GetMissingIndexHook() { return gMissingIndexHook; }

Table::~Table() {
  index_.reset();  // batch_ (complete below) goes with it
  ReleaseBlocks();
}

std::string Table::DisplayName() const { return path_.filename().string(); }

std::filesystem::path Table::Companion(std::string_view extension) const { return CompanionOf(path_, extension); }

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

bool Table::IsOpen(const std::filesystem::path& path) {
  FileKey key;
  if (!KeyOf(path, &key)) return false;
  auto it = Registry().find(key);
  return it != Registry().end() && !it->second.expired();
}

OrbResult Table::Acquire(const std::filesystem::path& path, uint16_t mode, std::shared_ptr<Table>* out) {
  if (mode > ORB_OPEN_READ_ONLY) return Fail(ORB_ERR_INVALID_PARAM, "unknown open mode");
  FinishReplacement(path);
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
    OrbResult r = ORB_OK;
    if (!table->InBatch() && Journal::Exists(path)) {
      r = table->RecoverJournal();
      table->ForgetState();
    }
    if (r == ORB_OK) r = table->RefreshCount();
    // A read-only opener left the index out of step: a writable one mends it.
    // So did one that found the index built in another sort order.
    const bool stale = table->index_ && table->index_->OrderStale();
    if (r == ORB_OK && (table->indexOutOfStep_ || stale) && mode != ORB_OPEN_READ_ONLY) r = table->CheckIndex(mode);
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
    if (!table->file_.SameFileAs(path)) {
      // Replaced (packed) between our look and our lock: open what is there now.
      return Fail(ORB_ERR_TABLE_IN_USE, table->DisplayName() + " is being replaced by another program");
    }
    r = table->RecoverJournal();
    if (r == ORB_OK) r = table->Load();
    if (r == ORB_OK) r = table->CheckIndex(mode);
    if (r != ORB_OK) return r;
    table->LearnDeleted();
    Registry()[key] = table;
  }
  if (mode == ORB_OPEN_SHARED) ++table->sharedUsers_;
  if (mode == ORB_OPEN_EXCLUSIVE) ++table->exclusiveUsers_;
  if (mode == ORB_OPEN_READ_ONLY) ++table->readOnlyUsers_;
  *out = std::move(table);
  return ORB_OK;
}

OrbResult Table::Release(uint16_t mode) {
  // Still exclusive: the checkpoint writes what the index held back.
  const OrbResult r = mode == ORB_OPEN_EXCLUSIVE && index_ ? index_->Checkpoint() : ORB_OK;
  if (mode == ORB_OPEN_SHARED) --sharedUsers_;
  if (mode == ORB_OPEN_EXCLUSIVE) --exclusiveUsers_;
  if (mode == ORB_OPEN_READ_ONLY) --readOnlyUsers_;
  return r;
}

OrbResult Table::Load() {
  OrbResult r = LoadHeader();
  return r == ORB_OK ? OpenCompanions() : r;
}

OrbResult Table::LoadHeader() {
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
  counter_ = Get32(h + 16);
  NoteHeader(h);
  hasMemo_ = false;
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
  for (FieldInfo& f : fields_) f.room = recordLength_ - f.offset;
  const uint64_t present = static_cast<uint64_t>(size - headerLength_) / recordLength_;
  recordCount_ = static_cast<uint32_t>(std::min<uint64_t>(count, present));
  recordsTrimmed_ = count - recordCount_;
  lastSize_ = size;
  layout_ = std::make_shared<const std::vector<FieldInfo>>(fields_);
  return ORB_OK;
}

OrbResult Table::OpenCompanions() {
  const std::string name = DisplayName();
  OrbResult r = ORB_OK;
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
  // Nobody else changes the file of an exclusive open; what we wrote we know.
  if (Exclusive() && lastSize_ >= 0) return ORB_OK;
  int64_t size = 0, mtime = 0;
  OrbResult r = file_.Size(&size, &mtime);
  if (r != ORB_OK) return r;
  if (size == lastSize_ && mtime == lastMtimeNs_) return ORB_OK;
  uint8_t h[32];
  r = file_.ReadAt(0, h, sizeof h);
  if (r != ORB_OK) return r;
  const uint64_t present = size > headerLength_ ? static_cast<uint64_t>(size - headerLength_) / recordLength_ : 0;
  recordCount_ = static_cast<uint32_t>(std::min<uint64_t>(Get32(h + 4), present));
  counter_ = Get32(h + 16);
  NoteHeader(h);
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
  // Another program's change of ours stamped the index with the deleted
  // records it left.
  LearnDeleted();
  return ORB_OK;
}

OrbResult Table::ReadRecord(uint32_t recordNumber, uint8_t* record) {
  if (recordNumber < 1 || recordNumber > recordCount_) {
    return Fail(ORB_ERR_NOT_FOUND, DisplayName() + ": no record " + std::to_string(recordNumber));
  }
  // Nobody else writes the file of an exclusive open: every read may come
  // from the blocks read ahead.
  if (Exclusive()) {
    const uint8_t* bytes = nullptr;
    OrbResult r = Ahead(recordNumber, record, &bytes);
    if (r == ORB_OK && bytes != record) std::memcpy(record, bytes, recordLength_);
    return r;
  }
  return file_.ReadAt(headerLength_ + static_cast<int64_t>(recordNumber - 1) * recordLength_, record,
                      recordLength_);
}

OrbResult Table::ReadRecordAhead(uint32_t recordNumber, uint8_t* buffer, const uint8_t** bytes) {
  if (recordNumber < 1 || recordNumber > recordCount_) {
    return Fail(ORB_ERR_NOT_FOUND, DisplayName() + ": no record " + std::to_string(recordNumber));
  }
  return Ahead(recordNumber, buffer, bytes);
}

namespace {

// Records are read ahead 64 KiB at a time.
constexpr size_t kAheadBlockBytes = 65536;
// A walk in an index order jumps about the file: a table whose records take
// up to this much is kept whole in blocks while it is walked; a larger one
// reads each jump's record alone.
constexpr uint64_t kAheadBound = uint64_t{128} << 20;
// A walk's first jumps, and those after a write of ours, read their own
// record alone: a look at a few records (a window's first rows, a seek)
// would waste the rest of each block, and so would a change to every
// record visited.
constexpr uint32_t kReadsBeforeBlocks = 64;

// The buffers of the blocks index walks keep, shared by the process's
// tables (kAheadBound in all) and kept for the next walk when a table gives
// them back: memory touched for the first time costs more than the reads
// it saves. They are cut from 2 MiB pieces the system may back with large
// pages, so a walk that jumps about them meets fewer page misses.
class BlockPool {
 public:
  static BlockPool& Get() {
    static BlockPool* pool = new BlockPool();
    return *pool;
  }
  // Null when every buffer is in use.
  uint8_t* Take() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!free_.empty()) {
      uint8_t* b = free_.back();
      free_.pop_back();
      return b;
    }
    if (left_ == 0) {
      if (made_ + kPiece > kAheadBound) return nullptr;
      void* piece = std::aligned_alloc(kPiece, kPiece);
      if (piece == nullptr) return nullptr;
      ::madvise(piece, kPiece, MADV_HUGEPAGE);  // a hint only
      made_ += kPiece;
      next_ = static_cast<uint8_t*>(piece);
      left_ = kPiece / kAheadBlockBytes;
    }
    uint8_t* b = next_;
    next_ += kAheadBlockBytes;
    --left_;
    return b;
  }
  void Give(uint8_t* b) {
    std::lock_guard<std::mutex> lock(mutex_);
    free_.push_back(b);
  }

 private:
  static constexpr size_t kPiece = size_t{2} << 20;
  std::mutex mutex_;
  std::vector<uint8_t*> free_;
  uint8_t* next_ = nullptr;  // the rest of the newest piece
  size_t left_ = 0;          // buffers in it
  size_t made_ = 0;
};

}  // namespace

uint32_t Table::BlockRecords() const {
  return std::max<uint32_t>(1, static_cast<uint32_t>(kAheadBlockBytes / recordLength_));
}

const uint8_t* Table::FromBlocks(uint32_t recordNumber) const {
  const uint32_t per = BlockRecords();
  const uint32_t block = (recordNumber - 1) / per;
  const size_t within = static_cast<size_t>((recordNumber - 1) % per) * recordLength_;
  auto holds = [&](const AheadBlock& b) {
    return b.bytes && b.generation == generation_ && within + recordLength_ <= b.length;
  };
  if (streamBlock_ == block && holds(stream_)) return stream_.bytes + within;
  if (block < blocks_.size() && holds(blocks_[block])) return blocks_[block].bytes + within;
  return nullptr;
}

Table::AheadBlock* Table::KeptBlock(uint32_t block) {
  if (block >= blocks_.size()) blocks_.resize(block + 1);
  AheadBlock& b = blocks_[block];
  if (!b.bytes) {
    b.bytes = BlockPool::Get().Take();
    if (!b.bytes) return nullptr;
    heldBlocks_.push_back(block);
  }
  return &b;
}

OrbResult Table::ReadBlock(uint32_t recordNumber, AheadBlock& into, const uint8_t** bytes) {
  const uint32_t per = BlockRecords();
  const uint32_t block = (recordNumber - 1) / per;
  const size_t size = static_cast<size_t>(per) * recordLength_;
  into.length = 0;
  size_t got = 0;
  OrbResult r = file_.ReadSome(headerLength_ + static_cast<int64_t>(block) * size, into.bytes, size, &got);
  if (r != ORB_OK) return r;
  into.length = got;
  into.generation = generation_;
  const size_t within = static_cast<size_t>((recordNumber - 1) % per) * recordLength_;
  if (within + recordLength_ > got) return Fail(ORB_ERR_CORRUPT, DisplayName() + ": record cut short");
  *bytes = into.bytes + within;
  return ORB_OK;
}

void Table::InvalidateBlocks() {
  stream_.length = 0;
  for (uint32_t held : heldBlocks_) blocks_[held].length = 0;
}

void Table::ReleaseBlocks() {
  stream_.length = 0;
  for (uint32_t held : heldBlocks_) BlockPool::Get().Give(blocks_[held].bytes);
  blocks_.clear();
  heldBlocks_.clear();
}

OrbResult Table::Ahead(uint32_t recordNumber, uint8_t* buffer, const uint8_t** bytes) {
  const bool next = recordNumber == lastAhead_ + 1;
  lastAhead_ = recordNumber;
  if (readsAlone_ < kReadsBeforeBlocks) ++readsAlone_;
  // Without a look, no more records than a block holds come from blocks,
  // however the walk goes about the file.
  const uint32_t per = BlockRecords();
  if (Exclusive() || sinceLook_ < per) {
    if (const uint8_t* record = FromBlocks(recordNumber)) {
      ++sinceLook_;
      *bytes = record;
      return ORB_OK;
    }
  }
  // A walk in record order reads its next block into the one it streams
  // through; a jump into a block kept for the rest of the walk, or alone.
  const uint32_t block = (recordNumber - 1) / per;
  AheadBlock* into = block < blocks_.size() && blocks_[block].bytes ? &blocks_[block] : nullptr;
  if (into == nullptr && !next && static_cast<uint64_t>(recordCount_) * recordLength_ <= kAheadBound &&
      readsAlone_ >= kReadsBeforeBlocks)
    into = KeptBlock(block);
  if (into == nullptr && !next) {
    *bytes = buffer;
    return file_.ReadAt(headerLength_ + static_cast<int64_t>(recordNumber - 1) * recordLength_, buffer,
                        recordLength_);
  }
  // The block is read after a look: the one streamed through every time,
  // a kept one once the records answered since the last look fill a block
  // (what it reads is newer than that look; older blocks are within their
  // share).
  if (!Exclusive() && (into == nullptr || sinceLook_ >= per)) {
    OrbResult r = LookForChanges();
    if (r != ORB_OK) return r;
    sinceLook_ = 0;
    if (recordNumber > recordCount_) {
      return Fail(ORB_ERR_NOT_FOUND, DisplayName() + ": no record " + std::to_string(recordNumber));
    }
    // Nothing changed: the blocks read before still hold.
    if (const uint8_t* record = FromBlocks(recordNumber)) {
      ++sinceLook_;
      *bytes = record;
      return ORB_OK;
    }
  }
  if (into == nullptr) {
    if (!streamBuffer_) streamBuffer_.reset(new uint8_t[kAheadBlockBytes]);
    stream_.bytes = streamBuffer_.get();
    streamBlock_ = block;
    into = &stream_;
  }
  ++sinceLook_;
  return ReadBlock(recordNumber, *into, bytes);
}

void Table::KeepBlockOf(uint32_t recordNumber, const uint8_t* record) {
  const uint32_t block = (recordNumber - 1) / BlockRecords();
  auto holds = [&](const AheadBlock& b) {
    return b.bytes && record >= b.bytes && record < b.bytes + b.length;
  };
  if (streamBlock_ == block && holds(stream_)) {
    stream_.generation = generation_;
  } else if (block < blocks_.size() && holds(blocks_[block])) {
    blocks_[block].generation = generation_;
  }
}

OrbResult Table::LookForChanges() {
  OrbResult r = RefreshCount();
  if (r != ORB_OK) return r;
  uint8_t h[sizeof stamp_];
  r = file_.ReadAt(0, h, sizeof h);
  if (r != ORB_OK || std::memcmp(h, stamp_, sizeof h) == 0) return r;
  ForgetState();
  return RefreshCount();
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

OrbResult Table::WriteHeader(const uint32_t* count, bool fresh) {
  // Bytes 8-15 are written back as read, so one write carries the date,
  // the count and the counter.
  // In an exclusive open nobody else writes them: they are as we last
  // read or wrote them.
  uint8_t h[sizeof stamp_];
  OrbResult r = ORB_OK;
  if (Exclusive() || fresh) {
    std::memcpy(h, stamp_, sizeof h);
  } else {
    r = file_.ReadAt(0, h, sizeof h);
  }
  if (r != ORB_OK) return r;
  // The deleted records known go on with our own change, unless the file
  // holds a change of another program we have not seen.
  const bool carry = deletedKnown_ && deletedCounter_ == counter_ && Get32(h + 16) == counter_;
  TodayBytes(h + 1);
  if (count != nullptr) Put32(h + 4, *count);
  // A batch moves the counter once, for all its changes (see AfterBatchWrite).
  const uint32_t counter = batch_ ? batch_->counter : Get32(h + 16) + 1;
  Put32(h + 16, counter);
  r = file_.WriteAt(1, h + 1, sizeof h - 1);
  if (r == ORB_OK) {
    counter_ = counter;
    NoteHeader(h);
    if (carry) {
      deletedCounter_ = counter;
      if (count != nullptr) deletedRecords_ = *count;
    } else {
      deletedKnown_ = false;
    }
  }
  return r;
}

OrbResult Table::BumpCounter() {
  OrbResult r = WriteHeader(nullptr);
  if (r == ORB_OK) r = file_.Sync();
  Wrote();
  return r;
}

bool Table::WaitForIndexWriters() {
  if (Exclusive() || appendDepth_ > 0 || waiting_) return false;
  waiting_ = file_.LockWait(kLockAppend, false, 30000);
  return waiting_;
}

void Table::EndWaitForIndexWriters() {
  if (!waiting_) return;
  file_.Unlock(kLockAppend);
  waiting_ = false;
}

// At an open: an index that may not match the table is rebuilt before the
// table is used, or reported to a read-only opener. Another program may be
// between its record and its keys, so the look is repeated under the
// append lock before anything is decided.
OrbResult Table::CheckIndex(uint16_t mode) {
  // An index built in another sort order than the language driver's (by an
  // older build, another tool, or without SLW32) is rebuilt alike.
  auto sound = [this] { return !index_ || (index_->InStep(counter_, recordCount_) && !index_->OrderStale()); };
  if (sound()) {
    indexOutOfStep_ = false;
    return ORB_OK;
  }
  const bool readOnly = mode == ORB_OPEN_READ_ONLY;
  const bool exclusive = mode == ORB_OPEN_EXCLUSIVE;
  if (!exclusive && !file_.LockWait(kLockAppend, !readOnly, 30000)) {
    return Fail(ORB_ERR_LOCKED, DisplayName() + ": another program is changing the index");
  }
  lastSize_ = -1;
  OrbResult r = RefreshCount();
  if (r == ORB_OK && index_) index_->Refresh();
  if (r == ORB_OK && !sound()) {
    if (readOnly || !Writable()) {
      // A stale order alone leaves the tags that do not depend on it usable.
      indexOutOfStep_ = !index_->InStep(counter_, recordCount_);
    } else {
      ++appendDepth_;  // the lock is held: nested takes must not give it back
      r = index_->Regenerate();
      --appendDepth_;
      if (r == ORB_OK) indexOutOfStep_ = false;
    }
  }
  if (!exclusive) file_.Unlock(kLockAppend);
  return r;
}

// Nested takes hold the one lock: the byte is locked by the first and
// given back by the last (a lock on a byte is not counted by the system).
bool Table::LockAppend() {
  if (Exclusive()) return true;
  if (appendDepth_ == 0 && !TakeAppendLock()) return false;
  ++appendDepth_;
  return true;
}

// A program that appends in a loop gives the lock back for a moment only;
// a waiter that polls would rarely find it free. So a waiter claims the
// next turn (a byte of its own), and takers let a claimed turn go first.
bool Table::TakeAppendLock() {
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(5000);
  bool claimed = false;
  while (true) {
    const bool turnFree = claimed || !file_.LockedByOther(kLockAppendTurn);
    if (turnFree && file_.Lock(kLockAppend, true)) break;
    if (!claimed) claimed = file_.Lock(kLockAppendTurn, true);
    if (std::chrono::steady_clock::now() >= until) {
      if (claimed) file_.Unlock(kLockAppendTurn);
      return false;
    }
    std::this_thread::sleep_for(std::chrono::microseconds(500));
  }
  if (claimed) file_.Unlock(kLockAppendTurn);
  return true;
}
void Table::UnlockAppend() {
  if (Exclusive() || appendDepth_ == 0) return;
  if (--appendDepth_ == 0) file_.Unlock(kLockAppend);
}


void Table::Wrote(int64_t knownSize) {
  readsAlone_ = 0;  // the generation moves on: every block read is stale
  ++generation_;
  if (Exclusive()) return;  // the writes keep lastSize_ (see RefreshCount)
  if (knownSize >= 0) {
    // The size we gave the file; its time is not known, so the next look
    // reads the header again.
    lastSize_ = knownSize;
    lastMtimeNs_ = -1;
    return;
  }
  int64_t size = 0, mtime = 0;
  if (file_.Size(&size, &mtime) == ORB_OK) {
    lastSize_ = size;
    lastMtimeNs_ = mtime;
  }
}

OrbResult Table::Append(const uint8_t* record, uint32_t* recordNumber) {
  if (OrbResult refused = BatchRefused(); refused != ORB_OK) return refused;
  const bool lock = !Exclusive();
  if (!LockAppend()) return Fail(ORB_ERR_LOCKED, DisplayName() + ": another program is appending");
  if (lock) lastSize_ = -1;  // force a fresh look: another program may have appended
  OrbResult r = RefreshCount();
  if (r == ORB_OK) {
    const uint32_t n = recordCount_;
    const int64_t at = headerLength_ + static_cast<int64_t>(n) * recordLength_;
    std::vector<uint8_t> buf(record, record + recordLength_);
    buf.push_back(0x1A);
    // The record (and the end marker) first, on disk before the count: a
    // crash in between leaves the record uncounted, never a counted half
    // record.
    r = file_.WriteAt(at, buf.data(), buf.size());
    if (r == ORB_OK) r = file_.Sync();
    const uint32_t count = n + 1;
    // The look above read the header under the append lock.
    if (r == ORB_OK) r = WriteHeader(&count, true);
    if (r == ORB_OK && (r = file_.Sync()) != ORB_OK) {
      WriteHeader(&n, true);  // reported as failed: not left counted
    }
    // Bytes left after the marker by an append that never got counted would
    // look like records to tools that go by the file size: cut them off.
    // (The size is the one the look above found: our writes only reach it.)
    const int64_t size = lastSize_;
    if (r == ORB_OK && size > at + static_cast<int64_t>(buf.size())) {
      r = file_.Truncate(at + static_cast<int64_t>(buf.size()));
    }
    if (r == ORB_OK) {
      recordCount_ = n + 1;
      recordsTrimmed_ = 0;
      *recordNumber = n + 1;
      if (record[0] == '*') {
        if (std::optional<uint32_t> known = KnownDeleted()) KnowDeleted(*known + 1);
      }
      lastSize_ = at + static_cast<int64_t>(buf.size());
    } else {
      lastSize_ = -1;  // the file's size is not known: look again
    }
  }
  UnlockAppend();
  Wrote(lastSize_);
  return AfterBatchWrite(r);
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

OrbResult Table::TakeBackAppend(uint32_t recordNumber) {
  if (recordNumber != recordCount_ || recordNumber == 0) return Fail(ORB_ERR_NOT_FOUND, "not the last record");
  const uint32_t count = recordNumber - 1;
  OrbResult r = WriteHeader(&count);
  const int64_t end = headerLength_ + static_cast<int64_t>(count) * recordLength_;
  const uint8_t eof = 0x1A;
  if (r == ORB_OK) {
    recordCount_ = count;
    // The cut-off bytes are beyond the count already: failing to cut them
    // leaves nothing counted.
    if (file_.WriteAt(end, &eof, 1) == ORB_OK) file_.Truncate(end + 1);
    r = file_.Sync();
  }
  lastSize_ = -1;
  Wrote();
  return r;
}

OrbResult Table::Rewrite(uint32_t recordNumber, const uint8_t* record, bool* written) {
  if (written != nullptr) *written = false;
  if (OrbResult refused = BatchRefused(); refused != ORB_OK) return refused;
  if (recordNumber < 1 || recordNumber > recordCount_) return Fail(ORB_ERR_NOT_FOUND, "no such record");
  const bool lock = !Exclusive() && heldRecord_ != recordNumber;
  if (lock && !file_.LockWait(RecordLockOffset(recordNumber), true, 2000)) {
    return Fail(ORB_ERR_LOCKED, DisplayName() + ": record " + std::to_string(recordNumber) + " is locked");
  }
  // The counter moves before the record changes, so a crash between the
  // record and its keys leaves an index that shows it may not match. Only
  // the date besides: the count belongs to whoever appends (our copy of it
  // may be behind another program's append).
  OrbResult r = WriteHeader(nullptr);
  const int64_t at = headerLength_ + static_cast<int64_t>(recordNumber - 1) * recordLength_;
  // In an exclusive open the blocks read ahead are the record as it is:
  // a batch holds (and journals) only the bytes that change, and the
  // blocks take the new ones, so a walk that changes records as it goes
  // reads each block once.
  uint8_t* cached = Exclusive() ? CachedRecord(recordNumber) : nullptr;
  size_t from = 0, to = recordLength_;
  if (cached != nullptr && batch_) {
    while (from < to && cached[from] == record[from]) ++from;
    while (to > from && cached[to - 1] == record[to - 1]) --to;
  }
  if (r == ORB_OK && from < to) r = file_.WriteAt(at + static_cast<int64_t>(from), record + from, to - from);
  if (r == ORB_OK && written != nullptr) *written = true;
  if (r == ORB_OK) r = file_.Sync();
  if (lock) file_.Unlock(RecordLockOffset(recordNumber));
  const bool keep = r == ORB_OK && cached != nullptr;
  if (keep) std::memcpy(cached + from, record + from, to - from);
  Wrote();
  if (keep) KeepBlockOf(recordNumber, cached);
  return AfterBatchWrite(r);
}

OrbResult Table::SetDeleted(uint32_t recordNumber, bool deleted) {
  if (OrbResult refused = BatchRefused(); refused != ORB_OK) return refused;
  const bool lock = !Exclusive();
  if (!LockAppend()) return Fail(ORB_ERR_LOCKED, DisplayName() + ": another program is changing the table");
  // A fresh look under the lock: the flag, the counter and the deleted
  // records known are then as another program's last change left them.
  if (lock) lastSize_ = -1;
  OrbResult r = RefreshCount();
  if (r == ORB_OK && (recordNumber < 1 || recordNumber > recordCount_)) r = Fail(ORB_ERR_NOT_FOUND, "no such record");
  if (r != ORB_OK) {
    UnlockAppend();
    return r;
  }
  if (lock && !file_.LockWait(RecordLockOffset(recordNumber), true, 2000)) {
    UnlockAppend();
    return Fail(ORB_ERR_LOCKED, DisplayName() + ": record " + std::to_string(recordNumber) + " is locked");
  }
  const uint8_t flag = deleted ? '*' : ' ';
  const uint8_t other = deleted ? ' ' : '*';
  const int64_t at = headerLength_ + static_cast<int64_t>(recordNumber - 1) * recordLength_;
  uint8_t was = 0;
  r = file_.ReadAt(at, &was, 1);
  if (r == ORB_OK && (was == '*') == deleted) {
    r = Fail(ORB_ERR_RECORD_DELETED, deleted ? "the record was deleted meanwhile" : "the record is not deleted");
  }
  // The header (read under the lock just now) with the next counter, then
  // the flag; one sync for both.
  if (r == ORB_OK) r = WriteHeader(nullptr, true);
  if (r == ORB_OK) r = file_.WriteAt(at, &flag, 1);
  if (r == ORB_OK && (r = file_.Sync()) != ORB_OK) {
    // Reported as failed: not left changed. Should even that fail, what
    // the flag holds is not known.
    if (file_.WriteAt(at, &other, 1) != ORB_OK) deletedKnown_ = false;
  }
  if (r == ORB_OK) {
    if (std::optional<uint32_t> known = KnownDeleted()) KnowDeleted(deleted ? *known + 1 : *known - 1);
  }
  if (lock) file_.Unlock(RecordLockOffset(recordNumber));
  Wrote();
  UnlockAppend();
  return AfterBatchWrite(r);
}

// A batch's journal beside the table may yet take back what the files
// show (and the change counter with it): what is seen then is answered but
// not kept. Our own batch's changes are known as they are made.
bool Table::Settled() const { return InBatch() || !Journal::Exists(path_); }

bool Table::LearnDeleted() {
  if (KnownDeleted()) return true;
  uint32_t stamped = 0;
  if (recordCount_ == 0) {
    KnowDeleted(0);
  } else if (index_ && index_->StampedDeleted(counter_, recordCount_, &stamped) && Settled()) {
    KnowDeleted(stamped);
  }
  return KnownDeleted().has_value();
}

OrbResult Table::LiveCount(uint32_t* live) {
  if (LearnDeleted()) {
    *live = recordCount_ - std::min(deleted_, recordCount_);
    return ORB_OK;
  }
  // Counted by the flags while no change of ours can be half made: under
  // the append lock, which every change of the flags, the counter or the
  // stamp holds. One that does not come soon (another program's batch)
  // leaves the count answered but not kept.
  const bool mine = Exclusive() || appendDepth_ > 0 || waiting_;
  // Only a writable open of this process writes the index (read-only
  // cursors leave the files alone).
  const bool writer = Writable() && (sharedUsers_ > 0 || exclusiveUsers_ > 0);
  bool locked = false;
  if (!mine && file_.LockWait(kLockAppend, writer, 200)) {
    locked = true;
    ForgetState();
    OrbResult r = RefreshCount();
    if (r != ORB_OK) {
      file_.Unlock(kLockAppend);
      return r;
    }
    // The change we waited for stamped the index.
    if (LearnDeleted()) {
      file_.Unlock(kLockAppend);
      *live = recordCount_ - std::min(deleted_, recordCount_);
      return ORB_OK;
    }
  }
  const std::vector<uint8_t>* flags = nullptr;
  OrbResult r = DeletionFlags(&flags);
  if (r == ORB_OK) {
    const uint32_t deleted = static_cast<uint32_t>(std::count(flags->begin(), flags->end(), '*'));
    *live = static_cast<uint32_t>(flags->size()) - deleted;
    if ((mine || locked) && Settled()) {
      KnowDeleted(deleted);
      // An index in step whose stamp lacks the count (written before the
      // stamp held it, or by a change that did not know it) gets it.
      if (index_ && writer && !indexOutOfStep_ && index_->InStep(counter_, recordCount_)) index_->Restamp();
    }
  }
  if (locked) file_.Unlock(kLockAppend);
  return r;
}

// Synced, with the fields' flags written before it: an index file is
// named only while it is in place, and no longer before it goes.
OrbResult Table::SetProductionFlag(bool on) {
  const uint8_t b = on ? 1 : 0;
  OrbResult r = file_.WriteAt(28, &b, 1);
  if (r == ORB_OK) r = file_.Sync();
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
  if (InBatch()) return Fail(ORB_ERR_INVALID_PARAM, DisplayName() + ": a table is not packed inside a batch");
  // The packed table is written beside this one; until it is complete and
  // in place the old files stay as they are, the index with every change.
  if (index_) {
    OrbResult held = index_->Checkpoint();
    if (held != ORB_OK) return held;
  }
  const std::filesystem::path memoPath = Companion(".DBT");
  const std::filesystem::path indexPath = Companion(".MDX");
  RemoveNewFiles(path_);
  File out;
  OrbResult r = out.Create(Beside(path_));
  std::unique_ptr<MemoFile> memoOut;
  if (r == ORB_OK && memo_) {
    r = MemoFile::Create(Beside(memoPath), Upper(path_.stem().string()));
    if (r == ORB_OK) {
      memoOut = std::make_unique<MemoFile>();
      r = memoOut->Open(Beside(memoPath), version_ == 0x83 ? MemoFile::Style::kDbase3 : MemoFile::Style::kDbase4,
                        true);
    }
  }
  std::vector<uint8_t> header(headerLength_);
  if (r == ORB_OK) r = file_.ReadAt(0, header.data(), header.size());

  std::vector<uint8_t> rec(recordLength_), chunk, text;
  uint32_t kept = 0;
  int64_t at = headerLength_;
  // The new index, built from the kept records, fills the second half.
  ProgressPass progress(uint64_t{recordCount_} * (index_ ? 2 : 1));
  for (uint32_t n = 1; n <= recordCount_ && r == ORB_OK; ++n) {
    progress.Advance();
    r = ReadRecord(n, rec.data());
    if (r != ORB_OK || rec[0] == '*') continue;
    // Only the live records' memos move: the space of the others is gone.
    for (const FieldInfo& f : fields_) {
      if (f.type != 'M' || !memoOut || r != ORB_OK) continue;
      uint32_t block = 0;
      r = memo_->Read(MemoBlock(f, rec.data()), &text);
      if (r == ORB_OK) r = memoOut->Write(0, text, &block);
      SetMemoBlock(f, rec.data(), block);
    }
    chunk.insert(chunk.end(), rec.begin(), rec.end());
    ++kept;
    if (r == ORB_OK && chunk.size() >= 65536) {
      r = out.WriteAt(at, chunk.data(), chunk.size());
      at += static_cast<int64_t>(chunk.size());
      chunk.clear();
    }
  }
  chunk.push_back(0x1A);
  if (r == ORB_OK) r = out.WriteAt(at, chunk.data(), chunk.size());
  const uint32_t counter = counter_ + 1;
  TodayBytes(header.data() + 1);
  Put32(header.data() + 4, kept);
  Put32(header.data() + 16, counter);
  if (r == ORB_OK) r = out.WriteAt(0, header.data(), header.size());
  if (r == ORB_OK) r = out.Sync();
  if (r == ORB_OK && memoOut) r = memoOut->Sync();
  memoOut.reset();
  if (r == ORB_OK && index_) r = WriteFreshIndex(out, Beside(indexPath), kept, counter);
  // Whoever opens the new file once it has the table's name finds it in use.
  if (r == ORB_OK && !out.Lock(kLockOpenMode, true)) r = Fail(ORB_ERR_TABLE_IN_USE, DisplayName() + ": cannot lock");
  if (r != ORB_OK) {
    out.Close();
    RemoveNewFiles(path_);
    return r;
  }
  FileKey oldKey{};
  const bool keyed = KeyOf(path_, &oldKey);
  r = CommitReplacement(path_, false);
  if (r != ORB_OK) return r;  // the next open finishes what the marker names
  r = ReadReplaced(out, keyed, oldKey);
  // Only live records were kept.
  if (r == ORB_OK) KnowDeleted(0);
  return r;
}

OrbResult Table::WriteFreshIndex(File& records, const std::filesystem::path& path, uint32_t count,
                                 uint32_t counter) {
  std::vector<uint8_t> buffer(recordLength_);
  const int64_t headerLength = headerLength_;
  return index_->WriteFresh(
      path, count,
      [&](uint32_t n) {
        return records.ReadAt(headerLength + static_cast<int64_t>(n - 1) * recordLength_, buffer.data(),
                              buffer.size()) == ORB_OK
                   ? buffer.data()
                   : nullptr;
      },
      counter);
}

OrbResult Table::ReadReplaced(File& now, bool keyed, const std::pair<uint64_t, uint64_t>& oldKey) {
  file_.Swap(now);
  now.Close();
  FileKey newKey{};
  if (keyed && KeyOf(path_, &newKey)) {
    auto it = Registry().find(oldKey);
    if (it != Registry().end()) {
      std::weak_ptr<Table> self = it->second;
      Registry().erase(it);
      Registry()[newKey] = self;
    }
  }
  ReleaseBlocks();
  memo_.reset();
  OrbResult r = LoadHeader();
  if (r == ORB_OK && hasMemo_) {
    memo_ = std::make_unique<MemoFile>();
    r = memo_->Open(Companion(".DBT"), version_ == 0x83 ? MemoFile::Style::kDbase3 : MemoFile::Style::kDbase4,
                    false);
  }
  if (r == ORB_OK && index_) r = index_->Reopen();
  Wrote();
  return r;
}

OrbResult Table::Create(const std::filesystem::path& path, const std::vector<FieldInfo>& fields,
                        uint8_t languageDriver, bool durable) {
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
  FinishReplacement(path);
  // Held until the new table is in place: nobody opens the old one meanwhile.
  File existing;
  if (std::filesystem::exists(path, ec)) {
    if (IsOpen(path)) return Fail(ORB_ERR_TABLE_IN_USE, name + " is open: it cannot be replaced");
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

  if (!durable) {
    File f;
    OrbResult r = f.Create(path);
    if (r == ORB_OK) r = f.WriteAt(0, bytes.data(), bytes.size());
    if (r == ORB_OK && memo) r = MemoFile::Create(CompanionOf(path, ".DBT"), Upper(path.stem().string()), false);
    const std::filesystem::path mdx = CompanionOf(path, ".MDX");
    if (r == ORB_OK && Exists(mdx)) r = RemoveFile(mdx);
    return r;
  }

  // Written beside the old files and put in their place together, so a
  // failure or a crash leaves the old table (with its memos and index) or
  // the new one, never a table without its memo file.
  {
    File f;
    OrbResult r = f.Create(Beside(path));
    if (r == ORB_OK) r = f.WriteAt(0, bytes.data(), bytes.size());
    if (r == ORB_OK) r = f.Sync();
    if (r != ORB_OK) {
      f.Close();
      std::filesystem::remove(Beside(path), ec);
      return r;
    }
  }
  if (memo) {
    OrbResult r = MemoFile::Create(Beside(CompanionOf(path, ".DBT")), Upper(path.stem().string()));
    if (r != ORB_OK) {
      RemoveNewFiles(path);
      return r;
    }
  }
  return CommitReplacement(path, true);
}

OrbResult Table::ReplaceWithCopy(const std::filesystem::path& path, const std::filesystem::path& source,
                                 const std::filesystem::path& sourceMemo) {
  if (IsOpen(path)) return Fail(ORB_ERR_TABLE_IN_USE, path.string() + " is open");
  const std::filesystem::path oldMemo = CompanionOf(path, ".DBT");
  OrbResult r = ORB_OK;
  if (!sourceMemo.empty()) r = CopyInto(sourceMemo, Beside(oldMemo));
  if (r == ORB_OK) r = CopyInto(source, Beside(path));
  if (r != ORB_OK) {
    RemoveNewFiles(path);
    return r;
  }
  r = CommitReplacement(path, true);
  // A memo file left from the old table would be taken for the new one's.
  if (r == ORB_OK && sourceMemo.empty() && Exists(oldMemo)) {
    std::error_code ec;
    std::filesystem::remove(oldMemo, ec);
  }
  return r;
}


// A copy into an empty table: the new table is written beside the old one
// under a name the next open removes (IsCopyLeftover), with no sync on the
// way. At its end the files are synced once, its index is built beside
// from its records, and the renames follow: the index and memo file first
// (the old table counts no record, so its stamp cannot match the new
// index, which the next open rebuilds, and no record of it names a memo),
// then the table. A kill before the table's rename leaves the old table;
// one after it, the new one whole.
OrbResult Table::BeginCopyBeside(std::filesystem::path* building) {
  building->clear();
  if (private_ || InBatch() || !Writable() || sharedUsers_ + exclusiveUsers_ + readOnlyUsers_ != 1) return ORB_OK;
  if ((index_ && index_->Damaged()) || Journal::Exists(path_)) return ORB_OK;
  // Held exclusively until the copy is in: nobody else reads the old file meanwhile.
  if (!Exclusive()) {
    if (!file_.Lock(kLockOpenMode, true)) return ORB_OK;
    copyLocked_ = true;
  }
  auto declined = [&](OrbResult r) {
    AbandonCopyBeside(*building);
    building->clear();
    return r;
  };
  lastSize_ = -1;
  OrbResult r = RefreshCount();
  if (r == ORB_OK && recordCount_ != 0) return declined(ORB_OK);
  if (r == ORB_OK && index_) r = index_->Checkpoint();
  std::vector<uint8_t> header(headerLength_ + 1);
  if (r == ORB_OK) r = file_.ReadAt(0, header.data(), headerLength_);
  if (r != ORB_OK) return declined(r);
  Put32(header.data() + 4, 0);
  header[28] = 0;  // opened without an index while it is filled
  header[headerLength_] = 0x1A;

  const std::string extension = path_.extension().string();
  std::string name = (path_.parent_path() / ("." + path_.stem().string() + ".copy-XXXXXX" + extension)).string();
  const int fd = ::mkstemps(name.data(), static_cast<int>(extension.size()));
  if (fd < 0) {
    const int err = errno;
    return declined(Fail(WriteErrorCode(err), name + ": " + std::strerror(err)));
  }
  ::close(fd);
  *building = name;
  File out;
  out.SetDurable(false);
  r = out.Create(*building);
  if (r == ORB_OK) r = out.WriteAt(0, header.data(), header.size());
  out.Close();
  if (r == ORB_OK && hasMemo_) r = MemoFile::Create(CompanionOf(*building, ".DBT"), Upper(path_.stem().string()), false);
  return r == ORB_OK ? ORB_OK : declined(r);
}

void Table::AbandonCopyBeside(const std::filesystem::path& building) {
  if (!building.empty()) {
    std::error_code ec;
    for (const std::filesystem::path& p : {CompanionOf(building, ".DBT"), CompanionOf(building, ".MDX"), building})
      std::filesystem::remove(p, ec);
  }
  if (copyLocked_) file_.Lock(kLockOpenMode, false);
  copyLocked_ = false;
}

OrbResult Table::EndCopyBeside(const std::filesystem::path& building) {
  const std::filesystem::path dir = path_.parent_path();
  const std::filesystem::path memoFrom = CompanionOf(building, ".DBT");
  const std::filesystem::path indexFrom = CompanionOf(building, ".MDX");
  File out;
  uint8_t h[32];
  uint8_t flag = 0;
  OrbResult r = out.Open(building, true);
  if (r == ORB_OK) r = out.ReadAt(0, h, sizeof h);
  if (r == ORB_OK) r = file_.ReadAt(28, &flag, 1);
  const uint32_t count = Get32(h + 4);
  // The old table's index flag, and a change counter its index never held.
  const uint32_t counter = counter_ + 1;
  TodayBytes(h + 1);
  Put32(h + 16, counter);
  h[28] = flag;
  if (r == ORB_OK) r = out.WriteAt(0, h, sizeof h);
  if (r == ORB_OK) r = out.Sync();
  if (r == ORB_OK && hasMemo_) {
    File memo;
    r = memo.Open(memoFrom, true);
    if (r == ORB_OK) r = memo.Sync();
  }
  if (r == ORB_OK && index_) r = WriteFreshIndex(out, indexFrom, count, counter);
  // Whoever opens the new file once it has the table's name finds it in use.
  if (r == ORB_OK && !out.Lock(kLockOpenMode, true)) r = Fail(ORB_ERR_TABLE_IN_USE, DisplayName() + ": cannot lock");
  bool companionsIn = false;
  if (r == ORB_OK && index_) {
    r = RenameFile(indexFrom, Companion(".MDX"));
    companionsIn = r == ORB_OK;
  }
  if (r == ORB_OK && hasMemo_) {
    r = RenameFile(memoFrom, Companion(".DBT"));
    companionsIn = companionsIn || r == ORB_OK;
  }
  if (r == ORB_OK) r = SyncDirectory(dir);
  FileKey oldKey{};
  const bool keyed = KeyOf(path_, &oldKey);
  if (r == ORB_OK) r = RenameFile(building, path_);
  if (r != ORB_OK) {
    const std::string why = Context();
    out.Close();
    AbandonCopyBeside(building);
    if (companionsIn) {
      // The old table stays, over the copy's memo file and index: read
      // those, the index rebuilt for the old records.
      memo_.reset();
      if (hasMemo_) {
        memo_ = std::make_unique<MemoFile>();
        if (memo_->Open(Companion(".DBT"), version_ == 0x83 ? MemoFile::Style::kDbase3 : MemoFile::Style::kDbase4,
                        false) != ORB_OK)
          memo_.reset();
      }
      if (index_ && (index_->Reopen() != ORB_OK || index_->Regenerate() != ORB_OK)) indexOutOfStep_ = true;
      Wrote();
    }
    return Fail(r, why);
  }
  // The copy is in: a folder that fails to sync now cannot take it back.
  SyncDirectory(dir);
  r = ReadReplaced(out, keyed, oldKey);
  if (copyLocked_) file_.Lock(kLockOpenMode, false);
  copyLocked_ = false;
  return r;
}


// ---------------------------------------------------------------- batches


namespace {

// What the batch holds in memory before it writes to the files.
size_t gBatchBound = 8u << 20;
int64_t gBatchSpan = int64_t{16} << 20;

// The parts of [from, to) not yet in `saved`, which then holds all of it.
std::vector<std::pair<int64_t, int64_t>> Unsaved(std::map<int64_t, int64_t>& saved, int64_t from, int64_t to) {
  std::vector<std::pair<int64_t, int64_t>> gaps;
  auto it = saved.upper_bound(from);
  if (it != saved.begin() && std::prev(it)->second >= from) --it;
  int64_t at = from, lo = from, hi = to;
  while (it != saved.end() && it->first <= to) {
    if (it->first > at) gaps.emplace_back(at, it->first);
    at = std::max(at, it->second);
    lo = std::min(lo, it->first);
    hi = std::max(hi, it->second);
    it = saved.erase(it);
  }
  if (at < to) gaps.emplace_back(at, to);
  saved[lo] = hi;
  return gaps;
}

}  // namespace

size_t BatchBound() { return gBatchBound; }
void SetBatchBound(size_t bytes) { gBatchBound = bytes; }
int64_t BatchSpan() { return gBatchSpan; }
void SetBatchSpan(int64_t bytes) { gBatchSpan = bytes; }

const void* Table::BatchOwner() const { return batch_ ? batch_->owner : nullptr; }

void Table::SetPrivate() {
  private_ = true;
  file_.SetDurable(false);
  if (memo_) memo_->Stored().SetDurable(false);
}

OrbResult Table::BatchRefused() const {
  if (!batch_ || batch_->failed == ORB_OK) return ORB_OK;
  return Fail(batch_->failed, DisplayName() + ": the batch failed and was rolled back; commit or roll it back");
}

OrbResult Table::BeginBatch(const void* owner) {
  if (batch_) return Fail(ORB_ERR_INVALID_PARAM, DisplayName() + ": a batch is already open on this table");
  if (!Writable()) return Fail(ORB_ERR_READ_ONLY, DisplayName() + " cannot be written");
  if (!LockAppend()) return Fail(ORB_ERR_LOCKED, DisplayName() + ": another program is appending");
  // Under the lock: a journal left by another program is undone first.
  OrbResult r = Journal::Exists(path_) ? RecoverJournal() : ORB_OK;
  lastSize_ = -1;
  if (r == ORB_OK) r = RefreshCount();
  auto b = std::make_unique<BatchState>();
  b->owner = owner;
  b->locked = true;
  b->headerLength = headerLength_;
  b->counter = counter_ + 1;
  b->journalPath = Journal::PathFor(path_);
  b->deletedKnown = deletedKnown_;
  b->deleted = deleted_;
  b->deletedCounter = deletedCounter_;
  b->deletedRecords = deletedRecords_;
  if (r == ORB_OK) r = file_.Size(&b->tableLength);
  if (r == ORB_OK && memo_) r = memo_->Stored().Size(&b->memoLength);
  if (r != ORB_OK) {
    UnlockAppend();
    return r;
  }
  file_.Hold();
  if (memo_) memo_->Stored().Hold();
  batch_ = std::move(b);
  return ORB_OK;
}

OrbResult Table::AfterBatchWrite(OrbResult r) {
  if (!batch_) return r;
  batch_->changed = true;
  if (r != ORB_OK) return r;
  // The index is changed next (by the caller). An index cut off in the
  // middle of a change must not look in step with the table: the change
  // counter moves on disk first (the journal keeps the old header), as a
  // single post moves it with the header it writes.
  if (index_ && !batch_->counterMoved && !private_) {
    uint8_t counter[4];
    Put32(counter, batch_->counter);
    r = OpenJournal();
    if (r == ORB_OK) r = file_.WriteNow(16, counter, sizeof counter);
    if (r == ORB_OK) r = file_.SyncNow();
    if (r != ORB_OK) return UndoBatch(r);
    batch_->counterMoved = true;
  }
  const size_t held = file_.HeldBytes() + (memo_ ? memo_->Stored().HeldBytes() : 0);
  if (held < gBatchBound && file_.HeldSpan(batch_->headerLength) < gBatchSpan) return ORB_OK;
  r = WriteBatch(false, true);
  return r == ORB_OK ? ORB_OK : UndoBatch(r);
}

// The journal is made at the first write to the files and synced once with
// its folder; later writes add the old bytes of what they change in place
// (below the lengths the files had) and sync it again only then. Appends
// beyond those lengths need nothing: the rollback cuts them off.
OrbResult Table::OpenJournal(bool* made) {
  BatchState& b = *batch_;
  if (made != nullptr) *made = false;
  if (b.journal.IsOpen()) return ORB_OK;
  std::vector<uint8_t> old(b.headerLength);
  size_t got = 0;
  OrbResult r = file_.ReadStored(0, old.data(), old.size(), &got);
  if (r == ORB_OK) r = b.journal.Create(b.journalPath, b.tableLength, b.memoLength, old);
  if (made != nullptr) {
    *made = true;
    return r;
  }
  if (r == ORB_OK) r = b.journal.Sync();
  if (r == ORB_OK) r = SyncDirectory(path_.parent_path());
  return r;
}

OrbResult Table::WriteBatch(bool header, bool writeback) {
  BatchState& b = *batch_;
  // Nothing of the user's is in a private table: nothing to take back.
  if (private_) {
    OrbResult r = memo_ ? memo_->Stored().WriteHeld(0, 0) : ORB_OK;
    return r == ORB_OK ? file_.WriteHeld(0, header ? 0 : b.headerLength, Exclusive()) : r;
  }
  bool fresh = false;
  OrbResult r = OpenJournal(&fresh);
  bool added = fresh;
  auto save = [&](uint8_t which, File& f, int64_t length, int64_t skip) {
    std::map<int64_t, int64_t>& saved = b.saved[which - 1];
    std::vector<std::pair<int64_t, int64_t>> spans;
    for (const auto& [at, bytes] : f.HeldWrites()) {
      const int64_t from = std::max(at, skip);
      const int64_t to = std::min(at + static_cast<int64_t>(bytes.size()), length);
      if (from < to) spans.emplace_back(from, to);
    }
    if (f.HeldCut() >= 0 && std::max(f.HeldCut(), skip) < length) spans.emplace_back(std::max(f.HeldCut(), skip), length);
    std::vector<std::pair<int64_t, int64_t>> gaps;
    for (const auto& [from, to] : spans) {
      for (const auto& gap : Unsaved(saved, from, to)) gaps.push_back(gap);
    }
    // Old bytes close to one another are read together: one read for the
    // many records a batch changes here and there.
    constexpr int64_t kReadTogether = 64 << 10;
    std::vector<uint8_t> old;
    for (size_t i = 0; i < gaps.size() && r == ORB_OK;) {
      size_t j = i + 1;
      while (j < gaps.size() && gaps[j].first >= gaps[j - 1].second && gaps[j].second - gaps[i].first <= kReadTogether) ++j;
      const int64_t base = gaps[i].first;
      old.resize(static_cast<size_t>(gaps[j - 1].second - base));
      size_t got = 0;
      r = f.ReadStored(base, old.data(), old.size(), &got);
      for (size_t k = i; k < j && r == ORB_OK; ++k) {
        const int64_t have = std::min(gaps[k].second, base + static_cast<int64_t>(got)) - gaps[k].first;
        if (have > 0) r = b.journal.Add(which, gaps[k].first, old.data() + (gaps[k].first - base), static_cast<size_t>(have));
      }
      added = true;
      i = j;
    }
  };
  if (r == ORB_OK) save(Journal::kTable, file_, b.tableLength, b.headerLength);
  if (r == ORB_OK && memo_) save(Journal::kMemo, memo_->Stored(), b.memoLength, 0);
  if (r == ORB_OK && added) r = b.journal.Sync();
  if (r == ORB_OK && fresh) r = SyncDirectory(path_.parent_path());
  // The old bytes are on disk: the new ones may follow.
  if (r == ORB_OK && memo_) r = memo_->Stored().WriteHeld(0, 0, false, writeback);
  if (r == ORB_OK) r = file_.WriteHeld(0, header ? 0 : b.headerLength, Exclusive(), writeback);
  return r;
}

OrbResult Table::CommitBatch() {
  if (!batch_) return Fail(ORB_ERR_INVALID_PARAM, DisplayName() + ": no batch is open");
  if (batch_->failed != ORB_OK) {
    const OrbResult failed = batch_->failed;
    batch_.reset();
    return Fail(failed, DisplayName() + ": the batch failed and was rolled back");
  }
  OrbResult r = ORB_OK;
  if (batch_->changed) {
    // Data and memos, one sync; the index; the count and header, a sync;
    // then the journal goes.
    r = WriteBatch(false);
    if (r == ORB_OK) r = file_.SyncNow();
    if (r == ORB_OK && memo_) r = memo_->Stored().SyncNow();
    if (r == ORB_OK && index_) r = index_->Checkpoint();
    if (r == ORB_OK) r = file_.WriteHeld(0, 0, Exclusive());
    if (r == ORB_OK) r = file_.SyncNow();
    const bool journalled = batch_->journal.IsOpen();
    if (r == ORB_OK && journalled) {
      batch_->journal.Close();
      r = RemoveFile(batch_->journalPath);
    }
    if (r != ORB_OK) {
      const std::string why = Context();
      UndoBatch(ORB_OK);
      return Fail(r, why);
    }
    // The journal is gone: the batch is in. A folder that fails to sync
    // now cannot take it back.
    if (journalled) SyncDirectory(path_.parent_path());
  }
  file_.DropHeld();
  if (memo_) memo_->Stored().DropHeld();
  const bool locked = batch_->locked;
  batch_.reset();
  if (locked) UnlockAppend();
  lastSize_ = -1;
  Wrote();
  return ORB_OK;
}

OrbResult Table::RollbackBatch() {
  if (!batch_) return Fail(ORB_ERR_INVALID_PARAM, DisplayName() + ": no batch is open");
  if (batch_->failed != ORB_OK) {
    batch_.reset();
    return ORB_OK;
  }
  return UndoBatch(ORB_OK);
}

OrbResult Table::UndoBatch(OrbResult failure) {
  BatchState& b = *batch_;
  file_.DropHeld();
  if (memo_) memo_->Stored().DropHeld();
  OrbResult r = ORB_OK;
  if (b.journal.IsOpen()) {
    b.journal.Close();
    r = Journal::Undo(b.journalPath, file_, memo_ ? Companion(".DBT") : std::filesystem::path());
    if (r == ORB_OK) r = RemoveFile(b.journalPath);
    if (r == ORB_OK) r = SyncDirectory(path_.parent_path());
  }
  const std::string why = Context();
  ReleaseBlocks();
  lastSize_ = -1;
  ++generation_;
  OrbResult loaded = LoadHeader();
  // The files are as before the batch again, and so is what was known of
  // them (at the counter and count the header holds again); a file the
  // journal could not put back is counted afresh.
  deletedKnown_ = b.deletedKnown && r == ORB_OK && loaded == ORB_OK;
  deleted_ = b.deleted;
  deletedCounter_ = b.deletedCounter;
  deletedRecords_ = b.deletedRecords;
  const bool changed = b.changed;
  // The index took the batch's keys: rebuilt from the records as they are
  // again (else left for the next writable open).
  if (changed && index_ && loaded == ORB_OK && index_->Regenerate() != ORB_OK) indexOutOfStep_ = true;
  const bool locked = b.locked;
  b.locked = false;
  if (failure != ORB_OK) {
    b.failed = failure;
  } else {
    batch_.reset();
  }
  if (locked) UnlockAppend();
  Wrote();
  if (failure != ORB_OK) return Fail(failure, why);
  if (r != ORB_OK) return Fail(r, why);
  return loaded;
}

OrbResult Table::RecoverJournal() {
  if (batch_ || !Journal::Exists(path_)) return ORB_OK;
  const std::filesystem::path journal = Journal::PathFor(path_);
  const std::filesystem::path dir = path_.parent_path().empty() ? std::filesystem::path(".") : path_.parent_path();
  const OrbResult pending = Fail(ORB_ERR_ROLLBACK_PENDING,
                                 DisplayName() + ": " + journal.filename().string() + " must be rolled back");
  // A batch of another program holds the append lock while it lives; a
  // single append holds it for a moment only.
  const bool mine = Exclusive() || appendDepth_ > 0;
  bool locked = false;
  if (!mine) {
    if (!file_.LockWait(kLockAppend, file_.Writable(), 200)) return ORB_OK;
    locked = true;
  }
  auto unlock = [&] {
    if (locked) file_.Unlock(kLockAppend);
  };
  if (!file_.Writable() || ::access(dir.c_str(), W_OK) != 0) {
    unlock();
    return pending;
  }
  OrbResult r = Journal::Undo(journal, file_, CompanionOf(path_, ".DBT"));
  if (r == ORB_OK) r = RemoveFile(journal);
  if (r == ORB_OK) r = SyncDirectory(path_.parent_path());
  unlock();
  if (r != ORB_OK) return Fail(ORB_ERR_ROLLBACK_PENDING, DisplayName() + ": " + Context());
  lastSize_ = -1;
  return ORB_OK;
}

}  // namespace orb
