#include <gtest/gtest.h>

#include "framework/db.h"
#include "grid/ix_text.h"

namespace gridtest {
namespace {

TEST(TextStacks, PushPopAndEmpty) {
  grid::TStackStr s;
  EXPECT_EQ(s.Pop(), "");
  s.Push("a");
  s.Push("");
  s.Push("c");
  EXPECT_EQ(s.Count(), 3);
  EXPECT_EQ(s.Pop(), "c");
  EXPECT_EQ(s.Pop(), "");
  EXPECT_EQ(s.Pop(), "a");
  EXPECT_EQ(s.Count(), 0);
  EXPECT_EQ(s.Pop(), "");

  grid::TStackPtr p;
  int a = 0, b = 0;
  EXPECT_EQ(p.Pop(), nullptr);
  p.Push(&a);
  p.Push(&b);
  EXPECT_EQ(p.Count(), 2);
  EXPECT_EQ(p.Pop(), &b);
  EXPECT_EQ(p.Pop(), &a);
  EXPECT_EQ(p.Pop(), nullptr);
}

TEST(TextPieces, NextTokenWalksThePieces) {
  struct Case {
    const char* text;
    int position;
    const char* token;
    int after;
  } cases[] = {
      {"A;B;C", 1, "A", 3},   {"A;B;C", 3, "B", 5},  {"A;B;C", 5, "C", -1}, {"A;B;", 5, "", 5},
      {"A;;C", 3, "", 4},     {"A;B", 0, "", 0},     {"A;B", -1, "", -1},   {"A;B", 4, "", 4},
      {"", 1, "", 1},         {"WARRANTY;CheckBox", 1, "WARRANTY", 10},
  };
  for (const Case& c : cases) {
    int position = c.position;
    std::string token = "junk";
    grid::NextToken(c.text, ';', position, token);
    EXPECT_EQ(token, c.token) << c.text << " at " << c.position;
    EXPECT_EQ(position, c.after) << c.text << " at " << c.position;
  }
}

TEST(TextPieces, SplitTrimAndReplace) {
  struct Case {
    const char* text;
    std::vector<std::string> pieces;
  } cases[] = {
      {"", {""}},
      {"A", {"A"}},
      {"WARRANTY;CheckBox;Yes;No", {"WARRANTY", "CheckBox", "Yes", "No"}},
      {"A;", {"A", ""}},
      {";", {"", ""}},
      {"A;;B", {"A", "", "B"}},
  };
  for (const Case& c : cases) {
    std::vector<std::string> list = {"old"};
    grid::SplitString(c.text, ';', list);
    EXPECT_EQ(list, c.pieces) << c.text;
  }
  EXPECT_EQ(grid::TrimCharSet("A=1 \t \t", " \t"), "A=1");
  EXPECT_EQ(grid::TrimCharSet(" \t", " \t"), "");
  EXPECT_EQ(grid::TrimCharSet("\tA", " \t"), "\tA");
  std::string r;
  grid::ReplaceCharWithBlank("Purch~Date~", '~', r);
  EXPECT_EQ(r, "Purch Date ");
}

TEST(ValueChecks, IntegerAndFloatText) {
  struct Case {
    const char* text;
    bool integer, floating;
  } cases[] = {
      {"", true, true},        {"0", true, true},       {"-12", true, true},    {"-", false, false},
      {"-1.5", false, true},   {"1.2.3", false, true},  {"1e5", false, false},  {"+5", false, false},
      {"12-", false, false},   {" 1", false, false},    {".", false, true},     {"--1", false, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(grid::IsIntegerText(c.text), c.integer) << c.text;
    EXPECT_EQ(grid::IsFloatText(c.text), c.floating) << c.text;
  }
}

class DateChecks : public ::testing::Test {
 protected:
  void TearDown() override { framework::ResetFormatSettings(); }
};

TEST_F(DateChecks, DatesInEachOrder) {
  struct Case {
    const char* format;
    char separator;
    const char* text;
    bool valid;
  } cases[] = {
      {"dd/mm/yyyy", '/', "31/12", true},       {"dd/mm/yyyy", '/', "1/2/96", true},
      {"dd/mm/yyyy", '/', "29/02/1900", false}, {"dd/mm/yyyy", '/', "29/02/2000", true},
      {"dd/mm/yyyy", '/', "12/31", false},      {"dd/mm/yyyy", '/', "29/2/00", true},
      {"dd/mm/yyyy", '/', "29/2/30", false},    {"dd/mm/yyyy", '/', " 1 / 2 / 1996 ", true},
      {"m/d/yy", '/', "12/31/95", true},        {"m/d/yy", '/', "31/12/95", false},
      {"m/d/yy", '/', "2/29/1996", true},       {"m/d/yy", '/', "2/29/1997", false},
      {"m/d/yy", '/', "1/1/0", true},           {"m/d/yy", '/', "1/1/10000", false},
      {"m/d/yy", '/', "1/1/9999", true},        {"m/d/yy", '/', "0/1/95", false},
      {"m/d/yy", '/', "1/32/95", false},        {"m/d/yy", '/', "13/1/95", false},
      {"m/d/yy", '/', "1/1/95 x", false},       {"m/d/yy", '/', "1-1-95", false},
      {"m/d/yy", '/', "1/", false},             {"m/d/yy", '/', "", false},
      {"yyyy-mm-dd", '-', "1996-02-29", true},  {"yyyy-mm-dd", '-', "1996-13-01", false},
      {"yyyy-mm-dd", '-', "02-28", true},       {"xx", '.', "12.31.1995", true},
      {"dd.mm.yy", '.', "31.12.95", true},      {"m/d/yy", '/', "1/1/19951", false},
  };
  for (const Case& c : cases) {
    framework::ShortDateFormat = c.format;
    framework::DateSeparator = c.separator;
    EXPECT_EQ(grid::IsValidDate(c.text), c.valid) << c.format << " " << c.text;
  }
}

TEST_F(DateChecks, DateTimes) {
  struct Case {
    const char* text;
    bool valid;
  } cases[] = {
      {"12/31/95 12:30 PM", true}, {"12/31/95 13:00 PM", false}, {"12/31/95 0:00 AM", false},
      {"12/31/95 12:00 am", true}, {"12/31/95 23:59:59", true},  {"12/31/95 24:00", false},
      {"12/31/95 10:60", false},   {"12/31/95 10:00:60", false}, {"12/31/95", false},
      {"12/31/95 10", false},      {"12/31/95 10:30 XM", false}, {"12/31/95 10:30:", false},
      {"12/31/95 1:05 pm ", true},
  };
  for (const Case& c : cases) EXPECT_EQ(grid::IsValidDateTime(c.text), c.valid) << c.text;
  framework::TimeAMString = "vorm.";
  framework::TimePMString = "nachm.";
  EXPECT_TRUE(grid::IsValidDateTime("12/31/95 11:00 NACHM."));
  EXPECT_TRUE(grid::IsValidDateTime("12/31/95 11:00 PM"));
}

}  // namespace
}  // namespace gridtest
