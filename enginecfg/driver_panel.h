// The Drivers page: the drivers of "\DRIVERS" with the commands that add an
// ODBC driver (through "NEWDRIVER_DLG") and delete the selected one.
#pragma once

#include "core/cfg_rules.h"
#include "list_panel.h"

namespace vtxcfg {

class TDriverPanel : public TListPanel {
  Q_OBJECT
 public:
  explicit TDriverPanel(QWidget* parent);
  void ShowHelp() override { ShowDriverPageHelp(SelectedName()); }
  void CmNewDriver();
  void CmDeleteDriver();
};

}  // namespace vtxcfg
