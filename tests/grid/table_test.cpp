#include <gtest/gtest.h>

#include "grid/ix_table.h"
#include "grid_fixture.h"

namespace gridtest {
namespace {

using grid::TixTable;

TEST(JoinFilterLines, JoinsNonEmptyLinesWithAnd) {
  struct Case {
    const char* name;
    grid::TLines lines;
    std::string joined;
  } cases[] = {
      {"empty list", {}, ""},
      {"one line", {"A=1"}, "A=1"},
      {"three lines", {"A=1", "B=2", "C=3"}, "A=1 AND (B=2) AND (C=3)"},
      {"empty line and trailing blank", {"A=1", "", "B=2 "}, "A=1 AND (B=2)"},
      {"tabs and blanks only", {"\t ", "A=1\t", " \t"}, "A=1"},
      {"leading blanks kept", {"  A=1", " B=2"}, "  A=1 AND ( B=2)"},
  };
  for (const Case& c : cases) {
    TixTable t;
    t.SetixFilter(c.lines);  // closed: only stored
    EXPECT_EQ(t.JoinFilterLines(), c.joined) << c.name;
  }
}

TEST(TixTableKinds, DBaseAndTessalyTablesByTypeOrName) {
  struct Case {
    TTableType type;
    const char* name;
    bool dbase, tessaly;
  } cases[] = {
      {ttDefault, "MASTER.DBF", true, false},  {ttDefault, "master.dbf", true, false},
      {ttDefault, "MASTER", false, false},     {ttDBase, "MASTER", true, false},
      {ttDefault, "PARTS.DB", false, true},    {ttDefault, "parts.dbf", true, false},
      {ttDefault, "Parts.dbb", false, true},
      {ttDBase, "PARTS.DBB", true, false},     {ttDefault, "MY.DBF.BAK", false, false},
  };
  for (const Case& c : cases) {
    TixTable t;
    t.SetTableType(c.type);
    t.SetTableName(c.name);
    EXPECT_EQ(TixTable::IsDBaseTable(t), c.dbase) << c.name;
    EXPECT_EQ(TixTable::IsTessalyTable(t), c.tessaly) << c.name;
  }
}

TEST(TixTableKinds, LibraryDataSetsAndTheirLists) {
  TixTable ix;
  ix.SetControlType({"WARRANTY;CheckBox;Yes;No"});
  TTable plain;
  EXPECT_TRUE(grid::IsLibraryDataSet(&ix));
  EXPECT_FALSE(grid::IsLibraryDataSet(&plain));
  EXPECT_FALSE(grid::IsLibraryDataSet(nullptr));
  ASSERT_NE(grid::GetControlTypeList(&ix), nullptr);
  EXPECT_EQ(grid::GetControlTypeList(&ix)->at(0), "WARRANTY;CheckBox;Yes;No");
  EXPECT_EQ(grid::GetControlTypeList(&plain), nullptr);
  EXPECT_EQ(grid::GetLookupFieldsList(&plain), nullptr);
  EXPECT_EQ(grid::GetLookupLinksList(nullptr), nullptr);
  EXPECT_TRUE(grid::GetLookupFieldsList(&ix)->empty());
}

TEST(TixTableLife, DestructionTellsWatchersAndTheNotifyEvent) {
  bool gone = false, removed = false;
  std::string notified;
  {
    TixTable t;
    t.Name = "MyTable";
    t.AddWatcher(&gone);
    t.AddWatcher(&removed);
    t.RemoveWatcher(&removed);
    t.OnDestroyNotify = [&](TixTable& table) { notified = table.Name; };
    EXPECT_TRUE(t.SyncSQLByRange);
    EXPECT_FALSE(t.NarrowSearch);
  }
  EXPECT_TRUE(gone);
  EXPECT_FALSE(removed);
  EXPECT_EQ(notified, "MyTable");
}

using TixTableTest = GridTableTest;

TEST_F(TixTableTest, StaleControlTypeAndLookupLinesGoAtTheFirstCalculation) {
  MakeItems();
  TixTable t;
  Point(t);
  t.SetControlType({"WARRANTY;CheckBox;Yes;No", "NOSUCH;Combo;MyComboNoSuch", "BRAND;Combo;MyComboBrand",
                    "brand;Combo;Lower"});
  t.SetLookupFields({"GONE;DATA;BRANDS;NAME;CODE", "ITEM;DATA;BRANDS;NAME;CODE", "ALSOGONE;D;T;F;I"});
  t.SetLookupLinks({"BRAND;CODE", "BRAND;CODE", "X;Y"});
  // Closed, the table has no fields to judge by: nothing is dropped.
  grid::DropStaleEntries(t, &t.LookupFieldsLines(), &t.LookupLinksLines(), &t.ControlTypeLines());
  EXPECT_EQ(t.ControlType().size(), 4u);
  // Only the control types and the links are checked here; the lookup of
  // ITEM itself would open a missing table, so it is dropped by hand first.
  t.LookupFieldsLines().erase(t.LookupFieldsLines().begin() + 1);
  t.LookupLinksLines().erase(t.LookupLinksLines().begin() + 1);
  t.Open();
  EXPECT_EQ(t.ControlType(), (grid::TLines{"WARRANTY;CheckBox;Yes;No", "BRAND;Combo;MyComboBrand", "brand;Combo;Lower"}));
  EXPECT_TRUE(t.LookupFields().empty());
  EXPECT_TRUE(t.LookupLinks().empty());
}

TEST_F(TixTableTest, LookupFieldsAreFilledFromTheLookupTable) {
  MakeItems();
  {
    TTable brands;
    Point(brands, "BRANDS.DBF");
    brands.FieldDefs().Add("CODE", ftString, 20);
    brands.FieldDefs().Add("NAME", ftString, 30);
    brands.CreateTable();
    brands.AddIndex("CODE", "CODE", 0);
    brands.Open();
    for (auto [code, name] : {std::pair{"Sony", "Sony Corporation"}, {"Nikon", "Nikon Inc."}}) {
      brands.Append();
      brands.FieldByName("CODE")->SetAsString(code);
      brands.FieldByName("NAME")->SetAsString(name);
      brands.Post();
    }
    brands.Close();
  }
  TixTable t;
  Point(t);
  t.AddCalcField("MAKER", ftString, 30);
  t.AddCalcField("MAKER2", ftString, 30);
  t.AddCalcField("ORPHAN", ftString, 30);
  t.SetLookupFields({"MAKER;" + dir.string() + ";BRANDS;NAME;CODE", "MAKER2;" + dir.string() + ";BRANDS;CODE;CODE"});
  t.SetLookupLinks({"BRAND;CODE", "brand;code"});
  t.Open();
  std::vector<std::pair<std::string, std::string>> seen;
  for (t.First(); !t.Eof(); t.Next())
    seen.emplace_back(t.FieldByName("MAKER")->AsString(), t.FieldByName("MAKER2")->AsString());
  EXPECT_EQ(seen, (std::vector<std::pair<std::string, std::string>>{{"Sony Corporation", "Sony"},
                                                                    {"", ""},
                                                                    {"Nikon Inc.", "Nikon"},
                                                                    {"", ""},
                                                                    {"Sony Corporation", "Sony"}}));
  // Both lines share one lookup table: the links differ only in case.
  EXPECT_EQ(t.LookupTables().size(), 1u);
  EXPECT_TRUE(t.LookupTables()[0].table->ReadOnly());
  EXPECT_TRUE(t.FieldByName("MAKER")->Visible());
  EXPECT_EQ(t.FieldByName("ORPHAN")->AsString(), "");
}

TEST_F(TixTableTest, LookupWithAMissingLocalFieldHidesItsField) {
  MakeItems();
  {
    TTable brands;
    Point(brands, "BRANDS.DBF");
    brands.FieldDefs().Add("CODE", ftString, 20);
    brands.CreateTable();
  }
  TixTable t;
  Point(t);
  t.AddCalcField("MAKER", ftString, 30);
  t.SetLookupFields({"MAKER;" + dir.string() + ";BRANDS;CODE;"});
  t.SetLookupLinks({"NOSUCH;CODE"});
  t.Open();
  EXPECT_FALSE(t.FieldByName("MAKER")->Visible());
  EXPECT_EQ(t.LookupFields().size(), 1u);
}

TEST_F(TixTableTest, RecordFilterHidesRejectedRecordsAndReadsTheRecordUnderTest) {
  MakeItems();
  TixTable t;
  Point(t);
  std::vector<std::string> brands;
  // Assigned before the open: installed when the cursor is prepared.
  t.SetOnFilter([&](TixTable& table) {
    TParam& brand = grid::FilterFieldValue(table, "brand");
    EXPECT_EQ(brand.DataType(), ftString);
    std::string text = brand.IsNull() ? "<null>" : brand.AsString();
    brands.push_back(text);
    // The parameter is the table's own: the next call overwrites it.
    EXPECT_EQ(&grid::FilterFieldValue(table, "QUANTITY"), &brand);
    EXPECT_EQ(brand.DataType(), ftInteger);
    return text.rfind("Sony", 0) == 0;
  });
  t.Open();
  EXPECT_EQ(Items(t), (std::vector<std::string>{"Television", "Radio", "Stereo"}));
  EXPECT_EQ(t.RecordCount(), 3);
  // The blank brand reaches the handler as a null value; trailing blanks are gone.
  EXPECT_NE(std::find(brands.begin(), brands.end(), "<null>"), brands.end());
  EXPECT_NE(std::find(brands.begin(), brands.end(), "Sony"), brands.end());
  // Cleared: every record is back at once.
  t.SetOnFilter(nullptr);
  EXPECT_EQ(Items(t), (std::vector<std::string>{"Television", "Radio", "Camera", "Lamp", "Stereo"}));
  // Assigned on an open table: in force at once.
  t.SetOnFilter([](TixTable& table) { return grid::FilterFieldValue(table, "COST").AsFloat() > 100; });
  EXPECT_EQ(Items(t), (std::vector<std::string>{"Television", "Camera"}));
}

TEST_F(TixTableTest, RecordFilterValuesByType) {
  MakeItems();
  TixTable t;
  Point(t);
  std::vector<std::string> seen;
  t.SetOnFilter([&](TixTable& table) {
    TParam& d = grid::FilterFieldValue(table, "PURCHDATE");
    seen.push_back(FieldTypeName(d.DataType()) + std::string(":") + (d.IsNull() ? "null" : DateToStr(d.AsDateTime())));
    seen.back() += "," + FloatToStr(grid::FilterFieldValue(table, "COST").AsFloat());
    return true;
  });
  t.Open();
  seen.clear();
  EXPECT_EQ(t.RecordCount(), 5);  // asks about every record
  ASSERT_GE(seen.size(), 5u);
  EXPECT_EQ(std::vector<std::string>(seen.begin(), seen.begin() + 5),
            (std::vector<std::string>{"Date:12/1/95,499.99", "Date:1/15/96,35.5", "Date:6/30/94,250", "Date:null,12.25",
                                      "Date:12/1/95,100"}));
}

TEST_F(TixTableTest, AMissingFieldInTheFilterHandlerReachesTheCaller) {
  MakeItems();
  TixTable t;
  Point(t);
  t.SetOnFilter([](TixTable& table) { return grid::FilterFieldValue(table, "NOSUCH").AsString() == "x"; });
  try {
    t.Open();
    FAIL() << "no error";
  } catch (const EDatabaseError& e) {
    EXPECT_EQ(e.Message(), "Field 'NOSUCH' not found");
  }
  EXPECT_FALSE(t.Active());
}

TEST_F(TixTableTest, RefusedTextFilterWarnsAndKeepsTheTableOpen) {
  MakeItems();
  TixTable t;
  Point(t);
  t.Open();
  ui->answers.push_back(platform::ui::Answer::Ok);
  t.SetixFilter({"(COST > 5"});
  ASSERT_EQ(ui->MessageTexts(), (std::vector<std::string>{"Fail to set filter"}));
  EXPECT_EQ(ui->MessageCaptions(), (std::vector<std::string>{"Warning"}));
  EXPECT_TRUE(t.Active());
  EXPECT_EQ(t.RecordCount(), 5);
  EXPECT_EQ(t.TextFilterHandle(), 0u);
  EXPECT_TRUE(ui->unexpected.empty());
}

}  // namespace
}  // namespace gridtest
