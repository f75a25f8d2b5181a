// TTipOfDay, "Tip of the Day": one of the 24 tips under "Did you know?",
// Next Tip in turn, and the "Show Tips at Startup" choice kept in the
// settings when the window closes.
#pragma once

#include "tdialog.h"

class QCheckBox;
class QLabel;
class QPushButton;

namespace keldro {

class TTipOfDay : public TDialog {
  Q_OBJECT
 public:
  TTipOfDay(QWidget* parent, QSize screen);

  QLabel* HeadingLabel = nullptr;
  QLabel* TipComment = nullptr;
  QCheckBox* ShowTips = nullptr;
  QPushButton* NextTipButton = nullptr;
  QPushButton* CloseButton = nullptr;

  int TipNumber() const { return tip_; }
  void NextTipButtonClick();
  void CloseButtonClick();

  // Closing by any way (button, Escape, the frame) stores the choice.
  void done(int result) override;

 protected:
  void FormShow() override;

 private:
  void ShowTip(int number);
  int tip_ = 1;
};

}  // namespace keldro
