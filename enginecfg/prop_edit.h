// The in-place editor over the value of the selected row: the combo box,
// and for a directory parameter a button that browses for it.
#pragma once

#include <QWidget>
#include <cstdint>

class QToolButton;

namespace vtxcfg {

class PropertiesWindow;
class TNiceComboBox;
class TProp;

class TPropEdit : public QWidget {
  Q_OBJECT
 public:
  TPropEdit(PropertiesWindow* list, TProp* row);
  TNiceComboBox* Combo() const { return combo_; }
  QToolButton* DotsButton() const { return dots_; }
  void Browse();

 protected:
  void resizeEvent(QResizeEvent*) override;

 private:
  void OnNotify(int code);
  void StoreText();
  PropertiesWindow* list_;
  TProp* row_;
  uint64_t rowId_;
  TNiceComboBox* combo_;
  QToolButton* dots_ = nullptr;
};

}  // namespace vtxcfg
