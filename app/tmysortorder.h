// TMySortOrder, the Sort Order window: up to four fields the inventory is
// ordered by. Ok rebuilds the index "NewIndex" from them with the table to
// itself and stores the levels in the settings.
#pragma once

#include <array>

#include "tdialog.h"

#include "core/sort_levels.h"

class QComboBox;
class QLabel;
class QPushButton;

namespace keldro {

class TMain;

class TMySortOrder : public TDialog {
  Q_OBJECT
 public:
  TMySortOrder(TMain& main, QWidget* parent = nullptr);

  // "<NONE>" and the 22 field titles: a list position is a field number.
  std::array<QComboBox*, 4> ComboBoxes{};
  std::array<QLabel*, 4> Labels{};
  QPushButton *OkButton = nullptr, *CancelButton = nullptr;

  // The levels the four lists show.
  SortLevels ChosenLevels() const;

  void OkButtonClick();
  void CancelButtonClick();

 protected:
  void FormPlaced() override;

 private:
  void FormCreate();
  TMain& main_;
};

}  // namespace keldro
