// The Number page: the parameters of "\SYSTEM\FORMATS\NUMBER".
#pragma once

#include "node_panel.h"

namespace vtxcfg {

class TNumberPanel : public TNodePanel {
 public:
  explicit TNumberPanel(QWidget* parent);
};

}  // namespace vtxcfg
