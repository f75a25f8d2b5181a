#include "node_panel.h"

#include "core/cfg_rules.h"
#include "properties_window.h"

namespace vtxcfg {

TNodePanel::TNodePanel(QWidget* parent, const char* className, std::string node, int helpContext)
    : TPanel(parent, 6070), node_(std::move(node)), helpContext_(helpContext) {
  setObjectName(className);
}

void TNodePanel::Refill(bool loaded) {
  props_->Clear();
  if (loaded) AddNodeParams(node_);
  props_->SetupRows();
  props_->update();
}

void TNodePanel::ShowHelp() { ShowFixedPageHelp(helpContext_); }

}  // namespace vtxcfg

#include "moc_node_panel.cpp"
