// TPrintRange, "Page Printing": asks the preview window for the pages to
// print, checked against the recorded page count.
#pragma once

#include "core/utilities.h"
#include "tdialog.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace keldro::reports {

class TPrintRange : public TDialog {
  Q_OBJECT
 public:
  TPrintRange(QWidget* parent, int pageCount);

  QLineEdit *StartPage = nullptr, *EndPage = nullptr;
  QLabel *StartPageLabel = nullptr, *EndPageLabel = nullptr;
  QPushButton *PrintButton = nullptr, *CancelButton = nullptr;

  void PrintButtonClick();
  void CancelButtonClick() { reject(); }
  void SetColors() override;

  // The range the user chose; RangeChosen() is false after Cancel.
  bool RangeChosen() const { return chosen_; }
  int Start() const { return start_; }
  int End() const { return end_; }

 protected:
  void FormShow() override;

 private:
  int pageCount_;
  bool chosen_ = false;
  int start_ = 0, end_ = 0;
};

}  // namespace keldro::reports
