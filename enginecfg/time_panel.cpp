#include "time_panel.h"

namespace vtxcfg {

TTimePanel::TTimePanel(QWidget* parent) : TNodePanel(parent, "TTimePanel", "\\SYSTEM\\FORMATS\\TIME", 12) {}

}  // namespace vtxcfg
