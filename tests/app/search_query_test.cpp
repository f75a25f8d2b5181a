// The search query without its window: criterion cells turned into items,
// and records tested against the items.
#include "core/search_query.h"

#include <gtest/gtest.h>

#include <map>

#include "framework/sysutils.h"

namespace keldro {
namespace {

constexpr int kItem = 1, kBrand = 2, kModel = 3, kQuantity = 9, kPurchDate = 10, kCost = 11, kCategory = 12,
              kOwner = 17;

// A record as the filter reads it: text fields by number, numbers and dates
// absent when blank.
struct Record {
  std::map<int, std::string> text;
  std::map<int, double> number;
  std::map<int, double> date;

  SearchFieldReader Reader() const {
    auto find = [](const std::map<int, double>& m, int f) -> std::optional<double> {
      auto it = m.find(f);
      if (it == m.end()) return std::nullopt;
      return it->second;
    };
    return {[this, find](int f) { return find(number, f); }, [this, find](int f) { return find(date, f); },
            [this](int f) {
              auto it = text.find(f);
              return it == text.end() ? std::string() : it->second;
            }};
  }
};

class SearchQueryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    framework::ResetFormatSettings();
    types.fill(ctEqual);
  }
  void TearDown() override { framework::ResetFormatSettings(); }

  // One level: the cells given, every other row empty.
  SaveFieldsOutcome Level(const std::map<int, std::string>& given) {
    CriteriaCells cells{};
    for (const auto& [row, text] : given) cells[static_cast<size_t>(row - 1)] = text;
    return SaveFields(items, cells, types);
  }
  bool Passes(const Record& r) const { return BuildFilter(items, r.Reader()); }

  SearchItems items;
  CriterionTypes types{};
};

TEST_F(SearchQueryTest, OneLevelIsAnAndOfItsRows) {
  ASSERT_EQ(Level({{kItem, "  drill "}, {kBrand, "bosch"}, {kModel, "gsr"}, {kQuantity, "= 2        "}}).result,
            SaveFieldsResult::Ok);
  ASSERT_EQ(items.size(), 4u);
  EXPECT_EQ(items[0], (SearchItem{"DRILL", 0, 0, kItem, soContains, false, false}));
  EXPECT_EQ(items[3].op, soEqual);
  EXPECT_EQ(items[3].number, 2);
  EXPECT_EQ((std::vector<bool>{items[0].groupEnd, items[1].groupEnd, items[2].groupEnd, items[3].groupEnd}),
            (std::vector<bool>{false, false, false, true}));

  Record all{{{kItem, "Cordless Drill"}, {kBrand, "Bosch"}, {kModel, "GSR 12"}}, {{kQuantity, 2}}, {}};
  EXPECT_TRUE(Passes(all));
  Record three = all;
  three.number[kQuantity] = 3;
  EXPECT_FALSE(Passes(three));
  Record blankQuantity = all;
  blankQuantity.number.erase(kQuantity);
  EXPECT_FALSE(Passes(blankQuantity));
}

TEST_F(SearchQueryTest, LevelsAreOrAlternatives) {
  ASSERT_EQ(Level({{kCategory, "tools"}}).result, SaveFieldsResult::Ok);
  ASSERT_EQ(Level({{kOwner, "ann"}, {kItem, "saw"}}).result, SaveFieldsResult::Ok);
  ASSERT_EQ(items.size(), 3u);
  EXPECT_TRUE(items[0].groupEnd);
  EXPECT_FALSE(items[1].groupEnd);
  EXPECT_TRUE(items[2].groupEnd);

  EXPECT_TRUE(Passes({{{kCategory, "TOOLS"}, {kOwner, "BOB"}}, {}, {}}));
  EXPECT_TRUE(Passes({{{kCategory, "GARDEN"}, {kOwner, "ANN"}, {kItem, "Hacksaw"}}, {}, {}}));
  // Half of level 2 only.
  EXPECT_FALSE(Passes({{{kCategory, "GARDEN"}, {kOwner, "ANN"}, {kItem, "Rake"}}, {}, {}}));
}

TEST_F(SearchQueryTest, TextMatchesAnywhereWithoutRegardToCase) {
  ASSERT_EQ(Level({{kItem, "saw"}}).result, SaveFieldsResult::Ok);
  for (const auto& [value, passes] : std::vector<std::pair<std::string, bool>>{
           {"Hacksaw", true}, {"SAWDUST", true}, {"Drill", false}, {"", false}, {"s a w", false}})
    EXPECT_EQ(Passes({{{kItem, value}}, {}, {}}), passes) << value;
}

TEST_F(SearchQueryTest, ARangeIsExclusiveAtBothEnds) {
  types[kCost - 1] = ctRange;
  ASSERT_EQ(Level({{kCost, "> 100       AND < 200     "}}).result, SaveFieldsResult::Ok);
  ASSERT_EQ(items.size(), 2u);
  EXPECT_EQ(items[0].op, soGreater);
  EXPECT_EQ(items[0].number, 100);
  EXPECT_EQ(items[1].op, soLess);
  EXPECT_EQ(items[1].number, 200);
  for (const auto& [cost, passes] : std::vector<std::pair<double, bool>>{
           {100, false}, {150, true}, {200, false}, {99.99, false}, {100.01, true}})
    EXPECT_EQ(Passes({{}, {{kCost, cost}}, {}}), passes) << cost;
}

TEST_F(SearchQueryTest, ComparisonsOfNumbersAndDates) {
  types[kCost - 1] = ctGreater;
  types[kPurchDate - 1] = ctLess;
  ASSERT_EQ(Level({{kCost, "> 12.5     "}, {kPurchDate, "< 12/31/1995"}}).result, SaveFieldsResult::Ok);
  const double d = framework::EncodeDate(1995, 12, 31);
  // Rows in order: the date (row 10) before the cost (row 11).
  EXPECT_EQ(items[0].date, d);
  EXPECT_TRUE(items[0].isDate);
  EXPECT_FALSE(items[1].isDate);
  EXPECT_TRUE(Passes({{}, {{kCost, 13}}, {{kPurchDate, d - 1}}}));
  EXPECT_FALSE(Passes({{}, {{kCost, 12.5}}, {{kPurchDate, d - 1}}}));
  EXPECT_FALSE(Passes({{}, {{kCost, 13}}, {{kPurchDate, d}}}));
  // A blank date is never "less than" anything.
  EXPECT_FALSE(Passes({{}, {{kCost, 13}}, {}}));
}

// What one cell gives, through every path of the pass.
TEST_F(SearchQueryTest, CellsThatAddNothingOrAreInvalid) {
  struct Case {
    int row;
    int type;
    std::string cell;
    SaveFieldsResult result;
  };
  const std::vector<Case> cases = {
      {kCost, ctRange, "> 100       AND <         ", SaveFieldsResult::Invalid},
      {kCost, ctRange, ">           AND < 200     ", SaveFieldsResult::Invalid},
      {kCost, ctRange, ">           AND <         ", SaveFieldsResult::NoCriteria},
      {kCost, ctEqual, "= 1,000    ", SaveFieldsResult::Invalid},
      {kCost, ctEqual, "= abc      ", SaveFieldsResult::Invalid},
      {kCost, ctEqual, "=          ", SaveFieldsResult::NoCriteria},
      {kPurchDate, ctEqual, "=   /  /    ", SaveFieldsResult::NoCriteria},
      {kPurchDate, ctRange, ">   /  /     AND <   /  /    ", SaveFieldsResult::NoCriteria},
      {kPurchDate, ctRange, "> 01/01/1990 AND <   /  /    ", SaveFieldsResult::Invalid},
      {kPurchDate, ctEqual, "= 13/45/1995", SaveFieldsResult::Invalid},
      {kPurchDate, ctEqual, "= 12/  /1995", SaveFieldsResult::Invalid},
      {kItem, ctEqual, "     ", SaveFieldsResult::NoCriteria},
  };
  for (const Case& c : cases) {
    items.clear();
    types.fill(ctEqual);
    types[static_cast<size_t>(c.row - 1)] = c.type;
    const SaveFieldsOutcome out = Level({{c.row, c.cell}});
    EXPECT_EQ(out.result, c.result) << c.cell;
    if (c.result == SaveFieldsResult::Invalid) {
      EXPECT_EQ(out.row, c.row) << c.cell;
    }
    EXPECT_TRUE(items.empty()) << c.cell;
  }
}

TEST_F(SearchQueryTest, AnInvalidRowDropsOnlyThisLevelsItems) {
  ASSERT_EQ(Level({{kCategory, "tools"}}).result, SaveFieldsResult::Ok);
  const SaveFieldsOutcome out = Level({{kItem, "saw"}, {kCost, "= x"}, {kOwner, "ann"}});
  EXPECT_EQ(out.result, SaveFieldsResult::Invalid);
  EXPECT_EQ(out.row, kCost);
  ASSERT_EQ(items.size(), 1u);
  EXPECT_EQ(items[0].text, "TOOLS");
  // An empty level after earlier ones is still an empty level.
  EXPECT_EQ(Level({}).result, SaveFieldsResult::NoCriteria);
  EXPECT_EQ(items.size(), 1u);
}

TEST_F(SearchQueryTest, TheSeventySixthItemClearsTheWholeQuery) {
  // 22 rows of text give 22 items a level: three levels hold 66.
  std::map<int, std::string> full;
  for (int row = 1; row <= kItemFieldCount; ++row) {
    const ItemField* f = ItemFieldByNumber(row);
    full[row] = f->letter == 'N' ? "= 1" : f->letter == 'D' ? "= 1/1/1990" : "x";
  }
  for (int level = 0; level < 3; ++level) ASSERT_EQ(Level(full).result, SaveFieldsResult::Ok);
  ASSERT_EQ(items.size(), 66u);
  // Nine more reach 75, the tenth is the 76th.
  std::map<int, std::string> nine, ten;
  for (int row = 1; row <= 10; ++row) (row <= 9 ? nine : ten)[row] = full[row];
  ten.insert(nine.begin(), nine.end());
  SearchItems saved = items;
  ASSERT_EQ(Level(nine).result, SaveFieldsResult::Ok);
  EXPECT_EQ(items.size(), 75u);
  items = saved;
  EXPECT_EQ(Level(ten).result, SaveFieldsResult::TooManyItems);
  EXPECT_TRUE(items.empty());
  EXPECT_EQ(TooManyItemsMessage(),
            "More than 75 search items have been entered.  This exceeds the maximum allowable.  "
            "Search criteria will be cleared.");
}

TEST_F(SearchQueryTest, AnEmptyQueryRejectsEveryRecord) { EXPECT_FALSE(Passes({{{kItem, "x"}}, {}, {}})); }

TEST_F(SearchQueryTest, MasksAndChoicesByRow) {
  EXPECT_EQ(CriterionMask(kItem, ctEqual), std::string(40, 'c'));
  EXPECT_EQ(CriterionMask(kCost, ctRange), "\\> ccccccccc \\A\\ND \\< cccccccc");
  EXPECT_EQ(CriterionMask(kQuantity, ctLess), "\\< ccccccccc;1");
  EXPECT_EQ(CriterionMask(kPurchDate, ctRange), "\\> 99/99/0000 \\A\\ND \\< 99/99/0000;1");
  std::vector<int> choice;
  for (int row = 1; row <= kItemFieldCount; ++row)
    if (RowHasChoice(row)) choice.push_back(row);
  EXPECT_EQ(choice, (std::vector<int>{2, 5, 7, 9, 10, 11, 12, 13, 14, 15, 17, 18}));
  EXPECT_EQ(CriteriaHeading(10), " SEARCH CRITERIA    (Level 10)");
}

}  // namespace
}  // namespace keldro
