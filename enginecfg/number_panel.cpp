#include "number_panel.h"

namespace vtxcfg {

TNumberPanel::TNumberPanel(QWidget* parent) : TNodePanel(parent, "TNumberPanel", "\\SYSTEM\\FORMATS\\NUMBER", 13) {}

}  // namespace vtxcfg
