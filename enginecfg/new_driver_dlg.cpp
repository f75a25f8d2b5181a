#include "new_driver_dlg.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>

#include "ansi_text.h"
#include "core/alias_rules.h"
#include "core/cfg_strings.h"
#include "core/odbc.h"

namespace vtxcfg {

TNewDriver::TNewDriver(QWidget* parent)
    : TCfgDialog(parent, "NEWDRIVER_DLG", "Add ODBC Driver", 24), odbc_(std::make_unique<OdbcDriverManager>()) {
  auto* grid = new QGridLayout;
  name_ = new QLineEdit(this);
  name_->setObjectName("375");
  name_->setMaxLength(static_cast<int>(kOdbcNameChars));
  name_->setMinimumWidth(200);
  driver_ = new QComboBox(this);
  driver_->setObjectName("373");
  dataSource_ = new QComboBox(this);
  dataSource_->setObjectName("374");
  auto* nameLabel = new QLabel("&SQL Conduit Driver:", this);
  nameLabel->setBuddy(name_);
  auto* driverLabel = new QLabel("Default O&DBC Driver:", this);
  driverLabel->setBuddy(driver_);
  auto* sourceLabel = new QLabel("Default Data Source &Name:", this);
  sourceLabel->setBuddy(dataSource_);
  grid->addWidget(nameLabel, 0, 0);
  grid->addWidget(new QLabel("ODBC_", this), 0, 1);
  grid->addWidget(name_, 0, 2);
  grid->addWidget(driverLabel, 1, 0);
  grid->addWidget(driver_, 1, 1, 1, 2);
  grid->addWidget(sourceLabel, 2, 0);
  grid->addWidget(dataSource_, 2, 1, 1, 2);
  body_->addLayout(grid);
  AddButton("OK", kIdOk, true);
  AddButton("Cancel", kIdCancel);
  AddButton("&Help", kIdHelp);
  for (const std::string& d : odbc_->Drivers()) driver_->addItem(FromAnsi(d));
  // Nothing is chosen until the user chooses.
  driver_->setCurrentIndex(-1);
  connect(driver_, &QComboBox::currentIndexChanged, this, [this] { DriverChosen(); });
}

TNewDriver::~TNewDriver() = default;

void TNewDriver::DriverChosen() {
  dataSource_->clear();
  if (driver_->currentIndex() < 0) return;
  for (const std::string& name : odbc_->DataSources(ToAnsi(driver_->currentText()))) dataSource_->addItem(FromAnsi(name));
  dataSource_->setCurrentIndex(dataSource_->count() - 1);
}

bool TNewDriver::CanClose(int id) {
  if (id != kIdOk) return true;
  std::string typed = ToAnsi(name_->text()).substr(0, kOdbcNameChars);
  std::string name = "ODBC_" + typed;
  std::string driver = ToAnsi(driver_->currentText());
  std::string dataSource = ToAnsi(dataSource_->currentText());
  int refusal = CheckDriverName(typed) ? 28
                : DriverExists(name)   ? 29
                : driver.empty()       ? 35
                : dataSource.empty()   ? 36
                                       : 0;
  if (refusal) {
    ReportCfgError(refusal);
    return false;
  }
  AddOdbcDriverNode(name, driver, dataSource);
  return true;
}

}  // namespace vtxcfg

#include "moc_new_driver_dlg.cpp"
