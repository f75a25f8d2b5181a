// TMain's own commands: Delete, New and Update Database, End Search, Pack
// and Rebuild Indexes, the font commands, Printer Setup, Help and the Help
// menu's windows, and the wiring of every item, speed button and lettered
// button to them.
#include <system_error>
#include <type_traits>

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QMenuBar>
#include <QPushButton>
#include <QToolButton>

#include "core/table_maintenance.h"
#include "platform/paths.h"
#include "platform/ui.h"
#include "reports/tmyreport.h"
#include "taboutbox.h"
#include "tcolorconfig.h"
#include "tmain.h"
#include "tmyexport.h"
#include "tmyimport.h"
#include "tmybackup.h"
#include "tmyrestore.h"
#include "tmysortorder.h"
#include "tprintersetup.h"
#include "tproducts.h"
#include "tprogress.h"
#include "tsearchandreplace.h"
#include "ttipofday.h"
#include "tviewconfig.h"
#include "ui_utilities.h"

namespace fs = std::filesystem;
namespace ui = platform::ui;

namespace keldro {

// ------------------------------------------------------------------ wiring

void TMain::ConnectCommands() {
  auto on = [this](auto* sender, auto command) {
    if constexpr (std::is_same_v<std::remove_pointer_t<decltype(sender)>, QAction>)
      connect(sender, &QAction::triggered, this, command);
    else
      connect(sender, &QAbstractButton::clicked, this, command);
  };
  on(MenuNew, [this] { DoNew(); });
  on(SpeedNew, [this] { DoNew(); });
  on(MenuUpdate, [this] { DoUpdate(); });
  on(MenuPrinterSetup, [this] { DoPrinterSetup(); });
  on(MenuDelete, [this] { DoDelete(); });
  on(SpeedDelete, [this] { DoDelete(); });
  on(DeleteButton, [this] { DoDelete(); });
  on(MenuEndSearch, [this] { DoEndSearch(); });
  on(SpeedEndSearch, [this] { DoEndSearch(); });
  on(EndSearchButton, [this] { DoEndSearch(); });
  on(MenuLabelFont, [this] { DoFont(FontChoice::Label); });
  on(MenuEditFont, [this] { DoFont(FontChoice::Edit); });
  on(MenuButtonFont, [this] { DoFont(FontChoice::Button); });
  on(MenuRebuild, [this] { DoRebuild(); });
  on(MenuPack, [this] { DoPack(); });
  on(MenuHelpContents, [this] { DoHelp(); });
  on(SpeedHelp, [this] { DoHelp(); });
  on(HelpButton, [this] { DoHelp(); });
  on(MenuTips, [this] { ShowTipOfDay(); });
  on(MenuAbout, [this] { ShowAbout(); });
  on(MenuProducts, [this] { ShowProducts(); });

  // The windows of the other commands.
  on(MenuSearch, [this] { DoSearch(); });
  on(SpeedSearch, [this] { DoSearch(); });
  on(SearchButton, [this] { DoSearch(); });
  on(MenuLocate, [this] { DoLocate(); });
  on(SpeedLocate, [this] { DoLocate(); });
  on(MenuLocateNext, [this] { DoLocateNext(); });
  on(SpeedLocateNext, [this] { DoLocateNext(); });
  on(MenuImport, [this] { DoImport(); });
  on(SpeedImport, [this] { DoImport(); });
  on(MenuExport, [this] { DoExport(); });
  on(SpeedExport, [this] { DoExport(); });
  on(MenuSortOrder, [this] { DoSortOrder(); });
  on(SpeedSortOrder, [this] { DoSortOrder(); });
  on(MenuSearchReplace, [this] { DoSearchReplace(); });
  on(MenuBackup, [this] { DoBackup(); });
  on(MenuRestore, [this] { DoRestore(); });
  on(MenuReports, [this] { DoReports(); });
  on(MenuPrint, [this] { DoReports(); });
  on(SpeedReports, [this] { DoReports(); });
  on(ReportButton, [this] { DoReports(); });
  on(MenuViewer, [this] { DoViewer(); });
  on(SpeedViewer, [this] { DoViewer(); });
  on(ViewerButton, [this] { DoViewer(); });
  for (size_t i = 0; i < MenuColor.size(); ++i) on(MenuColor[i], [this, i] { DoColor(static_cast<int>(i) + 1); });
  on(SpeedColor, [this] { DoColor(6); });

  MenuShortcutsFirst(this, menuBar());
}

// A lettered button whose command cannot run stays disabled whatever the
// button-bar mode.
void TMain::SetButtonUnavailable(QPushButton* button) {
  button->setProperty("unavailable", true);
  button->setEnabled(false);
}

// ---------------------------------------------------------------- records

void TMain::DoDelete() {
  if (BrowseMode) return;
  // Nothing to delete: nothing is asked.
  if (!MyTable.Active() || MyTable.IsEmpty()) {
    DisplayCount();
    return;
  }
  if (ui::ShowMessage("Delete this record?", "Confirm", ui::Buttons::YesNo) == ui::Answer::Yes) {
    try {
      MyTable.Delete();
    } catch (const framework::Exception& e) {
      ShowError(e.Message());
    }
  }
  DisplayCount();
}

// --------------------------------------------------------------- database

void TMain::DoNew() {
  ui::FileDialogRequest request;
  request.save = true;
  request.title = "New Database File";
  request.filter = "Database Files (*.DBF)|*.DBF";
  request.defaultExt = "DBF";
  request.overwritePrompt = true;
  request.pathMustExist = true;
  if (!currentDatabase_.empty()) request.initialDir = fs::path(currentDatabase_).parent_path().string();
  const ui::FileDialogResult chosen = ui::Current().FileDialog(request);
  if (!chosen.accepted) {
    DisplayCount();
    return;
  }
  if (SearchActive) DoEndSearch();
  if (!HasDbfEnding(chosen.fileName)) {
    ShowError("Invalid file type selected.");
    DisplayCount();
    return;
  }
  const fs::path full = platform::MapPath(chosen.fileName);
  if (!PostPendingEdit()) {
    DisplayCount();
    return;
  }
  // The open database named again (its overwrite was confirmed): it is
  // closed so it can be replaced, and opened again when that fails.
  std::error_code ec;
  const bool replacingOpen = !currentDatabase_.empty() && fs::equivalent(full, currentDatabase_, ec);
  if (replacingOpen) MyTable.Close();
  if (!MakeNewDB(full)) {
    if (replacingOpen) {
      try {
        MyTable.Open();
      } catch (const framework::Exception& e) {
        ShowError(e.Message());
      }
    }
    DisplayCount();
    return;
  }
  SwitchTable(full.string(), true);
}

void TMain::DoUpdate() {
  if (!PostPendingEdit()) return;
  // A fresh read of the table; an active search stays in force.
  const bool searching = SearchActive;
  try {
    MyTable.Close();
    if (searching) EnableEndSearch();
    MyTable.Open();
    SetViewerOptions();
  } catch (const framework::Exception& e) {
    ShowError(e.Message());
  }
  DisplayCount();
}

void TMain::DoEndSearch() {
  DisableEndSearch();
  if (PostPendingEdit()) {
    try {
      // Opened again, the filter accepts every record.
      MyTable.Close();
      MyTable.Open();
      SetViewerOptions();
    } catch (const framework::Exception& e) {
      ShowError(e.Message());
    }
  }
  DisplayCount();
}

void TMain::DoPack() { DoTableWork(TableWork::Pack); }
void TMain::DoRebuild() { DoTableWork(TableWork::Rebuild); }

void TMain::DoTableWork(TableWork work) {
  if (ui::ShowMessage(std::string(TableWorkQuestion(work)), "Confirm", ui::Buttons::YesNo) != ui::Answer::Yes)
    return;
  if (!PostPendingEdit()) return;
  const bool pack = work == TableWork::Pack;
  TProgress progress(this, screen_, pack ? "Pack Database" : "Rebuild Indexes",
                     pack ? "Removing the deleted items..." : "Rebuilding the indexes...");
  TableWorkResult result;
  {
    ui::BusyCursor busy;
    // The table is closed and reopened for the work: the grid keeps showing
    // its columns until the viewer options are applied again.
    FrozenView grid(ViewerGrid);
    // Shown once the table is ours, so a refusal never flashes it; painted
    // there, as no event is handled while the engine works.
    result = RunTableWork(
        MyTable, work, currentDatabase_, [&progress](uint32_t done, uint32_t total) { progress.Step(done, total); },
        [&progress] {
          progress.Start();
          QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        });
    progress.Finish();
    if (MyTable.Active()) SetViewerOptions();
  }
  switch (result.outcome) {
    case TableWorkResult::Done: break;
    case TableWorkResult::NotExclusive: ShowError(std::string(TableWorkRefusal(work))); break;
    case TableWorkResult::Failed: ShowError(result.message); break;
  }
  DisplayCount();
}

// ---------------------------------------------------------------- options

void TMain::DoFont(FontChoice which) {
  SimpleFontSettings& font = which == FontChoice::Label  ? Settings.labelFont
                             : which == FontChoice::Edit ? Settings.editFont
                                                         : Settings.buttonFont;
  ui::FontSpec initial;
  initial.name = font.name;
  initial.bold = font.bold;
  initial.italic = font.italic;
  const ui::FontDialogResult chosen = ui::Current().FontDialog(initial);
  if (!chosen.accepted) return;
  font.name = chosen.font.name;
  font.bold = chosen.font.bold;
  font.italic = chosen.font.italic;
  ApplyConfiguredFonts(this, Settings);
}

void TMain::DoPrinterSetup() { RunPrinterSetup(this, screen_); }

// ------------------------------------------------------------------- help

void TMain::DoHelp() { ShowHelp(""); }

void TMain::ShowTipOfDay() {
  TTipOfDay tips(this, screen_);
  tips.exec();
}

void TMain::ShowAbout() {
  TAboutBox about(this, screen_);
  about.exec();
}

void TMain::ShowProducts() {
  TProducts products(this, screen_);
  products.exec();
}

// ---------------------------------------------------------------- reports

void TMain::DoReports() { ReportWindow().exec(); }

// ----------------------------------------------------- viewer and colours

void TMain::DoViewer() {
  TViewConfig window(MyTable, screen_, this);
  window.OnApplyViewerOptions = [this] { SetViewerOptions(); };
  window.exec();
}

// Group 1..5, or 6 for all windows (starting from the main group's colours).
void TMain::DoColor(int group) {
  TColorConfig window(screen_, this);
  window.Group = group;
  window.Colors = WorkingColors(Settings, group);
  window.OnMainColorsChanged = [this] { SetColors(); };
  window.exec();
}

// ------------------------------------------------------ import and export

void TMain::DoImport() {
  if (BrowseMode || !PostPendingEdit()) return;
  TImportFormat window(*this, this);
  window.Screen = screen_;
  window.exec();
  DisplayCount();
}

void TMain::DoExport() {
  if (!PostPendingEdit()) return;
  TMyExport window(*this, this);
  window.Screen = screen_;
  window.exec();
}

// ------------------------------------------ the windows that need the table

void TMain::DoSortOrder() {
  TMySortOrder window(*this, this);
  window.Screen = screen_;
  window.exec();
}

void TMain::DoSearchReplace() {
  TSearchAndReplace window(*this, this);
  window.Screen = screen_;
  window.exec();
}

void TMain::DoBackup() {
  TMyBackup window(*this, this);
  window.Screen = screen_;
  window.exec();
}

void TMain::DoRestore() {
  TMyRestore window(*this, this);
  window.Screen = screen_;
  window.exec();
  DisplayCount();
}

}  // namespace keldro
