// The Time page: the parameters of "\SYSTEM\FORMATS\TIME".
#pragma once

#include "node_panel.h"

namespace vtxcfg {

class TTimePanel : public TNodePanel {
 public:
  explicit TTimePanel(QWidget* parent);
};

}  // namespace vtxcfg
