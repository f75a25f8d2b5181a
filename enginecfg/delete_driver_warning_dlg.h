// "DELDRIVERWARN_DLG": asked before the selected ODBC driver is deleted.
#pragma once

#include "cfg_dialog.h"

namespace vtxcfg {

class TDeleteDriverWarningDlg : public TCfgDialog {
  Q_OBJECT
 public:
  explicit TDeleteDriverWarningDlg(QWidget* parent);
};

}  // namespace vtxcfg
