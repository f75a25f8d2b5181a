#include "driver_panel.h"

#include <QListWidget>
#include <QPushButton>

#include "core/alias_rules.h"
#include "core/cfg_strings.h"
#include "core/config_model.h"
#include "core/odbc.h"
#include "delete_driver_warning_dlg.h"
#include "modal.h"
#include "new_driver_dlg.h"

namespace vtxcfg {

TDriverPanel::TDriverPanel(QWidget* parent) : TListPanel(parent, 6080, "\\DRIVERS") {
  setObjectName("TDriverPanel");
  new_->setText("&New ODBC Driver");
  delete_->setText("&Delete ODBC Driver");
  connect(new_, &QPushButton::clicked, this, [this] { CmNewDriver(); });
  connect(delete_, &QPushButton::clicked, this, [this] { CmDeleteDriver(); });
}

void TDriverPanel::CmNewDriver() {
  if (DriverNames().count >= kMaxDriversBeforeAdd) {
    ReportCfgError(45);
    return;
  }
  if (!list_->currentItem()) return;
  if (int code = OdbcVersionCheck()) {
    ReportCfgError(code);
    return;
  }
  TNewDriver dialog(this);
  RunModal(dialog);
  Refill(loaded_);
}

void TDriverPanel::CmDeleteDriver() {
  std::string driver = EnsureSelection();
  if (driver.empty()) return;
  if (!IsOdbcDriver(driver)) {
    ReportCfgError(37);
    return;
  }
  TDeleteDriverWarningDlg question(this);
  if (RunModal(question) == kIdOk) {
    DeleteNodeEntries(root_ + "\\" + driver);
    RefreshDriverTable();
  }
  Refill(loaded_);
}

}  // namespace vtxcfg

#include "moc_driver_panel.cpp"
