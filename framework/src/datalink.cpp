// Data sources and data links: how the dataset's events reach the controls.
#include <algorithm>

#include "framework/db.h"

namespace framework {

// -------------------------------------------------------------- TDataSource

TDataSource::~TDataSource() {
  SetDataSet(nullptr);
  std::vector<TDataLink*> links = links_;
  for (TDataLink* l : links) l->SetDataSource(nullptr);
}

void TDataSource::SetDataSet(TDataSet* dataSet) {
  if (dataSet == dataSet_) return;
  if (dataSet_) dataSet_->RemoveDataSource(this);
  dataSet_ = dataSet;
  if (dataSet_) dataSet_->AddDataSource(this);
  DataEvent(deUpdateState, 0);
}

void TDataSource::SetEnabled(bool enabled) {
  if (enabled == enabled_) return;
  enabled_ = enabled;
  DataEvent(deUpdateState, 0);
}

void TDataSource::Edit() {
  if (AutoEdit && dataSet_ && dataSet_->State() == dsBrowse) dataSet_->Edit();
}

void TDataSource::AddLink(TDataLink* link) {
  links_.push_back(link);
  if (dataSet_) dataSet_->UpdateBufferCount();
}

void TDataSource::RemoveLink(TDataLink* link) {
  links_.erase(std::remove(links_.begin(), links_.end(), link), links_.end());
  if (dataSet_) dataSet_->UpdateBufferCount();
}

void TDataSource::NotifyLinks(TDataEvent event, intptr_t info) {
  std::vector<TDataLink*> links = links_;
  for (TDataLink* l : links)
    if (std::find(links_.begin(), links_.end(), l) != links_.end()) l->DataEvent(event, info);
}

void TDataSource::DataEvent(TDataEvent event, intptr_t info) {
  if (event == deUpdateState) {
    TDataSetState now = (enabled_ && dataSet_) ? dataSet_->State() : dsInactive;
    NotifyLinks(event, info);
    if (now != state_) {
      state_ = now;
      if (OnStateChange) OnStateChange(*this);
    }
    return;
  }
  if (!enabled_) return;
  NotifyLinks(event, info);
  switch (event) {
    case deFieldChange:
      if (OnDataChange) OnDataChange(*this, reinterpret_cast<TField*>(info));
      break;
    case deRecordChange:
    case deDataSetChange:
    case deDataSetScroll:
    case deLayoutChange:
      if (OnDataChange) OnDataChange(*this, nullptr);
      break;
    case deUpdateRecord:
      if (OnUpdateData) OnUpdateData(*this);
      break;
    default: break;
  }
}

// ---------------------------------------------------------------- TDataLink

TDataLink::~TDataLink() { SetDataSource(nullptr); }

void TDataLink::SetDataSource(TDataSource* source) {
  if (source == dataSource_) return;
  if (dataSource_) dataSource_->RemoveLink(this);
  dataSource_ = source;
  if (dataSource_) dataSource_->AddLink(this);
  UpdateState();
}

void TDataLink::SetReadOnly(bool readOnly) {
  if (readOnly == readOnly_) return;
  readOnly_ = readOnly;
  UpdateState();
}

void TDataLink::SetBufferCount(int count) {
  count = std::max(1, count);
  if (count == bufferCount_) return;
  bufferCount_ = count;
  if (TDataSet* ds = DataSet()) ds->UpdateBufferCount();
  firstRecord_ = ClampFirst(firstRecord_);
}

int TDataLink::ClampFirst(int first) const {
  TDataSet* ds = DataSet();
  if (!ds || !ds->Active()) return 0;
  int size = ds->BufferedRecordCount();
  int active = ds->ActiveBuffer();
  first = std::max(0, std::min(first, size - bufferCount_));
  if (active < first) first = active;
  if (active >= first + bufferCount_) first = active - bufferCount_ + 1;
  return std::max(0, first);
}

int TDataLink::RecordCount() const {
  TDataSet* ds = DataSet();
  if (!active_ || !ds) return 0;
  return std::max(0, std::min(bufferCount_, ds->BufferedRecordCount() - firstRecord_));
}

int TDataLink::ActiveRecord() const {
  TDataSet* ds = DataSet();
  if (!active_ || !ds) return 0;
  return ds->ActiveBuffer() - firstRecord_;
}

void TDataLink::SetActiveRecord(int row) {
  TDataSet* ds = DataSet();
  if (!active_ || !ds) return;
  int target = firstRecord_ + row;
  if (target < 0 || target >= ds->BufferedRecordCount()) return;
  ds->active_ = target;
}

bool TDataLink::Edit() {
  if (!readOnly_ && dataSource_) dataSource_->Edit();
  return editing_;
}

void TDataLink::UpdateRecord() {
  updating_ = true;
  try {
    UpdateData();
  } catch (...) {
    updating_ = false;
    throw;
  }
  updating_ = false;
}

void TDataLink::UpdateState() {
  TDataSet* ds = DataSet();
  bool active = dataSource_ && dataSource_->Enabled() && ds && ds->Active();
  if (active != active_) {
    active_ = active;
    firstRecord_ = active ? ClampFirst(0) : 0;
    ActiveChanged();
  }
  bool editing = active_ && !readOnly_ && (ds->State() == dsEdit || ds->State() == dsInsert);
  if (editing != editing_) {
    editing_ = editing;
    EditingChanged();
  }
}

void TDataLink::DataEvent(TDataEvent event, intptr_t info) {
  if (event == deUpdateState) {
    UpdateState();
    return;
  }
  if (!active_) return;
  switch (event) {
    case deFieldChange: RecordChanged(reinterpret_cast<TField*>(info)); break;
    case deRecordChange: RecordChanged(nullptr); break;
    case deDataSetChange:
    case deDataSetScroll:
    case deLayoutChange: {
      // The dataset's window moved forward by `shift` buffers; keep the
      // link's rows on the same records, then bring the active one in view.
      int shift = event == deDataSetScroll ? static_cast<int>(info) : 0;
      int same = firstRecord_ - shift;
      int first = ClampFirst(same);
      firstRecord_ = first;
      if (event == deDataSetChange)
        DataSetChanged();
      else if (event == deDataSetScroll)
        DataSetScrolled(first - same);
      else
        LayoutChanged();
      break;
    }
    case deUpdateRecord: UpdateRecord(); break;
    case deCheckBrowseMode: CheckBrowseMode(); break;
    case deFocusControl: FocusControl(reinterpret_cast<TField*>(info)); break;
    default: break;
  }
}

// ----------------------------------------------------------- TFieldDataLink

void TFieldDataLink::SetFieldName(const std::string& name) {
  if (name == fieldName_) return;
  fieldName_ = name;
  UpdateField();
}

void TFieldDataLink::UpdateField() {
  TField* f = nullptr;
  if (Active() && !fieldName_.empty()) f = DataSet()->FindField(fieldName_);
  if (f != field_) {
    field_ = f;
    modified_ = false;
    if (OnDataChange) OnDataChange();
  }
}

bool TFieldDataLink::CanModify() const { return !ReadOnly() && field_ && field_->CanModify(); }

void TFieldDataLink::Reset() {
  modified_ = false;
  if (OnDataChange) OnDataChange();
}

void TFieldDataLink::ActiveChanged() {
  UpdateField();
  if (OnActiveChange) OnActiveChange();
}

void TFieldDataLink::EditingChanged() {
  if (OnEditingChange) OnEditingChange();
}

void TFieldDataLink::LayoutChanged() { UpdateField(); }

void TFieldDataLink::RecordChanged(TField* field) {
  if (field == nullptr || field == field_) {
    modified_ = false;
    if (OnDataChange) OnDataChange();
  }
}

void TFieldDataLink::UpdateData() {
  if (modified_) {
    if (field_ && OnUpdateData) OnUpdateData();
    modified_ = false;
  }
}

}  // namespace framework
