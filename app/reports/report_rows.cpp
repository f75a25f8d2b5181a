#include "reports/report_rows.h"

#include "framework/db.h"

namespace keldro::reports {

DataSetReportRows::DataSetReportRows(framework::TDataSet& table) : table_(table) {}

void DataSetReportRows::First() {
  // The fields are made anew at each open: look them up again per run.
  fields_.fill(nullptr);
  table_.First();
}
bool DataSetReportRows::Eof() const { return table_.Eof(); }
void DataSetReportRows::Next() { table_.Next(); }
void DataSetReportRows::DisableControls() { table_.DisableControls(); }
void DataSetReportRows::EnableControls() { table_.EnableControls(); }

framework::TField* DataSetReportRows::Field(int field) const {
  const ItemField* f = ItemFieldByNumber(field);
  if (!f) return nullptr;
  framework::TField*& slot = fields_[static_cast<size_t>(field - 1)];
  if (!slot) slot = table_.FindField(f->name);
  return slot;
}

std::string DataSetReportRows::Text(int field) const {
  framework::TField* f = Field(field);
  return f ? f->AsString() : std::string();
}

double DataSetReportRows::Value(int field) const {
  framework::TField* f = Field(field);
  return f && !f->IsNull() ? f->AsFloat() : 0.0;
}

}  // namespace keldro::reports
