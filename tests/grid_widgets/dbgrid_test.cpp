// The data grid on a real dBASE table, in a form of its own, offscreen:
// columns from `Selected`, titles, the data link's window, keys, check
// boxes, combo boxes, the scroll bar and the messages it shows.
#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QTest>
#include <QImage>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTimer>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "framework/dbtables.h"
#include "grid/ix_query.h"
#include "grid/ix_table.h"
#include "ix_dbcombobox.h"
#include "ix_dbgrid.h"
#include "ix_memo_dialog.h"
#include "platform/ui.h"
#include "temp_root.h"
#include "widget_app.h"
#include "shot_path.h"

namespace grid {
namespace {

namespace fs = std::filesystem;
using framework::TDataLink;
using framework::TField;
using framework::TTable;
using platform::ui::Answer;
using platform::ui::ScriptedUi;

struct Row {
  std::string item, brand, warranty, location;
  double cost;
};

// Every notification the grid's data source passes on, in order.
class RecordingLink : public TDataLink {
 public:
  std::vector<std::string> events;

 protected:
  void ActiveChanged() override { events.push_back("active"); }
  void DataSetChanged() override { events.push_back("changed"); }
  void DataSetScrolled(int distance) override { events.push_back("scrolled " + std::to_string(distance)); }
  void EditingChanged() override { events.push_back("editing"); }
  void LayoutChanged() override { events.push_back("layout"); }
  void RecordChanged(TField* field) override { events.push_back(field ? "field " + field->FieldName() : "record"); }
};

class DBGridTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { StartWidgetApplication(); }

  void SetUp() override {
    ui = std::make_shared<ScriptedUi>();
    ui->onUnexpected = [](const std::string& what) { ADD_FAILURE() << "unexpected " << what; };
    platform::ui::Install(ui);
    dir = root.path() / "DATA";
    fs::create_directories(dir);
    form = std::make_unique<QWidget>();
    form->setObjectName("Form");
    form->resize(640, 300);
    grid = new TixDBGrid(form.get());
    grid->setObjectName("G");
    grid->setGeometry(5, 5, 630, 290);
  }

  void TearDown() override {
    source.SetDataSet(nullptr);
    form.reset();
    table.reset();
    platform::ui::Install(nullptr);
  }

  void MakeTable(const std::vector<Row>& rows) {
    TTable t;
    t.SetDatabaseName(dir.string());
    t.SetTableName("ITEMS.DBF");
    t.SetTableType(framework::ttDBase);
    t.FieldDefs().Add("ITEM", framework::ftString, 20);
    t.FieldDefs().Add("BRAND", framework::ftString, 20);
    t.FieldDefs().Add("WARRANTY", framework::ftString, 5);
    t.FieldDefs().Add("LOCATION", framework::ftString, 20);
    t.FieldDefs().Add("COST", framework::ftFloat, 2);
    t.CreateTable();
    t.Open();
    for (const Row& r : rows) {
      t.Append();
      t.FieldByName("ITEM")->SetAsString(r.item);
      t.FieldByName("BRAND")->SetAsString(r.brand);
      t.FieldByName("WARRANTY")->SetAsString(r.warranty);
      t.FieldByName("LOCATION")->SetAsString(r.location);
      t.FieldByName("COST")->SetAsFloat(r.cost);
      t.Post();
    }
    t.Close();
  }

  static std::vector<Row> Numbered(int count) {
    std::vector<Row> rows;
    for (int i = 1; i <= count; ++i) rows.push_back({"Item " + std::to_string(i), "Acme", "No", "Attic", i * 1.0});
    return rows;
  }

  // Opens ITEMS through a library table under the grid.
  void Open(const TLines& controlType = {"WARRANTY;CheckBox;Yes;No", "BRAND;Combo;C1"}) {
    table = std::make_unique<TixTable>();
    table->SetDatabaseName(dir.string());
    table->SetTableName("ITEMS");
    table->SetControlType(controlType);
    source.SetDataSet(table.get());
    grid->SetDataSource(&source);
    grid->Loaded();
    table->Open();
    form->show();
    QApplication::processEvents();
  }

  TixDBComboBox* AddCombo(const char* name) {
    auto* c = new TixDBComboBox(form.get());
    c->setObjectName(name);
    c->hide();
    return c;
  }

  std::vector<std::string> Columns() const {
    std::vector<std::string> names;
    for (int i = 0; i < grid->DataLink().FieldCount(); ++i) names.push_back(grid->DataLink().Fields(i)->FieldName());
    return names;
  }

  void Key(int key, Qt::KeyboardModifiers mods = Qt::NoModifier, const QString& text = {}, QWidget* to = nullptr) {
    QKeyEvent press(QEvent::KeyPress, key, mods, text);
    QApplication::sendEvent(to ? to : grid, &press);
    QApplication::processEvents();
  }

  void GoToColumn(const std::string& field) {
    for (int c = grid->IndicatorOffset(); c < grid->ColCount(); ++c)
      if (grid->ColumnField(c)->FieldName() == field) {
        grid->SetSelectedIndex(c - grid->IndicatorOffset());
        return;
      }
    FAIL() << field;
  }

  std::string Stored(int recordNumber, const std::string& field) {
    TTable t;
    t.SetDatabaseName(dir.string());
    t.SetTableName("ITEMS");
    t.Open();
    t.First();
    t.MoveBy(recordNumber - 1);
    std::string v = t.FieldByName(field)->AsString();
    t.Close();
    return v;
  }

  int StoredCount() {
    TTable t;
    t.SetDatabaseName(dir.string());
    t.SetTableName("ITEMS");
    t.Open();
    int n = t.RecordCount();
    t.Close();
    return n;
  }

  QImage Render() { return grid->viewport()->grab().toImage(); }

  testing_support::TempRoot root;
  fs::path dir;
  std::shared_ptr<ScriptedUi> ui;
  std::unique_ptr<QWidget> form;
  TixDBGrid* grid = nullptr;
  std::unique_ptr<TixTable> table;
  TixDataSource source;
};

// ------------------------------------------------------------------ columns

TEST_F(DBGridTest, SelectedChoosesFieldsOrderWidthsAndTitlesAndAMissingFieldKeepsItsPlace) {
  MakeTable(Numbered(3));
  grid->SetSelected({"COST\t8\tPrice", "NOSUCH\t5\tGone", "ITEM\t12\tThing"});
  Open();
  EXPECT_EQ(Columns(), (std::vector<std::string>{"COST", "ITEM"}));
  EXPECT_EQ(table->FieldByName("COST")->Index(), 0);
  EXPECT_EQ(table->FieldByName("ITEM")->Index(), 2);  // line 3, the missing line 2 counted
  EXPECT_FALSE(table->FieldByName("BRAND")->Visible());
  EXPECT_EQ(table->FieldByName("COST")->DisplayLabel(), "Price");
  const int zero = QFontMetrics(grid->font()).horizontalAdvance('0');
  const int titleWidth = QFontMetrics(grid->TitleFont()).horizontalAdvance("Thing") + 4;
  EXPECT_EQ(grid->ColWidths(2), std::max(zero * 12 + 4, titleWidth));
  EXPECT_EQ(grid->ColWidths(0), kIndicatorWidth);
}

TEST_F(DBGridTest, FixedDataColumnsApplyOnlyWhenAScrollableColumnRemains) {
  MakeTable(Numbered(2));
  grid->SetSelected({"ITEM\t10\tItem", "BRAND\t10\tBrand", "COST\t8\tCost"});
  Open({});
  grid->SetFixedDataCols(1);
  EXPECT_EQ(grid->FixedCols(), 2);  // the indicator and Item
  EXPECT_EQ(grid->SelectedField()->FieldName(), "BRAND");
  for (int tooMany : {3, 7}) {
    grid->SetFixedDataCols(tooMany);
    EXPECT_EQ(grid->FixedCols(), 1) << tooMany;  // the indicator alone
    EXPECT_EQ(grid->FixedDataCols(), tooMany);  // kept for a wider dataset
  }
}

TEST_F(DBGridTest, ADatasetWithNoVisibleFieldStillHasOneEmptyColumn) {
  MakeTable(Numbered(2));
  Open();
  table->DisableControls();
  for (int i = 0; i < table->FieldCount(); ++i) table->Fields(i)->SetVisible(false);
  table->EnableControls();
  EXPECT_EQ(grid->DataLink().FieldCount(), 0);
  EXPECT_EQ(grid->ColCount(), 2);  // the indicator and one empty column
  EXPECT_EQ(grid->ColumnField(1), nullptr);
  Render();  // paints without a field
}

TEST_F(DBGridTest, TitleLinesBelowOneKeepTheOldValueAndATildeTitleDrawsTwoLines) {
  MakeTable(Numbered(2));
  grid->SetSelected({"ITEM\t20\tPurchase~Price"});
  Open();
  const int oneLine = grid->FixedRowHeight();
  grid->SetTitleLines(2);
  EXPECT_EQ(grid->TitleLines(), 2);
  for (int bad : {0, -3}) {
    grid->SetTitleLines(bad);
    EXPECT_EQ(grid->TitleLines(), 2) << bad;
  }
  const int lineHeight = QFontMetrics(grid->TitleFont()).height();
  EXPECT_EQ(grid->FixedRowHeight(), lineHeight * 2 + 4);
  EXPECT_GT(grid->FixedRowHeight(), oneLine);

  // Ink in both halves of the title cell, each line narrower than the label.
  grid->SetTitleColor(Qt::white);
  grid->TitleFontColor = Qt::black;
  const QImage image = Render();
  const QRect title = grid->CellRect(1, 0);
  auto inkRows = [&](int top, int bottom) {
    int rows = 0;
    for (int y = top; y < bottom; ++y) {
      bool ink = false;
      for (int x = title.left() + 1; x < title.right() - 1 && !ink; ++x) ink = qGray(image.pixel(x, y)) < 100;
      rows += ink;
    }
    return rows;
  };
  const int mid = title.top() + title.height() / 2;
  EXPECT_GT(inkRows(title.top() + 1, mid), 3);
  EXPECT_GT(inkRows(mid, title.bottom() - 1), 3);
  image.save(QString::fromStdString(testing_support::ShotPath("grid_two_line_title.png")));
}

// ------------------------------------------------------------ data sources

TEST_F(DBGridTest, APlainTableIsRefusedAndTheDataSourceCleared) {
  MakeTable(Numbered(1));
  TTable plain;
  plain.SetDatabaseName(dir.string());
  plain.SetTableName("ITEMS");
  TixDataSource plainSource(&plain);
  ui->answers = {Answer::Ok};
  grid->SetDataSource(&plainSource);
  plain.Open();
  ASSERT_EQ(ui->MessageTexts(), (std::vector<std::string>{kNotALibraryDataSetMessage}));
  EXPECT_EQ(grid->DataSource(), nullptr);
  plain.Close();

  // A data source of another kind reads back as none.
  framework::TDataSource other;
  grid->SetDataSource(&other);
  EXPECT_EQ(grid->DataSource(), nullptr);
}

TEST_F(DBGridTest, AComboNamedOnTwoLinesIsReportedAndStillAttached) {
  MakeTable(Numbered(1));
  TixDBComboBox* c1 = AddCombo("C1");
  ui->answers = {Answer::Ok};
  Open({"BRAND;Combo;C1", "LOCATION;Combo;C1"});
  ASSERT_FALSE(ui->MessageTexts().empty());
  EXPECT_EQ(ui->MessageTexts()[0], "Combobox C1 is attached twice to the grid G on field LOCATION and BRAND.");
  EXPECT_EQ(ui->MessageCaptions()[0], "Warning");
  EXPECT_EQ(c1->DataField(), "LOCATION");
  EXPECT_EQ(c1->OwnerGrid(), grid);
}

// ------------------------------------------------------ the record window

TEST_F(DBGridTest, TheLinkHoldsOnlyTheRowsOnScreenAndPagesThroughMoveBy) {
  MakeTable(Numbered(60));
  Open();
  const int visible = grid->VisibleRowCountFor(grid->viewport()->height());
  ASSERT_GT(visible, 3);
  ASSERT_LT(visible, 60);
  EXPECT_EQ(grid->DataLink().BufferCount(), visible);
  EXPECT_EQ(table->BufferedRecordCount(), visible);
  EXPECT_EQ(grid->RowCount(), visible + 1);

  RecordingLink watcher;
  watcher.SetDataSource(&source);
  watcher.events.clear();
  Key(Qt::Key_PageDown);
  EXPECT_EQ(table->FieldByName("ITEM")->AsString(), "Item " + std::to_string(1 + visible));
  EXPECT_EQ(grid->Row(), 1 + grid->DataLink().ActiveRecord());
  Key(Qt::Key_End, Qt::ControlModifier);
  EXPECT_EQ(table->FieldByName("ITEM")->AsString(), "Item 60");
  EXPECT_EQ(grid->Row(), grid->RowCount() - 1);
  Key(Qt::Key_Up, Qt::ControlModifier);  // top of the screen
  EXPECT_EQ(table->FieldByName("ITEM")->AsString(), "Item " + std::to_string(61 - visible));
  Key(Qt::Key_Home, Qt::ControlModifier);
  EXPECT_EQ(table->FieldByName("ITEM")->AsString(), "Item 1");
  // Moves only: nothing was edited or laid out again.
  for (const std::string& e : watcher.events) EXPECT_TRUE(e == "changed" || e.rfind("scrolled", 0) == 0) << e;
  watcher.SetDataSource(nullptr);
}

TEST_F(DBGridTest, TheScrollBarHasFivePositionsOnADBaseTable) {
  MakeTable(Numbered(60));
  Open();
  QScrollBar* bar = grid->verticalScrollBar();
  EXPECT_EQ(bar->maximum(), 4);
  EXPECT_EQ(bar->value(), 0);
  Key(Qt::Key_Down);
  EXPECT_EQ(bar->value(), 2);
  Key(Qt::Key_End, Qt::ControlModifier);
  EXPECT_EQ(bar->value(), 4);

  struct Case {
    int thumb;
    std::string item;  // where the table stands afterwards
  } cases[] = {{2, "Item 60"}, {0, "Item 1"}, {4, "Item 60"}};
  for (const Case& c : cases) {
    bar->setSliderDown(true);
    bar->setSliderPosition(c.thumb);
    bar->setSliderDown(false);
    QApplication::processEvents();
    EXPECT_EQ(table->FieldByName("ITEM")->AsString(), c.item) << c.thumb;
  }
  // Paging with the thumb: position 3 moves down a screen.
  table->First();
  const int visible = grid->VisibleDataRows();
  bar->setSliderDown(true);
  bar->setSliderPosition(3);
  bar->setSliderDown(false);
  EXPECT_EQ(table->FieldByName("ITEM")->AsString(), "Item " + std::to_string(1 + visible));
  EXPECT_EQ(bar->value(), 2);
  bar->triggerAction(QAbstractSlider::SliderToMaximum);
  EXPECT_EQ(table->FieldByName("ITEM")->AsString(), "Item 60");
  EXPECT_EQ(bar->value(), 4);
}

// ------------------------------------------------------------------- keys

TEST_F(DBGridTest, DownOnTheLastRecordAppendsAndUpOnTheUntouchedNewRecordCancelsIt) {
  MakeTable(Numbered(3));
  Open();
  Key(Qt::Key_End, Qt::ControlModifier);
  Key(Qt::Key_Down);
  EXPECT_EQ(table->State(), framework::dsInsert);
  Key(Qt::Key_Down);  // at the end of the table an untouched new record stays
  EXPECT_EQ(table->State(), framework::dsInsert);
  Key(Qt::Key_Up);
  EXPECT_EQ(table->State(), framework::dsBrowse);
  EXPECT_EQ(table->FieldByName("ITEM")->AsString(), "Item 3");
  EXPECT_EQ(StoredCount(), 3);

  // Without editing the grid never appends.
  grid->SetOptions(grid->Options() & ~dgEditing);
  Key(Qt::Key_Down);
  EXPECT_EQ(table->State(), framework::dsBrowse);
}

TEST_F(DBGridTest, EscOnAModifiedRowAsksBeforeTheChangesGo) {
  MakeTable(Numbered(3));
  Open();
  GoToColumn("ITEM");
  Key(Qt::Key_X, Qt::NoModifier, "X");
  ASSERT_TRUE(grid->EditorMode());
  EXPECT_EQ(grid->InplaceEditor()->text(), "X");
  Key(Qt::Key_Return, Qt::NoModifier, {}, grid->InplaceEditor());
  EXPECT_EQ(table->State(), framework::dsEdit);
  EXPECT_EQ(table->FieldByName("ITEM")->AsString(), "X");

  ui->answers = {Answer::No};
  Key(Qt::Key_Escape);
  EXPECT_EQ(ui->MessageTexts(), (std::vector<std::string>{kDiscardChangesQuestion}));
  EXPECT_EQ(table->State(), framework::dsEdit);
  EXPECT_EQ(table->FieldByName("ITEM")->AsString(), "X");

  ui->answers = {Answer::Yes};
  Key(Qt::Key_Escape);
  EXPECT_EQ(table->State(), framework::dsBrowse);
  EXPECT_EQ(table->FieldByName("ITEM")->AsString(), "Item 1");
  EXPECT_EQ(Stored(1, "ITEM"), "Item 1");
}

TEST_F(DBGridTest, CtrlDeleteAsksAndCancelDeletesNothing) {
  MakeTable(Numbered(3));
  Open();
  Key(Qt::Key_Down);
  RecordingLink watcher;
  watcher.SetDataSource(&source);
  watcher.events.clear();
  ui->answers = {Answer::Cancel};
  Key(Qt::Key_Delete, Qt::ControlModifier);
  EXPECT_EQ(ui->MessageTexts(), (std::vector<std::string>{kDeleteRecordQuestion}));
  EXPECT_EQ(ui->MessageCaptions(), (std::vector<std::string>{"Confirm"}));
  EXPECT_TRUE(watcher.events.empty());
  EXPECT_EQ(StoredCount(), 3);

  ui->answers = {Answer::Ok};
  Key(Qt::Key_Delete, Qt::ControlModifier);
  EXPECT_EQ(StoredCount(), 2);
  EXPECT_EQ(table->FieldByName("ITEM")->AsString(), "Item 3");
  watcher.SetDataSource(nullptr);
}

TEST_F(DBGridTest, WithNoRecordCtrlDeleteAsksNothing) {
  MakeTable({});
  Open();
  Key(Qt::Key_Delete, Qt::ControlModifier);
  EXPECT_TRUE(ui->calls.empty());
  EXPECT_EQ(table->State(), framework::dsBrowse);
}

TEST_F(DBGridTest, AReadOnlyGridNeitherInsertsNorDeletes) {
  MakeTable(Numbered(2));
  Open();
  grid->SetReadOnly(true);
  Key(Qt::Key_Insert);
  Key(Qt::Key_Delete, Qt::ControlModifier);
  Key(Qt::Key_End, Qt::ControlModifier);
  Key(Qt::Key_Down);
  EXPECT_EQ(table->State(), framework::dsBrowse);
  EXPECT_TRUE(ui->calls.empty());
  EXPECT_EQ(StoredCount(), 2);
}

TEST_F(DBGridTest, RowSelectMovesBetweenRecordsWithLeftAndRight) {
  MakeTable(Numbered(3));
  Open();
  grid->SetOptions((grid->Options() | dgRowSelect) & ~dgEditing);
  const int col = grid->Col();
  Key(Qt::Key_Right);
  Key(Qt::Key_Right);
  EXPECT_EQ(table->FieldByName("ITEM")->AsString(), "Item 3");
  Key(Qt::Key_Left);
  EXPECT_EQ(table->FieldByName("ITEM")->AsString(), "Item 2");
  EXPECT_EQ(grid->Col(), col);
}

TEST_F(DBGridTest, TabWalksTheColumnsAndWrapsToTheNextRecord) {
  MakeTable(Numbered(2));
  grid->SetSelected({"ITEM\t10\tItem", "COST\t8\tCost"});
  Open({});
  EXPECT_EQ(grid->SelectedField()->FieldName(), "ITEM");
  Key(Qt::Key_Tab);
  EXPECT_EQ(grid->SelectedField()->FieldName(), "COST");
  Key(Qt::Key_Tab);
  EXPECT_EQ(grid->SelectedField()->FieldName(), "ITEM");
  EXPECT_EQ(table->FieldByName("ITEM")->AsString(), "Item 2");
  Key(Qt::Key_Backtab, Qt::ShiftModifier);
  EXPECT_EQ(grid->SelectedField()->FieldName(), "COST");
  EXPECT_EQ(table->FieldByName("ITEM")->AsString(), "Item 1");
}

TEST_F(DBGridTest, DraggingATitleBorderSetsTheDisplayWidthAndDraggingATitleMovesTheField) {
  MakeTable(Numbered(2));
  grid->SetSelected({"ITEM\t10\tItem", "BRAND\t10\tBrand", "COST\t8\tCost"});
  Open({});
  auto mouse = [&](QEvent::Type type, QPoint at) {
    QMouseEvent e(type, at, grid->viewport()->mapToGlobal(at), Qt::LeftButton,
                  type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(grid->viewport(), &e);
  };
  const QRect item = grid->CellRect(1, 0);
  const QPoint border(item.right() + 1, item.center().y());
  mouse(QEvent::MouseButtonPress, border);
  mouse(QEvent::MouseMove, border + QPoint(40, 0));
  mouse(QEvent::MouseButtonRelease, border + QPoint(40, 0));
  const int zero = QFontMetrics(grid->font()).horizontalAdvance('0');
  const int dragged = item.width() + 40;
  EXPECT_EQ(table->FieldByName("ITEM")->DisplayWidth(), (dragged + zero / 2 - 3) / zero);
  EXPECT_EQ(grid->ColWidths(1), zero * table->FieldByName("ITEM")->DisplayWidth() + 4);

  // The Cost title dropped on the Item title: Cost takes Item's place.
  mouse(QEvent::MouseButtonPress, grid->CellRect(3, 0).center());
  mouse(QEvent::MouseButtonRelease, grid->CellRect(1, 0).center());
  EXPECT_EQ(Columns(), (std::vector<std::string>{"COST", "ITEM", "BRAND"}));
}

TEST_F(DBGridTest, MovingPastTheRightEdgeScrollsTheColumnsIntoView) {
  MakeTable(Numbered(2));
  Open({});
  grid->resize(160, 200);
  QApplication::processEvents();
  Key(Qt::Key_Right, Qt::ControlModifier);
  EXPECT_EQ(grid->SelectedField()->FieldName(), "COST");
  EXPECT_GT(grid->LeftCol(), grid->FixedCols());
  const QRect cell = grid->CellRect(grid->Col(), grid->Row());
  ASSERT_TRUE(cell.isValid());
  EXPECT_LE(cell.right(), grid->viewport()->width());
  EXPECT_EQ(grid->horizontalScrollBar()->value(), grid->LeftCol() - grid->FixedCols());
  Key(Qt::Key_Left, Qt::ControlModifier);
  EXPECT_EQ(grid->LeftCol(), grid->FixedCols());
}

// ------------------------------------------------------------- check boxes

TEST_F(DBGridTest, CheckBoxesDrawACrossForTheCheckedValueAndToggleIntoTheFile) {
  MakeTable({{"A", "", "Maybe", "", 1}, {"B", "", "Yes", "", 2}, {"C", "", "No", "", 3}});
  grid->SetSelected({"ITEM\t10\tItem", "WARRANTY\t8\tWarranty"});
  Open();
  GoToColumn("WARRANTY");
  ASSERT_EQ(grid->CellControl(grid->Col(), grid->Row()), TixCellControl::CheckBox);
  EXPECT_FALSE(grid->EditorMode());
  Key(Qt::Key_F2);
  EXPECT_FALSE(grid->EditorMode());  // no editor over a check box

  // The cross: dark pixels at the box's centre only on the "Yes" row.
  grid->SetColor(Qt::white);
  grid->SetOptions(grid->Options() & ~dgAlwaysShowSelection);
  const QImage image = Render();
  for (int row = 1; row <= 3; ++row) {
    const QRect cell = grid->CellRect(grid->Col(), row);
    const QRect box((cell.left() + cell.right() + 1 - 10) / 2, (cell.top() + cell.bottom() + 1 - 10) / 2, 10, 10);
    int ink = 0;
    for (int y = box.top() + 2; y <= box.bottom() - 2; ++y)
      for (int x = box.left() + 2; x <= box.right() - 2; ++x) ink += qGray(image.pixel(x, y)) < 100;
    EXPECT_EQ(ink > 4, row == 2) << row;
    EXPECT_LT(qGray(image.pixel(box.topLeft())), 200) << "the box's frame on row " << row;
  }

  // Space toggles: "Maybe" becomes "Yes"; a double click "Yes" to "No".
  Key(Qt::Key_Space, Qt::NoModifier, " ");
  EXPECT_EQ(table->FieldByName("WARRANTY")->AsString(), "Yes");
  Key(Qt::Key_Down);
  EXPECT_EQ(Stored(1, "WARRANTY"), "Yes");
  const QPoint centre = grid->CellRect(grid->Col(), grid->Row()).center();
  QMouseEvent dbl(QEvent::MouseButtonDblClick, centre, grid->viewport()->mapToGlobal(centre), Qt::LeftButton,
                  Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(grid->viewport(), &dbl);
  EXPECT_EQ(table->FieldByName("WARRANTY")->AsString(), "No");
  Key(Qt::Key_Up);
  EXPECT_EQ(Stored(2, "WARRANTY"), "No");

  // Without editing nothing toggles.
  grid->SetOptions((grid->Options() & ~dgEditing) | dgRowSelect);
  Key(Qt::Key_Space, Qt::NoModifier, " ");
  EXPECT_EQ(table->State(), framework::dsBrowse);
  EXPECT_EQ(table->FieldByName("WARRANTY")->AsString(), "Yes");
}

TEST_F(DBGridTest, ACheckBoxLineOfThreePartsIsNoCheckBox) {
  MakeTable(Numbered(1));
  Open({"WARRANTY;CheckBox;Yes"});
  GoToColumn("WARRANTY");
  EXPECT_EQ(grid->CellControl(grid->Col(), grid->Row()), TixCellControl::None);
}

// ------------------------------------------------------------------ combos

TEST_F(DBGridTest, AComboShowsOverTheCurrentCellWritesThePickAndHandsKeysBack) {
  MakeTable(Numbered(3));
  TixDBComboBox* c1 = AddCombo("C1");
  c1->addItems({"Acme", "Sony", "Nikon"});
  grid->SetSelected({"ITEM\t10\tItem", "BRAND\t10\tBrand", "COST\t8\tCost"});
  Open();
  form->activateWindow();
  grid->setFocus();
  GoToColumn("BRAND");
  QApplication::processEvents();
  grid->repaint();
  ASSERT_EQ(grid->ShownCombo(), c1);
  EXPECT_TRUE(c1->isVisible());
  const QRect cell = grid->CellRect(grid->Col(), grid->Row());
  EXPECT_EQ(c1->geometry(), QRect(grid->viewport()->mapTo(form.get(), cell.topLeft()), cell.size()));
  EXPECT_EQ(c1->currentText(), "Acme");

  // Choosing an entry and moving on writes it.
  c1->setFocus();
  c1->setCurrentIndex(1);
  emit c1->textActivated("Sony");
  EXPECT_EQ(table->State(), framework::dsEdit);
  Key(Qt::Key_Tab, Qt::NoModifier, {}, c1);
  EXPECT_EQ(grid->SelectedField()->FieldName(), "COST");
  Key(Qt::Key_Down);
  EXPECT_EQ(Stored(1, "BRAND"), "Sony");
  QApplication::processEvents();
  EXPECT_FALSE(c1->isVisible());  // the combo stays with its column

  // Enter hands the key back too, and Esc in the combo returns to the grid.
  GoToColumn("BRAND");
  grid->repaint();
  ASSERT_EQ(grid->ShownCombo(), c1);
  c1->setFocus();
  Key(Qt::Key_Return, Qt::NoModifier, {}, c1);
  EXPECT_TRUE(grid->hasFocus() || !form->isActiveWindow());
  EXPECT_EQ(table->FieldByName("ITEM")->AsString(), "Item 2");

  // Without editing no combo shows.
  grid->SetOptions((grid->Options() & ~dgEditing) | dgRowSelect);
  grid->repaint();
  EXPECT_EQ(grid->ShownCombo(), nullptr);
  EXPECT_FALSE(c1->isVisible());
}

TEST_F(DBGridTest, CalcCellColorsRecoloursItsCellsAndAltDownOpensAComboCellsList) {
  MakeTable(Numbered(3));
  TixDBComboBox* c1 = AddCombo("C1");
  c1->addItems({"Acme", "Sony", "Nikon"});
  grid->SetSelected({"ITEM\t10\tItem", "BRAND\t10\tBrand", "LOCATION\t10\tLocation"});
  const QColor green(0, 160, 0), red(220, 0, 0);
  grid->OnCalcCellColors = [&](TixDBGrid&, framework::TField* f, TGridDrawState, bool highlighted, QFont&,
                               QColor& text, QColor& brush) {
    if (f->FieldName() == "LOCATION" && !highlighted) {
      brush = green;
      text = red;
    }
  };
  Open();
  const QImage image = Render();
  image.save(QString::fromStdString(testing_support::ShotPath("grid_cell_colors.png")));
  auto colCell = [&](const std::string& field, int record) {
    for (int c = grid->IndicatorOffset(); c < grid->ColCount(); ++c)
      if (grid->ColumnField(c)->FieldName() == field) return grid->CellRect(c, grid->TitleOffset() + record - 1);
    ADD_FAILURE() << field;
    return QRect();
  };
  auto count = [&](const QRect& r, const std::function<bool(QColor)>& like) {
    int n = 0;
    for (int y = r.top(); y <= r.bottom(); ++y)
      for (int x = r.left(); x <= r.right(); ++x) n += like(image.pixelColor(x, y));
    return n;
  };
  auto isGreen = [&](QColor c) { return c.rgb() == green.rgb(); };
  // Text is drawn smoothed: its pixels are shades between ink and cell.
  auto isReddish = [](QColor c) { return c.red() > 120 && c.red() > 2 * c.green() && c.red() > 2 * c.blue(); };
  // The second record's location: a green cell with red text; its item cell
  // keeps the grid's colours.
  const QRect location = colCell("LOCATION", 2), item = colCell("ITEM", 2);
  EXPECT_EQ(image.pixelColor(location.right() - 2, location.center().y()).rgb(), green.rgb());
  EXPECT_GT(count(location, isGreen), location.width() * location.height() / 2);
  EXPECT_GT(count(location, isReddish), 5);
  EXPECT_EQ(count(item, isGreen), 0);
  EXPECT_EQ(count(item, isReddish), 0);

  // Alt+Down on the Combo cell: its combo takes the focus and drops its list.
  form->activateWindow();
  grid->setFocus();
  GoToColumn("BRAND");
  grid->repaint();
  ASSERT_EQ(grid->ShownCombo(), c1);
  QTest::keyClick(grid, Qt::Key_Down, Qt::AltModifier);
  EXPECT_TRUE(c1->view()->isVisible());
  EXPECT_EQ(table->FieldByName("ITEM")->AsString(), "Item 1");  // the grid did not move
  c1->hidePopup();
  EXPECT_EQ(form->focusWidget(), c1);  // the form's focus, active window or not
}

// ------------------------------------------------------------------- memos

TEST_F(DBGridTest, MemoCellsShowTheirMarkOrFirstLineAndF2OpensTheMemoDialog) {
  TTable t;
  t.SetDatabaseName(dir.string());
  t.SetTableName("ITEMS.DBF");
  t.SetTableType(framework::ttDBase);
  t.FieldDefs().Add("ITEM", framework::ftString, 20);
  t.FieldDefs().Add("NOTES", framework::ftMemo);
  t.CreateTable();
  t.Open();
  t.Append();
  t.FieldByName("ITEM")->SetAsString("Lamp");
  t.FieldByName("NOTES")->SetAsString("Bought in Paris\r\nsecond line");
  t.Post();
  t.Close();
  grid->SetSelected({"ITEM\t10\tItem", "NOTES\t10\tShop~Notes"});
  Open({});
  GoToColumn("NOTES");
  EXPECT_EQ(grid->CellControl(grid->Col(), grid->Row()), TixCellControl::Memo);
  EXPECT_EQ(grid->MemoText(*grid->SelectedField(), 0), "(Memo)");
  grid->SetMemoAttributes(grid->MemoAttributes() | mGridShow);
  EXPECT_EQ(grid->MemoText(*grid->SelectedField(), 0), "Bought in Paris");
  Key(Qt::Key_A, Qt::NoModifier, "a");
  EXPECT_FALSE(grid->EditorMode());  // no in-place editor over a memo

  // F2 opens the dialog on the field; closing it without OK is a cancel.
  std::vector<std::string> opened;
  std::vector<bool> closed;
  grid->OnMemoOpen = [&](TixDBGrid&, TixMemoDialog& dialog) {
    opened.push_back(dialog.DataField + "|" + dialog.Caption + "|" +
                     ((dialog.MemoAttributes & mViewOnly) ? "view only" : "editable"));
    QTimer::singleShot(0, [] {
      if (QWidget* modal = QApplication::activeModalWidget()) modal->close();
    });
  };
  grid->OnMemoClose = [&](TixDBGrid&, bool cancelled) { closed.push_back(cancelled); };
  Key(Qt::Key_F2);
  EXPECT_EQ(opened, (std::vector<std::string>{"NOTES|Shop Notes|editable"}));
  EXPECT_EQ(closed, (std::vector<bool>{true}));
  // A grid that cannot edit opens it to look only; mDisableDialog never.
  grid->SetReadOnly(true);
  grid->OpenMemo();
  EXPECT_EQ(opened.back(), "NOTES|Shop Notes|view only");
  grid->SetMemoAttributes(grid->MemoAttributes() | mDisableDialog);
  grid->OpenMemo();
  EXPECT_EQ(opened.size(), 2u);
}

TEST_F(DBGridTest, TypingOnAComboCellGoesIntoTheComboAsTypedAndIsStored) {
  MakeTable(Numbered(2));
  TixDBComboBox* c1 = AddCombo("C1");
  c1->addItems({"Nikon", "Sony"});
  grid->SetSelected({"ITEM\t10\tItem", "BRAND\t10\tBrand"});
  Open();
  GoToColumn("BRAND");
  Key(Qt::Key_N, Qt::NoModifier, "N");
  ASSERT_EQ(grid->ShownCombo(), c1);
  EXPECT_EQ(c1->currentText(), "N");  // not completed to "Nikon"
  EXPECT_EQ(table->State(), framework::dsEdit);
  Key(Qt::Key_Tab, Qt::NoModifier, {}, c1);
  Key(Qt::Key_Down);
  EXPECT_EQ(Stored(1, "BRAND"), "N");
}

// ---------------------------------------------------------------- data link

TEST(GridDataLinkTest, TheFieldMapGrowsByDoublingAndStopsBelowTheColumnLimit) {
  int argc = 0;
  if (!QApplication::instance()) new QApplication(argc, nullptr);
  TixDBGrid grid;
  TixGridDataLink& link = grid.DataLink();
  std::vector<int> capacities;
  for (int i = 0; i < kMaxGridColumns - 1; ++i) {
    link.AddMapping(i);
    if (capacities.empty() || capacities.back() != link.MapCapacity()) capacities.push_back(link.MapCapacity());
  }
  EXPECT_EQ(capacities.front(), 8);
  EXPECT_EQ(capacities[1], 16);
  EXPECT_EQ(capacities.back(), kMaxGridColumns);
  try {
    link.AddMapping(0);
    FAIL() << "a 16380th mapped field was taken";
  } catch (const EInvalidGridOperation& e) {
    EXPECT_EQ(e.Message(), kTooManyColumnsMessage);
  }
  EXPECT_EQ(link.FieldCount(), kMaxGridColumns - 1);
}

}  // namespace
}  // namespace grid

// ------------------------------------------------------------ query datasets

namespace grid {
namespace {

TEST_F(DBGridTest, QueryDataSetsOpenInTheGrid) {
  MakeTable({{"Radio", "Sony", "Yes", "Den", 35.5}, {"Lamp", "Acme", "No", "Attic", 12}, {"TV", "Sony", "No", "Den", 499}});
  TixQBE qbe;
  qbe.SetDatabaseName(dir.string());
  qbe.SetControlType({"WARRANTY;CheckBox;Yes;No"});
  qbe.SetQBE({"ITEMS | ITEM | WARRANTY | BRAND |", "| Check | Check | sony |"});
  source.SetDataSet(&qbe);
  grid->SetDataSource(&source);
  grid->Loaded();
  qbe.Open();
  form->show();
  QApplication::processEvents();
  EXPECT_EQ(grid->DataSource(), &source);
  EXPECT_EQ(Columns(), (std::vector<std::string>{"ITEM", "WARRANTY"}));
  EXPECT_EQ(grid->RowCount() - grid->TitleOffset(), 2);
  Render().save(QString::fromStdString(testing_support::ShotPath("grid_qbe_answer.png")));
  qbe.Close();

  TixQuery query;
  query.SetDatabaseName(dir.string());
  query.SQL = {"SELECT ITEM, COST FROM ITEMS WHERE COST > 20 ORDER BY COST DESC"};
  source.SetDataSet(&query);
  query.Open();
  QApplication::processEvents();
  EXPECT_EQ(grid->DataSource(), &source);
  EXPECT_EQ(Columns(), (std::vector<std::string>{"ITEM", "COST"}));
  EXPECT_EQ(query.FieldByName("ITEM")->AsString(), "TV");
  EXPECT_TRUE(ui->unexpected.empty());
  query.Close();
  source.SetDataSet(nullptr);
}

}  // namespace
}  // namespace grid
