// The cursor a dataset moves through: the one seam between the dataset's
// buffering and an engine. The engine's cursor (engine_cursor.cpp) and the
// tests' in-memory cursor implement it.
//
// A cursor stands on a record, before the first or after the last. Records
// travel as one FieldValue per data field (in field-number order); a cursor
// may keep its own bytes beside them in `raw`. Failures throw EDatabaseError.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "framework/db.h"

namespace framework::detail {

struct FieldDesc {
  std::string name;
  TFieldType type = ftString;
  int size = 0;      // characters of a string, decimals of a number
  int width = 0;     // bytes of the stored field
  int decimals = 0;
  bool required = false;
};

struct RecordData {
  std::vector<FieldValue> values;
  std::string raw;  // the cursor's own copy of the stored record, if it keeps one
  TBookmark bookmark;
  // For Modify: the fields (by index) an edit left as they were read from
  // `raw`; a cursor keeps their stored bytes as they are. Empty: all changed.
  std::vector<char> unchanged;
  // `values` are what `raw` reads as (set by the cursor that read or wrote
  // it; an edit clears it): a read that finds the same bytes again keeps them.
  bool decoded = false;
};

enum class Fetch { Current, Next, Prior };
enum class FetchResult { Ok, Bof, Eof };

struct KeySearch {
  std::vector<FieldValue> record;  // a whole record whose key fields hold the key
  std::string keyText;             // the key as text, for an expression index
  bool useText = false;
  bool nearest = false;            // the first key >= instead of an equal key
};

struct IndexInfo {
  std::string name;
  std::string fields;  // field names separated by ";" or the key expression
  TIndexOptions options = 0;
  std::vector<int> keyFields;  // field numbers of the key; empty for an expression
};

class Cursor {
 public:
  virtual ~Cursor() = default;

  virtual std::vector<FieldDesc> Fields() = 0;
  virtual bool CanModify() = 0;

  virtual void SetToBegin() = 0;
  virtual void SetToEnd() = 0;
  // Next and Prior move, then read; Current reads the record the cursor
  // stands on (Eof when it stands on none that is still visible).
  virtual FetchResult Get(Fetch mode, RecordData& record) = 0;
  virtual void SetToBookmark(const TBookmark& bookmark) = 0;  // throws when gone
  virtual bool BookmarkValid(const TBookmark& bookmark) = 0;
  virtual int CompareBookmarks(const TBookmark& a, const TBookmark& b) = 0;
  virtual int RecordCount() = 0;
  // The count with the record filter (SetFilter) left out, answered without
  // calling it on each record; ranges and the engine's own filters still apply.
  virtual int RecordCountWithoutFilter() = 0;
  virtual int SequenceNumber() = 0;  // of the current record, -1 unknown
  virtual void Refresh() = 0;        // forget what was read; see other writers' changes

  // A blank new record of this table.
  virtual RecordData NewRecord() = 0;
  // Stores the record and stands on it (its bookmark is filled in).
  virtual void Insert(RecordData& record) = 0;
  // Rewrites the current record (`raw` then holds the bytes stored).
  virtual void Modify(RecordData& record) = 0;
  // Deletes the current record; the cursor stays between its neighbours.
  virtual void Delete() = 0;

  // Record filter: called with the values of each record considered, from
  // inside fetches and counts. An exception the filter throws is carried
  // out of the cursor operation that asked.
  virtual void SetFilter(std::function<bool(const std::vector<FieldValue>&)> accept) = 0;
  // Field `index` of the record under filter test, for a cursor that
  // decodes the fields as they are read; null when the values handed to
  // the filter hold them all.
  virtual const FieldValue* FilterValue(size_t index) { return nullptr; }

  // Indexes; the defaults answer "not supported".
  virtual std::vector<IndexInfo> Indexes();
  virtual void SwitchToIndex(const std::string& name);  // "" natural order
  virtual void AddIndex(const IndexInfo& index);
  virtual void DeleteIndex(const std::string& name);
  virtual bool FindKey(const KeySearch& key);  // true when an equal key (nearest: any) was found
  virtual void SetRange(const std::vector<FieldValue>* low, const std::vector<FieldValue>* high);
  virtual void CancelRange();

  // The engine's handles for callers that reach it directly (0 here).
  virtual uint32_t Handle() const { return 0; }
};

}  // namespace framework::detail
