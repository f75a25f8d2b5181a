// The report generator over rows the tests fill: the text file it writes,
// compared byte for byte (titles, column headers, group titles, body lines,
// totals weighted by quantity, the footer and the paging of the writer), and
// the cell texts, groups and damaged definitions.
#include "reports/report_generator.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <filesystem>
#include <cstdio>
#include <initializer_list>
#include <regex>
#include <memory>
#include <string>
#include <vector>

#include "core/utilities.h"
#include "report/canvas_report.h"
#include "report/printer.h"
#include "report/stream_report.h"
#include "report_text.h"
#include "temp_root.h"

namespace keldro::reports {
namespace {

namespace fs = std::filesystem;
using testing_support::TempRoot;

class MemoryRows : public ReportRows {
 public:
  std::vector<std::array<std::string, kItemFieldCount>> rows;
  size_t at = 0;
  int disabled = 0;

  void Add(const Item& i) {
    std::array<std::string, kItemFieldCount> r{};
    r[0] = i.item, r[1] = i.brand, r[2] = i.model, r[3] = i.serial, r[4] = i.location;
    r[8] = i.quantity, r[9] = i.purchDate, r[10] = i.cost, r[11] = i.category, r[12] = i.repCost;
    r[13] = i.warranty, r[14] = i.warDate, r[15] = i.warNotes, r[17] = i.value;
    rows.push_back(r);
  }
  void First() override { at = 0; }
  bool Eof() const override { return at >= rows.size(); }
  void Next() override { ++at; }
  std::string Text(int field) const override { return rows.at(at)[static_cast<size_t>(field - 1)]; }
  double Value(int field) const override {
    const std::string t = Text(field);
    return t.empty() ? 0.0 : std::stod(t);
  }
  void DisableControls() override { ++disabled; }
  void EnableControls() override { --disabled; }
};

MemoryRows FourItems() {
  MemoryRows rows;
  for (const Item& i : FourItemsData()) rows.Add(i);
  return rows;
}

ReportDefinition Default(const std::string& name) {
  for (const ReportDefinition& d : DefaultReportDefinitions())
    if (d.name == name) return d;
  ADD_FAILURE() << "no default " << name;
  return {};
}

constexpr const char* kToday = "12/10/26";
std::string Footer(int page) { return PageFooter(page, kToday); }

class ReportGeneratorTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    static int argc = 1;
    static char name[] = "report_generator_test";
    static char* argv[] = {name, nullptr};
    if (!QApplication::instance()) new QApplication(argc, argv);
  }
  void SetUp() override {
    // A Letter-sized printer stands for the installed one.
    report::InstallPrinter(report::QtReportPrinter::Pdf((root.path() / "unused.pdf").string()));
    env.sortLevels.levels = {12, 1, 0, 0};  // Category, then Item
    for (size_t i = 0; i < env.fieldTitles.size(); ++i) env.fieldTitles[i] = std::string(ItemFields[i].title);
    env.today = kToday;
  }
  void TearDown() override { report::InstallPrinter(nullptr); }

  // Runs the definition to a text file and answers the file's bytes.
  std::string RunToFile(const ReportDefinition& def, MemoryRows& rows, int* pages = nullptr) {
    report::TStreamReport writer(report::InstalledPrinter());
    ConfigureReportWriter(writer);
    writer.StreamMode = report::smMemory;
    ReportGenerator generator(def, rows, env, kToTextFile);
    const fs::path file = root.path() / "REPORT.TXT";
    generator.SetTextFileName(file);
    generator.Attach(writer);
    writer.Execute();
    EXPECT_FALSE(generator.TextFileFailed());
    EXPECT_EQ(rows.disabled, 0) << "controls enabled again";
    if (pages) *pages = writer.RecordedPages();
    return TempRoot::ReadFile(file);
  }

  TempRoot root;
  ReportEnvironment env;
};


TEST_F(ReportGeneratorTest, ShortNarrowReportGroupsByCategoryWithQuantityWeightedTotals) {
  MemoryRows rows = FourItems();
  int pages = 0;
  const std::string file = RunToFile(Default("Short Narrow Report"), rows, &pages);
  EXPECT_EQ(file, ShortNarrowFourItems(kToday));
  EXPECT_EQ(pages, 1);
  // The totals line is 136 characters whatever the line width.
  EXPECT_EQ(TotalsLine("", "", "").size(), 136u);
}

TEST_F(ReportGeneratorTest, MediumReportPrintsTwoLabelledLinesPerItemWithoutColumnHeaders) {
  MemoryRows rows = FourItems();
  rows.rows.resize(1);  // the camera alone
  const std::string file = RunToFile(Default("Medium Report"), rows);
  std::vector<std::string> want;
  Append(want, GroupTitle("Electronics", 120));
  Append(want,
         {"Item: " + PadRight("Camera", 40) + "  Location: " + PadRight("Den", 30) + "  Category: " +
              PadRight("Electronics", 20),
          "Brand: " + PadRight("Nikon", 20) + "  Model: " + PadRight("F50", 15) + "  Serial: " + PadRight("N123", 14) +
              "  Cost: " + PadRight("10.00", 12) + "  Rep Cost: " + PadRight("12.50", 12),
          Centred("TOTALS", 120), TotalsLine("30.00", "37.50", "27.00"), "", Centred("GRAND TOTALS", 120),
          TotalsLine("30.00", "37.50", "27.00"), "", Footer(1)});
  EXPECT_EQ(file, Join(want));
}

TEST_F(ReportGeneratorTest, WarrantyReportHasNoTotalsAndBlankFillersInItsHeader) {
  MemoryRows rows = FourItems();
  const std::string file = RunToFile(Default("Warranty Report"), rows);
  auto body = [&rows](size_t n) {
    const auto& r = rows.rows[n];
    return Row({{r[0], 30}, {"", 2}, {r[4], 15}, {"", 2}, {r[9], 11}, {"", 2}, {r[13], 3}, {"", 2}, {r[14], 11},
                {"", 2}, {r[15], 30}});
  };
  std::vector<std::string> want{Row({{"Item", 30}, {"", 2}, {"Location", 15}, {"", 2}, {"Purchase Da", 11},
                                     {"", 2}, {"War", 3}, {"", 2}, {"Warranty Da", 11}, {"", 2},
                                     {"Warranty Notes", 30}})};
  EXPECT_EQ(body(0), "Camera" + Blanks(24) + "  Den" + Blanks(12) + "  01/15/95     Yes  01/15/97     Store card" +
                         Blanks(20));
  Append(want, GroupTitle("Electronics", 120));
  Append(want, {body(0), body(1)});
  Append(want, GroupTitle("Furniture", 120));
  Append(want, {body(2)});
  Append(want, GroupTitle("Tools", 120));
  Append(want, {body(3), "", Footer(1)});
  EXPECT_EQ(file, Join(want));
}

TEST_F(ReportGeneratorTest, SummaryReportPrintsOnlyGroupTitlesAndTotals) {
  MemoryRows rows = FourItems();
  const std::string file = RunToFile(Default("Statistics/Summary Report"), rows);
  std::vector<std::string> want;
  Append(want, GroupTitle("Electronics", 120));
  Append(want, {Centred("TOTALS", 120), TotalsLine("480.00", "537.50", "327.00")});
  Append(want, GroupTitle("Furniture", 120));
  Append(want, {Centred("TOTALS", 120), TotalsLine("800.00", "950.00", "600.00")});
  Append(want, GroupTitle("Tools", 120));
  Append(want, {Centred("TOTALS", 120), TotalsLine("131.00", "160.00", "80.00"), "", Centred("GRAND TOTALS", 120),
                TotalsLine("1,411.00", "1,647.50", "1,007.00"), "", Footer(1)});
  EXPECT_EQ(file, Join(want));
}

TEST_F(ReportGeneratorTest, NoLinesNoTotalsAndNoGroupingPrintsOnlyTitlesAndTheFooter) {
  MemoryRows rows = FourItems();
  ReportDefinition def = Default("Statistics/Summary Report");
  def.useTotals = false;
  def.groupLevel1 = false;
  def.titles = {"My Inventory", "", "Second"};
  EXPECT_EQ(RunToFile(def, rows), Join({"My Inventory", "Second", "", Footer(1)}));
}


// What a text file should hold, page by page: an independent line budget.
// Each block needs some lines left before it starts (else the page ends,
// unless nothing has been printed in the page's body yet) and then takes its
// lines; every page starts with `pageHead` and ends with an empty line and
// the footer.
class PagedFile {
 public:
  PagedFile(int linesPerPage, std::vector<std::string> pageHead)
      : perPage_(linesPerPage), head_(std::move(pageHead)) {
    StartPage();
  }
  void Block(int need, const std::vector<std::string>& lines) {
    if (left_ < need && content_) {
      EndPage();
      StartPage();
    }
    Append(out_, lines);
    left_ -= static_cast<int>(lines.size());
    content_ = true;
  }
  // Lines left when the block came, for checking that a fixture hits a case.
  int Left() const { return left_; }
  std::string Finish() {
    EndPage();
    return Join(out_);
  }
  int pages = 1;

 private:
  void StartPage() {
    Append(out_, head_);
    left_ = perPage_ - static_cast<int>(head_.size());
    content_ = false;
  }
  void EndPage() {
    Append(out_, {"", Footer(pages)});
    ++pages;
  }
  int perPage_, left_ = 0;
  bool content_ = false;
  std::vector<std::string> head_, out_;
};

// 200 items in four categories of 45, 47, 37 and 71, one of each; item n
// costs n.
MemoryRows TwoHundredItems() {
  MemoryRows rows;
  const std::pair<const char*, int> categories[] = {{"Books", 45}, {"Clothing", 47}, {"Kitchen", 37}, {"Toys", 71}};
  int n = 0;
  for (const auto& [category, count] : categories)
    for (int i = 0; i < count; ++i, ++n) {
      char item[32];
      std::snprintf(item, sizeof item, "Item %03d", n + 1);
      rows.Add({category, item, "Room " + std::to_string(n % 7), std::to_string(n + 1) + ".00", "1.00", "1", "0.50",
                "", "", "", "", "Brand", "M", "S"});
    }
  return rows;
}

TEST_F(ReportGeneratorTest, TwoHundredItemsArePagedLikeThePrintoutWithTheirBlocksKeptWhole) {
  MemoryRows rows = TwoHundredItems();
  int pages = 0;
  const std::string file = RunToFile(Default("Short Narrow Report"), rows, &pages);

  // 10-point lines of 1/6 inch on the 8.5 inches between 1.25 inch and the
  // bottom section: 51 lines, the first for the column headers.
  const std::string header = Row({{"Item", 32}, {"Location", 17}, {"Cost", 14}, {"Replacement C", 14}, {"Quantity", 13}});
  PagedFile want(51, {header});
  std::string category;
  double groupCost = 0, grandCost = 0;
  int groupCount = 0, totalsDeferred = 0, titlesDeferred = 0;
  auto totals = [&](double cost, int count) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", cost);
    std::string money = text;
    if (cost >= 1000) money.insert(money.size() - 6, ",");
    return TotalsLine(money, FormatNumber(count, 1, 2), FormatNumber(count * 0.5, 1, 2));
  };
  for (const auto& r : rows.rows) {
    if (r[11] != category) {
      if (!category.empty()) {
        if (want.Left() < 4) ++totalsDeferred;
        want.Block(4, {Centred("TOTALS", 90), totals(groupCost, groupCount)});
      }
      category = r[11];
      groupCost = groupCount = 0;
      if (want.Left() < 3) ++titlesDeferred;
      want.Block(3, GroupTitle(category, 90));
    }
    want.Block(1, {Row({{r[0], 32}, {r[4], 17}, {r[10], 14}, {"1.00", 14}, {"1", 13}})});
    groupCost += std::stod(r[10]);
    grandCost += std::stod(r[10]);
    ++groupCount;
  }
  want.Block(5, {Centred("TOTALS", 90), totals(groupCost, groupCount), "", Centred("GRAND TOTALS", 90),
                 totals(grandCost, 200)});
  EXPECT_EQ(file, want.Finish());
  EXPECT_EQ(pages, want.pages - 1);
  // The fixture reaches a group end with too few lines for its totals, and
  // one where the totals fit but the next title does not.
  EXPECT_GT(totalsDeferred, 0);
  EXPECT_GT(titlesDeferred, 0);
}

TEST_F(ReportGeneratorTest, FourLineItemsAreNeverSplitAcrossPages) {
  MemoryRows rows = TwoHundredItems();
  ReportDefinition def = Default("Medium Large Report");
  def.useTotals = false;
  def.groupLevel1 = false;
  const std::string file = RunToFile(def, rows);
  // 8-point lines: 64 to a page, so 16 items of four lines each.
  PagedFile want(64, {});
  for (const auto& r : rows.rows) {
    want.Block(4, {"Item: " + PadRight(r[0], 40) + "  Location: " + PadRight(r[4], 30) + "  Category: " +
                       PadRight(r[11], 20),
                   "Brand: " + PadRight("Brand", 20) + "  Model: " + PadRight("M", 15) + "  Serial: " +
                       PadRight("S", 14) + "  Cost: " + PadRight(r[10], 12) + "  Rep Cost: " + PadRight("1.00", 12),
                   "Desc:" + Blanks(111), Blanks(150)});
  }
  EXPECT_EQ(file, want.Finish());
  EXPECT_EQ(want.pages - 1, 13);
}

// One item of figures wider than their cells: each is printed whole, the rest
// of its line moved right with one blank between, and no column title runs
// into the next.
MemoryRows WideFigures() {
  MemoryRows rows;
  Item i = FourItemsData()[0];
  i.cost = "100000000.00";
  i.repCost = "0.00";
  i.value = "999999999.99";
  i.quantity = "12";
  rows.Add(i);
  return rows;
}

TEST_F(ReportGeneratorTest, FiguresWiderThanTheirCellsArePrintedWholeAndApart) {
  MemoryRows rows = WideFigures();
  const std::string file = RunToFile(Default("Short Narrow Report"), rows);
  const std::string totals = "     Cost: 1,200,000,000.00   Replacement Cost: " + PadRight("0.00", 12) +
                             "  Value: 11,999,999,999.88 " + Blanks(60);
  std::vector<std::string> want{Row({{"Item", 32}, {"Location", 17}, {"Cost", 14}, {"Replacement C", 14},
                                     {"Quantity", 13}})};
  Append(want, GroupTitle("Electronics", 90));
  Append(want, {Row({{"Camera", 32}, {"Den", 17}}) + "100,000,000.00 " + Row({{"0.00", 14}, {"12", 13}}),
                Centred("TOTALS", 90), totals, "", Centred("GRAND TOTALS", 90), totals, "", Footer(1)});
  EXPECT_EQ(file, Join(want));
}

// The same figures printed, read back from the PDF by pdftotext.
TEST_F(ReportGeneratorTest, FiguresWiderThanTheirCellsArePrintedWholeAndApartInThePrintout) {
  const fs::path pdf = root.path() / "WIDE.PDF";
  {
    auto printer = std::shared_ptr<report::ReportPrinter>(report::QtReportPrinter::Pdf(pdf.string()));
    report::TPrinterReport writer(printer);
    ConfigureReportWriter(writer);
    MemoryRows rows = WideFigures();
    const ReportDefinition def = Default("Short Narrow Report");  // the generator keeps a reference
    ReportGenerator generator(def, rows, env, kToPrinter);
    generator.Attach(writer);
    writer.Execute();
  }
  const fs::path text = root.path() / "WIDE.TXT";
  const std::string command = "pdftotext -layout '" + pdf.string() + "' '" + text.string() + "' 2>/dev/null";
  if (std::system(command.c_str()) != 0) GTEST_SKIP() << "no pdftotext";
  const std::string printed = TempRoot::ReadFile(text);
  // Each figure stands alone: a blank (or the line's start) before it and
  // after it.
  for (const char* figure : {"100,000,000.00", "0.00", "1,200,000,000.00", "11,999,999,999.88", "12"}) {
    const std::regex alone(std::string("(^|\\s)") + std::regex_replace(figure, std::regex("[.]"), "\\.") + "(\\s|$)",
                           std::regex::multiline);
    EXPECT_TRUE(std::regex_search(printed, alone)) << figure << "\n" << printed;
  }
  for (const char* title : {"Item", "Location", "Cost", "Quantity"}) {
    const std::regex alone(std::string("(^|\\s)") + title + "(\\s|$)", std::regex::multiline);
    EXPECT_TRUE(std::regex_search(printed, alone)) << title << "\n" << printed;
  }
  EXPECT_EQ(printed.find("CoQuantity"), std::string::npos) << printed;
}

TEST_F(ReportGeneratorTest, APageTooSmallForAnyBlockStillPrintsOneBlockPerPage) {
  MemoryRows rows = FourItems();
  ReportDefinition def = Default("Short Narrow Report");
  def.bottomMargin = 9.5;  // the body ends above where it starts
  int pages = 0;
  const std::string file = RunToFile(def, rows, &pages);
  // Camera with its title; Television; the totals of Electronics; Sofa with
  // its title; the totals of Furniture; Drill with its title; the end block.
  EXPECT_EQ(pages, 7);
  size_t footers = 0;
  for (size_t at = 0; (at = file.find("\f\r\n", at)) != std::string::npos; ++at) ++footers;
  EXPECT_EQ(footers, 7u);
  for (const char* item : {"Camera", "Television", "Sofa", "Drill", "GRAND TOTALS"})
    EXPECT_NE(file.find(item), std::string::npos) << item;
}

TEST_F(ReportGeneratorTest, ValuesFromADamagedDefinitionAreHeldToWhatTheGeneratorCanPrint) {
  MemoryRows rows = FourItems();
  rows.rows.resize(1);
  ReportDefinition def = Default("Short Narrow Report");
  def.charsPerLine = 0;                           // counts as 120
  def.bodyLines[0].cells[0].fieldNumber = 99;     // a filler
  def.totalsLine.cells[2].fieldNumber = 9;        // not a totals field: a filler
  def.groupLevel1 = false;
  def.useTotals = true;
  const std::string file = RunToFile(def, rows);
  const std::string grand = "     Cost: " + Blanks(12) + "  Replacement Cost: " + PadRight("37.50", 12) +
                            "  Value: " + PadRight("27.00", 12) + Blanks(60);
  EXPECT_EQ(file, Join({Row({{"", 32}, {"Location", 17}, {"Cost", 14}, {"Replacement C", 14}, {"Quantity", 13}}),
                        Row({{"", 32}, {"Den", 17}, {"10.00", 14}, {"12.50", 14}, {"3", 13}}), Centred("TOTALS", 120),
                        grand, "", Centred("GRAND TOTALS", 120), grand, "", Footer(1)}));
}

TEST_F(ReportGeneratorTest, InsuranceStatementEndsTheReportAndTheFooterNamesThePolicy) {
  MemoryRows rows = FourItems();
  rows.rows.resize(1);
  ReportDefinition def = Default("Statistics/Summary Report");
  def.useTotals = false;
  def.groupLevel1 = false;
  def.dateOnPages = false;
  env.insurance.printStatement = true;
  env.insurance.printInsuranceCompany = true;
  env.insurance.printPolicyNumber = true;
  env.insurance.insuranceCompany = "Acme Mutual";
  env.insurance.policyNumber = "HO-42";
  env.insurance.yourName = "Pat Doe";
  EXPECT_EQ(RunToFile(def, rows),
            Join({"", std::string("As of this date, ") + kToday + ", this is a true and accurate inventory of my home.",
                  "", std::string(35, '_'), "Pat Doe", "", "Page 1     Acme Mutual    #HO-42\f"}));
}

TEST_F(ReportGeneratorTest, TwoGroupLevelsTitleEachItemWithinItsCategory) {
  MemoryRows rows = FourItems();
  rows.rows.resize(2);
  ReportDefinition def = Default("Statistics/Summary Report");
  def.groupLevel2 = true;
  def.useTotals = false;
  std::vector<std::string> want;
  Append(want, GroupTitle("Electronics, Camera", 120));
  Append(want, GroupTitle("Electronics, Television", 120));
  Append(want, {"", Footer(1)});
  EXPECT_EQ(RunToFile(def, rows), Join(want));
}

TEST(ReportGroupFields, FirstTwoSortLevelsInUse) {
  struct Case {
    std::array<int, 4> levels;
    bool group1, group2;
    int want1, want2;
  } cases[] = {
      {{0, 3, 0, 5}, true, true, 3, 5},
      {{0, 3, 0, 5}, true, false, 3, 0},
      {{12, 1, 0, 0}, false, true, 0, 0},
      {{0, 0, 0, 0}, true, true, 0, 0},
      {{99, 4, -1, 7}, true, true, 4, 7},  // numbers outside 1..22 are no level
  };
  for (const Case& c : cases) {
    ReportDefinition def;
    def.groupLevel1 = c.group1;
    def.groupLevel2 = c.group2;
    SortLevels levels;
    levels.levels = c.levels;
    const GroupFields g = ChooseGroupFields(def, levels);
    EXPECT_EQ(g.level1, c.want1) << c.levels[0] << c.levels[1] << c.levels[2] << c.levels[3];
    EXPECT_EQ(g.level2, c.want2) << c.levels[0] << c.levels[1] << c.levels[2] << c.levels[3];
  }
}

}  // namespace
}  // namespace keldro::reports
