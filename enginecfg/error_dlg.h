// "ERROR_DLG": every failure of the utility, told by its code: the code's
// message in static 365, OK, and Help (380) or F1 for the code's topic.
#pragma once

#include "cfg_dialog.h"

namespace vtxcfg {

class TErrorDlg : public TCfgDialog {
  Q_OBJECT
 public:
  TErrorDlg(QWidget* parent, int code);
  int Code() const { return code_; }

 private:
  int code_;
};

// The error dialog over `parent` (over the open dialog, if any); returns
// when the user closes it.
void ShowErrorDialog(int code, QWidget* parent);

}  // namespace vtxcfg
