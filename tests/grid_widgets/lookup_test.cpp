// The lookup combo and list over a real brands table, offscreen: warnings,
// where the list drops, searching as typed, what a choice writes.
#include <gtest/gtest.h>

#include <QApplication>
#include <QGuiApplication>
#include <QImage>
#include <QKeyEvent>
#include <QPainter>
#include <QScreen>
#include <QStyle>
#include <QTest>

#include <filesystem>
#include <memory>
#include <tuple>

#include "framework/dbtables.h"
#include "brands_table.h"
#include "grid/ix_table.h"
#include "ix_dbgrid.h"
#include "ix_lookup.h"
#include "platform/ui.h"
#include "temp_root.h"
#include "widget_app.h"
#include "shot_path.h"

namespace grid {
namespace {

namespace fs = std::filesystem;
using gridtest::MakeBrandsTable;
using framework::TField;
using framework::TTable;
using platform::ui::ScriptedUi;

class LookupTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { StartWidgetApplication(); }

  void SetUp() override {
    ui = std::make_shared<ScriptedUi>();
    platform::ui::Install(ui);
    dir = root.path() / "DATA";
    fs::create_directories(dir);
    MakeBrandsTable(dir.string());
    {
      TTable i;
      i.SetDatabaseName(dir.string());
      i.SetTableName("ITEMS.DBF");
      i.FieldDefs().Add("ITEM", framework::ftString, 20);
      i.FieldDefs().Add("BRAND", framework::ftString, 20);
      i.FieldDefs().Add("BRANDID", framework::ftInteger);
      i.CreateTable();
      i.Open();
      for (auto [item, brand, id] :
           {std::tuple{"Radio", "Sony", 1}, std::tuple{"Camera", "Nikon", 2}, std::tuple{"Lamp", "Philips", 3}}) {
        i.Append();
        i.FieldByName("ITEM")->SetAsString(item);
        i.FieldByName("BRAND")->SetAsString(brand);
        i.FieldByName("BRANDID")->SetAsInteger(id);
        i.Post();
      }
    }
    UseBrands(std::make_unique<TixTable>());
    items = std::make_unique<TixTable>();
    items->SetDatabaseName(dir.string());
    items->SetTableName("ITEMS");
    items->AddCalcField("MAKER", framework::ftString, 20);
    items->SetLookupFields({"MAKER;" + dir.string() + ";BRANDS;NAME;ID"});
    items->SetLookupLinks({"BRANDID;ID"});
    source.SetDataSet(items.get());
    form = std::make_unique<QWidget>();
    form->resize(300, 120);
    combo = new TixDBLookupCombo(form.get());
    combo->setGeometry(10, 10, 200, 25);
  }

  void TearDown() override {
    form.reset();
    source.SetDataSet(nullptr);
    items.reset();
    brands.reset();
    platform::ui::Install(nullptr);
  }

  void UseBrands(std::unique_ptr<TixTable> table) {
    brands = std::move(table);
    brands->Name = "Brands";
    brands->SetDatabaseName(dir.string());
    brands->SetTableName("BRANDS");
    brands->SetIndexName("NAME");
  }

  void OpenAll(const std::string& field = "BRAND") {
    brands->Open();
    items->Open();
    combo->SetDataSource(&source);
    combo->SetDataField(field);
    combo->SetLookupTable(brands.get());
    combo->SetLookupField("NAME");
    form->show();
  }

  void Type(const QString& text) {
    for (QChar c : text) {
      QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
      QApplication::sendEvent(combo, &press);
    }
  }
  void Key(int key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    QKeyEvent press(QEvent::KeyPress, key, mods);
    QApplication::sendEvent(combo, &press);
  }

  std::vector<std::string> Messages() {
    std::vector<std::string> out;
    for (const auto& c : ui->calls) out.push_back(c.message.caption + ": " + c.message.text);
    return out;
  }

  // A grid over ITEMS whose BRAND cells are edited through the combo, the
  // current cell on BRAND of the first record; the combo shows over it.
  TixDBGrid* PlaceInGrid(TixDBGridOptions options = kDefaultDBGridOptions) {
    form->resize(400, 200);
    combo->setObjectName("L1");
    combo->hide();
    auto* g = new TixDBGrid(form.get());
    g->setObjectName("G");
    g->setGeometry(5, 5, 390, 190);
    g->SetOptions(options);
    items->SetControlType({"BRAND;LookupCombo;L1"});
    brands->Open();
    combo->SetLookupTable(brands.get());
    combo->SetLookupField("NAME");
    g->SetDataSource(&source);
    g->Loaded();
    items->Open();
    Activate();
    g->SetSelectedIndex(BrandCol(g) - g->IndicatorOffset());
    g->setFocus();
    g->viewport()->repaint();
    return g;
  }
  static int BrandCol(TixDBGrid* g) {
    for (int c = g->IndicatorOffset(); c < g->ColCount(); ++c)
      if (g->ColumnField(c)->FieldName() == "BRAND") return c;
    return -1;
  }

  void Activate() {
    form->show();
    form->activateWindow();
    QApplication::processEvents();
  }

  // The picture of a widget (the drop-down beneath a combo when `list`).
  static void Save(QWidget* w, const char* name) { w->grab().toImage().save(QString::fromStdString(testing_support::ShotPath(name))); }
  // Pixels of a colour in a widget's picture.
  static int CountColour(QWidget* w, const QColor& colour) {
    const QImage image = w->grab().toImage();
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
      for (int x = 0; x < image.width(); ++x) n += image.pixelColor(x, y).rgb() == colour.rgb();
    return n;
  }
  // The lookup table's current name.
  std::string At() { return brands->FieldByName("NAME")->AsString(); }

  testing_support::TempRoot root;
  fs::path dir;
  std::shared_ptr<ScriptedUi> ui;
  std::unique_ptr<TixTable> brands, items;
  TixDataSource source;
  std::unique_ptr<QWidget> form;
  TixDBLookupCombo* combo = nullptr;
};

TEST_F(LookupTest, DropDownWarnsWithoutAnOpenLookupTable) {
  combo->DropDown();
  combo->SetLookupTable(brands.get());
  combo->DropDown();
  EXPECT_EQ(Messages(), (std::vector<std::string>{"Warning: No lookup table specified!",
                                                  "Warning: Lookup table is not active!"}));
  EXPECT_FALSE(combo->ListVisible());
  ui->unexpected.clear();
}

TEST_F(LookupTest, ListDropsBelowOrAboveAndShowsTheCurrentValue) {
  OpenAll();
  EXPECT_EQ(combo->text(), "Sony");
  combo->DropDown();
  ASSERT_TRUE(combo->ListVisible());
  const QRect list = combo->List().geometry();
  EXPECT_EQ(list.top(), combo->mapToGlobal(QPoint(0, combo->height())).y());
  EXPECT_GE(list.width(), combo->width());
  // Six records, fewer than the eight rows: the list shrinks to them.
  EXPECT_EQ(list.height(), 6 * (combo->List().DefaultRowHeight() + 1) + 5);
  EXPECT_EQ(combo->List().Value(), "Sony");

  QImage image(form->size().width(), form->size().height() + list.height(), QImage::Format_ARGB32);
  image.fill(Qt::white);
  QPainter p(&image);
  form->render(&p);
  combo->List().render(&p, QPoint(combo->x(), combo->y() + combo->height()));
  p.end();
  image.save(QString::fromStdString(testing_support::ShotPath("lookup_combo_dropped.png")));

  combo->CloseUp(false);
  const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
  form->move(0, area.bottom() - 60);
  combo->DropDown();
  EXPECT_EQ(combo->List().geometry().bottom() + 1, combo->mapToGlobal(QPoint(0, 0)).y());
  combo->CloseUp(false);
  EXPECT_EQ(items->FieldByName("BRAND")->AsString(), "Sony");
}

TEST_F(LookupTest, TypingSearchesAndEnterWritesTheValue) {
  OpenAll();
  combo->DropDown();
  combo->selectAll();
  Type("Ph");
  EXPECT_TRUE(combo->SearchPending());
  combo->RunPendingSearch();
  EXPECT_EQ(combo->List().Value(), "Philips");
  Key(Qt::Key_Backspace);
  combo->RunPendingSearch();
  EXPECT_EQ(combo->List().Value(), "Philips");  // "p" still leads there
  Key(Qt::Key_Down);
  EXPECT_EQ(combo->List().Value(), "Samsung");
  Key(Qt::Key_Return);
  EXPECT_FALSE(combo->ListVisible());
  EXPECT_EQ(items->FieldByName("BRAND")->AsString(), "Samsung");
  EXPECT_EQ(combo->text(), "Samsung");
  // Esc closes without taking the value.
  combo->DropDown();
  Key(Qt::Key_Up);
  Key(Qt::Key_Escape);
  EXPECT_EQ(items->FieldByName("BRAND")->AsString(), "Samsung");
  items->Post();
}

TEST_F(LookupTest, ACalculatedLookupFieldReceivesTheLinkValues) {
  OpenAll("MAKER");
  EXPECT_EQ(items->FieldByName("MAKER")->AsString(), "Sony");
  combo->DropDown();
  combo->selectAll();
  Type("Nik");
  Key(Qt::Key_Return);
  EXPECT_EQ(items->FieldByName("BRANDID")->AsInteger(), 2);
  items->Post();
  EXPECT_EQ(items->FieldByName("MAKER")->AsString(), "Nikon");
}

TEST_F(LookupTest, TheLookupTableCannotBeTheEditedDataSet) {
  OpenAll();
  TixDataSource brandsSource;
  brandsSource.SetDataSet(brands.get());
  EXPECT_THROW(combo->SetDataSource(&brandsSource), framework::EDatabaseError);
  TixDBLookupList list;
  list.SetLookupTable(brands.get());
  EXPECT_THROW(list.SetLookupField("NOSUCH"), framework::EDatabaseError);
}

TEST_F(LookupTest, TheGridPlacesTheLookupComboOverItsCell) {
  TixDBGrid* g = PlaceInGrid();
  ASSERT_EQ(combo->DataField(), "BRAND");
  EXPECT_EQ(combo->parentWidget(), g->viewport());
  ASSERT_TRUE(combo->isVisible());
  EXPECT_EQ(combo->geometry(), g->CellRect(BrandCol(g), g->Row()));
  EXPECT_EQ(combo->text(), "Sony");
  g->viewport()->grab().toImage().save(QString::fromStdString(testing_support::ShotPath("grid_lookup_combo.png")));
  combo->DropDown();
  combo->selectAll();
  Type("Bo");
  Key(Qt::Key_Return);
  EXPECT_EQ(items->FieldByName("BRAND")->AsString(), "Bosch");
  items->Post();
  EXPECT_EQ(items->FieldByName("BRAND")->AsString(), "Bosch");
  // Tab with the list closed goes back to the grid, which moves on.
  EXPECT_EQ(combo->OwnerGrid(), g);
  Key(Qt::Key_Tab);
  EXPECT_EQ(g->ColumnField(g->Col())->FieldName(), "BRANDID");
}

// From the grid, F2, Alt+Down and a typed character on a lookup cell go
// into its combo; the focus going there leaves a new row alone.
TEST_F(LookupTest, GridKeysOnALookupCellReachItsCombo) {
  TixDBGrid* g = PlaceInGrid();
  auto gridKey = [&](int key, Qt::KeyboardModifiers mods = Qt::NoModifier, const QString& text = QString()) {
    g->setFocus();
    QKeyEvent press(QEvent::KeyPress, key, mods, text);
    QApplication::sendEvent(g, &press);
  };
  gridKey(Qt::Key_F2);
  EXPECT_TRUE(combo->hasFocus());
  gridKey(Qt::Key_Down, Qt::AltModifier);
  EXPECT_TRUE(combo->hasFocus());
  EXPECT_TRUE(combo->ListVisible());
  combo->CloseUp(false);
  gridKey(Qt::Key_B, Qt::NoModifier, "B");
  EXPECT_TRUE(combo->hasFocus());
  EXPECT_EQ(combo->text(), "B");
  EXPECT_TRUE(combo->TakesTypedText());
  Key(Qt::Key_Escape);
  EXPECT_EQ(combo->text(), "Sony");
  EXPECT_TRUE(g->hasFocus());

  // An appended row the user has not touched stays while the combo is used.
  gridKey(Qt::Key_Down);
  gridKey(Qt::Key_Down);
  gridKey(Qt::Key_Down);
  ASSERT_EQ(items->State(), framework::dsInsert);
  gridKey(Qt::Key_F2);
  EXPECT_TRUE(combo->hasFocus());
  EXPECT_EQ(items->State(), framework::dsInsert);
  combo->DropDown();
  combo->selectAll();
  Type("Ac");
  Key(Qt::Key_Return);
  EXPECT_EQ(items->FieldByName("BRAND")->AsString(), "Acme");
  items->Post();
  EXPECT_EQ(GetRecordCount(*items), 4);
}

// The closed combo of an ID field shows the brand's name, as a drop-down
// list does: highlighted while focused; once typed into, it is an edit.
TEST_F(LookupTest, TheClosedComboPaintsTheDisplayTextAndHighlightsItWhenFocused) {
  brands->Open();
  items->Open();
  combo->SetLookupTable(brands.get());
  combo->SetLookupField("ID");
  combo->Selected() = {"NAME\t20\tName"};
  combo->SetDataSource(&source);
  combo->SetDataField("BRANDID");
  auto* other = new QLineEdit(form.get());
  other->setGeometry(10, 60, 100, 25);
  Activate();
  EXPECT_EQ(combo->text(), "1");
  EXPECT_EQ(combo->DisplayText(), "Sony");
  EXPECT_FALSE(combo->TakesTypedText());
  other->setFocus();
  const QColor highlight = combo->palette().color(QPalette::Highlight);
  EXPECT_EQ(CountColour(combo, highlight), 0);
  Save(combo, "lookup_combo_closed.png");

  combo->setFocus();
  ASSERT_TRUE(combo->hasFocus());
  EXPECT_GT(CountColour(combo, highlight), 100);
  Save(combo, "lookup_combo_closed_focused.png");

  // The next record's brand follows.
  items->Next();
  EXPECT_EQ(combo->DisplayText(), "Nikon");

  // A letter is no value of a number field: a beep, and nothing changes.
  combo->selectAll();
  Type("x");
  ASSERT_FALSE(ui->calls.empty());
  EXPECT_EQ(ui->calls.back().kind, ScriptedUi::Call::kBeep);
  EXPECT_EQ(combo->text(), "2");
  EXPECT_FALSE(combo->TakesTypedText());
  // A digit goes into the text, which is written when the combo is left.
  Type("5");
  EXPECT_TRUE(combo->TakesTypedText());
  EXPECT_EQ(combo->text(), "5");
  EXPECT_EQ(items->State(), framework::dsEdit);
  other->setFocus();
  EXPECT_EQ(items->FieldByName("BRANDID")->AsInteger(), 5);
  items->Post();
  EXPECT_EQ(combo->DisplayText(), "Samsung");
  EXPECT_FALSE(combo->TakesTypedText());

  // The height follows the font: 2 x the border of 2, the font's height,
  // a quarter of the smaller of it and the system font's, and 1; without a
  // border 2 less.
  const int system = QFontMetrics(QApplication::font()).height();
  for (int pixels : {30, 6}) {
    SCOPED_TRACE(pixels);
    QFont font = combo->font();
    font.setPixelSize(pixels);
    const int h = QFontMetrics(font).height();
    const int expected = 2 * 2 + h + std::min(h, system) / 4 + 1;
    combo->setFrame(true);
    combo->setFont(font);
    EXPECT_EQ(combo->height(), expected);
    combo->setFrame(false);
    combo->setFont(QFont(font.family(), 8));
    combo->setFont(font);
    EXPECT_EQ(combo->height(), expected - 2);
  }
}

TEST_F(LookupTest, AReadOnlyComboDropsTypingAndCaretKeys) {
  OpenAll();
  combo->setReadOnly(true);
  combo->setCursorPosition(2);
  for (int key : {Qt::Key_Home, Qt::Key_End, Qt::Key_Left, Qt::Key_Right, Qt::Key_Delete, Qt::Key_Backspace}) {
    Key(key);
    EXPECT_EQ(combo->cursorPosition(), 2) << key;
  }
  Type("Q");
  EXPECT_EQ(combo->text(), "Sony");
  EXPECT_EQ(items->State(), framework::dsBrowse);
  EXPECT_FALSE(combo->TakesTypedText());
}

// Over a grid's cell the closed combo hands the keys that move between
// cells to the grid; the others go to the grid's key event first.
TEST_F(LookupTest, TheClosedComboInAGridHandsCellKeysToTheGrid) {
  struct Case {
    const char* name;
    int key;
    Qt::KeyboardModifiers mods;
    bool alwaysShowEditor;
    int cursor;  // -1: the whole text selected
    bool toGrid;
  } cases[] = {
      {"Down", Qt::Key_Down, Qt::NoModifier, false, 0, true},
      {"Page Down", Qt::Key_PageDown, Qt::NoModifier, false, 0, true},
      {"Home at the start, always-show editor", Qt::Key_Home, Qt::NoModifier, true, 0, true},
      {"Home at the start without it", Qt::Key_Home, Qt::NoModifier, false, 0, false},
      {"Left inside the text", Qt::Key_Left, Qt::NoModifier, true, 2, false},
      {"Left with the text selected", Qt::Key_Left, Qt::NoModifier, true, -1, false},
      {"Ctrl+Left inside the text", Qt::Key_Left, Qt::ControlModifier, true, 2, true},
      {"Right at the end", Qt::Key_Right, Qt::NoModifier, true, 4, true},
      {"End inside the text", Qt::Key_End, Qt::NoModifier, true, 1, false},
      {"Ctrl+End", Qt::Key_End, Qt::ControlModifier, true, 1, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TearDown();
    SetUp();
    TixDBGrid* g = PlaceInGrid(kDefaultDBGridOptions | (c.alwaysShowEditor ? TixDBGridOptions{dgAlwaysShowEditor} : 0u));
    ASSERT_TRUE(combo->isVisible());
    combo->setFocus();
    if (c.cursor < 0)
      combo->selectAll();
    else
      combo->setCursorPosition(c.cursor);
    const int col = g->Col(), rec = items->RecNo();
    Key(c.key, c.mods);
    const bool moved = g->Col() != col || items->RecNo() != rec;
    EXPECT_EQ(moved, c.toGrid);
    // The grid, or the editor it shows over the new cell.
    QWidget* focus = QApplication::focusWidget();
    EXPECT_EQ(focus != combo && (focus == g || g->isAncestorOf(focus)), c.toGrid);
  }
}

TEST_F(LookupTest, F2AndOtherKeysReachTheGridsKeyEventFirst) {
  TixDBGrid* g = PlaceInGrid();
  std::vector<int> seen;
  bool swallow = false;
  g->OnKeyDown = [&](TixCustomDBGrid&, int& key, Qt::KeyboardModifiers) {
    seen.push_back(key);
    if (swallow) key = 0;
  };
  combo->setFocus();
  combo->setCursorPosition(2);
  Key(Qt::Key_F2);
  EXPECT_EQ(combo->selectedText(), "Sony");
  Key(Qt::Key_End);
  EXPECT_EQ(combo->cursorPosition(), 4);
  EXPECT_EQ(seen, (std::vector<int>{Qt::Key_F2, Qt::Key_End}));
  // A key the event takes away does nothing more.
  swallow = true;
  Key(Qt::Key_Home);
  EXPECT_EQ(combo->cursorPosition(), 4);
  Key(Qt::Key_Down, Qt::AltModifier);
  EXPECT_FALSE(combo->ListVisible());
  // Alt with Up, Down, Page Up or Page Down opens the list.
  swallow = false;
  for (int key : {Qt::Key_Down, Qt::Key_Up, Qt::Key_PageDown, Qt::Key_PageUp}) {
    Key(key, Qt::AltModifier);
    EXPECT_TRUE(combo->ListVisible()) << key;
    EXPECT_TRUE(combo->hasFocus());
    combo->CloseUp(false);
  }
}

// While the button is held after a press on a row, every tick of the 60 ms
// timer selects the row under the mouse, or scrolls when it is beyond the
// list; letting go takes the row.
TEST_F(LookupTest, TheDropDownFollowsTheHeldMouse) {
  OpenAll();
  combo->DropDownCount = 3;
  combo->DropDown();
  TixPopupGrid& list = combo->List();
  ASSERT_TRUE(list.isVisible());
  ASSERT_EQ(At(), "Sony");
  QWidget* port = list.viewport();
  const int col = list.FixedCols();
  auto rowY = [&](int row) { return list.CellRect(col, row).center().y(); };
  auto send = [&](QEvent::Type type, int y, Qt::MouseButtons buttons) {
    const QPointF at(10, y);
    QMouseEvent e(type, at, port->mapToGlobal(at), Qt::LeftButton, buttons, Qt::NoModifier);
    QApplication::sendEvent(port, &e);
  };
  auto tick = [&] {
    QTimerEvent e(list.MouseFollowTimer().timerId());
    QApplication::sendEvent(&list.MouseFollowTimer(), &e);
  };
  EXPECT_EQ(list.MouseFollowTimer().interval(), 60);
  // Sony shows in the last of the three rows: the press takes the first.
  const int first = list.Row() - 2;
  send(QEvent::MouseButtonPress, rowY(first), Qt::LeftButton);
  EXPECT_EQ(At(), "Philips");
  ASSERT_TRUE(list.MouseFollowTimer().isActive());
  send(QEvent::MouseMove, rowY(first + 1), Qt::LeftButton);
  tick();
  EXPECT_EQ(At(), "Samsung");
  send(QEvent::MouseMove, port->height() + 30, Qt::LeftButton);
  tick();
  EXPECT_EQ(At(), "Sony");
  tick();  // the last record: nothing further
  EXPECT_EQ(At(), "Sony");
  send(QEvent::MouseMove, -20, Qt::LeftButton);
  for (int i = 0; i < 4; ++i) tick();
  EXPECT_EQ(At(), "Bosch");
  Save(&list, "lookup_dropdown_following.png");
  send(QEvent::MouseButtonRelease, -20, Qt::NoButton);
  EXPECT_FALSE(list.MouseFollowTimer().isActive());
  EXPECT_FALSE(combo->ListVisible());
  EXPECT_EQ(items->FieldByName("BRAND")->AsString(), "Bosch");
  EXPECT_EQ(combo->text(), "Bosch");
}

TEST_F(LookupTest, TypingSearchesByTheActiveIndexOrByLocating) {
  struct Case {
    const char* index;
    unsigned style;
    const char* typed;
    const char* at;
  } cases[] = {
      {"UNAME", 3, "phi", "Philips"},  // UPPER(NAME): a key search in its own case
      {"NAME", 3, "Ni", "Nikon"},      // the incremental search of the index
      {"ID", 3, "Sam", "Samsung"},     // an index without the name: located
      {"", 3, "Bo", "Bosch"},          // no index: located, partial
      {"", 1, "Bo", "Sony"},           // exact only: "Bo" is no name
      {"", 1, "Acme", "Acme"},
      {"", 0, "Acme", "Sony"},         // no search without an index
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.index) + " " + c.typed);
    TearDown();
    SetUp();
    brands->SetIndexName(c.index);
    OpenAll();
    combo->SearchStyle = c.style;
    combo->DropDown();
    combo->selectAll();
    Type(c.typed);
    ASSERT_TRUE(combo->SearchPending());
    EXPECT_EQ(combo->SearchInterval(), 166);  // a local table
    combo->RunPendingSearch();
    EXPECT_EQ(At(), c.at);
    EXPECT_EQ(combo->List().DisplayText(0), c.at);
    combo->CloseUp(false);
    EXPECT_TRUE(Messages().empty());
  }
}

TEST_F(LookupTest, AFurtherKeyFieldIsKeptAsTheSecondDisplayValue) {
  OpenAll();
  combo->SetLookupField("NAME;COUNTRY");
  combo->DropDown();
  combo->selectAll();
  Type("Phi");
  Key(Qt::Key_Return);
  EXPECT_EQ(items->FieldByName("BRAND")->AsString(), "Philips");
  EXPECT_EQ(combo->DisplayValue2(), "NL");
  EXPECT_EQ(combo->DisplayValue3(), "");
  // Dropping down again finds the record without asking the index for more
  // key fields than it has.
  brands->First();
  combo->DropDown();
  EXPECT_EQ(At(), "Philips");
  EXPECT_EQ(combo->List().DisplayText(2), "NL");
  combo->CloseUp(false);
  EXPECT_TRUE(Messages().empty());
}

// A lookup table whose database answers through SQL keeps the full number
// of rows (its records are not counted) and waits longer between keys.
class ServerTable : public TixTable {
 public:
  bool IsSQLBased() const override { return true; }
};

TEST_F(LookupTest, AnSQLLookupTableKeepsItsRowsAndIsSearchedByARange) {
  UseBrands(std::make_unique<ServerTable>());
  OpenAll();
  combo->DropDownCount = 8;
  combo->DropDown();
  EXPECT_EQ(combo->List().height(), 8 * (combo->List().DefaultRowHeight() + 1) + 5);
  EXPECT_EQ(At(), "Sony");
  combo->selectAll();
  Type("Ph");
  EXPECT_EQ(combo->SearchInterval(), 333);
  Key(Qt::Key_Return);
  EXPECT_EQ(items->FieldByName("BRAND")->AsString(), "Philips");
  EXPECT_EQ(GetRecordCount(*brands), 3);  // Philips, Samsung, Sony
  items->Post();
}

TEST_F(LookupTest, EscWithoutAFieldRestoresTheTextOfTheFocus) {
  brands->Open();
  combo->SetLookupTable(brands.get());
  combo->SetLookupField("NAME");
  combo->setText("Acme");
  Activate();
  combo->setFocus();
  combo->DropDown();
  combo->selectAll();
  Type("Sa");
  combo->RunPendingSearch();
  EXPECT_EQ(At(), "Samsung");
  Key(Qt::Key_Escape);
  EXPECT_FALSE(combo->ListVisible());
  EXPECT_EQ(combo->text(), "Acme");
  EXPECT_EQ(At(), "Acme");
  // Outside a grid Tab moves on through the form, after taking an open
  // list's value.
  auto* next = new QLineEdit(form.get());
  next->show();
  combo->DropDown();
  Key(Qt::Key_Down);
  Key(Qt::Key_Tab);
  EXPECT_TRUE(next->hasFocus());
  EXPECT_FALSE(combo->ListVisible());
  EXPECT_EQ(combo->text(), "Bosch");  // no field: the choice becomes the text
  combo->setFocus();
  Key(Qt::Key_Tab);
  EXPECT_TRUE(next->hasFocus());
}

TEST_F(LookupTest, TheStandAloneListFollowsAndSetsTheField) {
  OpenAll();
  TixDBLookupList list(form.get());
  list.SetLookupTable(brands.get());
  list.SetLookupField("NAME");
  list.SetListOptions(loTitles | loColLines | loRowLines);
  list.SetDataSource(&source);
  list.SetDataField("BRAND");
  list.setGeometry(10, 40, 160, 120);
  list.show();
  ASSERT_TRUE(list.SyncToValue("Nikon"));
  EXPECT_EQ(list.DisplayValue(), "Nikon");
  Save(&list, "lookup_list.png");
  int clicks = 0;
  list.OnClick = [&](TixDBLookupList&) { ++clicks; };
  const QPoint at = list.CellRect(list.FixedCols(), list.Row() + 1).center();
  for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
    QMouseEvent e(type, at, list.viewport()->mapToGlobal(at), Qt::LeftButton,
                  type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(list.viewport(), &e);
  }
  EXPECT_EQ(clicks, 1);
  EXPECT_EQ(items->FieldByName("BRAND")->AsString(), "Philips");
  items->Cancel();
}

TEST_F(LookupTest, TheStandAloneListsKeys) {
  OpenAll();
  TixDBLookupList list(form.get());
  list.SetLookupTable(brands.get());
  list.SetLookupField("NAME");
  list.SetDataSource(&source);
  list.SetDataField("BRAND");
  list.setGeometry(10, 40, 160, 120);
  list.show();
  auto press = [&](int key, const QString& text = QString()) {
    QKeyEvent e(QEvent::KeyPress, key, Qt::NoModifier, text);
    QApplication::sendEvent(&list, &e);
  };
  // A value the table lacks: the first arrow goes to the first record.
  EXPECT_FALSE(list.SyncToValue("Nokia"));
  brands->Last();
  press(Qt::Key_Down);
  EXPECT_EQ(At(), "Acme");
  press(Qt::Key_Down);
  EXPECT_EQ(At(), "Bosch");
  press(Qt::Key_Insert);
  EXPECT_EQ(GetRecordCount(*brands), 6);
  EXPECT_EQ(items->State(), framework::dsBrowse);
  // A printable character starts editing the edited record.
  press(Qt::Key_X, "x");
  EXPECT_EQ(items->State(), framework::dsEdit);
  items->Cancel();
  // A field that cannot be changed refuses the arrows.
  items->Close();
  items->SetReadOnly(true);
  items->Open();
  press(Qt::Key_Up);
  EXPECT_EQ(At(), "Bosch");
}

// The list and the combo driven by key and mouse events as a user makes them.
class LookupKeysTest : public LookupTest {
 protected:
  void Press(int key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    QTest::keyClick(combo, static_cast<Qt::Key>(key), mods);
  }
  // Pictures go beside the test program, in the build folder.
  static QString Picture(const char* name) {
    return QString::fromStdString(testing_support::ShotPath(name));
  }
  std::vector<std::string> ListColumns(TixCustomDBGrid& g) {
    std::vector<std::string> names;
    for (int c = g.IndicatorOffset(); c < g.ColCount(); ++c)
      if (TField* f = g.ColumnField(c)) names.push_back(f->FieldName());
    return names;
  }
};

TEST_F(LookupKeysTest, AStandAloneListShowsTheVisibleFieldsAndOtherGridsKeepThemUntilADropDown) {
  OpenAll();
  TixDBLookupList list(form.get());
  list.SetLookupTable(brands.get());
  list.SetLookupField("ID");
  list.setGeometry(10, 40, 260, 120);
  list.show();
  EXPECT_EQ(ListColumns(list), (std::vector<std::string>{"NAME", "ID", "COUNTRY"}));
  TixDataSource brandsSource;
  brandsSource.SetDataSet(brands.get());
  auto* other = new TixDBGrid(form.get());
  other->SetDataSource(&brandsSource);
  other->Loaded();
  other->setGeometry(10, 170, 260, 100);
  other->show();
  EXPECT_EQ(ListColumns(*other), (std::vector<std::string>{"NAME", "ID", "COUNTRY"}));
  // Binding the combo to the table hides nothing; its first drop-down shows
  // the value field alone, in every grid on the table.
  combo->SetLookupField("NAME");
  EXPECT_EQ(ListColumns(*other), (std::vector<std::string>{"NAME", "ID", "COUNTRY"}));
  combo->setFocus();
  Press(Qt::Key_Down, Qt::AltModifier);
  ASSERT_TRUE(combo->ListVisible());
  EXPECT_EQ(ListColumns(combo->List()), std::vector<std::string>{"NAME"});
  EXPECT_EQ(ListColumns(*other), std::vector<std::string>{"NAME"});
  Press(Qt::Key_Escape);
  // A table that shows no field: the list shows its value field.
  for (int i = 0; i < brands->FieldCount(); ++i) brands->Fields(i)->SetVisible(false);
  list.ShowColumns();
  EXPECT_EQ(ListColumns(list), std::vector<std::string>{"ID"});
  other->SetDataSource(nullptr);
}

TEST_F(LookupKeysTest, TheSecondOfTwoEqualValuesIsChosenAndFoundAgain) {
  brands->Open();
  brands->Append();
  brands->FieldByName("NAME")->SetAsString("Philips");
  brands->FieldByName("ID")->SetAsInteger(7);
  brands->FieldByName("COUNTRY")->SetAsString("BE");
  brands->Post();
  brands->Close();
  OpenAll();
  // The index NAME has one field, the lookup two; the country is shown.
  combo->SetLookupField("NAME;COUNTRY");
  combo->Selected() = {"COUNTRY\t10\tCountry", "NAME\t20\tName"};
  items->Last();  // the lamp, by Philips
  ASSERT_EQ(items->FieldByName("BRAND")->AsString(), "Philips");
  Activate();
  combo->setFocus();
  Press(Qt::Key_Down, Qt::AltModifier);
  ASSERT_TRUE(combo->ListVisible());
  EXPECT_EQ(brands->FieldByName("COUNTRY")->AsString(), "NL");
  Press(Qt::Key_Down);
  ASSERT_EQ(brands->FieldByName("COUNTRY")->AsString(), "BE");
  Press(Qt::Key_Return);
  EXPECT_FALSE(combo->ListVisible());
  EXPECT_EQ(combo->DisplayValue2(), "BE");
  EXPECT_EQ(combo->DisplayText(), "BE");
  items->Post();
  EXPECT_EQ(combo->DisplayText(), "BE");
  brands->First();
  Press(Qt::Key_Down, Qt::AltModifier);
  EXPECT_EQ(brands->FieldByName("ID")->AsInteger(), 7);
  EXPECT_EQ(combo->List().DisplayText(2), "BE");
  Press(Qt::Key_Escape);
  EXPECT_TRUE(Messages().empty());
}

TEST_F(LookupKeysTest, TheOpenListRefusesArrowsOnAReadOnlyFieldAndStartsAtTheTopForAnUnknownValue) {
  items->SetReadOnly(true);
  OpenAll();
  Activate();
  combo->setFocus();
  Press(Qt::Key_Down, Qt::AltModifier);
  ASSERT_TRUE(combo->ListVisible());
  ASSERT_EQ(At(), "Sony");
  Press(Qt::Key_Down);
  Press(Qt::Key_Up);
  EXPECT_EQ(At(), "Sony");
  Press(Qt::Key_Escape);

  // A value the lookup table lacks: the first arrow goes to the first
  // record and is used up; the next one moves on.
  TearDown();
  SetUp();
  OpenAll();
  items->Edit();
  items->FieldByName("BRAND")->SetAsString("Nokia");
  items->Post();
  Activate();
  combo->setFocus();
  Press(Qt::Key_Down, Qt::AltModifier);
  ASSERT_TRUE(combo->ListVisible());
  brands->Last();
  Press(Qt::Key_Down);
  EXPECT_EQ(At(), "Acme");
  Press(Qt::Key_Down);
  EXPECT_EQ(At(), "Bosch");
  Press(Qt::Key_Return);
  EXPECT_EQ(items->FieldByName("BRAND")->AsString(), "Bosch");
  items->Cancel();
}

TEST_F(LookupKeysTest, EnterOnTheClosedComboInAGridGoesToItsKeyEventAndTheFocusStays) {
  TixDBGrid* g = PlaceInGrid();
  std::vector<int> seen;
  g->OnKeyDown = [&](TixCustomDBGrid&, int& key, Qt::KeyboardModifiers) { seen.push_back(key); };
  combo->setFocus();
  ASSERT_TRUE(combo->hasFocus());
  const int col = g->Col(), rec = items->RecNo();
  Press(Qt::Key_Return);
  EXPECT_EQ(seen, std::vector<int>{Qt::Key_Return});
  EXPECT_TRUE(combo->hasFocus());
  EXPECT_EQ(g->Col(), col);
  EXPECT_EQ(items->RecNo(), rec);
  EXPECT_FALSE(combo->ListVisible());
}

TEST_F(LookupKeysTest, CharCaseTurnsTypedTextIntoItsCase) {
  struct Case {
    TEditCharCase charCase;
    const char* typed;
    const char* text;
  } cases[] = {{ecUpperCase, "phi", "PHI"}, {ecLowerCase, "PHi", "phi"}, {ecNormal, "pHi", "pHi"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.typed);
    TearDown();
    SetUp();
    brands->SetIndexName("UNAME");  // searched without regard to case
    OpenAll();
    Activate();
    combo->SetCharCase(c.charCase);
    EXPECT_EQ(combo->CharCase(), c.charCase);
    combo->setFocus();
    Press(Qt::Key_Down, Qt::AltModifier);
    combo->selectAll();
    QTest::keyClicks(combo, c.typed);
    EXPECT_EQ(combo->text().toStdString(), c.text);
    combo->RunPendingSearch();
    EXPECT_EQ(At(), "Philips");
    Press(Qt::Key_Escape);
  }
  // The closed combo too: typed into the field's text.
  combo->SetCharCase(ecUpperCase);
  combo->selectAll();
  QTest::keyClicks(combo, "acme");
  EXPECT_EQ(combo->text(), "ACME");
  items->Cancel();
}

TEST_F(LookupKeysTest, TheButtonOpensAndClosesTheListPushedAndIsInactiveOnADisabledCombo) {
  OpenAll();
  auto* other = new QLineEdit(form.get());
  other->setGeometry(10, 60, 100, 25);
  Activate();
  other->setFocus();
  TixComboButton& button = combo->Button();
  EXPECT_EQ(button.Combo(), combo);
  EXPECT_EQ(button.width(), combo->style()->pixelMetric(QStyle::PM_ScrollBarExtent));
  const QImage up = button.grab().toImage();
  QTest::mousePress(&button, Qt::LeftButton);
  EXPECT_TRUE(combo->hasFocus());
  EXPECT_TRUE(combo->ListVisible());
  EXPECT_TRUE(button.isDown());
  const QImage pushed = button.grab().toImage();
  EXPECT_NE(pushed, up);
  pushed.save(Picture("lookup_button_pushed.png"));
  QTest::mouseRelease(&button, Qt::LeftButton);
  EXPECT_EQ(button.grab().toImage(), up);
  // A second press takes the list's value and closes it.
  Press(Qt::Key_Up);
  ASSERT_EQ(At(), "Samsung");
  QTest::mousePress(&button, Qt::LeftButton);
  QTest::mouseRelease(&button, Qt::LeftButton);
  EXPECT_FALSE(combo->ListVisible());
  EXPECT_EQ(items->FieldByName("BRAND")->AsString(), At());
  items->Cancel();

  combo->setEnabled(false);
  EXPECT_FALSE(button.isEnabled());
  const QImage inactive = button.grab().toImage();
  EXPECT_NE(inactive, up);
  inactive.save(Picture("lookup_button_inactive.png"));
  QTest::mouseClick(&button, Qt::LeftButton);
  EXPECT_FALSE(combo->ListVisible());
}

}  // namespace
}  // namespace grid
