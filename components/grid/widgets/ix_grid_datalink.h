// TixGridDataLink: the data grid's link to its data source. It passes the
// dataset's notifications to the grid and keeps the field map, the dataset
// positions of the fields the grid shows, in column order.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "framework/db.h"

namespace grid {

class TixCustomDBGrid;

// The most columns a grid shows, its indicator included.
inline constexpr int kMaxGridColumns = 16380;
inline constexpr const char* kTooManyColumnsMessage = "Grid requested to display more than 256 columns";

class TixGridDataLink : public framework::TDataLink {
 public:
  explicit TixGridDataLink(TixCustomDBGrid& grid) : grid_(grid) {}

  // Appends the named field's position when the dataset has it.
  bool SetFieldMap(const std::string& name);
  void AddMapping(int fieldIndex);
  void ClearMapping() { fieldMap_.clear(); }
  int FieldCount() const { return static_cast<int>(fieldMap_.size()); }
  int MapCapacity() const { return capacity_; }
  // The field of a mapped column, null past the map.
  framework::TField* Fields(int column) const;

  // The editor's text differs from the field.
  bool Modified() const { return modified_; }
  void SetModified() { modified_ = true; }
  void Reset();
  bool InUpdateData() const { return inUpdateData_; }
  // The editor wrote into the field since the record was read.
  bool EditorChangedField() const { return editorChanged_; }
  void ClearEditorChanged() { editorChanged_ = false; }

 protected:
  void ActiveChanged() override;
  void DataSetChanged() override;
  void DataSetScrolled(int distance) override;
  void EditingChanged() override;
  void LayoutChanged() override;
  void RecordChanged(framework::TField* field) override;
  void UpdateData() override;

 private:
  TixCustomDBGrid& grid_;
  std::vector<int32_t> fieldMap_;
  int capacity_ = 0;
  bool modified_ = false;
  bool inUpdateData_ = false;
  bool editorChanged_ = false;
};

}  // namespace grid
