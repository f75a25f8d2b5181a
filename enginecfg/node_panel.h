// A page of one fixed node of the configuration: its parameters, and help
// of its own.
#pragma once

#include <string>

#include "panel.h"

namespace vtxcfg {

class TNodePanel : public TPanel {
  Q_OBJECT
 public:
  TNodePanel(QWidget* parent, const char* className, std::string node, int helpContext);
  void Refill(bool loaded) override;
  void ShowHelp() override;

 private:
  std::string node_;
  int helpContext_;
};

}  // namespace vtxcfg
