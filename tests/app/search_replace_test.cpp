// The checks and conversions of the values search and replace is given.
#include "core/search_replace.h"

#include <gtest/gtest.h>

namespace keldro {
namespace {

class PrepareReplaceTest : public ::testing::Test {
 protected:
  void SetUp() override { framework::ResetFormatSettings(); }
  void TearDown() override { framework::ResetFormatSettings(); }
};

TEST_F(PrepareReplaceTest, EachFaultIsFoundInTheOrderTheWindowReportsIt) {
  // Field 2 Brand (C), 11 Cost (N), 9 Quantity (N), 10 PurchDate (D).
  struct Case {
    int field;
    const char* search;
    const char* replace;
    ReplaceInputError want;
  } cases[] = {
      {0, "a", "b", ReplaceInputError::NoField},
      {23, "a", "b", ReplaceInputError::NoField},
      {2, "", "", ReplaceInputError::None},  // an empty text matches empty fields
      {11, "", "1", ReplaceInputError::SearchValue},
      {11, "12,50", "1", ReplaceInputError::SearchValue},  // "." is the only decimal point
      {11, "abc", "1", ReplaceInputError::SearchValue},
      {11, "12.5", "", ReplaceInputError::ReplaceValue},
      {11, "12.5", "x1", ReplaceInputError::ReplaceValue},
      {9, "  3 ", " 4", ReplaceInputError::None},
      {9, "3", "4.5", ReplaceInputError::ReplaceValue},  // Quantity holds whole numbers
      {9, "3.5", "4", ReplaceInputError::None},          // which that search never matches
      // Untouched masks, in any of the three separators.
      {10, "", "1/2/1995", ReplaceInputError::SearchDate},
      {10, "  /  /    ", "1/2/1995", ReplaceInputError::SearchDate},
      {10, "-  -", "1/2/1995", ReplaceInputError::SearchDate},
      {10, ".  .", "1/2/1995", ReplaceInputError::SearchDate},
      // Filled in but not a date: never a conversion error escaping.
      {10, "13/45/1995", "1/2/1995", ReplaceInputError::SearchDate},
      {10, "1/2/1995", "  /  /    ", ReplaceInputError::ReplaceDate},
      {10, "1/2/1995", "02/30/1995", ReplaceInputError::ReplaceDate},
      {10, "12/31/1995", "1/2/1996", ReplaceInputError::None},
  };
  for (const Case& c : cases) {
    ReplaceSpec spec;
    EXPECT_EQ(PrepareReplace(c.field, c.search, c.replace, spec), c.want)
        << c.field << " '" << c.search << "' '" << c.replace << "'";
  }
}

TEST_F(PrepareReplaceTest, ValuesAreTrimmedAndConverted) {
  ReplaceSpec spec;
  ASSERT_EQ(PrepareReplace(2, "  acme ", " Zenith  ", spec), ReplaceInputError::None);
  EXPECT_EQ(spec.typeLetter, 'C');
  EXPECT_EQ(spec.searchText, "ACME");
  EXPECT_EQ(spec.replaceText, "Zenith");

  ASSERT_EQ(PrepareReplace(11, " 12.50", "7.25 ", spec), ReplaceInputError::None);
  EXPECT_EQ(spec.typeLetter, 'N');
  EXPECT_DOUBLE_EQ(spec.searchNumber, 12.5);
  EXPECT_EQ(spec.replaceText, "7.25");

  ASSERT_EQ(PrepareReplace(15, "12/31/1995", "1/2/96", spec), ReplaceInputError::None);
  EXPECT_EQ(spec.typeLetter, 'D');
  EXPECT_DOUBLE_EQ(spec.searchDate, framework::EncodeDate(1995, 12, 31));
  EXPECT_DOUBLE_EQ(spec.replaceDate, framework::EncodeDate(1996, 1, 2));

  // The short date format decides the order of day and month.
  framework::ShortDateFormat = "d/m/yyyy";
  ASSERT_EQ(PrepareReplace(10, "31/12/1995", "2/1/1996", spec), ReplaceInputError::None);
  EXPECT_DOUBLE_EQ(spec.searchDate, framework::EncodeDate(1995, 12, 31));
}

TEST(SearchReplace, MasksMessagesAndQuestion) {
  EXPECT_EQ(ReplaceMaskFor('C'), "");
  EXPECT_EQ(ReplaceMaskFor('D'), "99/99/0000;1");
  EXPECT_EQ(ReplaceMaskFor('N'), "ccccccccc;1");
  EXPECT_EQ(ReplaceInputMessage(ReplaceInputError::SearchDate), "Invalid search date entered.  Please correct.");
  EXPECT_EQ(ReplaceInputMessage(ReplaceInputError::ReplaceDate),
            "Invalid replacement date entered.  Please correct.");
  EXPECT_EQ(ReplaceConfirmQuestion("Drill \"XL\""), "Item = \"Drill \"XL\"\".  Change this record?");
}

}  // namespace
}  // namespace keldro
