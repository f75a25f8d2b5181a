// The Date page: the parameters of "\SYSTEM\FORMATS\DATE".
#pragma once

#include "node_panel.h"

namespace vtxcfg {

class TDatePanel : public TNodePanel {
 public:
  explicit TDatePanel(QWidget* parent);
};

}  // namespace vtxcfg
