// What the table offers the index module, and the hooks it calls so the
// production index stays current.
//
// The index module installs itself once (SetIndexModule, from a static
// initialiser of its own sources). Without one, tables open only when header
// byte 28 is 0, and the index entries answer ORB_ERR_NO_INDEX_SUPPORT.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <vector>

#include "orbex32.h"
#include "order.h"

namespace orb {

class Table;

// The production index of one open table (one object per table in the
// process, shared by its cursors).
class ProductionIndex {
 public:
  virtual ~ProductionIndex() = default;

  // Called after the table's file holds the change (record written and
  // counted, the table's change counter moved). Each brings the index's
  // stamp up to the table's counter and count and is on disk when it
  // returns (in an exclusive open, at the next Checkpoint); a failure
  // leaves the index as it was, and the caller takes the record's change
  // back.
  virtual OrbResult OnInsert(uint32_t recordNumber, const uint8_t* record) = 0;
  virtual OrbResult OnModify(uint32_t recordNumber, const uint8_t* before, const uint8_t* after) = 0;
  // The deletion flag was set; dBASE indexes keep entries of deleted records.
  virtual OrbResult OnDelete(uint32_t recordNumber, const uint8_t* record) = 0;
  // Every tag is rebuilt from the data, in a file written beside the index
  // and renamed over it.
  virtual OrbResult Regenerate() = 0;

  // False when the index may not match its table: its stamp names another
  // change counter or record count. Costs no reads.
  virtual bool InStep(uint32_t counter, uint32_t records) = 0;
  // The deleted records the stamp names, when it names this change counter
  // and record count and holds them. Costs no reads.
  virtual bool StampedDeleted(uint32_t counter, uint32_t records, uint32_t* deleted) {
    (void)counter;
    (void)records;
    (void)deleted;
    return false;
  }
  // True when character tags were built in another order than the table's
  // language driver gives now: they are rebuilt at a writable open, and
  // refused for searching otherwise. Costs no reads.
  virtual bool OrderStale() { return false; }
  // The index file cannot be read: it is not in step, a writable open
  // rebuilds it (Regenerate), and choosing a tag answers the damage.
  virtual bool Damaged() const { return false; }
  // Brings the stamp up to the table without changing a key (after a
  // failed change was taken back).
  virtual OrbResult Restamp() = 0;
  // Writes a complete index with the same tags over `count` records read
  // through `record` (null for one that cannot be read) into `path`,
  // stamped with `counter`, and syncs it.
  using RecordReader = std::function<const uint8_t*(uint32_t recordNumber)>;
  virtual OrbResult WriteFresh(const std::filesystem::path& path, uint32_t count, const RecordReader& record,
                               uint32_t counter) = 0;
  // The index file was replaced: open the one now at the table's name.
  virtual OrbResult Reopen() = 0;
  // The full check: every tag's tree is sound and holds exactly one key
  // per record, equal to the record's, in order.
  virtual OrbResult CheckAll() = 0;

  virtual OrbResult AddTag(const OrbIndexDesc& desc) = 0;
  // ORB_ERR_NO_SUCH_INDEX when there is no such tag.
  virtual OrbResult DeleteTag(const char* tagName) = 0;
  virtual OrbResult Describe(std::vector<OrbIndexDesc>* tags) = 0;
  // A new order over the tag, before its first entry.
  virtual OrbResult MakeOrder(const char* tagName, std::unique_ptr<RecordOrder>* order) = 0;

  // Another process may have changed the index: re-read what is cached.
  virtual void Refresh() = 0;

  // In an exclusive open the index holds its changes in memory (its stamp
  // on disk lags, so a cut-off run is rebuilt at the next open). This
  // writes them, whole, and syncs: when the open ends, and before anything
  // reads, copies, replaces or checks the file. A failure keeps them held.
  virtual OrbResult Checkpoint() { return ORB_OK; }
};

class IndexModule {
 public:
  virtual ~IndexModule() = default;

  // Header byte 28 is set: open the table's production index. The default
  // check (a missing .MDX refuses the open with ORB_ERR_INDEX_MISSING) runs
  // before this is called, through MissingIndexCheck below.
  virtual OrbResult Open(Table& table, std::unique_ptr<ProductionIndex>* index) = 0;
  // The first tag is being added: create an empty production index file.
  virtual OrbResult Create(Table& table, std::unique_ptr<ProductionIndex>* index) = 0;
  // Reserved for removing an emptied production index; the engine does not
  // call it yet (creating a table unlinks a stale .MDX itself).
  virtual OrbResult Remove(Table& table) = 0;
};

void SetIndexModule(IndexModule* module);
IndexModule* GetIndexModule();

// Decides what opening a table whose byte 28 is 1 does when the .MDX beside
// it is missing. The default refuses with ORB_ERR_INDEX_MISSING; a hook may
// answer ORB_OK to open the table in natural order without its index.
using MissingIndexHook = OrbResult (*)(Table& table);
void SetMissingIndexHook(MissingIndexHook hook);
MissingIndexHook GetMissingIndexHook();

}  // namespace orb
