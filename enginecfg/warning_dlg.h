// "EXITWARN_DLG": the configuration changed; save it before it is closed?
// Yes (1), No (7), Cancel (2); F1 opens its topic.
#pragma once

#include "cfg_dialog.h"

namespace vtxcfg {

class TWarningDlg : public TCfgDialog {
  Q_OBJECT
 public:
  explicit TWarningDlg(QWidget* parent);
};

}  // namespace vtxcfg
