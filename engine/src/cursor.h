// A cursor: one handle's view of a table, with its order, position,
// filters and open blobs.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <utility>
#include <vector>

#include "filter_expr.h"
#include "order.h"
#include "table.h"

namespace orb {

// The order of record numbers.
class NaturalOrder : public RecordOrder {
 public:
  explicit NaturalOrder(Table& table) : table_(table) {}
  const char* Name() const override { return ""; }
  bool VisitsEveryRecord() override { return true; }
  void SetToBegin() override { pos_ = 0; }
  void SetToEnd() override { pos_ = kEnd; }
  OrbResult Next(uint32_t* recordNumber) override;
  OrbResult Prior(uint32_t* recordNumber) override;
  OrbResult SetToRecord(uint32_t recordNumber, const uint8_t* record) override;
  int Compare(uint32_t a, const uint8_t*, uint32_t b, const uint8_t*) override {
    return a < b ? -1 : (a > b ? 1 : 0);
  }
  OrbResult Seek(uint16_t, const SearchKey&) override { return ORB_ERR_NO_SUCH_INDEX; }
  OrbResult SetRange(const SearchKey*, bool, const SearchKey*, bool) override { return ORB_ERR_NO_SUCH_INDEX; }
  OrbResult ResetRange() override { return ORB_OK; }
  void Refresh() override {}

 private:
  static constexpr uint32_t kEnd = 0xFFFFFFFFu;
  Table& table_;
  uint32_t pos_ = 0;  // 0 before the first, kEnd after the last, else a record number
};

struct FilterEntry {
  OrbFilter handle = 0;
  void* context = nullptr;
  uint16_t priority = 0;
  OrbRecordFilterFn fn = nullptr;
  std::shared_ptr<const FilterExpr> expr;  // an expression filter instead of fn
  bool active = false;
};

struct Blob {
  uint16_t mode = ORB_BLOB_READ_ONLY;
  std::vector<uint8_t> text;
  bool dirty = false;
};

class Cursor {
 public:
  Cursor(std::shared_ptr<Table> table, uint16_t mode);
  ~Cursor();
  // Ends the cursor's use of the table (the destructor does it otherwise):
  // the end of an exclusive open writes what the index held back, and a
  // failure to do so is answered here.
  OrbResult Close();

  Table& table() { return *table_; }
  uint16_t mode() const { return mode_; }
  bool busy() const { return inFilter_; }

  void SetToBegin();
  void SetToEnd();
  // +1 next, -1 prior: the next visible record in that direction.
  OrbResult Step(int direction, uint8_t* record, OrbRecordInfo* info);
  OrbResult Current(uint8_t* record, OrbRecordInfo* info);
  OrbResult Count(uint32_t* count);
  OrbResult SeqNo(uint32_t* seq);
  OrbResult SetToSeqNo(uint32_t seq);
  OrbResult SetToRecordNo(uint32_t recordNumber);
  OrbResult Refresh();
  OrbResult Bookmark(uint8_t* bookmark);
  OrbResult GoToBookmark(const uint8_t* bookmark);
  OrbResult CompareBookmarks(const uint8_t* a, const uint8_t* b, int32_t* result);

  OrbResult Insert(uint8_t* record);
  OrbResult Modify(uint8_t* record);
  OrbResult Delete();

  OrbResult AddFilter(void* context, uint16_t priority, OrbRecordFilterFn fn, OrbFilter handle,
                      std::shared_ptr<const FilterExpr> expr = nullptr);
  FilterEntry* FindFilter(OrbFilter handle);
  OrbResult DropFilter(OrbFilter handle);

  Blob* FindBlob(const uint8_t* record, uint16_t field);
  OrbResult OpenBlob(uint8_t* record, uint16_t field, uint16_t mode);
  OrbResult FreeBlob(uint8_t* record, uint16_t field);
  OrbResult ReadMemo(const uint8_t* record, uint16_t field, std::vector<uint8_t>* text);

  RecordOrder& order() { return *order_; }
  OrbResult SetOrder(std::unique_ptr<RecordOrder> order);
  // After a seek: stand on the next visible record the order yields.
  OrbResult SettleAfterSeek();

 private:
  enum class Place { kBegin, kOn, kEnd };
  bool Visible(uint32_t recordNumber, const uint8_t* record);
  // Natural order and no active filter: only deletion flags decide.
  bool Unfiltered() const;
  bool NoActiveFilter() const;
  bool CallbackFilterActive() const;
  // Stores the buffer's changed memos in fresh blocks and syncs them; they
  // stay marked changed until BlobsStored, so a refused post writes them
  // again when retried.
  OrbResult StoreBlobs(uint8_t* record);
  void BlobsStored(const uint8_t* record);
  void Fill(uint8_t* record, OrbRecordInfo* info, uint32_t recordNumber, const uint8_t* source);
  // Restores the position saved before a walk.
  void Restore(Place place, uint32_t current);

  std::shared_ptr<Table> table_;
  uint16_t mode_;
  bool closed_ = false;
  std::unique_ptr<RecordOrder> order_;
  Place place_ = Place::kBegin;
  uint32_t current_ = 0;   // the record stood on (kept after it is deleted)
  bool currentGone_ = false;
  bool inFilter_ = false;
  std::vector<FilterEntry> filters_;
  std::vector<uint8_t> scratch_;
  std::map<std::pair<const uint8_t*, uint16_t>, Blob> blobs_;
};

}  // namespace orb
