// The base of keldro's modal windows: when shown, each applies the
// configured fonts, puts its design geometry back scaled by ScaleFactor and
// centred on the screen, and paints itself in its colour group.
#pragma once

#include <QDialog>
#include <QSize>

#include "core/utilities.h"

namespace keldro {

class TDialog : public QDialog {
  Q_OBJECT
 public:
  // colorGroup: 1 main, 2 edit, 3 search, 4 report, 5 configure.
  TDialog(QWidget* parent, QSize screen, int colorGroup);

 protected:
  // Called once the components stand at their design places.
  void SaveDesign();
  void showEvent(QShowEvent* event) override;
  // After fonts, geometry and colours.
  virtual void FormShow() {}

 private:
  FormDimensions dims_;
  QSize screen_;
  int colorGroup_;
};

}  // namespace keldro
