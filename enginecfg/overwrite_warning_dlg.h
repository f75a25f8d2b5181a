// "OVERWRITEWARN_DLG": Save As chose a file that exists.
#pragma once

#include "cfg_dialog.h"

namespace vtxcfg {

class TOverwriteWarningDlg : public TCfgDialog {
  Q_OBJECT
 public:
  explicit TOverwriteWarningDlg(QWidget* parent);
};

}  // namespace vtxcfg
