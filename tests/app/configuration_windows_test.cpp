// The Viewer Configuration and Color Configuration windows, opened through
// the main window's commands offscreen, edited as a user would, and read
// back in the main window's grid, its colours and "KELDRO.INI".
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/color_sets.h"
#include "platform/paths.h"
#include "platform/profile.h"
#include "tcolorconfig.h"
#include "tmain.h"
#include "tmyedit.h"
#include "tviewconfig.h"
#include "window_test.h"
#include "shot_path.h"

namespace keldro {
namespace {

namespace fs = std::filesystem;
using platform::ui::Answer;
using platform::ui::ScriptedUi;
using testing_support::TempRoot;

class ConfigurationWindowsTest : public WindowTest {
 protected:
  void TearDown() override {
    main.reset();
    ScaleFactor = 1.0;
    BrowseMode = false;
    WindowTest::TearDown();
  }

  void Start(std::vector<std::string> arguments = {"keldro"}) {
    // No tip of the day in front of the windows under test.
    const fs::path ini = platform::WindowsDir() / "KELDRO.INI";
    TempRoot::WriteFile(ini, (fs::exists(ini) ? TempRoot::ReadFile(ini) : "") + "[Misc]\r\nShow Tips=No\r\n");
    main = std::make_unique<TMain>(TMain::StartOptions{std::move(arguments), QSize(1280, 1024)});
    ASSERT_FALSE(main->Terminated());
    main->show();
    QApplication::processEvents();
  }

  // Closes the main window (which writes the settings) and reads a key.
  std::string IniAfterExit(std::string_view section, std::string_view key) {
    if (main) {
      main->close();
      main.reset();
    }
    platform::IniFile ini(platform::WindowsDir() / "KELDRO.INI");
    EXPECT_TRUE(ini.Load());
    return ini.Get(section, key).value_or("<missing>");
  }

  // Runs `command` (which shows a modal window) and `inside` while that
  // window is up; a window `inside` leaves open is closed and fails the test.
  template <typename Window>
  void WhileModal(const std::function<void()>& command, const std::function<void(Window&)>& inside) {
    bool ran = false;
    QTimer::singleShot(0, [&] {
      auto* w = qobject_cast<Window*>(QApplication::activeModalWidget());
      ASSERT_NE(w, nullptr);
      ran = true;
      inside(*w);
      if (QWidget* open = QApplication::activeModalWidget()) {
        ADD_FAILURE() << "the window stayed open: " << open->objectName().toStdString();
        if (auto* d = qobject_cast<QDialog*>(open)) d->done(0);
      }
    });
    command();
    EXPECT_TRUE(ran);
  }
  void WhileViewer(const std::function<void(TViewConfig&)>& inside) {
    WhileModal<TViewConfig>([this] { main->MenuViewer->trigger(); }, inside);
  }

  // The dBASE names of the grid's columns, left to right.
  std::vector<std::string> Columns() const {
    std::vector<std::string> out;
    for (int i = 0; i < main->ViewerGrid->DataLink().FieldCount(); ++i)
      out.push_back(main->ViewerGrid->DataLink().Fields(i)->FieldName());
    return out;
  }

  // Types into a cell through its in-place editor, which stays open.
  static void TypeInCell(QTableWidget* grid, int row, const QString& text) {
    // On the grid's own page, as the user sees it.
    for (QWidget* w = grid->parentWidget(); w; w = w->parentWidget())
      if (auto* tabs = qobject_cast<QTabWidget*>(w)) tabs->setCurrentWidget(grid->parentWidget());
    // Closed editors linger until deleted: the open one is the visible one.
    const auto openEditor = [grid] {
      QLineEdit* editor = nullptr;
      for (QLineEdit* e : grid->findChildren<QLineEdit*>())
        if (e->isVisible()) editor = e;
      return editor;
    };
    if (grid->currentRow() != row || !openEditor()) {
      grid->setCurrentCell(row, 1);
      grid->editItem(grid->item(row, 1));
    }
    QLineEdit* editor = openEditor();
    ASSERT_NE(editor, nullptr);
    editor->selectAll();
    for (const QChar ch : text) QTest::sendKeyEvent(QTest::Click, editor, Qt::Key_unknown, QString(ch), Qt::NoModifier);
  }
  static QString Cell(const QTableWidget* grid, int row, int column = 1) { return grid->item(row, column)->text(); }

  std::unique_ptr<TMain> main;
};

constexpr int kItem = 0, kBrand = 1, kModel = 2;

// ------------------------------------------------------------------ viewer

TEST_F(ConfigurationWindowsTest, ViewerOpensWithItsPagesAndTheGridsFromTheSettings) {
  TempRoot::WriteFile(platform::WindowsDir() / "KELDRO.INI",
                      "[Field Names]\r\nBrand=Make\r\n[Display Fields]\r\nModel=No\r\n[Field Width]\r\nItem=30\r\n"
                      "[Field Order]\r\nItem=2\r\nBrand=1\r\n[Grid Title Font]\r\nFont Name=Courier\r\nSize=14\r\n");
  Start();
  EXPECT_EQ(main->MenuViewer->shortcut(), QKeySequence("Ctrl+V"));
  EXPECT_EQ(main->SpeedViewer->toolTip(), "Viewer Configuration");
  EXPECT_EQ(main->ViewerButton->text(), "&Viewer");
  for (const std::function<void()>& open : std::vector<std::function<void()>>{
           [&] { main->MenuViewer->trigger(); }, [&] { main->SpeedViewer->click(); },
           [&] {
             main->MenuLetteredButtons->trigger();
             main->ViewerButton->click();
           }}) {
    WhileModal<TViewConfig>(open, [&](TViewConfig& v) {
      EXPECT_EQ(v.windowTitle(), "Viewer Configuration");
      QStringList pages;
      for (int i = 0; i < v.MyTabbedPage->count(); ++i) pages << v.MyTabbedPage->tabText(i);
      EXPECT_EQ(pages, (QStringList{"&Title", "&Look and Feel", "Fields to &Show", "Field &Widths", "Field &Order",
                                    "Field &Names"}));
      EXPECT_EQ(v.ExitButton->text(), "E&xit");
      EXPECT_EQ(v.HelpButton->text(), "&Help");
      EXPECT_EQ(v.TitleFont->text(), "14pt Courier");
      EXPECT_EQ(v.GridFont->text(), "10pt Arial");
      EXPECT_TRUE(v.TitleCenter->isChecked());
      EXPECT_EQ(v.FieldsToDisplay->horizontalHeaderItem(1)->text(), "DISPLAY IT");
      EXPECT_EQ(v.FieldNameGrid->horizontalHeaderItem(1)->text(), "NAME TO USE");
      EXPECT_EQ(Cell(v.FieldNameGrid, kBrand, 0), "Brand");
      EXPECT_EQ(Cell(v.FieldNameGrid, kBrand), "Make");
      EXPECT_EQ(Cell(v.FieldsToDisplay, kModel), "No");
      EXPECT_EQ(Cell(v.FieldsToDisplay, kItem), "Yes");
      EXPECT_EQ(Cell(v.FieldWidthGrid, kItem), "30");
      EXPECT_EQ(Cell(v.FieldWidthGrid, kBrand), "15");
      EXPECT_EQ(v.FieldOrderGrid->item(0, 0)->text(), "Make");
      EXPECT_EQ(v.FieldOrderGrid->item(1, 0)->text(), "Item");
      // The first data cell is current, so the keys act at once.
      EXPECT_EQ(v.FieldWidthGrid->currentRow(), 0);
      EXPECT_EQ(v.FieldWidthGrid->currentColumn(), 1);
      EXPECT_EQ(v.FieldOrderGrid->currentRow(), 0);
      // Only the names and widths are edited in place.
      EXPECT_EQ(v.FieldsToDisplay->editTriggers(), QAbstractItemView::NoEditTriggers);
      EXPECT_FALSE(v.FieldNameGrid->item(0, 0)->flags() & Qt::ItemIsEditable);
      v.ExitButton->click();
    });
  }
  EXPECT_TRUE(ui->MessageTexts().empty());
}

TEST_F(ConfigurationWindowsTest, HelpOpensTheTopicOfThePageShown) {
  Start();
  WhileViewer([&](TViewConfig& v) {
    for (int page = 0; page < 6; ++page) {
      v.MyTabbedPage->setCurrentIndex(page);
      v.HelpButton->click();
    }
    v.ExitButton->click();
  });
  std::vector<std::string> keywords;
  for (const ScriptedUi::Call& c : ui->calls)
    if (c.kind == ScriptedUi::Call::kHelp) {
      keywords.push_back(c.help.keyword);
      EXPECT_EQ(fs::path(c.help.file).filename(), "KELDRO.HLP");
    }
  EXPECT_EQ(keywords, (std::vector<std::string>{"Viewer Configuration Title", "Viewer Configuration Look",
                                                "Viewer Configuration Show", "Viewer Configuration Widths",
                                                "Viewer Configuration Order", "Viewer Configuration Names"}));
}

TEST_F(ConfigurationWindowsTest, WidthsOutOfRangeBecomeTenInTheCellsAndTheFile) {
  Start();
  WhileViewer([&](TViewConfig& v) {
    v.MyTabbedPage->setCurrentIndex(TViewConfig::pgWidths);
    TypeInCell(v.FieldWidthGrid, kItem, "0");
    TypeInCell(v.FieldWidthGrid, kBrand, "300");
    TypeInCell(v.FieldWidthGrid, kModel, "abc");  // the last editor is still open
    TypeInCell(v.FieldWidthGrid, 3, "42");
    v.ExitButton->click();
    EXPECT_FALSE(v.isVisible());
    EXPECT_EQ(Cell(v.FieldWidthGrid, kItem), "10");
    EXPECT_EQ(Cell(v.FieldWidthGrid, kBrand), "10");
    EXPECT_EQ(Cell(v.FieldWidthGrid, kModel), "10");
    EXPECT_EQ(Cell(v.FieldWidthGrid, 3), "42");
  });
  EXPECT_EQ(main->ViewerGrid->DataLink().Fields(0)->DisplayWidth(), 10);
  EXPECT_EQ(IniAfterExit("Field Width", "Item"), "10");
  EXPECT_EQ(IniAfterExit("Field Width", "Brand"), "10");
  EXPECT_EQ(IniAfterExit("Field Width", "Model"), "10");
  EXPECT_EQ(IniAfterExit("Field Width", "Serial"), "42");
}

TEST_F(ConfigurationWindowsTest, TwoEqualTitlesKeepTheWindowOpenOnTheNamesPage) {
  Start();
  const struct {
    const char* name;
    QString first, second, shown;
  } cases[] = {
      {"equal", "Gear", "Gear", "Gear"},
      // The editor takes 20 characters: typed alike that far, they are alike.
      {"equal in 20", "Twenty characters abXXXXX", "Twenty characters abYYYYY", "Twenty characters ab"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ui->calls.clear();
    const std::string before = Settings.fields[kItem].title;
    WhileViewer([&](TViewConfig& v) {
      v.MyTabbedPage->setCurrentIndex(TViewConfig::pgNames);
      TypeInCell(v.FieldNameGrid, kItem, c.first);
      TypeInCell(v.FieldNameGrid, kBrand, c.second);
      v.MyTabbedPage->setCurrentIndex(TViewConfig::pgTitle);
      ui->answers.push_back(Answer::Ok);
      v.ExitButton->click();
      ASSERT_EQ(ui->MessageTexts().size(), 1u);
      EXPECT_EQ(ui->MessageTexts()[0], "Two field names have the same name \"" + c.shown.toStdString() +
                                           "\".  Please change one.");
      EXPECT_EQ(ui->MessageCaptions()[0], "Error");
      EXPECT_TRUE(v.isVisible());
      EXPECT_EQ(v.MyTabbedPage->currentIndex(), TViewConfig::pgNames);
      EXPECT_EQ(v.focusWidget(), v.FieldNameGrid);
      EXPECT_EQ(Settings.fields[kItem].title, before);
      // Put right, the window closes.
      TypeInCell(v.FieldNameGrid, kBrand, "Brand");
      v.ExitButton->click();
      EXPECT_FALSE(v.isVisible());
    });
    EXPECT_EQ(Settings.fields[kItem].title, c.shown.toStdString());
    EXPECT_EQ(ui->MessageTexts().size(), 1u);
  }
}

TEST_F(ConfigurationWindowsTest, ARenamedFieldShowsItsTitleInTheGridAndTheFile) {
  Start();
  WhileViewer([&](TViewConfig& v) {
    TypeInCell(v.FieldNameGrid, kItem, QString::fromUtf8("Thing \xC3\xA9"));  // é, one Windows-1252 byte
    v.ExitButton->click();
  });
  EXPECT_EQ(main->ViewerGrid->DataLink().Fields(0)->DisplayLabel(), "Thing \xE9");
  EXPECT_EQ(IniAfterExit("Field Names", "Item"), "Thing \xE9");
}

TEST_F(ConfigurationWindowsTest, DownMovesTheFirstColumnAndDefaultsPutTheOrderBack) {
  Start();
  ASSERT_EQ(Columns()[0], "ITEM");
  WhileViewer([&](TViewConfig& v) {
    v.MyTabbedPage->setCurrentIndex(TViewConfig::pgOrder);
    v.OrderUp->click();  // from the first row: nothing
    v.OrderDown->click();
    EXPECT_EQ(v.FieldOrderGrid->currentRow(), 1);
    EXPECT_EQ(v.FieldOrderGrid->item(0, 0)->text(), "Brand");
    EXPECT_EQ(v.FieldOrderGrid->item(1, 0)->text(), "Item");
    v.ExitButton->click();
  });
  EXPECT_EQ(Settings.fields[kItem].order, 2);
  EXPECT_EQ(Settings.fields[kBrand].order, 1);
  EXPECT_EQ((std::vector<std::string>{Columns()[0], Columns()[1]}), (std::vector<std::string>{"BRAND", "ITEM"}));

  // Defaults: asked, and only the order goes back.
  WhileViewer([&](TViewConfig& v) {
    v.FieldsToDisplay->item(kModel, 1)->setText("No");
    TypeInCell(v.FieldWidthGrid, kModel, "33");
    v.MyTabbedPage->setCurrentIndex(TViewConfig::pgOrder);
    ui->answers.push_back(Answer::No);
    v.OrderDefaults->click();
    EXPECT_EQ(v.FieldOrderGrid->item(0, 0)->text(), "Brand");
    ui->answers.push_back(Answer::Yes);
    v.OrderDefaults->click();
    EXPECT_EQ(v.FieldOrderGrid->item(0, 0)->text(), "Item");
    v.ExitButton->click();
  });
  ASSERT_EQ(ui->calls.size(), 2u);
  EXPECT_EQ(ui->calls[0].message.text, "This will set the order of fields to the program defaults.  Continue?");
  EXPECT_EQ(ui->calls[0].message.caption, "Re-Order");
  EXPECT_EQ(ui->calls[0].message.buttons, platform::ui::Buttons::YesNo);
  EXPECT_EQ(Columns()[0], "ITEM");
  EXPECT_EQ(Columns()[1], "BRAND");
  EXPECT_EQ(Columns()[2], "SERIAL");  // Model hidden
  EXPECT_EQ(IniAfterExit("Field Order", "Item"), "1");
  EXPECT_EQ(IniAfterExit("Field Order", "Brand"), "2");
  EXPECT_EQ(IniAfterExit("Display Fields", "Model"), "No");
  EXPECT_EQ(IniAfterExit("Field Width", "Model"), "33");
}

// Renaming is not moving: columns are matched by field, never by title.
TEST_F(ConfigurationWindowsTest, SwappingTwoTitlesLeavesTheColumnsWhereTheyWere) {
  Start();
  WhileViewer([&](TViewConfig& v) {
    TypeInCell(v.FieldNameGrid, kItem, "Brand");
    TypeInCell(v.FieldNameGrid, kBrand, "Item");
    // The order page shows the new titles, in the old places.
    v.MyTabbedPage->setCurrentIndex(TViewConfig::pgOrder);
    EXPECT_EQ(v.FieldOrderGrid->item(0, 0)->text(), "Brand");
    v.ExitButton->click();
  });
  EXPECT_TRUE(ui->MessageTexts().empty());
  EXPECT_EQ(Columns()[0], "ITEM");
  EXPECT_EQ(Columns()[1], "BRAND");
  EXPECT_EQ(main->ViewerGrid->DataLink().Fields(0)->DisplayLabel(), "Brand");
  EXPECT_EQ(Settings.fields[kItem].order, 1);
  EXPECT_EQ(Settings.fields[kBrand].order, 2);
}

TEST_F(ConfigurationWindowsTest, ADoubleClickSwitchesYesAndNoAndHiddenFieldsLeaveTheGrid) {
  Start();
  WhileViewer([&](TViewConfig& v) {
    v.MyTabbedPage->setCurrentIndex(TViewConfig::pgShow);
    QApplication::processEvents();
    QTableWidget* g = v.FieldsToDisplay;
    const auto dblClick = [g](int row, int column) {
      const QRect r = g->visualItemRect(g->item(row, column));
      QTest::mouseClick(g->viewport(), Qt::LeftButton, {}, r.center());
      QTest::mouseDClick(g->viewport(), Qt::LeftButton, {}, r.center());
    };
    dblClick(kBrand, 1);
    EXPECT_EQ(Cell(g, kBrand), "No");
    dblClick(kModel, 1);
    dblClick(kModel, 1);
    EXPECT_EQ(Cell(g, kModel), "Yes");
    g->item(3, 1)->setText("maybe");
    v.FieldsToDisplayDblClick(3, 1);
    EXPECT_EQ(Cell(g, 3), "Yes");
    dblClick(kItem, 0);  // the field column changes nothing
    EXPECT_EQ(Cell(g, kItem), "Yes");
    EXPECT_EQ(Cell(g, kItem, 0), "Item");
    v.ExitButton->click();
  });
  const std::vector<std::string> columns = Columns();
  EXPECT_EQ(std::count(columns.begin(), columns.end(), "BRAND"), 0);
  EXPECT_EQ(columns.size(), 21u);
  EXPECT_EQ(IniAfterExit("Display Fields", "Brand"), "No");
}

TEST_F(ConfigurationWindowsTest, TitleAndLookSettingsReachTheGridAfterExit) {
  Start();
  ASSERT_TRUE(main->ViewerGrid->Options() & grid::dgRowSelect);
  ui->fonts.push_back({true, {"Courier", 14, true, false, false, false, 0x0000FF}});
  ui->fonts.push_back({true, {"Times", 9, false, true, false, false, 0}});
  ui->colors.push_back({true, 0x00FF00});  // title colour
  ui->colors.push_back({false, 0});        // cell colour: cancelled
  WhileViewer([&](TViewConfig& v) {
    v.TitleFontButton->click();
    EXPECT_EQ(v.TitleFont->text(), "14pt Courier");
    v.Button1->click();
    EXPECT_EQ(v.TitleShape->palette().color(QPalette::Window), QColor(0, 255, 0));
    v.TitleRight->click();
    v.MyTabbedPage->setCurrentIndex(TViewConfig::pgLook);
    v.NewColorBUtton->click();
    EXPECT_EQ(v.CellColorShape->palette().color(QPalette::Window), QColor(192, 192, 192));
    v.NewFontButton->click();
    EXPECT_EQ(v.GridFont->text(), "9pt Times");
    v.ColumnLines->click();
    v.RowIndicator->click();
    v.FieldEditing->click();
    v.ExitButton->click();
  });
  const grid::TixDBGrid& g = *main->ViewerGrid;
  EXPECT_EQ(g.TitleFont().family(), "Courier");
  EXPECT_EQ(g.TitleFont().pointSize(), 14);
  EXPECT_TRUE(g.TitleFont().bold());
  EXPECT_EQ(g.TitleFontColor, QColor(255, 0, 0));
  EXPECT_EQ(g.TitleColor(), QColor(0, 255, 0));
  EXPECT_EQ(g.TitleAlignment(), framework::taRightJustify);
  EXPECT_EQ(g.font().family(), "Times");
  EXPECT_TRUE(g.font().italic());
  EXPECT_EQ(main->MyComboBrand->font(), g.font());
  EXPECT_FALSE(g.Options() & grid::dgColLines);
  EXPECT_FALSE(g.Options() & grid::dgIndicator);
  EXPECT_TRUE(g.Options() & grid::dgRowLines);
  EXPECT_TRUE(g.Options() & grid::dgEditing);
  EXPECT_FALSE(g.Options() & grid::dgRowSelect);
  EXPECT_EQ(Settings.cellColor, 12632256);

  // Editing off again gives row select.
  WhileViewer([&](TViewConfig& v) {
    v.MyTabbedPage->setCurrentIndex(TViewConfig::pgLook);
    EXPECT_TRUE(v.FieldEditing->isChecked());
    v.FieldEditing->click();
    v.ExitButton->click();
  });
  EXPECT_TRUE(g.Options() & grid::dgRowSelect);
  EXPECT_EQ(IniAfterExit("Grid Title Font", "Font Name"), "Courier");
  EXPECT_EQ(IniAfterExit("Grid Title", "Alignment"), "3");
  EXPECT_EQ(IniAfterExit("Grid Title", "Background Color"), "65280");
  EXPECT_EQ(IniAfterExit("Grid Options", "Column Lines"), "No");
}

// ------------------------------------------------------------------ colours

TEST_F(ConfigurationWindowsTest, EachColorCommandOpensItsGroupPaintedFromIt) {
  Start();
  // A main background of its own for each group.
  for (size_t g = 0; g < Settings.colors.size(); ++g)
    Settings.colors[g].colors[kMainBackground] = Rgb(10 * static_cast<int>(g + 1), 0, 0);
  Settings.colors[1].colors[kEditBackground] = Rgb(1, 2, 3);
  for (int group = 1; group <= 6; ++group) {
    SCOPED_TRACE(group);
    QAction* item = main->MenuColor[static_cast<size_t>(group - 1)];
    EXPECT_EQ(item->shortcut(), QKeySequence(QString("Ctrl+F%1").arg(group + 3)));
    WhileModal<TColorConfig>([&] { item->trigger(); }, [&](TColorConfig& c) {
      EXPECT_EQ(c.windowTitle(), "Color Configuration");
      EXPECT_EQ(c.Group, group);
      const int red = 10 * (group == 6 ? 1 : group);
      EXPECT_EQ(c.palette().color(QPalette::Window), QColor(red, 0, 0));
      EXPECT_EQ(c.EditBox->palette().color(QPalette::Base), group == 2 ? QColor(1, 2, 3) : QColor(255, 255, 255));
      EXPECT_EQ(c.ColorSets->currentText(), "");
      c.CancelButton->click();
    });
  }
  EXPECT_EQ(main->SpeedColor->toolTip(), "Color Setup");
  WhileModal<TColorConfig>([&] { main->SpeedColor->click(); }, [&](TColorConfig& c) {
    EXPECT_EQ(c.Group, 6);
    QStringList sets;
    for (int i = 0; i < c.ColorSets->count(); ++i) sets << c.ColorSets->itemText(i);
    EXPECT_EQ(sets, (QStringList{"", "Monochrome", "Gray Mist", "Midnight Black", "Desert Sunset", "Easter Pastel",
                                 "Ocean Blue", "Fiery Red", "Christmas Season", "Wine", "More Pastels", "Green Glow",
                                 "Camouflage"}));
    c.CancelButton->click();
  });
}

TEST_F(ConfigurationWindowsTest, MidnightBlackForAllWindowsRepaintsTheMainWindowAtOnce) {
  Start();
  WhileModal<TColorConfig>([&] { main->MenuColor[5]->trigger(); }, [&](TColorConfig& c) {
    c.ColorSets->setCurrentIndex(3);
    EXPECT_EQ(c.palette().color(QPalette::Window), QColor(0, 0, 0));
    EXPECT_EQ(c.WindowLabel->palette().color(QPalette::WindowText), QColor(192, 192, 192));
    EXPECT_EQ(c.SetsLabel->palette().color(QPalette::WindowText), QColor(255, 255, 255));
    EXPECT_EQ(c.ListBox->palette().color(QPalette::Base), QColor(127, 127, 127));
    EXPECT_EQ(c.CheckBox->palette().color(QPalette::ButtonText), QColor(255, 255, 255));
    c.OkButton->click();
    // Repainted before the window has gone.
    EXPECT_EQ(main->centralWidget()->palette().color(QPalette::Window), QColor(0, 0, 0));
  });
  EXPECT_EQ(main->ViewerLabel->palette().color(QPalette::WindowText), QColor(192, 192, 192));
  EXPECT_EQ(main->NavigatorLabel->palette().color(QPalette::WindowText), QColor(255, 255, 255));
  const std::vector<std::pair<const char*, const char*>> want{
      {"Main Background", "0"},         {"Major Title", "12632256"},     {"Minor Title", "16777215"},
      {"Edit Background", "8355711"},   {"Edit Text", "0"},              {"Combo Background", "8355711"},
      {"Combo Text", "0"},              {"List Box Background", "8355711"}, {"List Box Text", "0"},
      {"Radio Background", "0"},        {"Radio Text", "16777215"},      {"Check Background", "0"},
      {"Check Text", "16777215"}};
  for (std::string_view section : kColorSections)
    for (const auto& [key, value] : want) EXPECT_EQ(IniAfterExit(section, key), value) << section << " " << key;
}

TEST_F(ConfigurationWindowsTest, WineForTheSearchGroupChangesThatSectionAlone) {
  Start();
  const AppSettings before = Settings;
  WhileModal<TColorConfig>([&] { main->MenuColor[2]->trigger(); }, [&](TColorConfig& c) {
    c.SetWine();
    c.OkButton->click();
  });
  EXPECT_EQ(main->centralWidget()->palette().color(QPalette::Window), QColor(192, 192, 192));
  for (size_t g : {0u, 1u, 3u, 4u}) EXPECT_EQ(Settings.colors[g], before.colors[g]);
  const std::vector<std::pair<const char*, const char*>> want{
      {"Main Background", "4194432"}, {"Major Title", "255"},         {"Minor Title", "16711935"},
      {"Edit Background", "8388736"}, {"Edit Text", "255"},           {"Combo Background", "8388736"},
      {"List Box Text", "255"},       {"Radio Background", "4194432"}, {"Radio Text", "16711935"},
      {"Check Text", "16711935"}};
  for (const auto& [key, value] : want) EXPECT_EQ(IniAfterExit("Search Window Color", key), value) << key;
  EXPECT_EQ(IniAfterExit("Main Window Color", "Main Background"), "12632256");
  EXPECT_EQ(IniAfterExit("Edit Window Color", "Edit Background"), "16777215");
}

TEST_F(ConfigurationWindowsTest, TheRecordEditorTakesANewEditGroupWhenItNextOpens) {
  Start();
  TMyEdit* edit = main->MyEdit;
  ASSERT_NE(edit, nullptr);
  WhileModal<TColorConfig>([&] { main->MenuColor[1]->trigger(); }, [&](TColorConfig& c) {
    c.SetWine();
    c.OkButton->click();
  });
  EXPECT_NE(edit->Item->palette().color(QPalette::Base), QColor(128, 0, 128));
  WhileModal<TMyEdit>([&] { main->MenuAdd->trigger(); }, [&](TMyEdit& e) {
    EXPECT_EQ(e.Item->palette().color(QPalette::Base), QColor(128, 0, 128));
    e.DoExit();
  });
}

TEST_F(ConfigurationWindowsTest, ColourButtonsChangeTheWorkingCopyAndCancelKeepsEverySection) {
  Start();
  const AppSettings before = Settings;
  ui->colors.push_back({true, 0x0000FF});  // edit text: red
  ui->colors.push_back({false, 0});        // main background: cancelled
  WhileModal<TColorConfig>([&] { main->SpeedColor->click(); }, [&](TColorConfig& c) {
    c.ColorSets->setCurrentIndex(5);
    c.EditBoxText->click();
    EXPECT_EQ(c.Colors.colors[kEditText], 0x0000FF);
    EXPECT_EQ(c.EditBox->palette().color(QPalette::Text), QColor(255, 0, 0));
    c.MainBack->click();
    EXPECT_EQ(c.Colors.colors[kMainBackground], Rgb(255, 128, 255));
    c.ColorSets->setCurrentIndex(0);  // the empty entry changes nothing
    EXPECT_EQ(c.Colors.colors[kEditText], 0x0000FF);
    c.CancelButton->click();
  });
  EXPECT_EQ(Settings.colors, before.colors);
  EXPECT_EQ(main->centralWidget()->palette().color(QPalette::Window), QColor(192, 192, 192));
  EXPECT_EQ(IniAfterExit("Main Window Color", "Main Background"), "12632256");
  EXPECT_EQ(IniAfterExit("Configure Window Color", "Edit Text"), "0");
}

// ------------------------------------------------------------------ pictures

// Every viewer page and the colour window with two sets, at two scales,
// into the test pictures folder.
TEST_F(ConfigurationWindowsTest, WindowsRenderAtBothScales) {
  Start();
  Settings.colors[4] = *ColorSetEntry(6);  // the configure group: Ocean Blue
  for (double scale : {1.0, 1.6}) {
    ScaleFactor = scale;
    WhileViewer([&](TViewConfig& v) {
      EXPECT_EQ(v.width(), qRound(600 * scale));
      EXPECT_EQ(v.FieldNameGrid->width(), qRound(400 * scale) + 20);
      EXPECT_EQ(v.FieldNameGrid->columnWidth(0), qRound(200 * scale));
      EXPECT_EQ(v.palette().color(QPalette::Window), QColor(0, 255, 255));
      for (int page = 0; page < 6; ++page) {
        v.MyTabbedPage->setCurrentIndex(page);
        v.grab().save(QString::fromStdString(testing_support::ShotPath(QString("viewer-page%1-%2.png").arg(page).arg(scale).toStdString())));
      }
      v.ExitButton->click();
    });
    for (int set : {3, 9}) {
      WhileModal<TColorConfig>([&] { main->SpeedColor->click(); }, [&](TColorConfig& c) {
        EXPECT_EQ(c.width(), qRound(520 * scale));
        c.ColorSets->setCurrentIndex(set);
        c.grab().save(QString::fromStdString(testing_support::ShotPath(QString("color-set%1-%2.png").arg(set).arg(scale).toStdString())));
        c.CancelButton->click();
      });
    }
  }
}

}  // namespace
}  // namespace keldro
