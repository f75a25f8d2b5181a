#include "mask_edit.h"

#include <QApplication>
#include <QClipboard>
#include <QInputMethodEvent>
#include <QKeyEvent>

namespace keldro {

TMaskEdit::TMaskEdit(std::string_view mask, QWidget* parent)
    : QLineEdit(parent), maskText_(mask), mask_(mask, '/'), cells_(mask_.EmptyCells()) {
  setProperty("maskEdit", true);
  setMaxLength(static_cast<int>(mask_.Length()));
  // Text reaches the entry only through the mask: no drops, no context menu
  // with the line edit's own paste and undo.
  setAcceptDrops(false);
  setContextMenuPolicy(Qt::NoContextMenu);
  Show(0);
}

void TMaskEdit::SetDateSeparator(char separator) {
  const std::string text = mask_.TextOf(cells_);
  mask_ = EditMask(maskText_, separator);
  cells_ = mask_.CellsFromText(text);
  // The old separators stand where the new ones go.
  for (size_t i = 0; i < cells_.size(); ++i)
    if (mask_.IsLiteral(i)) cells_[i] = mask_.EmptyCells()[i];
  Show(0);
}

QString TMaskEdit::EditText() const { return QString::fromLatin1(mask_.TextOf(cells_).c_str()); }

void TMaskEdit::SetEditText(const QString& text) {
  cells_ = mask_.CellsFromText(text.toLatin1().toStdString());
  Show(0);
}

void TMaskEdit::ClearEntry() {
  cells_ = mask_.EmptyCells();
  Show(0);
}

void TMaskEdit::Show(size_t caret) {
  const bool modified = isModified();
  setText(QString::fromLatin1(mask_.DisplayOf(cells_).c_str()));
  setModified(modified);
  setCursorPosition(static_cast<int>(std::min(caret, mask_.Length())));
}

void TMaskEdit::TypeText(const QString& text) {
  size_t pos = static_cast<size_t>(hasSelectedText() ? selectionStart() : cursorPosition());
  if (hasSelectedText()) mask_.Clear(cells_, pos, pos + static_cast<size_t>(selectedText().size()));
  for (QChar ch : text) {
    const char c = ch.toLatin1();
    if (c == 0) continue;
    pos = mask_.Type(cells_, pos, c);
  }
  Show(pos);
  setModified(true);
}

void TMaskEdit::CutSelection() {
  if (!hasSelectedText()) return;
  QApplication::clipboard()->setText(selectedText());
  DeleteSelection();
}

void TMaskEdit::PasteText() { TypeText(QApplication::clipboard()->text()); }

void TMaskEdit::DeleteSelection() {
  if (!hasSelectedText()) return;
  const size_t from = static_cast<size_t>(selectionStart());
  mask_.Clear(cells_, from, from + static_cast<size_t>(selectedText().size()));
  Show(from);
  setModified(true);
}

void TMaskEdit::keyPressEvent(QKeyEvent* event) {
  if (event->matches(QKeySequence::Paste)) return PasteText();
  if (event->matches(QKeySequence::Cut)) return CutSelection();
  if (event->matches(QKeySequence::Copy) || event->matches(QKeySequence::SelectAll)) return QLineEdit::keyPressEvent(event);
  const size_t pos = static_cast<size_t>(cursorPosition());
  switch (event->key()) {
    case Qt::Key_Backspace: {
      if (hasSelectedText()) return DeleteSelection();
      const size_t prior = mask_.PriorFree(pos);
      if (prior == std::string::npos) return;
      mask_.Clear(cells_, prior, prior + 1);
      Show(prior);
      setModified(true);
      return;
    }
    case Qt::Key_Delete: {
      if (hasSelectedText()) return DeleteSelection();
      const size_t at = mask_.NextFree(pos);
      mask_.Clear(cells_, at, at + 1);
      Show(pos);
      setModified(true);
      return;
    }
    case Qt::Key_Left: case Qt::Key_Right: case Qt::Key_Home: case Qt::Key_End:
    case Qt::Key_Return: case Qt::Key_Enter: case Qt::Key_Tab: case Qt::Key_Backtab: case Qt::Key_Escape:
      return QLineEdit::keyPressEvent(event);
    default: break;
  }
  const QString text = event->text();
  if (!text.isEmpty() && text.at(0).isPrint() && !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
    TypeText(text);
    return;
  }
  event->ignore();
}

void TMaskEdit::inputMethodEvent(QInputMethodEvent* event) {
  if (!event->commitString().isEmpty()) TypeText(event->commitString());
  event->accept();
}

}  // namespace keldro

#include "moc_mask_edit.cpp"
