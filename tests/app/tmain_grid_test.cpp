// The main window's data grid: the viewer settings choosing its columns,
// the in-grid combo boxes with their pick lists, browse-only mode and the
// window rendered with a combo shown, check boxes and a two-line title.
#include "tmain.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QPixmap>

#include <filesystem>
#include <memory>
#include <string>

#include "core/item_fields.h"
#include "framework/dbtables.h"
#include "platform/paths.h"
#include "platform/ui.h"
#include "temp_root.h"
#include "window_test.h"
#include "shot_path.h"

namespace keldro {
namespace {

namespace fs = std::filesystem;
using platform::ui::Answer;
using platform::ui::ScriptedUi;
using testing_support::TempRoot;

class TMainGridTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    static int argc = 1;
    static char name[] = "tmain_grid_test";
    static char* argv[] = {name, nullptr};
    if (!QApplication::instance()) new QApplication(argc, argv);
    framework::TSession::Default().LibraryDirs = {fs::canonical("/proc/self/exe").parent_path()};
  }

  void SetUp() override {
    ui = std::make_shared<ScriptedUi>();
    ui->onUnexpected = [](const std::string& what) { ADD_FAILURE() << "unexpected " << what; };
    platform::ui::Install(ui);
    // Closes the tip of the day a shown window's first activation brings.
    modals = std::make_unique<ModalWatcher>();
  }
  void TearDown() override {
    modals.reset();
    platform::ui::Install(nullptr);
  }
  std::unique_ptr<ModalWatcher> modals;

  std::unique_ptr<TMain> Start(std::vector<std::string> arguments = {"keldro"}) {
    return std::make_unique<TMain>(TMain::StartOptions{std::move(arguments), QSize{800, 600}});
  }
  void WriteIni(const std::string& text) const { TempRoot::WriteFile(platform::WindowsDir() / "KELDRO.INI", text); }

  // Puts items into MASTER.DBF through a first start.
  void MakeMaster(const std::vector<std::array<std::string, 4>>& items) {
    auto main = Start();
    ASSERT_FALSE(main->Terminated());
    for (const auto& [item, brand, warranty, cost] : items) {
      main->MyTable.Append();
      main->MyTable.FieldByName("ITEM")->SetAsString(item);
      main->MyTable.FieldByName("BRAND")->SetAsString(brand);
      main->MyTable.FieldByName("WARRANTY")->SetAsString(warranty);
      main->MyTable.FieldByName("COST")->SetAsString(cost);
      main->MyTable.Post();
    }
    main->close();
  }

  // "[Display Fields]" and "[Field Order]" showing `shown` (field numbers)
  // in that order, the other fields hidden behind them.
  static std::string ViewerIni(const std::vector<int>& shown, const std::string& extra = {}) {
    std::string display = "[Display Fields]\r\n", order = "[Field Order]\r\n";
    int next = static_cast<int>(shown.size()) + 1;
    for (const ItemField& f : ItemFields) {
      auto at = std::find(shown.begin(), shown.end(), f.number);
      const bool on = at != shown.end();
      display += std::string(f.name) + "=" + (on ? "Yes" : "No") + "\r\n";
      order += std::string(f.name) + "=" + std::to_string(on ? static_cast<int>(at - shown.begin()) + 1 : next++) +
               "\r\n";
    }
    return display + order + extra;
  }

  static std::vector<std::string> Columns(TMain& main) {
    std::vector<std::string> out;
    for (int i = 0; i < main.ViewerGrid->DataLink().FieldCount(); ++i)
      out.push_back(main.ViewerGrid->DataLink().Fields(i)->FieldName());
    return out;
  }

  static void Key(QWidget* to, int key, Qt::KeyboardModifiers mods = Qt::NoModifier, const QString& text = {}) {
    QKeyEvent press(QEvent::KeyPress, key, mods, text);
    QApplication::sendEvent(to, &press);
    QApplication::processEvents();
  }

  TempRoot root;
  std::shared_ptr<ScriptedUi> ui;
};

TEST_F(TMainGridTest, TheViewerSettingsChooseColumnsOrderTitlesAndWidths) {
  MakeMaster({{"Television", "Sony", "Yes", "499.99"}});
  // Warranty, Item and Cost, in that order.
  WriteIni(ViewerIni({14, 1, 11},
                     "[Field Names]\r\nWarranty=Covered\r\nItem=What\r\nCost=Paid\r\n"
                     "[Field Width]\r\nWarranty=5\r\nItem=30\r\nCost=9\r\n"));
  auto main = Start();
  main->show();
  QApplication::processEvents();
  ASSERT_EQ(Columns(*main), (std::vector<std::string>{"WARRANTY", "ITEM", "COST"}));
  grid::TixDBGrid& g = *main->ViewerGrid;
  const int zero = QFontMetrics(g.font()).horizontalAdvance('0');
  const QFontMetrics titles(g.TitleFont());
  const struct {
    const char* title;
    int width;
  } want[] = {{"Covered", 5}, {"What", 30}, {"Paid", 9}};
  for (int i = 0; i < 3; ++i) {
    framework::TField* f = g.DataLink().Fields(i);
    EXPECT_EQ(f->DisplayLabel(), want[i].title);
    EXPECT_EQ(g.ColWidths(i + 1), std::max(zero * want[i].width + 4, titles.horizontalAdvance(want[i].title) + 4));
  }
  // The grid has the keyboard focus from the start.
  EXPECT_EQ(QApplication::focusWidget(), main->ViewerGrid);
  EXPECT_TRUE(ui->MessageTexts().empty());
}

TEST_F(TMainGridTest, EveryOpenEndsWithTheViewerSettingsNotTheStoredColumn) {
  MakeMaster({});
  const fs::path other = root.path() / "OTHER.DBF";
  {
    auto main = Start();
    ASSERT_TRUE(main->MakeNewDB(other));
  }
  WriteIni(ViewerIni({2, 1}));
  auto main = Start();
  EXPECT_EQ(Columns(*main), (std::vector<std::string>{"BRAND", "ITEM"}));
  ASSERT_TRUE(main->OpenSaveFile(other.string()));
  EXPECT_EQ(Columns(*main), (std::vector<std::string>{"BRAND", "ITEM"}));
  // A path that opens the table without them shows the form's one column.
  main->MyTable.Close();
  main->MyTable.Open();
  EXPECT_EQ(Columns(*main), (std::vector<std::string>{"BOUGHTFROM"}));
  main->SetViewerOptions();
  EXPECT_EQ(Columns(*main), (std::vector<std::string>{"BRAND", "ITEM"}));
}

TEST_F(TMainGridTest, PickListsFillTheInGridCombosAndFieldEditingShowsThem) {
  MakeMaster({{"Television", "Sony", "No", "1"}});
  TempRoot::WriteFile(root.programDir() / "BRAND.LST", "Sony\r\n  Nikon  \r\n\r\nAcme\r\n");
  TempRoot::WriteFile(root.programDir() / "OWNER.LST", "Me\r\n");
  WriteIni(ViewerIni({1, 2, 14}, "[Grid Options]\r\nField Editing=Yes\r\n"));
  auto main = Start();
  main->show();
  QApplication::processEvents();
  ASSERT_EQ(main->MyComboBrand->count(), 3);
  EXPECT_EQ(main->MyComboBrand->itemText(1), "Nikon");
  EXPECT_EQ(main->MyComboOwner->itemText(0), "Me");
  EXPECT_EQ(main->MyComboCategory->count(), 0);
  EXPECT_TRUE(main->ViewerGrid->Options() & grid::dgEditing);

  main->ViewerGrid->SetSelectedIndex(1);
  main->ViewerGrid->repaint();
  EXPECT_EQ(main->ViewerGrid->ShownCombo(), main->MyComboBrand);
  EXPECT_EQ(main->MyComboBrand->currentText(), "Sony");
  EXPECT_EQ(main->MyComboBrand->font(), main->ViewerGrid->font());
}

TEST_F(TMainGridTest, BrowseOnlyModeMakesTheGridReadOnly) {
  MakeMaster({{"Television", "Sony", "No", "1"}, {"Radio", "Sony", "No", "2"}});
  WriteIni("[Grid Options]\r\nField Editing=Yes\r\n");
  auto main = Start({"keldro", "/BROWSE"});
  main->show();
  QApplication::processEvents();
  grid::TixDBGrid* g = main->ViewerGrid;
  EXPECT_TRUE(g->ReadOnly());
  EXPECT_TRUE(g->Options() & grid::dgRowSelect);
  EXPECT_FALSE(g->Options() & grid::dgEditing);
  Key(g, Qt::Key_Insert);
  Key(g, Qt::Key_Delete, Qt::ControlModifier);
  Key(g, Qt::Key_Down);
  Key(g, Qt::Key_Down);
  EXPECT_EQ(main->MyTable.State(), framework::dsBrowse);
  EXPECT_EQ(main->MyTable.RecordCount(), 2);
  EXPECT_TRUE(ui->calls.empty());
}

TEST_F(TMainGridTest, TheMainWindowRendersTheGridWithAComboCheckBoxesAndATwoLineTitle) {
  MakeMaster({{"Television", "Sony", "Yes", "499.99"},
              {"Camera", "Nikon", "No", "250"},
              {"Stereo", "Acme", "Yes", "100"}});
  TempRoot::WriteFile(root.programDir() / "BRAND.LST", "Acme\r\nNikon\r\nSony\r\n");
  WriteIni(ViewerIni({1, 2, 14, 11, 7},
                     "[Field Names]\r\nBoughtFrom=Purchased~From\r\n"
                     "[Grid Options]\r\nField Editing=Yes\r\n"));
  auto main = Start();
  main->show();
  main->ViewerGrid->SetTitleLines(2);
  main->ViewerGrid->SetSelectedIndex(1);
  QApplication::processEvents();
  main->ViewerGrid->repaint();
  ASSERT_EQ(main->ViewerGrid->ShownCombo(), main->MyComboBrand);
  EXPECT_TRUE(main->MyComboBrand->isVisible());
  const QRect cell = main->ViewerGrid->CellRect(main->ViewerGrid->Col(), main->ViewerGrid->Row());
  EXPECT_EQ(main->MyComboBrand->geometry().topLeft(),
            main->ViewerGrid->viewport()->mapTo(main->MyComboBrand->parentWidget(), cell.topLeft()));
  main->grab().save(QString::fromStdString(testing_support::ShotPath("tmain_grid.png")));
}

}  // namespace
}  // namespace keldro
