// One open dBASE table in this process: its file, header and fields.
//
// All cursors on one file share one Table (found by canonical path), so the
// file has one descriptor in the process and its locks hold (see file.h).
// The layout of the file is described in table.cpp beside its reader.
#pragma once

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "file.h"
#include "index_hooks.h"
#include "orbex32.h"

namespace orb {

class MemoFile;
struct BatchState;

struct FieldInfo {
  std::string name;       // upper case
  char type = 'C';        // C N F D L M
  uint32_t offset = 0;    // in the record; byte 0 is the deletion flag
  uint16_t width = 0;
  uint8_t decimals = 0;
  uint16_t number = 0;    // 1-based
  uint32_t room = 0;      // bytes of the record from offset to its end (0: not known)
};

// The bytes a batch holds in memory before it writes them to the files
// (8 MiB); tests make it small to sweep the writes on the way.
size_t BatchBound();
void SetBatchBound(size_t bytes);
// The span of the table file a batch's held writes may cover before they
// are written and the disk starts on them (16 MiB): a batch that changes a
// few bytes in many records holds little but leaves much to sync, and the
// disk works through it while the batch goes on.
int64_t BatchSpan();
void SetBatchSpan(int64_t bytes);

class Table {
 public:
  ~Table();

  // Opens (or finds) the table in `path` for a cursor of `mode`; the mode's
  // lock is taken here and given back by Release. The end of an exclusive
  // open writes what its index holds (ProductionIndex::Checkpoint), and
  // answers whether that failed.
  static OrbResult Acquire(const std::filesystem::path& path, uint16_t mode,
                           std::shared_ptr<Table>* table);
  OrbResult Release(uint16_t mode);
  // True when any handle of this process has the file open.
  static bool IsOpen(const std::filesystem::path& path);

  // `durable`: written beside and renamed in, synced; else (a private
  // table nobody else opens, a query answer) written in place, unsynced.
  static OrbResult Create(const std::filesystem::path& path, const std::vector<FieldInfo>& fields,
                          uint8_t languageDriver, bool durable = true);
  // Puts a copy of the complete table `source` (with its memo file
  // `sourceMemo`, when not empty) in the place of `path` as one
  // replacement, as Create does: a crash or a full disk leaves the old
  // table with its companions or the new one with its memos, never a mix.
  // An old index or memo file the new table has no use for goes.
  static OrbResult ReplaceWithCopy(const std::filesystem::path& path, const std::filesystem::path& source,
                                   const std::filesystem::path& sourceMemo);

  const std::filesystem::path& Path() const { return path_; }
  // The companion file with this extension (".MDX", ".DBT"), found without
  // regard to case; when none exists, the name it would be created with.
  std::filesystem::path Companion(std::string_view extension) const;
  bool CompanionExists(std::string_view extension) const;

  const std::vector<FieldInfo>& Fields() const { return fields_; }
  // The fields as a copy callers may hold on to; a new one after a pack.
  const std::shared_ptr<const std::vector<FieldInfo>>& Layout() const { return layout_; }
  const FieldInfo* FindField(std::string_view name) const;
  const FieldInfo* Field(uint16_t number) const {
    return number >= 1 && number <= fields_.size() ? &fields_[number - 1] : nullptr;
  }
  uint32_t RecordSize() const { return recordLength_; }
  uint32_t RecordCount() const { return recordCount_; }
  uint32_t RecordsTrimmed() const { return recordsTrimmed_; }
  uint8_t Version() const { return version_; }
  uint8_t LanguageDriver() const { return languageDriver_; }
  bool ProductionFlag() const { return productionFlag_; }
  int32_t LastUpdate() const { return lastUpdate_; }
  bool HasMemo() const { return hasMemo_; }
  bool Exclusive() const { return exclusiveUsers_ > 0; }
  bool Writable() const { return file_.Writable(); }

  // Re-reads the header's record count (never beyond the whole records the
  // file holds) so appends by other handles show.
  OrbResult RefreshCount();
  // Makes the next RefreshCount re-read whatever it caches, even when the
  // file's size and time look unchanged (their clock is coarse).
  void ForgetState() {
    lastSize_ = -1;
    InvalidateBlocks();
  }
  // A change counter that moves on every write through this process and
  // whenever RefreshCount sees the file changed.
  uint64_t Generation() const { return generation_; }

  OrbResult ReadRecord(uint32_t recordNumber, uint8_t* record);
  // A record for a walk, in record order or an index's: records come from
  // blocks of records read ahead. A walk in record order reads the block
  // that follows; one that jumps (an index order) keeps every block it
  // read while the table's records fit the read-ahead's bound, else reads
  // each jump's record alone. In a shared or read-only open each block is
  // read after a look at the file (its size and time, and the header's
  // date, count and change counter), and no more than a block's worth of
  // records is answered from blocks without a look, so another program's
  // change shows after at most that many records in either order; a new
  // walk starts with a fresh look.
  // Without a copy: *bytes is the record in the blocks read ahead (good
  // until the table reads again), or `buffer` (RecordSize bytes) when it
  // was read alone.
  OrbResult ReadRecordAhead(uint32_t recordNumber, uint8_t* buffer, const uint8_t** bytes);
  // The next walk reads its blocks afresh.
  void DropReadAhead() {
    if (!Exclusive()) ReleaseBlocks();
    lastAhead_ = 0;
    readsAlone_ = 0;
  }
  // The deletion flag of every counted record, re-read only after the
  // file changed (Generation), so counts and sequence numbers of an
  // unfiltered cursor cost no record reads.
  OrbResult DeletionFlags(const std::vector<uint8_t>** flags);
  // The records counted and not deleted, without reading them: the deleted
  // records are known from our own changes, else from the index's stamp
  // when it names the table's change counter and record count, else
  // counted by their flags once (under the append lock, so no change of
  // another program is half seen) and, in a writable open, stamped.
  OrbResult LiveCount(uint32_t* live);
  // A caller that read every record's flag under the append lock, at the
  // change counter the table has now, tells what it found.
  void CountedDeleted(uint32_t deleted) {
    if (!KnownDeleted() && Settled()) KnowDeleted(deleted);
  }
  // The deleted records at the table's change counter and record count as
  // this process last saw them, when it knows them (for the index's stamp).
  std::optional<uint32_t> KnownDeleted() const {
    if (!deletedKnown_ || deletedCounter_ != counter_ || deletedRecords_ != recordCount_) return std::nullopt;
    return deleted_;
  }

  // Writes (the caller holds a writable cursor).
  OrbResult Append(const uint8_t* record, uint32_t* recordNumber);
  // *written (when given) says whether the record reached the file, also
  // when the header date after it failed (its index keys must follow then).
  OrbResult Rewrite(uint32_t recordNumber, const uint8_t* record, bool* written = nullptr);
  // Holds a record's lock across a change made of several writes (its
  // memos, then the record); Rewrite of a held record keeps the lock.
  bool LockRecord(uint32_t recordNumber);
  void UnlockRecord(uint32_t recordNumber);
  // Sets the deletion flag (or, with `deleted` false, clears it), under the
  // append lock: the change counter moves first (a change cut off before
  // the index's stamp follows leaves the stamp naming an older counter),
  // then the flag, synced, and the deleted records known move with it.
  // ORB_ERR_RECORD_DELETED when the flag is already so.
  OrbResult SetDeleted(uint32_t recordNumber, bool deleted = true);
  // Builds the packed table (its memo file holding only the live records'
  // memos, and its index) beside the old one and puts it in place.
  OrbResult Pack();
  // Takes back the append of the last record, whose keys could not be
  // stored: the count goes back and the record is cut off.
  OrbResult TakeBackAppend(uint32_t recordNumber);
  // The change counter in header bytes 16-19 (which other dBASE tools
  // leave alone): moved before every change that reaches the index, which
  // records the counter it was brought up to. An index whose counter or
  // record count differs from the table's may not match it.
  uint32_t UpdateCounter() const { return counter_; }
  OrbResult BumpCounter();
  // Waits for a change to the index by another program to end; true when
  // waited (EndWaitForIndexWriters then lets the next one in).
  bool WaitForIndexWriters();
  // Opened read-only with an index that may not match: the table reads in
  // natural order, and choosing a tag answers ORB_ERR_INDEX_OUT_OF_STEP
  // until a writable open rebuilds it.
  bool IndexOutOfStep() const { return indexOutOfStep_; }
  void EndWaitForIndexWriters();
  OrbResult SetProductionFlag(bool on);
  // The append lock, also held while memo blocks are allocated so two
  // programs never take the same blocks, and while the production index is
  // changed so two programs never rewrite its blocks under each other.
  // Takes nest within this process.
  bool LockAppend();
  void UnlockAppend();
  // Descriptor byte 31 of a field: 1 while the production index has a tag
  // on that field alone (the index module keeps it).
  OrbResult SetFieldIndexFlag(uint16_t fieldNumber, bool on);
  bool FieldIndexFlag(uint16_t fieldNumber);

  // A batch: every change through this table, until the commit or the
  // rollback, reaches the files as one (journal_format.md tells how).
  // `owner` is the cursor whose close rolls it back. A shared open holds
  // the append lock from begin to end.
  OrbResult BeginBatch(const void* owner);
  // Writes the batch; one that fails is rolled back and answers why.
  OrbResult CommitBatch();
  OrbResult RollbackBatch();
  // Also while a batch that failed waits for its commit or rollback.
  bool InBatch() const { return batch_ != nullptr; }
  const void* BatchOwner() const;
  // The failure of a batch that failed, until its commit or rollback.
  OrbResult BatchRefused() const;
  // A private table (a query answer) is never synced.
  void SetPrivate();

  // A copy into a table that holds no record, built whole beside it.
  // BeginCopyBeside, while this handle is the table's one user in this
  // process and in any other, makes "." + name + ".copy-XXXXXX" + extension
  // in its folder: a table with this one's header (its index flag off) and
  // a memo file when it has one, for the caller to fill unsynced; others
  // stay out until EndCopyBeside or AbandonCopyBeside. Otherwise (records
  // held, others reading, a batch open) *building stays empty and the caller
  // copies in a batch.
  OrbResult BeginCopyBeside(std::filesystem::path* building);
  // The copy's files are synced once and its index built beside them; the
  // index and memo file are renamed in, then the table, and the folder is
  // synced. This table then reads the new files. A failure before the
  // table's rename leaves it as it was, and its copy gone.
  OrbResult EndCopyBeside(const std::filesystem::path& building);
  void AbandonCopyBeside(const std::filesystem::path& building);

  MemoFile* Memo() { return memo_.get(); }
  ProductionIndex* Index() { return index_.get(); }
  void SetIndex(std::unique_ptr<ProductionIndex> index) { index_ = std::move(index); }
  std::string DisplayName() const;

 private:
  Table() = default;
  bool TakeAppendLock();
  // An interrupted batch's journal found at an open is undone first.
  OrbResult RecoverJournal();
  // In a batch: what the batch holds in memory reaches the files once it
  // outgrows its bound. A failure rolls the batch back.
  OrbResult AfterBatchWrite(OrbResult r);
  // Old bytes to the journal (synced), then the held writes to the files;
  // the table's header stays held unless `header`. `writeback`: the disk
  // starts on what was written (a batch on its way, not at its commit).
  OrbResult WriteBatch(bool header, bool writeback = false);
  // Makes the journal unless made; *made (when given) says it was, and
  // leaves its syncs (it and its folder) to the caller.
  OrbResult OpenJournal(bool* made = nullptr);
  // Puts the table back as before the batch; the batch ends (or, with
  // `failure`, waits for its commit or rollback to be answered that).
  OrbResult UndoBatch(OrbResult failure);
  // An index with this table's tags over the `count` records of
  // `records` (a file of this table's layout), written at `path`, synced.
  OrbResult WriteFreshIndex(File& records, const std::filesystem::path& path, uint32_t count, uint32_t counter);
  // The files of a replacement were renamed in and `now` is the table's:
  // this table reads them from here on.
  OrbResult ReadReplaced(File& now, bool keyed, const std::pair<uint64_t, uint64_t>& oldKey);
  OrbResult Load();
  OrbResult LoadHeader();
  OrbResult OpenCompanions();
  OrbResult CheckIndex(uint16_t mode);
  // Writes today's date, the count (when given) and the next change counter.
  // `fresh`: the header was just read under the append lock (stamp_ holds it).
  OrbResult WriteHeader(const uint32_t* count, bool fresh = false);
  OrbResult SyncData() { return file_.Sync(); }
  // Records in one block of the read-ahead (block b holds records
  // b * BlockRecords() + 1 on).
  uint32_t BlockRecords() const;
  // The record in its block of the read-ahead, when that block was read
  // since the last change seen; else null.
  const uint8_t* FromBlocks(uint32_t recordNumber) const;
  // The same record, to be changed with the file; KeepBlockOf then keeps
  // the block that holds it current.
  uint8_t* CachedRecord(uint32_t recordNumber) { return const_cast<uint8_t*>(FromBlocks(recordNumber)); }
  void KeepBlockOf(uint32_t recordNumber, const uint8_t* record);
  struct AheadBlock {
    uint8_t* bytes = nullptr;          // room for BlockRecords() records
    size_t length = 0;                 // the bytes read
    uint64_t generation = 0;           // Generation() when read
  };
  // The block kept for an index walk, with a buffer (null when none is left).
  AheadBlock* KeptBlock(uint32_t block);
  // Reads the record's block into `into` and answers the record.
  OrbResult ReadBlock(uint32_t recordNumber, AheadBlock& into, const uint8_t** bytes);
  // The blocks read so far answer nothing more (ReleaseBlocks also gives
  // the kept ones' buffers back).
  void InvalidateBlocks();
  void ReleaseBlocks();
  // A record from the read-ahead (see ReadRecordAhead), else read alone
  // into `buffer`.
  OrbResult Ahead(uint32_t recordNumber, uint8_t* buffer, const uint8_t** bytes);
  // RefreshCount, also when only the header's first bytes moved (another
  // program's rewrite within the file time's resolution).
  OrbResult LookForChanges();
  void NoteHeader(const uint8_t* h) { std::memcpy(stamp_, h, sizeof stamp_); }
  // After a write: drop the read-ahead, note the file's new state (its
  // size, when the writer knows it, spares a look).
  void Wrote(int64_t knownSize = -1);

  std::filesystem::path path_;
  File file_;
  std::vector<FieldInfo> fields_;
  std::shared_ptr<const std::vector<FieldInfo>> layout_;
  uint8_t version_ = 3;
  uint8_t languageDriver_ = 0;
  bool productionFlag_ = false;
  bool hasMemo_ = false;
  int32_t lastUpdate_ = 0;
  uint32_t headerLength_ = 0;
  uint32_t recordLength_ = 0;
  uint32_t recordCount_ = 0;
  uint32_t recordsTrimmed_ = 0;
  uint32_t counter_ = 0;
  bool waiting_ = false;
  bool indexOutOfStep_ = false;
  uint64_t generation_ = 1;
  int64_t lastSize_ = -1;
  int64_t lastMtimeNs_ = -1;
  int sharedUsers_ = 0;
  int exclusiveUsers_ = 0;
  int readOnlyUsers_ = 0;
  int appendDepth_ = 0;
  uint32_t heldRecord_ = 0;
  std::vector<uint8_t> flags_;
  uint64_t flagsGeneration_ = 0;
  // The deleted records, known at this change counter and record count.
  uint32_t deleted_ = 0;
  bool deletedKnown_ = false;
  uint32_t deletedCounter_ = 0;
  uint32_t deletedRecords_ = 0;
  // Learns the deleted records without reading a record (an empty table,
  // the index's stamp); true when they are known.
  bool LearnDeleted();
  bool Settled() const;
  void KnowDeleted(uint32_t deleted) {
    deleted_ = deleted;
    deletedKnown_ = true;
    deletedCounter_ = counter_;
    deletedRecords_ = recordCount_;
  }
  AheadBlock stream_;            // the block a walk in record order is in
  std::unique_ptr<uint8_t[]> streamBuffer_;
  uint32_t streamBlock_ = 0;
  std::vector<AheadBlock> blocks_;    // kept for index walks, by block number
  std::vector<uint32_t> heldBlocks_;  // the numbers of those holding a buffer
  uint32_t lastAhead_ = 0;  // the record ReadRecordAhead answered last
  uint32_t sinceLook_ = 0;  // records answered from blocks since the last look
  uint32_t readsAlone_ = 0;  // reads since the walk began or we last wrote (up to a bound)
  uint8_t stamp_[20] = {};  // header bytes 0-19 as last read or written
  std::unique_ptr<MemoFile> memo_;
  std::unique_ptr<ProductionIndex> index_;
  std::unique_ptr<BatchState> batch_;
  bool private_ = false;  // never synced, its batches keep no journal
  bool copyLocked_ = false;  // a shared open holds the exclusive lock for a copy beside
};

}  // namespace orb
