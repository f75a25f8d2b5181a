#include "cfg_frame.h"

#include <QAction>
#include <QCloseEvent>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>

#include "about_dlg.h"
#include "cfg_app.h"
#include "cfg_notebook.h"
#include "client_wnd.h"
#include "core/cfg_startup.h"
#include "core/cfg_strings.h"
#include "core/config_model.h"
#include "core/engine_binding.h"
#include "core/file_dialogs.h"
#include "core/frame_rules.h"
#include "merge_warning_dlg.h"
#include "modal.h"
#include "overwrite_warning_dlg.h"
#include "panel.h"
#include "platform/ui.h"
#include "warning_dlg.h"
#include "win_ini_dlg.h"

namespace vtxcfg {
namespace {

void Help(platform::ui::HelpCommand command, int context = 0) {
  platform::ui::HelpRequest request;
  request.file = kHelpFile;
  request.command = command;
  request.context = static_cast<uint32_t>(context);
  platform::ui::Current().Help(request);
}

struct MenuItem {
  const char* text;
  int command;
};

}  // namespace

TCfgDecFrame::TCfgDecFrame(TCfgApp& app, TClientWnd* client) : app_(app) {
  setObjectName("TCfgDecFrame");
  setCentralWidget(client);
  BuildMenu();
  Command(kCmConfigureWin31)->setChecked(ReadSaveConfigSetting());
}

void TCfgDecFrame::BuildMenu() {
  struct MenuDef {
    const char* title;
    std::vector<MenuItem> items;
  };
  const MenuDef menus[] = {
      {"&File",
       {{"&Open...", kCmFileOpen},
        {"&Save", kCmFileSave},
        {"Save &As...", kCmFileSaveAs},
        {"&Merge...", kCmFileMerge},
        {nullptr, 0},
        {"E&xit", kCmFileExit}}},
      {"&Options", {{"&Configure WIN3.1", kCmConfigureWin31}}},
      {"&Pages",
       {{"&Alias", kCmPageAlias},
        {"&Drivers", kCmPageDrivers},
        {"&System", kCmPageSystem},
        {"Date &Formats", kCmPageDate},
        {"&Time Formats", kCmPageTime},
        {"&Number Formats", kCmPageNumber}}},
      {"&Help", {{"&Contents", kCmHelpContents}, {"&About...", kCmHelpAbout}}},
  };
  menuBar()->setObjectName("100");
  for (const MenuDef& def : menus) {
    QMenu* menu = menuBar()->addMenu(def.title);
    menu->installEventFilter(this);
    for (const MenuItem& item : def.items) {
      if (!item.text) {
        menu->addSeparator();
        continue;
      }
      QAction* action = menu->addAction(item.text);
      action->setObjectName(QString::number(item.command));
      action->setCheckable(item.command == kCmConfigureWin31);
      int command = item.command;
      connect(action, &QAction::triggered, this, [this, command] { Dispatch(command); });
    }
  }
}

QSize TCfgDecFrame::FrameSize() const {
  QFontMetrics fm(font());
  int baseX = fm.averageCharWidth();
  int baseY = fm.height();
  int width = std::stoi(CfgString(2006)) * baseX / 4;
  int height = std::stoi(CfgString(2005)) * baseY / 8;
  return QSize(width, height);
}

TClientWnd* TCfgDecFrame::Client() const { return qobject_cast<TClientWnd*>(centralWidget()); }

QAction* TCfgDecFrame::Command(int id) const {
  for (QAction* action : menuBar()->findChildren<QAction*>(QString::number(id))) return action;
  return nullptr;
}

bool TCfgDecFrame::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_F1) {
    auto* menu = qobject_cast<QMenu*>(watched);
    QAction* action = menu ? menu->activeAction() : nullptr;
    if (action && !action->menu() && !action->isSeparator()) {
      // The highlighted command runs, and shows its help instead.
      helpFlag_ = true;
      menu->close();
      if (action->isCheckable()) action->toggle();  // trigger() toggles it back
      action->trigger();
      return true;
    }
  }
  return QMainWindow::eventFilter(watched, event);
}

void TCfgDecFrame::Dispatch(int command) {
  if (helpFlag_) {
    helpFlag_ = false;
    if (command == kCmConfigureWin31) Command(kCmConfigureWin31)->setChecked(ReadSaveConfigSetting());
    int context = MenuHelpContext(command);
    if (context)
      Help(platform::ui::HelpCommand::Context, context);
    else if (command != kCmHelpSearch && command != kCmHelpOnHelp)
      Help(platform::ui::HelpCommand::Finder);
    return;
  }
  switch (command) {
    case kCmFileOpen: return CmFileOpen();
    case kCmFileSave: return CmFileSave();
    case kCmFileSaveAs: return CmFileSaveAs();
    case kCmFileMerge: return CmFileMerge();
    case kCmFileExit: return CmFileExit();
    case kCmConfigureWin31: return CmConfigureWin31();
    case kCmHelpContents: return CmHelpContents();
    case kCmHelpAbout: return CmHelpAbout();
    case kCmHelpSearch:
    case kCmHelpOnHelp: return;
    default:
      if (PageTabOfCommand(command)) CmPage(command);
  }
}

void TCfgDecFrame::ShowConfiguration() {
  Client()->Notebook()->RefreshAll(app_.Loaded());
  app_.UpdateTitle();
}

void TCfgDecFrame::Reload() {
  int readOnly = 0;
  std::string file = app_.FileName();
  bool loaded = LoadConfiguration(&file, &readOnly) == 1;
  app_.SetLoaded(loaded, readOnly != 0);
  ShowConfiguration();
}

void TCfgDecFrame::CmFileOpen() {
  std::string chosen;
  if (!RunOpenFileDialog(CfgString(1067), DirectoryOf(app_.FileName()), chosen)) return;
  if (app_.Loaded() && !ConfirmSave()) return;
  if (ProbeConfigFile(chosen) != 0) {
    ReportCfgError(19);
    return;
  }
  // The configuration in memory stays until the chosen file has been read.
  int readOnly = 0;
  if (LoadConfiguration(&chosen, &readOnly) == 1) {
    app_.SetFileName(chosen);
    app_.SetLoaded(true, readOnly != 0);
    ShowConfiguration();
  }
  if (TPanel* page = Client()->Notebook()->CurrentPage()) page->setFocus();
}

void TCfgDecFrame::CmFileSave() { Save(); }
void TCfgDecFrame::CmFileSaveAs() { SaveAs(); }

TCfgDecFrame::SaveResult TCfgDecFrame::Save() {
  if (!app_.Loaded()) return SaveResult::kCancelled;
  std::string file = app_.FileName();
  // The defaults have no file of their own: they are saved as a new one.
  if (SaveNeedsSaveAs(file)) return SaveAs();
  if (app_.ReadOnly()) {
    ReportCfgError(20);
    return SaveResult::kFailed;
  }
  int format = ReadSaveConfigSetting() ? 1 : 0;
  int registry = ConfirmRegistryUpdate(file);
  if (WriteConfigFile(&file, nullptr, registry, format) != 0) {
    ReportCfgError(4);
    return SaveResult::kFailed;
  }
  if (!exiting_) Reload();
  return SaveResult::kSaved;
}

TCfgDecFrame::SaveResult TCfgDecFrame::SaveAs() {
  if (!app_.Loaded()) return SaveResult::kCancelled;
  std::string current = app_.FileName();
  std::string chosen;
  if (!RunSaveFileDialog(CfgString(1068), DirectoryOf(current), chosen)) {
    exiting_ = false;
    return SaveResult::kCancelled;
  }
  if (ConfigFileExists(chosen)) {
    if (ConfigFileReadOnly(chosen)) {
      ReportCfgError(20);
      return SaveResult::kFailed;
    }
    TOverwriteWarningDlg question(this);
    if (RunModal(question) != kIdOk) return SaveResult::kCancelled;
  }
  int format = ReadSaveConfigSetting() ? 1 : 0;
  int registry = ConfirmRegistryUpdate(chosen);
  if (WriteConfigurationAs(chosen, current, registry, format) != 0) {
    ReportCfgError(4);
    return SaveResult::kFailed;
  }
  if (!PathEqual(chosen, current)) {
    app_.SetFileName(chosen);
    app_.UpdateTitle();
  }
  app_.SetLoaded(true, false);
  if (!exiting_) Reload();
  return SaveResult::kSaved;
}

int TCfgDecFrame::ConfirmSave() {
  if (!SaveQuestionNeeded(app_.ReadOnly())) {
    CloseConfigHandle();
    return 1;
  }
  TWarningDlg question(this);
  int answer = RunModal(question);
  if (answer == kIdCancel) return 0;
  if (answer == kIdOk) {
    exiting_ = true;
    SaveResult saved = Save();
    exiting_ = false;
    // Changes that could not be saved are not given up for the next file.
    return saved == SaveResult::kSaved ? 1 : 0;
  }
  CloseConfigHandle();
  return 1;
}

int TCfgDecFrame::ConfirmRegistryUpdate(const std::string& saved) {
  if (!RegistryQuestionNeeded(app_.FileName(), saved)) return 1;
  TWinIniDlg question(this);
  if (RunModal(question) != kIdOk) return 0;
  // The save goes on either way; the user learns the next start will not
  // find the new file.
  if (SetRegisteredConfigFile(saved) != 0) ReportCfgError(kRegistryUpdateFailed);
  return 1;
}

void TCfgDecFrame::CmFileMerge() {
  if (!app_.Loaded()) return;
  if (app_.ReadOnly()) {
    ReportCfgError(20);
    return;
  }
  std::string current = app_.FileName();
  // The defaults are no file to merge into.
  if (SaveNeedsSaveAs(current)) {
    ReportCfgError(38);
    return;
  }
  std::string chosen;
  if (!RunOpenFileDialog(CfgString(1069), DirectoryOf(current), chosen)) return;
  TMergeWarningDlg question(this);
  if (RunModal(question) != kIdOk) {
    ReportCfgError(38);
    return;
  }
  if (!ConfirmSave()) return;
  int format = ReadSaveConfigSetting() ? 1 : 0;
  int registry = ConfirmRegistryUpdate(current);
  if (MergeConfigFiles(current, chosen, registry, format) != 0) ReportCfgError(38);
  int readOnly = 0;
  bool loaded = LoadConfiguration(&current, &readOnly) == 1;
  app_.SetLoaded(loaded, readOnly != 0);
  ShowConfiguration();
}

void TCfgDecFrame::CmFileExit() { close(); }

void TCfgDecFrame::closeEvent(QCloseEvent* event) {
  if (app_.Loaded() && !app_.ReadOnly()) {
    if (IsConfigModified()) {
      TWarningDlg question(this);
      int answer = RunModal(question);
      if (answer == kIdCancel) {
        event->ignore();
        return;
      }
      if (answer == kIdOk) {
        exiting_ = true;
        SaveResult saved = Save();
        exiting_ = false;
        if (saved != SaveResult::kSaved) {
          event->ignore();
          return;
        }
      } else {
        CloseConfigHandle();
      }
    } else {
      CloseConfigHandle();
    }
  }
  app_.QuitHelp();
  event->accept();
}

void TCfgDecFrame::CmConfigureWin31() {
  QAction* item = Command(kCmConfigureWin31);
  WriteSaveConfigSetting(item->isChecked());
}

void TCfgDecFrame::CmPage(int command) { Client()->Notebook()->SelectPage(PageTabOfCommand(command)); }

void TCfgDecFrame::CmHelpContents() { Help(platform::ui::HelpCommand::Finder); }

void TCfgDecFrame::CmHelpAbout() {
  TAboutDialog about(this);
  RunModal(about);
}

}  // namespace vtxcfg

#include "moc_cfg_frame.cpp"
