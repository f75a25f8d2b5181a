// "NEWALIAS_DLG": the name (edit 371, at most 31 characters) and the type
// (combo 372) of a new alias. OK refuses a name in use or an invalid one and
// stays open; else the alias is added to the entry list.
#pragma once

#include "cfg_dialog.h"

class QComboBox;
class QLineEdit;

namespace vtxcfg {

class TNewAlias : public TCfgDialog {
  Q_OBJECT
 public:
  explicit TNewAlias(QWidget* parent);
  QLineEdit* NameEdit() const { return name_; }
  QComboBox* TypeCombo() const { return type_; }
  // The alias added ("" until OK succeeds).
  const std::string& NewName() const { return newName_; }

 protected:
  bool CanClose(int id) override;

 private:
  QLineEdit* name_;
  QComboBox* type_;
  std::string newName_;
};

}  // namespace vtxcfg
