// LocateRecord over real tables: the scan through the engine cursor, the
// key searches of an index that leads with the field, and what is left
// where nothing is found.
#include "grid/ix_locate.h"

#include <gtest/gtest.h>

#include "grid_fixture.h"

namespace gridtest {
namespace {

using grid::LocateRecord;
using grid::mtExactMatch;
using grid::mtPartialMatchAny;
using grid::mtPartialMatchStart;

class LocateTest : public GridTableTest {
 protected:
  void SetUp() override {
    GridTableTest::SetUp();
    ResetFormatSettings();
  }

  // A table of (item, brand) records in this order; `index` makes a field
  // index on ITEM and opens the table in its order.
  void Open(const std::vector<std::pair<std::string, std::string>>& records, bool index = false) {
    TTable t;
    Point(t, "TOOLS");
    t.SetTableType(ttDBase);
    t.FieldDefs().Add("ITEM", ftString, 20);
    t.FieldDefs().Add("BRAND", ftString, 20);
    t.CreateTable();
    if (index) t.AddIndex("ITEM", "ITEM", 0);
    t.Open();
    for (const auto& [item, brand] : records) {
      t.Append();
      t.FieldByName("ITEM")->SetAsString(item);
      t.FieldByName("BRAND")->SetAsString(brand);
      t.Post();
    }
    t.Close();
    Point(table, "TOOLS");
    if (index) table.SetIndexName("ITEM");
    table.Open();
  }
  std::string Current(const char* field = "ITEM") { return table.FieldByName(field)->AsString(); }
  void StandOn(const std::string& item, const std::string& brand = "") {
    for (table.First(); !table.Eof(); table.Next())
      if (Current() == item && (brand.empty() || Current("BRAND") == brand)) return;
    FAIL() << "no " << item;
  }

  grid::TixTable table;
};

TEST_F(LocateTest, ScanFindsFirstAndNextAndStaysWhenThereIsNoMore) {
  Open({{"Anvil", ""}, {"Hammer", ""}, {"Hammock", ""}});
  EXPECT_TRUE(LocateRecord(true, table, "ITEM", false, mtPartialMatchStart, "ham"));
  EXPECT_EQ(Current(), "Hammer");
  EXPECT_TRUE(LocateRecord(false, table, "ITEM", false, mtPartialMatchStart, "ham"));
  EXPECT_EQ(Current(), "Hammock");
  EXPECT_FALSE(LocateRecord(false, table, "ITEM", false, mtPartialMatchStart, "ham"));
  EXPECT_EQ(Current(), "Hammock");
  // The dataset still moves from where it stands.
  table.Prior();
  EXPECT_EQ(Current(), "Hammer");
}

TEST_F(LocateTest, MatchTypesAndCase) {
  Open({{"Claw hammer", ""}, {"HAMMER", ""}, {"hammer", ""}, {"", "Acme"}});
  struct Case {
    int match;
    bool caseSensitive;
    std::string value;
    std::string found;  // "-" for none
  };
  const std::vector<Case> cases = {
      {mtPartialMatchAny, false, "hammer", "Claw hammer"},
      {mtPartialMatchStart, false, "hammer", "HAMMER"},
      {mtPartialMatchStart, true, "hammer", "hammer"},
      {mtExactMatch, true, "HAMMER", "HAMMER"},
      {mtExactMatch, false, "claw", "-"},
      {mtPartialMatchAny, true, "Hammer", "-"},
      // An empty value: exact finds the first empty field, partial any record.
      {mtExactMatch, false, "", ""},
      {mtPartialMatchStart, false, "", "Claw hammer"},
  };
  for (const Case& c : cases) {
    table.Last();
    const bool found = LocateRecord(true, table, "ITEM", c.caseSensitive, c.match, c.value);
    EXPECT_EQ(found, c.found != "-") << c.value << " " << c.match;
    EXPECT_EQ(Current(), found ? c.found : "") << c.value << " " << c.match;
  }
}

TEST_F(LocateTest, NumbersAndDatesAreFoundByTheirShownText) {
  MakeItems();
  Point(table);
  table.Open();
  struct Case {
    const char* field;
    int match;
    std::string value;
    std::string found;
  };
  const std::vector<Case> cases = {
      {"COST", mtExactMatch, "35.5", "Radio"},      // by value, not by text
      {"COST", mtPartialMatchStart, "12.2", "Lamp"},
      {"QUANTITY", mtExactMatch, "4", "Lamp"},
      {"PURCHDATE", mtExactMatch, "6/30/94", "Camera"},
      {"PURCHDATE", mtPartialMatchAny, "/15/", "Radio"},
  };
  for (const Case& c : cases) {
    table.First();
    EXPECT_TRUE(LocateRecord(true, table, c.field, false, c.match, c.value)) << c.field << " " << c.value;
    EXPECT_EQ(Current(), c.found) << c.field << " " << c.value;
  }
  // Another short date format: the scan text follows it.
  ShortDateFormat = "dd.mm.yyyy";
  DateSeparator = '.';
  table.First();
  EXPECT_TRUE(LocateRecord(true, table, "PURCHDATE", false, mtExactMatch, "30.06.1994"));
  EXPECT_EQ(Current(), "Camera");
}

TEST_F(LocateTest, AFieldTheDatasetLacksIsReported) {
  Open({{"Anvil", ""}, {"Hammer", ""}});
  table.Next();
  ui->answers.push_back(platform::ui::Answer::Ok);
  EXPECT_FALSE(LocateRecord(true, table, "NOSUCH", false, mtExactMatch, "x"));
  EXPECT_EQ(ui->MessageTexts(), (std::vector<std::string>{"Field NOSUCH not found."}));
  EXPECT_EQ(ui->MessageCaptions(), (std::vector<std::string>{"Warning"}));
  EXPECT_EQ(Current(), "Hammer");
}

TEST_F(LocateTest, AnEmptyTableIsNeverAMatch) {
  Open({});
  EXPECT_FALSE(LocateRecord(true, table, "ITEM", false, mtExactMatch, ""));
  EXPECT_FALSE(LocateRecord(true, table, "ITEM", false, mtPartialMatchAny, ""));
  EXPECT_TRUE(table.IsEmpty());
}

TEST_F(LocateTest, TheSearchHonoursTheRecordFilter) {
  Open({{"Hammer", "Acme"}, {"Hammock", "Zed"}, {"Hamper", "Acme"}});
  table.SetOnFilter([](grid::TixTable& t) { return grid::FilterFieldValue(t, "BRAND").AsString() == "Acme"; });
  table.First();
  EXPECT_TRUE(LocateRecord(false, table, "ITEM", false, mtPartialMatchStart, "ham"));
  EXPECT_EQ(Current(), "Hamper");
}

TEST_F(LocateTest, MemoTextIsSearchedInTheRawRecords) {
  {
    TTable t;
    Point(t, "NOTES");
    t.SetTableType(ttDBase);
    t.FieldDefs().Add("ITEM", ftString, 20);
    t.FieldDefs().Add("NOTES", ftMemo);
    t.CreateTable();
    t.Open();
    for (const auto& [item, notes] : std::vector<std::pair<std::string, std::string>>{
             {"Anvil", ""}, {"Hammer", "Bought at the Fair"}, {"Saw", std::string(40000, 'x') + " fair"}}) {
      t.Append();
      t.FieldByName("ITEM")->SetAsString(item);
      t.FieldByName("NOTES")->SetAsString(notes);
      t.Post();
    }
    t.Close();
  }
  Point(table, "NOTES");
  table.Open();
  EXPECT_TRUE(LocateRecord(true, table, "NOTES", false, mtPartialMatchAny, "fair"));
  EXPECT_EQ(Current(), "Hammer");
  // Only the first 32,767 bytes of a memo are searched.
  EXPECT_FALSE(LocateRecord(false, table, "NOTES", false, mtPartialMatchAny, "fair"));
  EXPECT_EQ(Current(), "Hammer");
  EXPECT_TRUE(LocateRecord(true, table, "NOTES", true, mtExactMatch, "Bought at the Fair"));
  EXPECT_TRUE(LocateRecord(true, table, "NOTES", false, mtExactMatch, ""));
  EXPECT_EQ(Current(), "Anvil");
  EXPECT_TRUE(LocateRecord(false, table, "NOTES", false, mtPartialMatchStart, "x"));
  EXPECT_EQ(Current(), "Saw");
  EXPECT_TRUE(ui->MessageTexts().empty());
}

// ---- an index that leads with the field

TEST_F(LocateTest, ExactNextOnTheCurrentValueScansToTheNextEqualRecord) {
  Open({{"Hammer", "Acme"}, {"Anvil", ""}, {"Hammer", "Zed"}}, true);
  StandOn("Hammer", "Acme");
  EXPECT_TRUE(LocateRecord(false, table, "ITEM", true, mtExactMatch, "Hammer"));
  EXPECT_EQ(Current("BRAND"), "Zed");
  // From the beginning the key search takes the first key in index order.
  EXPECT_TRUE(LocateRecord(true, table, "ITEM", true, mtExactMatch, "Hammer"));
  EXPECT_EQ(Current("BRAND"), "Acme");
  EXPECT_FALSE(LocateRecord(true, table, "ITEM", true, mtExactMatch, "Saw"));
  EXPECT_EQ(Current("BRAND"), "Acme");
}

TEST_F(LocateTest, PartialNextOnTheIndexStopsAtTheFirstNonMatch) {
  Open({{"Hammock", ""}, {"Anvil", ""}, {"Hammer", ""}, {"Hatchet", ""}}, true);
  StandOn("Anvil");
  EXPECT_TRUE(LocateRecord(false, table, "ITEM", true, mtPartialMatchStart, "Ham"));
  EXPECT_EQ(Current(), "Hammer");
  EXPECT_TRUE(LocateRecord(false, table, "ITEM", true, mtPartialMatchStart, "Ham"));
  EXPECT_EQ(Current(), "Hammock");
  // The next key, Hatchet, does not start with the value: false at once.
  EXPECT_FALSE(LocateRecord(false, table, "ITEM", true, mtPartialMatchStart, "Ham"));
  EXPECT_EQ(Current(), "Hammock");
  // A value that sorts before the current key: nothing further can match.
  StandOn("Hatchet");
  EXPECT_FALSE(LocateRecord(false, table, "ITEM", true, mtPartialMatchStart, "Anv"));
  EXPECT_EQ(Current(), "Hatchet");
  EXPECT_TRUE(LocateRecord(true, table, "ITEM", true, mtPartialMatchStart, "Anv"));
  EXPECT_EQ(Current(), "Anvil");
}

TEST_F(LocateTest, ACaseInsensitiveSearchOnACaseSensitiveIndexScans) {
  // In index order: Hammer, Hammock, anvil, hammer.
  Open({{"anvil", ""}, {"Hammock", ""}, {"hammer", ""}, {"Hammer", ""}}, true);
  StandOn("Hammock");
  // A key path would stop at "anvil"; the scan goes on to "hammer".
  EXPECT_TRUE(LocateRecord(false, table, "ITEM", false, mtPartialMatchStart, "HAM"));
  EXPECT_EQ(Current(), "hammer");
  StandOn("Hammock");
  EXPECT_TRUE(LocateRecord(false, table, "ITEM", false, mtExactMatch, "HAMMER"));
  EXPECT_EQ(Current(), "hammer");
}

}  // namespace
}  // namespace gridtest
