// TPrinterSetup, "Print Setup": the installed printer's orientation and
// copies, changed on OK.
#pragma once

#include <memory>

#include "tdialog.h"

class QLabel;
class QPushButton;
class QRadioButton;
class QSpinBox;

namespace report {
class ReportPrinter;
}

namespace keldro {

class TPrinterSetup : public TDialog {
  Q_OBJECT
 public:
  TPrinterSetup(QWidget* parent, QSize screen, std::shared_ptr<report::ReportPrinter> printer);

  QLabel* PrinterName = nullptr;
  QRadioButton* Portrait = nullptr;
  QRadioButton* Landscape = nullptr;
  QSpinBox* Copies = nullptr;
  QPushButton* OKButton = nullptr;
  QPushButton* CancelButton = nullptr;

  void accept() override;

 private:
  std::shared_ptr<report::ReportPrinter> printer_;
};

inline constexpr const char* kNoPrinterMessage = "No printers are defined.";

// Runs the dialog on the installed printer; without one, says so ("Error").
// True when it ended with OK.
bool RunPrinterSetup(QWidget* parent, QSize screen);

}  // namespace keldro
