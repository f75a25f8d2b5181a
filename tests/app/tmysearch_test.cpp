// The Search window through the main window's Search command: criteria
// typed into the grid's masked cells, levels, the "..." options, and the
// table the main window shows afterwards.
#include "tmysearch.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <memory>

#include "mask_edit.h"
#include "tmylocate.h"
#include "tmyedit.h"
#include "tmain.h"
#include "window_test.h"
#include "shot_path.h"

namespace keldro {
namespace {

namespace fs = std::filesystem;
using platform::ui::Answer;

constexpr int kItemRow = 1, kPurchDateRow = 10, kCostRow = 11, kCategoryRow = 12, kOwnerRow = 17;

struct Rec {
  std::string item, category, owner;
  double cost = 0;
};

class TMySearchTest : public WindowTest {
 protected:
  void TearDown() override {
    main.reset();
    WindowTest::TearDown();
    ScaleFactor = 1.0;
  }

  void Start(const std::vector<Rec>& records) {
    main = std::make_unique<TMain>(TMain::StartOptions{{"keldro"}, QSize(1280, 1024)});
    ASSERT_FALSE(main->Terminated());
    main->show();
    // The first activation's tip of the day comes and goes (the watcher
    // closes it) before any command runs.
    main->activateWindow();
    QApplication::processEvents();
    QApplication::processEvents();
    for (const Rec& r : records) {
      main->MyTable.Append();
      main->MyTable.FieldByName("Item")->SetAsString(r.item);
      main->MyTable.FieldByName("Category")->SetAsString(r.category);
      main->MyTable.FieldByName("Owner")->SetAsString(r.owner);
      if (r.cost) main->MyTable.FieldByName("Cost")->SetAsFloat(r.cost);
      main->MyTable.Post();
    }
    main->MyTable.First();
    search = main->MySearch;
    ASSERT_NE(search, nullptr);
  }

  // The records the main window's table shows, by item (and by category and
  // owner when the items are blank).
  // In no particular order: the table is in its sort order.
  std::vector<std::string> Shown() {
    std::vector<std::string> out;
    for (main->MyTable.First(); !main->MyTable.Eof(); main->MyTable.Next()) {
      std::string item = main->MyTable.FieldByName("Item")->AsString();
      if (item.empty())
        item = main->MyTable.FieldByName("Category")->AsString() + "/" + main->MyTable.FieldByName("Owner")->AsString();
      out.push_back(item);
    }
    std::sort(out.begin(), out.end());
    return out;
  }

  // The editor of a criterion cell, opened by making the cell current.
  TMaskEdit* CellEditor(int row) {
    search->SearchGrid->setCurrentCell(row, 2);
    return qobject_cast<TMaskEdit*>(search->SearchGrid->indexWidget(search->SearchGrid->model()->index(row, 2)));
  }
  void Type(int row, const QString& text) {
    TMaskEdit* e = CellEditor(row);
    ASSERT_NE(e, nullptr) << row;
    QTest::keyClicks(e, text);
  }
  void Search(const std::function<void()>& inside) { WhileModal([&] { main->MenuSearch->trigger(); }, inside); }
  // Chooses entry `choice` (0-based) in the options dialog of row r.
  void ChooseOption(int row, int choice, QStringList* shown = nullptr) {
    WhileModal(
        [&] { ClickOption(row); },
        [&] {
          auto* options = qobject_cast<TSearchOptions*>(QApplication::activeModalWidget());
          ASSERT_NE(options, nullptr);
          if (shown)
            for (int i = 0; i < options->ListBox1->count(); ++i) *shown << options->ListBox1->item(i)->text();
          options->ListBox1->setCurrentRow(choice);
          options->OkButton->click();
        });
  }
  // The heading of the criteria column, as the grid's fixed header shows it.
  std::string Heading() const { return search->SearchGrid->horizontalHeaderItem(2)->text().toStdString(); }
  void ClickOption(int row) {
    QTableWidget* g = search->SearchGrid;
    QTest::mouseClick(g->viewport(), Qt::LeftButton, {}, g->visualRect(g->model()->index(row, 1)).center());
  }

  std::unique_ptr<TMain> main;
  TMySearch* search = nullptr;
};

const std::vector<Rec> kOwners = {
    {"", "TOOLS", "BOB"}, {"", "TOOLS", "ANN"}, {"", "GARDEN", "ANN"}, {"", "GARDEN", "BOB"}};

TEST_F(TMySearchTest, TwoLevelsAreAppliedAndStayWhileTheWindowIsUsedAgain) {
  Start(kOwners);
  EXPECT_FALSE(main->SearchOnLabel->isVisible());
  Search([&] {
    EXPECT_EQ(search->windowTitle(), "Search");
    EXPECT_EQ(Heading(), " SEARCH CRITERIA    (Level 1)");
    EXPECT_EQ(search->SearchGrid->item(kCategoryRow, 0)->text(), " Category");
    search->HelpButton->click();
    ASSERT_EQ(ui->calls.size(), 1u);
    EXPECT_EQ(ui->calls[0].help.keyword, "Search Window");
    EXPECT_EQ(fs::path(ui->calls[0].help.file).filename(), "KELDRO.HLP");
    Type(kCategoryRow, "tools");
    search->MoreButton->click();
    EXPECT_EQ(Heading(), " SEARCH CRITERIA    (Level 2)");
    EXPECT_EQ(search->CellText(kCategoryRow), "");
    Type(kOwnerRow, "ann");
    search->OkButton->click();
  });
  EXPECT_TRUE(ui->MessageTexts().empty());
  EXPECT_TRUE(SearchActive);
  EXPECT_TRUE(main->SearchOnLabel->isVisible());
  EXPECT_TRUE(main->MenuEndSearch->isEnabled());
  EXPECT_EQ(main->CountLabel->text(), "3");
  const std::vector<std::string> three = {"GARDEN/ANN", "TOOLS/ANN", "TOOLS/BOB"};
  EXPECT_EQ(Shown(), three);

  // Shown again: a new query is started, the applied one stays.
  Search([&] {
    EXPECT_EQ(search->Items().size(), 0u);
    EXPECT_EQ(search->CellText(kOwnerRow), "");
    search->ExitButton->click();
  });
  EXPECT_EQ(Shown(), three);
  Search([&] {
    search->ClearButton->click();
    search->ExitButton->click();
  });
  EXPECT_EQ(Shown(), three);
  EXPECT_TRUE(main->SearchOnLabel->isVisible());

  // A new Ok replaces it.
  Search([&] {
    Type(kOwnerRow, "bob");
    search->OkButton->click();
  });
  EXPECT_EQ(Shown(), (std::vector<std::string>{"GARDEN/BOB", "TOOLS/BOB"}));
  EXPECT_EQ(main->CountLabel->text(), "2");
}

TEST_F(TMySearchTest, TextAndRangeCriteriaThroughTheMaskedCells) {
  Start({{"Hacksaw", "", "", 100}, {"SAWDUST", "", "", 150}, {"Drill", "", "", 200}});
  Search([&] {
    Type(kItemRow, "saw");
    search->OkButton->click();
  });
  EXPECT_EQ(Shown(), (std::vector<std::string>{"Hacksaw", "SAWDUST"}));

  Search([&] {
    QStringList shown;
    ChooseOption(kCostRow, 3, &shown);
    EXPECT_EQ(shown, (QStringList{" = ", " > ", " < ", " > X < "}));
    EXPECT_EQ(search->CriterionTypeOf(kCostRow), ctRange);
    EXPECT_EQ(search->SearchGrid->currentRow(), kCostRow);
    // Nine places before AND, then the high value.
    Type(kCostRow, "100      200");
    search->OkButton->click();
  });
  EXPECT_TRUE(ui->MessageTexts().empty());
  EXPECT_EQ(Shown(), (std::vector<std::string>{"SAWDUST"}));

  // The row keeps its range in later searches; one side alone is invalid.
  ui->answers = {Answer::Ok};
  Search([&] {
    EXPECT_EQ(search->CriterionTypeOf(kCostRow), ctRange);
    Type(kCostRow, "100");
    search->SearchGrid->setCurrentCell(kItemRow, 2);
    search->OkButton->click();
    EXPECT_EQ(search->SearchGrid->currentRow(), kCostRow);
    EXPECT_TRUE(search->isVisible());
    search->ExitButton->click();
  });
  EXPECT_EQ(ui->MessageTexts(), (std::vector<std::string>{"Invalid search criteria entered.  Please correct."}));
  EXPECT_EQ(ui->MessageCaptions(), (std::vector<std::string>{"Error"}));
  EXPECT_EQ(Shown(), (std::vector<std::string>{"SAWDUST"}));
}

TEST_F(TMySearchTest, EmptyLevelsUntouchedDatesAndTheLastLevel) {
  Start({{"Hacksaw", "TOOLS", "ANN"}, {"Drill", "TOOLS", "BOB"}});
  ui->answers = {Answer::Ok, Answer::Ok};
  Search([&] {
    search->OkButton->click();
    EXPECT_EQ(ui->MessageTexts(), (std::vector<std::string>{"No search criteria entered."}));
    // A level with items before still needs criteria of its own.
    Type(kItemRow, "saw");
    search->MoreButton->click();
    search->OkButton->click();
    EXPECT_EQ(ui->MessageTexts().size(), 2u);
    EXPECT_EQ(ui->MessageTexts().back(), "No search criteria entered.");
    // A date cell visited and left as its mask adds nothing.
    EXPECT_EQ(CellEditor(kPurchDateRow)->EditText(), "=   /  /    ");
    Type(kItemRow, "drill");
    search->OkButton->click();
  });
  EXPECT_EQ(Shown(), (std::vector<std::string>{"Drill", "Hacksaw"}));

  Search([&] {
    for (int level = 1; level < 10; ++level) {
      Type(kCategoryRow, "tools");
      search->MoreButton->click();
      EXPECT_EQ(search->MoreButton->isEnabled(), level < 9) << level;
    }
    EXPECT_EQ(Heading(), " SEARCH CRITERIA    (Level 10)");
    QTest::keyClick(search, Qt::Key_Escape);
  });
  Search([&] {
    EXPECT_EQ(Heading(), " SEARCH CRITERIA    (Level 1)");
    EXPECT_TRUE(search->MoreButton->isEnabled());
    Type(kCategoryRow, "tools");
    search->MoreButton->click();
    search->ClearButton->click();
    EXPECT_EQ(Heading(), " SEARCH CRITERIA    (Level 1)");
    EXPECT_TRUE(search->MoreButton->isEnabled());
    search->ExitButton->click();
  });
}

TEST_F(TMySearchTest, TheSeventySixthItemClearsTheQuery) {
  Start({{"Hacksaw", "TOOLS", "ANN"}});
  ui->answers = {Answer::Ok};
  Search([&] {
    auto fill = [&] {
      for (int row = 1; row <= kItemFieldCount; ++row) {
        const char letter = ItemFields[static_cast<size_t>(row - 1)].letter;
        search->SetCellText(row, letter == 'N' ? "= 1" : letter == 'D' ? "= 1/1/90" : "x");
      }
    };
    for (int level = 1; level <= 3; ++level) {
      fill();
      search->MoreButton->click();
    }
    EXPECT_EQ(search->Items().size(), 66u);
    fill();
    search->MoreButton->click();
    EXPECT_EQ(ui->MessageTexts(),
              (std::vector<std::string>{"More than 75 search items have been entered.  This exceeds the maximum "
                                        "allowable.  Search criteria will be cleared."}));
    EXPECT_EQ(search->Items().size(), 0u);
    EXPECT_EQ(Heading(), " SEARCH CRITERIA    (Level 1)");
    EXPECT_EQ(search->CellText(kItemRow), "");
    search->ExitButton->click();
  });
  EXPECT_FALSE(SearchActive);
}

TEST_F(TMySearchTest, AQueryMatchingNothingEndsTheSearch) {
  Start(kOwners);
  Search([&] {
    Type(kCategoryRow, "tools");
    search->OkButton->click();
  });
  ASSERT_EQ(Shown().size(), 2u);
  ui->answers = {Answer::Ok};
  Search([&] {
    Type(kOwnerRow, "nobody");
    search->OkButton->click();
    EXPECT_TRUE(search->isVisible());
    EXPECT_EQ(search->CellText(kOwnerRow), "");
    search->ExitButton->click();
  });
  EXPECT_EQ(ui->MessageTexts(), (std::vector<std::string>{"No valid matches found.  Search criteria will be cleared."}));
  EXPECT_EQ(ui->MessageCaptions(), (std::vector<std::string>{"Notice"}));
  EXPECT_FALSE(SearchActive);
  EXPECT_FALSE(main->SearchOnLabel->isVisible());
  EXPECT_EQ(Shown().size(), 4u);
  EXPECT_EQ(main->CountLabel->text(), "4");
}

TEST_F(TMySearchTest, ALocateDuringASearchFindsOnlyRecordsOfTheSearch) {
  // One category: the table shows them in the order they were added.
  Start({{"Hammer", "TOOLS", ""}, {"Hammock", "TOOLS", ""}, {"Hamper", "TOOLS", ""}});
  Search([&] {
    Type(kItemRow, "er");
    search->OkButton->click();
  });
  main->MyTable.First();
  ASSERT_EQ(main->MyTable.FieldByName("Item")->AsString(), "Hammer");
  WhileModal([&] { main->MenuLocate->trigger(); },
             [&] {
               auto* d = qobject_cast<TMyLocateDlg*>(QApplication::activeModalWidget());
               ASSERT_NE(d, nullptr);
               d->FieldNameComboBox->setCurrentIndex(d->FieldNameComboBox->findText("Item", Qt::MatchFixedString));
               d->SearchValue->setText("ham");
               d->NextButton->click();
             });
  EXPECT_EQ(main->MyTable.FieldByName("Item")->AsString(), "Hamper");
}

TEST_F(TMySearchTest, APickListEntryFillsTheCell) {
  Start(kOwners);
  main->MyEdit->ReplacePickList(5, {"ANN", "BOB"});
  Search([&] {
    QStringList shown;
    ChooseOption(kOwnerRow, 1, &shown);
    EXPECT_EQ(shown, (QStringList{"ANN", "BOB"}));
    EXPECT_EQ(search->CellText(kOwnerRow).substr(0, 3), "BOB");
    shown.clear();
    ChooseOption(14, 0, &shown);
    EXPECT_EQ(shown, (QStringList{"YES", "NO"}));
    search->ExitButton->click();
  });
}

// Levels 1 and 3, both options dialogs: rendered in the search colours at
// two scales, into the test pictures folder.
TEST_F(TMySearchTest, WindowsRenderAtBothScales) {
  Start(kOwners);
  Settings.colors[2] = MidnightBlack();
  auto shot = [](QWidget* w, const QString& name) {
    w->grab().save(QString::fromStdString(testing_support::ShotPath((name + ".png").toStdString())));
  };
  for (double scale : {1.0, 1.6}) {
    ScaleFactor = scale;
    const QString s = QString::number(scale);
    Search([&] {
      EXPECT_EQ(search->SearchGrid->width(), qRound(600 * scale) + 20);
      EXPECT_EQ(search->SearchGrid->columnWidth(0), qRound(200 * scale));
      EXPECT_EQ(search->SearchGrid->columnWidth(2), qRound(378 * scale));
      EXPECT_EQ(search->SearchGrid->item(kCostRow, 1)->background().color(), QColor(128, 128, 128));
      EXPECT_EQ(search->SearchGrid->item(kCostRow, 1)->text(), "...");
      EXPECT_EQ(search->SearchGrid->item(kItemRow, 1)->text(), "");
      EXPECT_EQ(search->SearchGrid->palette().color(QPalette::Base), QColor(127, 127, 127));
      EXPECT_EQ(search->palette().color(QPalette::Window), QColor(0, 0, 0));
      Type(kCategoryRow, "tools");
      shot(search, "search-level1-" + s);
      WhileModal(
          [&] { ClickOption(kCostRow); },
          [&] {
            auto* options = qobject_cast<TSearchOptions*>(QApplication::activeModalWidget());
            ASSERT_NE(options, nullptr);
            EXPECT_EQ(options->windowTitle(), "Search Options");
            EXPECT_EQ(options->FieldNameLabel->text(), "Cost");
            EXPECT_EQ(options->ListBox1->currentRow(), 0);
            EXPECT_EQ(options->ListBox1->palette().color(QPalette::Base), QColor(127, 127, 127));
            EXPECT_EQ(options->FieldNameLabel->palette().color(QPalette::WindowText), QColor(192, 192, 192));
            shot(options, "search-options-compare-" + s);
            options->CancelButton->click();
          });
      WhileModal(
          [&] { ClickOption(14); },
          [&] {
            auto* options = qobject_cast<TSearchOptions*>(QApplication::activeModalWidget());
            ASSERT_NE(options, nullptr);
            shot(options, "search-options-list-" + s);
            options->CancelButton->click();
          });
      search->MoreButton->click();
      Type(kOwnerRow, "ann");
      search->MoreButton->click();
      Type(kItemRow, "saw");
      shot(search, "search-level3-" + s);
      search->ExitButton->click();
    });
  }
}

}  // namespace
}  // namespace keldro
