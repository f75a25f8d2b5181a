// "INIWARN_DLG": the file saved is not the one the registry names; register it?
#pragma once

#include "cfg_dialog.h"

namespace vtxcfg {

class TWinIniDlg : public TCfgDialog {
  Q_OBJECT
 public:
  explicit TWinIniDlg(QWidget* parent);
};

}  // namespace vtxcfg
