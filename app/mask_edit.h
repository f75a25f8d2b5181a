// TMaskEdit: an entry that follows an edit mask (core/edit_mask.h). Typed
// characters fill the free positions and step over literals; Backspace and
// Delete blank positions; the entry shows blanks as the mask's blank
// character and reads them back as spaces.
#pragma once

#include <QLineEdit>

#include "core/edit_mask.h"

namespace keldro {

class TMaskEdit : public QLineEdit {
  Q_OBJECT
 public:
  TMaskEdit(std::string_view mask, QWidget* parent);

  // The mask's "/" stands for this separator from now on; the text stays.
  void SetDateSeparator(char separator);
  // The text with literals (when the mask keeps them), blanks as spaces.
  QString EditText() const;
  void SetEditText(const QString& text);
  void ClearEntry();

  // The clipboard items of the editor's Edit menu.
  void CutSelection();
  void PasteText();
  void DeleteSelection();

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void inputMethodEvent(QInputMethodEvent* event) override;

 private:
  void Show(size_t caret);
  void TypeText(const QString& text);
  std::string maskText_;
  EditMask mask_;
  std::string cells_;
};

}  // namespace keldro
