// The table dataset of the component library and the routines its datasets
// share.
//
// TixTable is a framework TTable with four line lists the library's
// controls read:
//   ControlType   "FIELD;CheckBox;checked;unchecked", "FIELD;Combo;name" or
//                 "FIELD;LookupCombo;name": the field is edited in the grid
//                 through that control. Field names as the engine reports
//                 them (upper case), matched exactly by the grid.
//   LookupFields  "calcfield;database;table;shownfield;index": a
//                 calculated field filled from a lookup table, keyed by
//   LookupLinks   line n: "localfield;lookupfield" pairs (1 to 6) for
//                 LookupFields line n; the local values form the key.
//   ixFilter      filter text (see ix_filter.h), lines joined with AND.
// and a record filter, OnFilter, asked for every record the engine
// considers; it reads the record under test with FilterFieldValue and must
// not move the table.
//
//   grid::TixTable t;
//   t.SetDatabaseName(dir); t.SetTableName("MASTER.DBF");
//   t.SetControlType({"WARRANTY;CheckBox;Yes;No", "BRAND;Combo;MyComboBrand"});
//   t.SetOnFilter([](grid::TixTable& t) {
//     return grid::FilterFieldValue(t, "BRAND").AsString() == "Sony"; });
//   t.Open();
//   t.SetixFilter({"COST > 100"});   // "Fail to set filter" when refused
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "framework/db.h"
#include "framework/dbtables.h"
#include "orbex32.h"

namespace grid {

class TixTable;

using TLines = std::vector<std::string>;
using TixTableFilterEvent = std::function<bool(TixTable&)>;

// What the library's datasets (TixTable, and the query datasets) have in
// common: the lists their controls read.
class TixDataSetLists {
 public:
  virtual ~TixDataSetLists() = default;
  TLines& ControlTypeLines() { return controlType_; }
  TLines& LookupFieldsLines() { return lookupFields_; }
  TLines& LookupLinksLines() { return lookupLinks_; }
  const TLines& ControlType() const { return controlType_; }
  const TLines& LookupFields() const { return lookupFields_; }
  const TLines& LookupLinks() const { return lookupLinks_; }
  void SetControlType(const TLines& lines) { controlType_ = lines; }
  void SetLookupFields(const TLines& lines) { lookupFields_ = lines; }
  void SetLookupLinks(const TLines& lines) { lookupLinks_ = lines; }

 private:
  TLines lookupFields_;
  TLines lookupLinks_;
  TLines controlType_;
};

// A lookup table a dataset opened for its calculated lookup fields.
struct TixLookupTable {
  std::unique_ptr<TixTable> table;
  std::string links;  // the LookupLinks line it was opened for
  bool positioned = false;
  bool found = false;
};
using TixLookupTables = std::vector<TixLookupTable>;

class TixTable : public framework::TTable, public TixDataSetLists {
 public:
  TixTable();
  ~TixTable() override;

  const TLines& ixFilter() const { return ixFilter_; }
  // Stores the lines; on an open table installs them at once and shows
  // "Fail to set filter" when the text or the engine refuses it (the table
  // keeps its previous filter and stays open).
  void SetixFilter(const TLines& lines);
  // The lines joined: the first as it is, each further non-empty one as
  // " AND (" line ")"; trailing blanks and tabs dropped, empty lines skipped.
  std::string JoinFilterLines() const;

  // On SQL databases, position lookup tables with a range instead of a key
  // search.
  bool SyncSQLByRange = true;
  // Cancel a range before a key search; prefix ranges in incremental search.
  bool NarrowSearch = false;
  // Whether the table's database answers through SQL (a server that
  // positions cheaply by ranges). A directory of dBASE tables never does.
  virtual bool IsSQLBased() const { return false; }

  const TixTableFilterEvent& OnFilter() const { return onFilter_; }
  // Assigning installs the record filter (at once when the table has a
  // cursor, else when it opens); clearing removes it, the text filter stays.
  void SetOnFilter(TixTableFilterEvent handler);

  // Called with the table when it is destroyed.
  std::function<void(TixTable&)> OnDestroyNotify;
  // *flag becomes true when the table is destroyed.
  void AddWatcher(bool* flag) { watchers_.push_back(flag); }
  void RemoveWatcher(bool* flag);

  OrbFilter TextFilterHandle() const { return textFilter_; }
  TixLookupTables& LookupTables() { return lookupTables_; }

  static bool IsDBaseTable(const framework::TTable& table);
  static bool IsTessalyTable(const framework::TTable& table);

 protected:
  void PrepareCursor() override;
  void DoOnCalcFields() override;
  void CloseCursor() override;

 private:
  friend framework::TParam& FilterFieldValue(TixTable& table, std::string_view fieldName);
  void ReapplyFilter();
  bool RecordAccepted();

  TLines ixFilter_;
  TixTableFilterEvent onFilter_;
  OrbFilter textFilter_ = 0;
  framework::TParam param_;
  TixLookupTables lookupTables_;
  std::vector<bool*> watchers_;
  bool destroying_ = false;
};

// The data source the library's controls attach to.
class TixDataSource : public framework::TDataSource {
 public:
  using framework::TDataSource::TDataSource;
};

// The named field's value in the record under filter test (the table's own
// parameter object, overwritten by the next call). EDatabaseError
// "Field 'X' not found" for a name the table does not have.
framework::TParam& FilterFieldValue(TixTable& table, std::string_view fieldName);

int GetRecordCount(framework::TDataSet& dataSet);
bool IsLibraryDataSet(const framework::TDataSet* dataSet);
// The lists of a library dataset; null for other datasets.
TLines* GetControlTypeList(framework::TDataSet* dataSet);
TLines* GetLookupFieldsList(framework::TDataSet* dataSet);
TLines* GetLookupLinksList(framework::TDataSet* dataSet);
bool DataSetHasField(const framework::TDataSet* dataSet, std::string_view name);

// Deletes the LookupFields lines (with their LookupLinks lines) and the
// ControlType lines whose field the dataset does not have.
void DropStaleEntries(framework::TDataSet& dataSet, TLines* lookupFields, TLines* lookupLinks, TLines* controlTypes);
// Fills the calculated lookup fields of the record being calculated.
void BuildLookupFields(framework::TDataSet& dataSet, const TLines& lookupFields, const TLines& lookupLinks,
                       TixLookupTables& lookupTables);
// Positions the table on the key made of `values` in its active index (by
// a range from them on an SQL database with SyncSQLByRange).
bool FindKeyByLookupValues(TixTable& table, const std::vector<std::string>& values, const std::string& lastIndex);
// A range of the active index from the key `start` on, without an end.
void SetRangeFrom(TixTable& table, const std::vector<std::string>& start);

}  // namespace grid
