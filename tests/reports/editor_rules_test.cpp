// The definition editor's rules without a window: the width switch, the
// number of lines and the margins, the cell editor's OK and the layout's
// cells.
#include "reports/editor_rules.h"

#include <gtest/gtest.h>

#include "core/item_fields.h"

namespace keldro::reports {
namespace {

ReportDefinition Default(size_t i) { return DefaultReportDefinitions()[i]; }
std::vector<int> Widths(const ReportLine& line) {
  std::vector<int> out;
  for (const ReportCell& c : line.cells) out.push_back(c.width);
  while (!out.empty() && out.back() == 0) out.pop_back();
  return out;
}

TEST(EditorRules, SwitchingWidthRebalancesTheBodyLinesAndResetsTheBodyFont) {
  ReportDefinition def = Default(0);  // "Short Narrow Report", 90 characters
  const ReportLine totals = def.totalsLine;
  SwitchCharsPerLine(def, 120);
  EXPECT_EQ(def.charsPerLine, 120);
  EXPECT_EQ(def.fonts[2].size, 8);
  EXPECT_EQ(def.fonts[0].size, 10);
  EXPECT_EQ(Widths(def.bodyLines[0]), (std::vector<int>{32, 17, 14, 14, 13, 30}));
  EXPECT_EQ(def.bodyLines[0].cells[5].partName, "<FILLER>");
  EXPECT_EQ(def.totalsLine, totals);
  SwitchCharsPerLine(def, 90);
  EXPECT_EQ(Widths(def.bodyLines[0]), (std::vector<int>{32, 17, 14, 14, 13}));
  EXPECT_EQ(def.fonts[2].size, 10);
}

TEST(EditorRules, ALineCountFromTheEditOrTheFileNeverWalksPastTheTwelveLines) {
  for (int n : {13, 99, -5, 32767}) {
    ReportDefinition def = Default(1);
    def.numLines = static_cast<int16_t>(n);
    SwitchCharsPerLine(def, 90);  // must stay inside the record (run under ASan)
    EXPECT_EQ(def.charsPerLine, 90);
  }
  EXPECT_EQ(ParseNumLines(" 13 "), 13);
  EXPECT_EQ(ParseNumLines("x"), 0);
  EXPECT_FALSE(NumLinesInRange(13));
  EXPECT_FALSE(NumLinesInRange(-1));
  EXPECT_TRUE(NumLinesInRange(0));
  EXPECT_TRUE(NumLinesInRange(12));
}

TEST(EditorRules, WidthSwitchAsksOnlyWhenLinesAreCut) {
  EXPECT_EQ(WidthSwitchQuestion(120, 90), kSwitchTo90);
  EXPECT_EQ(WidthSwitchQuestion(150, 90), kSwitchTo90);
  EXPECT_EQ(WidthSwitchQuestion(150, 120), kSwitchTo120);
  EXPECT_FALSE(WidthSwitchQuestion(90, 120));
  EXPECT_FALSE(WidthSwitchQuestion(120, 150));
  EXPECT_EQ(WidthSwitchNotice(120), kBodyFont120);
  EXPECT_EQ(WidthSwitchNotice(150), kBodyFont150);
  EXPECT_FALSE(WidthSwitchNotice(90));
}

TEST(EditorRules, MarginsMustBeNumbersThatLeaveRoomForTheBody) {
  struct Case {
    const char *top, *bottom, *left, *right;
    bool ok;
  } cases[] = {
      {"0.5", "0.5", "0.5", "0.5", true}, {"0", "0", "0", "0", true},      {"x", "0.5", "0.5", "0.5", false},
      {"0.5", "", "0.5", "0.5", false},   {"0.5", "-1", "0.5", "0.5", false}, {"0.5", "8.9", "0.5", "0.5", false},
      {"0.5", "8.8", "0.5", "0.5", true}, {"0.5", "0.5", "4", "4.5", false}, {"nan", "0.5", "0.5", "0.5", false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(CheckMargins(c.top, c.bottom, c.left, c.right, 8.5, 11, 10).has_value(), c.ok)
        << c.top << " " << c.bottom << " " << c.left << " " << c.right;
}

TEST(EditorRules, CellEditStoresTheCellAndRebalancesItsLine) {
  ReportDefinition def = Default(0);
  ReportLine line = def.bodyLines[0];
  // Width 0 in a middle cell takes the rest of the line; later cells empty.
  ASSERT_EQ(ApplyCellEdit(line, 2, CellEdit{1, "0", "  Where:  ", -1}, 90, false), CellEditResult::Ok);
  EXPECT_EQ(Widths(line), (std::vector<int>{32, 58}));
  EXPECT_EQ(line.cells[1].partName, "<LABEL>");
  EXPECT_EQ(line.cells[1].labelText, "Where:");

  line = def.bodyLines[0];
  ASSERT_EQ(ApplyCellEdit(line, 1, CellEdit{2, "20", "", 11}, 90, false), CellEditResult::Ok);
  EXPECT_EQ(line.cells[0].partName, "Category");
  EXPECT_EQ(line.cells[0].fieldNumber, 12);
  EXPECT_EQ(Widths(line), (std::vector<int>{20, 17, 14, 14, 13, 12}));

  line = def.totalsLine;
  ASSERT_EQ(ApplyCellEdit(line, 3, CellEdit{2, "12", "", 3}, 120, true), CellEditResult::Ok);
  EXPECT_EQ(line.cells[2].partName, "Quantity");

  const ReportLine before = def.bodyLines[0];
  for (const char* bad : {"x", "", "-3", "1.5"}) {
    line = before;
    EXPECT_EQ(ApplyCellEdit(line, 1, CellEdit{0, bad, "", -1}, 90, false), CellEditResult::InvalidWidth) << bad;
    EXPECT_EQ(line, before);
  }
  EXPECT_EQ(ApplyCellEdit(line, 1, CellEdit{2, "10", "", -1}, 90, false), CellEditResult::NoField);
  EXPECT_EQ(ApplyCellEdit(line, 1, CellEdit{2, "10", "", 22}, 90, false), CellEditResult::NoField);
  EXPECT_EQ(line, before);
}

TEST(EditorRules, LayoutCellsAreProportionalAndAnOutOfRangeFieldShowsAsAFiller) {
  ReportDefinition def = Default(0);  // 32, 17, 14, 14, 13 of 90
  EXPECT_EQ(CellRightEdges(def.bodyLines[0], 90, 900), (std::vector<int>{320, 490, 630, 770, 900}));
  EXPECT_EQ(CellAt(def.bodyLines[0], 90, 900, 0), 1);
  EXPECT_EQ(CellAt(def.bodyLines[0], 90, 900, 320), 1);
  EXPECT_EQ(CellAt(def.bodyLines[0], 90, 900, 321), 2);
  EXPECT_EQ(CellAt(def.bodyLines[0], 90, 900, 900), 5);
  EXPECT_EQ(CellAt(def.bodyLines[0], 90, 900, 901), -1);
  // A width of 0 in the file is not divided by.
  EXPECT_EQ(CellRightEdges(def.bodyLines[0], 0, 1200).back(), 1200);

  ReportCell cell = def.bodyLines[0].cells[0];
  EXPECT_EQ(ShownKindOf(cell, false), ShownKind::Field);
  cell.fieldNumber = 99;
  EXPECT_EQ(ShownKindOf(cell, false), ShownKind::Filler);
  cell.fieldNumber = 4;
  EXPECT_EQ(ShownKindOf(cell, true), ShownKind::Field);
  cell.fieldNumber = 5;
  EXPECT_EQ(ShownKindOf(cell, true), ShownKind::Filler);
}

}  // namespace
}  // namespace keldro::reports
