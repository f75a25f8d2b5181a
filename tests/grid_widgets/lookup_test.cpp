// The lookup combo and list over a real brands table, offscreen: warnings,
// where the list drops, searching as typed, what a choice writes.
#include <gtest/gtest.h>

#include <QApplication>
#include <QGuiApplication>
#include <QImage>
#include <QKeyEvent>
#include <QPainter>
#include <QScreen>

#include <filesystem>
#include <memory>

#include "framework/dbtables.h"
#include "grid/ix_table.h"
#include "ix_dbgrid.h"
#include "ix_lookup.h"
#include "platform/ui.h"
#include "temp_root.h"
#include "widget_app.h"

namespace grid {
namespace {

namespace fs = std::filesystem;
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
    {
      TTable b;
      b.SetDatabaseName(dir.string());
      b.SetTableName("BRANDS.DBF");
      b.FieldDefs().Add("NAME", framework::ftString, 20);
      b.FieldDefs().Add("ID", framework::ftInteger);
      b.CreateTable();
      b.AddIndex("NAME", "NAME", 0);
      b.AddIndex("ID", "ID", 0);
      b.Open();
      int id = 1;
      for (const char* n : {"Sony", "Nikon", "Philips", "Acme", "Samsung", "Bosch"}) {
        b.Append();
        b.FieldByName("NAME")->SetAsString(n);
        b.FieldByName("ID")->SetAsInteger(id++);
        b.Post();
      }
      TTable i;
      i.SetDatabaseName(dir.string());
      i.SetTableName("ITEMS.DBF");
      i.FieldDefs().Add("ITEM", framework::ftString, 20);
      i.FieldDefs().Add("BRAND", framework::ftString, 20);
      i.FieldDefs().Add("BRANDID", framework::ftInteger);
      i.CreateTable();
      i.Open();
      i.Append();
      i.FieldByName("ITEM")->SetAsString("Radio");
      i.FieldByName("BRAND")->SetAsString("Sony");
      i.FieldByName("BRANDID")->SetAsInteger(1);
      i.Post();
    }
    brands = std::make_unique<TixTable>();
    brands->SetDatabaseName(dir.string());
    brands->SetTableName("BRANDS");
    brands->SetIndexName("NAME");
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
  image.save("lookup_combo_dropped.png");

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
  form->resize(400, 200);
  combo->setObjectName("L1");
  combo->hide();
  auto* g = new TixDBGrid(form.get());
  g->setObjectName("G");
  g->setGeometry(5, 5, 390, 190);
  items->SetControlType({"BRAND;LookupCombo;L1"});
  brands->Open();
  combo->SetLookupTable(brands.get());
  combo->SetLookupField("NAME");
  g->SetDataSource(&source);
  g->Loaded();
  items->Open();
  form->show();
  QApplication::processEvents();
  ASSERT_EQ(combo->DataField(), "BRAND");
  EXPECT_EQ(combo->parentWidget(), g->viewport());
  int brandCol = -1;
  for (int c = g->IndicatorOffset(); c < g->ColCount(); ++c) {
    if (g->ColumnField(c)->FieldName() == "BRAND") brandCol = c;
  }
  ASSERT_GE(brandCol, 0);
  g->SetSelectedIndex(brandCol - g->IndicatorOffset());
  g->setFocus();
  g->viewport()->repaint();
  ASSERT_TRUE(combo->isVisible());
  EXPECT_EQ(combo->geometry(), g->CellRect(brandCol, g->Row()));
  EXPECT_EQ(combo->text(), "Sony");
  g->viewport()->grab().toImage().save("grid_lookup_combo.png");
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

}  // namespace
}  // namespace grid
