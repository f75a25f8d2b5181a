#include "tdialog.h"

#include <QScreen>
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

QSize TDialog::ShownScreen() const {
  if (Screen.isValid() || !ownScreen_) return Screen;
  if (QScreen* s = screen()) return s->size();
  return {640, 480};
}

void TDialog::SetColors() { ApplyColorGroup(this, colorGroup_); }

void TDialog::showEvent(QShowEvent* event) {
  const bool run = when_ == When::Every || (when_ == When::Opened && !event->spontaneous()) ||
                   (when_ == When::Once && !shown_);
  shown_ = true;
  if (run) {
    ApplyConfiguredFonts(this, Settings);
    RestoreFormDimensions(this, *dims_, ScaleFactor, ShownScreen());
    FormPlaced();
    SetColors();
    FormShow();
  }
  QDialog::showEvent(event);
}

}  // namespace keldro

#include "moc_tdialog.cpp"
