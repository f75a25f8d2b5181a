#include "ix_grid_datalink.h"

#include <algorithm>

#include "custom_grid.h"
#include "ix_custom_dbgrid.h"

namespace grid {

bool TixGridDataLink::SetFieldMap(const std::string& name) {
  framework::TDataSet* ds = DataSet();
  framework::TField* field = ds ? ds->FindField(name) : nullptr;
  if (!field) return false;
  AddMapping(field->Index());
  return true;
}

void TixGridDataLink::AddMapping(int fieldIndex) {
  const int count = FieldCount();
  // One column is the indicator's.
  if (count >= kMaxGridColumns - 1) throw EInvalidGridOperation(kTooManyColumnsMessage);
  if (count == capacity_) {
    capacity_ = std::min(capacity_ == 0 ? 8 : capacity_ * 2, kMaxGridColumns);
    fieldMap_.reserve(static_cast<size_t>(capacity_));
  }
  fieldMap_.push_back(fieldIndex);
}

framework::TField* TixGridDataLink::Fields(int column) const {
  framework::TDataSet* ds = DataSet();
  if (!ds || column < 0 || column >= FieldCount()) return nullptr;
  const int index = fieldMap_[static_cast<size_t>(column)];
  return index < ds->FieldCount() ? ds->Fields(index) : nullptr;
}

void TixGridDataLink::Reset() {
  if (!modified_) return;
  modified_ = false;
  grid_.RecordChanged(nullptr);
}

void TixGridDataLink::ActiveChanged() {
  editorChanged_ = false;
  grid_.LinkActive(Active());
}

void TixGridDataLink::DataSetChanged() {
  editorChanged_ = false;
  grid_.DataChanged();
  modified_ = false;
}

void TixGridDataLink::DataSetScrolled(int distance) {
  editorChanged_ = false;
  grid_.Scroll(distance);
}

void TixGridDataLink::EditingChanged() { grid_.EditingChanged(); }

void TixGridDataLink::LayoutChanged() { grid_.LayoutChanged(); }

void TixGridDataLink::RecordChanged(framework::TField* field) {
  if (inUpdateData_ && field) return;
  grid_.RecordChanged(field);
  modified_ = false;
}

void TixGridDataLink::UpdateData() {
  if (!modified_) return;
  inUpdateData_ = true;
  try {
    grid_.UpdateData();
  } catch (...) {
    inUpdateData_ = false;
    throw;
  }
  inUpdateData_ = false;
  editorChanged_ = true;
  modified_ = false;
}

}  // namespace grid
