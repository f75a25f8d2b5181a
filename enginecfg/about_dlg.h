// "ABOUTBOX_DLG": the program's name, version and rights; the hidden button
// 381 turns it into the list of its developers.
#pragma once

#include "cfg_dialog.h"

namespace vtxcfg {

class TAboutDialog : public TCfgDialog {
  Q_OBJECT
 public:
  explicit TAboutDialog(QWidget* parent);
  // The texts of statics 352 to 358, in order.
  std::vector<std::string> Texts() const;
  void ShowCredits();
};

}  // namespace vtxcfg
