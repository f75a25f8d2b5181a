// "NEWDRIVER_DLG": a new ODBC driver "ODBC_" + the name typed in edit 375,
// on one of the installed ODBC drivers (combo 373) and one of that driver's
// data sources (combo 374). OK refuses what is missing or in use and stays
// open; else the driver is added to the entry list.
#pragma once

#include <memory>

#include "cfg_dialog.h"

class QComboBox;
class QLineEdit;

namespace vtxcfg {

class OdbcDriverManager;

class TNewDriver : public TCfgDialog {
  Q_OBJECT
 public:
  explicit TNewDriver(QWidget* parent);
  ~TNewDriver() override;
  QLineEdit* NameEdit() const { return name_; }
  QComboBox* DriverCombo() const { return driver_; }
  QComboBox* DataSourceCombo() const { return dataSource_; }
  // Fills combo 374 with the data sources of the chosen driver.
  void DriverChosen();

 protected:
  bool CanClose(int id) override;

 private:
  std::unique_ptr<OdbcDriverManager> odbc_;
  QLineEdit* name_;
  QComboBox* driver_;
  QComboBox* dataSource_;
};

}  // namespace vtxcfg
