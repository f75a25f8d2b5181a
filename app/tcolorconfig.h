// TColorConfig, the Color Configuration window: one colour group's thirteen
// colours (or all five groups' at once) edited on sample controls, with the
// twelve predefined colour sets. It works on a copy; Ok stores it.
#pragma once

#include <functional>

#include "tdialog.h"

#include "app_state.h"
#include "core/color_sets.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;

namespace keldro {

class TColorConfig : public TDialog {
  Q_OBJECT
 public:
  TColorConfig(QSize screen, QWidget* parent = nullptr);

  // Set by the main window before the window is shown: group 1..5, or 6 for
  // all, and the colours to start from.
  int Group = 1;
  ColorScheme Colors;

  // Repaints the main window (TMain::SetColors), for groups 1 and 6.
  std::function<void()> OnMainColorsChanged;

  // ---- components
  QLabel *WindowLabel = nullptr, *RadioLabel = nullptr, *CheckLabel = nullptr, *EditLabel = nullptr,
         *ComboLabel = nullptr, *ListLabel = nullptr, *SetsLabel = nullptr;
  QLineEdit* EditBox = nullptr;
  QComboBox* ComboBox = nullptr;
  QListWidget* ListBox = nullptr;
  QCheckBox* CheckBox = nullptr;
  QRadioButton* RadioButton = nullptr;
  QComboBox* ColorSets = nullptr;
  QPushButton *MainBack = nullptr, *MajorTitles = nullptr, *MinorTitles = nullptr, *EditBoxText = nullptr,
              *EditBoxBack = nullptr, *ComboText = nullptr, *ComboBack = nullptr, *ListText = nullptr,
              *ListBack = nullptr, *RadioText = nullptr, *RadioBack = nullptr, *CheckText = nullptr,
              *CheckBack = nullptr;
  QPushButton *OkButton = nullptr, *CancelButton = nullptr;

  // ---- handlers
  // A colour button: the colour dialog from the working colour.
  void ChooseColor(ColorIndex color);
  void ColorSetsChange(int entry);
  void OkClick();
  void CancelClick();
  // The colour family: entries 1..12.
  void SetMonochrome() { ColorSetsChange(1); }
  void SetGrayMists() { ColorSetsChange(2); }
  void SetBlackKnight() { ColorSetsChange(3); }
  void SetDesertSunset() { ColorSetsChange(4); }
  void SetEasterPastel() { ColorSetsChange(5); }
  void SetOceanBlue() { ColorSetsChange(6); }
  void SetFieryRed() { ColorSetsChange(7); }
  void SetChristmasSeason() { ColorSetsChange(8); }
  void SetWine() { ColorSetsChange(9); }
  void SetMorePastels() { ColorSetsChange(10); }
  void SetGreenGlow() { ColorSetsChange(11); }
  void SetCamo() { ColorSetsChange(12); }

 protected:
  void FormPlaced() override;
  // The window in the colours being chosen.
  void SetColors() override;

 private:
  void CreateComponents();
  // Every sample in the working colours.
  void PaintSamples();

};

}  // namespace keldro
