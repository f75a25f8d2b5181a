#include "tmain.h"

#include <algorithm>
#include <system_error>

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QToolButton>

#include "core/backup_restore.h"
#include "core/item_fields.h"
#include "core/old_databases.h"
#include "core/sort_levels.h"
#include "orbex32.h"
#include "platform/paths.h"
#include "platform/ui.h"
#include "reports/report_file.h"
#include "reports/tmyreport.h"
#include "speed_icons.h"
#include "tmyedit.h"
#include "tmysearch.h"
#include "tmyeditbox.h"
#include "ui_utilities.h"

namespace fs = std::filesystem;
namespace ui = platform::ui;
using framework::EDatabaseError;

namespace keldro {

namespace {

constexpr std::string_view kMasterFileName = "MASTER.DBF";
constexpr int kNavigatorHeight = 25;
// A shown window that has not painted by then starts its count anyway.
constexpr int kCountStartLatestMs = 200;
// A table file up to this size is counted in record order before the
// window shows: its deletion flags are read in a few milliseconds.
constexpr std::uintmax_t kDirectCountMaxBytes = 16u << 20;

QString Q(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

QToolButton* MakeToolButton(QWidget* parent, const char* name, const QString& hint) {
  auto* b = new QToolButton(parent);
  b->setObjectName(name);
  b->setToolTip(hint);
  b->setIcon(SpeedButtonIcon(name));
  b->setAutoRaise(true);
  return b;
}

}  // namespace

// --------------------------------------------------------------------- TMain

TMain::TMain(StartOptions options) : options_(std::move(options)) {
  setObjectName("Main");
  MyTable.Name = "MyTable";
  MyTable.SetTableType(framework::ttDBase);
  MyTable.SetControlType({"WARRANTY;CheckBox;Yes;No", "BRAND;Combo;MyComboBrand", "LOCATION;Combo;MyComboLocation",
                          "OWNER;Combo;MyComboOwner", "CATEGORY;Combo;MyComboCategory",
                          "BOUGHTFROM;Combo;MyComboBought"});
  MyDataSource.Name = "MyDataSource";
  MyDataSource.SetDataSet(&MyTable);
  MyCheckTable.Name = "MyCheckTable";
  MyCheckTable.SetTableType(framework::ttDBase);
  MyCheckTable.SetReadOnly(true);
  MyCreateTable.Name = "MyCreateTable";
  MyCreateTable.SetTableType(framework::ttDBase);
  CreateComponents();
  CreateMenus();
  FormCreate();
  if (!terminated_) {
    MyEdit = new TMyEdit(MyTable, PickLists, this);
    MyEdit->Screen = screen_;
    CreateSearchWindows();
  }
  starting_ = false;
  // The count is in the first paint wherever it costs little; a large
  // table in record order is counted on a thread once the window paints.
  if (countPending_ && CountIsCheap()) DisplayCount();
  // The counting cursor goes before an exclusive open can want the table.
  MyTable.BeforeClose = [this](framework::TDataSet&) { JoinCount(); };
}

TMain::~TMain() {
  JoinCount();
  MyTable.BeforeClose = nullptr;  // the table outlives the thread member it would join
  // The editor and the search hold on to the table: they go first.
  MyTable.SetOnFilter(nullptr);
  delete MySearch;
  MySearch = nullptr;
  delete MyEdit;
  MyEdit = nullptr;
  // The data source goes before the table it watches, the grid and its
  // combo boxes before the data source.
  MyDataSource.SetDataSet(nullptr);
  for (grid::TixDBComboBox* c : PickListCombos()) delete c;
  delete ViewerGrid;
}

std::array<grid::TixDBComboBox*, 5> TMain::PickListCombos() const {
  return {MyComboBrand, MyComboLocation, MyComboBought, MyComboCategory, MyComboOwner};
}

int TMain::ClientWidth() const { return width(); }
int TMain::ClientHeight() const { return height() - menuBar()->sizeHint().height(); }

void TMain::CreateComponents() {
  auto* client = new QWidget(this);
  client->setObjectName("Client");
  client->setAutoFillBackground(true);
  setCentralWidget(client);

  auto bevel = [client](const char* name) {
    auto* f = new QFrame(client);
    f->setObjectName(name);
    f->setProperty("bevel", true);
    f->setFrameShape(QFrame::Box);
    f->setFrameShadow(QFrame::Sunken);
    return f;
  };
  ViewerBevel = bevel("ViewerBevel");
  Bevel2 = bevel("Bevel2");
  Bevel3 = bevel("Bevel3");
  Bevel4 = bevel("Bevel4");
  Bevel2->setGeometry(4, 4, 388, 78);
  Bevel3->setGeometry(396, 4, 232, 78);
  Bevel4->setGeometry(400, 40, 224, 2);

  SpeedPanel = new QFrame(client);
  SpeedPanel->setObjectName("SpeedPanel");
  SpeedPanel->setFrameShape(QFrame::StyledPanel);
  SpeedPanel->setFrameShadow(QFrame::Raised);
  struct Speed {
    QToolButton** member;
    const char* name;
    const char* hint;
  } speeds[] = {
      {&SpeedNew, "SpeedNew", "New Database"},
      {&SpeedOpen, "SpeedOpen", "Open Database"},
      {&SpeedAdd, "SpeedAdd", "Add Record"},
      {&SpeedEdit, "SpeedEdit", "Edit Record"},
      {&SpeedCopy, "SpeedCopy", "Copy Record"},
      {&SpeedDelete, "SpeedDelete", "Delete Record"},
      {&SpeedImport, "SpeedImport", "Import Records"},
      {&SpeedExport, "SpeedExport", "Export Records"},
      {&SpeedSearch, "SpeedSearch", "Search Records"},
      {&SpeedEndSearch, "SpeedEndSearch", "End Search"},
      {&SpeedLocate, "SpeedLocate", "Locate Record"},
      {&SpeedLocateNext, "SpeedLocateNext", "Locate Next Record"},
      {&SpeedReports, "SpeedReports", "Reports"},
      {&SpeedViewer, "SpeedViewer", "Viewer Configuration"},
      {&SpeedSortOrder, "SpeedSortOrder", "Set Sorting Order"},
      {&SpeedColor, "SpeedColor", "Color Setup"},
      {&SpeedHelp, "SpeedHelp", "Help"},
  };
  int x = 4;
  for (const Speed& s : speeds) {
    *s.member = MakeToolButton(SpeedPanel, s.name, QString::fromUtf8(s.hint));
    (*s.member)->setGeometry(x, 4, 24, 24);
    x += 24;
  }

  struct Lettered {
    QPushButton** member;
    const char* name;
    const char* caption;
  } lettered[] = {
      {&AddButton, "AddButton", "&Add"},         {&EditButton, "EditButton", "&Edit"},
      {&CopyButton, "CopyButton", "&Copy"},      {&DeleteButton, "DeleteButton", "&Delete"},
      {&SearchButton, "SearchButton", "&Search"}, {&EndSearchButton, "EndSearchButton", "E&nd Srch"},
      {&ReportButton, "ReportButton", "&Reports"}, {&ViewerButton, "ViewerButton", "&Viewer"},
      {&HelpButton, "HelpButton", "He&lp"},      {&ButtonExit, "ButtonExit", "E&xit"},
  };
  for (size_t i = 0; i < std::size(lettered); ++i) {
    auto* b = new QPushButton(QString::fromUtf8(lettered[i].caption), client);
    b->setObjectName(lettered[i].name);
    b->setGeometry(10 + static_cast<int>(i % 5) * 76, 12 + static_cast<int>(i / 5) * 34, 72, 27);
    *lettered[i].member = b;
  }
  connect(ButtonExit, &QPushButton::clicked, this, &QWidget::close);

  auto label = [client](const char* name, const char* text) {
    auto* l = new QLabel(QString::fromUtf8(text), client);
    l->setObjectName(name);
    return l;
  };
  ViewerLabel = label("ViewerLabel", "Inventory Viewer");
  QFont big = ViewerLabel->font();
  big.setPointSize(14);
  big.setBold(true);
  ViewerLabel->setFont(big);
  ViewerLabel->setAutoFillBackground(true);
  ViewerLabel->adjustSize();
  NavigatorLabel = label("NavigatorLabel", "Navigation Controls");
  NavigatorLabel->setAutoFillBackground(true);
  NavigatorLabel->setGeometry(400, 20, 221, 20);
  NavigatorLabel->setAlignment(Qt::AlignCenter);
  SearchOnLabel = label("SearchOnLabel", "SEARCH ON");
  SearchOnLabel->setStyleSheet("color: red; font-weight: bold;");
  CountLabel = label("CountLabel", "0");
  CountLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  Count2Label = label("Count2Label", "Items");
  Count2Label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

  ViewerGrid = new grid::TixDBGrid(client);
  ViewerGrid->setObjectName("ViewerGrid");
  // As the form stores it; the viewer options choose the columns after every open.
  ViewerGrid->SetSelected({"BOUGHTFROM\t40\tBOUGHTFROM"});
  auto combo = [client](const char* name, const char* field) {
    auto* c = new grid::TixDBComboBox(client);
    c->setObjectName(name);
    c->SetDataField(field);
    c->hide();
    return c;
  };
  MyComboBrand = combo("MyComboBrand", "BRAND");
  MyComboLocation = combo("MyComboLocation", "LOCATION");
  MyComboCategory = combo("MyComboCategory", "CATEGORY");
  MyComboOwner = combo("MyComboOwner", "OWNER");
  MyComboBought = combo("MyComboBought", "BOUGHTFROM");
  ViewerGrid->SetDataSource(&MyDataSource);
  ViewerGrid->OnDblClick = [this](grid::TixCustomDBGrid&) { ViewerGridDblClick(); };
  ViewerGrid->Loaded();

  MyNavigator = new TRecordNavigator(client);
  MyNavigator->setObjectName("MyNavigator");
  MyNavigator->OnClick = [this] { DisplayCount(); };
}

void TMain::CreateMenus() {
  QMenuBar* bar = menuBar();
  auto item = [this](QMenu* menu, const char* name, const char* caption, const QKeySequence& key = {}) {
    QAction* a = menu->addAction(QString::fromUtf8(caption));
    a->setObjectName(name);
    if (!key.isEmpty()) a->setShortcut(key);
    return a;
  };
  auto radio = [&item](QMenu* menu, QActionGroup* group, const char* name, const char* caption,
                       const QKeySequence& key = {}) {
    QAction* a = item(menu, name, caption, key);
    a->setCheckable(true);
    group->addAction(a);
    return a;
  };

  QMenu* file = bar->addMenu("&File");
  MenuNew = item(file, "MenuNew", "&New Database", QKeySequence("Ctrl+W"));
  MenuOpen = item(file, "MenuOpen", "&Open Database", QKeySequence("Ctrl+O"));
  MenuUpdate = item(file, "MenuUpdate", "&Update Database", QKeySequence("Ctrl+Z"));
  file->addSeparator();
  MenuBackup = item(file, "MenuBackup", "&Back Up Data", QKeySequence("Ctrl+B"));
  MenuRestore = item(file, "MenuRestore", "&Restore Data", QKeySequence("Ctrl+Y"));
  file->addSeparator();
  MenuPrint = item(file, "MenuPrint", "&Print", QKeySequence("Ctrl+P"));
  MenuPrinterSetup = item(file, "MenuPrinterSetup", "Printer &Setup", QKeySequence("Ctrl+U"));
  file->addSeparator();
  MenuExit = item(file, "MenuExit", "E&xit", QKeySequence("Ctrl+X"));
  MenuLastSeparator = file->addSeparator();
  MenuLastSeparator->setObjectName("MenuLastSeparator");
  for (size_t i = 0; i < MenuLastFile.size(); ++i) {
    const std::string name = "MenuLastFile" + std::to_string(i + 1);
    const std::string caption = "&" + std::to_string(i + 1);
    MenuLastFile[i] = item(file, name.c_str(), caption.c_str());
    connect(MenuLastFile[i], &QAction::triggered, this, [this, i] { MenuLastFileClick(i + 1); });
  }
  connect(MenuOpen, &QAction::triggered, this, [this] { DoOpen(); });
  connect(MenuExit, &QAction::triggered, this, &QWidget::close);

  QMenu* records = bar->addMenu("&Records");
  MenuAdd = item(records, "MenuAdd", "&Add", QKeySequence("Ctrl+A"));
  MenuEdit = item(records, "MenuEdit", "&Edit", QKeySequence("Ctrl+E"));
  MenuCopy = item(records, "MenuCopy", "&Copy", QKeySequence("Ctrl+C"));
  MenuDelete = item(records, "MenuDelete", "&Delete", QKeySequence("Ctrl+D"));
  records->addSeparator();
  MenuImport = item(records, "MenuImport", "&Import", QKeySequence("Ctrl+M"));
  MenuExport = item(records, "MenuExport", "E&xport", QKeySequence("Ctrl+T"));

  QMenu* navigate = bar->addMenu("&Navigate");
  MenuSearch = item(navigate, "MenuSearch", "&Search (Query)", QKeySequence("Ctrl+S"));
  MenuEndSearch = item(navigate, "MenuEndSearch", "&End Search", QKeySequence("Ctrl+I"));
  MenuLocate = item(navigate, "MenuLocate", "&Locate", QKeySequence("Ctrl+L"));
  MenuLocateNext = item(navigate, "MenuLocateNext", "Locate &Next", QKeySequence("Ctrl+N"));
  navigate->addSeparator();
  MenuReports = item(navigate, "MenuReports", "&Reports", QKeySequence("Ctrl+R"));
  MenuViewer = item(navigate, "MenuViewer", "&Viewer", QKeySequence("Ctrl+V"));

  QMenu* options = bar->addMenu("&Options");
  MenuSortOrder = item(options, "MenuSortOrder", "Sort &Order", QKeySequence("Ctrl+Q"));
  QMenu* size = options->addMenu("Screen Si&ze");
  auto* sizes = new QActionGroup(this);
  N640x480 = radio(size, sizes, "N640x480", "640 x 480", QKeySequence("Shift+F1"));
  N800x600 = radio(size, sizes, "N800x600", "800 x 600", QKeySequence("Shift+F2"));
  N1024x768 = radio(size, sizes, "N1024x768", "1024 x 768", QKeySequence("Shift+F3"));
  N1280x1024 = radio(size, sizes, "N1280x1024", "1280 x 1024", QKeySequence("Shift+F4"));
  connect(N640x480, &QAction::triggered, this, [this] { SetScreenSize(640); });
  connect(N800x600, &QAction::triggered, this, [this] { SetScreenSize(800); });
  connect(N1024x768, &QAction::triggered, this, [this] { SetScreenSize(1024); });
  connect(N1280x1024, &QAction::triggered, this, [this] { SetScreenSize(1280); });
  QMenu* access = options->addMenu("&Screen Access");
  auto* modes = new QActionGroup(this);
  MenuSpeedButtons = radio(access, modes, "MenuSpeedButtons", "&Speed Buttons", QKeySequence("Ctrl+F1"));
  MenuLetteredButtons = radio(access, modes, "MenuLetteredButtons", "&Lettered Buttons", QKeySequence("Ctrl+F2"));
  MenuNoButtons = radio(access, modes, "MenuNoButtons", "&None", QKeySequence("Ctrl+F3"));
  connect(MenuSpeedButtons, &QAction::triggered, this, [this] { SetButtonBarMode(1); });
  connect(MenuLetteredButtons, &QAction::triggered, this, [this] { SetButtonBarMode(2); });
  connect(MenuNoButtons, &QAction::triggered, this, [this] { SetButtonBarMode(3); });
  QMenu* color = options->addMenu("&Color");
  static constexpr std::array<const char*, 6> kColorItems{"&Main Window Color",   "&Edit Window Color",
                                                          "&Search Window Color", "&Report Window Color",
                                                          "&Configure Window Color", "&ALL Windows Color"};
  for (size_t i = 0; i < MenuColor.size(); ++i) {
    const std::string name = "MenuColor" + std::to_string(i + 1);
    MenuColor[i] = item(color, name.c_str(), kColorItems[i], QKeySequence(QString("Ctrl+F%1").arg(i + 4)));
  }
  MenuListMaintenance = options->addMenu("List &Maintenance");
  MenuListMaintenance->setObjectName("MenuListMaintenance");
  MenuListMaintenanceItem = MenuListMaintenance->menuAction();
  for (int list = 1; list <= 5; ++list) {
    const std::string_view name = kPickListNames[static_cast<size_t>(list - 1)];
    QAction* a = MenuListMaintenance->addAction(Q(name));
    a->setObjectName(Q("MenuList" + std::to_string(list)));
    connect(a, &QAction::triggered, this, [this, list] { MenuListMaintenanceClick(list); });
  }
  QMenu* currency = options->addMenu("C&urrency Format");
  auto* currencies = new QActionGroup(this);
  MenuCurrencyUS = radio(currency, currencies, "MenuCurrencyUS", "&U.S. Dollars");
  MenuCurrencyWin = radio(currency, currencies, "MenuCurrencyWin", "&Windows Setting");
  connect(MenuCurrencyUS, &QAction::triggered, this, [this] { SetCurrencyFormat(1); });
  connect(MenuCurrencyWin, &QAction::triggered, this, [this] { SetCurrencyFormat(2); });
  QMenu* numeric = options->addMenu("&Numeric Format");
  auto* numerics = new QActionGroup(this);
  MenuNumericUS = radio(numeric, numerics, "MenuNumericUS", "&U.S. Format");
  MenuNumericWin = radio(numeric, numerics, "MenuNumericWin", "&Windows Setting");
  connect(MenuNumericUS, &QAction::triggered, this, [this] { SetNumericFormat(1); });
  connect(MenuNumericWin, &QAction::triggered, this, [this] { SetNumericFormat(2); });
  QMenu* date = options->addMenu("&Date Format");
  auto* dates = new QActionGroup(this);
  static constexpr std::array<const char*, kDateFormatCount> kDateNames{
      "MenuDateMDYSlash",   "MenuDateMDYDash",   "MenuDateMDYDot",   "MenuDateDMYSlash",
      "MenuDateDMYDash",    "MenuDateDMYDot",    "MenuDateMDYSlashYr", "MenuDateMDYDashYr",
      "MenuDateMDYDotYr",   "MenuDateDMYSlashYr", "MenuDateDMYDashYr", "MenuDateDMYDotYr"};
  static constexpr std::array<const char*, kDateFormatCount> kDateCaptions{
      "mm/dd/yy", "mm-dd-yy", "mm.dd.yy", "dd/mm/yy", "dd-mm-yy", "dd.mm.yy",
      "mm/dd/yyyy", "mm-dd-yyyy", "mm.dd.yyyy", "dd/mm/yyyy", "dd-mm-yyyy", "dd.mm.yyyy"};
  for (size_t i = 0; i < MenuDate.size(); ++i) {
    MenuDate[i] = radio(date, dates, kDateNames[i], kDateCaptions[i]);
    connect(MenuDate[i], &QAction::triggered, this, [this, i] { SetDateFormat(static_cast<int>(i) + 1); });
  }
  date->addSeparator();
  MenuLeadingZeros = item(date, "MenuLeadingZeros", "&Leading Zeros");
  MenuLeadingZeros->setCheckable(true);
  connect(MenuLeadingZeros, &QAction::triggered, this, [this] { ToggleLeadingZeros(); });
  options->addSeparator();
  MenuLabelFont = item(options, "MenuLabelFont", "&Label Font", QKeySequence("Shift+F8"));
  MenuEditFont = item(options, "MenuEditFont", "&Edit Font", QKeySequence("Shift+F9"));
  MenuButtonFont = item(options, "MenuButtonFont", "&Button Font", QKeySequence("Shift+F10"));

  QMenu* tools = bar->addMenu("&Tools");
  MenuSearchReplace = item(tools, "MenuSearchReplace", "&Search and Replace", QKeySequence("Ctrl+F"));
  MenuRebuild = item(tools, "MenuRebuild", "&Rebuild Indexes");
  MenuPack = item(tools, "MenuPack", "&Pack Database");

  QMenu* help = bar->addMenu("&Help");
  MenuHelpContents = item(help, "MenuHelpContents", "&Contents", QKeySequence("Ctrl+H"));
  MenuTips = item(help, "MenuTips", "&Review \"Tips of the Day\"");
  MenuAbout = item(help, "MenuAbout", "&About");
  MenuProducts = item(help, "MenuProducts", "Other &Products");

  // The speed buttons and lettered buttons this window runs itself.
  connect(SpeedOpen, &QToolButton::clicked, this, [this] { DoOpen(); });
  for (int mode = 1; mode <= 3; ++mode) {
    QAction* menu = mode == 1 ? MenuAdd : mode == 2 ? MenuEdit : MenuCopy;
    QToolButton* speed = mode == 1 ? SpeedAdd : mode == 2 ? SpeedEdit : SpeedCopy;
    QPushButton* lettered = mode == 1 ? AddButton : mode == 2 ? EditButton : CopyButton;
    connect(menu, &QAction::triggered, this, [this, mode] { ShowRecordEditor(mode); });
    connect(speed, &QToolButton::clicked, this, [this, mode] { ShowRecordEditor(mode); });
    connect(lettered, &QPushButton::clicked, this, [this, mode] { ShowRecordEditor(mode); });
  }
  ConnectCommands();
}

// ------------------------------------------------------------------- events

void TMain::FormCreate() {
  // 1-2
  ReportDefinitionBuffer = std::make_unique<reports::ReportDefinition>();
  DisableEndSearch();
  setWindowTitle("Stashwell Inventory 95");
  ViewerLabel->setText("Inventory Viewer");
  ViewerLabel->adjustSize();
  // 3-4
  ProgramDir = platform::ProgramDir();
  std::error_code ec;
  StartDir = fs::current_path(ec);
  // 7: the report definitions file
  const reports::EnsureResult ensured = reports::EnsureReportFile(ProgramDir);
  if (!ensured.status.ok() && !ensured.status.message.empty()) ShowError(ensured.status.message);
  // 8-11
  Settings = LoadSettings(StartDir.string());
  // What a killed export, restore or save left beside its target goes
  // before any of those files is opened.
  RemoveInterruptedWrites({ProgramDir, fs::path(Settings.lastDatabase).parent_path(),
                           fs::path(Settings.lastExportFile).parent_path()});
  move(Settings.mainLeft, Settings.mainTop);
  resize(Settings.mainWidth, Settings.mainHeight);
  BuildSortString();
  ApplyDateFormat();
  (Settings.currencyFormat == 2 ? MenuCurrencyWin : MenuCurrencyUS)->setChecked(true);
  (Settings.numericFormat == 2 ? MenuNumericWin : MenuNumericUS)->setChecked(true);
  // 12-14
  if (!ChooseStartDatabase()) {
    terminated_ = true;
    return;
  }
  // 15-18
  SetButtonBar();
  if (options_.screenSize) {
    screen_ = *options_.screenSize;
  } else if (QScreen* s = QGuiApplication::primaryScreen()) {
    screen_ = s->size();
  }
  const ScreenScale scale = ChooseScreenScale(Settings.windowSize, screen_.width(), screen_.height());
  ScaleFactor = scale.scaleFactor;
  MarkScreenSize(scale.markedSize);
  Intl = LoadIntlSettings();
  SetMenuLastFiles();
  // 19
  CheckForConversion();
  // 21: browse-only mode
  BrowseMode = IsBrowseModeArgument(options_.arguments);
  if (BrowseMode) {
    for (QAction* a : {MenuAdd, MenuCopy, MenuDelete, MenuImport, MenuBackup, MenuRestore, MenuViewer,
                       MenuListMaintenanceItem, MenuSearchReplace})
      a->setEnabled(false);
    for (QToolButton* b : {SpeedAdd, SpeedCopy, SpeedImport, SpeedDelete, SpeedViewer}) b->setEnabled(false);
    // The lettered Delete button would delete records like its menu item;
    // the viewer could turn field editing on.
    SetButtonUnavailable(DeleteButton);
    SetButtonUnavailable(ViewerButton);
    MyNavigator->SetVisibleButtons({true, true, true, true, false, false, false, false, false, false});
    savedFieldEditing_ = Settings.fieldEditing;
    Settings.fieldEditing = false;
    // Browse-only: the grid's own keys (Insert, Ctrl+Delete) change nothing either.
    ViewerGrid->SetReadOnly(true);
  }
  DisplayCount();
}

void TMain::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (!shown_) {
    shown_ = true;
    FormShow();
  }
}

bool TMain::event(QEvent* event) {
  if (event->type() == QEvent::WindowActivate) FormActivate();
  return QMainWindow::event(event);
}

reports::TMyReport& TMain::ReportWindow() {
  if (!reportWindow_) {
    // A run over the whole table lifts the search and puts it back after.
    reports::TMyReport::SearchHooks hooks;
    hooks.endSearch = [this] {
      DisableEndSearch();
      RefreshTable();
      DisplayCount();
    };
    hooks.resumeSearch = [this] {
      EnableEndSearch();
      RefreshTable();
      DisplayCount();
    };
    reportWindow_ = std::make_unique<reports::TMyReport>(this, MyTable, std::move(hooks), screen_);
  }
  return *reportWindow_;
}

void TMain::FormActivate() {
  MyNavigator->SetDataSource(&MyDataSource);
  // Only the first activation: every dialog that closes activates the
  // window again.
  if (activated_) return;
  activated_ = true;
  if (Settings.showTips) QMetaObject::invokeMethod(this, [this] { ShowTipOfDay(); }, Qt::QueuedConnection);
}

void TMain::FormShow() {
  // Bound here too: an offscreen window is never activated.
  MyNavigator->SetDataSource(&MyDataSource);
  ApplyConfiguredFonts(this, Settings);
  SetViewerOptions();
  SetColors();
  const std::array<grid::TixDBComboBox*, 5> combos = PickListCombos();
  for (size_t i = 0; i < kPickListFiles.size(); ++i) {
    PickLists[i] = LoadPickList(platform::FindFileNoCase(ProgramDir, kPickListFiles[i]));
    combos[i]->clear();
    for (const std::string& entry : PickLists[i]) combos[i]->addItem(grid::AnsiToQString(entry));
  }
  // The count of a large table takes a read of every record: it is made
  // on a thread of its own once the window has painted (paintEvent), or a
  // moment after it shows should it not paint.
  if (countPending_)
    QTimer::singleShot(kCountStartLatestMs, this, [this] { StartCount(); });
  else
    DisplayCount();
  ViewerGrid->setFocus();
}

void TMain::closeEvent(QCloseEvent* event) {
  if (!closed_ && !terminated_) FormClose();
  closed_ = true;
  event->accept();
}

void TMain::FormClose() {
  // A record left in edit is posted (or an untouched one cancelled) before
  // the table goes with the window.
  try {
    if (MyTable.Active()) MyTable.CheckBrowseMode();
  } catch (const framework::Exception& e) {
    ShowError(e.Message());
    try {
      MyTable.Cancel();
    } catch (const framework::Exception&) {
    }
  }
  SearchActive = false;
  Settings.mainLeft = x();
  Settings.mainTop = y();
  Settings.mainWidth = width();
  Settings.mainHeight = height();
  if (BrowseMode) Settings.fieldEditing = savedFieldEditing_;
  SaveSettings(Settings);  // a file that cannot be written loses the changes, as profile writes do
  ReportDefinitionBuffer.reset();
}

void TMain::resizeEvent(QResizeEvent* event) {
  QMainWindow::resizeEvent(event);
  FormResize();
}

void TMain::FormResize() {
  const int cw = ClientWidth();
  const int ch = ClientHeight();
  switch (Settings.buttonBar) {
    case 2:
      ViewerBevel->setGeometry(3, 86, cw - 6, ch - 89);
      ViewerLabel->move(ViewerLabel->x(), 90);
      ViewerGrid->setGeometry(7, 122, cw - 14, ch - 129);
      break;
    case 3:
      ViewerBevel->setGeometry(3, 4, cw - 6, ch - 7);
      ViewerLabel->move(ViewerLabel->x(), 8);
      ViewerGrid->setGeometry(7, 40, cw - 14, ch - 47);
      MyNavigator->setGeometry(cw - 207, 8, 201, kNavigatorHeight);
      break;
    default:
      ViewerBevel->setGeometry(3, 34, cw - 6, ch - 37);
      ViewerLabel->move(ViewerLabel->x(), 38);
      ViewerGrid->setGeometry(7, 70, cw - 14, ch - 77);
      break;
  }
  SpeedPanel->setGeometry(0, 0, cw, 32);
  if (Settings.buttonBar != 3) {
    CountLabel->move(cw - 80, CountLabel->y());
    Count2Label->move(cw - 80, Count2Label->y());
  }
  ViewerLabel->move((cw - ViewerLabel->width()) / 2, ViewerLabel->y());
}

// ------------------------------------------------------------------- layout

void TMain::SetButtonBar() {
  const int mode = (Settings.buttonBar >= 1 && Settings.buttonBar <= 3) ? Settings.buttonBar : 1;
  const int cw = ClientWidth();
  const int ch = ClientHeight();
  (mode == 1 ? MenuSpeedButtons : mode == 2 ? MenuLetteredButtons : MenuNoButtons)->setChecked(true);
  for (QPushButton* b : {AddButton, EditButton, CopyButton, DeleteButton, SearchButton, EndSearchButton,
                         ReportButton, ViewerButton, HelpButton, ButtonExit}) {
    b->setEnabled(mode == 2 && !b->property("unavailable").toBool());
    b->setVisible(mode == 2);
  }
  // In lettered mode the End Search button follows the search state again.
  if (mode == 2) EndSearchButton->setEnabled(true);
  for (QFrame* f : {Bevel2, Bevel3, Bevel4}) f->setVisible(mode == 2);
  SpeedPanel->setVisible(mode == 1);
  SpeedPanel->setEnabled(mode == 1);
  NavigatorLabel->setVisible(mode == 2);
  struct Row {
    int navLeft, navTop, navWidth, searchTop, countTop, count2Top;
  };
  const Row row = mode == 1   ? Row{424, 3, 241, 44, 38, 52}
                  : mode == 2 ? Row{400, 47, 221, 96, 90, 105}
                              : Row{cw - 207, 8, 201, 14, 8, 23};
  // A window narrower than the design would cut the navigator's last buttons off.
  const int navWidth = std::max(std::min(row.navWidth, cw - row.navLeft - 4), 120);
  MyNavigator->setGeometry(row.navLeft, row.navTop, navWidth, kNavigatorHeight);
  // The count stands at the right, or at the left when the navigator is there.
  const int countLeft = mode == 3 ? 12 : cw - 80;
  SearchOnLabel->setGeometry(mode == 3 ? 84 : 12, row.searchTop, 90, 16);
  CountLabel->setGeometry(countLeft, row.countTop, 64, 16);
  Count2Label->setGeometry(countLeft, row.count2Top, 64, 16);
  CountLabel->setAlignment((mode == 3 ? Qt::AlignLeft : Qt::AlignRight) | Qt::AlignVCenter);
  Count2Label->setAlignment((mode == 3 ? Qt::AlignLeft : Qt::AlignRight) | Qt::AlignVCenter);
  const int bevelTop = mode == 1 ? 34 : mode == 2 ? 86 : 4;
  ViewerBevel->setGeometry(3, bevelTop, cw - 6, ch - bevelTop - 3);
  ViewerLabel->move((cw - ViewerLabel->width()) / 2, bevelTop + 4);
  ViewerGrid->setGeometry(7, bevelTop + 36, cw - 14, ch - bevelTop - 43);
  SpeedPanel->setGeometry(0, 0, cw, 32);
  // Widgets created after the bevels sit above them.
  MyNavigator->raise();
}

void TMain::SetColors() {
  const ColorScheme& main = Settings.colors[0];
  const QColor background = WindowsColor(main.colors[0]);
  QPalette p = centralWidget()->palette();
  p.setColor(QPalette::Window, background);
  centralWidget()->setPalette(p);
  QPalette title = ViewerLabel->palette();
  title.setColor(QPalette::Window, background);
  title.setColor(QPalette::WindowText, WindowsColor(main.colors[1]));
  ViewerLabel->setPalette(title);
  QPalette minor = NavigatorLabel->palette();
  minor.setColor(QPalette::Window, background);
  minor.setColor(QPalette::WindowText, WindowsColor(main.colors[2]));
  NavigatorLabel->setPalette(minor);
}

void TMain::SetViewerOptions() {
  using namespace grid;
  TixDBGridOptions options = dgTabs | dgAlwaysShowSelection | dgConfirmDelete;
  if (Settings.rowIndicator) options |= dgIndicator;
  if (Settings.rowLines) options |= dgRowLines;
  if (Settings.columnLines) options |= dgColLines;
  if (Settings.showTitles) options |= dgTitles;
  options |= Settings.fieldEditing ? dgEditing : dgRowSelect;
  ViewerGrid->SetOptions(options);

  const QFont gridFont = GridFont(Settings.gridFont);
  ViewerGrid->setFont(gridFont);
  ViewerGrid->FontColor = WindowsColor(Settings.gridFont.color);
  for (TixDBComboBox* c : PickListCombos()) c->setFont(gridFont);
  ViewerGrid->SetColor(WindowsColor(Settings.cellColor));
  ViewerGrid->SetTitleColor(WindowsColor(Settings.titleColor));
  ViewerGrid->SetTitleAlignment(Settings.titleAlignment == 2   ? framework::taCenter
                                : Settings.titleAlignment == 3 ? framework::taRightJustify
                                                               : framework::taLeftJustify);
  ViewerGrid->TitleFontColor = WindowsColor(Settings.gridTitleFont.color);
  ViewerGrid->SetTitleFont(GridFont(Settings.gridTitleFont));

  if (MyTable.Active()) {
    MyTable.DisableControls();
    int placed = 0;
    for (int position = 1; position <= kItemFieldCount; ++position) {
      size_t chosen = 0;  // field 1 when no field has this position
      for (size_t i = 0; i < Settings.fields.size(); ++i) {
        if (Settings.fields[i].order == position) {
          chosen = i;
          break;
        }
      }
      framework::TField* field = MyTable.FieldByNumber(static_cast<int>(chosen) + 1);
      if (!field) continue;
      const FieldSettings& f = Settings.fields[chosen];
      if (!f.display) {
        field->SetVisible(false);
        continue;
      }
      field->SetVisible(true);
      field->SetDisplayLabel(f.title);
      field->SetIndex(placed++);
      field->SetDisplayWidth(f.width);
    }
    MyTable.EnableControls();
  }
  ViewerGrid->SetCtl3D(true);
  ViewerGrid->update();
}

void TMain::MarkScreenSize(int size) {
  QAction* item = size == 800 ? N800x600 : size == 1024 ? N1024x768 : size == 1280 ? N1280x1024 : N640x480;
  item->setChecked(true);
}

void TMain::ApplyDateFormat() {
  const int code = (Settings.dateFormat >= 1 && Settings.dateFormat <= kDateFormatCount) ? Settings.dateFormat : 1;
  const DateFormat f = DateFormatFor(code, Settings.dateLeadingZeros);
  framework::DateSeparator = f.separator;
  framework::ShortDateFormat = f.shortFormat;
  MenuDate[static_cast<size_t>(code - 1)]->setChecked(true);
  MenuLeadingZeros->setChecked(Settings.dateLeadingZeros);
}

// ------------------------------------------------------------ record count

void TMain::DisplayCount() {
  if (starting_) {
    countPending_ = true;
    CountLabel->clear();  // no count rather than a wrong one until it is in
    return;
  }
  ++countRequest_;
  countPending_ = false;
  int count = 0;
  if (MyTable.Active()) {
    try {
      // With no search in force the record filter passes every record: the
      // engine counts without handing each one to it.
      count = SearchActive ? MyTable.RecordCount() : MyTable.UnfilteredRecordCount();
    } catch (const EDatabaseError&) {
      count = 0;
    }
  }
  CountLabel->setText(QString::number(count));
}

bool TMain::CountIsCheap() const {
  // A search counts by walking the records it passes. Without one, an
  // index order's count reads no record (the engine knows the deleted
  // records from the index's stamp, or counts them once for an index
  // without them); in record order a table without an index reads every
  // record's deletion flag: there only a small table is counted before
  // the first paint.
  if (SearchActive) return false;
  if (!MyTable.Active() || !MyTable.IndexName().empty()) return true;
  std::error_code ec;
  const std::uintmax_t bytes = fs::file_size(currentDatabase_, ec);
  return !ec && bytes <= kDirectCountMaxBytes;
}

void TMain::paintEvent(QPaintEvent* event) {
  QMainWindow::paintEvent(event);
  if (countPending_ && !counter_.joinable())
    QMetaObject::invokeMethod(this, [this] { StartCount(); }, Qt::QueuedConnection);
}

void TMain::StartCount() {
  if (!countPending_ || counter_.joinable()) return;  // counted meanwhile, or counting
  if (SearchActive || !MyTable.Active()) {
    DisplayCount();
    return;
  }
  const uint64_t request = ++countRequest_;
  const std::string directory = MyTable.DatabaseName(), table = MyTable.TableName();
  counter_ = std::thread([this, request, directory, table] {
    int count = -1;
    try {
      count = framework::CountTableRecords(directory, table);
    } catch (const framework::Exception&) {
    }
    {
      std::lock_guard<std::mutex> lock(countLock_);
      countFoundFor_ = request;
      countFound_ = count;
    }
    QMetaObject::invokeMethod(this, [this, request] { ShowCountFound(request); }, Qt::QueuedConnection);
  });
}

void TMain::JoinCount() {
  if (counter_.joinable()) counter_.join();
}

void TMain::ShowCountFound(uint64_t request) {
  JoinCount();  // it has answered: this is its last act
  if (request != countRequest_ || !countPending_) return;  // a later count stands
  int count = -1;
  {
    std::lock_guard<std::mutex> lock(countLock_);
    if (countFoundFor_ != request) return;
    count = countFound_;
  }
  if (count < 0) {
    DisplayCount();  // the thread could not count: counted here
    return;
  }
  countPending_ = false;
  CountLabel->setText(QString::number(count));
}

void TMain::FinishCount() {
  JoinCount();
  if (countPending_ && countFoundFor_ != 0 && countFoundFor_ == countRequest_) ShowCountFound(countRequest_);
  if (countPending_) DisplayCount();  // no thread has counted
}

void TMain::EnableEndSearch() {
  EndSearchButton->setEnabled(true);
  MenuEndSearch->setEnabled(true);
  SpeedEndSearch->setEnabled(true);
  SearchActive = true;
  SearchOnLabel->setVisible(true);
}

void TMain::DisableEndSearch() {
  EndSearchButton->setEnabled(false);
  MenuEndSearch->setEnabled(false);
  SpeedEndSearch->setEnabled(false);
  SearchActive = false;
  SearchOnLabel->setVisible(false);
}

// ------------------------------------------------------------ recent files

void TMain::DoLastFiles(const std::string& previous, const std::string& current) {
  keldro::DoLastFiles(Settings.lastFiles, previous, current);
}

void TMain::SetMenuLastFiles() {
  MenuLastSeparator->setVisible(AnyRecentFile(Settings.lastFiles));
  for (size_t i = 0; i < MenuLastFile.size(); ++i) {
    const std::string& path = Settings.lastFiles[i];
    MenuLastFile[i]->setVisible(!path.empty());
    MenuLastFile[i]->setText(Q(RecentFileCaption(i + 1, path)));
  }
}

void TMain::MenuLastFileClick(size_t number) {
  if (number < 1 || number > Settings.lastFiles.size()) return;
  const std::string path = Settings.lastFiles[number - 1];
  if (!path.empty()) OpenSaveFile(path);
}

// ---------------------------------------------------------------- opening

bool TMain::ChooseStartDatabase() {
  std::error_code ec;
  std::string path = Settings.lastDatabase;
  if (path.empty() || !fs::is_regular_file(platform::MapPath(path), ec)) {
    const fs::path master = platform::FindFileNoCase(ProgramDir, kMasterFileName);
    if (!fs::exists(master, ec) && !MakeNewDB(master)) return false;
    path = master.string();
  } else {
    path = platform::MapPath(path).string();
  }
  const ItemTableLocation location = LocateItemTable(path);
  const bool valid = CheckDBaseFormat(location);
  if (valid && SwitchTable(location, false)) return true;
  if (!valid) ui::ShowMessage(std::string(kLastDatabaseInvalidMessage), "Error");
  // Until a valid database is open; Cancel ends the program.
  for (;;) {
    switch (DoOpen()) {
      case OpenResult::Opened: return true;
      case OpenResult::Cancelled: return false;
      case OpenResult::Refused: break;
    }
  }
}

TMain::OpenResult TMain::DoOpen() {
  ui::FileDialogRequest request;
  request.title = "Open Database File";
  request.filter = "Database Files (*.DBF)|*.DBF";
  request.defaultExt = "DBF";
  request.fileMustExist = true;
  if (!currentDatabase_.empty()) request.initialDir = fs::path(currentDatabase_).parent_path().string();
  const ui::FileDialogResult chosen = ui::Current().FileDialog(request);
  OpenResult result = OpenResult::Cancelled;
  if (chosen.accepted) {
    if (!HasDbfEnding(chosen.fileName)) {
      ui::ShowMessage("Invalid file type selected.", "Error");
      result = OpenResult::Refused;
    } else {
      result = OpenSaveFile(chosen.fileName) ? OpenResult::Opened : OpenResult::Refused;
    }
  }
  DisplayCount();
  return result;
}

bool TMain::OpenSaveFile(const std::string& path) {
  const ItemTableLocation location = LocateItemTable(platform::MapPath(path).string());
  if (!CheckDBaseFormat(location) || !PostPendingEdit()) {
    DisplayCount();
    return false;
  }
  if (SearchActive) DisableEndSearch();  // the table is closed and opened again below
  return SwitchTable(location, true);
}

// Closing the table drops a record left in edit, so it is posted first; one
// that cannot be stored stays in edit, with its error shown, and the current
// table stays open.
bool TMain::PostPendingEdit() {
  if (!MyTable.Active() || (MyTable.State() != framework::dsEdit && MyTable.State() != framework::dsInsert))
    return true;
  try {
    MyTable.CheckBrowseMode();
    return true;
  } catch (const framework::Exception& e) {
    ShowError(e.Message());
    return false;
  }
}

void TMain::SetTableLocation(const ItemTableLocation& location) {
  MyTable.SetDatabaseName(location.directory.string());
  MyTable.SetTableName(location.tableName);
  setWindowTitle(Q(MainCaption(location.tableName)));
  indexPath_ = location.indexPath;
}

bool TMain::SwitchTable(const std::string& path, bool rebuildIndex) {
  return SwitchTable(LocateItemTable(path), rebuildIndex);
}

bool TMain::SwitchTable(const ItemTableLocation& location, bool rebuildIndex) {
  const std::string path = location.dbfPath.string();
  const std::string previous = currentDatabase_;
  const std::string previousDir = MyTable.DatabaseName();
  const std::string previousName = MyTable.TableName();
  const std::string previousIndex = MyTable.IndexName();
  const std::filesystem::path previousIndexPath = indexPath_;
  std::string failure;
  try {
    MyTable.Close();
    MyTable.SetIndexName("");
    SetTableLocation(location);
    std::error_code ec;
    const bool indexFile = fs::exists(location.indexPath, ec);
    const std::string newIndex(kNewIndexName);
    if (rebuildIndex) {
      if (!DBaseInUse(location)) {
        if (indexFile) {
          try {
            MyTable.DeleteIndex(newIndex);
          } catch (const EDatabaseError& e) {
            if (e.ErrorCode() != ORB_ERR_NO_SUCH_INDEX) throw;  // no tag: nothing to delete
          }
        }
        if (!sortExpression_.empty()) {
          MyTable.AddIndex(newIndex, sortExpression_, framework::ixExpression);
          MyTable.SetIndexName(newIndex);
        }
      } else if (indexFile && !sortExpression_.empty()) {
        MyTable.SetIndexName(newIndex);  // someone else has it: use the order it has
      }
    } else if (!sortExpression_.empty()) {
      if (!indexFile) MyTable.AddIndex(newIndex, sortExpression_, framework::ixExpression);
      MyTable.SetIndexName(newIndex);
    }
    MyTable.SetExclusive(false);
    try {
      MyTable.Open();
    } catch (const EDatabaseError& e) {
      // An index file without the tag (written by another tool): add it.
      if (e.ErrorCode() != ORB_ERR_NO_SUCH_INDEX || MyTable.IndexName().empty()) throw;
      MyTable.SetIndexName("");
      MyTable.AddIndex(newIndex, sortExpression_, framework::ixExpression);
      MyTable.SetIndexName(newIndex);
      MyTable.Open();
    }
  } catch (const framework::Exception& e) {
    failure = e.Message();
  }
  bool opened = failure.empty();
  if (!opened) {
    // Never leave the window without a table: the new one in natural
    // order, else the one that was open before.
    try {
      MyTable.Close();
      MyTable.SetIndexName("");
      MyTable.Open();
      opened = true;
    } catch (const framework::Exception&) {
    }
    if (!opened && !previousName.empty()) {
      try {
        MyTable.Close();
        MyTable.SetIndexName("");
        MyTable.SetDatabaseName(previousDir);
        MyTable.SetTableName(previousName);
        MyTable.SetIndexName(previousIndex);
        indexPath_ = previousIndexPath;
        setWindowTitle(Q(MainCaption(previousName)));
        MyTable.Open();
      } catch (const framework::Exception&) {
      }
    }
    if (!opened && !MyTable.Active()) setWindowTitle("Stashwell Inventory 95");
    ShowError(failure);
  }
  // The grid applies its stored column list whenever the table opens; the
  // viewer settings decide what shows.
  if (MyTable.Active()) SetViewerOptions();
  if (opened) {
    currentDatabase_ = path;
    Settings.lastDatabase = path;
    DoLastFiles(previous, path);
    SetMenuLastFiles();
  }
  DisplayCount();
  return opened;
}

// --------------------------------------------------------- inventory table

void TMain::ShowError(const std::string& text) { ui::ShowMessage(text, "Error"); }

std::optional<std::vector<std::string>> TMain::ReadFieldNames(const ItemTableLocation& location) {
  MyCheckTable.Close();
  MyCheckTable.SetDatabaseName(location.directory.string());
  MyCheckTable.SetTableName(location.tableName);
  MyCheckTable.SetExclusive(false);
  MyCheckTable.Open();
  std::vector<std::string> names;
  MyCheckTable.GetFieldNames(names);
  MyCheckTable.Close();
  return names;
}

bool TMain::CheckDBaseFormat(const fs::path& path) { return CheckDBaseFormat(LocateItemTable(path)); }

bool TMain::CheckDBaseFormat(const ItemTableLocation& location) {
  try {
    return keldro::CheckDBaseFormat(location, [this](const ItemTableLocation& l) { return ReadFieldNames(l); });
  } catch (const framework::Exception& e) {
    MyCheckTable.Close();
    ShowError(e.Message());
    return false;
  }
}

bool TMain::DBaseInUse(const fs::path& path) { return DBaseInUse(LocateItemTable(path)); }

bool TMain::DBaseInUse(const ItemTableLocation& location) {
  MyCheckTable.Close();
  MyCheckTable.SetDatabaseName(location.directory.string());
  MyCheckTable.SetTableName(location.tableName);
  // A read-only open shares the file whatever it asks for: the test opens
  // for writing, so that another program's open refuses it.
  MyCheckTable.SetReadOnly(false);
  MyCheckTable.SetExclusive(true);
  bool inUse = false;
  try {
    MyCheckTable.Open();
    MyCheckTable.Close();
  } catch (const EDatabaseError&) {
    inUse = true;
  }
  MyCheckTable.SetExclusive(false);
  MyCheckTable.SetReadOnly(true);
  return inUse;
}

bool TMain::MakeNewDB(const fs::path& path) {
  std::error_code ec;
  if (fs::exists(path, ec) && DBaseInUse(path)) {
    ShowError(TableInUseMessage(path.string()));
    return false;
  }
  try {
    MyCreateTable.Close();
    MyCreateTable.SetDatabaseName(path.parent_path().string());
    MyCreateTable.SetTableName(path.filename().string());
    MyCreateTable.SetTableType(framework::ttDBase);
    DefineItemFields(MyCreateTable.FieldDefs());
    MyCreateTable.IndexDefs().Clear();
    MyCreateTable.CreateTable();
  } catch (const framework::Exception& e) {
    // An older file of that name is still there, unchanged: not a new database.
    ShowError(e.Message());
    return false;
  }
  return fs::exists(path, ec);
}

void TMain::BuildSortString() { sortExpression_ = keldro::BuildSortString(Settings.sortLevels); }

void TMain::CheckForConversion() {
  if (!keldro::CheckForConversion(ProgramDir, MyTable)) return;
  try {
    if (MyTable.Active()) MyTable.First();
  } catch (const framework::Exception&) {
  }
  DisplayCount();
}

// ------------------------------------------------------------------ commands

void TMain::SetScreenSize(int size) {
  if (size == Settings.windowSize) {
    MarkScreenSize(ChooseScreenScale(Settings.windowSize, screen_.width(), screen_.height()).markedSize);
    return;
  }
  const int needHeight = size == 800 ? 600 : size == 1024 ? 768 : 1024;
  if (size != 640 && (screen_.width() < size || screen_.height() < needHeight)) {
    ShowError("Your current screen resolution does not support " + std::to_string(size) + " x " +
              std::to_string(needHeight) + " pixels.");
    MarkScreenSize(ChooseScreenScale(Settings.windowSize, screen_.width(), screen_.height()).markedSize);
    return;
  }
  Settings.windowSize = size;
  const ScreenScale scale = ChooseScreenScale(size, screen_.width(), screen_.height());
  ScaleFactor = scale.scaleFactor;
  MarkScreenSize(scale.markedSize);
}

void TMain::SetButtonBarMode(int mode) {
  Settings.buttonBar = mode;
  SetButtonBar();
}

void TMain::SetDateFormat(int code) {
  if (code == Settings.dateFormat) return;
  Settings.dateFormat = code;
  ApplyDateFormat();
  RefreshTable();
}

void TMain::ToggleLeadingZeros() {
  Settings.dateLeadingZeros = !Settings.dateLeadingZeros;
  ApplyDateFormat();
  RefreshTable();
}

// A refresh posts a record left in edit; one that cannot be stored stays in
// edit and its error is shown, so nothing is thrown back into the menu.
void TMain::RefreshTable() {
  if (!MyTable.Active()) return;
  try {
    MyTable.Refresh();
  } catch (const framework::Exception& e) {
    ShowError(e.Message());
  }
}

void TMain::SetCurrencyFormat(int code) {
  Settings.currencyFormat = code;
  (code == 2 ? MenuCurrencyWin : MenuCurrencyUS)->setChecked(true);
}

void TMain::ShowRecordEditor(int mode) {
  if (!MyEdit) return;
  EditMode = mode;
  MyEdit->Screen = screen_;
  MyEdit->exec();
  DisplayCount();
}

void TMain::ViewerGridDblClick() { ShowRecordEditor(2); }

void TMain::MenuListMaintenanceClick(int list) {
  if (!MyEdit) return;
  TMyEditBox box(*MyEdit, list, this);
  box.Screen = screen_;
  box.exec();
}

void TMain::SetNumericFormat(int code) {
  Settings.numericFormat = code;
  (code == 2 ? MenuNumericWin : MenuNumericUS)->setChecked(true);
}

// ------------------------------------------------- exclusive use of the table

void TMain::ReloadReportList() {
  if (reportWindow_) reportWindow_->LoadReportBox();
}

void TMain::DropSortIndex() {
  MyTable.SetIndexName("");
  try {
    MyTable.DeleteIndex(std::string(kNewIndexName));
  } catch (const EDatabaseError& e) {
    // No tag, or no index file at all: nothing to delete.
    std::error_code ec;
    if (e.ErrorCode() != ORB_ERR_NO_SUCH_INDEX && fs::exists(indexPath_, ec)) throw;
  }
}

void TMain::ReplaceSortIndex() {
  const std::string newIndex(kNewIndexName);
  DropSortIndex();
  if (sortExpression_.empty()) return;
  MyTable.AddIndex(newIndex, sortExpression_, framework::ixExpression);
  MyTable.SetIndexName(newIndex);
}

bool TMain::ReopenShared() {
  const std::string newIndex(kNewIndexName);
  std::string failure;
  try {
    MyTable.Close();
    MyTable.SetExclusive(false);
    MyTable.SetIndexName(sortExpression_.empty() ? "" : newIndex);
    try {
      MyTable.Open();
    } catch (const EDatabaseError&) {
      if (sortExpression_.empty()) throw;
      // The tag went missing (an operation stopped between dropping and
      // adding it): add it again.
      MyTable.Close();
      MyTable.SetIndexName("");
      MyTable.AddIndex(newIndex, sortExpression_, framework::ixExpression);
      MyTable.SetIndexName(newIndex);
      MyTable.Open();
    }
  } catch (const framework::Exception& e) {
    failure = e.Message();
  }
  if (!failure.empty()) {
    // Never leave the window without its table: natural order at least.
    try {
      MyTable.Close();
      MyTable.SetExclusive(false);
      MyTable.SetIndexName("");
      MyTable.Open();
      failure.clear();
    } catch (const framework::Exception&) {
    }
  }
  if (MyTable.Active()) SetViewerOptions();
  if (!failure.empty()) ShowError(failure);
  DisplayCount();
  return failure.empty();
}

}  // namespace keldro

#include "moc_tmain.cpp"
