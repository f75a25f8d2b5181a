#include "tdialog.h"

#include "app_state.h"
#include "ui_utilities.h"

namespace keldro {

TDialog::TDialog(QWidget* parent, QSize screen, int colorGroup)
    : QDialog(parent), screen_(screen), colorGroup_(colorGroup) {
  setModal(true);
}

void TDialog::SaveDesign() { SaveFormDimensions(this, dims_); }

void TDialog::showEvent(QShowEvent* event) {
  ApplyConfiguredFonts(this, Settings);
  RestoreFormDimensions(this, dims_, ScaleFactor, screen_);
  const int group = colorGroup_ >= 1 && colorGroup_ <= kColorGroupCount ? colorGroup_ : 1;
  ApplyColorGroup(this, Settings.colors[static_cast<size_t>(group - 1)]);
  FormShow();
  QDialog::showEvent(event);
}

}  // namespace keldro
