// The edit of the property editor's combo box: it takes up to 80
// characters and turns the keys that end or leave an edit into
// notifications.
#pragma once

#include <QLineEdit>

namespace vtxcfg {

inline constexpr int kEditLimit = 80;  // characters the edit takes

class TComboEdit : public QLineEdit {
  Q_OBJECT
 public:
  explicit TComboEdit(QWidget* parent);
 signals:
  void Notify(int code);
  void DropDown();

 protected:
  void keyPressEvent(QKeyEvent* event) override;
};

}  // namespace vtxcfg
