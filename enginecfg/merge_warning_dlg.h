// "MERGEWARN_DLG": a merge cannot be undone; go on?
#pragma once

#include "cfg_dialog.h"

namespace vtxcfg {

class TMergeWarningDlg : public TCfgDialog {
  Q_OBJECT
 public:
  explicit TMergeWarningDlg(QWidget* parent);
};

}  // namespace vtxcfg
