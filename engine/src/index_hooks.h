// What the table offers the index module, and the hooks it calls so the
// production index stays current.
//
// The index module installs itself once (SetIndexModule, from a static
// initialiser of its own sources). Without one, tables open only when header
// byte 28 is 0, and the index entries answer ORB_ERR_NO_INDEX_SUPPORT.
#pragma once

#include <cstdint>
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
  // counted). A failure is reported to the caller of the write; the record
  // itself stays stored, and a regeneration brings the index back in line.
  virtual OrbResult OnInsert(uint32_t recordNumber, const uint8_t* record) = 0;
  virtual OrbResult OnModify(uint32_t recordNumber, const uint8_t* before, const uint8_t* after) = 0;
  // The deletion flag was set; dBASE indexes keep entries of deleted records.
  virtual OrbResult OnDelete(uint32_t recordNumber, const uint8_t* record) = 0;
  // Records were renumbered by a pack: every tag is rebuilt from the data.
  virtual OrbResult Regenerate() = 0;

  virtual OrbResult AddTag(const OrbIndexDesc& desc) = 0;
  // ORB_ERR_NO_SUCH_INDEX when there is no such tag.
  virtual OrbResult DeleteTag(const char* tagName) = 0;
  virtual OrbResult Describe(std::vector<OrbIndexDesc>* tags) = 0;
  // A new order over the tag, before its first entry.
  virtual OrbResult MakeOrder(const char* tagName, std::unique_ptr<RecordOrder>* order) = 0;

  // Another process may have changed the index: re-read what is cached.
  virtual void Refresh() = 0;
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
