#include <gtest/gtest.h>

#include <QScrollArea>
#include <QScrollBar>
#include <cmath>

#include "report/stream_printer.h"
#include "report/stream_report.h"
#include "report_test_support.h"
#include "temp_root.h"

using namespace report;

namespace {

class StreamTest : public ::testing::Test {
 public:
  static std::shared_ptr<ImageReportPrinter> Printer() { return std::make_shared<ImageReportPrinter>(100, 8.5, 11, 0.25); }

 protected:
  void SetUp() override {
    report_test::EnsureApp();
    ui = report_test::InstallScriptedUi();
  }
  void TearDown() override { EXPECT_TRUE(ui->unexpected.empty()) << ui->unexpected.front(); }
  std::shared_ptr<platform::ui::ScriptedUi> ui;
};

// A three-page report that uses text, tabs with boxes and shading, lines,
// shapes and attribute changes.
void SampleReport(TBaseReport& r) {
  r.SetMarginLeft(0.75);
  r.SetMarginTop(0.75);
  r.SetMarginBottom(0.75);
  r.OnPrintHeader = [](TBaseReport& w) {
    w.SetFont("DejaVu Sans", 14);
    w.SetBold(true);
    w.PrintCenterAt("Inventory page " + std::to_string(w.CurrentPage()), w.PageWidth() / 2);
    w.NewLine();
    w.SetFont("DejaVu Sans", 10);
  };
  r.OnPrintPage = [](TBaseReport& w) {
    w.NewLine();
    w.ClearTabs();
    w.SetTab(kDefault, 0, 2.5, 5, 15, 25);
    w.SetTab(kDefault, 2, 1.5, 5, 15, 0);
    for (int i = 0; i < 5 * w.CurrentPage(); ++i) w.PrintLine("\tItem " + std::to_string(i) + "\t$" + std::to_string(i * 10) + ".00");
    w.SetPen(0x008000, psSolid, -3, pmCopy);
    w.MoveTo(0.75, 5);
    w.LineTo(7.75, 5.5);
    w.SetBrush(0x80C0FF, bsSolid);
    w.SetPen(clBlack, psSolid, 1, pmCopy);
    w.Rectangle(1, 6, 3, 7);
    w.Ellipse(4, 6, 6, 7);
    w.SetBrush(0x404040, bsDiagCross);
    w.Polygon({QPointF(1, 8), QPointF(2, 9), QPointF(3, 8)});
    w.SetFontColor(0x0000FF);
    w.SetItalic(true);
    w.PrintBottomLine("Footnote", 2);
    w.SetItalic(false);
    w.SetFontColor(clBlack);
    return w.CurrentPage() < 3;
  };
}

std::vector<QImage> PrintDirect(int first = 1, int last = 9999) {
  auto printer = StreamTest::Printer();
  TPrinterReport r(printer);
  SampleReport(r);
  r.FirstPage = first;
  r.LastPage = last;
  r.Execute();
  return printer->Pages();
}

MemoryStream RecordSample(std::shared_ptr<ReportPrinter> printer, std::function<void(TStreamReport&)> setup = {}) {
  MemoryStream stream;
  TStreamReport r(std::move(printer));
  SampleReport(r);
  r.StreamMode = smUser;
  r.Stream = &stream;
  if (setup) setup(r);
  r.Execute();
  return stream;
}

std::vector<uint8_t> Codes(const MemoryStream& bytes, std::vector<PageStart>* pages = nullptr,
                           std::vector<Record>* records = nullptr) {
  MemoryStream s(bytes.Bytes());
  StreamReader r(s);
  std::vector<uint8_t> codes;
  report::ReadFileHeader(r);
  codes.push_back(rcFileHeader);
  while (s.Position() < s.Size()) {
    uint64_t at = s.Position();
    Record rec = ReadRecord(r);
    codes.push_back(rec.code);
    if (rec.code == rcPageStart && pages) {
      s.Seek(at);
      pages->push_back(report::ReadPageStart(r));
    }
    if (records) records->push_back(rec);
  }
  return codes;
}

TEST_F(StreamTest, RecordedBytesFollowTheLayout) {
  MemoryStream stream;
  TStreamReport r(Printer());
  r.StreamMode = smUser;
  r.Stream = &stream;
  r.OnPrintPage = [](TBaseReport& w) {
    w.SetFont("Arial", 12);
    w.SetFont("Arial", 12);  // no change, no record
    w.MoveTo(1, 2);
    w.LineTo(3, 2);
    w.TextLeft("ab", 1.5);
    return w.CurrentPage() < 2;
  };
  r.Execute();

  MemoryStream s(stream.Bytes());
  StreamReader in(s);
  FileHeader h = report::ReadFileHeader(in);
  EXPECT_EQ(h.pageCount, 2);
  EXPECT_EQ(h.firstPage, 1);
  EXPECT_EQ(h.lastPage, 9999);
  EXPECT_EQ(h.pageWidth, 8.5f);
  EXPECT_EQ(h.pageHeight, 11.0f);
  EXPECT_EQ(h.unprintableLeft, 0.25f);
  EXPECT_EQ(h.unprintableBottom, 0.25f);
  EXPECT_EQ(h.orientation, poPortrait);
  EXPECT_EQ(h.copies, 1);
  EXPECT_EQ(h.paperWidth, 2159);
  EXPECT_EQ(h.paperLength, 2794);
  EXPECT_EQ(h.portName, "");
  // Header: code, 3 ints, 6 floats, orientation, 4 ints, empty port.
  EXPECT_EQ(s.Position(), 1u + 12 + 24 + 1 + 16 + 1);

  std::vector<PageStart> pages;
  std::vector<Record> records;
  std::vector<uint8_t> codes = Codes(stream, &pages, &records);
  const std::vector<uint8_t> attributes = {41, 42, 43, 51, 52, 53, 54, 55, 57, 56, 58, 71, 72, 73, 74, 28, 29, 26, 27};
  std::vector<uint8_t> expected = {81, 80};
  expected.insert(expected.end(), attributes.begin(), attributes.end());
  for (uint8_t c : {54, 12, 11, 24, 82, 80}) expected.push_back(c);
  expected.insert(expected.end(), attributes.begin(), attributes.end());
  for (uint8_t c : {12, 11, 24, 82}) expected.push_back(c);
  EXPECT_EQ(codes, expected);

  ASSERT_EQ(pages.size(), 2u);
  EXPECT_EQ(pages[0].position, 55u);
  EXPECT_EQ(pages[0].previous, 0);
  EXPECT_EQ(pages[0].next, static_cast<int32_t>(pages[1].position));
  EXPECT_EQ(pages[0].pageNumber, 1);
  EXPECT_EQ(pages[1].previous, static_cast<int32_t>(pages[0].position));
  EXPECT_EQ(pages[1].next, 0);
  EXPECT_EQ(pages[1].pageNumber, 2);

  // The drawing records of page 1 with their operands (inches).
  auto find = [&](uint8_t code) {
    for (const Record& rec : records)
      if (rec.code == code) return rec;
    return Record{};
  };
  EXPECT_EQ(find(rcMoveTo).points, (std::vector<StreamPoint>{{1, 2}}));
  EXPECT_EQ(find(rcLineTo).points, (std::vector<StreamPoint>{{3, 2}}));
  Record text = find(rcTextLeft);
  EXPECT_EQ(text.text, "ab");
  EXPECT_EQ(text.floats[1], 1.5f);
  EXPECT_GT(text.floats[0], 0.1f);  // the first line's baseline: 1/6 inch less the descent
  EXPECT_LT(text.floats[0], 1.0f / 6);
  std::vector<float> heights;
  for (const Record& rec : records)
    if (rec.code == rcFontHeight) heights.push_back(rec.floats[0]);
  // 10 pt and 12 pt at 100 dpi (14 and 17 pixels), in inches; page 2 starts with 12 pt.
  EXPECT_EQ(heights, (std::vector<float>{0.14f, 0.17f, 0.17f}));
  EXPECT_NEAR(find(rcPenWidth).floats[0], 1.0 / 100, 1e-6);
  EXPECT_EQ(find(rcBrushStyle).bytes[0], bsClear);
  EXPECT_EQ(find(rcFontName).text, "Arial");
  EXPECT_NO_THROW(ValidateStream(s));
}

TEST_F(StreamTest, PositioningSplitsTextIntoCharacters) {
  MemoryStream stream;
  TStreamReport r(Printer());
  r.StreamMode = smUser;
  r.Stream = &stream;
  r.AccuracyMethod = amPositioning;
  double after = 0;
  r.OnPrint = [&](TBaseReport& w) {
    w.TextLeft("ab", 2);
    after = w.XPos();
  };
  r.Execute();
  std::vector<Record> records;
  Codes(stream, nullptr, &records);
  std::vector<Record> texts;
  for (const Record& rec : records)
    if (rec.code >= rcTextCenter && rec.code <= rcTextRight) texts.push_back(rec);
  ASSERT_EQ(texts.size(), 2u);
  EXPECT_EQ(texts[0].code, rcTextLeft);
  EXPECT_EQ(texts[0].text, "a");
  EXPECT_EQ(texts[1].text, "b");
  EXPECT_EQ(texts[0].floats[1], 2.0f);
  EXPECT_GT(texts[1].floats[1], 2.0f);
  EXPECT_GT(after, texts[1].floats[1]);
}

TEST_F(StreamTest, PageRangeRecordsOnlyItsPages) {
  struct Case {
    int first, last;
    std::vector<int> numbers;
  };
  for (Case c : {Case{2, 2, {2}}, Case{1, 9999, {1, 2, 3}}, Case{3, 9, {3}}, Case{5, 9, {}}}) {
    MemoryStream stream = RecordSample(Printer(), [&](TStreamReport& r) {
      r.FirstPage = c.first;
      r.LastPage = c.last;
    });
    MemoryStream s(stream.Bytes());
    StreamSummary summary = ValidateStream(s);
    std::vector<int> numbers;
    for (const PageStart& p : summary.pages) numbers.push_back(p.pageNumber);
    EXPECT_EQ(numbers, c.numbers) << c.first << ".." << c.last;
    EXPECT_EQ(summary.header.pageCount, static_cast<int>(c.numbers.size()));
    if (c.numbers.size() == 1) {
      EXPECT_EQ(summary.pages[0].previous, 0);
      EXPECT_EQ(summary.pages[0].next, 0);
    }
  }
}

TEST_F(StreamTest, CancelledPageLeavesNoTrace) {
  for (int cancelOn : {1, 2, 3}) {
    MemoryStream stream;
    TStreamReport r(Printer());
    r.StreamMode = smUser;
    r.Stream = &stream;
    int calls = 0;
    r.OnPrintPage = [&](TBaseReport& w) {
      ++calls;
      w.PrintLine(calls == cancelOn ? "cancelled" : "kept " + std::to_string(calls));
      if (calls == cancelOn) w.CancelPage();
      return calls < 4;
    };
    r.Execute();
    MemoryStream s(stream.Bytes());
    StreamSummary summary = ValidateStream(s);  // links and count consistent
    std::vector<int> numbers;
    for (const PageStart& p : summary.pages) numbers.push_back(p.pageNumber);
    EXPECT_EQ(numbers, (std::vector<int>{1, 2, 3})) << cancelOn;
    EXPECT_EQ(stream.Bytes().find("cancelled"), std::string::npos) << cancelOn;
    EXPECT_EQ(r.RecordedPages(), 3);
  }
}

TEST_F(StreamTest, AbortedRunLeavesAReadableStream) {
  MemoryStream stream;
  TStreamReport r(Printer());
  r.StreamMode = smUser;
  r.Stream = &stream;
  std::vector<std::string> log;
  r.OnPrintPage = [&](TBaseReport& w) {
    w.PrintLine("page " + std::to_string(w.CurrentPage()));
    if (w.CurrentPage() == 2) w.Abort();
    return true;
  };
  r.OnPrintFooter = [&](TBaseReport&) { log.push_back("footer"); };
  r.OnAfterPrint = [&](TBaseReport&) { log.push_back("after"); };
  r.Execute();
  MemoryStream s(stream.Bytes());
  StreamSummary summary = ValidateStream(s);
  EXPECT_EQ(summary.pages.size(), 2u);
  EXPECT_EQ(log, (std::vector<std::string>{"footer", "footer", "after"}));

  // A handler's exception closes the stream the same way.
  MemoryStream broken;
  TStreamReport t(Printer());
  t.StreamMode = smUser;
  t.Stream = &broken;
  t.OnPrintPage = [](TBaseReport& w) -> bool {
    w.PrintLine("x");
    if (w.CurrentPage() == 2) throw std::runtime_error("stop");
    return true;
  };
  EXPECT_THROW(t.Execute(), std::runtime_error);
  MemoryStream b(broken.Bytes());
  EXPECT_EQ(ValidateStream(b).pages.size(), 2u);
}

TEST_F(StreamTest, ReplayGivesTheSamePagesAsDirectPrinting) {
  std::vector<QImage> direct = PrintDirect();
  ASSERT_EQ(direct.size(), 3u);
  MemoryStream stream = RecordSample(Printer());
  auto target = Printer();
  TStreamPrinter player(target);
  player.StreamMode = smUser;
  player.Stream = &stream;
  player.Execute();
  ASSERT_EQ(target->Pages().size(), 3u);
  for (size_t i = 0; i < 3; ++i) EXPECT_EQ(report_test::DifferentPixels(direct[i], target->Pages()[i]), 0) << "page " << i + 1;
  direct[1].save(QString::fromStdString(report_test::ArtifactPath("direct_page2.png")));
  target->Pages()[1].save(QString::fromStdString(report_test::ArtifactPath("replayed_page2.png")));
  EXPECT_EQ(stream.Size(), stream.Bytes().size());  // the caller's stream survives
  testing_support::TempRoot::WriteFile(report_test::ArtifactPath("sample.rpt"), stream.Bytes());
}

TEST_F(StreamTest, PageRangeReplaysOnlyThosePages) {
  std::vector<QImage> direct = PrintDirect();
  MemoryStream stream = RecordSample(Printer());
  struct Case {
    int first, last;
    std::vector<int> pages;
  };
  for (Case c : {Case{2, 99, {2, 3}}, Case{2, 2, {2}}, Case{0, 0, {1, 2, 3}}, Case{3, 3, {3}}, Case{1, 2, {1, 2}}}) {
    auto target = Printer();
    TStreamPrinter player(target);
    player.StreamMode = smUser;
    player.Stream = &stream;
    player.PrintPages(c.first, c.last, 1);
    ASSERT_EQ(target->Pages().size(), c.pages.size()) << c.first << ".." << c.last;
    for (size_t i = 0; i < c.pages.size(); ++i)
      EXPECT_EQ(report_test::DifferentPixels(direct[static_cast<size_t>(c.pages[i] - 1)], target->Pages()[i]), 0);
  }
  // Copies: the recorded ones, or those asked for.
  auto target = Printer();
  TStreamPrinter player(target);
  player.StreamMode = smUser;
  player.Stream = &stream;
  player.PrintPages(1, 1, 3);
  EXPECT_EQ(target->Copies(), 3);
}

TEST_F(StreamTest, StreamsRecordedWithAPageRangeReplayTheirOwnPages) {
  std::vector<QImage> direct = PrintDirect();
  MemoryStream stream = RecordSample(Printer(), [](TStreamReport& r) { r.FirstPage = 2; });
  auto target = Printer();
  TStreamPrinter player(target);
  player.StreamMode = smUser;
  player.Stream = &stream;
  player.Execute();
  ASSERT_EQ(target->Pages().size(), 2u);
  EXPECT_EQ(report_test::DifferentPixels(direct[1], target->Pages()[0]), 0);
  EXPECT_EQ(report_test::DifferentPixels(direct[2], target->Pages()[1]), 0);
}

TEST_F(StreamTest, PageRangesOutsideTheStreamPrintEachRecordedPageOnce) {
  std::vector<QImage> direct = PrintDirect();
  MemoryStream all = RecordSample(Printer());
  MemoryStream fromTwo = RecordSample(Printer(), [](TStreamReport& r) { r.FirstPage = 2; });
  // A header that claims far more pages than the stream holds.
  std::string overcount = all.Bytes();
  const int32_t claimed = 1000000;
  for (int i = 0; i < 4; ++i) overcount[kPageCountOffset + i] = static_cast<char>((claimed >> (8 * i)) & 0xFF);
  MemoryStream overcounted(overcount);
  struct Case {
    const char* what;
    MemoryStream* stream;
    int first, last;
    std::vector<int> pages;
  };
  for (Case c : {Case{"negative first", &all, -1, 2, {1, 2}}, Case{"first before the recorded pages", &fromTwo, 1, 3, {2, 3}},
                 Case{"count beyond the pages", &overcounted, 0, 0, {1, 2, 3}},
                 Case{"first after the recorded pages", &all, 5, 9, {}}}) {
    auto target = Printer();
    TStreamPrinter player(target);
    player.StreamMode = smUser;
    player.Stream = c.stream;
    player.PrintPages(c.first, c.last, 1);
    ASSERT_EQ(target->Pages().size(), c.pages.size()) << c.what;
    for (size_t i = 0; i < c.pages.size(); ++i)
      EXPECT_EQ(report_test::DifferentPixels(direct[static_cast<size_t>(c.pages[i] - 1)], target->Pages()[i]), 0)
          << c.what << ", page " << i + 1;
  }
}

TEST_F(StreamTest, FileAndMemoryModesWriteTheSameFile) {
  testing_support::TempRoot root;
  std::string viaFile = (root.path() / "FILE.RPT").string(), viaMemory = (root.path() / "MEMORY.RPT").string();
  for (auto [mode, name] : {std::pair{smFile, viaFile}, std::pair{smMemory, viaMemory}}) {
    TStreamReport r(Printer());
    SampleReport(r);
    r.StreamMode = mode;
    r.FileName = name;
    r.Execute();
  }
  std::string a = testing_support::TempRoot::ReadFile(viaFile), b = testing_support::TempRoot::ReadFile(viaMemory);
  EXPECT_FALSE(a.empty());
  EXPECT_EQ(a, b);
  for (TStreamMode mode : {smFile, smMemory}) {
    auto target = Printer();
    TStreamPrinter player(target);
    player.StreamMode = mode;
    player.FileName = viaFile;
    player.Execute();
    EXPECT_EQ(target->Pages().size(), 3u);
  }
}

TEST_F(StreamTest, StreamThatCannotBeOpenedEndsTheRun) {
  TStreamReport r(Printer());
  SampleReport(r);
  bool after = false;
  r.OnAfterPrint = [&](TBaseReport&) { after = true; };
  r.StreamMode = smFile;
  r.FileName = "/nonexistent-dir/REPORT.RPT";
  ui->answers.push_back(platform::ui::Answer::Ok);
  r.Execute();
  EXPECT_TRUE(after);
  EXPECT_EQ(ui->MessageTexts(), std::vector<std::string>{"Error initializing stream \"/nonexistent-dir/REPORT.RPT\""});
  EXPECT_FALSE(r.Printing());
}

TEST_F(StreamTest, RecordingWithoutAPrinterUsesThePreviewDevice) {
  TStreamReport r(nullptr);
  MemoryStream stream;
  r.StreamMode = smUser;
  r.Stream = &stream;
  std::string device;
  r.OnPrint = [&](TBaseReport& w) {
    device = w.PrinterDeviceName() + "/" + w.PrinterPortName();
    w.Print("x");
    EXPECT_THROW(w.CopyRect(QRectF(0, 0, 1, 1), QImage(2, 2, QImage::Format_RGB32), QRectF(0, 0, 1, 1)), EReportWriter);
  };
  r.Execute();
  EXPECT_EQ(device, "Preview Only/Preview");
  MemoryStream s(stream.Bytes());
  StreamSummary summary = ValidateStream(s);
  EXPECT_EQ(summary.header.pageWidth, 8.5f);
  EXPECT_EQ(summary.header.copies, 1);
  EXPECT_EQ(summary.header.paperWidth, 0);
}

TEST_F(StreamTest, DamagedStreamsAreRefused) {
  MemoryStream good = RecordSample(Printer());
  const std::string bytes = good.Bytes();
  std::vector<std::string> messages = {kUnexpectedCode, kUnexpectedEnd, kBadPageLink};
  auto play = [&](const std::string& data) {
    MemoryStream s(data);
    auto target = Printer();
    TStreamPrinter player(target);
    player.StreamMode = smUser;
    player.Stream = &s;
    try {
      player.Execute();
    } catch (const EReportWriter& e) {
      EXPECT_FALSE(player.Printing());
      EXPECT_FALSE(target->Printing());
      EXPECT_TRUE(target->Pages().empty()) << "a refused stream prints nothing";
      return std::string(e.what());
    }
    return std::string("played");
  };
  // Cuts at every 97th byte, and just before the end.
  for (size_t cut = 0; cut < bytes.size(); cut += 97) {
    std::string m = play(bytes.substr(0, cut));
    EXPECT_TRUE(std::find(messages.begin(), messages.end(), m) != messages.end()) << cut << ": " << m;
  }
  EXPECT_EQ(play(bytes.substr(0, bytes.size() - 1)), kUnexpectedEnd);
  std::string wrongFirst = bytes;
  wrongFirst[0] = 80;
  EXPECT_EQ(play(wrongFirst), kUnexpectedCode);
  std::string wrongRecord = bytes;
  MemoryStream s(bytes);
  StreamSummary summary = ValidateStream(s);
  wrongRecord[summary.pages[0].position + 14] = char(99);  // the first attribute record's code
  EXPECT_EQ(play(wrongRecord), kUnexpectedCode);
  // A page link pointing back at its own page cannot make the player loop.
  std::string loop = bytes;
  uint32_t self = static_cast<uint32_t>(summary.pages[1].position);
  for (int i = 0; i < 4; ++i) loop[summary.pages[1].position + 5 + i] = char((self >> (8 * i)) & 0xFF);
  EXPECT_EQ(play(loop), kBadPageLink);
  EXPECT_EQ(play(bytes), "played");
}

class PreviewTest : public StreamTest {
 protected:
  void SetUp() override {
    StreamTest::SetUp();
    stream = RecordSample(Printer());
    box = std::make_unique<QScrollArea>();
    box->resize(640, 480);
    preview = std::make_unique<TStreamPreview>(Printer());
    preview->StreamMode = smUser;
    preview->Stream = &stream;
    preview->ScrollBox = box.get();
    preview->MarginPercent = 2.5;
  }
  MemoryStream stream;
  std::unique_ptr<QScrollArea> box;
  std::unique_ptr<TStreamPreview> preview;
};

TEST_F(PreviewTest, ShowsPagesAtAZoomAndSteps) {
  std::vector<int> shown;
  preview->OnPageChange = [&](TStreamPreview& p) { shown.push_back(p.PageNumber()); };
  preview->Start();
  double dpi = preview->DpiX();
  EXPECT_EQ(preview->PageNumber(), 1);
  EXPECT_EQ(preview->PageCount(), 3);
  EXPECT_EQ(preview->PageBitmap().width(), std::lround(dpi * 8.5));
  EXPECT_EQ(preview->PageBitmap().height(), std::lround(dpi * 11));
  int m = static_cast<int>(std::lround(dpi * 8.5 * 2.5 / 100));
  EXPECT_EQ(preview->ImageControl()->geometry(), QRect(m, m, preview->PageBitmap().width(), preview->PageBitmap().height()));
  preview->PrevPage();  // on the first page: nothing
  preview->NextPage();
  preview->NextPage();
  preview->NextPage();  // on the last page: nothing
  EXPECT_EQ(preview->PageNumber(), 3);
  preview->PrevPage();
  EXPECT_EQ(preview->PageNumber(), 2);
  QImage before = preview->PageBitmap().copy();
  preview->PlayPage(2);  // the current page again, from its first record
  EXPECT_EQ(report_test::DifferentPixels(before, preview->PageBitmap()), 0);
  QImage blank(before.size(), before.format());
  blank.fill(Qt::white);
  EXPECT_GT(report_test::DifferentPixels(before, blank), 1000);
  EXPECT_EQ(shown, (std::vector<int>{1, 2, 3, 2, 2}));

  preview->SetZoomFactor(50);
  EXPECT_EQ(preview->PageBitmap().width(), std::lround(dpi * 8.5 / 2));
  preview->PageBitmap().save(QString::fromStdString(report_test::ArtifactPath("preview_page2_zoom50.png")));
  preview->ZoomIn();
  EXPECT_EQ(preview->ZoomFactor(), 60);
  preview->ZoomOut();
  preview->ZoomOut();
  EXPECT_EQ(preview->ZoomFactor(), 40);
  EXPECT_EQ(preview->PageBitmap().width(), std::lround(dpi * 8.5 * 0.4));
  preview->SetZoomFactor(5);
  EXPECT_EQ(preview->ZoomFactor(), 10);
  preview->SetZoomFactor(250);
  EXPECT_EQ(preview->ZoomFactor(), 200);
  EXPECT_THROW(preview->Start(), EReportWriter);
  preview->Finish();
  EXPECT_FALSE(preview->Printing());
}

TEST_F(PreviewTest, ZoomFactorsFitThePageToTheBox) {
  preview->Start();
  preview->SetZoomFactor(preview->ZoomPageFactor());
  int m = static_cast<int>(std::lround(preview->DpiX() * 8.5 * 2.5 / 100));
  EXPECT_LE(preview->PageBitmap().height() + 2 * m, box->height());
  EXPECT_LE(preview->PageBitmap().width() + 2 * m, box->width());
  EXPECT_GT(preview->PageBitmap().height() + 2 * m, box->height() - 10);
  preview->SetZoomFactor(preview->ZoomPageWidthFactor());
  int sv = box->verticalScrollBar()->sizeHint().width();
  EXPECT_LE(preview->PageBitmap().width() + 2 * m, box->width() - sv);
  EXPECT_GT(preview->PageBitmap().width() + 2 * m, box->width() - sv - 10);
  preview->Finish();
}

TEST_F(PreviewTest, ZoomChangeHandlerRedrawsAndStartNeedsAScrollBox) {
  int zoomEvents = 0;
  preview->OnZoomChange = [&](TStreamPreview& p) {
    ++zoomEvents;
    p.RedrawPage();  // only while previewing
  };
  preview->Start();
  preview->SetZoomFactor(150);
  EXPECT_EQ(zoomEvents, 2);
  EXPECT_EQ(preview->PageBitmap().width(), std::lround(preview->DpiX() * 8.5 * 1.5));
  preview->Finish();
  TStreamPreview orphan(Printer());
  try {
    orphan.Start();
    FAIL() << "no scroll box";
  } catch (const EReportWriter& e) {
    EXPECT_STREQ(e.what(), "ScrollBox must be assigned for StreamPreview component");
  }
}

TEST_F(PreviewTest, PreviewNeedsNoPrinter) {
  TStreamPreview alone(nullptr);
  alone.StreamMode = smUser;
  alone.Stream = &stream;
  alone.ScrollBox = box.get();
  alone.Monochrome = true;
  alone.Start();
  EXPECT_EQ(alone.PageNumber(), 1);
  EXPECT_EQ(alone.PageBitmap().width(), std::lround(alone.DpiX() * 8.5));
  EXPECT_FALSE(alone.ImageControl()->pixmap().isNull());
  alone.NextPage();
  EXPECT_EQ(alone.PageNumber(), 2);
}  // destroyed while previewing: finishes itself

TEST_F(PreviewTest, NewPageOnAPreviewWithoutAPrinterBreaksNoPrinterPage) {
  TStreamPreview alone(nullptr);
  alone.StreamMode = smUser;
  alone.Stream = &stream;
  alone.ScrollBox = box.get();
  alone.Start();
  alone.NewPage();
  EXPECT_TRUE(alone.Printing());
  alone.RedrawPage();
  EXPECT_FALSE(alone.ImageControl()->pixmap().isNull());
}

TEST_F(PreviewTest, PrinterWithoutPrinterShowsTheMessage) {
  TStreamPrinter player(nullptr);
  player.StreamMode = smUser;
  player.Stream = &stream;
  ui->answers.push_back(platform::ui::Answer::Ok);
  player.Execute();
  EXPECT_EQ(ui->MessageTexts(), std::vector<std::string>{"No printers are defined, aborting print job."});
}

}  // namespace

TEST_F(StreamTest, ZeroOrNegativeScaleStillRecordsAReadableStream) {
  for (double scale : {0.0, -50.0}) {
    MemoryStream stream;
    TStreamReport r(Printer());
    r.StreamMode = smUser;
    r.Stream = &stream;
    r.OnPrint = [&](TBaseReport& w) {
      w.SetScaleX(scale);
      w.SetScaleY(scale);
      w.Print("Item");
      w.Print(" follows");
      w.PrintLine("");
    };
    r.Execute();
    EXPECT_EQ(r.ScaleX(), 100) << scale;
    auto target = Printer();
    TStreamPrinter player(target);
    player.StreamMode = smUser;
    player.Stream = &stream;
    EXPECT_NO_THROW(player.Execute()) << scale;
    EXPECT_EQ(target->Pages().size(), 1u) << scale;
  }
}

TEST_F(StreamTest, FileThatCannotBeWrittenFailsTheRun) {
  // /dev/full opens, then refuses every byte.
  TStreamReport r(Printer());
  SampleReport(r);
  r.StreamMode = smFile;
  r.FileName = "/dev/full";
  bool after = false;
  r.OnAfterPrint = [&](TBaseReport&) { after = true; };
  EXPECT_THROW(r.Execute(), EReportWriter);
  EXPECT_TRUE(after);
  EXPECT_FALSE(r.Printing());
}
