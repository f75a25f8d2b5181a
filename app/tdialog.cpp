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
  ApplyColorGroup(this, colorGroup_);
  FormShow();
  QDialog::showEvent(event);
}

}  // namespace keldro
