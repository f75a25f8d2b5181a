#include "tmybackup.h"

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <system_error>

#include <QComboBox>
#include <QFileSystemModel>
#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeView>

#include "app_state.h"
#include "core/utilities.h"
#include "platform/ui.h"
#include "tmain.h"
#include "tmyedit.h"
#include "ui_utilities.h"

namespace fs = std::filesystem;
namespace ui = platform::ui;

namespace keldro {

namespace {

bool Writable(const fs::path& dir) {
  std::error_code ec;
  return fs::is_directory(dir, ec) && access(dir.c_str(), W_OK) == 0;
}

bool Contains(const std::string& drive, const std::string& dir) {
  if (drive == "/") return !dir.empty() && dir.front() == '/';
  return dir == drive || (dir.size() > drive.size() && dir.compare(0, drive.size(), drive) == 0 &&
                          dir[drive.size()] == '/');
}

}  // namespace

std::vector<std::string> WritableDrives() {
  std::vector<std::string> drives{"/"};
  auto add = [&drives](const fs::path& p) {
    const std::string s = p.lexically_normal().string();
    if (Writable(p) && std::find(drives.begin(), drives.end(), s) == drives.end()) drives.push_back(s);
  };
  if (const char* home = std::getenv("HOME"); home && *home) add(home);
  std::vector<fs::path> media{"/media", "/mnt"};
  if (const char* user = std::getenv("USER"); user && *user) {
    media.push_back(fs::path("/media") / user);
    media.push_back(fs::path("/run/media") / user);
  }
  for (const fs::path& base : media) {
    std::error_code ec;
    for (fs::directory_iterator it(base, ec), end; !ec && it != end; it.increment(ec)) add(it->path());
  }
  return drives;
}

std::string DriveOf(const std::vector<std::string>& drives, const std::string& dir) {
  std::string best = "/";
  for (const std::string& d : drives)
    if (Contains(d, dir) && d.size() >= best.size()) best = d;
  return best;
}

TMyBackup::TMyBackup(TMain& main, QWidget* parent) : TDialog(parent, {640, 480}, 5), main_(main) {
  setObjectName("MyBackup");
  setWindowTitle("Backup");
  resize(520, 330);
  WhatBox = new QGroupBox("What To Back Up", this);
  WhatBox->setObjectName("WhatBox");
  WhatBox->setGeometry(12, 8, 496, 104);
  auto radio = [this](const char* name, const char* caption, int y) {
    auto* r = new QRadioButton(caption, WhatBox);
    r->setObjectName(name);
    r->setGeometry(16, y, 320, 22);
    return r;
  };
  BackDBF = radio("BackDBF", "Back Up Current Database (*.DBF)", 22);
  BackLST = radio("BackLST", "Back Up Lists (*.LST)", 48);
  BackURP = radio("BackURP", "Back Up Report Definitions (*.URP)", 74);
  WhereBox = new QGroupBox("Where To Back Up To", this);
  WhereBox->setObjectName("WhereBox");
  WhereBox->setGeometry(12, 118, 388, 202);
  DriveBox = new QComboBox(WhereBox);
  DriveBox->setObjectName("DriveBox");
  DriveBox->setGeometry(12, 22, 364, 24);
  DirBox = new QTreeView(WhereBox);
  DirBox->setObjectName("DirBox");
  DirBox->setGeometry(12, 52, 364, 140);
  model_ = new QFileSystemModel(this);
  model_->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot);
  model_->setReadOnly(true);
  DirBox->setModel(model_);
  DirBox->setHeaderHidden(true);
  for (int c = 1; c < model_->columnCount(); ++c) DirBox->hideColumn(c);
  auto button = [this](const char* name, const char* caption, int y) {
    auto* b = new QPushButton(caption, this);
    b->setObjectName(name);
    b->setGeometry(412, y, 96, 27);
    return b;
  };
  StartButton = button("StartButton", "&Start Back Up", 128);
  CancelButton = button("CancelButton", "&Cancel", 162);
  HelpButton = button("HelpButton", "&Help", 196);
  for (const std::string& d : WritableDrives()) DriveBox->addItem(QString::fromStdString(d));
  connect(DriveBox, &QComboBox::currentIndexChanged, this, [this] { DriveBoxChange(); });
  connect(DirBox->selectionModel(), &QItemSelectionModel::currentChanged, this, [this](const QModelIndex& index) {
    if (index.isValid()) directory_ = model_->filePath(index).toStdString();
  });
  connect(StartButton, &QPushButton::clicked, this, &TMyBackup::StartButtonClick);
  connect(CancelButton, &QPushButton::clicked, this, &TMyBackup::CancelButtonClick);
  connect(HelpButton, &QPushButton::clicked, this, &TMyBackup::HelpButtonClick);
  SaveSharedDesign<TMyBackup>();
}

void TMyBackup::FormShow() {
  BackDBF->setChecked(true);
  SetDirectory(ProgramDir.string());
}

void TMyBackup::SetDirectory(const std::string& dir) {
  std::vector<std::string> drives;
  for (int i = 0; i < DriveBox->count(); ++i) drives.push_back(DriveBox->itemText(i).toStdString());
  const std::string drive = DriveOf(drives, dir);
  {
    const QSignalBlocker block(DriveBox);
    int at = DriveBox->findText(QString::fromStdString(drive));
    if (at < 0) {
      DriveBox->addItem(QString::fromStdString(drive));
      at = DriveBox->count() - 1;
    }
    DriveBox->setCurrentIndex(at);
  }
  DriveBoxChange();
  const QModelIndex index = model_->index(QString::fromStdString(dir));
  if (index.isValid()) {
    DirBox->setCurrentIndex(index);
    DirBox->scrollTo(index);
  }
  directory_ = dir;
}

void TMyBackup::DriveBoxChange() {
  const QString drive = DriveBox->currentText();
  model_->setRootPath(drive);
  DirBox->setRootIndex(model_->index(drive));
  directory_ = drive.toStdString();
}

void TMyBackup::Succeeded() {
  ui::ShowMessage(std::string(kBackupDoneMessage), "Notice");
  CancelButton->setText("&Close");
  CancelButton->setFocus();
}

void TMyBackup::StartButtonClick() {
  const bool done = BackDBF->isChecked() ? BackupDatabase() : BackLST->isChecked() ? BackupLists() : BackupReports();
  if (done) Succeeded();
}

bool TMyBackup::BackupDatabase() {
  const FileCopy copy = BackupFiles(FileSet::Database, ProgramDir, main_.CurrentDatabase(), directory_).front();
  if (SameFile(copy.source, copy.target)) {
    ui::ShowMessage(std::string(kBackupIdenticalMessage), "Error");
    return false;
  }
  if (!main_.PostPendingEdit()) return false;
  const bool searchWasActive = SearchActive;
  if (searchWasActive) main_.DisableEndSearch();
  auto reopen = [&] {
    if (searchWasActive) main_.EnableEndSearch();
    main_.ReopenShared();
  };
  main_.MyTable.Close();
  if (main_.DBaseInUse(copy.source)) {
    ui::ShowMessage(std::string(kBackupInUseMessage), "Error");
    reopen();
    return false;
  }
  // The table stays closed while it is copied.
  const RoomCheck room = EnoughRoom(copy.source, copy.target);
  if (room == RoomCheck::NotEnough) {
    ui::ShowMessage(std::string(kBackupNoRoomMessage), "Error");
    reopen();
    return false;
  }
  bool copied = false;
  {
    const ui::BusyCursor busy;
    copied = room == RoomCheck::Enough && CopyFileBlocks(copy.source, copy.target);
  }
  reopen();
  if (!copied) ui::ShowMessage(std::string(kBackupErrorMessage), "Error");
  return copied;
}

bool TMyBackup::BackupLists() {
  const ui::BusyCursor busy;
  if (main_.MyEdit) main_.MyEdit->SaveAllLists();
  for (const FileCopy& copy : BackupFiles(FileSet::PickLists, ProgramDir, main_.CurrentDatabase(), directory_)) {
    std::error_code ec;
    if (!fs::is_regular_file(copy.source, ec)) continue;  // not there, or not a file to read
    if (SameFile(copy.source, copy.target)) {
      ui::ShowMessage(std::string(kBackupIdenticalMessage), "Error");
      return false;
    }
    if (!CopyFileBlocks(copy.source, copy.target)) {
      ui::ShowMessage(std::string(kBackupErrorMessage), "Error");
      return false;
    }
  }
  return true;
}

bool TMyBackup::BackupReports() {
  const FileCopy copy =
      BackupFiles(FileSet::ReportDefinitions, ProgramDir, main_.CurrentDatabase(), directory_).front();
  if (SameFile(copy.source, copy.target)) {
    ui::ShowMessage(std::string(kBackupIdenticalMessage), "Error");
    return false;
  }
  const RoomCheck room = EnoughRoom(copy.source, copy.target);
  if (room == RoomCheck::NotEnough) {
    ui::ShowMessage(std::string(kBackupReportNoRoomMessage), "Error");
    return false;
  }
  const ui::BusyCursor busy;
  if (room != RoomCheck::Enough || !CopyFileBlocks(copy.source, copy.target)) {
    ui::ShowMessage(std::string(kBackupErrorMessage), "Error");
    return false;
  }
  return true;
}

void TMyBackup::HelpButtonClick() { ShowBackupRestoreHelp(); }

void ShowBackupRestoreHelp() {
  ShowHelp("Backup and Restore");
}

void TMyBackup::CancelButtonClick() { reject(); }

}  // namespace keldro

#include "moc_tmybackup.cpp"
