// TMyInsurance, "Insurance Information": the insured's name, the insurance
// company and policy number the reports print, and whether they print them
// and the closing statement.
#pragma once

#include "core/utilities.h"
#include "tdialog.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace keldro::reports {

class TMyInsurance : public TDialog {
  Q_OBJECT
 public:
  explicit TMyInsurance(QWidget* parent);

  QLineEdit *YourName = nullptr, *InsCo = nullptr, *PolNum = nullptr;
  QLabel *YourNameLabel = nullptr, *InsCoLabel = nullptr, *PolNumLabel = nullptr;
  QCheckBox *PrintInsCo = nullptr, *PrintPolNum = nullptr, *PrintStatement = nullptr;
  QPushButton* Button1 = nullptr;

  void SetColors() override;
  void Button1Click() { close(); }

 protected:
  void FormShow() override;
  void done(int result) override;

 private:
  void FormClose();
};

}  // namespace keldro::reports
