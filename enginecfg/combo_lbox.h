// The drop-down list of the property editor's combo box.
#pragma once

#include <QListWidget>

namespace vtxcfg {

class TComboLBox : public QListWidget {
  Q_OBJECT
 public:
  explicit TComboLBox(QWidget* parent);
 signals:
  void Notify(int code);

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
};

}  // namespace vtxcfg
