#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QListWidget>
#include <QScrollBar>
#include <QTest>
#include <QToolButton>
#include <filesystem>

#include "cfg_app.h"
#include "cfg_notebook.h"
#include "cfg_prop.h"
#include "client_wnd.h"
#include "combo_edit.h"
#include "combo_lbox.h"
#include "list_panel.h"
#include "nice_combo_box.h"
#include "prop_edit.h"
#include "properties_window.h"
#include "tab_control.h"
#include "core/config_model.h"
#include "core/engine_binding.h"
#include "platform/paths.h"
#include "platform/registry.h"
#include "platform/text.h"
#include "platform/ui.h"
#include "dialog_script.h"
#include "temp_root.h"
#include "shot_path.h"

namespace fs = std::filesystem;
using namespace vtxcfg;
using testing_support::TempRoot;
namespace reg = platform::registry;

namespace {

fs::path BinDir() { return fs::read_symlink("/proc/self/exe").parent_path(); }

void SetEngineValue(const std::string& name, const std::string& value) {
  reg::Key key;
  ASSERT_EQ(reg::CreateKey(reg::Hive::LocalMachine, "Software\\Vantrix\\Database Engine", key), reg::kSuccess);
  ASSERT_EQ(key.SetString(name, value), reg::kSuccess);
}

// Rows for the engine's add entry: 62-byte descriptors and 128-byte values.
void AddNode(uint32_t h, const std::string& path, const std::vector<std::pair<std::string, std::string>>& params) {
  std::vector<uint8_t> rows(params.size() * 62, 0);
  std::vector<char> values(params.size() * 128, 0);
  for (size_t i = 0; i < params.size(); ++i) {
    uint8_t* r = rows.data() + i * 62;
    r[0] = static_cast<uint8_t>(i);
    std::memcpy(r + 2, params[i].first.data(), params[i].first.size());
    r[34] = 1;
    r[42] = static_cast<uint8_t>((i * 128) & 0xFF);
    r[43] = static_cast<uint8_t>((i * 128) >> 8);
    r[44] = 128;
    std::memcpy(values.data() + i * 128, params[i].second.data(), params[i].second.size());
  }
  ASSERT_EQ(Engine().AddConfigNode(h, path.c_str(), static_cast<uint16_t>(params.size()), rows.data(),
                                   values.data()),
            0)
      << path;
}

class Pages : public ::testing::Test {
 protected:
  TempRoot root;
  std::shared_ptr<platform::ui::ScriptedUi> ui = std::make_shared<platform::ui::ScriptedUi>();
  DialogScript dialogs;
  std::unique_ptr<TCfgApp> app;
  TCfgNotebook* notebook = nullptr;

  void SetUp() override {
    platform::ui::Install(ui);
    SetEngineValue("DLLPATH", platform::Utf8ToCp1252(BinDir().string()));
    app = std::make_unique<TCfgApp>();
    ASSERT_TRUE(app->InitInstance());
    // The configuration: the engine's defaults and a few large nodes.
    std::string file = platform::Utf8ToCp1252((platform::SystemDir() / "ORBEX.CFG").string());
    uint32_t h = 0;
    ASSERT_EQ(Engine().OpenConfigFile(platform::AnsiToOem(file).c_str(), 1, &h), 0);
    std::vector<std::pair<std::string, std::string>> sixty;
    for (int i = 1; i <= 60; ++i) sixty.emplace_back("PARAM " + std::to_string(i), std::to_string(i));
    AddNode(h, "\\DRIVERS\\WIDE\\INIT", sixty);
    for (int i = 1; i <= 12; ++i)
      AddNode(h, "\\DATABASES\\BIG\\NODE" + std::to_string(100 + i), {{"P", std::to_string(i)}});
    AddNode(h, "\\DATABASES\\MYDATA\\DB INFO", {{"TYPE", "STANDARD"}, {"PATH", "C:\\DATA"}});
    ASSERT_EQ(Engine().CloseConfigFile(&h, 1, 0, 1), 0);
    app->InitMainWindow();
    ASSERT_TRUE(app->Loaded());
    notebook = app->MainWindow()->Client()->Notebook();
  }
  void TearDown() override {
    app.reset();
    EXPECT_TRUE(ui->unexpected.empty()) << ui->unexpected.front();
    EXPECT_TRUE(dialogs.unexpected.empty()) << dialogs.unexpected.front();
  }

  TPanel* Page(const char* className) {
    for (int i = 0; i < notebook->PageCount(); ++i)
      if (notebook->Page(i)->objectName() == className) return notebook->Page(i);
    return nullptr;
  }
  TCfgProp* RowNamed(TPanel* page, const std::string& name, int* index = nullptr) {
    PropertiesWindow* list = page->Properties();
    for (int i = 0; i < list->RowCount(); ++i)
      if (list->Row(i)->name() == name) {
        if (index) *index = i;
        return static_cast<TCfgProp*>(list->Row(i));
      }
    return nullptr;
  }
  void Choose(TListPanel* page, const char* item) {
    auto found = page->List()->findItems(item, Qt::MatchExactly);
    ASSERT_FALSE(found.isEmpty()) << item;
    page->List()->setCurrentItem(found.front());
  }
  // Opens the editor of a row of a page, on its page.
  TPropEdit* Edit(TPanel* page, const std::string& name) {
    notebook->SelectPage(page->objectName() == "TSystemPanel" ? 1075 : 1073);
    int index = -1;
    EXPECT_NE(RowNamed(page, name, &index), nullptr) << name;
    page->Properties()->SelectRow(index);
    return page->Properties()->Row(index)->editor();
  }
  std::string Entry(const std::string& path, const std::string& name) {
    std::string value;
    GetEntryValue(path, name, value);
    return value;
  }
};

TEST_F(Pages, TabsRunDriversToNumberWithDriversSelectedAtStart) {
  std::vector<std::string> tabs;
  for (int i = 0; i < notebook->Tabs()->count(); ++i) tabs.push_back(notebook->Tabs()->tabText(i).toStdString());
  EXPECT_EQ(tabs, (std::vector<std::string>{"Drivers", "Aliases", "System", "Date", "Time", "Number"}));
  EXPECT_EQ(notebook->CurrentIndex(), 0);
  EXPECT_EQ(notebook->CurrentPage()->objectName(), "TDriverPanel");
  EXPECT_TRUE(notebook->CurrentPage()->isVisible());
  EXPECT_EQ(notebook->Tabs()->shape(), QTabBar::RoundedSouth);
  EXPECT_EQ(notebook->Tabs()->geometry().bottom(), notebook->rect().bottom());
  notebook->SelectPage(1081);
  EXPECT_EQ(notebook->CurrentPage()->objectName(), "TNumberPanel");
  EXPECT_FALSE(notebook->Page(0)->isVisible());
  auto* drivers = static_cast<TListPanel*>(Page("TDriverPanel"));
  std::vector<std::string> names;
  for (int i = 0; i < drivers->List()->count(); ++i) names.push_back(drivers->List()->item(i)->text().toStdString());
  EXPECT_EQ(names, (std::vector<std::string>{"TESSALY", "DBASE", "ASCIIDRV", "ORACLE", "WIDE"}));
  EXPECT_EQ(drivers->SelectedName(), "TESSALY");
}

TEST_F(Pages, LanguageDriverChoicesFollowTheNode) {
  size_t all = LanguageDrivers().drivers.size(), dbase = 0;
  for (const LangDriverInfo& d : LanguageDrivers().drivers) dbase += d.valueB == 2;
  ASSERT_GT(all, dbase);
  ASSERT_GT(dbase, 0u);
  auto* drivers = static_cast<TListPanel*>(Page("TDriverPanel"));
  Choose(drivers, "DBASE");
  TCfgProp* onDbase = RowNamed(drivers, "LANGDRIVER");
  ASSERT_NE(onDbase, nullptr);
  EXPECT_EQ(onDbase->Choices().size(), dbase);
  for (const std::string& c : onDbase->Choices()) EXPECT_EQ(c.rfind("dBASE", 0), 0u) << c;
  EXPECT_EQ(onDbase->value(), "dBASE ENU cp437");  // shown by description
  TCfgProp* onSystem = RowNamed(Page("TSystemPanel"), "LANGDRIVER");
  ASSERT_NE(onSystem, nullptr);
  EXPECT_EQ(onSystem->Choices().size(), all);
  TPropEdit* editor = Edit(drivers, "LANGDRIVER");
  ASSERT_NE(editor, nullptr);
  EXPECT_EQ(static_cast<size_t>(editor->Combo()->List()->count()), dbase);
  EXPECT_NE(editor->Combo()->Arrow(), nullptr);
}

TEST_F(Pages, ChoiceRulesByParameterName) {
  auto* drivers = static_cast<TListPanel*>(Page("TDriverPanel"));
  Choose(drivers, "ORACLE");
  TCfgProp* mode = RowNamed(drivers, "OPEN MODE");
  ASSERT_NE(mode, nullptr);
  EXPECT_EQ(mode->Choices(), (std::vector<std::string>{"READ/WRITE", "READ ONLY", " "}));
  EXPECT_EQ(RowNamed(drivers, "NET PROTOCOL")->Choices().size(), 11u);
  // The drop-down: a chosen item becomes the value and is committed.
  TPropEdit* modeEditor = Edit(drivers, "OPEN MODE");
  ASSERT_NE(modeEditor, nullptr);
  QTest::keyClick(modeEditor->Combo()->Edit(), Qt::Key_Down, Qt::AltModifier);
  TComboLBox* popup = modeEditor->Combo()->List();
  ASSERT_TRUE(popup->isVisible());
  EXPECT_EQ(popup->height(), TNiceComboBox::kDropDownHeight);
  QListWidgetItem* readOnly = popup->item(1);
  QTest::mouseClick(popup->viewport(), Qt::LeftButton, {}, popup->visualItemRect(readOnly).center());
  QApplication::processEvents();
  EXPECT_FALSE(popup->isVisible());
  EXPECT_EQ(Entry("\\DRIVERS\\ORACLE\\DB OPEN", "OPEN MODE"), "READ ONLY");
  EXPECT_TRUE(RowNamed(drivers, "SERVER NAME")->Choices().empty());
  Choose(drivers, "TESSALY");
  TCfgProp* netDir = RowNamed(drivers, "NET DIR");
  ASSERT_NE(netDir, nullptr);
  EXPECT_TRUE(netDir->Browse());
  EXPECT_TRUE(netDir->Choices().empty());
  TPropEdit* editor = Edit(drivers, "NET DIR");
  ASSERT_NE(editor, nullptr);
  ASSERT_NE(editor->DotsButton(), nullptr);
  EXPECT_EQ(editor->Combo()->Arrow(), nullptr);
  // "..." takes the directory of the chosen file as the value.
  ui->files.push_back({true, "/srv/net/TESSALY.NET", 1});
  editor->DotsButton()->click();
  ASSERT_EQ(ui->calls.back().kind, platform::ui::ScriptedUi::Call::kFile);
  EXPECT_EQ(ui->calls.back().file.title, "Tessaly Net File");
  EXPECT_EQ(ui->calls.back().file.defaultExt, "NET");
  QApplication::processEvents();
  EXPECT_EQ(Entry("\\DRIVERS\\TESSALY\\INIT", "NET DIR"), "/srv/net");
  EXPECT_EQ(RowNamed(Page("TSystemPanel"), "DEFAULT DRIVER")->Choices(),
            (std::vector<std::string>{"TESSALY", "DBASE", "ASCIIDRV"}));
}

TEST_F(Pages, ParameterAndNodeLimitsOfTheListPages) {
  auto* drivers = static_cast<TListPanel*>(Page("TDriverPanel"));
  Choose(drivers, "WIDE");
  EXPECT_EQ(drivers->Properties()->RowCount(), 50);
  EXPECT_EQ(drivers->Properties()->Row(49)->name(), "PARAM 50");
  auto* aliases = static_cast<TListPanel*>(Page("TAliasPanel"));
  Choose(aliases, "BIG");
  ASSERT_EQ(aliases->Properties()->RowCount(), 10);
  EXPECT_EQ(static_cast<TCfgProp*>(aliases->Properties()->Row(9))->path(), "\\DATABASES\\BIG\\NODE110");
}

TEST_F(Pages, TypedTextKeepsTheEditAndRowLimits) {
  TPanel* system = Page("TSystemPanel");
  TPropEdit* editor = Edit(system, "SHAREDMEMLOCATION");
  ASSERT_NE(editor, nullptr);
  QLineEdit* edit = editor->Combo()->Edit();
  edit->clear();
  QTest::keyClicks(edit, QString(85, 'a'));
  EXPECT_EQ(edit->text().size(), 80);
  QTest::keyClick(edit, Qt::Key_Return);
  QApplication::processEvents();
  EXPECT_EQ(Entry("\\SYSTEM\\INIT", "SHAREDMEMLOCATION"), std::string(79, 'a'));
  EXPECT_TRUE(IsConfigModified());
}

TEST_F(Pages, EscapeCommitsTheTextShownAndMarksTheConfigurationModified) {
  TPropEdit* editor = Edit(Page("TSystemPanel"), "MAXFILEHANDLES");
  ASSERT_NE(editor, nullptr);
  EXPECT_FALSE(IsConfigModified());
  QLineEdit* edit = editor->Combo()->Edit();
  edit->selectAll();
  QTest::keyClicks(edit, "64");
  QTest::keyClick(edit, Qt::Key_Escape);
  QApplication::processEvents();
  EXPECT_EQ(Entry("\\SYSTEM\\INIT", "MAXFILEHANDLES"), "64");
  EXPECT_TRUE(IsConfigModified());
  EXPECT_EQ(edit->selectedText(), "64");
}

TEST_F(Pages, APasteChangesTheValueLikeTyping) {
  TPropEdit* editor = Edit(Page("TSystemPanel"), "MEMSIZE");
  ASSERT_NE(editor, nullptr);
  QApplication::clipboard()->setText("32");
  editor->Combo()->Edit()->selectAll();
  editor->Combo()->Edit()->paste();
  int index = -1;
  RowNamed(Page("TSystemPanel"), "MEMSIZE", &index);
  Page("TSystemPanel")->Properties()->SelectRow(index + 1);  // leaving the row commits it
  EXPECT_EQ(Entry("\\SYSTEM\\INIT", "MEMSIZE"), "32");
}

TEST_F(Pages, ACommitForARowThatNoLongerExistsIsDropped) {
  TPanel* system = Page("TSystemPanel");
  TPropEdit* editor = Edit(system, "MINBUFSIZE");
  ASSERT_NE(editor, nullptr);
  editor->Combo()->Edit()->selectAll();
  QTest::keyClicks(editor->Combo()->Edit(), "99");
  QTest::keyClick(editor->Combo()->Edit(), Qt::Key_Return);  // the commit is queued
  system->Refill(true);                                       // and the rows are rebuilt first
  QApplication::processEvents();
  EXPECT_EQ(Entry("\\SYSTEM\\INIT", "MINBUFSIZE"), "128");
  EXPECT_FALSE(IsConfigModified());
}

TEST_F(Pages, UpAndDownMoveBetweenRowsButNotPastTheEnds) {
  TPanel* date = Page("TDatePanel");
  notebook->SelectPage(1076);
  PropertiesWindow* list = date->Properties();
  ASSERT_GE(list->RowCount(), 2);
  list->SelectRow(0);
  QTest::keyClick(list->Row(0)->editor()->Combo()->Edit(), Qt::Key_Up);
  QApplication::processEvents();
  EXPECT_EQ(list->Selected(), 0);
  QTest::keyClick(list->Row(0)->editor()->Combo()->Edit(), Qt::Key_Down);
  QApplication::processEvents();
  EXPECT_EQ(list->Selected(), 1);
  int last = list->RowCount() - 1;
  list->SelectRow(last);
  QTest::keyClick(list->Row(last)->editor()->Combo()->Edit(), Qt::Key_Down);
  QApplication::processEvents();
  EXPECT_EQ(list->Selected(), last);
  EXPECT_EQ(list->Row(0)->editor(), nullptr);
}

TEST_F(Pages, F1OnTheFixedPagesAsksForTheirHelpContexts) {
  struct Case {
    int tab;
    uint32_t context;
  } cases[] = {{1075, 10}, {1076, 11}, {1080, 12}, {1081, 13}};
  for (const Case& c : cases) {
    notebook->SelectPage(c.tab);
    ui->calls.clear();
    QTest::keyClick(notebook->CurrentPage(), Qt::Key_F1);
    ASSERT_EQ(ui->calls.size(), 1u) << c.tab;
    EXPECT_EQ(ui->calls[0].kind, platform::ui::ScriptedUi::Call::kHelp);
    EXPECT_EQ(ui->calls[0].help.file, "VTXCFG32.HLP");
    EXPECT_EQ(ui->calls[0].help.command, platform::ui::HelpCommand::Context);
    EXPECT_EQ(ui->calls[0].help.context, c.context) << c.tab;
  }
  struct ListCase {
    const char* page;
    const char* item;
    const char* file;
    uint32_t context;
  } lists[] = {{"TDriverPanel", "DBASE", "VTXCFG32.HLP", 15},
               {"TDriverPanel", "ORACLE", "CNDGEN32.HLP", 102},
               {"TAliasPanel", "MYDATA", "VTXCFG32.HLP", 22}};
  for (const ListCase& c : lists) {
    auto* page = static_cast<TListPanel*>(Page(c.page));
    Choose(page, c.item);
    ui->calls.clear();
    page->ShowHelp();
    ASSERT_EQ(ui->calls.size(), 1u) << c.item;
    EXPECT_EQ(ui->calls[0].help.file, c.file) << c.item;
    EXPECT_EQ(ui->calls[0].help.context, c.context) << c.item;
  }
}

TEST_F(Pages, EveryPageRendersToAPicture) {
  const char* names[] = {"drivers", "aliases", "system", "date", "time", "number"};
  auto* drivers = static_cast<TListPanel*>(Page("TDriverPanel"));
  Choose(drivers, "WIDE");
  for (int i = 0; i < notebook->PageCount(); ++i) {
    notebook->SelectPage(TCfgNotebook::TabIds()[static_cast<size_t>(i)]);
    TPanel* page = notebook->CurrentPage();
    if (page->Properties()->RowCount() > 0) page->Properties()->SelectRow(0);
    QApplication::processEvents();
    QPixmap shot = app->MainWindow()->grab();
    fs::path png = testing_support::ShotPath("vtxcfg32-page-" + std::string(names[i]) + ".png");
    EXPECT_TRUE(shot.save(QString::fromStdString(png.string()))) << png;
    EXPECT_GT(page->Properties()->RowCount(), 0) << names[i];
  }

  // The drivers page of WIDE: its second row shows "PARAM 2" and "2" where
  // the row stands, below the shadow line that starts it.
  notebook->SelectPage(TCfgNotebook::TabIds()[0]);
  PropertiesWindow* list = Page("TDriverPanel")->Properties();
  list->SelectRow(0);
  QApplication::processEvents();
  const QImage shot = app->MainWindow()->grab().toImage();
  ASSERT_GE(list->RowCount(), 2);
  const TProp* row = list->Row(1);
  ASSERT_EQ(row->name(), "PARAM 2");
  const QPoint origin = list->mapTo(app->MainWindow(), QPoint(0, 0));
  const QRect r = row->rowRect().translated(origin);
  const int split = row->split() + origin.x();
  const QColor face = list->palette().color(QPalette::Button);
  const QColor shadow = list->palette().color(QPalette::Dark);
  EXPECT_EQ(shot.pixelColor(r.left() + 2, r.top()).rgb(), shadow.rgb());
  EXPECT_EQ(shot.pixelColor(r.right() - 2, r.top()).rgb(), shadow.rgb());
  // The columns of ink (pixels far from the face colour) between two x.
  auto inkSpan = [&](int from, int to) {
    int first = -1, last = -1;
    for (int x = from; x < to; ++x)
      for (int y = r.top() + 1; y <= r.bottom(); ++y) {
        const QColor c = shot.pixelColor(x, y);
        if (std::abs(qGray(c.rgb()) - qGray(face.rgb())) > 60) {
          if (first < 0) first = x;
          last = x;
          break;
        }
      }
    return std::pair{first, last};
  };
  const QFontMetrics fm(list->font());
  const auto [nameFrom, nameTo] = inkSpan(r.left() + 1, split - 1);
  EXPECT_NEAR(nameFrom, r.left() + 5, 2);
  EXPECT_NEAR(nameTo, r.left() + 5 + fm.horizontalAdvance("PARAM 2"), 3);
  const auto [valueFrom, valueTo] = inkSpan(split + 2, r.right());
  EXPECT_NEAR(valueFrom, split + 2, 2);
  EXPECT_NEAR(valueTo, split + 2 + fm.horizontalAdvance("2"), 3);
}

TEST(PropertyList, TenRowsNeedNoScrollBarAndElevenGiveTheRangeZeroToOne) {
  for (int rows : {10, 11, 25}) {
    PropertiesWindow list;
    list.resize(300, list.ListHeight());
    list.show();
    for (int i = 0; i < rows; ++i) list.AddRow(std::make_unique<TProp>("ROW " + std::to_string(i), nullptr, ""));
    list.SetupRows();
    if (rows <= 10) {
      EXPECT_TRUE(list.ScrollBar()->isHidden()) << rows;
      continue;
    }
    EXPECT_FALSE(list.ScrollBar()->isHidden()) << rows;
    EXPECT_EQ(list.ScrollBar()->minimum(), 0);
    EXPECT_EQ(list.ScrollBar()->maximum(), rows - 10);
    // Selecting below the ten visible rows scrolls them; a scroll deselects.
    list.SelectRow(10);
    EXPECT_EQ(list.FirstVisible(), 1);
    EXPECT_EQ(list.Selected(), 10);
    list.ScrollBar()->setValue(0);
    EXPECT_EQ(list.Selected(), -1);
    EXPECT_EQ(list.FirstVisible(), 0);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
