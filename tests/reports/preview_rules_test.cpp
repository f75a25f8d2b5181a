// The preview window's checks without a window: the page range, the zoom
// and page texts, and the page label.
#include "reports/preview_rules.h"

#include <gtest/gtest.h>

namespace keldro::reports {
namespace {

TEST(PreviewRules, PageRangeStartsWithinTheReportAndEndsBetweenStartAndCount) {
  struct Case {
    const char *start, *end;
    PageRange::Outcome want;
  } cases[] = {
      {"1", "5", PageRange::Ok},       {" 2 ", "3", PageRange::Ok},   {"5", "5", PageRange::Ok},
      {"0", "3", PageRange::BadStart}, {"6", "6", PageRange::BadStart}, {"x", "3", PageRange::BadStart},
      {"", "3", PageRange::BadStart},  {"3", "2", PageRange::BadEnd},   {"1", "6", PageRange::BadEnd},
      {"1", "", PageRange::BadEnd},
  };
  for (const Case& c : cases) {
    const PageRange r = CheckPageRange(c.start, c.end, 5);
    EXPECT_EQ(r.outcome, c.want) << c.start << "-" << c.end;
    if (r.outcome == PageRange::Ok) {
      EXPECT_LE(r.start, r.end);
    }
  }
  EXPECT_EQ(CheckPageRange("2", "3", 5).start, 2);
  EXPECT_EQ(CheckPageRange("2", "3", 5).end, 3);
}

TEST(PreviewRules, ZoomAndPageTexts) {
  EXPECT_EQ(ParseRealNumber(" 150 "), 150.0);
  EXPECT_EQ(ParseRealNumber("33.3"), 33.3);
  for (const char* bad : {"abc", "", "12x", "nan", "inf"}) EXPECT_FALSE(ParseRealNumber(bad)) << bad;
  EXPECT_EQ(ParseWholeNumber("7"), 7);
  EXPECT_FALSE(ParseWholeNumber("7.5"));
  EXPECT_FALSE(ParseWholeNumber("99999999999"));
  EXPECT_EQ(ZoomText(200), "200.0");
  EXPECT_EQ(ZoomText(33.333), "33.3");
  EXPECT_EQ(ZoomText(1e300).size(), 10u);
  // A report recorded from page 3 counts its first shown page as page 1.
  EXPECT_EQ(PageLabelText(3, 3, 4), "Page 1 of 4");
  EXPECT_EQ(PageLabelText(1, 1, 1), "Page 1 of 1");
}

}  // namespace
}  // namespace keldro::reports
