// The production index of a dBASE table (name.MDX beside name.DBF): up to
// 47 tags, each a B-tree of keys computed from every record by the tag's
// key expression. The byte layout is described in mdx_format.md beside this
// file; it is the dBASE IV layout, so other dBASE tools read our files and
// we read theirs.
//
// Every mutating call leaves the file consistent on return (blocks written,
// then the tag headers, then the file header), unless the file is written
// back (SetWriteBack, for an exclusive open): a record's changes are then
// held in memory, and written in that order, whole, at a checkpoint. A
// damaged file is reported as kCorrupt and never read past its end.
#pragma once

#include <array>
#include <cstdint>
#include <ctime>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "key_order.h"
#include "mdx/block_file.h"
#include "mdx/key_expr.h"
#include "mdx/mdx_status.h"

namespace orb::mdx {

struct Ymd {
  int year = 1980, month = 1, day = 1;
};

// The table's records as the index reads them when building or checking.
class RecordSource {
 public:
  virtual ~RecordSource() = default;
  virtual uint32_t RecordCount() = 0;
  // Record `recno` (1-based), the deletion flag first; null when unreadable.
  virtual const uint8_t* Record(uint32_t recno) = 0;
};

struct TagInfo {
  std::string name;        // upper case
  std::string expression;  // as given
  KeyType type = KeyType::kCharacter;
  uint16_t keyLength = 0;
  int plainField = -1;     // the field when the key is that field alone
};

constexpr int kMaxTags = 47;
constexpr size_t kMaxExpressionLength = 220;  // bytes
constexpr size_t kMaxTagName = 10;

class TagCursor;

// The most bytes of changed blocks a written-back file holds (4 MiB): a
// change that finds more writes them first. Blocks only read are cached up
// to four times as many. (Tests make it small.)
size_t HeldLimit();
void SetHeldLimit(size_t bytes);

class MdxFile {
 public:
  struct Options {
    std::function<Ymd()> today;  // the creation and update dates; local date when empty
    // The order of character keys; byte order when empty.
    std::shared_ptr<const KeyOrder> order;
  };

  // Writes a new, empty index over `file` (whatever it held is replaced).
  static MdxStatus Create(std::unique_ptr<BlockFile> file, std::string_view tableName,
                          std::span<const FieldDesc> fields, uint32_t recordLength,
                          std::unique_ptr<MdxFile>& out, Options options = {});
  // Reads and validates the header, tag table and tag headers; compiles each
  // tag's expression against `fields` (a tag that does not fit is damage).
  static MdxStatus Open(std::unique_ptr<BlockFile> file, std::span<const FieldDesc> fields,
                        uint32_t recordLength, std::unique_ptr<MdxFile>& out, Options options = {});

  ~MdxFile();
  MdxFile(const MdxFile&) = delete;
  MdxFile& operator=(const MdxFile&) = delete;

  int TagCount() const { return static_cast<int>(tags_.size()); }
  TagInfo Tag(int tag) const;
  int FindTag(std::string_view name) const;  // -1 when absent; any letter case
  // Whether tag number `tag` is named `upperName` (in upper case), as a
  // cursor that found it before asks on every step.
  bool TagNamed(int tag, std::string_view upperName) const;

  // The tags a damaged file still names, each with an expression that
  // fits `fields`: what a rebuild keeps of it. None when its header is
  // gone (a zeroed, empty or cut-off file).
  static std::vector<TagInfo> Salvage(BlockFile& file, std::span<const FieldDesc> fields, uint32_t recordLength);

  // Adds a tag and builds it from the table's records.
  MdxStatus AddTag(std::string_view name, std::string_view expression, RecordSource& records);
  // kTagMissing when there is no such tag.
  MdxStatus DeleteTag(std::string_view name);
  // Rebuilds one tag, or every tag, from the records (sorted, then written
  // bottom-up). RegenerateAll also rewrites the file compactly, which mends
  // a damaged free chain or tree as long as the tag table is readable.
  MdxStatus RebuildTag(int tag, RecordSource& records);
  MdxStatus RegenerateAll(RecordSource& records);

  // Keeps every tag current with one record.
  MdxStatus InsertRecord(const uint8_t* record, uint32_t recno);
  MdxStatus DeleteRecord(const uint8_t* record, uint32_t recno);
  MdxStatus UpdateRecord(const uint8_t* oldRecord, const uint8_t* newRecord, uint32_t recno);

  // One key of one tag; kMismatch when deleting a key that is not there.
  MdxStatus InsertKey(int tag, const uint8_t* key, uint32_t recno);
  MdxStatus DeleteKey(int tag, const uint8_t* key, uint32_t recno);

  // Compares a tag (or all) with the table: structure, order, and exactly
  // one key per record equal to the expression's value. kCorrupt for a
  // damaged tree, kMismatch for a sound tree that disagrees with the data.
  MdxStatus Check(int tag, RecordSource& records);
  MdxStatus CheckAll(RecordSource& records);

  void EvaluateKey(int tag, const uint8_t* record, uint8_t* key) const;
  // A tag's key against a search value of `targetLength` bytes, in the
  // tag's order: a whole key exactly, a shorter value as a leading part
  // (0 when the key begins with it).
  int CompareKey(int tag, const uint8_t* key, const uint8_t* target, size_t targetLength) const;
  uint32_t KeyCount(int tag);  // walks the tag; 0 on damage

  // Syncs what was written; in write-back, only when something was
  // written since the last sync.
  MdxStatus Sync();

  // Write-back: nobody else reads or writes the file (an exclusive open).
  // Changes of records (InsertRecord, UpdateRecord, DeleteRecord, InsertKey,
  // DeleteKey, WriteStamp) are then held: their blocks, the tag headers and
  // the file header stay in memory, read by every search, until Checkpoint
  // writes them (changed blocks first, the header with the stamp last) and
  // syncs. The stamp on disk lags meanwhile, so a file cut off at any point
  // shows it is out of step. A change that fails leaves the held ones as
  // they were before it; a checkpoint that fails keeps them all held, to be
  // written again whole. Before the held blocks pass HeldLimit() a change
  // writes them first. Other changes (tags, rebuilds) write what is held,
  // then themselves, as without write-back.
  void SetWriteBack(bool on) { writeBack_ = on; }
  bool WriteBack() const { return writeBack_; }
  bool Holding() const { return !dirty_.empty() || headerDirty_ || stampDirty_; }
  size_t HeldBytes() const { return dirty_.size() * blockSize_; }
  size_t CachedBytes() const { return cache_.size() * blockSize_; }
  MdxStatus Checkpoint();

  // Which state of the table the index was last brought up to: the table's
  // change counter and record count, kept in header bytes other dBASE tools
  // leave alone (48-59), and the deleted records at that counter (68-71,
  // when byte 51 says they are there). Absent in files other tools wrote.
  struct Stamp {
    bool present = false;
    uint32_t counter = 0;
    uint32_t records = 0;
    bool hasDeleted = false;
    uint32_t deleted = 0;
  };
  Stamp GetStamp() const { return stamp_; }
  // The order the character tags were built in (header bytes 60-67; a file
  // without it was built in byte order). A new or regenerated file takes
  // the order it is opened with.
  OrderStamp GetOrderStamp() const { return orderStamp_; }
  // The character tags were built in another order than this file's
  // compares use: they must be rebuilt before they are searched.
  bool OrderStale() const;
  // Taken with the next change, written with it (or at once by WriteStamp);
  // a change that fails takes it back.
  // `deleted`: the table's deleted records at `counter`, when known.
  void SetStamp(uint32_t counter, uint32_t records, std::optional<uint32_t> deleted = std::nullopt);
  MdxStatus WriteStamp(uint32_t counter, uint32_t records, std::optional<uint32_t> deleted = std::nullopt);
  // A write failed after the change had rewritten part of the file: the
  // file may be torn until it is rebuilt.
  bool Torn() const { return torn_; }
  // Another process may have changed the file: drop cached blocks and read
  // the header and tags again, unless the header and every tag header
  // (whose serial counts each change to its tree) are still as we hold them.
  void Refresh();

  struct Entry {
    std::vector<uint8_t> key;
    uint32_t recno = 0;
  };

 private:
  friend class TagCursor;
  struct TagState;
  struct Node;
  struct PathStep {
    uint32_t page;
    int index;
  };
  using Path = std::vector<PathStep>;
  struct Target {
    const uint8_t* key;
    size_t length;     // bytes compared (a leading part for partial keys)
    uint32_t recno;
    bool withRecno;
    bool after = false;  // the first entry past the keys equal to the target
  };

  MdxFile();
  void ReadHeader();
  void Reload();
  void WriteHeader();
  // The header's bytes (kHeaderPages pages) as WriteHeader writes them.
  void HeaderBytes(uint8_t* h);
  [[noreturn]] void WriteFailed(const std::string& what, int err = -1);
  void WriteTagHeader(const TagState& t);
  // A tag header block's bytes (block size) as WriteTagHeader writes them.
  void TagHeaderBytes(const TagState& t, uint8_t* b);
  // The tag whose header block follows the file header (written with it).
  const TagState* JoinedTag() const;
  // True when the file's header and tag headers are the bytes our state
  // would write: nobody changed the file since we read or wrote it.
  bool HeadsMatch();
  void Flush();
  Ymd Today() const;

  const uint8_t* Block(uint32_t page);
  uint8_t* MutableBlock(uint32_t page);
  void CheckPage(uint32_t page) const;
  uint32_t Allocate(TagState& t);
  void Free(TagState& t, uint32_t page);

  Node Load(const TagState& t, uint32_t page);
  void Store(TagState& t, uint32_t page, const Node& n);
  uint32_t RawCount(const TagState& t, const uint8_t* blk) const;
  bool RawLeaf(const TagState& t, const uint8_t* blk, uint32_t count) const;
  int CompareTo(const TagState& t, const uint8_t* key, const uint8_t* target, size_t targetLength) const;
  int CompareEntry(const TagState& t, const uint8_t* key, uint32_t recno, const Target& target) const;
  uint32_t MaxRecno(const TagState& t, uint32_t page);
  bool ChildQualifies(const TagState& t, const uint8_t* blk, int i, const Target& target);

  void Descend(const TagState& t, const Target& target, Path& path);
  bool Normalize(const TagState& t, Path& path);  // moves past empty leaf ends
  bool SeekLower(const TagState& t, const Target& target, Path& path);
  bool StepNext(const TagState& t, Path& path);
  bool StepPrior(const TagState& t, Path& path);
  bool DescendEdge(const TagState& t, uint32_t page, bool last, Path& path);
  void ReadEntry(const TagState& t, const Path& path, Entry& out);

  void DescendPast(const TagState& t, const uint8_t* key, Path& path);
  void DescendToInsert(const TagState& t, const uint8_t* key, uint32_t recno, Path& path);
  // False when the leaf is full (the caller splits it).
  bool InsertInLeaf(TagState& t, const Path& path, const uint8_t* key, uint32_t recno);
  bool SplitLeaf(TagState& t, const Path& path, const uint8_t* key, uint32_t recno);
  void InsertEntry(TagState& t, const uint8_t* key, uint32_t recno);
  void DeleteEntry(TagState& t, const uint8_t* key, uint32_t recno);
  void SetMaxUpward(TagState& t, const Path& path, int level, const uint8_t* key);
  void CollapseRoot(TagState& t);
  void BuildTree(TagState& t, RecordSource& records);
  void FreeTree(TagState& t, uint32_t page, int depth, size_t& budget);
  void CheckTree(TagState& t, uint32_t page, int depth, int& leafDepth, std::vector<Entry>& out,
                 std::vector<uint8_t>& maxKey, std::unordered_map<uint32_t, bool>& seen);
  void CollectKeys(const TagState& t, RecordSource& records, std::vector<uint8_t>& keys,
                   std::vector<uint32_t>& order);
  void LinkTagTree();
  template <typename F, typename U>
  MdxStatus Attempt(F&& f, U&& undo);
  // A change written through: on failure the state is read again from
  // the file. In write-back, what is held is written first.
  template <typename F>
  MdxStatus Guard(F&& f);
  // A record's change: held in write-back (a failure undoes it in memory),
  // else as Guard.
  template <typename F>
  MdxStatus Change(F&& f);
  // A search or walk: in write-back a failure keeps what is held.
  template <typename F>
  MdxStatus Read(F&& f);
  void TakeStamp();
  // Header bytes 48-71: the stamp, the order stamp and the deleted records.
  void StampBytes(uint8_t* p) const;
  void TrimCache();
  void SyncFile();
  // The cache's entry of a block, read when absent.
  struct Cached;
  Cached& CacheEntry(uint32_t page);
  void Undo();

  std::unique_ptr<BlockFile> file_;
  Options options_;
  std::vector<FieldDesc> fields_;
  uint32_t recordLength_ = 0;

  // File header.
  uint8_t created_[3] = {};
  std::string dataName_;
  uint16_t blockFactor_ = 2;  // pages per block
  uint32_t blockSize_ = 1024; // bytes
  uint32_t pages_ = 0;        // pages in the file
  uint32_t firstFree_ = 0;
  uint32_t blocksAvailable_ = 0;
  uint8_t tagEntries_ = 48;

  std::vector<std::unique_ptr<TagState>> tags_;
  // A cached block: these fields, then the block's bytes in the same
  // allocation (one line fetched finds both).
  struct Cached {
    bool dirty = false;  // changed since the file last held it (listed in dirty_)
    uint64_t saved = 0;  // the held change whose undo holds the bytes before it
    uint8_t* data() { return reinterpret_cast<uint8_t*>(this + 1); }
    const uint8_t* data() const { return reinterpret_cast<const uint8_t*>(this + 1); }
  };
  struct DropCached {
    void operator()(Cached* c) const;
  };
  // The blocks read or changed, by page: a table of 128 pages at a time,
  // made as a page in it is first cached, finds a block without hashing
  // (an open that reads a few blocks makes a few tables, not one as long
  // as the file). A block keeps its place (and its bytes theirs) until it
  // is dropped.
  class BlockCache {
   public:
    Cached* Find(uint32_t page) const {
      const size_t at = page >> kTableBits;
      return at < tables_.size() && tables_[at] ? (*tables_[at])[page & kTableMask].get() : nullptr;
    }
    // The block's entry, made (its `size` bytes zero) when absent.
    Cached& Slot(uint32_t page, size_t size);
    void Erase(uint32_t page);
    void Clear();
    // Drops the blocks not changed since the file last held them.
    void DropClean();
    size_t size() const { return count_; }

   private:
    static constexpr uint32_t kTableBits = 7;
    static constexpr uint32_t kTableMask = (1u << kTableBits) - 1;
    using Table = std::array<std::unique_ptr<Cached, DropCached>, size_t(1) << kTableBits>;
    std::vector<std::unique_ptr<Table>> tables_;
    size_t count_ = 0;
  };
  BlockCache cache_;
  std::vector<uint32_t> dirty_;  // each changed block once
  bool headerDirty_ = false;
  bool stampDirty_ = false;
  bool writeBack_ = false;
  bool unsynced_ = false;  // written since the last sync
  Stamp nextStamp_;        // SetStamp's, until a change takes it
  bool stampPending_ = false;
  // What a held change may alter, as before it: the blocks it changed that
  // the file held (their old bytes), the header's values and the tags'.
  struct UndoState {
    uint32_t pages = 0, firstFree = 0, blocksAvailable = 0;
    bool headerDirty = false, stampDirty = false;
    Stamp stamp;
    size_t dirtyCount = 0;
    struct TagValues {
      uint32_t root, sizePages;
      uint8_t serial;
      uint64_t changes;
    };
    std::vector<TagValues> tags;
    std::vector<uint32_t> saved;      // the blocks saved, their bytes one after another
    std::vector<uint8_t> savedBytes;  // (both kept for their capacity)
  };
  UndoState undo_;
  uint64_t changeCount_ = 0;  // held changes begun (Cached::saved names one)
  bool undoing_ = false;      // a held change runs: blocks it changes are saved first
  bool inPlace_ = false;  // this flush has rewritten pages the file held
  bool torn_ = false;
  Stamp stamp_;
  const KeyOrder* collate_ = nullptr;  // null: character keys in byte order
  OrderStamp orderStamp_;
  uint32_t filePages_ = 0;  // pages the file held after the last flush
  Path scratchPath_;        // an insert's path and key, kept for their capacity
  std::vector<uint8_t> scratchKey_;
  std::vector<uint8_t> headBuffer_;  // the header as Flush writes it
  std::vector<const uint8_t*> runBlocks_;  // blocks Flush writes in one go
  mutable std::time_t todayAt_ = -1;
  mutable Ymd today_;
};

// A position in one tag's key order. Survives changes to the tag: after a
// key is inserted or deleted elsewhere it finds its entry again by key and
// record number.
class TagCursor {
 public:
  TagCursor(MdxFile& file, int tag);

  MdxStatus First();
  MdxStatus Last();
  MdxStatus Next();
  MdxStatus Prior();
  // First key whose leading bytes equal `key` (character keys may be
  // shorter than the key length); kNotFound leaves the cursor at the
  // nearest key after it (or at the end).
  MdxStatus SeekExact(std::span<const uint8_t> key);
  // First key at or after `key`.
  MdxStatus SeekNearest(std::span<const uint8_t> key);
  // The entry of this key and record.
  MdxStatus Find(std::span<const uint8_t> key, uint32_t recno);
  // The entry the cursor was left on, found again by its key and record
  // number only when the tag changed since; kNotFound when it went (the
  // cursor then stands on what follows it).
  MdxStatus Here();

  // Limits the walk to keys whose leading bytes lie between `low` and
  // `high` (inclusive; an empty side is open).
  void SetRange(std::span<const uint8_t> low, std::span<const uint8_t> high);
  void ClearRange();

  bool valid() const { return valid_; }
  uint32_t recno() const { return entry_.recno; }
  const std::vector<uint8_t>& key() const { return entry_.key; }

 private:
  MdxStatus Land(bool found);
  bool InRange() const;
  bool AboveLow() const;
  bool Resync(bool& exact);

  MdxFile& file_;
  int tag_;
  MdxFile::Path path_;
  MdxFile::Entry entry_;
  bool valid_ = false;
  uint64_t stamp_ = 0;
  std::vector<uint8_t> low_, high_;
};

}  // namespace orb::mdx
