// The combo box of the property editor: an edit, and for a parameter with
// choices an arrow that drops down the list of them.
#pragma once

#include <QWidget>
#include <string>

class QToolButton;

namespace vtxcfg {

class TComboEdit;
class TComboLBox;

class TNiceComboBox : public QWidget {
  Q_OBJECT
 public:
  TNiceComboBox(QWidget* parent, bool withArrow);
  TComboEdit* Edit() const { return edit_; }
  TComboLBox* List() const { return list_; }
  QToolButton* Arrow() const { return arrow_; }
  void AddChoice(const std::string& text);
  void ShowDropDown();
  static constexpr int kDropDownHeight = 60;
 signals:
  void Notify(int code);

 protected:
  void resizeEvent(QResizeEvent*) override;

 private:
  TComboEdit* edit_;
  QToolButton* arrow_ = nullptr;
  TComboLBox* list_;
};

}  // namespace vtxcfg
