#include "ix_dbcombobox.h"

#include <QAbstractItemView>
#include <QKeyEvent>
#include <QLineEdit>

#include "ix_custom_dbgrid.h"
#include "platform/ui.h"

namespace grid {

TixDBComboBox::TixDBComboBox(QWidget* parent) : QComboBox(parent) {
  setEditable(true);
  setInsertPolicy(QComboBox::NoInsert);
  // What is typed is what is stored: no entry is completed behind the user's back.
  setCompleter(nullptr);
  dataLink_.OnDataChange = [this] { ShowFieldText(); };
  dataLink_.OnActiveChange = [this] { ShowFieldText(); };
  dataLink_.OnUpdateData = [this] {
    if (framework::TField* f = dataLink_.Field()) f->SetText(QStringToAnsi(currentText()));
  };
  connect(this, &QComboBox::textActivated, this, [this](const QString& text) { UserChanged(text); });
  connect(lineEdit(), &QLineEdit::textEdited, this, [this](const QString& text) { UserChanged(text); });
}

TixDBComboBox::~TixDBComboBox() { dataLink_.SetDataSource(nullptr); }

void TixDBComboBox::ShowFieldText() {
  showing_ = true;
  framework::TField* f = dataLink_.Field();
  const QString text = f && dataLink_.Active() ? AnsiToQString(f->Text()) : QString();
  const int index = findText(text);
  if (index >= 0)
    setCurrentIndex(index);
  else
    setCurrentIndex(-1);
  setEditText(text);
  showing_ = false;
}

// The dataset goes into edit first; going there reads the record again,
// which shows the field, so the user's text is put back afterwards.
void TixDBComboBox::UserChanged(const QString& text) {
  if (showing_) return;
  framework::TField* f = dataLink_.Field();
  if (!f || !dataLink_.CanModify()) {
    ShowFieldText();
    return;
  }
  bool editing = false;
  try {
    editing = dataLink_.Edit();
  } catch (const framework::Exception& e) {
    platform::ui::ShowMessage(e.Message(), "Error");
  }
  if (!editing) {
    ShowFieldText();
    return;
  }
  showing_ = true;
  const int cursor = lineEdit()->cursorPosition();
  setEditText(text);
  lineEdit()->setCursorPosition(cursor);
  showing_ = false;
  dataLink_.SetModified();
}

bool TixDBComboBox::HandToGrid(int key, Qt::KeyboardModifiers modifiers) {
  if (!ownerGrid_) return false;
  ownerGrid_->setFocus(Qt::TabFocusReason);
  ownerGrid_->KeyDown(key, modifiers);
  return true;
}

bool TixDBComboBox::event(QEvent* event) {
  // Tab reaches the key handler instead of moving the focus.
  if (event->type() == QEvent::KeyPress) {
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab) {
      keyPressEvent(key);
      return true;
    }
  }
  return QComboBox::event(event);
}

void TixDBComboBox::keyPressEvent(QKeyEvent* event) {
  const int key = event->key();
  const Qt::KeyboardModifiers mods = event->modifiers();
  const bool dropped = view() && view()->isVisible();
  switch (key) {
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
      if (dropped) {
        hidePopup();
        return;
      }
      if (HandToGrid(Qt::Key_Tab, key == Qt::Key_Backtab ? (mods | Qt::ShiftModifier) : mods)) return;
      break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      if (dropped) {
        hidePopup();
        return;
      }
      if (HandToGrid(key, mods)) return;
      break;
    case Qt::Key_Escape:
      if (dropped) {
        hidePopup();
        return;
      }
      // Back to the grid; the field shows again what it holds.
      dataLink_.Reset();
      if (ownerGrid_) ownerGrid_->setFocus(Qt::OtherFocusReason);
      return;
    default: break;
  }
  QComboBox::keyPressEvent(event);
}

// What was chosen is written into the field when the combo is left.
void TixDBComboBox::focusOutEvent(QFocusEvent* event) {
  QComboBox::focusOutEvent(event);
  if (event->reason() == Qt::PopupFocusReason || event->reason() == Qt::ActiveWindowFocusReason) return;
  if (!dataLink_.Modified()) return;
  try {
    dataLink_.UpdateRecord();
  } catch (const framework::Exception& e) {
    platform::ui::ShowMessage(e.Message(), "Error");
    setFocus();
  }
}

}  // namespace grid

#include "moc_ix_dbcombobox.cpp"
