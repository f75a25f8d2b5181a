#include "system_panel.h"

namespace vtxcfg {

TSystemPanel::TSystemPanel(QWidget* parent) : TNodePanel(parent, "TSystemPanel", "\\SYSTEM\\INIT", 10) {}

}  // namespace vtxcfg
