// The rows a report walks: the inventory table in its current order and
// filter, or rows a caller fills (tests, benchmarks). Fields are numbered
// 1..22 as in ItemFields.
#pragma once

#include <array>
#include <string>

#include "core/item_fields.h"

namespace framework {
class TDataSet;
class TField;
}  // namespace framework

namespace keldro::reports {

class ReportRows {
 public:
  virtual ~ReportRows() = default;
  virtual void First() = 0;
  virtual bool Eof() const = 0;
  virtual void Next() = 0;
  // The field's text as the table gives it (dates in the short date format).
  virtual std::string Text(int field) const = 0;
  // A numeric field's value.
  virtual double Value(int field) const = 0;
  // The table's visual controls stay still while a report walks it.
  virtual void DisableControls() {}
  virtual void EnableControls() {}
};

// The rows of an open dataset with the 22 inventory fields.
class DataSetReportRows : public ReportRows {
 public:
  explicit DataSetReportRows(framework::TDataSet& table);
  void First() override;
  bool Eof() const override;
  void Next() override;
  std::string Text(int field) const override;
  double Value(int field) const override;
  void DisableControls() override;
  void EnableControls() override;

 private:
  framework::TField* Field(int field) const;
  framework::TDataSet& table_;
  mutable std::array<framework::TField*, kItemFieldCount> fields_{};
};

}  // namespace keldro::reports
