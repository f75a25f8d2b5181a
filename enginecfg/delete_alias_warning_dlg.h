// "DELALIASWARN_DLG": asked before the selected alias is deleted.
#pragma once

#include "cfg_dialog.h"

namespace vtxcfg {

class TDeleteAliasWarningDlg : public TCfgDialog {
  Q_OBJECT
 public:
  explicit TDeleteAliasWarningDlg(QWidget* parent);
};

}  // namespace vtxcfg
