// TMyRestore, the Restore window: a database, the five pick lists or the
// report definitions file copied from a folder picked in an open dialog
// into the program directory; a restored database becomes the open one.
#pragma once

#include <filesystem>

#include "tdialog.h"

#include "core/backup_restore.h"

class QGroupBox;
class QPushButton;
class QRadioButton;

namespace keldro {

class TMain;

class TMyRestore : public TDialog {
  Q_OBJECT
 public:
  TMyRestore(TMain& main, QWidget* parent = nullptr);

  QGroupBox* WhatBox = nullptr;
  QRadioButton *RestoreDBF = nullptr, *RestoreLST = nullptr, *RestoreURP = nullptr;
  QPushButton *StartButton = nullptr, *CancelButton = nullptr, *HelpButton = nullptr;

  void StartButtonClick();
  void CancelButtonClick();
  void HelpButtonClick();

 protected:
  void FormShow() override;

 private:
  bool RestoreDatabase(const std::filesystem::path& picked);
  bool RestoreLists(const std::filesystem::path& picked);
  bool RestoreReports(const std::filesystem::path& picked);
  TMain& main_;
};

}  // namespace keldro
