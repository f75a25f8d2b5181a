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

  // The screen the window centres itself on.
  QSize Screen;

 protected:
  // Called once the components stand at their design places.
  void SaveDesign();
  // The same for a window whose instances share one design: the first
  // instance of `Window` records it, the others find it there.
  template <class Window>
  void SaveSharedDesign() {
    static FormDimensions shared;
    SaveDesign(shared);
  }
  // A spontaneous show (the window restored from the task bar) then leaves
  // the window as it stands.
  void ShowOnlyWhenOpened() { when_ = When::Opened; }
  // Only the first show: later ones (windows closing over this one) leave
  // the window as it stands.
  void ShowOnlyOnce() { when_ = When::Once; }
  // An empty Screen then stands for the screen the window is on when shown.
  void UseOwnScreenWhenUnset() { ownScreen_ = true; }

  void showEvent(QShowEvent* event) override;
  // After the geometry, before the colours.
  virtual void FormPlaced() {}
  // The colour group; a window that paints its parts its own way overrides it.
  virtual void SetColors();
  // After fonts, geometry and colours.
  virtual void FormShow() {}

 private:
  void SaveDesign(FormDimensions& shared);
  QSize ShownScreen() const;

  FormDimensions ownDims_;
  FormDimensions* dims_ = &ownDims_;
  int colorGroup_;
  enum class When { Every, Opened, Once } when_ = When::Every;
  bool shown_ = false;
  bool ownScreen_ = false;
};

}  // namespace keldro
