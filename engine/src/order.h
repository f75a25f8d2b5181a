// Record orders: the sequence a cursor walks.
//
// A cursor stands on an entry of its order or on one of its two ends (before
// the first, after the last). The natural order walks record numbers; the
// index module adds one order per tag. Orders know nothing of deleted
// records or filters: the cursor skips those on top, so an order yields
// every record it holds, in its sequence.
#pragma once

#include <cstdint>

#include "orbex32.h"

namespace orb {

// A search key: either the fields of a record buffer, turned into a key by
// the tag's expression, or a character key's text. partialLength is the
// number of leading key bytes compared, 0 for the whole key.
struct SearchKey {
  const uint8_t* record = nullptr;
  const char* text = nullptr;
  uint16_t partialLength = 0;
};

class RecordOrder {
 public:
  virtual ~RecordOrder() = default;

  // The tag name, "" for the natural order.
  virtual const char* Name() const = 0;

  // Before the first entry / after the last one.
  virtual void SetToBegin() = 0;
  virtual void SetToEnd() = 0;

  // Steps to the next / prior entry and reports its record number;
  // ORB_ERR_EOF / ORB_ERR_BOF (standing on that end) when there is none.
  virtual OrbResult Next(uint32_t* recordNumber) = 0;
  virtual OrbResult Prior(uint32_t* recordNumber) = 0;

  // Stands on the entry of this record; `record` holds its bytes as stored
  // (an index finds the entry by its key). ORB_ERR_NOT_FOUND when the order
  // does not hold it (outside a range, say).
  virtual OrbResult SetToRecord(uint32_t recordNumber, const uint8_t* record) = 0;

  // <0, 0, >0 as record a comes before, with, after record b in this order.
  virtual int Compare(uint32_t recordA, const uint8_t* a, uint32_t recordB, const uint8_t* b) = 0;

  // Key searches and ranges (ORB_KEY_* modes); the natural order answers
  // ORB_ERR_NO_SUCH_INDEX (no index is active). A search leaves the order
  // just before the entry it found (or, for ORB_KEY_EQ answering
  // ORB_ERR_NOT_FOUND, before the nearest greater key), so that Next yields
  // it; a range applies from the next SetToBegin/SetToEnd on.
  virtual OrbResult Seek(uint16_t searchMode, const SearchKey& key) = 0;
  virtual OrbResult SetRange(const SearchKey* low, bool lowIncluded, const SearchKey* high,
                             bool highIncluded) = 0;
  virtual OrbResult ResetRange() = 0;
  // After an ORB_KEY_EQ search that found its key and the steps past the
  // records the cursor hides: whether the entry stood on still has that
  // key (when every record of the key is hidden it does not).
  virtual bool OnSoughtKey() const { return true; }

  // Another handle may have changed the table: forget what is cached.
  virtual void Refresh() = 0;

  // True when a walk would visit every record of the table exactly once
  // (no range, and an index known to match its table), so counts need no
  // walk.
  virtual bool VisitsEveryRecord() { return false; }
};

}  // namespace orb
