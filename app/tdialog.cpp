#include "tdialog.h"

#include <QShowEvent>

#include "app_state.h"
#include "ui_utilities.h"

namespace keldro {

TDialog::TDialog(QWidget* parent, QSize screen, int colorGroup)
    : QDialog(parent), Screen(screen), colorGroup_(colorGroup) {
  setModal(true);
}

void TDialog::SaveDesign() { SaveFormDimensions(this, *dims_); }

void TDialog::SaveDesign(FormDimensions& shared) {
  dims_ = &shared;
  if (shared.clientWidth() == 0) SaveFormDimensions(this, shared);
}

void TDialog::SetColors() { ApplyColorGroup(this, colorGroup_); }

void TDialog::showEvent(QShowEvent* event) {
  if (everyShow_ || !event->spontaneous()) {
    ApplyConfiguredFonts(this, Settings);
    RestoreFormDimensions(this, *dims_, ScaleFactor, Screen);
    FormPlaced();
    SetColors();
    FormShow();
  }
  QDialog::showEvent(event);
}

}  // namespace keldro
