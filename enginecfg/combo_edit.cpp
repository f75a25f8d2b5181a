#include "combo_edit.h"

#include <QKeyEvent>

#include "combo_notify.h"

namespace vtxcfg {

TComboEdit::TComboEdit(QWidget* parent) : QLineEdit(parent) {
  setObjectName("TComboEdit");
  setMaxLength(kEditLimit);
  setFrame(false);
}

void TComboEdit::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Down:
      if (event->modifiers() & Qt::AltModifier) {
        emit DropDown();
        return;
      }
      emit Notify(kNotifyDown);
      return;
    case Qt::Key_Up: emit Notify(kNotifyUp); return;
    case Qt::Key_Return:
    case Qt::Key_Enter: emit Notify(kNotifySelEndOk); return;
    case Qt::Key_Escape: emit Notify(kNotifySelEndCancel); return;
    default: QLineEdit::keyPressEvent(event);
  }
}

}  // namespace vtxcfg

#include "moc_combo_edit.cpp"
