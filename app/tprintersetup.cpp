#include "tprintersetup.h"

#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>

#include "platform/ui.h"
#include "report/printer.h"

namespace keldro {

TPrinterSetup::TPrinterSetup(QWidget* parent, QSize screen, std::shared_ptr<report::ReportPrinter> printer)
    : TDialog(parent, screen, 1), printer_(std::move(printer)) {
  setObjectName("PrinterSetup");
  setWindowTitle("Print Setup");
  resize(340, 170);

  auto* printerLabel = new QLabel("Printer:", this);
  printerLabel->setObjectName("PrinterLabel");
  printerLabel->setGeometry(16, 16, 64, 20);
  PrinterName = new QLabel(QString::fromStdString(printer_->DeviceName()), this);
  PrinterName->setObjectName("PrinterName");
  PrinterName->setGeometry(84, 16, 240, 20);

  auto* orientation = new QGroupBox("Orientation", this);
  orientation->setObjectName("OrientationGroup");
  orientation->setGeometry(16, 48, 150, 72);
  Portrait = new QRadioButton("P&ortrait", orientation);
  Portrait->setObjectName("Portrait");
  Portrait->setGeometry(12, 20, 120, 20);
  Landscape = new QRadioButton("L&andscape", orientation);
  Landscape->setObjectName("Landscape");
  Landscape->setGeometry(12, 44, 120, 20);
  (printer_->Orientation() == report::poLandScape ? Landscape : Portrait)->setChecked(true);

  auto* copiesLabel = new QLabel("&Copies:", this);
  copiesLabel->setObjectName("CopiesLabel");
  copiesLabel->setGeometry(184, 56, 56, 20);
  Copies = new QSpinBox(this);
  Copies->setObjectName("Copies");
  Copies->setRange(1, 999);
  Copies->setValue(std::max(1, printer_->Copies()));
  Copies->setGeometry(244, 54, 80, 24);
  copiesLabel->setBuddy(Copies);

  OKButton = new QPushButton("OK", this);
  OKButton->setObjectName("OKButton");
  OKButton->setGeometry(164, 132, 76, 27);
  OKButton->setDefault(true);
  CancelButton = new QPushButton("Cancel", this);
  CancelButton->setObjectName("CancelButton");
  CancelButton->setGeometry(248, 132, 76, 27);
  connect(OKButton, &QPushButton::clicked, this, &TPrinterSetup::accept);
  connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
  SaveDesign();
}

void TPrinterSetup::accept() {
  // A printer in the middle of a job keeps its settings.
  if (!printer_->Printing()) {
    printer_->SetOrientation(Landscape->isChecked() ? report::poLandScape : report::poPortrait);
    printer_->SetCopies(Copies->value());
  }
  TDialog::accept();
}

bool RunPrinterSetup(QWidget* parent, QSize screen) {
  std::shared_ptr<report::ReportPrinter> printer = report::InstalledPrinter();
  if (!printer) {
    platform::ui::ShowMessage(kNoPrinterMessage, "Error");
    return false;
  }
  TPrinterSetup dialog(parent, screen, printer);
  return dialog.exec() == QDialog::Accepted;
}

}  // namespace keldro

#include "moc_tprintersetup.cpp"
