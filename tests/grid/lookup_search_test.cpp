// How the lookup controls search their lookup table: the index chosen for
// a field, the incremental search, and the range positioning of a table
// whose database answers through SQL.
#include "grid/ix_lookup_search.h"

#include <gtest/gtest.h>

#include "brands_table.h"
#include "grid_fixture.h"

namespace gridtest {
namespace {

using grid::FindKeyByLookupValues;
using grid::FindLookupIndexFor;
using grid::FindLookupIndexForField;
using grid::IncrementalSearch;
using grid::IndexLeadingField;

// A table whose database counts as one that answers through SQL.
class ServerTable : public grid::TixTable {
 public:
  bool IsSQLBased() const override { return true; }
};

class LookupSearchTest : public GridTableTest {
 protected:
  void MakeBrands() { MakeBrandsTable(dir.string()); }
  void Open(grid::TixTable& t, const std::string& index) {
    Point(t, "BRANDS");
    t.Name = "Brands";
    t.SetIndexName(index);
    t.Open();
  }
  static std::string Name(grid::TixTable& t) { return t.FieldByName("NAME")->AsString(); }
  static std::vector<std::string> Names(grid::TixTable& t) {
    std::vector<std::string> out;
    for (t.First(); !t.Eof(); t.Next()) out.push_back(Name(t));
    return out;
  }
  static void StandOn(grid::TixTable& t, const std::string& name) {
    for (t.First(); !t.Eof(); t.Next())
      if (Name(t) == name) return;
    FAIL() << "no " << name;
  }
};

TEST_F(LookupSearchTest, TheLeadingFieldOfFieldAndExpressionIndexes) {
  MakeBrands();
  grid::TixTable t;
  Open(t, "");
  struct Case {
    const char* fields;
    TIndexOptions options;
    const char* leading;
  } cases[] = {
      {"NAME", 0, "NAME"},
      {"NAME;ID", 0, "NAME"},
      {"UPPER(NAME)", ixExpression | ixCaseInsensitive, "NAME"},
      {"upper( name )+STR(ID,5)", ixExpression, "name"},
      {"DTOS(COUNTRY)+NAME", ixExpression, "COUNTRY"},
      {"'ID'+NAME", ixExpression, "NAME"},     // a quoted name is no field
      {"STR(NOSUCH)+UPPER(", ixExpression, ""},  // no field of the table
      {"UPPER(\"NAME", ixExpression, ""},      // an unclosed quote ends the reading
  };
  for (const Case& c : cases) {
    TIndexDef d("T", c.fields, c.options);
    EXPECT_EQ(IndexLeadingField(d, t), c.leading) << c.fields;
  }
}

TEST_F(LookupSearchTest, FindLookupIndexPrefersTheCaseInsensitiveTagAndKeepsTheRecord) {
  MakeBrands();
  grid::TixTable t;
  Open(t, "ID");
  StandOn(t, "Philips");
  ASSERT_TRUE(FindLookupIndexForField(t, "name"));
  EXPECT_EQ(t.IndexName(), "UNAME");
  EXPECT_EQ(Name(t), "Philips");
  EXPECT_EQ(Names(t), (std::vector<std::string>{"Acme", "Bosch", "Nikon", "Philips", "Samsung", "Sony"}));

  StandOn(t, "Nikon");
  ASSERT_TRUE(FindLookupIndexFor(t, {"ID\t5\tNumber"}));
  EXPECT_EQ(t.IndexName(), "ID");
  EXPECT_EQ(Name(t), "Nikon");

  // No index leads with COUNTRY: the table stays as it was.
  EXPECT_FALSE(FindLookupIndexForField(t, "COUNTRY"));
  EXPECT_FALSE(FindLookupIndexFor(t, {}));
  EXPECT_EQ(t.IndexName(), "ID");
  EXPECT_EQ(Name(t), "Nikon");
}

TEST_F(LookupSearchTest, IncrementalSearchSeeksTheIndexAndTellsWhetherTheTextIsThere) {
  MakeBrands();
  grid::TixTable t;
  Open(t, "NAME");
  struct Case {
    const char* text;
    bool hit;
    const char* at;
  } cases[] = {
      {"Ph", true, "Philips"},
      {"S", true, "Samsung"},
      {"So", true, "Sony"},
      {"Bz", false, "Nikon"},   // the nearest key after the text
      {"", true, "Acme"},       // an empty text is contained in every name
      {"B", true, "Bosch"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(IncrementalSearch(t, c.text, 0), c.hit) << c.text;
    EXPECT_EQ(Name(t), c.at) << c.text;
  }
  // Case is not regarded in the answer (the seek itself follows the tag).
  StandOn(t, "Acme");
  EXPECT_TRUE(IncrementalSearch(t, "Sam", 0));
  EXPECT_FALSE(IncrementalSearch(t, "ZZ", 0));

  // A text that is no number leaves an integer index where it was.
  grid::TixTable ids;
  Open(ids, "ID");
  StandOn(ids, "Philips");
  EXPECT_FALSE(IncrementalSearch(ids, "4x", 0));
  EXPECT_EQ(Name(ids), "Philips");
  EXPECT_TRUE(IncrementalSearch(ids, "5", 0));
  EXPECT_EQ(Name(ids), "Samsung");
  EXPECT_TRUE(ui->calls.empty());
}

TEST_F(LookupSearchTest, IncrementalSearchWithoutIndexFieldsWarns) {
  MakeBrands();
  for (const char* index : {"", "UNAME"}) {
    grid::TixTable t;
    Open(t, index);
    ui->calls.clear();
    EXPECT_FALSE(IncrementalSearch(t, "So", 0)) << index;
    ASSERT_EQ(ui->calls.size(), 1u) << index;
    EXPECT_EQ(ui->calls[0].message.text, "Table Brands: Table index not found");
    EXPECT_EQ(ui->calls[0].message.caption, "Warning");
  }
}

TEST_F(LookupSearchTest, NarrowSearchShowsOnlyTheNamesThatBeginWithTheText) {
  MakeBrands();
  grid::TixTable t;
  t.NarrowSearch = true;
  Open(t, "NAME");
  EXPECT_TRUE(IncrementalSearch(t, "S", 0));
  EXPECT_EQ(Names(t), (std::vector<std::string>{"Samsung", "Sony"}));
  EXPECT_FALSE(IncrementalSearch(t, "Sx", 0));
  EXPECT_TRUE(Names(t).empty());
  // An empty text gives the whole table back.
  IncrementalSearch(t, "", 0);
  EXPECT_EQ(Names(t).size(), 6u);

  // Another type: a range from the text on.
  grid::TixTable ids;
  ids.NarrowSearch = true;
  Open(ids, "ID");
  EXPECT_TRUE(IncrementalSearch(ids, "5", 0));
  EXPECT_EQ(Names(ids), (std::vector<std::string>{"Samsung", "Bosch"}));
}

TEST_F(LookupSearchTest, AnSQLTableIsPositionedByRanges) {
  MakeBrands();
  ServerTable t;
  Open(t, "NAME");
  // Typing: a range from the text on; an empty text cancels it.
  EXPECT_TRUE(IncrementalSearch(t, "Ph", 0));
  EXPECT_EQ(Names(t), (std::vector<std::string>{"Philips", "Samsung", "Sony"}));
  IncrementalSearch(t, "", 0);
  EXPECT_EQ(Names(t).size(), 6u);

  // Positioning on a value: the current record is kept when it already
  // holds the value (compared without case), else a range from the value.
  StandOn(t, "Nikon");
  EXPECT_TRUE(FindKeyByLookupValues(t, {"NIKON"}, "NAME"));
  EXPECT_EQ(Names(t).size(), 6u);
  EXPECT_TRUE(FindKeyByLookupValues(t, {"Samsung"}, "NAME"));
  EXPECT_EQ(Name(t), "Samsung");
  EXPECT_EQ(Names(t), (std::vector<std::string>{"Samsung", "Sony"}));
  EXPECT_FALSE(FindKeyByLookupValues(t, {"Nokia"}, "NAME"));
  EXPECT_FALSE(FindKeyByLookupValues(t, {""}, "NAME"));
  EXPECT_EQ(Names(t).size(), 6u);

  // Without SyncSQLByRange the key search of a local table runs.
  t.SyncSQLByRange = false;
  EXPECT_TRUE(FindKeyByLookupValues(t, {"Bosch"}, "NAME"));
  EXPECT_EQ(Name(t), "Bosch");
  EXPECT_EQ(Names(t).size(), 6u);
}

TEST_F(LookupSearchTest, AnSQLTableKeepsItsPlaceAcrossAnIndexChangeByARange) {
  MakeBrands();
  ServerTable t;
  Open(t, "");
  StandOn(t, "Philips");
  ASSERT_TRUE(FindLookupIndexForField(t, "ID"));
  EXPECT_EQ(t.IndexName(), "ID");
  EXPECT_EQ(Name(t), "Philips");
  EXPECT_EQ(Names(t), (std::vector<std::string>{"Philips", "Acme", "Samsung", "Bosch"}));
}

}  // namespace
}  // namespace gridtest
