#include "new_alias_dlg.h"

#include <QComboBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>

#include "ansi_text.h"
#include "core/alias_rules.h"
#include "core/cfg_strings.h"

namespace vtxcfg {

TNewAlias::TNewAlias(QWidget* parent) : TCfgDialog(parent, "NEWALIAS_DLG", "Add New Alias", 20) {
  auto* form = new QFormLayout;
  name_ = new QLineEdit(this);
  name_->setObjectName("371");
  name_->setMaxLength(static_cast<int>(kAliasNameChars));
  name_->setMinimumWidth(200);
  type_ = new QComboBox(this);
  type_->setObjectName("372");
  for (const std::string& type : AliasTypeChoices()) type_->addItem(FromAnsi(type));
  if (type_->count() > 0) type_->setCurrentIndex(0);
  auto* nameLabel = new QLabel("&New alias name:", this);
  nameLabel->setBuddy(name_);
  auto* typeLabel = new QLabel("Alias &type:", this);
  typeLabel->setBuddy(type_);
  form->addRow(nameLabel, name_);
  form->addRow(typeLabel, type_);
  body_->addLayout(form);
  AddButton("OK", kIdOk, true);
  AddButton("Cancel", kIdCancel);
  AddButton("&Help", kIdHelp);
}

bool TNewAlias::CanClose(int id) {
  if (id != kIdOk) return true;
  std::string name = ToAnsi(name_->text()).substr(0, kAliasNameChars);
  int refusal = AliasExists(name) ? 27 : CheckAliasName(name) ? 26 : 0;
  if (refusal) {
    newName_.clear();
    ReportCfgError(refusal);
    name_->setFocus();
    return false;
  }
  AddAliasNode(name, ToAnsi(type_->currentText()).substr(0, 63));
  newName_ = name;
  return true;
}

}  // namespace vtxcfg

#include "moc_new_alias_dlg.cpp"
