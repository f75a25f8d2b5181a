// The main window started for real, offscreen, in a temporary root: the
// database it chooses, checks, creates and converts, the settings it reads
// and writes, browse-only mode, the screen scale and the recent files.
#include "tmain.h"
#include "tmysearch.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QRadioButton>
#include <QSpinBox>
#include <QPointer>
#include <QTest>
#include <QTimer>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPixmap>
#include <QScreen>
#include <QPushButton>
#include <QToolButton>

#include <cstdlib>
#include <functional>
#include <filesystem>
#include <map>
#include <memory>

#include "core/item_fields.h"
#include "core/settings.h"
#include "framework/dbtables.h"
#include "platform/paths.h"
#include "platform/profile.h"
#include "platform/ui.h"
#include "reports/report_file.h"
#include "temp_root.h"
#include "core/tips.h"
#include "report/printer.h"
#include "taboutbox.h"
#include "tprintersetup.h"
#include "tproducts.h"
#include "tprogress.h"
#include "ttipofday.h"
#include "window_test.h"
#include "shot_path.h"

namespace keldro {
namespace {

namespace fs = std::filesystem;
using framework::TTable;
using platform::ui::Answer;
using platform::ui::FileDialogResult;
using platform::ui::ScriptedUi;
using testing_support::TempRoot;

struct FieldSpec {
  std::string name;
  framework::TFieldType type;
  int size = 0;
};

std::vector<FieldSpec> ItemLayout() {
  std::vector<FieldSpec> out;
  for (const ItemField& f : ItemFields) {
    switch (f.typeCode) {
      case kCharacterField: out.push_back({std::string(f.name), framework::ftString, f.width}); break;
      case kIntegerField: out.push_back({std::string(f.name), framework::ftInteger}); break;
      case kFloatField: out.push_back({std::string(f.name), framework::ftFloat, 2}); break;
      case kDateField: out.push_back({std::string(f.name), framework::ftDate}); break;
    }
  }
  return out;
}

// Creates a table file (without an index) with these fields.
void MakeTable(const fs::path& file, const std::vector<FieldSpec>& fields) {
  TTable t;
  t.SetDatabaseName(file.parent_path().string());
  t.SetTableName(file.filename().string());
  t.SetTableType(framework::ttDBase);
  for (const FieldSpec& f : fields) t.FieldDefs().Add(f.name, f.type, f.size);
  t.CreateTable();
}

uint8_t HeaderByte28(const fs::path& file) { return static_cast<uint8_t>(TempRoot::ReadFile(file).at(28)); }

class TMainTest : public WindowTest {
 protected:
  // Started, with the record count in (a shown window counts on a thread).
  std::unique_ptr<TMain> Start(std::vector<std::string> arguments = {"keldro"}, QSize screen = {800, 600}) {
    auto main = std::make_unique<TMain>(TMain::StartOptions{std::move(arguments), screen});
    main->FinishCount();
    return main;
  }
  fs::path IniPath() const { return platform::WindowsDir() / "KELDRO.INI"; }
  void WriteIni(const std::string& text) const { TempRoot::WriteFile(IniPath(), text); }
  platform::IniFile ReadIni() const {
    platform::IniFile ini(IniPath());
    EXPECT_TRUE(ini.Load());
    return ini;
  }
  std::string Ini(std::string_view section, std::string_view key) const {
    return ReadIni().Get(section, key).value_or("<missing>");
  }
};

TEST_F(TMainTest, TheSortOrderFollowsTheLanguageOfTheTable) {
  // A new user's first start: MASTER sorted by Category, records added.
  auto main = Start();
  ASSERT_FALSE(main->Terminated());
  for (const char* category : {"fig", "Zebra", "\xE9" "clair", "apple", "Date", "cherry", "Banana"}) {
    main->MyTable.Append();
    main->MyTable.FieldByName("CATEGORY")->SetAsString(category);
    main->MyTable.Post();
  }
  ASSERT_EQ(main->MyTable.IndexName(), "NewIndex");
  std::vector<std::string> order;
  for (main->MyTable.First(); !main->MyTable.Eof(); main->MyTable.Next())
    order.push_back(main->MyTable.FieldByName("CATEGORY")->AsString());
  EXPECT_EQ(order, (std::vector<std::string>{"apple", "Banana", "cherry", "Date", "\xE9" "clair", "fig", "Zebra"}));
}

TEST_F(TMainTest, FirstStartCreatesMasterWithItsIndexAndClosingWritesEveryDefault) {
  auto main = Start();
  ASSERT_FALSE(main->Terminated());
  const fs::path master = Program("MASTER.DBF");
  ASSERT_TRUE(fs::exists(master));
  EXPECT_TRUE(fs::exists(Program("MASTER.MDX")));
  EXPECT_EQ(main->windowTitle().toStdString(), "Stashwell Inventory 95 (MASTER)");
  EXPECT_EQ(HeaderByte28(master), 1);

  ASSERT_TRUE(main->MyTable.Active());
  EXPECT_EQ(main->MyTable.IndexName(), "NewIndex");
  const framework::TIndexDef* index = main->MyTable.IndexDefs().Find("NewIndex");
  ASSERT_NE(index, nullptr);
  EXPECT_EQ(index->Expression(), "Upper(Left(Category,80))");
  EXPECT_EQ(main->CountLabel->text(), "0");
  EXPECT_EQ(main->MyTable.ControlType(),
            (grid::TLines{"WARRANTY;CheckBox;Yes;No", "BRAND;Combo;MyComboBrand", "LOCATION;Combo;MyComboLocation",
                          "OWNER;Combo;MyComboOwner", "CATEGORY;Combo;MyComboCategory",
                          "BOUGHTFROM;Combo;MyComboBought"}));
  ASSERT_EQ(main->MyTable.FieldCount(), kItemFieldCount);
  for (int i = 0; i < kItemFieldCount; ++i) {
    const ItemField& f = ItemFields[static_cast<size_t>(i)];
    framework::TField* field = main->MyTable.Fields(i);
    EXPECT_TRUE(FieldNamesEqual(field->FieldName(), f.name)) << i;
    switch (f.typeCode) {
      case kCharacterField:
        EXPECT_EQ(field->DataType(), framework::ftString) << f.name;
        EXPECT_EQ(field->Size(), f.width) << f.name;
        break;
      case kIntegerField: EXPECT_EQ(field->DataType(), framework::ftInteger) << f.name; break;
      case kFloatField: EXPECT_EQ(field->DataType(), framework::ftFloat) << f.name; break;
      case kDateField: EXPECT_EQ(field->DataType(), framework::ftDate) << f.name; break;
    }
  }
  // The report definitions file and its buffer exist from the start.
  EXPECT_EQ(reports::ReportFile::InDirectory(root.programDir()).Count(), 8u);
  EXPECT_NE(ReportDefinitionBuffer, nullptr);
  // Speed buttons, scale 1.0, 640 x 480 at 0,0.
  EXPECT_FALSE(main->SpeedPanel->isHidden());
  EXPECT_TRUE(main->AddButton->isHidden());
  EXPECT_TRUE(main->MenuSpeedButtons->isChecked());
  EXPECT_TRUE(main->N640x480->isChecked());
  EXPECT_DOUBLE_EQ(ScaleFactor, 1.0);
  EXPECT_EQ(main->width(), 640);
  EXPECT_EQ(main->height(), 480);
  EXPECT_TRUE(main->MenuLastSeparator->isVisible() == false);

  main->show();
  QApplication::processEvents();
  main->grab().save(QString::fromStdString(testing_support::ShotPath("tmain_first_start.png")));
  main->close();
  EXPECT_EQ(ReportDefinitionBuffer, nullptr);

  // Every key at its default, except the database that was opened: the
  // file as written, section by section and key by key.
  const std::string currentDir = fs::current_path().string();
  std::string want = "[Misc]\r\n"
                     "Button Bar=1\r\n"
                     "Main Window Left=0\r\n"
                     "Main Window Top=0\r\n"
                     "Main Window Width=640\r\n"
                     "Main Window Height=480\r\n"
                     "Last Import File=" + currentDir + "\r\n"
                     "Last Export File=" + currentDir + "\r\n"
                     "Last Database=" + master.string() + "\r\n"
                     "Last File 1=\r\n"
                     "Last File 2=\r\n"
                     "Last File 3=\r\n"
                     "Last File 4=\r\n"
                     "Last File 5=\r\n"
                     "Show Tips=Yes\r\n"
                     "Window Size=640\r\n"
                     "Date Format=1\r\n"
                     "Date Leading Zeros=No\r\n"
                     "Currency Format=1\r\n"
                     "Numeric Format=1\r\n";
  // The 22 fields: key, default title.
  static constexpr std::pair<const char*, const char*> kFields[] = {
      {"Item", "Item"},
      {"Brand", "Brand"},
      {"Model", "Model"},
      {"Serial", "Serial Number"},
      {"Location", "Location"},
      {"Descriptio", "Description"},
      {"BoughtFrom", "Purchased From"},
      {"IDMarks", "ID Marks"},
      {"Quantity", "Quantity"},
      {"PurchDate", "Purchase Date"},
      {"Cost", "Cost"},
      {"Category", "Category"},
      {"RepCost", "Replacement Cost"},
      {"Warranty", "Warranty"},
      {"WarDate", "Warranty Date"},
      {"WarNotes", "Warranty Notes"},
      {"Owner", "Owner"},
      {"Value", "Value"},
      {"UserDef1", "User Defined 1"},
      {"UserDef2", "User Defined 2"},
      {"UserDef3", "User Defined 3"},
      {"UserDef4", "User Defined 4"}};
  auto fieldSection = [&](const char* section, const std::function<std::string(int)>& value) {
    want += std::string("\r\n[") + section + "]\r\n";
    for (int i = 0; i < 22; ++i) want += std::string(kFields[i].first) + "=" + value(i) + "\r\n";
  };
  auto number = [](int i) { return std::to_string(i + 1); };
  fieldSection("Field Names", [](int i) { return std::string(kFields[i].second); });
  fieldSection("Display Fields", [](int) { return std::string("Yes"); });
  fieldSection("Field Width", [](int) { return std::string("15"); });
  fieldSection("Field Order", number);
  fieldSection("Export Fields", [](int) { return std::string("Yes"); });
  fieldSection("Export Order", number);
  want += "\r\n[Export]\r\nFirst Row=Yes\r\nFile Type=1\r\n"
          "\r\n[Import]\r\nSkip First=Yes\r\nFile Type=1\r\n"
          "\r\n[Sort Order]\r\nPrimary Sort=12\r\nSecondary Sort=0\r\nThird Level Sort=0\r\nFourth Level Sort=0\r\n";
  for (const char* section : {"Main Window Color", "Edit Window Color", "Search Window Color", "Report Window Color",
                              "Configure Window Color"})
    want += std::string("\r\n[") + section + "]\r\n" +
            "Main Background=12632256\r\n"
            "Major Title=0\r\n"
            "Minor Title=0\r\n"
            "Edit Background=16777215\r\n"
            "Edit Text=0\r\n"
            "Combo Background=16777215\r\n"
            "Combo Text=0\r\n"
            "List Box Background=16777215\r\n"
            "List Box Text=0\r\n"
            "Radio Background=12632256\r\n"
            "Radio Text=0\r\n"
            "Check Background=12632256\r\n"
            "Check Text=0\r\n";
  want += "\r\n[Grid Title]\r\nShow Titles=Yes\r\nBackground Color=8553090\r\nAlignment=2\r\n"
          "\r\n[Grid Title Font]\r\nColor=0\r\nFont Name=Arial\r\nSize=12\r\n"
          "Bold=No\r\nItalic=No\r\nUnderline=No\r\nStrikeout=No\r\n"
          "\r\n[Grid Font]\r\nColor=0\r\nFont Name=Arial\r\nSize=10\r\n"
          "Bold=No\r\nItalic=No\r\nUnderline=No\r\nStrikeout=No\r\n"
          "\r\n[Grid Options]\r\nCell Color=12632256\r\nColumn Lines=Yes\r\nRow Lines=Yes\r\n"
          "Row Indicator=Yes\r\nField Editing=No\r\n";
  for (const char* section : {"Edit Font", "Label Font", "Button Font"})
    want += std::string("\r\n[") + section + "]\r\nFont Name=Arial\r\nBold=No\r\nItalic=No\r\n";
  want += "\r\n[Reports]\r\n"
          "Last Report=0\r\n"
          "Print Insurance Company=No\r\n"
          "Print Policy Number=No\r\n"
          "Print Statement=No\r\n"
          "Insurance Company=\r\n"
          "Policy Number=\r\n"
          "Your Name=\r\n"
          "Report Viewing Window Left=0\r\n"
          "Report Viewing Window Top=0\r\n"
          "Report Viewing Window Width=640\r\n"
          "Report Viewing Window Height=480\r\n";
  EXPECT_EQ(ReadIni().Serialize(), want);
  EXPECT_TRUE(ui->MessageTexts().empty());
}

TEST_F(TMainTest, ALastDatabaseNotOfTheItemLayoutIsRefusedAndTheOpenLoopCanBeLeft) {
  std::vector<FieldSpec> extra = ItemLayout();
  extra.push_back({"EXTRA", framework::ftString, 10});
  std::vector<FieldSpec> swapped = ItemLayout();
  std::swap(swapped[1], swapped[2]);
  struct Case {
    const char* name;
    std::vector<FieldSpec> fields;
  } cases[] = {{"23 fields", extra}, {"fields in another order", swapped}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const fs::path bad = root.path() / "DATA" / "BAD.DBF";
    fs::create_directories(bad.parent_path());
    MakeTable(bad, c.fields);
    WriteIni("[Misc]\r\nLast Database=" + bad.string() + "\r\n");

    // Cancel in the open dialog ends the program.
    ui->answers = {Answer::Ok, Answer::Ok};
    ui->files = {FileDialogResult{}};
    auto refused = Start();
    EXPECT_TRUE(refused->Terminated());
    ASSERT_EQ(ui->MessageTexts().size(), 2u);
    EXPECT_EQ(ui->MessageTexts()[0], kNotAnItemTableMessage);
    EXPECT_EQ(ui->MessageTexts()[1], kLastDatabaseInvalidMessage);
    EXPECT_EQ(ui->MessageCaptions(), (std::vector<std::string>{"Error", "Error"}));
    refused.reset();

    // Choosing a valid one ends the loop and makes it the last database.
    const fs::path good = root.path() / "DATA" / "GOOD.DBF";
    MakeTable(good, ItemLayout());
    ui->calls.clear();
    ui->answers = {Answer::Ok, Answer::Ok, Answer::Ok};
    ui->files = {FileDialogResult{true, (root.path() / "DATA" / "GOOD.TXT").string(), 1},
                 FileDialogResult{true, good.string(), 1}};
    auto chosen = Start();
    EXPECT_FALSE(chosen->Terminated());
    EXPECT_EQ(ui->MessageTexts().back(), "Invalid file type selected.");
    EXPECT_EQ(chosen->windowTitle().toStdString(), "Stashwell Inventory 95 (GOOD)");
    EXPECT_EQ(Settings.lastDatabase, good.string());
    EXPECT_TRUE(chosen->MyTable.Active());
    chosen.reset();
    fs::remove_all(root.path() / "DATA");
    ui->calls.clear();
  }
}

// An index file that went, or that the engine cannot read, is no reason to
// refuse the records: the database opens, without a message, and gets its
// index again (one the damaged file still names keeps its expression).
TEST_F(TMainTest, ADatabaseWhoseIndexFileWentOrIsDamagedOpensAndGetsItsIndexRebuilt) {
  const std::string sortOrder = "Upper(Left(Item,40))+STR(Cost,12,2)";
  const struct Case {
    const char* what;
    std::function<std::string(const std::string&)> damage;  // the index file's bytes, or "-" for no file
    std::string expression;
  } cases[] = {
      {"gone", [](const std::string&) { return std::string("-"); }, sortOrder},
      {"zeroed", [](const std::string& mdx) { return std::string(mdx.size(), '\0'); }, sortOrder},
      {"empty", [](const std::string&) { return std::string(); }, sortOrder},
      {"cut short", [](const std::string& mdx) { return mdx.substr(0, mdx.size() - 512); }, "Upper(Left(Category,80))"},
  };
  int n = 0;
  for (const Case& k : cases) {
    SCOPED_TRACE(k.what);
    const std::string name = "HOME" + std::to_string(++n);
    const fs::path file = root.path() / (name + ".DBF");
    const fs::path index = root.path() / (name + ".MDX");
    MakeTable(file, ItemLayout());
    {
      TTable t;
      t.SetDatabaseName(root.path().string());
      t.SetTableName(name);
      t.AddIndex("NewIndex", "Upper(Left(Category,80))", framework::ixExpression);
    }
    ASSERT_EQ(HeaderByte28(file), 1);
    const std::string damaged = k.damage(TempRoot::ReadFile(index));
    if (damaged == "-") {
      fs::remove(index);
    } else {
      TempRoot::WriteFile(index, damaged);
    }
    WriteIni("[Misc]\r\nLast Database=" + file.string() +
             "\r\n[Sort Order]\r\nPrimary Sort=1\r\nSecondary Sort=11\r\n");
    ui->calls.clear();

    auto main = Start();
    ASSERT_FALSE(main->Terminated());
    EXPECT_TRUE(ui->MessageTexts().empty());
    EXPECT_EQ(main->windowTitle().toStdString(), "Stashwell Inventory 95 (" + name + ")");
    EXPECT_TRUE(main->MyTable.Active());
    EXPECT_TRUE(fs::exists(index));
    EXPECT_EQ(main->MyTable.IndexName(), "NewIndex");
    const framework::TIndexDef* def = main->MyTable.IndexDefs().Find("NewIndex");
    ASSERT_NE(def, nullptr);
    EXPECT_EQ(def->Expression(), k.expression);
    EXPECT_EQ(main->IndexPath(), index);
  }
}

TEST_F(TMainTest, BrowseOnlyModeComesFromTheFirstArgumentAndKeepsFieldEditing) {
  struct Case {
    std::vector<std::string> arguments;
    bool browse;
  } cases[] = {{{"keldro", "/browse"}, true},
               {{"keldro", "/BrOwSe"}, true},
               {{"keldro", "/BROWSEX"}, false},
               {{"keldro", "x", "/BROWSE"}, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.arguments[1]);
    WriteIni("[Grid Options]\r\nField Editing=Yes\r\n");
    auto main = Start(c.arguments);
    ASSERT_FALSE(main->Terminated());
    EXPECT_EQ(BrowseMode, c.browse);
    EXPECT_EQ(Settings.fieldEditing, !c.browse);
    for (QAction* a : {main->MenuAdd, main->MenuCopy, main->MenuDelete, main->MenuListMaintenanceItem,
                       main->MenuBackup, main->MenuRestore, main->MenuSearchReplace, main->MenuViewer})
      EXPECT_EQ(a->isEnabled(), !c.browse) << a->objectName().toStdString();
    for (QToolButton* b : {main->SpeedAdd, main->SpeedCopy, main->SpeedDelete, main->SpeedViewer})
      EXPECT_EQ(b->isEnabled(), !c.browse) << b->objectName().toStdString();
    // Their windows are not part of the program yet: disabled in either mode.
    EXPECT_EQ(main->MenuImport->isEnabled(), !c.browse);
    EXPECT_EQ(main->SpeedImport->isEnabled(), !c.browse);
    EXPECT_TRUE(main->MenuExport->isEnabled());
    for (QAction* a : {main->MenuEdit, main->MenuPack, main->MenuRebuild, main->MenuOpen, main->MenuNew})
      EXPECT_TRUE(a->isEnabled()) << a->objectName().toStdString();
    // The lettered Delete button follows its menu item in any button-bar mode.
    main->SetButtonBarMode(2);
    EXPECT_EQ(main->DeleteButton->isEnabled(), !c.browse);
    EXPECT_EQ(main->ViewerButton->isEnabled(), !c.browse);
    EXPECT_TRUE(main->EditButton->isEnabled());
    EXPECT_EQ(main->MyNavigator->ButtonAt(TRecordNavigator::nbInsert)->isHidden(), c.browse);
    EXPECT_FALSE(main->MyNavigator->ButtonAt(TRecordNavigator::nbLast)->isHidden());
    main->close();
    EXPECT_EQ(Ini("Grid Options", "Field Editing"), "Yes");
  }
}

TEST_F(TMainTest, WindowSizeAgainstTheScreenGivesTheScaleAndKeepsTheSetting) {
  struct Case {
    int setting;
    QSize screen;
    double scale;
    const char* marked;
  } cases[] = {{1024, {800, 600}, 1.0, "N640x480"},   {800, {800, 600}, 1.25, "N800x600"},
               {1024, {1024, 768}, 1.6, "N1024x768"}, {1280, {1280, 1024}, 2.0, "N1280x1024"},
               {777, {1280, 1024}, 1.0, "N640x480"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.setting);
    WriteIni("[Misc]\r\nWindow Size=" + std::to_string(c.setting) + "\r\n");
    auto main = Start({"keldro"}, c.screen);
    EXPECT_DOUBLE_EQ(ScaleFactor, c.scale);
    auto* marked = main->findChild<QAction*>(c.marked);
    ASSERT_NE(marked, nullptr);
    EXPECT_TRUE(marked->isChecked());
    main->close();
    EXPECT_EQ(Ini("Misc", "Window Size"), std::to_string(c.setting));
  }
}

TEST_F(TMainTest, OpeningDatabasesKeepsTheRecentFilesNewestFirst) {
  const fs::path a = root.path() / "A.DBF", b = root.path() / "B.DBF", c = root.path() / "C.DBF";
  for (const fs::path& f : {a, b, c}) MakeTable(f, ItemLayout());
  WriteIni("[Misc]\r\nLast Database=" + a.string() + "\r\n");
  auto main = Start();
  EXPECT_FALSE(main->MenuLastSeparator->isVisible());
  for (QAction* item : main->MenuLastFile) EXPECT_FALSE(item->isVisible());

  ASSERT_TRUE(main->OpenSaveFile(b.string()));
  ASSERT_TRUE(main->OpenSaveFile(c.string()));
  EXPECT_EQ(Settings.lastFiles, (RecentFiles{b.string(), a.string()}));
  // The first entry opened: it leaves the list, the current one goes first.
  main->MenuLastFileClick(1);
  EXPECT_EQ(main->windowTitle().toStdString(), "Stashwell Inventory 95 (B)");
  EXPECT_EQ(Settings.lastFiles, (RecentFiles{c.string(), a.string()}));
  // The current one again: pushed as the first entry.
  ASSERT_TRUE(main->OpenSaveFile(b.string()));
  EXPECT_EQ(Settings.lastFiles, (RecentFiles{b.string(), c.string(), a.string()}));
  EXPECT_TRUE(main->MenuLastSeparator->isVisible());
  EXPECT_EQ(main->MenuLastFile[0]->text().toStdString(), "&1   " + b.string());
  EXPECT_TRUE(main->MenuLastFile[2]->isVisible());
  EXPECT_FALSE(main->MenuLastFile[3]->isVisible());
  EXPECT_EQ(Settings.lastDatabase, b.string());
  QMenu* fileMenu = main->menuBar()->actions().at(0)->menu();
  fileMenu->adjustSize();
  fileMenu->grab().save(QString::fromStdString(testing_support::ShotPath("tmain_file_menu.png")));

  // A refused file from the list leaves the current table open.
  const fs::path bad = root.path() / "BAD.DBF";
  MakeTable(bad, {{"ITEM", framework::ftString, 40}});
  ui->answers = {Answer::Ok};
  EXPECT_FALSE(main->OpenSaveFile(bad.string()));
  EXPECT_TRUE(main->MyTable.Active());
  EXPECT_EQ(main->MyTable.TableName(), "B");
  main->close();
  EXPECT_EQ(Ini("Misc", "Last File 1"), b.string());
  EXPECT_EQ(Ini("Misc", "Last Database"), b.string());
}

TEST_F(TMainTest, SwitchingToADatabaseWithoutTheTagOrWithABrokenIndexKeepsATableOpen) {
  // An index file with other tags only: nothing to delete, the tag is added.
  const fs::path other = root.path() / "OTHER.DBF";
  MakeTable(other, ItemLayout());
  {
    TTable t;
    t.SetDatabaseName(root.path().string());
    t.SetTableName("OTHER");
    t.AddIndex("ITEMTAG", "Upper(Item)", framework::ixExpression);
  }
  auto main = Start();
  ASSERT_TRUE(main->OpenSaveFile(other.string()));
  EXPECT_TRUE(ui->MessageTexts().empty());
  EXPECT_EQ(main->MyTable.IndexName(), "NewIndex");
  EXPECT_NE(main->MyTable.IndexDefs().Find("ITEMTAG"), nullptr);

  // An index that cannot be rebuilt: the table is open again, in natural
  // order, before the error is shown.
  const fs::path broken = root.path() / "BROKEN.DBF";
  MakeTable(broken, ItemLayout());
  fs::create_directory(root.path() / "BROKEN.MDX");
  bool openWhenShown = false;
  ui->onMessage = [&](const platform::ui::MessageBoxRequest&) { openWhenShown = main->MyTable.Active(); };
  ui->answers = {Answer::Ok};
  EXPECT_TRUE(main->OpenSaveFile(broken.string()));
  ASSERT_EQ(ui->MessageCaptions(), std::vector<std::string>{"Error"});
  EXPECT_TRUE(openWhenShown);
  EXPECT_TRUE(main->MyTable.Active());
  EXPECT_EQ(main->MyTable.IndexName(), "");
  EXPECT_EQ(main->windowTitle().toStdString(), "Stashwell Inventory 95 (BROKEN)");
  EXPECT_EQ(Settings.lastDatabase, broken.string());
}

// The old layouts, with a first field of any name.
std::vector<FieldSpec> Version2Layout() {
  std::vector<FieldSpec> f = {{"RECNO", framework::ftInteger}};
  std::vector<FieldSpec> item = ItemLayout();
  f.insert(f.end(), item.begin(), item.begin() + 18);
  return f;
}
std::vector<FieldSpec> Version1Layout() {
  using framework::ftFloat;
  using framework::ftInteger;
  using framework::ftString;
  return {{"ID", ftInteger},         {"ITEM", ftString, 40},      {"BRAND", ftString, 20},
          {"MODEL", ftString, 20},   {"SERIAL", ftString, 20},    {"ROOM", ftString, 30},
          {"DESCRIPTIO", ftString, 110}, {"BOUGHTFROM", ftString, 40}, {"IDMARKS", ftString, 60},
          {"QUANTITY", ftInteger},   {"PURCHDAY", ftString, 4},   {"PURCHMONTH", ftString, 4},
          {"PURCHYEAR", ftString, 4}, {"COST", ftFloat, 2},        {"CATEGORY", ftString, 20}};
}

TEST_F(TMainTest, TablesOfTheEarlierVersionsAreOfferedAndConvertedByValue) {
  const fs::path v2 = Program("D2ADE.DBF");
  MakeTable(v2, Version2Layout());
  {
    auto t = std::make_unique<TTable>();
    t->SetDatabaseName(root.programDir().string());
    t->SetTableName("D2ADE");
    t->Open();
    t->Append();
    t->FieldByName("Item")->SetAsString("Clock");
    t->FieldByName("Quantity")->SetAsInteger(3);
    t->FieldByName("Cost")->SetAsFloat(1234.56);
    t->FieldByName("PurchDate")->SetAsDateTime(framework::EncodeDate(1921, 7, 4));
    t->FieldByName("Warranty")->SetAsString("Yes");
    t->FieldByName("Value")->SetAsFloat(99.5);
    t->Post();
  }
  const fs::path v1 = Program("VIDI.DBF");
  MakeTable(v1, Version1Layout());
  {
    auto t = std::make_unique<TTable>();
    t->SetDatabaseName(root.programDir().string());
    t->SetTableName("VIDI");
    t->Open();
    t->Append();
    t->FieldByName("Item")->SetAsString("Radio");
    t->FieldByName("Room")->SetAsString("Den");
    t->FieldByName("PurchMonth")->SetAsString("Feb");
    t->FieldByName("PurchDay")->SetAsString("3");
    t->FieldByName("PurchYear")->SetAsString("1994");
    t->FieldByName("Cost")->SetAsFloat(20.25);
    t->Post();
  }
  // A date format with a two-digit year must not matter.
  WriteIni("[Misc]\r\nDate Format=4\r\n");
  ui->answers = {Answer::Yes, Answer::Yes};
  auto main = Start();
  ASSERT_EQ(ui->MessageTexts(),
            (std::vector<std::string>{std::string(kConvertVersion2Question), std::string(kConvertVersion1Question)}));
  EXPECT_EQ(ui->MessageCaptions(), (std::vector<std::string>{"Convert", "Convert"}));
  EXPECT_FALSE(fs::exists(v2));
  EXPECT_FALSE(fs::exists(v1));
  EXPECT_EQ(main->CountLabel->text(), "2");

  ItemDataSet& t = main->MyTable;
  t.SetIndexName("");
  t.First();
  EXPECT_EQ(t.FieldByName("Item")->AsString(), "Clock");
  EXPECT_EQ(t.FieldByName("Quantity")->AsInteger(), 3);
  EXPECT_DOUBLE_EQ(t.FieldByName("Cost")->AsFloat(), 1234.56);
  EXPECT_DOUBLE_EQ(t.FieldByName("PurchDate")->AsDateTime(), framework::EncodeDate(1921, 7, 4));
  EXPECT_EQ(t.FieldByName("Warranty")->AsString(), "Yes");
  EXPECT_DOUBLE_EQ(t.FieldByName("Value")->AsFloat(), 99.5);
  t.Next();
  EXPECT_EQ(t.FieldByName("Item")->AsString(), "Radio");
  EXPECT_EQ(t.FieldByName("Location")->AsString(), "Den");
  EXPECT_DOUBLE_EQ(t.FieldByName("PurchDate")->AsDateTime(), framework::EncodeDate(1994, 2, 3));
  EXPECT_DOUBLE_EQ(t.FieldByName("Cost")->AsFloat(), 20.25);
}

TEST_F(TMainTest, AConversionThatFailsKeepsTheOldFileAndAddsNothing) {
  const fs::path v1 = Program("VIDI.DBF");
  MakeTable(v1, Version1Layout());
  {
    auto t = std::make_unique<TTable>();
    t->SetDatabaseName(root.programDir().string());
    t->SetTableName("VIDI");
    t->Open();
    for (const char* day : {"3", "31"}) {  // 31 February is no date
      t->Append();
      t->FieldByName("Item")->SetAsString("Radio");
      t->FieldByName("PurchMonth")->SetAsString("Feb");
      t->FieldByName("PurchDay")->SetAsString(day);
      t->FieldByName("PurchYear")->SetAsString("1994");
      t->Post();
    }
  }
  for (int run = 0; run < 2; ++run) {
    SCOPED_TRACE(run);
    ui->calls.clear();
    ui->answers = {Answer::Yes, Answer::Ok};
    auto main = Start();
    ASSERT_EQ(ui->MessageTexts().size(), 2u);
    EXPECT_EQ(ui->MessageCaptions()[1], "Error");
    EXPECT_NE(ui->MessageTexts()[1].find("record 2"), std::string::npos) << ui->MessageTexts()[1];
    EXPECT_TRUE(fs::exists(v1));
    EXPECT_EQ(main->CountLabel->text(), "0");
    main->close();
  }
}

TEST_F(TMainTest, ShowingLoadsThePickListsAndTheFonts) {
  TempRoot::WriteFile(Program("BRAND.LST"), "  Sony \r\n\r\nPanasonic\n");
  TempRoot::WriteFile(Program("owner.lst"), "Me\r\n");
  WriteIni("[Label Font]\r\nFont Name=Courier\r\nBold=Yes\r\n");
  auto main = Start();
  main->show();
  QApplication::processEvents();
  EXPECT_EQ(main->PickLists[0], (std::vector<std::string>{"Sony", "Panasonic"}));
  EXPECT_TRUE(main->PickLists[1].empty());
  EXPECT_EQ(main->PickLists[4], std::vector<std::string>{"Me"});
  EXPECT_EQ(main->Count2Label->font().family(), "Courier");
  EXPECT_TRUE(main->Count2Label->font().bold());
  main->close();
}

}  // namespace
}  // namespace keldro

namespace keldro {
namespace {

TEST_F(TMainTest, TheButtonBarModesLayTheWindowOutAndItFollowsResizing) {
  struct Case {
    int mode;
    const char* marked;
    QRect navigator;  // for a 640-pixel wide window
    int searchTop, countTop, count2Top, bevelTop, labelTop, gridTop;
    bool speed, lettered, navigatorLabel;
  } cases[] = {
      {1, "MenuSpeedButtons", {424, 3, 212, 25}, 44, 38, 52, 34, 38, 70, true, false, false},
      {2, "MenuLetteredButtons", {400, 47, 221, 25}, 96, 90, 105, 86, 90, 122, false, true, true},
      {3, "MenuNoButtons", {433, 8, 201, 25}, 14, 8, 23, 4, 8, 40, false, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mode);
    WriteIni("[Misc]\r\nButton Bar=" + std::to_string(c.mode) + "\r\n");
    auto main = Start();
    main->show();
    QApplication::processEvents();
    const int ch = main->ClientHeight();
    EXPECT_TRUE(main->findChild<QAction*>(c.marked)->isChecked());
    EXPECT_EQ(main->MyNavigator->geometry(), c.navigator);
    EXPECT_EQ(main->SearchOnLabel->y(), c.searchTop);
    EXPECT_EQ(main->CountLabel->y(), c.countTop);
    EXPECT_EQ(main->Count2Label->y(), c.count2Top);
    EXPECT_EQ(main->ViewerBevel->geometry(), QRect(3, c.bevelTop, 634, ch - c.bevelTop - 3));
    EXPECT_EQ(main->ViewerLabel->y(), c.labelTop);
    EXPECT_EQ(main->ViewerGrid->geometry(), QRect(7, c.gridTop, 626, ch - c.gridTop - 7));
    EXPECT_EQ(main->SpeedPanel->isVisible(), c.speed);
    EXPECT_EQ(main->AddButton->isVisible(), c.lettered);
    EXPECT_EQ(main->ButtonExit->isEnabled(), c.lettered);
    EXPECT_EQ(main->Bevel3->isVisible(), c.lettered);
    EXPECT_EQ(main->NavigatorLabel->isVisible(), c.navigatorLabel);
    main->grab().save(QString::fromStdString(testing_support::ShotPath(QString("tmain_button_bar_%1.png").arg(c.mode).toStdString())));

    main->resize(800, 600);
    QApplication::processEvents();
    EXPECT_EQ(main->ViewerGrid->width(), 800 - 14);
    EXPECT_EQ(main->ViewerBevel->width(), 800 - 6);
    EXPECT_EQ(main->ViewerGrid->y() + main->ViewerGrid->height(), main->ClientHeight() - 7);
    EXPECT_EQ(main->ViewerLabel->x(), (800 - main->ViewerLabel->width()) / 2);
    if (c.mode == 3) {
      EXPECT_EQ(main->MyNavigator->x(), 800 - 207);
    }
    main->close();
    EXPECT_EQ(Ini("Misc", "Main Window Width"), "800");
  }
}

TEST_F(TMainTest, TheNavigatorMovesTheTableAndShowsTheCount) {
  auto main = Start();
  main->show();
  QApplication::processEvents();
  for (const char* item : {"Lamp", "Desk", "Chair"}) {
    main->MyTable.Append();
    main->MyTable.FieldByName("Item")->SetAsString(item);
    main->MyTable.FieldByName("Category")->SetAsString(item);
    main->MyTable.Post();
  }
  EXPECT_EQ(main->CountLabel->text(), "0");  // shown again after a click
  main->MyNavigator->Click(TRecordNavigator::nbFirst);
  EXPECT_EQ(main->CountLabel->text(), "3");
  EXPECT_EQ(main->MyTable.FieldByName("Item")->AsString(), "Chair");  // in Category order
  main->MyNavigator->Click(TRecordNavigator::nbNext);
  EXPECT_EQ(main->MyTable.FieldByName("Item")->AsString(), "Desk");
  ui->answers = {Answer::Cancel};
  main->MyNavigator->Click(TRecordNavigator::nbDelete);
  EXPECT_EQ(main->CountLabel->text(), "3");
  EXPECT_EQ(ui->MessageTexts(), std::vector<std::string>{"Delete record?"});
  // An edit still open when the window closes is kept.
  main->MyNavigator->Click(TRecordNavigator::nbEdit);
  main->MyTable.FieldByName("Owner")->SetAsString("Ann");
  main->close();
  main.reset();
  TTable t;
  t.SetDatabaseName(root.programDir().string());
  t.SetTableName("MASTER");
  t.Open();
  int owned = 0;
  for (t.First(); !t.Eof(); t.Next()) owned += t.FieldByName("Owner")->AsString() == "Ann";
  EXPECT_EQ(owned, 1);
}

}  // namespace
}  // namespace keldro

namespace keldro {
namespace {

TEST_F(TMainTest, ALastDatabaseThatIsNoTableIsLeftUntouched) {
  const fs::path junk = root.path() / "JUNK.DBF";
  std::string bytes(64, '\x55');
  TempRoot::WriteFile(junk, bytes);
  WriteIni("[Misc]\r\nLast Database=" + junk.string() + "\r\n");
  ui->answers = {Answer::Ok, Answer::Ok};
  ui->files = {FileDialogResult{}};
  auto main = Start();
  EXPECT_TRUE(main->Terminated());
  ASSERT_EQ(ui->MessageTexts().size(), 2u);
  EXPECT_EQ(ui->MessageTexts()[1], kLastDatabaseInvalidMessage);
  EXPECT_EQ(TempRoot::ReadFile(junk), bytes);
  // A program that ends at start writes no settings.
  main->close();
  EXPECT_NE(Ini("Misc", "Last Database"), "<missing>");
  EXPECT_EQ(Ini("Misc", "Button Bar"), "<missing>");
}

TEST_F(TMainTest, ChoosingAScreenSizeNeedsAScreenThatLarge) {
  auto main = Start({"keldro"}, {1024, 768});
  struct Step {
    int size;
    bool refused;
    int setting;
    double scale;
    const char* marked;
  } steps[] = {{1280, true, 640, 1.0, "N640x480"},
               {1024, false, 1024, 1.6, "N1024x768"},
               {1024, false, 1024, 1.6, "N1024x768"},
               {800, false, 800, 1.25, "N800x600"},
               {640, false, 640, 1.0, "N640x480"}};
  for (const Step& s : steps) {
    SCOPED_TRACE(s.size);
    ui->calls.clear();
    if (s.refused) ui->answers = {Answer::Ok};
    main->findChild<QAction*>(s.size == 1280 ? "N1280x1024" : s.size == 1024 ? "N1024x768"
                                              : s.size == 800  ? "N800x600"
                                                               : "N640x480")
        ->trigger();
    EXPECT_EQ(ui->MessageTexts(),
              s.refused ? std::vector<std::string>{"Your current screen resolution does not support 1280 x 1024 pixels."}
                        : std::vector<std::string>{});
    EXPECT_EQ(Settings.windowSize, s.setting);
    EXPECT_DOUBLE_EQ(ScaleFactor, s.scale);
    EXPECT_TRUE(main->findChild<QAction*>(s.marked)->isChecked());
  }
}

}  // namespace
}  // namespace keldro

namespace keldro {
namespace {

TEST_F(TMainTest, AConversionThatFailsWhileAppendingAddsNothing) {
  // An old cost field wider than the new one: the second record cannot be
  // stored after the first was.
  const fs::path v2 = Program("D2ADE.DBF");
  {
    TTable t;
    t.SetDatabaseName(root.programDir().string());
    t.SetTableName("D2ADE.DBF");
    t.SetTableType(framework::ttDBase);
    for (const FieldSpec& f : Version2Layout()) {
      framework::TFieldDef& def = t.FieldDefs().Add(f.name, f.type, f.size);
      if (f.name == "Cost") def.SetPrecision(20);
    }
    t.CreateTable();
    t.Open();
    for (double cost : {12.5, 1e15}) {
      t.Append();
      t.FieldByName("Item")->SetAsString("Safe");
      t.FieldByName("Cost")->SetAsFloat(cost);
      t.Post();
    }
  }
  ui->answers = {Answer::Yes, Answer::Ok};
  auto main = Start();
  ASSERT_EQ(ui->MessageTexts().size(), 2u);
  EXPECT_EQ(ui->MessageCaptions()[1], "Error");
  EXPECT_TRUE(fs::exists(v2));
  EXPECT_EQ(main->CountLabel->text(), "0");
  EXPECT_EQ(main->MyTable.RecordCount(), 0);
  // The first record never reached the file: the batch was rolled back,
  // leaving no record marked deleted behind.
  main->close();
  main.reset();
  const std::string dbf = TempRoot::ReadFile(Program("MASTER.DBF"));
  ASSERT_GT(dbf.size(), 8u);
  const uint32_t records = static_cast<uint8_t>(dbf[4]) | static_cast<uint8_t>(dbf[5]) << 8;
  EXPECT_EQ(records, 0u) << ui->MessageTexts()[1];
}

TEST_F(TMainTest, ATableNameIsTheFileNameWithoutItsFinalExtension) {
  const fs::path file = root.path() / "MY.VIVO.DBF";
  MakeTable(file, ItemLayout());
  auto main = Start();
  ASSERT_TRUE(main->OpenSaveFile(file.string()));
  // The caption shows the name up to its first dot; the table and its index are still MY.VIVO's.
  EXPECT_EQ(main->windowTitle().toStdString(), "Stashwell Inventory 95 (MY)");
  EXPECT_EQ(main->MyTable.TableName(), "MY.VIVO");
  EXPECT_EQ(main->IndexPath(), root.path() / "MY.VIVO.MDX");
  EXPECT_TRUE(fs::exists(root.path() / "MY.VIVO.MDX"));
  EXPECT_FALSE(fs::exists(root.path() / "MY.DBF"));
}

}  // namespace
}  // namespace keldro

namespace keldro {
namespace {

TEST_F(TMainTest, WhenMasterCannotBeCreatedTheProgramEnds) {
  platform::SetProgramDir(root.path() / "NOWHERE");
  ui->answers = {Answer::Ok, Answer::Ok, Answer::Ok};
  auto main = Start();
  EXPECT_TRUE(main->Terminated());
  EXPECT_FALSE(fs::exists(root.path() / "NOWHERE" / "MASTER.DBF"));
  // The report definitions file and the database could not be written.
  EXPECT_EQ(ui->MessageCaptions(), (std::vector<std::string>{"Error", "Error"}));
  for (const ScriptedUi::Call& call : ui->calls) EXPECT_NE(call.kind, ScriptedUi::Call::kFile);
  platform::SetProgramDir(root.programDir());
}

}  // namespace
}  // namespace keldro

namespace keldro {
namespace {

// Changing how dates show refreshes the table, which posts a record left in
// edit; a record that cannot be stored must come back as a message, not as
// an exception through the menu's slot.
TEST_F(TMainTest, ADateFormatChangeWithAnUnstorableEditShowsTheErrorAndKeepsTheEdit) {
  struct Case {
    const char* what;
    std::function<void(TMain&)> act;
    int dateFormat;
    bool leadingZeros;
  } cases[] = {
      {"date format", [](TMain& m) { m.MenuDate[1]->trigger(); }, 2, false},
      {"leading zeros", [](TMain& m) { m.MenuLeadingZeros->trigger(); }, 1, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto main = Start();
    ASSERT_FALSE(main->Terminated());
    main->MyTable.Append();
    main->MyTable.FieldByName("Item")->SetAsString("Ring");
    main->MyTable.Post();
    main->MyTable.Edit();
    main->MyTable.FieldByName("Cost")->SetAsFloat(1e15);  // wider than the field
    ui->calls.clear();
    ui->answers = {Answer::Ok};
    EXPECT_NO_THROW(c.act(*main));
    ASSERT_EQ(ui->MessageCaptions(), std::vector<std::string>{"Error"});
    EXPECT_EQ(Settings.dateFormat, c.dateFormat);
    EXPECT_EQ(Settings.dateLeadingZeros, c.leadingZeros);
    EXPECT_EQ(main->MyTable.State(), framework::dsEdit);
    main->MyTable.Cancel();
    main->close();
    fs::remove(IniPath());  // each case starts from the defaults
  }
}

}  // namespace
}  // namespace keldro

namespace keldro {
namespace {

// A quantity too large for the new whole-number field must stop the
// conversion before anything is added, never be stored wrapped round.
TEST_F(TMainTest, AnOldQuantityTooLargeForTheNewFieldIsRefusedNotWrapped) {
  const fs::path v2 = Program("D2ADE.DBF");
  std::vector<FieldSpec> layout = Version2Layout();
  for (FieldSpec& f : layout)
    if (f.name == "Quantity") f = {"Quantity", framework::ftString, 12};
  MakeTable(v2, layout);
  {
    auto t = std::make_unique<TTable>();
    t->SetDatabaseName(root.programDir().string());
    t->SetTableName("D2ADE");
    t->Open();
    t->Append();
    t->FieldByName("Item")->SetAsString("Piano");
    t->FieldByName("Quantity")->SetAsString("4294967299");  // 2^32 + 3
    t->Post();
  }
  ui->answers = {Answer::Yes, Answer::Ok};
  auto main = Start();
  ASSERT_EQ(ui->MessageTexts().size(), 2u);
  EXPECT_EQ(ui->MessageCaptions()[1], "Error");
  EXPECT_NE(ui->MessageTexts()[1].find("record 1"), std::string::npos) << ui->MessageTexts()[1];
  EXPECT_TRUE(fs::exists(v2));
  EXPECT_EQ(main->MyTable.RecordCount(), 0);
}

}  // namespace
}  // namespace keldro

namespace keldro {
namespace {

// Opening another database closes the current table, and closing drops a
// record left in edit: it is posted first, and when it cannot be stored the
// current table stays open with the edit.
TEST_F(TMainTest, OpeningAnotherDatabaseKeepsTheRecordLeftInEdit) {
  const fs::path a = root.path() / "A.DBF", b = root.path() / "B.DBF";
  for (const fs::path& f : {a, b}) MakeTable(f, ItemLayout());
  struct Case {
    const char* what;
    bool storable;
  } cases[] = {{"a record that can be stored is posted", true},
               {"one that cannot keeps the table and its edit", false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    WriteIni("[Misc]\r\nLast Database=" + a.string() + "\r\n");
    auto main = Start();
    ASSERT_EQ(main->MyTable.TableName(), "A");
    main->MyTable.Append();
    main->MyTable.FieldByName("Item")->SetAsString("Watch");
    main->MyTable.Post();
    main->MyTable.Edit();
    main->MyTable.FieldByName("Owner")->SetAsString("Ann");
    if (!c.storable) main->MyTable.FieldByName("Cost")->SetAsFloat(1e15);
    ui->calls.clear();
    ui->answers = {Answer::Ok};
    EXPECT_EQ(main->OpenSaveFile(b.string()), c.storable);
    if (c.storable) {
      EXPECT_EQ(main->MyTable.TableName(), "B");
      EXPECT_TRUE(ui->MessageTexts().empty());
    } else {
      EXPECT_EQ(ui->MessageCaptions(), std::vector<std::string>{"Error"});
      EXPECT_EQ(main->MyTable.TableName(), "A");
      EXPECT_EQ(main->MyTable.State(), framework::dsEdit);
      EXPECT_EQ(main->MyTable.FieldByName("Owner")->AsString(), "Ann");
      main->MyTable.Cancel();
    }
    main->close();
    main.reset();
    TTable t;
    t.SetDatabaseName(root.path().string());
    t.SetTableName("A");
    t.Open();
    int owned = 0;
    for (t.First(); !t.Eof(); t.Next()) owned += t.FieldByName("Owner")->AsString() == "Ann";
    EXPECT_EQ(owned, c.storable ? 1 : 0);
    t.Close();
    fs::remove(a);
    fs::remove(root.path() / "A.MDX");
    MakeTable(a, ItemLayout());
  }
}

}  // namespace
}  // namespace keldro

// ------------------------------------------------------------ the commands

namespace keldro {
namespace {

using platform::ui::FontDialogResult;
using platform::ui::MessageBoxRequest;

// Presses a shortcut in the main window the way a user does.
void Press(QWidget* target, const char* shortcut) {
  // A dialog that closed hands the activation back through the event loop.
  if (!target->window()->isActiveWindow()) {
    target->window()->activateWindow();
    QApplication::processEvents();
  }
  const QKeyCombination key = QKeySequence(shortcut)[0];
  QTest::keyClick(target, key.key(), key.keyboardModifiers());
  QApplication::processEvents();
}

uint32_t HeaderCount(const fs::path& dbf) {
  const std::string b = TempRoot::ReadFile(dbf);
  return static_cast<uint8_t>(b[4]) | static_cast<uint8_t>(b[5]) << 8 | static_cast<uint8_t>(b[6]) << 16 |
         static_cast<uint32_t>(static_cast<uint8_t>(b[7])) << 24;
}

void AddItems(ItemDataSet& t, const std::vector<std::string>& items) {
  for (const std::string& item : items) {
    t.Append();
    t.FieldByName("Item")->SetAsString(item);
    t.FieldByName("Category")->SetAsString(item);
    t.Post();
  }
}

class TMainCommandsTest : public TMainTest {
 protected:
  void SetUp() override {
    TMainTest::SetUp();
    modals->failOnUnexpected = true;
  }
  // Started and shown, as a user sees it; the first activation's tip is
  // answered by the watcher.
  std::unique_ptr<TMain> Shown(std::vector<std::string> arguments = {"keldro"}) {
    auto main = Start(std::move(arguments));
    main->show();
    main->activateWindow();
    // The activation, then what it queued (the tip).
    QApplication::processEvents();
    QApplication::processEvents();
    main->activateWindow();  // back from the tip
    QApplication::processEvents();
    EXPECT_TRUE(main->isActiveWindow());
    return main;
  }
};

// Each row of the command table by its shortcut, its speed button and its
// lettered button: the window or dialog it opens, or the disabled state of
// a command whose window is another part's.
TEST_F(TMainCommandsTest, EveryCommandRunsFromItsShortcutSpeedButtonAndLetteredButton) {
  WriteIni("[Misc]\r\nShow Tips=No\r\n");
  auto main = Shown();
  AddItems(main->MyTable, {"Lamp"});
  TMain* m = main.get();
  enum class Expect { FileDialog, Message, FontDialog, Help, Window, Disabled, EndsSearch };
  struct Row {
    const char* item;
    const char* shortcut;
    QToolButton* speed;
    QPushButton* lettered;
    Expect expect;
    std::string detail;  // dialog title, message text, window name
  } rows[] = {
      {"MenuNew", "Ctrl+W", m->SpeedNew, nullptr, Expect::FileDialog, "New Database File"},
      {"MenuOpen", "Ctrl+O", m->SpeedOpen, nullptr, Expect::FileDialog, "Open Database File"},
      {"MenuBackup", "Ctrl+B", nullptr, nullptr, Expect::Window, "MyBackup"},
      {"MenuRestore", "Ctrl+Y", nullptr, nullptr, Expect::Window, "MyRestore"},
      {"MenuPrint", "Ctrl+P", nullptr, nullptr, Expect::Window, "MyReport"},
      {"MenuPrinterSetup", "Ctrl+U", nullptr, nullptr, Expect::Window, "PrinterSetup"},
      {"MenuDelete", "Ctrl+D", m->SpeedDelete, m->DeleteButton, Expect::Message, "Delete this record?"},
      {"MenuImport", "Ctrl+M", m->SpeedImport, nullptr, Expect::Window, "ImportFormat"},
      {"MenuExport", "Ctrl+T", m->SpeedExport, nullptr, Expect::Window, "MyExport"},
      {"MenuSearch", "Ctrl+S", m->SpeedSearch, m->SearchButton, Expect::Window, "MySearch"},
      {"MenuEndSearch", "Ctrl+I", m->SpeedEndSearch, m->EndSearchButton, Expect::EndsSearch, ""},
      {"MenuLocate", "Ctrl+L", m->SpeedLocate, nullptr, Expect::Window, "MyLocateDlg"},
      // Before any Locate, Find Next asks what to look for.
      {"MenuLocateNext", "Ctrl+N", m->SpeedLocateNext, nullptr, Expect::Window, "MyLocateDlg"},
      {"MenuReports", "Ctrl+R", m->SpeedReports, m->ReportButton, Expect::Window, "MyReport"},
      {"MenuViewer", "Ctrl+V", m->SpeedViewer, m->ViewerButton, Expect::Window, "ViewConfig"},
      {"MenuSortOrder", "Ctrl+Q", m->SpeedSortOrder, nullptr, Expect::Window, "MySortOrder"},
      {"MenuColor1", "Ctrl+F4", nullptr, nullptr, Expect::Window, "ColorConfig"},
      {"MenuColor6", "Ctrl+F9", m->SpeedColor, nullptr, Expect::Window, "ColorConfig"},
      {"MenuLabelFont", "Shift+F8", nullptr, nullptr, Expect::FontDialog, ""},
      {"MenuEditFont", "Shift+F9", nullptr, nullptr, Expect::FontDialog, ""},
      {"MenuButtonFont", "Shift+F10", nullptr, nullptr, Expect::FontDialog, ""},
      {"MenuSearchReplace", "Ctrl+F", nullptr, nullptr, Expect::Window, "SearchAndReplace"},
      {"MenuRebuild", nullptr, nullptr, nullptr, Expect::Message, std::string(kRebuildQuestion)},
      {"MenuPack", nullptr, nullptr, nullptr, Expect::Message, std::string(kPackQuestion)},
      {"MenuHelpContents", "Ctrl+H", m->SpeedHelp, m->HelpButton, Expect::Help, ""},
      {"MenuTips", nullptr, nullptr, nullptr, Expect::Window, "TipOfDay"},
      {"MenuAbout", nullptr, nullptr, nullptr, Expect::Window, "AboutBox"},
      {"MenuProducts", nullptr, nullptr, nullptr, Expect::Window, "Products"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.item);
    auto* item = main->findChild<QAction*>(row.item);
    ASSERT_NE(item, nullptr);
    if (row.shortcut) {
      EXPECT_EQ(item->shortcut(), QKeySequence(row.shortcut));
    }
    if (row.expect == Expect::Disabled) {
      EXPECT_FALSE(item->isEnabled());
      if (row.speed) {
        EXPECT_FALSE(row.speed->isEnabled());
      }
      if (row.lettered) {
        main->SetButtonBarMode(2);
        EXPECT_FALSE(row.lettered->isEnabled());
        main->SetButtonBarMode(1);
      }
      continue;
    }
    std::vector<std::function<void()>> ways{[item] { item->trigger(); }};
    if (row.shortcut) ways.push_back([m, &row] { Press(m, row.shortcut); });
    if (row.speed) ways.push_back([&row] { row.speed->click(); });
    if (row.lettered)
      ways.push_back([m, &row] {
        m->SetButtonBarMode(2);
        row.lettered->click();
        m->SetButtonBarMode(1);
      });
    for (size_t way = 0; way < ways.size(); ++way) {
      SCOPED_TRACE(way);
      ui->calls.clear();
      modals->shown.clear();
      switch (row.expect) {
        case Expect::Window: modals->On(row.detail, [](QDialog& d) { d.reject(); }); break;
        case Expect::FileDialog: ui->files = {FileDialogResult{}}; break;
        case Expect::Message: ui->answers = {Answer::No}; break;
        case Expect::FontDialog: ui->fonts = {FontDialogResult{}}; break;
        case Expect::EndsSearch: main->EnableEndSearch(); break;
        default: break;
      }
      ways[way]();
      switch (row.expect) {
        case Expect::FileDialog:
          ASSERT_EQ(ui->calls.size(), 1u);
          EXPECT_EQ(ui->calls[0].kind, ScriptedUi::Call::kFile);
          EXPECT_EQ(ui->calls[0].file.title, row.detail);
          break;
        case Expect::Message:
          EXPECT_EQ(ui->MessageTexts(), std::vector<std::string>{row.detail});
          EXPECT_EQ(ui->MessageCaptions(), std::vector<std::string>{"Confirm"});
          break;
        case Expect::FontDialog:
          ASSERT_EQ(ui->calls.size(), 1u);
          EXPECT_EQ(ui->calls[0].kind, ScriptedUi::Call::kFont);
          break;
        case Expect::Help:
          ASSERT_EQ(ui->calls.size(), 1u);
          EXPECT_EQ(ui->calls[0].kind, ScriptedUi::Call::kHelp);
          EXPECT_EQ(ui->calls[0].help.file, (root.programDir() / "KELDRO.HLP").string());
          EXPECT_EQ(ui->calls[0].help.command, platform::ui::HelpCommand::Contents);
          break;
        case Expect::Window: EXPECT_EQ(modals->shown, std::vector<std::string>{row.detail}); break;
        case Expect::EndsSearch:
          EXPECT_FALSE(SearchActive);
          EXPECT_FALSE(main->SearchOnLabel->isVisible());
          break;
        case Expect::Disabled: break;
      }
      EXPECT_TRUE(ui->unexpected.empty());
    }
  }
  EXPECT_EQ(main->CountLabel->text(), "1");
}

TEST_F(TMainCommandsTest, ExitIsCtrlXAlsoWhileAnEditHasTheFocus) {
  WriteIni("[Misc]\r\nShow Tips=No\r\n");
  auto main = Shown();
  // An editor inside the window, as a grid cell's.
  auto* cell = new QLineEdit("Lamp", main->ViewerGrid);
  cell->show();
  cell->setFocus();
  cell->selectAll();
  QApplication::processEvents();
  ASSERT_TRUE(cell->hasFocus());
  Press(cell, "Ctrl+X");
  EXPECT_FALSE(main->isVisible());
  EXPECT_EQ(cell->text(), "Lamp");  // not cut
  // The settings were written: the window closed for real.
  EXPECT_NE(Ini("Misc", "Button Bar"), "<missing>");
}

TEST_F(TMainCommandsTest, DeleteAsksAndMarksTheRecordDeletedButNeverOnAnEmptyTable) {
  WriteIni("[Misc]\r\nShow Tips=No\r\n");
  auto main = Shown();
  // Nothing to delete: nothing asked.
  Press(main.get(), "Ctrl+D");
  EXPECT_TRUE(ui->MessageTexts().empty());

  AddItems(main->MyTable, {"Lamp", "Desk", "Chair"});
  main->DisplayCount();
  main->MyTable.First();  // Chair, in Category order
  ui->answers = {Answer::No};
  Press(main.get(), "Ctrl+D");
  EXPECT_EQ(main->CountLabel->text(), "3");
  ui->answers = {Answer::Yes};
  Press(main.get(), "Ctrl+D");
  EXPECT_EQ(ui->MessageTexts(), (std::vector<std::string>{"Delete this record?", "Delete this record?"}));
  EXPECT_EQ(ui->MessageCaptions(), (std::vector<std::string>{"Confirm", "Confirm"}));
  EXPECT_EQ(main->CountLabel->text(), "2");
  // In the file: the third record appended (Chair) carries the mark.
  const std::string dbf = TempRoot::ReadFile(Program("MASTER.DBF"));
  const uint16_t headerLength = static_cast<uint8_t>(dbf[8]) | static_cast<uint8_t>(dbf[9]) << 8;
  const uint16_t recordLength = static_cast<uint8_t>(dbf[10]) | static_cast<uint8_t>(dbf[11]) << 8;
  std::string flags;
  for (int r = 0; r < 3; ++r) flags += dbf[headerLength + static_cast<size_t>(r) * recordLength];
  EXPECT_EQ(flags, "  *");
}

TEST_F(TMainCommandsTest, BrowseModeDeletesNothingFromAnyButton) {
  WriteIni("[Misc]\r\nShow Tips=No\r\nButton Bar=2\r\n");
  {
    auto main = Shown();
    AddItems(main->MyTable, {"Lamp"});
    main->close();
  }
  auto main = Shown({"keldro", "/BROWSE"});
  EXPECT_FALSE(main->DeleteButton->isEnabled());
  main->DeleteButton->click();
  Press(main.get(), "Ctrl+D");
  main->DoDelete();
  EXPECT_TRUE(ui->MessageTexts().empty());
  EXPECT_EQ(main->MyTable.RecordCount(), 1);
}

}  // namespace
}  // namespace keldro

namespace keldro {
namespace {

// A table file with the 22 fields and `count` records written directly
// (as a large database another tool filled): Item "Item <n>", every
// `deletedEvery`-th record marked deleted.
void WriteItemTable(const fs::path& file, int count, int deletedEvery) {
  MakeTable(file, ItemLayout());
  std::string bytes = TempRoot::ReadFile(file);
  const uint16_t headerLength = static_cast<uint8_t>(bytes[8]) | static_cast<uint8_t>(bytes[9]) << 8;
  const uint16_t recordLength = static_cast<uint8_t>(bytes[10]) | static_cast<uint8_t>(bytes[11]) << 8;
  bytes.resize(headerLength);
  bytes.reserve(headerLength + static_cast<size_t>(count) * recordLength + 1);
  for (int n = 1; n <= count; ++n) {
    std::string record(recordLength, ' ');
    if (deletedEvery > 0 && n % deletedEvery == 0) record[0] = '*';
    const std::string item = "Item " + std::to_string(n);
    record.replace(1, item.size(), item);
    bytes += record;
  }
  bytes += '\x1A';
  for (int i = 0; i < 4; ++i) bytes[4 + static_cast<size_t>(i)] = static_cast<char>((count >> (8 * i)) & 0xFF);
  TempRoot::WriteFile(file, bytes);
}

// The tags of a production index, as the engine reads them.
std::vector<std::string> IndexTags(const fs::path& dbf) {
  TTable t;
  t.SetDatabaseName(dbf.parent_path().string());
  t.SetTableName(dbf.stem().string());
  t.Open();
  std::vector<std::string> tags;
  for (int i = 0; i < t.IndexDefs().Count(); ++i) tags.push_back(t.IndexDefs()[i].Name());
  return tags;
}

TEST_F(TMainCommandsTest, PackAndRebuildWorkOnTheirOwnFileOrLeaveItWhenAnotherCopyHasIt) {
  const fs::path file = root.path() / "HOME.DBF";
  WriteItemTable(file, 5, 3);  // record 3 deleted
  WriteIni("[Misc]\r\nShow Tips=No\r\nLast Database=" + file.string() + "\r\n");
  auto main = Shown();
  ASSERT_EQ(main->MyTable.TableName(), "HOME");
  EXPECT_EQ(main->CountLabel->text(), "4");
  EXPECT_EQ(HeaderCount(file), 5u);

  struct Case {
    const char* what;
    QAction* item;
    std::string_view question, refusal;
  } cases[] = {{"pack", main->MenuPack, kPackQuestion, kPackRefused},
               {"rebuild", main->MenuRebuild, kRebuildQuestion, kRebuildRefused}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    // A second copy of the program has the file open.
    auto other = std::make_unique<TTable>();
    other->SetDatabaseName(root.path().string());
    other->SetTableName("HOME");
    other->Open();
    const std::string before = TempRoot::ReadFile(file);
    ui->calls.clear();
    ui->answers = {Answer::Yes, Answer::Ok};
    c.item->trigger();
    EXPECT_EQ(ui->MessageTexts(), (std::vector<std::string>{std::string(c.question), std::string(c.refusal)}));
    EXPECT_EQ(ui->MessageCaptions(), (std::vector<std::string>{"Confirm", "Error"}));
    EXPECT_EQ(TempRoot::ReadFile(file), before);
    EXPECT_TRUE(main->MyTable.Active());
    EXPECT_FALSE(main->MyTable.Exclusive());
    EXPECT_EQ(main->MyTable.IndexName(), "NewIndex");
    other.reset();

    // Alone with it: done.
    ui->calls.clear();
    ui->answers = {Answer::Yes};
    c.item->trigger();
    EXPECT_EQ(ui->MessageTexts(), std::vector<std::string>{std::string(c.question)});
    EXPECT_EQ(HeaderCount(file), 4u);
    EXPECT_EQ(main->CountLabel->text(), "4");
    EXPECT_TRUE(main->MyTable.Active());
    EXPECT_FALSE(main->MyTable.Exclusive());
    EXPECT_EQ(main->MyTable.IndexName(), "NewIndex");
    EXPECT_EQ(IndexTags(file), std::vector<std::string>{"NEWINDEX"});
  }
  // Answering No does nothing.
  ui->calls.clear();
  ui->answers = {Answer::No};
  const std::string before = TempRoot::ReadFile(file);
  main->MenuPack->trigger();
  EXPECT_EQ(TempRoot::ReadFile(file), before);
}

TEST_F(TMainCommandsTest, ALargePackAndRebuildShowTheirProgressAdvancing) {
  const fs::path file = root.path() / "LARGE.DBF";
  WriteItemTable(file, 100000, 10);
  WriteIni("[Misc]\r\nShow Tips=No\r\nLast Database=" + file.string() + "\r\n");
  auto main = Shown();
  ASSERT_EQ(main->CountLabel->text(), "90000");

  // The grid as it shows before the work: the user sees it so while the work
  // runs, however the table is closed and reopened meanwhile.
  const QRect gridArea(main->ViewerGrid->mapTo(main.get(), QPoint(0, 0)), main->ViewerGrid->size());
  const auto rgb = [](const QPixmap& p) { return p.toImage().convertToFormat(QImage::Format_RGB32); };
  QImage gridBefore;

  // The progress window as it appears: its caption and every count it shows,
  // and the screen (the windows' backing stores, what was painted) at its
  // first step and half way.
  struct Seen {
    std::string caption;
    std::vector<uint32_t> done;
    uint32_t total = 0;
    bool modal = false;
    bool busy = false;
    std::vector<QImage> progressOnScreen, progressDrawn, gridOnScreen, gridDrawn;
    QImage gridBefore;  // as the grid showed before the command
  };
  std::vector<Seen> seen;
  ScriptedUi* scripted = ui.get();
  struct Watch : QObject {
    std::function<void(TProgress&)> onShow;
    bool eventFilter(QObject* o, QEvent* e) override {
      if (e->type() == QEvent::Show)
        if (auto* p = qobject_cast<TProgress*>(o)) onShow(*p);
      return false;
    }
  } watch;
  TMain* shown = main.get();
  watch.onShow = [&, scripted, shown](TProgress& p) {
    seen.push_back({p.windowTitle().toStdString(), {}, 0, p.windowModality() == Qt::ApplicationModal,
                    scripted->busyDepth > 0, {}, {}, {}, {}, gridBefore});
    QObject::connect(&p, &TProgress::Stepped, &p, [&, shown](uint32_t done, uint32_t total) {
      Seen& s = seen.back();
      s.done.push_back(done);
      s.total = total;
      const bool half = s.progressOnScreen.size() == 1 && uint64_t{done} * 2 >= total;
      if (s.done.size() != 1 && !half) return;
      QScreen* screen = p.screen();
      s.progressOnScreen.push_back(rgb(screen->grabWindow(p.winId())));
      s.progressDrawn.push_back(rgb(p.grab()));
      s.gridOnScreen.push_back(rgb(screen->grabWindow(shown->winId())).copy(gridArea));
      s.gridDrawn.push_back(rgb(shown->grab(gridArea)));
      const std::string name = "tprogress_" + std::to_string(seen.size()) + (half ? "_half" : "_start");
      screen->grabWindow(p.winId()).save(QString::fromStdString(testing_support::ShotPath(name + ".png")));
      screen->grabWindow(shown->winId()).save(QString::fromStdString(testing_support::ShotPath(name + "_main.png")));
    });
  };
  qApp->installEventFilter(&watch);
  ui->answers = {Answer::Yes, Answer::Yes};
  gridBefore = rgb(main->grab(gridArea));
  main->MenuPack->trigger();
  EXPECT_EQ(main->CountLabel->text(), "90000");
  EXPECT_EQ(HeaderCount(file), 90000u);
  QApplication::processEvents();
  gridBefore = rgb(main->grab(gridArea));
  gridBefore.save(QString::fromStdString(testing_support::ShotPath("tprogress_grid_after_pack.png")));
  main->MenuRebuild->trigger();
  EXPECT_EQ(main->CountLabel->text(), "90000");
  qApp->removeEventFilter(&watch);

  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0].caption, "Pack Database");
  EXPECT_EQ(seen[1].caption, "Rebuild Indexes");
  for (const Seen& s : seen) {
    SCOPED_TRACE(s.caption);
    EXPECT_TRUE(s.modal);
    EXPECT_TRUE(s.busy);
    ASSERT_GT(s.done.size(), 50u);
    EXPECT_EQ(s.done.front(), 0u);
    EXPECT_EQ(s.done.back(), s.total);
    for (size_t i = 1; i < s.done.size(); ++i) EXPECT_GT(s.done[i], s.done[i - 1]);
    ASSERT_EQ(s.progressOnScreen.size(), 2u);
    for (size_t i = 0; i < 2; ++i) {
      // On the screen as drawn: the window with its text and bar, from the
      // first step on; and the grid with the columns it had.
      EXPECT_FALSE(s.progressOnScreen[i].isNull()) << i;
      EXPECT_EQ(s.progressOnScreen[i], s.progressDrawn[i]) << i;
      EXPECT_EQ(s.gridOnScreen[i], s.gridBefore) << i;
      EXPECT_EQ(s.gridDrawn[i], s.gridBefore) << i;
    }
    // The bar has moved between the two pictures.
    EXPECT_NE(s.progressOnScreen[0], s.progressOnScreen[1]);
  }
  EXPECT_EQ(ui->busyDepth, 0);
  main->MyTable.First();
  EXPECT_EQ(main->MyTable.FieldByName("Item")->AsString().substr(0, 5), "Item ");
}

}  // namespace
}  // namespace keldro

namespace keldro {
namespace {

TEST_F(TMainCommandsTest, NewDatabaseRefusesOtherEndingsAndCreatesTheTwentyTwoFieldsWithTheirIndex) {
  WriteIni("[Misc]\r\nShow Tips=No\r\n");
  auto main = Shown();
  const fs::path dir = root.path() / "DATA";
  fs::create_directories(dir);
  ui->files = {FileDialogResult{true, (dir / "NEWDB.TXT").string(), 1}};
  ui->answers = {Answer::Ok};
  Press(main.get(), "Ctrl+W");
  EXPECT_EQ(ui->MessageTexts(), std::vector<std::string>{"Invalid file type selected."});
  EXPECT_EQ(ui->MessageCaptions(), std::vector<std::string>{"Error"});
  EXPECT_TRUE(fs::is_empty(dir));
  ASSERT_EQ(ui->calls[0].kind, ScriptedUi::Call::kFile);
  EXPECT_TRUE(ui->calls[0].file.save);
  EXPECT_TRUE(ui->calls[0].file.overwritePrompt);
  EXPECT_TRUE(ui->calls[0].file.pathMustExist);
  EXPECT_EQ(ui->calls[0].file.filter, "Database Files (*.DBF)|*.DBF");

  ui->calls.clear();
  main->EnableEndSearch();
  ui->files = {FileDialogResult{true, (dir / "NEWDB.DBF").string(), 1}};
  Press(main.get(), "Ctrl+W");
  EXPECT_TRUE(ui->MessageTexts().empty());
  EXPECT_FALSE(SearchActive);
  EXPECT_EQ(main->windowTitle().toStdString(), "Stashwell Inventory 95 (NEWDB)");
  EXPECT_EQ(Settings.lastDatabase, (dir / "NEWDB.DBF").string());
  EXPECT_EQ(Settings.lastFiles[0], Program("MASTER.DBF").string());
  ASSERT_TRUE(main->MyTable.Active());
  ASSERT_EQ(main->MyTable.FieldCount(), kItemFieldCount);
  for (int i = 0; i < kItemFieldCount; ++i)
    EXPECT_TRUE(FieldNamesEqual(main->MyTable.Fields(i)->FieldName(), ItemFields[static_cast<size_t>(i)].name));
  EXPECT_EQ(main->MyTable.IndexName(), "NewIndex");
  EXPECT_TRUE(fs::exists(dir / "NEWDB.MDX"));
  EXPECT_EQ(IndexTags(dir / "NEWDB.DBF"), std::vector<std::string>{"NEWINDEX"});
  EXPECT_EQ(main->CountLabel->text(), "0");
  main->close();
  EXPECT_EQ(Ini("Misc", "Last Database"), (dir / "NEWDB.DBF").string());
}

TEST_F(TMainCommandsTest, NewDatabaseOverTheOpenOneReplacesItOrLeavesItOpenAndWhole) {
  WriteIni("[Misc]\r\nShow Tips=No\r\n");
  auto main = Shown();
  AddItems(main->MyTable, {"Lamp", "Desk"});
  const fs::path master = Program("MASTER.DBF");

  // Another copy of the program has it: the creation is refused and the
  // database stays open with its records.
  {
    TTable other;
    other.SetDatabaseName(root.programDir().string());
    other.SetTableName("MASTER");
    other.Open();
    const std::string before = TempRoot::ReadFile(master);
    ui->files = {FileDialogResult{true, master.string(), 1}};
    ui->answers = {Answer::Ok};
    Press(main.get(), "Ctrl+W");
    EXPECT_EQ(ui->MessageCaptions(), std::vector<std::string>{"Error"});
    EXPECT_EQ(TempRoot::ReadFile(master), before);
    EXPECT_TRUE(main->MyTable.Active());
    EXPECT_EQ(main->CountLabel->text(), "2");
  }
  // Alone with it: the confirmed overwrite gives an empty database.
  ui->calls.clear();
  ui->files = {FileDialogResult{true, master.string(), 1}};
  Press(main.get(), "Ctrl+W");
  EXPECT_TRUE(ui->MessageTexts().empty());
  EXPECT_TRUE(main->MyTable.Active());
  EXPECT_EQ(main->CountLabel->text(), "0");
  EXPECT_EQ(HeaderCount(master), 0u);
}

// The start-up leaves the count of the table (a read of every record) to a
// thread started once the window has painted; a count made after that, or
// a pack, must not be undone or refused because of it.
TEST_F(TMainCommandsTest, TheStartCountComesFromAThreadAndGivesWayToLaterWork) {
  const fs::path file = root.path() / "LARGE.DBF";
  // Large enough that a count in record order is left to the thread.
  WriteItemTable(file, 30000, 10);
  WriteIni("[Misc]\r\nShow Tips=No\r\nLast Database=" + file.string() + "\r\n[Sort Order]\r\nPrimary Sort=0\r\n");
  auto startShown = [] {
    auto main = std::make_unique<TMain>(TMain::StartOptions{{"keldro"}, QSize(800, 600)});
    EXPECT_EQ(main->CountLabel->text(), "");  // built: no count yet
    main->show();
    QApplication::processEvents();
    return main;
  };
  auto main = startShown();
  // Nothing here counts: the thread's answer arrives as an event.
  QElapsedTimer waited;
  waited.start();
  while (main->CountLabel->text().isEmpty() && waited.elapsed() < 30000) QApplication::processEvents();
  EXPECT_EQ(main->CountLabel->text(), "27000");
  main->grab().save(QString::fromStdString(testing_support::ShotPath("tmain_count.png")));

  // A record added while the thread may still count: the window's own later
  // count stands, whatever the thread answers after it.
  main = startShown();
  AddItems(main->MyTable, {"Lamp"});
  main->DisplayCount();
  main->FinishCount();
  QApplication::processEvents();
  EXPECT_EQ(main->CountLabel->text(), "27001");

  // A pack at once: the counting cursor is gone before the table is taken.
  main = startShown();
  ui->answers = {Answer::Yes};
  main->MenuPack->trigger();
  EXPECT_EQ(ui->MessageTexts(), std::vector<std::string>{std::string(kPackQuestion)});  // no refusal
  EXPECT_EQ(HeaderCount(file), 27001u);
  main->FinishCount();
  QApplication::processEvents();
  EXPECT_EQ(main->CountLabel->text(), "27001");
}

TEST_F(TMainCommandsTest, UpdateDatabaseShowsAnotherProgramsRecordAndKeepsTheSearch) {
  WriteIni("[Misc]\r\nShow Tips=No\r\n");
  auto main = Shown();
  AddItems(main->MyTable, {"Lamp", "Desk"});
  // A search for "lamp": one of the two.
  modals->On("MySearch", [&](QDialog&) {
    main->MySearch->SetCellText(1, "lamp");
    main->MySearch->OkButton->click();
  });
  main->MenuSearch->trigger();
  ASSERT_TRUE(SearchActive);
  EXPECT_EQ(main->CountLabel->text(), "1");
  {
    TTable other;
    other.SetDatabaseName(root.programDir().string());
    other.SetTableName("MASTER");
    other.Open();
    other.Append();
    other.FieldByName("Item")->SetAsString("Desk lamp");
    other.Post();
  }
  Press(main.get(), "Ctrl+Z");
  EXPECT_EQ(main->CountLabel->text(), "2");
  EXPECT_TRUE(SearchActive);
  EXPECT_TRUE(main->SearchOnLabel->isVisible());
  EXPECT_TRUE(main->MenuEndSearch->isEnabled());
  EXPECT_TRUE(ui->MessageTexts().empty());
}

TEST_F(TMainCommandsTest, TheChosenFontsShowInTheWindowAndAreWrittenAtExit) {
  WriteIni("[Misc]\r\nShow Tips=No\r\nButton Bar=2\r\n");
  auto main = Shown();
  struct Case {
    const char* shortcut;
    QWidget* sample;
    const char* section;
  } cases[] = {{"Shift+F8", main->Count2Label, "Label Font"},
               {"Shift+F10", main->AddButton, "Button Font"},
               {"Shift+F9", nullptr, "Edit Font"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.shortcut);
    platform::ui::FontSpec chosen;
    chosen.name = "Courier";
    chosen.bold = true;
    chosen.italic = true;
    ui->fonts = {FontDialogResult{true, chosen}};
    Press(main.get(), c.shortcut);
    ASSERT_TRUE(ui->fonts.empty());
    if (c.sample) {
      EXPECT_EQ(c.sample->font().family(), "Courier");
      EXPECT_TRUE(c.sample->font().bold());
    }
    // Cancel changes nothing.
    ui->fonts = {FontDialogResult{}};
    Press(main.get(), c.shortcut);
  }
  EXPECT_EQ(Settings.editFont.name, "Courier");
  main->close();
  for (const Case& c : cases) {
    EXPECT_EQ(Ini(c.section, "Font Name"), "Courier") << c.section;
    EXPECT_EQ(Ini(c.section, "Bold"), "Yes") << c.section;
    EXPECT_EQ(Ini(c.section, "Italic"), "Yes") << c.section;
  }
}

}  // namespace
}  // namespace keldro

namespace keldro {
namespace {

TEST_F(TMainCommandsTest, TheTipShowsAtTheFirstActivationOnlyAndCanBeTurnedOff) {
  int first = 0;
  std::vector<std::string> texts;
  modals->On("TipOfDay", [&](QDialog& d) {
    auto& tip = static_cast<TTipOfDay&>(d);
    EXPECT_EQ(tip.windowTitle(), "Tip of the Day");
    EXPECT_EQ(tip.HeadingLabel->text(), "Did you know?");
    EXPECT_TRUE(tip.ShowTips->isChecked());
    EXPECT_EQ(tip.ShowTips->text(), "&Show Tips at Startup");
    first = tip.TipNumber();
    tip.grab().save(QString::fromStdString(testing_support::ShotPath("ttipofday.png")));
    for (int i = 0; i < kTipCount; ++i) {
      texts.push_back(tip.TipComment->text().toStdString());
      tip.NextTipButton->click();
    }
    EXPECT_EQ(tip.TipNumber(), first);
    tip.CloseButton->click();
  });
  auto main = Shown();
  ASSERT_EQ(modals->shown, std::vector<std::string>{"TipOfDay"});
  ASSERT_EQ(texts.size(), 24u);
  for (size_t i = 0; i < texts.size(); ++i)
    EXPECT_EQ(texts[i], TipText((first - 1 + static_cast<int>(i)) % kTipCount + 1)) << i;

  // Later activations, after a dialog or not, show no tip.
  modals->On("AboutBox", [](QDialog& d) { d.accept(); });
  main->MenuAbout->trigger();
  QEvent activate(QEvent::WindowActivate);
  QApplication::sendEvent(main.get(), &activate);
  QApplication::processEvents();
  EXPECT_EQ(modals->shown, (std::vector<std::string>{"TipOfDay", "AboutBox"}));

  // On request, and turned off there.
  modals->On("TipOfDay", [](QDialog& d) {
    auto& tip = static_cast<TTipOfDay&>(d);
    tip.ShowTips->setChecked(false);
    tip.CloseButton->click();
  });
  main->MenuTips->trigger();
  EXPECT_FALSE(Settings.showTips);
  main->close();
  main.reset();
  EXPECT_EQ(Ini("Misc", "Show Tips"), "No");
  modals->shown.clear();
  auto again = Shown();
  EXPECT_TRUE(modals->shown.empty());
}

TEST_F(TMainCommandsTest, TheAboutAndOtherProductsWindowsShowTheirTextsInTheMainColours) {
  WriteIni("[Misc]\r\nShow Tips=No\r\n[Main Window Color]\r\nMain Background=8421376\r\nMajor Title=255\r\n");
  auto main = Shown();
  modals->On("AboutBox", [](QDialog& d) {
    auto& about = static_cast<TAboutBox&>(d);
    EXPECT_EQ(about.windowTitle(), "About");
    EXPECT_EQ(about.ProductName->text(), "Stashwell Inventory 95");
    EXPECT_EQ(about.Version->text(), QString("Version ") + ProgramVersion());
    EXPECT_EQ(about.OKButton->text(), "OK");
    EXPECT_EQ(about.palette().color(QPalette::Window), QColor(0, 128, 128));
    EXPECT_EQ(about.ProductName->palette().color(QPalette::WindowText), QColor(255, 0, 0));
    // Centred on the 800 x 600 screen.
    EXPECT_NEAR(about.frameGeometry().center().x(), 400, 2);
    about.grab().save(QString::fromStdString(testing_support::ShotPath("taboutbox.png")));
    about.OKButton->click();
  });
  modals->On("Products", [](QDialog& d) {
    auto& products = static_cast<TProducts&>(d);
    EXPECT_EQ(products.windowTitle(), "Other Products");
    EXPECT_FALSE(products.Information->text().isEmpty());
    EXPECT_EQ(products.OKButton->text(), "OK");
    EXPECT_EQ(products.palette().color(QPalette::Window), QColor(0, 128, 128));
    products.grab().save(QString::fromStdString(testing_support::ShotPath("tproducts.png")));
    products.OKButton->click();
  });
  main->MenuAbout->trigger();
  main->MenuProducts->trigger();
  EXPECT_EQ(modals->shown, (std::vector<std::string>{"AboutBox", "Products"}));
}

TEST_F(TMainCommandsTest, PrinterSetupChangesTheInstalledPrinterOrSaysThereIsNone) {
  WriteIni("[Misc]\r\nShow Tips=No\r\n");
  auto main = Shown();
  auto printer = std::make_shared<report::ImageReportPrinter>();
  report::InstallPrinter(printer);
  modals->On("PrinterSetup", [](QDialog& d) {
    auto& setup = static_cast<TPrinterSetup&>(d);
    EXPECT_EQ(setup.windowTitle(), "Print Setup");
    EXPECT_EQ(setup.PrinterName->text(), "Image Printer");
    EXPECT_TRUE(setup.Portrait->isChecked());
    setup.Landscape->setChecked(true);
    setup.Copies->setValue(2);
    setup.grab().save(QString::fromStdString(testing_support::ShotPath("tprintersetup.png")));
    setup.OKButton->click();
  });
  modals->On("PrinterSetup", [](QDialog& d) {
    auto& setup = static_cast<TPrinterSetup&>(d);
    EXPECT_TRUE(setup.Landscape->isChecked());
    setup.Portrait->setChecked(true);
    setup.CancelButton->click();
  });
  Press(main.get(), "Ctrl+U");
  EXPECT_EQ(printer->Orientation(), report::poLandScape);
  EXPECT_EQ(printer->Copies(), 2);
  Press(main.get(), "Ctrl+U");
  EXPECT_EQ(printer->Orientation(), report::poLandScape);

  report::InstallPrinter(nullptr);
  ui->answers = {Answer::Ok};
  Press(main.get(), "Ctrl+U");
  EXPECT_EQ(ui->MessageTexts(), std::vector<std::string>{kNoPrinterMessage});
  EXPECT_EQ(ui->MessageCaptions(), std::vector<std::string>{"Error"});
  report::InstallPrinter(std::make_shared<report::ImageReportPrinter>());
}

}  // namespace
}  // namespace keldro
