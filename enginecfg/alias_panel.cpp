#include "alias_panel.h"

#include <QListWidget>
#include <QPushButton>

#include "core/config_model.h"
#include "delete_alias_warning_dlg.h"
#include "modal.h"
#include "new_alias_dlg.h"

namespace vtxcfg {

TAliasPanel::TAliasPanel(QWidget* parent) : TListPanel(parent, 6000, "\\DATABASES") {
  setObjectName("TAliasPanel");
  new_->setText("&New Alias");
  delete_->setText("&Delete Alias");
  connect(new_, &QPushButton::clicked, this, [this] { CmNewAlias(); });
  connect(delete_, &QPushButton::clicked, this, [this] { CmDeleteAlias(); });
}

void TAliasPanel::CmNewAlias() {
  if (!loaded_) return;
  TNewAlias dialog(this);
  RunModal(dialog);
  Refill(loaded_);
  SelectName(dialog.NewName());
}

void TAliasPanel::CmDeleteAlias() {
  std::string alias = EnsureSelection();
  if (alias.empty()) return;
  TDeleteAliasWarningDlg question(this);
  if (RunModal(question) == kIdOk) DeleteNodeEntries(root_ + "\\" + alias);
  Refill(loaded_);
}

}  // namespace vtxcfg

#include "moc_alias_panel.cpp"
