// TMain, keldro's main window: start-up (settings, the last database or
// "MASTER.DBF", the field check, the conversion of the earlier versions,
// browse-only mode), the button bar and its three layouts, the screen scale,
// the recent-files list, the record count, and what showing and closing the
// window do.
#pragma once

#include <array>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <QFrame>
#include <QMainWindow>
#include <QSize>

#include "app_state.h"
#include "core/display_formats.h"
#include "core/inventory_table.h"
#include "core/main_window_rules.h"
#include "core/table_maintenance.h"
#include "ix_dbcombobox.h"
#include "ix_dbgrid.h"
#include "trecordnavigator.h"

class QAction;
class QActionGroup;
class QLabel;
class QMenu;
class QPushButton;
class QToolButton;

namespace keldro {

class TMyEdit;
class TMyLocateDialog;
class TMySearch;
namespace reports {
class TMyReport;
}

class TMain : public QMainWindow {
  Q_OBJECT
 public:
  struct StartOptions {
    std::vector<std::string> arguments;  // the command line, program first
    std::optional<QSize> screenSize;     // the screen's pixels; the primary screen's when not given
  };
  explicit TMain(StartOptions options);
  ~TMain() override;

  // FormCreate decided that the program ends (no database could be created,
  // or the user cancelled the choice of a valid one).
  bool Terminated() const { return terminated_; }

  // ---- components (names as the form resource has them)
  ItemDataSet MyTable;
  grid::TixDataSource MyDataSource;
  framework::TTable MyCheckTable;   // read-only: field check, in-use test, conversion source
  framework::TTable MyCreateTable;  // creation of a new database
  TRecordNavigator* MyNavigator = nullptr;
  grid::TixDBGrid* ViewerGrid = nullptr;
  // The in-grid combo boxes of the pick-list fields.
  grid::TixDBComboBox *MyComboBrand = nullptr, *MyComboLocation = nullptr, *MyComboCategory = nullptr,
                      *MyComboOwner = nullptr, *MyComboBought = nullptr;
  QLabel *ViewerLabel = nullptr, *NavigatorLabel = nullptr, *SearchOnLabel = nullptr, *CountLabel = nullptr,
         *Count2Label = nullptr;
  QFrame *ViewerBevel = nullptr, *Bevel2 = nullptr, *Bevel3 = nullptr, *Bevel4 = nullptr;
  QPushButton *AddButton = nullptr, *EditButton = nullptr, *CopyButton = nullptr, *DeleteButton = nullptr,
              *SearchButton = nullptr, *EndSearchButton = nullptr, *ReportButton = nullptr,
              *ViewerButton = nullptr, *HelpButton = nullptr, *ButtonExit = nullptr;
  QFrame* SpeedPanel = nullptr;
  // Speed buttons, by their hints.
  QToolButton *SpeedNew = nullptr, *SpeedOpen = nullptr, *SpeedAdd = nullptr, *SpeedEdit = nullptr,
              *SpeedCopy = nullptr, *SpeedDelete = nullptr, *SpeedImport = nullptr, *SpeedExport = nullptr,
              *SpeedSearch = nullptr, *SpeedEndSearch = nullptr, *SpeedLocate = nullptr,
              *SpeedLocateNext = nullptr, *SpeedReports = nullptr, *SpeedViewer = nullptr,
              *SpeedSortOrder = nullptr, *SpeedColor = nullptr, *SpeedHelp = nullptr;

  // ---- menu items
  QAction *MenuNew = nullptr, *MenuOpen = nullptr, *MenuUpdate = nullptr, *MenuBackup = nullptr,
          *MenuRestore = nullptr, *MenuPrint = nullptr, *MenuPrinterSetup = nullptr, *MenuExit = nullptr;
  QAction* MenuLastSeparator = nullptr;
  std::array<QAction*, kRecentFileCount> MenuLastFile{};
  QAction *MenuAdd = nullptr, *MenuEdit = nullptr, *MenuCopy = nullptr, *MenuDelete = nullptr,
          *MenuImport = nullptr, *MenuExport = nullptr;
  QAction *MenuSearch = nullptr, *MenuEndSearch = nullptr, *MenuLocate = nullptr, *MenuLocateNext = nullptr,
          *MenuReports = nullptr, *MenuViewer = nullptr;
  QAction* MenuSortOrder = nullptr;
  QAction *N640x480 = nullptr, *N800x600 = nullptr, *N1024x768 = nullptr, *N1280x1024 = nullptr;
  QAction *MenuSpeedButtons = nullptr, *MenuLetteredButtons = nullptr, *MenuNoButtons = nullptr;
  std::array<QAction*, 6> MenuColor{};
  QMenu* MenuListMaintenance = nullptr;
  QAction* MenuListMaintenanceItem = nullptr;  // the submenu's own item
  QAction *MenuCurrencyUS = nullptr, *MenuCurrencyWin = nullptr, *MenuNumericUS = nullptr,
          *MenuNumericWin = nullptr;
  std::array<QAction*, kDateFormatCount> MenuDate{};  // MenuDateMDYSlash ... MenuDateDMYDotYr
  QAction* MenuLeadingZeros = nullptr;
  QAction *MenuLabelFont = nullptr, *MenuEditFont = nullptr, *MenuButtonFont = nullptr;
  QAction *MenuSearchReplace = nullptr, *MenuRebuild = nullptr, *MenuPack = nullptr;
  QAction *MenuHelpContents = nullptr, *MenuTips = nullptr, *MenuAbout = nullptr, *MenuProducts = nullptr;

  // The pick lists of the in-grid combo boxes, in kPickListFiles order
  // (brand, location, bought, category, owner).
  std::array<std::vector<std::string>, 5> PickLists;

  // The record editor, created once with the window and shown by Add, Edit,
  // Copy and the grid's double-click.
  TMyEdit* MyEdit = nullptr;
  // The Search window, created once with the window, and the locate
  // component that keeps the last Locate for Find Next.
  TMySearch* MySearch = nullptr;
  TMyLocateDialog* MyLocateDialog = nullptr;

  // The report selection window, made on first use (the program makes it at
  // start); Reports, File Print and their buttons show it.
  reports::TMyReport& ReportWindow();

  // ---- the window's operations
  void SetButtonBar();
  bool OpenSaveFile(const std::string& path);
  void DoLastFiles(const std::string& previous, const std::string& current);
  void SetMenuLastFiles();
  void DisplayCount();
  // The count the start-up left to a thread of its own, waited for and
  // shown now (or counted here when none is running).
  void FinishCount();
  void EnableEndSearch();
  void DisableEndSearch();
  void SetColors();
  // Applies the viewer settings to the grid: options, fonts, colours and
  // which fields show, in which order, width and title.
  void SetViewerOptions();
  // The in-grid combo boxes in kPickListFiles order.
  std::array<grid::TixDBComboBox*, 5> PickListCombos() const;

  // The inventory table's operations.
  bool MakeNewDB(const std::filesystem::path& path);
  // The path forms find the location first; an open finds it once and
  // hands it on.
  bool CheckDBaseFormat(const std::filesystem::path& path);
  bool CheckDBaseFormat(const ItemTableLocation& location);
  bool DBaseInUse(const std::filesystem::path& path);
  bool DBaseInUse(const ItemTableLocation& location);
  void BuildSortString();
  void CheckForConversion();

  // Commands this window carries out itself.
  enum class OpenResult { Opened, Refused, Cancelled };
  OpenResult DoOpen();
  void MenuLastFileClick(size_t number);
  void SetScreenSize(int size);
  void SetButtonBarMode(int mode);
  void SetDateFormat(int code);
  void ToggleLeadingZeros();
  void SetCurrencyFormat(int code);
  void SetNumericFormat(int code);
  // Add, Edit, Copy (edit mode 1, 2, 3): the record editor, modally.
  void ShowRecordEditor(int mode);
  // What the grid runs on a double-click: Edit.
  void ViewerGridDblClick();
  // The pick-list editor for list 1..5.
  void MenuListMaintenanceClick(int list);
  // The table's record filter: the search's test while a search is active.
  bool MyTableFilter();

  // Commands of the File, Records, Navigate, Options, Tools and Help menus
  // (tmain_commands.cpp).
  void DoNew();
  void DoUpdate();
  void DoDelete();
  void DoEndSearch();  // also called by the windows that end a search
  void DoPack();
  void DoRebuild();
  enum class FontChoice { Label, Edit, Button };
  void DoFont(FontChoice which);
  void DoPrinterSetup();
  void DoHelp();
  void ShowTipOfDay();
  void ShowAbout();
  void ShowProducts();
  // The windows of the other commands; group 6 is all colour groups.
  void DoSearch();      // Search, Locate and Find Next: tmain_search.cpp
  void DoLocate();
  void DoLocateNext();
  void DoImport();
  void DoExport();
  void DoSortOrder();
  void DoSearchReplace();
  void DoBackup();
  void DoRestore();
  void DoReports();
  void DoViewer();
  void DoColor(int group);

  // What the windows that need the table to themselves (sort order, search
  // and replace, backup, restore) share with it.
  // The report selection window reads the report definitions file again
  // (after a restore of it).
  void ReloadReportList();

  // Exclusive work on the table ends here, on success and on every error:
  // MyTable closed and opened shared again in the user's order ("NewIndex"
  // active, added anew when missing, whenever the sort expression is not
  // empty), the viewer options applied and the count shown. False when even
  // natural order would not open (that error is shown).
  bool ReopenShared();
  // On MyTable, open or closed: no active index, "NewIndex" deleted, and
  // added anew from the sort expression and made active when that is not
  // empty. Database errors are thrown.
  void ReplaceSortIndex();
  // On MyTable, open or closed: no active index and no "NewIndex" (natural
  // order, so records changed in a walk never move under it).
  void DropSortIndex();
  // Closing the table drops a record left in edit: it is posted first.
  // False (the error shown) when it cannot be stored.
  bool PostPendingEdit();
  // Makes the checked file at `path` the current table; `rebuildIndex`
  // deletes and adds "NewIndex" anew (the commands), otherwise an index file
  // that exists is used as it is (start-up).
  bool SwitchTable(const std::string& path, bool rebuildIndex);
  bool SwitchTable(const ItemTableLocation& location, bool rebuildIndex);

  const std::string& SortExpression() const { return sortExpression_; }
  const std::filesystem::path& IndexPath() const { return indexPath_; }
  // The database file open in MyTable, empty when none.
  const std::string& CurrentDatabase() const { return currentDatabase_; }
  QSize ScreenSize() const { return screen_; }
  int ClientWidth() const;
  int ClientHeight() const;

 protected:
  bool event(QEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void FormCreate();
  void FormShow();
  void FormActivate();
  void FormClose();
  void FormResize();
  void CreateSearchWindows();
  void CreateComponents();
  void CreateMenus();
  void ApplyDateFormat();
  void MarkScreenSize(int size);
  bool ChooseStartDatabase();
  void SetTableLocation(const ItemTableLocation& location);
  std::optional<std::vector<std::string>> ReadFieldNames(const ItemTableLocation& location);
  void ShowError(const std::string& text);
  void RefreshTable();
  void ConnectCommands();
  void SetButtonUnavailable(QPushButton* button);
  void DoTableWork(TableWork work);
  // The start-up's count: the records are counted on a thread while the
  // window shows, and the label filled in when the count is in.
  void StartCount();
  // The count can be made at once, before the window shows.
  bool CountIsCheap() const;
  void JoinCount();
  void ShowCountFound(uint64_t request);

  StartOptions options_;
  std::unique_ptr<reports::TMyReport> reportWindow_;
  bool terminated_ = false;
  bool shown_ = false;
  bool activated_ = false;
  bool closed_ = false;
  // While the window is built, DisplayCount leaves the count for StartCount.
  bool starting_ = true;
  bool countPending_ = false;
  uint64_t countRequest_ = 0;  // moved by every count, so a late one is dropped
  std::thread counter_;
  std::mutex countLock_;       // the counter's answer, below
  uint64_t countFoundFor_ = 0;
  int countFound_ = -1;        // -1: the count failed
  bool savedFieldEditing_ = false;
  std::string sortExpression_;
  std::filesystem::path indexPath_;
  std::string currentDatabase_;
  QSize screen_;
};

}  // namespace keldro
