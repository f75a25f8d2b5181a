#include "reports/report_definition.h"

#include <gtest/gtest.h>

#include <cstring>
#include <sstream>

namespace keldro::reports {
namespace {

// Reads the record bytes by the offsets of the file layout, independently of
// the reader under test.
struct RawRecord {
  const ReportRecordBytes& b;
  std::string Text(size_t at, size_t capacity) const {
    EXPECT_LE(b[at], capacity) << "length byte at " << at;
    for (size_t i = 1 + b[at]; i <= capacity; ++i) EXPECT_EQ(b[at + i], 0) << "undefined byte " << at + i;
    return std::string(reinterpret_cast<const char*>(&b[at + 1]), b[at]);
  }
  int I16(size_t at) const { return static_cast<int16_t>(b[at] | (b[at + 1] << 8)); }
  double Real(size_t at) const {
    double d;
    std::memcpy(&d, &b[at], 8);  // the test host is little-endian
    return d;
  }
  // "part/number/width/label" of cell c (1..20) of body line l (1..12), or of the totals line for l = 0.
  std::string Cell(int l, int c) const {
    const size_t at = l == 0 ? 270 + 75 * c : 547 + 1500 * l + 75 * c;
    std::ostringstream s;
    s << Text(at, 30) << "/" << int(b[at + 31]) << "/" << I16(at + 32) << "/" << Text(at + 34, 40);
    return s.str();
  }
  // The used cells of a line, as "a b c".
  std::string Line(int l) const {
    std::string out;
    for (int c = 1; c <= 20; ++c) {
      std::string cell = Cell(l, c);
      if (cell == "<FILLER>/0/0/") continue;
      if (!out.empty()) out += " ";
      out += cell;
    }
    return out;
  }
  std::string Font(int slot) const {
    const size_t at = 33 + 61 * (slot - 1);
    std::ostringstream s;
    s << Text(at, 50) << " " << I16(at + 51) << (b[at + 53] ? " bold" : "") << (b[at + 54] ? " italic" : "")
      << (b[at + 55] ? " underline" : "") << (b[at + 56] ? " strikeout" : "")
      << " colour " << (b[at + 57] | (b[at + 58] << 8) | (b[at + 59] << 16) | (b[at + 60] << 24));
    return s.str();
  }
};

const char* kEmptyLine = "<FILLER>/0/150/";
const char* kDefaultTotals =
    "<LABEL>/0/10/Cost: <FILLER>/0/1/ Cost/1/12/ <LABEL>/0/19/Replacement Cost: <FILLER>/0/1/ "
    "Replacement Cost/3/12/ <LABEL>/0/8/Value: <FILLER>/0/1/ Value/2/12/ <FILLER>/0/60/";
const char* kMediumLine1 =
    "<LABEL>/0/5/Item: <FILLER>/0/1/ Item/1/40/ <LABEL>/0/11/Location: <FILLER>/0/1/ Location/5/30/ "
    "<LABEL>/0/11/Category: <FILLER>/0/1/ Category/12/20/";
const char* kMediumLine2 =
    "<LABEL>/0/6/Brand: <FILLER>/0/1/ Brand/2/20/ <LABEL>/0/8/Model: <FILLER>/0/1/ Model/3/15/ "
    "<LABEL>/0/9/Serial: <FILLER>/0/1/ Serial/4/14/ <LABEL>/0/7/Cost: <FILLER>/0/1/ Cost/11/12/ "
    "<LABEL>/0/11/Rep Cost: <FILLER>/0/1/ RepCost/13/12/";
const char* kDescLine = "<LABEL>/0/5/Desc: <FILLER>/0/1/ Descriptio/6/110/";

struct DefaultCase {
  const char* name;
  int chars;
  int fontSize;
  int flags[5];  // Column Headers, Page Numbers, Print Landscape, Date On Pages, Use Totals
  int numLines;
  int boxLines;  // vertical and horizontal
  bool defaultTotals;
  std::vector<std::string> lines;  // body lines 1.. as laid out; the others are empty
};

TEST(DefaultReports, AreLaidOutByteForByte) {
  const std::vector<DefaultCase> cases{
      {"Short Narrow Report", 90, 10, {1, 1, 0, 1, 1}, 1, 1, true,
       {"Item/1/32/ Location/5/17/ Cost/11/14/ RepCost/13/14/ Quantity/9/13/"}},
      {"Short Wide Report", 120, 8, {1, 1, 0, 1, 1}, 1, 1, true,
       {"Item/1/26/ Brand/2/12/ Model/3/12/ Serial/4/12/ Location/5/17/ Cost/11/14/ RepCost/13/14/ "
        "Quantity/9/13/"}},
      {"Medium Report", 120, 8, {0, 1, 0, 1, 1}, 2, 0, true, {kMediumLine1, kMediumLine2}},
      {"Medium Large Report", 120, 8, {0, 1, 0, 1, 1}, 4, 0, true, {kMediumLine1, kMediumLine2, kDescLine, kEmptyLine}},
      {"Full Report", 120, 8, {0, 1, 0, 1, 1}, 7, 0, true,
       {kMediumLine1,
        "<LABEL>/0/6/Brand: <FILLER>/0/1/ Brand/2/20/ <LABEL>/0/8/Model: <FILLER>/0/1/ Model/3/15/ "
        "<LABEL>/0/9/Serial: <FILLER>/0/1/ Serial/4/20/ <LABEL>/0/8/Owner: <FILLER>/0/1/ Owner/17/30/",
        kDescLine,
        "<LABEL>/0/5/Cost: <FILLER>/0/1/ Cost/11/13/ <LABEL>/0/11/Rep. Cost: <FILLER>/0/1/ RepCost/13/13/ "
        "<LABEL>/0/8/Value: <FILLER>/0/1/ Value/18/13/ <LABEL>/0/13/Purch From: <FILLER>/0/1/ BoughtFrom/7/40/",
        "<LABEL>/0/11/Purch Date: <FILLER>/0/1/ PurchDate/10/11/ <LABEL>/0/12/Warranty: <FILLER>/0/1/ "
        "Warranty/14/3/ <LABEL>/0/19/Expiration Date: <FILLER>/0/1/ WarDate/15/11/ "
        "<LABEL>/0/18/Warranty Notes: <FILLER>/0/1/ WarNotes/16/30/",
        "<LABEL>/0/9/ID Marks: <FILLER>/0/1/ IDMarks/8/60/ <LABEL>/0/11/Quantity: <FILLER>/0/1/ Quantity/9/10/",
        kEmptyLine}},
      {"Warranty Report", 120, 8, {1, 1, 0, 1, 0}, 1, 0, false,
       {"Item/1/30/ <FILLER>/0/2/ Location/5/15/ <FILLER>/0/2/ PurchDate/10/11/ <FILLER>/0/2/ Warranty/14/3/ "
        "<FILLER>/0/2/ WarDate/15/11/ <FILLER>/0/2/ WarNotes/16/30/"}},
      {"Location & Owner Report", 90, 10, {1, 1, 0, 1, 1}, 1, 1, true,
       {"Item/1/33/ Location/5/30/ Owner/17/27/"}},
      {"Statistics/Summary Report", 120, 8, {0, 1, 0, 1, 1}, 0, 0, true, {}},
  };
  const auto defs = DefaultReportDefinitions();
  ASSERT_EQ(defs.size(), cases.size());
  for (size_t i = 0; i < cases.size(); ++i) {
    const DefaultCase& c = cases[i];
    const ReportRecordBytes bytes = EncodeReportDefinition(defs[i]);
    RawRecord r{bytes};
    SCOPED_TRACE(c.name);
    EXPECT_EQ(r.Text(0, 30), c.name);
    EXPECT_EQ(r.I16(31), c.chars);
    for (int slot = 1; slot <= 5; ++slot) EXPECT_EQ(r.Font(slot), "Arial " + std::to_string(c.fontSize) + " colour 0");
    for (int f = 0; f < 5; ++f) EXPECT_EQ(bytes[338 + f], c.flags[f]) << "flag " << f;
    EXPECT_EQ(r.I16(343), c.numLines);
    EXPECT_EQ(r.Line(0), c.defaultTotals ? kDefaultTotals : kEmptyLine);
    for (size_t m = 0; m < 4; ++m) EXPECT_EQ(r.Real(1845 + 8 * m), 0.5);
    EXPECT_EQ(bytes[1877], c.boxLines);
    EXPECT_EQ(bytes[1878], c.boxLines);
    for (int t = 1; t <= 3; ++t) EXPECT_EQ(r.Text(1798 + 81 * t, 80), "");
    for (int l = 1; l <= 12; ++l)
      EXPECT_EQ(r.Line(l), static_cast<size_t>(l) <= c.lines.size() ? c.lines[l - 1] : kEmptyLine) << "line " << l;
    EXPECT_EQ(bytes[20122], 1);
    EXPECT_EQ(bytes[20123], 0);
    for (size_t k = 20124; k < bytes.size(); ++k) ASSERT_EQ(bytes[k], 0) << "reserved byte " << k;
  }
}

TEST(ReportRecord, RoundTripsAndCutsLongTexts) {
  ReportDefinition d = DefaultReportDefinitions()[4];
  d.name = std::string(40, 'N');
  d.titles[2] = std::string(100, 'T');
  d.fonts[3] = {std::string(60, 'F'), -7, true, false, true, false, 0x00FF8040};
  d.bodyLines[11].cells[19] = {std::string(31, 'P'), 200, -2, std::string(41, 'L')};
  d.reserved[0] = 0xAB;
  d.reserved[497] = 0xCD;
  d.topMargin = 1.125;
  d.printLandscape = true;
  const ReportDefinition back = ReadReportDefinition(EncodeReportDefinition(d).data());
  ReportDefinition expected = d;
  expected.name.resize(30);
  expected.titles[2].resize(80);
  expected.fonts[3].name.resize(50);
  expected.bodyLines[11].cells[19].partName.resize(30);
  expected.bodyLines[11].cells[19].labelText.resize(40);
  EXPECT_EQ(back, expected);
}

TEST(ReportRecord, ADamagedRecordReadsWithinItsFields) {
  ReportRecordBytes bytes;
  bytes.fill(0xFF);
  const ReportDefinition d = ReadReportDefinition(bytes.data());
  EXPECT_EQ(d.name, std::string(30, '\xFF'));
  EXPECT_EQ(d.fonts[0].name.size(), 50u);
  EXPECT_EQ(d.titles[0].size(), 80u);
  EXPECT_EQ(d.bodyLines[0].cells[0].partName.size(), 30u);
  EXPECT_EQ(d.bodyLines[0].cells[0].labelText.size(), 40u);
  EXPECT_EQ(d.numLines, 0);  // -1 is no count of lines
  EXPECT_TRUE(d.columnHeaders);
  bytes[343] = 200;
  bytes[344] = 0;
  EXPECT_EQ(ReadReportDefinition(bytes.data()).numLines, 12);
}

TEST(ReportRecord, InitAndNewKeepFieldNumbers) {
  ReportDefinition d = DefaultReportDefinitions()[0];
  d.reserved[5] = 9;
  ReportDefinition fresh = d;
  FillNewReportDefinition(fresh);
  EXPECT_EQ(fresh.name, "");
  EXPECT_EQ(fresh.charsPerLine, 90);
  EXPECT_TRUE(fresh.verticalLines && fresh.horizontalLines && fresh.columnHeaders && fresh.useTotals);
  EXPECT_EQ(fresh.fonts[0], (ReportFont{"Courier New", 10, true, false, false, false, 0}));
  EXPECT_FALSE(fresh.fonts[2].bold);
  EXPECT_TRUE(fresh.fonts[4].bold);
  EXPECT_EQ(fresh.bodyLines[0].cells[0].partName, "<FILLER>");
  EXPECT_EQ(fresh.bodyLines[0].cells[0].width, 150);
  EXPECT_EQ(fresh.bodyLines[0].cells[1].width, 0);
  EXPECT_EQ(fresh.bodyLines[0].cells[1].fieldNumber, 5);  // as the buffer held it
  EXPECT_EQ(fresh.reserved[5], 9);
  EXPECT_EQ(fresh.totalsLine.cells[2].fieldNumber, 1);

  InitReportDefinition(d);
  EXPECT_EQ(d.charsPerLine, 120);
  EXPECT_EQ(d.bodyLines[0].cells[4].fieldNumber, 9);
  EXPECT_EQ(d.bodyLines[0].cells[4].partName, "<FILLER>");
  EXPECT_EQ(d.reserved[5], 0);
}

// An old record with the given name and characters per line; its cells and titles are marked.
std::vector<uint8_t> OldRecord(const std::string& name, int chars, int numLines = 3) {
  std::vector<uint8_t> r(kOldReportDefinitionSize, 0);
  auto text = [&](size_t at, const std::string& s) {
    r[at] = static_cast<uint8_t>(s.size());
    std::memcpy(&r[at + 1], s.data(), s.size());
  };
  auto cell = [&](size_t at, const std::string& part, int number, int width, const std::string& label) {
    text(at, part);
    r[at + 31] = static_cast<uint8_t>(number);
    r[at + 32] = static_cast<uint8_t>(width);
    r[at + 33] = static_cast<uint8_t>(width >> 8);
    text(at + 34, label);
  };
  text(0, name);
  r[31] = static_cast<uint8_t>(chars);
  r[32] = static_cast<uint8_t>(chars >> 8);
  r[83] = 0;  // Column Headers
  r[84] = 1;  // Page Numbers
  r[85] = 0;  // Use Totals
  r[86] = static_cast<uint8_t>(numLines);
  for (int i = 1; i <= 3; ++i) text(1507 + 81 * i, "Title " + std::to_string(i));
  cell(13 + 75 * 1, "Cost", 1, 20, "");
  cell(13 + 75 * 2, "<LABEL>", 0, 70, "Totals");
  for (int l = 1; l <= 12; ++l)
    for (int c = 1; c <= 20; ++c) cell(256 + 1500 * l + 75 * c, "<FILLER>", 0, 0, "");
  cell(256 + 1500 * 1 + 75 * 1, "Item", 1, 40, "");
  cell(256 + 1500 * 1 + 75 * 2, "<LABEL>", 0, 50, "Note");
  cell(256 + 1500 * 12 + 75 * 20, "Owner", 17, 30, "");
  return r;
}

TEST(OldReports, AreConvertedFieldByField) {
  for (int chars : {90, 120, 150}) {
    const auto old = OldRecord("Mine", chars);
    const ReportDefinition d = ConvertOldReportDefinition(old.data());
    SCOPED_TRACE(chars);
    EXPECT_EQ(d.name, "Mine");
    EXPECT_EQ(d.charsPerLine, chars);
    EXPECT_FALSE(d.columnHeaders);
    EXPECT_TRUE(d.pageNumbers);
    EXPECT_FALSE(d.useTotals);
    EXPECT_EQ(d.numLines, 3);
    EXPECT_FALSE(d.printLandscape);
    EXPECT_TRUE(d.dateOnPages);
    EXPECT_EQ(d.leftMargin, 0.5);
    EXPECT_FALSE(d.verticalLines || d.horizontalLines);
    EXPECT_TRUE(d.groupLevel1);
    EXPECT_FALSE(d.groupLevel2);
    EXPECT_EQ(d.titles[0], "Title 1");
    EXPECT_EQ(d.titles[2], "Title 3");
    EXPECT_EQ(d.totalsLine.cells[0], (ReportCell{"Cost", 1, 20, ""}));
    EXPECT_EQ(d.totalsLine.cells[1], (ReportCell{"<LABEL>", 0, 70, "Totals"}));
    EXPECT_EQ(d.bodyLines[0].cells[0], (ReportCell{"Item", 1, 40, ""}));
    EXPECT_EQ(d.bodyLines[0].cells[1], (ReportCell{"<LABEL>", 0, 50, "Note"}));
    EXPECT_EQ(d.bodyLines[11].cells[19], (ReportCell{"Owner", 17, 30, ""}));
    const int16_t size = chars == 90 ? 10 : 8;
    for (size_t f = 0; f < 5; ++f) {
      const bool bold = f == 0 || f == 1 || f == 4;
      EXPECT_EQ(d.fonts[f], (ReportFont{"Courier New", size, bold, false, false, false, 0})) << "font " << f + 1;
    }
    EXPECT_EQ(d.reserved, (std::array<uint8_t, 498>{}));
  }
  EXPECT_TRUE(IsOldBuiltInReportName("120 Column 4 Line Report"));
  EXPECT_FALSE(IsOldBuiltInReportName("120 column 4 line report"));
}

TEST(LineBalance, MakesTheLineExactlyAsWide) {
  auto line = [](std::initializer_list<int> widths) {
    ReportLine l;
    size_t i = 0;
    for (int w : widths) l.cells[i++].width = static_cast<int16_t>(w);
    return l;
  };
  auto widths = [](const ReportLine& l) {
    std::vector<int> w;
    for (const ReportCell& c : l.cells) w.push_back(c.width);
    while (!w.empty() && w.back() == 0) w.pop_back();
    return w;
  };
  struct Case { const char* name; ReportLine in; int chars; std::vector<int> out; } cases[] = {
      {"first empty cell takes the rest", line({30, 40}), 120, {30, 40, 50}},
      {"too wide is cut", line({100, 40, 10}), 120, {100, 20}},
      {"exact stays", line({60, 60, 5}), 120, {60, 60}},
      {"zero in the middle ends the line", line({10, 0, 30}), 90, {10, 80}},
      {"untouched line", line({150}), 90, {90}},
  };
  for (Case& c : cases) {
    BalanceLine(c.in, c.chars);
    EXPECT_EQ(widths(c.in), c.out) << c.name;
  }
  ReportLine full;
  for (auto& cell : full.cells) cell.width = 1;
  BalanceLine(full, 90);
  EXPECT_EQ(full.cells[19].width, 71);  // cell 20 grows by what is missing
}

}  // namespace
}  // namespace keldro::reports
