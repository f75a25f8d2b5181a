#include "tmyrestore.h"

#include <system_error>

#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>

#include "app_state.h"
#include "core/dbf_header.h"
#include "core/inventory_table.h"
#include "core/utilities.h"
#include "platform/file_io.h"
#include "platform/paths.h"
#include "platform/ui.h"
#include "tmain.h"
#include "tmybackup.h"
#include "tmyedit.h"
#include "ui_utilities.h"

namespace fs = std::filesystem;
namespace ui = platform::ui;

namespace keldro {

namespace {

// The inventory format check of a file that must not be written: a backup
// whose .MDX stayed behind keeps its production-index flag, which is
// cleared only in the restored copy.
bool IsItemTableFile(const fs::path& path) {
  const std::optional<DbfHeaderInfo> header = ReadDbfHeader(path);
  return header && IsItemFieldLayout(header->fieldNames);
}

}  // namespace

TMyRestore::TMyRestore(TMain& main, QWidget* parent) : TDialog(parent, {640, 480}, 5), main_(main) {
  setObjectName("MyRestore");
  setWindowTitle("Restore");
  resize(420, 160);
  WhatBox = new QGroupBox("What To Restore", this);
  WhatBox->setObjectName("WhatBox");
  WhatBox->setGeometry(12, 8, 280, 140);
  auto radio = [this](const char* name, const char* caption, int y) {
    auto* r = new QRadioButton(caption, WhatBox);
    r->setObjectName(name);
    r->setGeometry(16, y, 256, 22);
    return r;
  };
  RestoreDBF = radio("RestoreDBF", "Restore a Database File (*.DBF)", 28);
  RestoreLST = radio("RestoreLST", "Restore List Files (*.LST)", 62);
  RestoreURP = radio("RestoreURP", "Restore Report Definitions (*.URP)", 96);
  auto button = [this](const char* name, const char* caption, int y) {
    auto* b = new QPushButton(caption, this);
    b->setObjectName(name);
    b->setGeometry(306, y, 100, 27);
    return b;
  };
  StartButton = button("StartButton", "&Start Restore", 16);
  CancelButton = button("CancelButton", "&Cancel", 50);
  HelpButton = button("HelpButton", "&Help", 84);
  connect(StartButton, &QPushButton::clicked, this, &TMyRestore::StartButtonClick);
  connect(CancelButton, &QPushButton::clicked, this, &TMyRestore::CancelButtonClick);
  connect(HelpButton, &QPushButton::clicked, this, &TMyRestore::HelpButtonClick);
  SaveSharedDesign<TMyRestore>();
}

void TMyRestore::FormShow() {
  RestoreDBF->setChecked(true);
}

void TMyRestore::StartButtonClick() {
  ui::FileDialogRequest request;
  const FileSet set = RestoreDBF->isChecked()   ? FileSet::Database
                      : RestoreLST->isChecked() ? FileSet::PickLists
                                                : FileSet::ReportDefinitions;
  switch (set) {
    case FileSet::Database:
      request.title = "Restore DBF File";
      request.defaultExt = "DBF";
      request.filter = "DBase Files (*.DBF) | *.DBF";
      break;
    case FileSet::PickLists:
      request.title = "Restore LST Files";
      request.defaultExt = "LST";
      request.filter = "List Files (*.LST) | *.LST";
      break;
    case FileSet::ReportDefinitions:
      request.title = "Restore URP File";
      request.defaultExt = "URP";
      request.filter = "Reports Files (*.URP) | *.URP";
      request.fileName = std::string(kReportDefinitionsFile);
      break;
  }
  request.fileMustExist = true;
  const ui::FileDialogResult chosen = ui::Current().FileDialog(request);
  if (!chosen.accepted) return;
  const fs::path picked = platform::MapPath(chosen.fileName);
  const bool done = set == FileSet::Database    ? RestoreDatabase(picked)
                    : set == FileSet::PickLists ? RestoreLists(picked)
                                                : RestoreReports(picked);
  if (done) {
    CancelButton->setText("&Close");
    CancelButton->setFocus();
  }
}

bool TMyRestore::RestoreDatabase(const fs::path& picked) {
  const FileCopy copy = RestoreFiles(FileSet::Database, ProgramDir, picked).front();
  if (SameFile(copy.source, copy.target)) {
    ui::ShowMessage(std::string(kRestoreIdenticalMessage), "Error");
    return false;
  }
  if (!IsItemTableFile(copy.source)) {
    ui::ShowMessage(std::string(kNotAnItemTableMessage), "Error");
    return false;
  }
  // Only now, so a refused restore leaves the search as it was.
  if (SearchActive) main_.DoEndSearch();
  if (!main_.PostPendingEdit()) return false;
  const bool overOpen = SameFile(copy.target, main_.CurrentDatabase());
  std::error_code ec;
  // Any database already there, open here or not, must be nobody's while
  // it is replaced.
  if (overOpen) main_.MyTable.Close();
  if (fs::exists(copy.target, ec) && main_.DBaseInUse(copy.target)) {
    ui::ShowMessage(std::string(kRestoreInUseMessage), "Error");
    if (overOpen) main_.ReopenShared();
    return false;
  }
  const RoomCheck room = EnoughRoom(copy.source, copy.target);
  if (room == RoomCheck::NotEnough) {
    ui::ShowMessage(std::string(kRestoreNoRoomMessage), "Error");
    if (overOpen) main_.ReopenShared();
    return false;
  }
  // The open database is closed before anything is copied over it. The copy
  // is made beside the target under a name of its own, its production-index
  // flag cleared (no index belongs to it there), and opened by the engine as
  // the format check; only a copy that passes is renamed over the target, so
  // a failure at any step leaves the old database whole.
  main_.MyTable.Close();
  const fs::path staged = RestoreStageName(copy.target);
  auto fail = [&](std::string_view message) {
    fs::remove(staged, ec);
    if (!message.empty()) ui::ShowMessage(std::string(message), "Error");
    main_.ReopenShared();
    return false;
  };
  bool copied = false;
  {
    const ui::BusyCursor busy;
    copied = room == RoomCheck::Enough && CopyFileBlocks(copy.source, staged);
  }
  if (!copied) return fail(kRestoreErrorMessage);
  if (RemoveMDXByte(staged) == IndexFlagRepair::Failed) return fail(kRestoreErrorMessage);
  if (!main_.CheckDBaseFormat(staged)) return fail("");  // the check told why
  fs::rename(staged, copy.target, ec);
  if (ec) return fail(kRestoreErrorMessage);
  // The restore is done only when the new name is on the disk.
  if (!platform::SyncFolder(copy.target.parent_path())) return fail(kRestoreErrorMessage);
  if (!main_.SwitchTable(copy.target.string(), true)) return false;
  ui::ShowMessage(RestoredDatabaseMessage(copy.target), "Notice");
  return true;
}

bool TMyRestore::RestoreLists(const fs::path& picked) {
  bool missing = false;
  {
    const ui::BusyCursor busy;
    for (const FileCopy& copy : RestoreFiles(FileSet::PickLists, ProgramDir, picked)) {
      std::error_code ec;
      if (!fs::exists(copy.source, ec)) {
        ui::ShowMessage(ListFileMissingMessage(copy.target.filename().string()), "Warning");
        missing = true;
        continue;
      }
      if (SameFile(copy.source, copy.target)) {
        ui::ShowMessage(std::string(kRestoreIdenticalMessage), "Error");
        return false;
      }
      if (!CopyFileBlocks(copy.source, copy.target)) {
        ui::ShowMessage(std::string(kRestoreErrorMessage), "Error");
        return false;
      }
    }
  }
  ui::ShowMessage(std::string(missing ? kListsMissingMessage : kListsRestoredMessage), "Notice");
  if (main_.MyEdit) main_.MyEdit->LoadAllList();
  return true;
}

bool TMyRestore::RestoreReports(const fs::path& picked) {
  const FileCopy copy = RestoreFiles(FileSet::ReportDefinitions, ProgramDir, picked).front();
  std::error_code ec;
  if (!fs::exists(copy.source, ec)) {
    ui::ShowMessage(std::string(kReportSourceMissingMessage), "Error");
    return false;
  }
  if (SameFile(copy.source, copy.target)) {
    ui::ShowMessage(std::string(kRestoreIdenticalMessage), "Error");
    return false;
  }
  const RoomCheck room = EnoughRoom(copy.source, copy.target);
  if (room == RoomCheck::NotEnough) {
    ui::ShowMessage(std::string(kRestoreNoRoomMessage), "Error");
    return false;
  }
  bool copied = false;
  {
    const ui::BusyCursor busy;
    copied = room == RoomCheck::Enough && CopyFileBlocks(copy.source, copy.target);
  }
  if (!copied) {
    ui::ShowMessage(std::string(kRestoreErrorMessage), "Error");
    return false;
  }
  main_.ReloadReportList();
  ui::ShowMessage(std::string(kRestoreDoneMessage), "Notice");
  return true;
}

void TMyRestore::HelpButtonClick() { ShowBackupRestoreHelp(); }

void TMyRestore::CancelButtonClick() { reject(); }

}  // namespace keldro

#include "moc_tmyrestore.cpp"
