// The Aliases page: the aliases of "\DATABASES" with the commands that add
// one (through "NEWALIAS_DLG") and delete the selected one.
#pragma once

#include "core/cfg_rules.h"
#include "list_panel.h"

namespace vtxcfg {

class TAliasPanel : public TListPanel {
  Q_OBJECT
 public:
  explicit TAliasPanel(QWidget* parent);
  void ShowHelp() override { ShowAliasPageHelp(loaded_, SelectedName()); }
  void CmNewAlias();
  void CmDeleteAlias();
};

}  // namespace vtxcfg
