// The System page: the parameters of "\SYSTEM\INIT".
#pragma once

#include "node_panel.h"

namespace vtxcfg {

class TSystemPanel : public TNodePanel {
 public:
  explicit TSystemPanel(QWidget* parent);
};

}  // namespace vtxcfg
