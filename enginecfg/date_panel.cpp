#include "date_panel.h"

namespace vtxcfg {

TDatePanel::TDatePanel(QWidget* parent) : TNodePanel(parent, "TDatePanel", "\\SYSTEM\\FORMATS\\DATE", 11) {}

}  // namespace vtxcfg
