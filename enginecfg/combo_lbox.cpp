#include "combo_lbox.h"

#include <QKeyEvent>

#include "combo_notify.h"

namespace vtxcfg {

TComboLBox::TComboLBox(QWidget* parent) : QListWidget(parent) {
  setObjectName("TComboLBox");
  setWindowFlags(Qt::Popup);
}

void TComboLBox::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter || event->key() == Qt::Key_Escape) {
    hide();
    emit Notify(event->key() == Qt::Key_Escape ? kNotifySelEndCancel : kNotifySelEndOk);
    return;
  }
  QListWidget::keyPressEvent(event);
}

void TComboLBox::focusOutEvent(QFocusEvent* event) {
  QListWidget::focusOutEvent(event);
  hide();
}

}  // namespace vtxcfg

#include "moc_combo_lbox.cpp"
