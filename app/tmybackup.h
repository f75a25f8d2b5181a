// TMyBackup, the Backup window: the open database, the five pick lists or
// the report definitions file copied into a folder the user chooses on a
// drive (a mount point) and in its folder tree.
#pragma once

#include <string>
#include <vector>

#include "tdialog.h"

#include "core/backup_restore.h"

class QComboBox;
class QFileSystemModel;
class QGroupBox;
class QPushButton;
class QRadioButton;
class QTreeView;

namespace keldro {

class TMain;

// The drives offered: the mount points the user can write to (the root, the
// home folder, mounted media), each once, in that order.
std::vector<std::string> WritableDrives();
// The drive of `drives` that holds `dir` (the longest that contains it).
std::string DriveOf(const std::vector<std::string>& drives, const std::string& dir);
// Help on "Backup and Restore", the topic of both windows.
void ShowBackupRestoreHelp();

class TMyBackup : public TDialog {
  Q_OBJECT
 public:
  TMyBackup(TMain& main, QWidget* parent = nullptr);

  QGroupBox *WhatBox = nullptr, *WhereBox = nullptr;
  QRadioButton *BackDBF = nullptr, *BackLST = nullptr, *BackURP = nullptr;
  QComboBox* DriveBox = nullptr;
  QTreeView* DirBox = nullptr;
  QPushButton *StartButton = nullptr, *CancelButton = nullptr, *HelpButton = nullptr;

  // The folder the backup goes to.
  const std::string& Directory() const { return directory_; }
  // Points both boxes at a folder (its drive, and the folder in the tree).
  void SetDirectory(const std::string& dir);

  void DriveBoxChange();
  void StartButtonClick();
  void CancelButtonClick();
  void HelpButtonClick();

 protected:
  void FormShow() override;

 private:
  bool BackupDatabase();
  bool BackupLists();
  bool BackupReports();
  void Succeeded();
  TMain& main_;
  QFileSystemModel* model_ = nullptr;
  std::string directory_;
};

}  // namespace keldro
