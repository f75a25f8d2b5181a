// TMyEditBox, the pick-list editor: the entries of one of the five pick
// lists added, deleted and sorted; Ok hands the list to both combo boxes of
// its field and writes the five list files.
#pragma once

#include <string>
#include <vector>

#include "tdialog.h"

class QLineEdit;
class QListWidget;
class QPushButton;

namespace keldro {

class TMyEdit;

class TMyEditBox : public TDialog {
  Q_OBJECT
 public:
  // The editor whose lists are edited; `list` 1..5.
  TMyEditBox(TMyEdit& editor, int list, QWidget* parent = nullptr);

  QListWidget* TheList = nullptr;
  QLineEdit* AddInfo = nullptr;
  QPushButton *AddButton = nullptr, *DeleteButton = nullptr, *SortButton = nullptr, *OkButton = nullptr,
              *CancelButton = nullptr;

  int ListNumber() const { return list_; }
  // The entries shown (Windows-1252).
  std::vector<std::string> Items() const;

  void AddButtonClick();
  void DeleteButtonClick();
  void SortButtonClick();
  void OkButtonClick();
  void CancelButtonClick();
  void UpdateList();

 protected:
  void FormShow() override;

 private:
  void SetItems(const std::vector<std::string>& items, int selected);
  TMyEdit& editor_;
  int list_;
};

}  // namespace keldro
