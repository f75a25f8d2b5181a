#include <gtest/gtest.h>

#include <QLabel>
#include <cmath>

#include "report/canvas_report.h"
#include "report_test_support.h"
#include "temp_root.h"

using namespace report;
using report_test::OpsReport;

namespace {

class WriterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    report_test::EnsureApp();
    ui = report_test::InstallScriptedUi();
  }
  void TearDown() override { EXPECT_TRUE(ui->unexpected.empty()) << ui->unexpected.front(); }
  std::shared_ptr<ImageReportPrinter> Printer() { return std::make_shared<ImageReportPrinter>(100, 8.5, 11, 0.25); }
  std::shared_ptr<platform::ui::ScriptedUi> ui;
};

// A report of `pages` pages whose events are logged by name.
void LogEvents(TBaseReport& r, std::vector<std::string>& log, int pages) {
  r.OnBeforePrint = [&](TBaseReport&) { log.push_back("BeforePrint"); };
  r.OnNewPage = [&](TBaseReport& w) { log.push_back("NewPage " + std::to_string(w.CurrentPage())); };
  r.OnPrintHeader = [&](TBaseReport&) { log.push_back("PrintHeader"); };
  r.OnPrintPage = [&log, pages](TBaseReport& w) {
    log.push_back("PrintPage");
    w.PrintLine("Page " + std::to_string(w.CurrentPage()));
    return w.CurrentPage() < pages;
  };
  r.OnPrintFooter = [&](TBaseReport&) { log.push_back("PrintFooter"); };
  r.OnAfterPrint = [&](TBaseReport&) { log.push_back("AfterPrint"); };
}

TEST_F(WriterTest, ThreePageRunRaisesEventsInOrder) {
  auto printer = Printer();
  TPrinterReport r(printer);
  std::vector<std::string> log;
  LogEvents(r, log, 3);
  r.Title = "Events";
  r.Execute();
  std::vector<std::string> expected = {"BeforePrint", "NewPage 1",   "PrintHeader", "PrintPage",
                                       "PrintFooter", "NewPage 2",   "PrintHeader", "PrintPage",
                                       "PrintFooter", "NewPage 3",   "PrintHeader", "PrintPage",
                                       "PrintFooter", "AfterPrint"};
  EXPECT_EQ(log, expected);
  EXPECT_EQ(printer->Pages().size(), 3u);
  EXPECT_EQ(printer->Title(), "Events");
  EXPECT_FALSE(r.Printing());
}

TEST_F(WriterTest, WithoutPageHandlersNoJobStarts) {
  auto printer = Printer();
  TPrinterReport r(printer);
  std::vector<std::string> log;
  r.OnBeforePrint = [&](TBaseReport&) { log.push_back("BeforePrint"); };
  r.OnAfterPrint = [&](TBaseReport&) { log.push_back("AfterPrint"); };
  r.OnNewPage = [&](TBaseReport&) { log.push_back("NewPage"); };
  r.Execute();
  EXPECT_EQ(log, (std::vector<std::string>{"BeforePrint", "AfterPrint"}));
  EXPECT_EQ(printer->JobsStarted(), 0);
}

TEST_F(WriterTest, PageRangeOfOnePagePrintsOnePdfPage) {
  testing_support::TempRoot root;
  std::string file = (root.path() / "range.pdf").string();
  std::string all = (root.path() / "all.pdf").string();
  for (auto [name, first, last, pages] : {std::tuple{all, 1, 9999, 3}, std::tuple{file, 2, 2, 1}}) {
    TPrinterReport r(std::shared_ptr<ReportPrinter>(QtReportPrinter::Pdf(name)));
    std::vector<std::string> log;
    LogEvents(r, log, 3);
    r.FirstPage = first;
    r.LastPage = last;
    r.Execute();
    EXPECT_EQ(report_test::PdfPageCount(testing_support::TempRoot::ReadFile(name)), pages) << name;
    // Suppressed pages still run through every event.
    EXPECT_EQ(std::count(log.begin(), log.end(), "PrintPage"), 3);
  }
}

TEST_F(WriterTest, PageRangeDrawsOnlyTheChosenPageWithNoEmptyPageBefore) {
  auto printer = Printer();
  TPrinterReport r(printer);
  std::vector<int> drawnOn;
  r.OnPrintPage = [&](TBaseReport& w) {
    w.Rectangle(1, 1, 2 + w.CurrentPage(), 2);  // page n is n+1 inches wide
    return w.CurrentPage() < 3;
  };
  r.FirstPage = r.LastPage = 2;
  r.Execute();
  ASSERT_EQ(printer->Pages().size(), 1u);
  const QImage& page = printer->Pages()[0];
  // Right edge of page 2's rectangle at 4 inches: device x = (4 - 0.25) * 100 - 1.
  EXPECT_EQ(QColor(page.pixel(374, 120)), QColor(Qt::black));
  EXPECT_EQ(QColor(page.pixel(474, 120)), QColor(Qt::white));
}

TEST_F(WriterTest, NoPrinterShowsTheMessageAndRaisesNoEvents) {
  TPrinterReport r(nullptr);
  std::vector<std::string> log;
  LogEvents(r, log, 3);
  EXPECT_TRUE(r.NoPrinters());
  ui->answers.push_back(platform::ui::Answer::Ok);
  r.Execute();
  EXPECT_TRUE(log.empty());
  EXPECT_EQ(ui->MessageTexts(), std::vector<std::string>{"No printers are defined, aborting print job."});
  EXPECT_EQ(ui->MessageCaptions(), std::vector<std::string>{"Error"});
  EXPECT_THROW(r.GetCanvas(), EReportWriter);
}

TEST_F(WriterTest, CallsOutOfOrderRaiseTheirMessages) {
  TPrinterReport r(Printer());
  auto message = [](auto&& f) {
    try {
      f();
    } catch (const EReportWriter& e) {
      return std::string(e.what());
    }
    return std::string("no exception");
  };
  const std::string notPrinting = "Invalid method call.  ReportWriter is not printing.";
  const std::string already = "Invalid method call.  ReportWriter already printing.";
  EXPECT_EQ(message([&] { r.Print("x"); }), notPrinting);
  EXPECT_EQ(message([&] { r.Tab(); }), notPrinting);
  EXPECT_EQ(message([&] { r.NewPage(); }), notPrinting);
  EXPECT_EQ(message([&] { r.CancelPage(); }), notPrinting);
  EXPECT_EQ(message([&] { r.LineTo(1, 1); }), notPrinting);
  std::vector<std::string> inside;
  bool afterPrint = false;
  r.OnAfterPrint = [&](TBaseReport&) { afterPrint = true; };
  r.OnPrint = [&](TBaseReport& w) {
    inside.push_back(message([&] { w.Execute(); }));
    inside.push_back(message([&] { w.SetOrientation(poLandScape); }));
    inside.push_back(message([&] { w.SetCopies(2); }));
    inside.push_back(message([&] { w.SetPrinterPort("LPT2:"); }));
  };
  r.Execute();
  EXPECT_EQ(inside, std::vector<std::string>(4, already));
  EXPECT_TRUE(afterPrint);
}

TEST_F(WriterTest, AbortStopsThePageLoopAndDropsTheDocument) {
  auto printer = Printer();
  TPrinterReport r(printer);
  std::vector<std::string> log;
  LogEvents(r, log, 5);
  auto page = r.OnPrintPage;
  r.OnPrintPage = [&, page](TBaseReport& w) {
    bool more = page(w);
    if (w.CurrentPage() == 2) w.Abort();
    return more;
  };
  r.Execute();
  EXPECT_EQ(std::count(log.begin(), log.end(), "PrintPage"), 2);
  ASSERT_GE(log.size(), 2u);
  EXPECT_EQ(log[log.size() - 2], "PrintFooter");
  EXPECT_EQ(log.back(), "AfterPrint");
  EXPECT_TRUE(printer->LastJobAborted());
}

TEST_F(WriterTest, ExceptionInAHandlerEndsTheJobAndStillRaisesAfterPrint) {
  auto printer = Printer();
  TPrinterReport r(printer);
  bool after = false;
  r.OnPrintPage = [](TBaseReport&) -> bool { throw std::runtime_error("boom"); };
  r.OnAfterPrint = [&](TBaseReport&) { after = true; };
  EXPECT_THROW(r.Execute(), std::runtime_error);
  EXPECT_TRUE(after);
  EXPECT_FALSE(r.Printing());
  EXPECT_FALSE(printer->Printing());
}

TEST_F(WriterTest, UnitsFollowTheirFactors) {
  OpsReport r(Printer());
  struct Case {
    TUnits units;
    double factor;
  };
  for (Case c : {Case{unMM, 25.4}, Case{unCM, 2.54}, Case{unPoint, 72}, Case{unInch, 1}}) {
    r.SetUnits(c.units);
    EXPECT_EQ(r.UnitsFactor(), c.factor);
    r.SetUnitsFactor(c.factor);
    EXPECT_EQ(r.Units(), c.units);
    EXPECT_DOUBLE_EQ(r.PageWidth(), 8.5 * c.factor);
  }
  r.SetUnitsFactor(10);
  EXPECT_EQ(r.Units(), unUser);
  r.SetUnits(unUser);
  EXPECT_EQ(r.UnitsFactor(), 10);
  r.SetUnitsFactor(-3);
  r.SetUnitsFactor(0);
  EXPECT_EQ(r.UnitsFactor(), 10);
  r.SetLinesPerInch(0);
  r.SetLinesPerInch(-2);
  EXPECT_EQ(r.LinesPerInch(), 6);
}

TEST_F(WriterTest, MarginsAreMeasuredFromThePaperEdges) {
  struct Case {
    std::shared_ptr<ReportPrinter> printer;
    TUnits units;
    double left, right, top, bottom;
    double sectionLeft, sectionRight, sectionTop, sectionBottom;  // inches
  };
  std::vector<Case> cases = {
      {Printer(), unInch, 0.5, 0.5, 1, 0.75, 0.5, 8.0, 1, 10.25},
      {Printer(), unMM, 25.4, 12.7, 0, 25.4, 1, 8.0, 0, 10},
      {nullptr, unInch, 1, 1, 1, 1, 1, 7.5, 1, 10},
      {std::make_shared<ImageReportPrinter>(100, 8.27, 11.69, 0.2), unCM, 2.54, 2.54, 2.54, 2.54, 1, 7.27, 1, 10.69},
  };
  for (const Case& c : cases) {
    OpsReport r(c.printer);
    r.SetUnits(c.units);
    r.SetMarginLeft(c.left);
    r.SetMarginRight(c.right);
    r.SetMarginTop(c.top);
    r.SetMarginBottom(c.bottom);
    EXPECT_NEAR(r.SectionLeft() / r.UnitsFactor(), c.sectionLeft, 1e-9);
    EXPECT_NEAR(r.SectionRight() / r.UnitsFactor(), c.sectionRight, 1e-9);
    EXPECT_NEAR(r.SectionTop() / r.UnitsFactor(), c.sectionTop, 1e-9);
    EXPECT_NEAR(r.SectionBottom() / r.UnitsFactor(), c.sectionBottom, 1e-9);
    EXPECT_DOUBLE_EQ(r.MarginLeft(), c.left);
    EXPECT_DOUBLE_EQ(r.MarginBottom(), c.bottom);
  }
}

TEST_F(WriterTest, StatusCodesAreReplaced) {
  OpsReport r(Printer());
  r.StatusText = {"zero", "one"};
  r.FirstPage = 2;
  r.LastPage = 7;
  struct Case {
    const char* format;
    const char* expected;
  };
  for (Case c : {Case{"Printing page %p", "Printing page 0"}, Case{"%F-%l of %P", "2-7 of 0"},
                 Case{"%0/%1/%2.", "zero/one/."}, Case{"100%%", "100%"}, Case{"%Q%q", "<ERROR-%Q><ERROR-%q>"},
                 Case{"end %", "end %"}, Case{"%D|%R", "Image Printer|Image"}, Case{"%%p", "%p"}}) {
    r.StatusFormat = c.format;
    EXPECT_EQ(r.FormatStatus(), c.expected) << c.format;
  }
  r.StatusFormat = std::string(300, 'x');
  EXPECT_EQ(r.FormatStatus().size(), 255u);
  QLabel label;
  r.SetStatusLabel(&label);
  r.StatusFormat = "Page %p";
  r.UpdateStatus();
  EXPECT_EQ(label.text(), "Page 0");
}

TEST_F(WriterTest, TabsPlaceCellsAfterThePreviousOne) {
  OpsReport r(Printer());
  r.SetMarginLeft(0.5);
  r.SetTab(kDefault, 1, 1.5, 5, 15, 0);
  r.SetTab(-1, 2, 2, 10, 3, 40);
  r.SetTab(kDefault, 0, 0, 20, 15, 30);  // moves the print position only
  r.SetTab(6, 0, 1, 0, 0, 0);
  struct Case {
    int index;
    double position, width, margin;
    bool left, right, top, bottom;
    int shade;
  };
  for (Case c : {Case{1, 0.5, 1.5, 0.05, true, true, true, true, 0}, Case{2, 2.0, 2, 0.1, true, true, false, false, 40},
                 Case{3, 4.0, 0, 0, false, false, false, false, 0}, Case{4, 6.0, 1, 0, false, false, false, false, 0}}) {
    const TabStop* t = r.GetTab(c.index);
    ASSERT_NE(t, nullptr);
    EXPECT_DOUBLE_EQ(t->position, c.position) << c.index;
    EXPECT_DOUBLE_EQ(t->width, c.width) << c.index;
    EXPECT_DOUBLE_EQ(t->margin, c.margin) << c.index;
    EXPECT_EQ((std::vector<bool>{t->left, t->right, t->top, t->bottom}),
              (std::vector<bool>{c.left, c.right, c.top, c.bottom}));
    EXPECT_EQ(t->shade, c.shade);
  }
  EXPECT_DOUBLE_EQ(r.TabWidth(1), 1.4);
  EXPECT_DOUBLE_EQ(r.TabWidth(9), 0);
  EXPECT_EQ(r.GetTab(0), nullptr);
  r.SetUnits(unMM);
  EXPECT_NEAR(r.TabWidth(2), 1.8 * 25.4, 1e-9);
}

TEST_F(WriterTest, PrintSplitsAtTabsAndJustifiesInTheCells) {
  OpsReport r(Printer());
  r.SetMarginLeft(1);
  r.body = [](OpsReport& w) {
    w.SetTab(kDefault, 1, 2, 10, 0, 0);
    w.SetTab(kDefault, 2, 2, 10, 0, 0);
    w.SetTab(kDefault, 0, 2, 10, 0, 0);
    w.Print("first\tleft\tright\tcentre");
    w.Tab();  // none left: the next text goes to the cursor
    w.Print("tail");
  };
  r.Execute();
  std::vector<std::pair<int, double>> texts;
  std::vector<std::string> words;
  for (const DrawOp& op : r.ops) {
    texts.emplace_back(op.code, op.points[0].x());
    words.push_back(op.text);
  }
  ASSERT_EQ(words, (std::vector<std::string>{"first", "left", "right", "centre", "tail"}));
  EXPECT_EQ(texts[0], std::make_pair(int(rcTextLeft), 1.0));
  EXPECT_EQ(texts[1], std::make_pair(int(rcTextLeft), 1.1));
  EXPECT_EQ(texts[2], std::make_pair(int(rcTextRight), 4.9));
  EXPECT_EQ(texts[3], std::make_pair(int(rcTextCenter), 6.0));
  EXPECT_EQ(texts[4].first, int(rcTextLeft));
  EXPECT_GT(texts[4].second, 6.0);  // after the centred text's right half
}

TEST_F(WriterTest, TabBoxLinesAndShadeFollowArgumentsAndFlags) {
  struct Case {
    const char* name;
    int boxes, tabShade, reportShade;
    int left, right, top, bottom, shade;
    int lines;          // MoveTo/LineTo pairs
    bool shaded;
  };
  std::vector<Case> cases = {
      {"flags", 15, 0, 0, kDefault, kDefault, kDefault, kDefault, kDefault, 4, false},
      {"left and bottom", 9, 0, 0, kDefault, kDefault, kDefault, kDefault, kDefault, 2, false},
      {"zero hides", 15, 0, 0, 0, 0, kDefault, 0, kDefault, 1, false},
      {"width forces", 0, 0, 0, 3, 0, 0, 0, kDefault, 1, false},
      {"tab shade", 0, 50, 0, kDefault, kDefault, kDefault, kDefault, kDefault, 0, true},
      {"report shade", 0, 0, 20, kDefault, kDefault, kDefault, kDefault, kDefault, 0, true},
      {"argument shade", 0, 50, 0, kDefault, kDefault, kDefault, kDefault, 100, 0, true},
  };
  for (const Case& c : cases) {
    OpsReport r(Printer());
    r.TabShade = c.reportShade;
    r.body = [&](OpsReport& w) {
      w.SetTab(1, 1, 2, 0, c.boxes, c.tabShade);
      w.Tab(c.left, c.right, c.top, c.bottom, c.shade);
    };
    r.Execute();
    int lines = 0;
    bool shaded = false;
    for (const DrawOp& op : r.ops) {
      if (op.code == rcLineTo) ++lines;
      if (op.code == rcTabRectangle) shaded = true;
    }
    EXPECT_EQ(lines, c.lines) << c.name;
    EXPECT_EQ(shaded, c.shaded) << c.name;
    // The brush and pen are back as they were.
    EXPECT_EQ(r.Brush().style, bsClear) << c.name;
    EXPECT_EQ(r.Pen().style, psSolid) << c.name;
  }
}

TEST_F(WriterTest, ShadedCellIsFilledWithTheGreyLevel) {
  auto printer = Printer();
  TPrinterReport r(printer);
  r.SetMarginTop(1);
  r.OnPrint = [](TBaseReport& w) {
    w.SetTab(1, 1, 2, 0, 0, 50);
    w.Tab();
  };
  r.Execute();
  ASSERT_EQ(printer->Pages().size(), 1u);
  // Cell from x 1..3 inches on the first line below 1 inch (1/6 inch high):
  // 255 - 50 * 255 / 100 = 128. Device pixels start at the 0.25 inch border.
  EXPECT_EQ(QColor(printer->Pages()[0].pixel(200 - 25, 108 - 25)), QColor(128, 128, 128));
  EXPECT_EQ(QColor(printer->Pages()[0].pixel(310 - 25, 108 - 25)), QColor(Qt::white));
  EXPECT_EQ(QColor(printer->Pages()[0].pixel(200 - 25, 120 - 25)), QColor(Qt::white));
}

TEST_F(WriterTest, RemainingLinesKeepsTheLastLineThatFits) {
  // Six lines per inch over sections whose bottoms are whole multiples of a
  // line height: lengths that binary fractions do not hold exactly.
  struct Case {
    double top, bottom;
    int line;
    int remaining;
  };
  for (Case c : {Case{0, 1, 1, 6}, Case{0, 1, 6, 1}, Case{0, 1, 7, 0}, Case{1.25, 9.75, 1, 51}, Case{1.25, 9.75, 51, 1},
                 Case{0.1, 0.7, 3, 1}, Case{0.1, 0.7, 2, 2}, Case{0.3, 0.3 + 7.0 / 6, 7, 1}}) {
    OpsReport r(Printer());
    int got = -1;
    r.body = [&](OpsReport& w) {
      w.SetSectionTop(c.top);
      w.SetSectionBottom(c.bottom);
      w.GotoLine(c.line);
      got = w.RemainingLines();
    };
    r.Execute();
    EXPECT_EQ(got, c.remaining) << c.top << ".." << c.bottom << " line " << c.line;
  }
}

TEST_F(WriterTest, SuppressedPagesCountButDrawNothing) {
  OpsReport r(Printer());
  std::vector<int> pages;
  r.FirstPage = 3;
  r.body = [&](OpsReport& w) {
    w.CancelPage();
    w.CancelPage();  // one page off only
    pages.push_back(w.CurrentPage());
    w.NewPage();
    w.NewPage();
    pages.push_back(w.CurrentPage());
    w.Print("hidden");
    w.NewPage();
    pages.push_back(w.CurrentPage());
    w.Print("shown");
  };
  r.Execute();
  EXPECT_EQ(pages, (std::vector<int>{0, 2, 3}));
  ASSERT_EQ(r.ops.size(), 1u);
  EXPECT_EQ(r.ops[0].text, "shown");
}

TEST_F(WriterTest, FontsAndPensFollowResolutionAndScale) {
  OpsReport r(Printer());
  r.body = [](OpsReport& w) {
    w.SetFont("Arial", 12);
    EXPECT_EQ(w.Font().height, -17);  // 12 pt at 100 dpi
    w.SetScaleY(50);
    w.SetFont("Arial", 12);
    EXPECT_EQ(w.Font().height, -9);  // round(17 * 50 / 100)
    w.SetFont("Arial", 0);           // ignored
    EXPECT_EQ(w.Font().size, 12);
    w.SetBold(true);
    w.SetUnderline(true);
    EXPECT_TRUE(w.GetBold() && w.GetUnderline() && !w.GetItalic());
    EXPECT_EQ(w.Font().style, kFontBold | kFontUnderline);
    w.SetPen(clBlack, psSolid, -10, pmCopy);  // 0.1 inch at 100 dpi
    EXPECT_EQ(w.Pen().width, 10);
    w.SetPen(clBlack, psSolid, -1, pmCopy);  // at least one pixel
    EXPECT_EQ(w.Pen().width, 1);
    w.SetPen(clBlack, psSolid, 4, pmCopy);
    EXPECT_EQ(w.Pen().width, 4);
    w.LineHeightMethod = lhmFont;
    w.SetFont("Arial", 12);
    EXPECT_DOUBLE_EQ(w.LineHeight(), 0.2);
  };
  r.Execute();
}

TEST_F(WriterTest, SamplePageRendersTextBoxesLinesAndRectangle) {
  auto printer = Printer();
  TPrinterReport r(printer);
  r.SetMarginLeft(0.75);
  r.SetMarginTop(0.75);
  r.SetMarginBottom(0.75);
  r.OnPrint = [](TBaseReport& w) {
    w.SetFont("DejaVu Sans", 14);
    w.SetBold(true);
    w.PrintCenterAt("Household Inventory", w.PageWidth() / 2);
    w.NewLine();
    w.NewLine();
    w.SetFont("DejaVu Sans", 10);
    w.SetTab(kDefault, 0, 2.5, 5, 15, 20);
    w.SetTab(kDefault, 0, 2, 5, 15, 20);
    w.SetTab(kDefault, 0, 1.5, 5, 15, 20);
    w.PrintLine("\tItem\tLocation\tValue");
    w.ClearTabs();
    w.SetTab(kDefault, 1, 2.5, 5, 15, 0);
    w.SetTab(kDefault, 1, 2, 5, 15, 0);
    w.SetTab(kDefault, 2, 1.5, 5, 15, 0);
    w.PrintLine("\tArmchair\tLiving room\t$450.00");
    w.PrintLine("\tBicycle\tGarage\t$1,200.00");
    w.SetPen(0x0000C0, psSolid, -2, pmCopy);
    w.MoveTo(0.75, 2.5);
    w.LineTo(7.75, 2.5);
    w.SetPen(clBlack, psDash, 1, pmCopy);
    w.MoveTo(0.75, 2.6);
    w.LineTo(7.75, 3.6);
    w.SetBrush(0xF0E0D0, bsSolid);
    w.SetPen(clBlack, psSolid, 2, pmCopy);
    w.Rectangle(1, 4, 4, 5);
    w.GotoBottomLine();
    w.PrintBottomLine("Page 1", 1);
  };
  r.Execute();
  ASSERT_EQ(printer->Pages().size(), 1u);
  const QImage& page = printer->Pages()[0];
  ASSERT_TRUE(page.save(QString::fromStdString(report_test::ArtifactPath("sample_page.png"))));
  auto at = [&](double xin, double yin) {
    return QColor(page.pixel(static_cast<int>(std::lround((xin - 0.25) * 100)), static_cast<int>(std::lround((yin - 0.25) * 100))));
  };
  EXPECT_EQ(at(2.0, 2.5), QColor(0xC0, 0, 0));     // red rule
  EXPECT_EQ(at(2.5, 4.5), QColor(0xD0, 0xE0, 0xF0));  // rectangle's brush
  EXPECT_EQ(at(1, 4.5), QColor(Qt::black));           // its left edge
  EXPECT_EQ(at(7.5, 7), QColor(Qt::white));
}

}  // namespace

namespace {

class NoRawPrinter : public ImageReportPrinter {
 public:
  bool PassThrough(std::string_view) override { return false; }
};

TEST_F(WriterTest, RawDataGoesIntoTheJobOrIsReportedOnce) {
  const std::string raw("\x1b" "E\x00\x01", 4);
  auto image = Printer();
  TPrinterReport direct(image);
  direct.OnPrint = [&](TBaseReport& w) {
    w.PrintData(raw);
    w.PrintData("more");
  };
  direct.Execute();
  EXPECT_EQ(image->RawData(), raw + "more");

  testing_support::TempRoot root;
  std::string pdf = (root.path() / "raw.pdf").string();
  TPrinterReport toFile(std::shared_ptr<ReportPrinter>(QtReportPrinter::Pdf(pdf)));
  toFile.OnPrint = direct.OnPrint;
  toFile.Execute();
  EXPECT_EQ(testing_support::TempRoot::ReadFile(pdf + ".raw"), raw + "more");
  EXPECT_EQ(report_test::PdfPageCount(testing_support::TempRoot::ReadFile(pdf)), 1);

  TPrinterReport refused(std::make_shared<NoRawPrinter>());
  refused.OnPrint = direct.OnPrint;
  ui->answers.push_back(platform::ui::Answer::Ok);
  refused.Execute();
  EXPECT_EQ(ui->MessageTexts(), std::vector<std::string>{kRawDataRefused});
}

}  // namespace

TEST_F(WriterTest, BrushCopySourceBeyondTheBitmapDrawsOnlyTheBitmap) {
  auto printer = Printer();
  TPrinterReport r(printer);
  QImage red(2, 2, QImage::Format_RGB32);
  red.fill(Qt::red);
  int x0 = 0, y0 = 0;
  r.OnPrint = [&](TBaseReport& w) {
    // A source rectangle twice the bitmap's size, onto a 4 x 4 pixel area.
    w.SetBrush(clWhite, bsSolid);
    w.BrushCopy(QRectF(QPointF(1, 1), QPointF(1.04, 1.04)), red, QRectF(0, 0, 4, 4), 0xFF0000);
    // One so large that copying it whole would take gigabytes.
    w.BrushCopy(QRectF(QPointF(2, 2), QPointF(2.4, 2.4)), red, QRectF(0, 0, 40000, 40000), 0xFF0000);
    x0 = w.XDev(1);
    y0 = w.YDev(1);
  };
  r.Execute();
  ASSERT_EQ(printer->Pages().size(), 1u);
  const QImage& page = printer->Pages()[0];
  EXPECT_EQ(page.pixel(x0, y0) & 0xFFFFFF, 0xFF0000u) << "the bitmap's own pixels";
  EXPECT_EQ(page.pixel(x0 + 3, y0 + 3) & 0xFFFFFF, 0xFFFFFFu) << "nothing invented beyond the bitmap";
  EXPECT_EQ(page.pixel(x0 + 120, y0 + 120) & 0xFFFFFF, 0xFFFFFFu);
}

TEST_F(WriterTest, TabShadeOutsideItsPercentRangeStaysGrey) {
  struct Case {
    int shade;
    QRgb expected;
  };
  for (Case c : {Case{150, 0x000000}, Case{-20, 0xFFFFFF}, Case{50, 0x808080}}) {
    auto printer = Printer();
    TPrinterReport r(printer);
    int x = 0, y = 0;
    r.OnPrint = [&](TBaseReport& w) {
      w.GotoLine(10);
      w.SetTab(1, 1, 2, 0, 0, c.shade);
      w.Tab();
      x = w.XDev(2);
      y = w.YDev(w.YPos() - w.LineHeight() / 2);
    };
    r.Execute();
    ASSERT_EQ(printer->Pages().size(), 1u);
    QRgb got = printer->Pages()[0].pixel(x, y) & 0xFFFFFF;
    // 255 - 50 * 255 / 100 = 128 in integer arithmetic.
    EXPECT_EQ(got, c.expected) << "shade " << c.shade << ": " << std::hex << got << std::dec << " at " << x << "," << y << " of " << printer->Pages()[0].width();
  }
}
