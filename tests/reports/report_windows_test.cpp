// The report selection window and the status window, started from the real
// main window offscreen over a real inventory table: runs to a text file,
// the printer and the preview stream, the search kept or lifted, the
// messages, Cancel, and pictures of both windows.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QCheckBox>
#include <QComboBox>
#include <QMouseEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSpinBox>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <algorithm>
#include <array>
#include <filesystem>
#include <cstdlib>
#include <functional>
#include <regex>
#include <memory>

#include "core/item_fields.h"
#include "framework/dbtables.h"
#include "framework/sysutils.h"
#include "platform/paths.h"
#include "platform/ui.h"
#include "report/printer.h"
#include "report_test_support.h"
#include "report_text.h"
#include "reports/report_file.h"
#include "reports/tmyreport.h"
#include "platform/profile.h"
#include "reports/editor_rules.h"
#include "reports/preview_rules.h"
#include "reports/report_rules.h"
#include "reports/tmyinsurance.h"
#include "reports/tmypreview.h"
#include "reports/tprintrange.h"
#include "reports/treplayout.h"
#include "reports/treportfontdialog.h"
#include "reports/treportfonts.h"
#include "reports/treportpart.h"
#include "reports/treportform.h"
#include "reports/tuserreport.h"
#include "temp_root.h"
#include "tmain.h"
#include "tprintersetup.h"

namespace keldro::reports {
namespace {

namespace fs = std::filesystem;
using platform::ui::FileDialogResult;
using platform::ui::ScriptedUi;
using testing_support::TempRoot;

// Runs `step` on the coming turns of whatever event loop is running until
// it answers true.
void WhenReady(std::function<bool()> step, int turnsLeft = 200000) {
  QTimer::singleShot(0, [step, turnsLeft] {
    if (step()) return;
    if (turnsLeft == 0) {
      ADD_FAILURE() << "a window never came";
      if (QWidget* w = QApplication::activeModalWidget()) w->close();
      return;
    }
    WhenReady(step, turnsLeft - 1);
  });
}

TReportForm* StatusWindow() { return qobject_cast<TReportForm*>(QApplication::activeModalWidget()); }

class ReportWindowsTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    report_test::EnsureApp();
    framework::TSession::Default().LibraryDirs = {fs::canonical("/proc/self/exe").parent_path()};
  }

  void SetUp() override {
    ui = std::make_shared<ScriptedUi>();
    ui->onUnexpected = [](const std::string& what) { ADD_FAILURE() << "unexpected " << what; };
    platform::ui::Install(ui);
    report::InstallPrinter(report::QtReportPrinter::Pdf((root.path() / "REPORT.PDF").string()));
    // Category, then Item; no tip of the day when the main window shows.
    TempRoot::WriteFile(platform::WindowsDir() / "KELDRO.INI",
                        "[Misc]\r\nShow Tips=No\r\n[Sort Order]\r\nPrimary Sort=12\r\nSecondary Sort=1\r\n");
    main = std::make_unique<TMain>(TMain::StartOptions{{"keldro"}, QSize(800, 600)});
    ASSERT_FALSE(main->Terminated());
    for (const Item& i : FourItemsData()) AddItem(i);
    window = &main->ReportWindow();
  }
  void TearDown() override {
    main.reset();
    report::InstallPrinter(nullptr);
    platform::ui::Install(nullptr);
  }

  void AddItem(const Item& i) {
    framework::TTable& t = main->MyTable;
    t.Append();
    auto set = [&t](const char* field, const std::string& text) {
      if (!text.empty()) t.FieldByName(field)->SetAsString(text);
    };
    set("Item", i.item), set("Location", i.location), set("Category", i.category), set("Cost", i.cost);
    set("RepCost", i.repCost), set("Quantity", i.quantity), set("Value", i.value), set("Brand", i.brand);
    t.Post();
  }

  void Select(const std::string& report) {
    const auto found = window->ReportBox->findItems(QString::fromStdString(report), Qt::MatchExactly);
    ASSERT_EQ(found.size(), 1) << report;
    window->ReportBox->setCurrentItem(found.front());
  }

  // Presses a button of the selection window and sees the run through:
  // the status texts while it runs, then OK. `whileRunning` may act on the
  // running status window (Cancel).
  void Run(QPushButton* button, std::function<void(TReportForm&)> whileRunning = nullptr) {
    statuses.clear();
    const bool view = button == window->ViewButton;
    WhenReady([this, whileRunning, view] {
      TReportForm* form = StatusWindow();
      if (!form) return false;
      statuses.push_back(form->Label1->text().toStdString());
      if (form->Running()) {
        if (whileRunning) whileRunning(*form);
        return false;
      }
      if (form->BitBtn1->text() != "OK") return false;
      finalStatus = form->Label1->text().toStdString();
      statusPicture = form->grab();
      form->BitBtn1->click();
      // A viewed report comes up in the preview window next.
      if (view && !form->Aborted()) {
        WhenReady([this] {
          auto* preview = qobject_cast<TMyPreview*>(QApplication::activeModalWidget());
          if (!preview || !preview->MyStreamPreview.Printing()) return false;
          ++previews;
          if (onPreview) onPreview(*preview);
          preview->close();
          return true;
        });
      }
      return true;
    });
    button->click();
  }

  std::string ToFile(const std::string& report, const fs::path& file) {
    Select(report);
    ui->files.push_back(FileDialogResult{true, file.string(), 1});
    Run(window->FileButton);
    return TempRoot::ReadFile(file);
  }

  TempRoot root;
  std::shared_ptr<ScriptedUi> ui;
  std::unique_ptr<TMain> main;
  TMyReport* window = nullptr;
  std::vector<std::string> statuses;
  std::function<void(TMyPreview&)> onPreview;
  int previews = 0;
  std::string finalStatus;
  QPixmap statusPicture;
};

TEST_F(ReportWindowsTest, ListsTheDefinitionsAndPrintsTheChosenOneToATextFile) {
  window->show();
  EXPECT_EQ(window->windowTitle(), "Reports");
  ASSERT_EQ(window->ReportBox->count(), 8);
  EXPECT_EQ(window->ReportBox->item(0)->text(), "Short Narrow Report");
  EXPECT_EQ(window->ReportBox->item(7)->text(), "Statistics/Summary Report");
  EXPECT_EQ(window->SortOrderLabel->text(), "Category, Item");
  EXPECT_TRUE(window->ExportEntire->isChecked());
  EXPECT_FALSE(window->ExportSearch->isEnabled());
  for (QPushButton* b : {window->ViewButton, window->NewButton, window->ModifyButton, window->InsButton})
    EXPECT_TRUE(b->isEnabled());
  window->grab().save(QString::fromStdString(report_test::ArtifactPath("tmyreport.png")));

  const fs::path file = root.path() / "SHORT.TXT";
  const std::string today = framework::DateToStr(framework::Date());
  EXPECT_EQ(ToFile("Short Narrow Report", file), ShortNarrowFourItems(today));
  EXPECT_NE(std::find(statuses.begin(), statuses.end(), "Printing Page 1\n\n"), statuses.end());
  EXPECT_EQ(finalStatus, "\nReport Completed!");
  EXPECT_FALSE(window->LastRunAborted());
  statusPicture.save(QString::fromStdString(report_test::ArtifactPath("treportform.png")));

  // The choice is remembered when the window closes.
  window->close();
  EXPECT_EQ(Settings.reports.lastReport, 0);
}

TEST_F(ReportWindowsTest, NothingSelectedIsRefusedWithItsMessage) {
  Settings.reports.lastReport = 8;  // past the list: nothing selected
  window->show();
  EXPECT_EQ(window->ReportBox->currentRow(), -1);
  ui->answers.push_back(platform::ui::Answer::Ok);
  window->PrintButton->click();
  ASSERT_EQ(ui->MessageTexts(), std::vector<std::string>{std::string(kNoReportSelected)});
  EXPECT_EQ(ui->calls.back().message.caption, "Error");
  EXPECT_TRUE(ui->calls.back().message.beep);
}

TEST_F(ReportWindowsTest, ASearchIsKeptOrLiftedForTheRunAndIsOnAgainAfterwards) {
  framework::TTable& t = main->MyTable;
  t.SetOnFilterRecord([](framework::TDataSet& d, bool& accept) {
    accept = !SearchActive || d.FieldByName("Category")->AsString() == "Tools";
  });
  t.SetFiltered(true);
  main->EnableEndSearch();
  t.Refresh();
  ASSERT_EQ(t.RecordCount(), 1);

  window->show();
  EXPECT_TRUE(window->ExportSearch->isEnabled());
  EXPECT_TRUE(window->ExportSearch->isChecked());
  const std::string filtered = ToFile("Location & Owner Report", root.path() / "SEARCH.TXT");
  EXPECT_EQ(filtered.find("Camera"), std::string::npos);
  EXPECT_NE(filtered.find("Drill"), std::string::npos);

  window->ExportEntire->setChecked(true);
  const std::string entire = ToFile("Location & Owner Report", root.path() / "ENTIRE.TXT");
  for (const char* item : {"Camera", "Television", "Sofa", "Drill"}) EXPECT_NE(entire.find(item), std::string::npos);
  EXPECT_TRUE(SearchActive);
  EXPECT_TRUE(main->MenuEndSearch->isEnabled());
  EXPECT_EQ(t.RecordCount(), 1);
}

TEST_F(ReportWindowsTest, CancelStopsTheRunAndItsStatusSaysSo) {
  for (int i = 0; i < 300; ++i) AddItem({"Bulk", "Item " + std::to_string(i), "Attic", "1.00", "1.00", "1", "1.00", "", "", "", "", "", "", ""});
  window->show();
  Select("Medium Large Report");
  ui->files.push_back(FileDialogResult{true, (root.path() / "CANCEL.TXT").string(), 1});
  Run(window->FileButton, [](TReportForm& form) { form.BitBtn1->click(); });
  EXPECT_TRUE(window->LastRunAborted());
  EXPECT_EQ(finalStatus, "\nReport Canceled!");
  bool sawPage = false;
  for (const std::string& s : statuses) sawPage |= s.rfind("Printing Page", 0) == 0;
  EXPECT_TRUE(sawPage);
  // The run stopped after its first page; the file holds what was done.
  const std::string file = TempRoot::ReadFile(root.path() / "CANCEL.TXT");
  EXPECT_NE(file.find("Page 1 "), std::string::npos);
  EXPECT_EQ(file.find("Page 2 "), std::string::npos);
}

TEST_F(ReportWindowsTest, AFileThatCannotBeWrittenIsNamedInAnErrorAndTheRunCanceled) {
  window->show();
  const fs::path file = root.path() / "MISSING" / "REPORT.TXT";
  Select("Short Narrow Report");
  ui->files.push_back(FileDialogResult{true, file.string(), 1});
  ui->answers.push_back(platform::ui::Answer::Ok);
  Run(window->FileButton);
  ASSERT_EQ(ui->MessageTexts().size(), 1u);
  EXPECT_NE(ui->MessageTexts()[0].find(file.string()), std::string::npos) << ui->MessageTexts()[0];
  EXPECT_EQ(ui->MessageCaptions()[0], "Error");
  EXPECT_EQ(finalStatus, "\nReport Canceled!");
  EXPECT_FALSE(fs::exists(file));
}

TEST_F(ReportWindowsTest, AHandMadeDefinitionWithImpossibleValuesPrintsToAFile) {
  ReportDefinition def = DefaultReportDefinitions()[0];
  def.name = "Damaged";
  def.charsPerLine = 0;
  def.bodyLines[0].cells[0].fieldNumber = 99;
  def.totalsLine.cells[2].fieldNumber = 99;
  ASSERT_TRUE(ReportFile::InDirectory(ProgramDir).Create({def}).ok());
  window->LoadReportBox();
  window->show();
  const std::string file = ToFile("Damaged", root.path() / "DAMAGED.TXT");
  EXPECT_NE(file.find("GRAND TOTALS"), std::string::npos);
  EXPECT_EQ(finalStatus, "\nReport Completed!");
}

TEST_F(ReportWindowsTest, PrintGivesOnePdfPageAndThePageLooksLikeTheReport) {
  window->show();
  Select("Short Narrow Report");
  Run(window->PrintButton);
  // A printer that writes a file: the status names it, and the document is
  // titled by the report.
  const fs::path pdf = root.path() / "REPORT.PDF";
  EXPECT_EQ(finalStatus, "\nReport Completed!\nThe report was written to " + pdf.string() + ".");
  statusPicture.save(QString::fromStdString(report_test::ArtifactPath("report_status_pdf.png")));
  EXPECT_EQ(report_test::PdfPageCount(TempRoot::ReadFile(pdf)), 1);
  const fs::path info = root.path() / "REPORT.INFO";
  if (std::system(("pdfinfo '" + pdf.string() + "' > '" + info.string() + "' 2>/dev/null").c_str()) == 0) {
    const std::string text = TempRoot::ReadFile(info);
    EXPECT_TRUE(std::regex_search(text, std::regex("(^|\n)Title: +Short Narrow Report\n"))) << text;
  }

  // The same page on an image printer, to look at: paper, so the status
  // names no file and the job keeps its name.
  auto images = std::make_shared<report::ImageReportPrinter>(100);
  report::InstallPrinter(images);
  Run(window->PrintButton);
  EXPECT_EQ(finalStatus, "\nReport Completed!");
  EXPECT_EQ(images->Title(), "Test Report");
  ASSERT_EQ(images->Pages().size(), 1u);
  const QImage page = images->Pages().front();
  page.save(QString::fromStdString(report_test::ArtifactPath("short_narrow_report.png")));
  // Ink in the header row, near the top of the body, and on the footer line.
  auto inkInRows = [&page](int from, int to) {
    for (int y = from; y < to; ++y)
      for (int x = 0; x < page.width(); ++x)
        if (qGray(page.pixel(x, y)) < 128) return true;
    return false;
  };
  EXPECT_TRUE(inkInRows(100, 130));   // 1.0 to 1.3 inches, less the 0.25-inch border
  EXPECT_TRUE(inkInRows(970, 1026));  // the footer's bottom line ends 0.5 inch from the edge
}

TEST_F(ReportWindowsTest, ViewShowsTheRecordedReportPageByPageWithItsZoom) {
  window->show();
  Select("Full Report");
  onPreview = [this](TMyPreview& preview) {
    EXPECT_EQ(preview.windowTitle(), "Full Report");
    EXPECT_EQ(preview.PageLabel->text(), "Page 1 of 1");
    preview.SBNextPage->click();
    preview.SBPrevPage->click();
    EXPECT_EQ(preview.PageLabel->text(), "Page 1 of 1");
    EXPECT_EQ(preview.ZoomEdit->text(), "100.0");
    preview.grab().save(QString::fromStdString(report_test::ArtifactPath("tmypreview_100.png")));
    preview.ZoomEdit->setText("500");
    preview.ZoomEditExit();
    EXPECT_EQ(preview.ZoomEdit->text(), "200.0");
    preview.ZoomEdit->setText("abc");
    preview.ZoomEditExit();
    EXPECT_EQ(preview.ZoomEdit->text(), "200.0");
    EXPECT_DOUBLE_EQ(preview.MyStreamPreview.ZoomFactor(), 200);
    preview.DoZoomWholePage();
    preview.grab().save(QString::fromStdString(report_test::ArtifactPath("tmypreview_page.png")));
    // Colour off starts the preview again on page 1, in black and white.
    preview.MenuUseColor->trigger();
    EXPECT_TRUE(preview.MyStreamPreview.Monochrome);
    EXPECT_FALSE(preview.MenuUseColor->isChecked());
    EXPECT_TRUE(preview.MyStreamPreview.Printing());
    EXPECT_EQ(preview.PageLabel->text(), "Page 1 of 1");
  };
  Run(window->ViewButton);
  EXPECT_EQ(finalStatus, "\nReport Completed!");
  EXPECT_EQ(previews, 1);
}

TEST_F(ReportWindowsTest, ACanceledViewShowsNoPreview) {
  window->show();
  Select("Full Report");
  onPreview = [](TMyPreview&) { ADD_FAILURE() << "a preview after Cancel"; };
  Run(window->ViewButton, [](TReportForm& form) { form.BitBtn1->click(); });
  EXPECT_EQ(finalStatus, "\nReport Canceled!");
  EXPECT_EQ(previews, 0);
}

TEST_F(ReportWindowsTest, ALongPreviewStepsThroughItsPagesAndPrintsAllOrARange) {
  for (int i = 0; i < 200; ++i) AddItem({"Bulk", "Item " + std::to_string(i), "Attic", "1.00", "1.00", "1", "1.00", "",
                                         "", "", "", "", "", ""});
  window->show();
  Select("Short Narrow Report");
  int pageCount = 0;
  onPreview = [this, &pageCount](TMyPreview& preview) {
    pageCount = preview.MyStreamPreview.PageCount();
    ASSERT_GT(pageCount, 3);
    for (int page = 2; page <= pageCount; ++page) {
      preview.SBNextPage->click();
      EXPECT_EQ(preview.PageLabel->text().toStdString(), PageLabelText(page, 1, pageCount));
    }
    preview.MenuFirstPage->trigger();
    EXPECT_EQ(preview.PageEdit->text(), "1");
    preview.MenuLastPage->trigger();
    EXPECT_EQ(preview.PageLabel->text().toStdString(), PageLabelText(pageCount, 1, pageCount));

    // The range dialog refuses what is not a page, then prints pages 2-3.
    ui->answers.push_back(platform::ui::Answer::Ok);
    ui->answers.push_back(platform::ui::Answer::Ok);
    WhenReady([this, pageCount] {
      auto* range = qobject_cast<TPrintRange*>(QApplication::activeModalWidget());
      if (!range) return false;
      EXPECT_EQ(range->windowTitle(), "Page Printing");
      EXPECT_EQ(range->EndPage->text().toInt(), pageCount);
      range->grab().save(QString::fromStdString(report_test::ArtifactPath("tprintrange.png")));
      range->StartPage->setText("0");
      range->PrintButton->click();
      range->StartPage->setText("1");
      range->EndPage->setText(QString::number(pageCount + 1));
      range->PrintButton->click();
      range->StartPage->setText("2");
      range->EndPage->setText("3");
      range->PrintButton->click();
      return true;
    });
    preview.PrintRangeClick();
    EXPECT_EQ(ui->MessageTexts(), (std::vector<std::string>{std::string(kBadStartPage), std::string(kBadEndPage)}));
    EXPECT_EQ(report_test::PdfPageCount(TempRoot::ReadFile(root.path() / "REPORT.PDF")), 2);
    preview.PrintReportClick();
    EXPECT_EQ(report_test::PdfPageCount(TempRoot::ReadFile(root.path() / "REPORT.PDF")), pageCount);

    // The same two pages on an image printer, to look at.
    auto images = std::make_shared<report::ImageReportPrinter>(60);
    preview.MyStreamPrinter.SetPrinter(images);
    preview.MyStreamPrinter.PrintPages(2, 3, 1);
    ASSERT_EQ(images->Pages().size(), 2u);
    images->Pages()[0].save(QString::fromStdString(report_test::ArtifactPath("range_page2.png")));
    images->Pages()[1].save(QString::fromStdString(report_test::ArtifactPath("range_page3.png")));
  };
  Run(window->ViewButton);
  EXPECT_EQ(previews, 1);
}

// Answers the next "Print Setup" that comes up: `choose` sets it, then OK
// or Cancel.
void AnswerPrinterSetup(std::function<void(TPrinterSetup&)> choose, bool ok) {
  WhenReady([choose, ok] {
    auto* setup = qobject_cast<TPrinterSetup*>(QApplication::activeModalWidget());
    if (!setup) return false;
    choose(*setup);
    (ok ? setup->OKButton : setup->CancelButton)->click();
    return true;
  });
}

TEST_F(ReportWindowsTest, PrinterSetupInThePreviewHoldsForItsPrintsAndTheMainWindow) {
  auto printer = std::make_shared<report::ImageReportPrinter>(30);
  report::InstallPrinter(printer);
  window->show();
  Select("Full Report");
  onPreview = [this, printer](TMyPreview& preview) {
    EXPECT_TRUE(preview.MenuPrinterSetup->isEnabled());
    // Cancel changes nothing, though the dialog was changed.
    AnswerPrinterSetup([](TPrinterSetup& s) {
      EXPECT_EQ(s.windowTitle(), "Print Setup");
      EXPECT_EQ(s.PrinterName->text(), "Image Printer");
      EXPECT_TRUE(s.Portrait->isChecked());
      s.Landscape->setChecked(true);
      s.Copies->setValue(3);
    }, false);
    preview.activateWindow();
    QApplication::processEvents();
    QTest::keyClick(&preview, Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(printer->Orientation(), report::poPortrait);
    EXPECT_EQ(printer->Copies(), 1);
    preview.PrintReportClick();
    ASSERT_EQ(printer->Pages().size(), 1u);
    EXPECT_LT(printer->Pages()[0].width(), printer->Pages()[0].height());

    // OK: landscape, three copies, through the File menu.
    AnswerPrinterSetup([](TPrinterSetup& s) {
      s.Landscape->setChecked(true);
      s.Copies->setValue(3);
    }, true);
    preview.MenuPrinterSetup->trigger();
    EXPECT_EQ(printer->Orientation(), report::poLandScape);
    EXPECT_EQ(printer->Copies(), 3);
    preview.PrintReportClick();
    ASSERT_EQ(printer->Pages().size(), 1u);
    EXPECT_GT(printer->Pages()[0].width(), printer->Pages()[0].height());
    EXPECT_EQ(printer->Copies(), 3);
    printer->Pages()[0].save(QString::fromStdString(report_test::ArtifactPath("preview_setup_landscape.png")));
    preview.PrintPageClick();
    ASSERT_EQ(printer->Pages().size(), 1u);
    EXPECT_GT(printer->Pages()[0].width(), printer->Pages()[0].height());
  };
  Run(window->ViewButton);
  ASSERT_EQ(previews, 1);
  window->close();

  // The main window's Print Setup opens on what the preview chose.
  bool asked = false;
  AnswerPrinterSetup([&asked](TPrinterSetup& s) {
    asked = true;
    EXPECT_TRUE(s.Landscape->isChecked());
  }, false);
  main->MenuPrinterSetup->trigger();
  EXPECT_TRUE(asked);
  EXPECT_EQ(printer->Orientation(), report::poLandScape);
}

TEST_F(ReportWindowsTest, ThePreviewKeepsItsBoundsForTheNextOneAndTheSettingsFile) {
  window->show();
  Select("Full Report");
  onPreview = [](TMyPreview& preview) { preview.setGeometry(40, 50, 500, 400); };
  Run(window->ViewButton);
  const QRect moved(Settings.reports.viewLeft, Settings.reports.viewTop, Settings.reports.viewWidth,
                    Settings.reports.viewHeight);
  EXPECT_EQ(moved.size(), QSize(500, 400));
  onPreview = [moved](TMyPreview& preview) { EXPECT_EQ(preview.geometry(), moved); };
  Run(window->ViewButton);
  window->close();
  main->close();
  platform::IniFile ini(platform::WindowsDir() / "KELDRO.INI");
  ASSERT_TRUE(ini.Load());
  EXPECT_EQ(ini.Get("Reports", "Report Viewing Window Width").value_or(""), "500");
  EXPECT_EQ(ini.Get("Reports", "Report Viewing Window Height").value_or(""), "400");
}

TEST_F(ReportWindowsTest, InsuranceInformationIsKeptCutAndEndsTheReport) {
  window->show();
  WhenReady([] {
    auto* ins = qobject_cast<TMyInsurance*>(QApplication::activeModalWidget());
    if (!ins) return false;
    EXPECT_EQ(ins->windowTitle(), "Insurance Information");
    ins->InsCo->setText(QString(45, 'C'));
    ins->YourName->setText("Pat Doe");
    ins->PrintStatement->setChecked(true);
    ins->grab().save(QString::fromStdString(report_test::ArtifactPath("tmyinsurance.png")));
    ins->Button1->click();
    return true;
  });
  window->InsButton->click();
  EXPECT_EQ(Settings.reports.insuranceCompany, std::string(40, 'C'));
  EXPECT_TRUE(Settings.reports.printStatement);
  const std::string file = ToFile("Short Narrow Report", root.path() / "STATEMENT.TXT");
  const std::string today = framework::DateToStr(framework::Date());
  const std::string statement = Join({"", "As of this date, " + today + ", this is a true and accurate inventory of my home.",
                                      "", std::string(35, '_'), "Pat Doe", "", PageFooter(1, today)});
  ASSERT_GE(file.size(), statement.size());
  EXPECT_EQ(file.substr(file.size() - statement.size()), statement);
}

TEST_F(ReportWindowsTest, ReportsPrintAndBothButtonsOpenTheSelectionWindow) {
  main->show();
  int opened = 0;
  auto closeWhenShown = [this, &opened] {
    WhenReady([this, &opened] {
      if (QApplication::activeModalWidget() != window) return false;
      ++opened;
      window->close();
      return true;
    });
  };
  EXPECT_EQ(main->MenuReports->shortcut(), QKeySequence("Ctrl+R"));
  EXPECT_EQ(main->MenuPrint->shortcut(), QKeySequence("Ctrl+P"));
  closeWhenShown();
  main->MenuReports->trigger();
  closeWhenShown();
  main->MenuPrint->trigger();
  closeWhenShown();
  main->SpeedReports->click();
  EXPECT_EQ(opened, 3);
}

TEST(SortOrderText, NamesTheLevelsInUseByTheirTitles) {
  AppSettings settings;
  settings.fields[11].title = "Kind";
  SortLevels levels;
  levels.levels = {12, 0, 1, 0};
  EXPECT_EQ(SortOrderText(levels, settings), "Kind, Item");
  levels.levels = {0, 0, 0, 0};
  EXPECT_EQ(SortOrderText(levels, settings), "No Sort Order Selected");
  levels.levels = {99, 0, 0, 0};
  EXPECT_EQ(SortOrderText(levels, settings), "No Sort Order Selected");
}

// ------------------------------------------------------------ the editor

TUserReport* Editor() { return qobject_cast<TUserReport*>(QApplication::activeModalWidget()); }

class ReportEditorTest : public ReportWindowsTest {
 protected:
  fs::path File() const { return ProgramDir / "KELDRO.URP"; }
  // Opens the editor with Modify (or New) and runs `step` in it.
  void Edit(QPushButton* button, const std::string& report, std::function<void(TUserReport&)> step) {
    if (!report.empty()) Select(report);
    bool ran = false;
    WhenReady([step, &ran] {
      TUserReport* editor = Editor();
      if (!editor) return false;
      ran = true;
      step(*editor);
      if (Editor() == editor) editor->close();
      return true;
    });
    button->click();
    EXPECT_TRUE(ran);
  }
  ReportDefinition Record(size_t i) {
    ReportDefinition d;
    EXPECT_TRUE(ReportFile::InDirectory(ProgramDir).Read(i, d).ok());
    return d;
  }
};

TEST_F(ReportEditorTest, ModifyToAHundredAndTwentyCharactersStoresTheRebalancedRecord) {
  window->show();
  const std::string before = TempRoot::ReadFile(File());
  // Cancel writes nothing.
  Edit(window->ModifyButton, "Short Narrow Report", [this](TUserReport& e) {
    ui->answers.push_back(platform::ui::Answer::Ok);
    e.Chars120->click();
    e.CancelButton->click();
  });
  EXPECT_EQ(TempRoot::ReadFile(File()), before);

  Edit(window->ModifyButton, "Short Narrow Report", [this](TUserReport& e) {
    EXPECT_EQ(e.windowTitle(), "Report Definition");
    EXPECT_TRUE(e.Chars90->isChecked());
    EXPECT_EQ(e.RepBodyDataFont->text(), "Arial 10pt");
    ui->answers.push_back(platform::ui::Answer::Ok);
    e.Chars120->click();
    EXPECT_EQ(ui->MessageTexts().back(), std::string(kBodyFont120));
    EXPECT_EQ(ui->MessageCaptions().back(), "Notice");
    EXPECT_EQ(e.RepBodyDataFont->text(), "Arial 8pt");
    e.grab().save(QString::fromStdString(report_test::ArtifactPath("tuserreport.png")));
    e.UpdateButton->click();
  });
  const ReportDefinition d = Record(0);
  EXPECT_EQ(d.charsPerLine, 120);
  EXPECT_EQ(d.fonts[2].size, 8);
  for (size_t slot : {0u, 1u, 4u}) EXPECT_EQ(d.fonts[slot].size, 10);
  EXPECT_EQ(d.bodyLines[0].cells[5].partName, "<FILLER>");
  EXPECT_EQ(d.bodyLines[0].cells[5].width, 30);
  EXPECT_EQ(window->ReportBox->currentRow(), 0);
}

TEST_F(ReportEditorTest, ALineCountPastTwelveIsRefusedAndTheFileStaysAsItWas) {
  window->show();
  const std::string before = TempRoot::ReadFile(File());
  Edit(window->ModifyButton, "Short Wide Report", [this](TUserReport& e) {
    e.NumLines->setText("13");
    e.NumLinesExit();
    EXPECT_FALSE(e.ColumnHeaders->isEnabled());
    ui->answers.push_back(platform::ui::Answer::Ok);
    ui->answers.push_back(platform::ui::Answer::Ok);
    e.Chars90->click();  // walks at most twelve lines
    ui->answers.push_back(platform::ui::Answer::Ok);
    e.UpdateButton->click();
    EXPECT_EQ(ui->MessageTexts().back(), std::string(kNumLinesOutOfRange));
    EXPECT_EQ(ui->MessageCaptions().back(), "Notice");
    EXPECT_TRUE(ui->calls.back().message.beep);
    EXPECT_EQ(Editor(), &e) << "the editor stays open";
  });
  EXPECT_EQ(TempRoot::ReadFile(File()), before);
}

TEST_F(ReportEditorTest, MarginsThatAreNoNumberOrLeaveNoBodyAreRefused) {
  window->show();
  const std::string before = TempRoot::ReadFile(File());
  Edit(window->ModifyButton, "Full Report", [this](TUserReport& e) {
    for (const char* bad : {"abc", "-1", "9.5"}) {
      e.BottomMargin->setText(bad);
      ui->answers.push_back(platform::ui::Answer::Ok);
      e.UpdateButton->click();
      EXPECT_EQ(ui->MessageTexts().back(), std::string(kBadMargins)) << bad;
    }
  });
  EXPECT_EQ(TempRoot::ReadFile(File()), before);
}

TEST_F(ReportEditorTest, ARenamedDefinitionIsAppendedOrOverwrittenAsAnswered) {
  window->show();
  auto rename = [this](platform::ui::Answer answer, const char* name) {
    Edit(window->ModifyButton, "Medium Report", [this, answer, name](TUserReport& e) {
      e.ReportName->setText(name);
      e.ReportNameExit();
      EXPECT_FALSE(e.DeleteButton->isEnabled());
      ui->answers.push_back(answer);
      e.UpdateButton->click();
      EXPECT_EQ(ui->MessageTexts().back(), std::string(kTitleChangedQuestion));
    });
  };
  const std::string before = TempRoot::ReadFile(File());
  rename(platform::ui::Answer::Cancel, "Medium Copy");
  EXPECT_EQ(TempRoot::ReadFile(File()), before);
  rename(platform::ui::Answer::Yes, "Medium Copy");
  EXPECT_EQ(ReportFile::InDirectory(ProgramDir).Count(), 9u);
  EXPECT_EQ(Record(2).name, "Medium Report");
  EXPECT_EQ(Record(8).name, "Medium Copy");
  EXPECT_EQ(window->ReportBox->count(), 9);
  EXPECT_EQ(window->ReportBox->currentRow(), 8);
  rename(platform::ui::Answer::No, "Medium Renamed");
  EXPECT_EQ(Record(2).name, "Medium Renamed");
  EXPECT_EQ(window->ReportBox->item(2)->text(), "Medium Renamed");
}

TEST_F(ReportEditorTest, DeletingTheFirstDefinitionMovesTheOthersDown) {
  window->show();
  Edit(window->ModifyButton, "Short Narrow Report", [this](TUserReport& e) {
    ui->answers.push_back(platform::ui::Answer::Yes);
    e.DeleteButton->click();
  });
  EXPECT_EQ(fs::file_size(File()), 144354u);
  EXPECT_EQ(Record(0).name, "Short Wide Report");
  EXPECT_EQ(window->ReportBox->item(0)->text(), "Short Wide Report");
  EXPECT_EQ(window->ReportBox->count(), 7);
}

TEST_F(ReportEditorTest, ANewDefinitionIsAppended) {
  window->show();
  Edit(window->NewButton, "", [](TUserReport& e) {
    EXPECT_FALSE(e.DeleteButton->isEnabled());
    EXPECT_TRUE(e.Chars90->isChecked());
    e.ReportName->setText("My Own");
    e.UpdateButton->click();
  });
  EXPECT_EQ(Record(8).name, "My Own");
  EXPECT_EQ(Record(8).charsPerLine, 90);
}

TEST_F(ReportEditorTest, ModifyWithTheFileGoneSaysSoAndStays) {
  window->show();
  Select("Full Report");
  fs::remove(File());
  ui->answers.push_back(platform::ui::Answer::Ok);
  window->ModifyButton->click();
  EXPECT_EQ(ui->MessageTexts(), std::vector<std::string>{std::string(kReportFormatMissing)});
  EXPECT_FALSE(fs::exists(File()));
}

TEST_F(ReportEditorTest, TheCellEditorRefusesABadWidthAndAZeroWidthFillsTheLine) {
  ReportDefinition work = DefaultReportDefinitions()[0];
  std::array<std::string, 22> titles;
  for (size_t i = 0; i < titles.size(); ++i) titles[i] = std::string(ItemFields[i].title);
  TReportPart part(nullptr, work, 1, 2, 90, titles);
  part.show();
  EXPECT_EQ(part.SelPartLabel->text(), "Line 1, Item 2");
  EXPECT_TRUE(part.RadioField->isChecked());
  EXPECT_EQ(part.FieldList->currentRow(), 4);  // Location
  part.grab().save(QString::fromStdString(report_test::ArtifactPath("treportpart.png")));
  part.FieldWidth->setText("x");
  ui->answers.push_back(platform::ui::Answer::Ok);
  part.OkButtonClick();
  EXPECT_EQ(ui->MessageTexts().back(), std::string(kInvalidWidth));
  EXPECT_EQ(ui->MessageCaptions().back(), "Error");
  EXPECT_EQ(work, DefaultReportDefinitions()[0]);
  part.FieldWidth->setText("0");
  part.OkButtonClick();
  EXPECT_EQ(work.bodyLines[0].cells[1].width, 58);
  EXPECT_EQ(work.bodyLines[0].cells[2].width, 0);
}

TEST_F(ReportEditorTest, ADamagedDefinitionOpensDrawsItsLayoutAndPreviews) {
  ReportDefinition def = DefaultReportDefinitions()[0];
  def.name = "Damaged";
  def.charsPerLine = 0;
  def.bodyLines[0].cells[0].fieldNumber = 99;
  ASSERT_TRUE(ReportFile::InDirectory(ProgramDir).Create({def}).ok());
  const std::string before = TempRoot::ReadFile(File());
  window->LoadReportBox();
  window->show();
  Edit(window->ModifyButton, "Damaged", [](TUserReport& e) {
    EXPECT_TRUE(e.Chars120->isChecked());
    std::array<std::string, 22> titles;
    for (size_t i = 0; i < titles.size(); ++i) titles[i] = Settings.fields[i].title;
    TRepLayout layout(&e, *ReportDefinitionBuffer, e.CheckedWidth(), true, titles);
    layout.show();
    layout.grab().save(QString::fromStdString(report_test::ArtifactPath("treplayout_damaged.png")));
    EXPECT_EQ(layout.Layout->CalcPosition(layout.Layout->RowRect(1).topLeft() + QPoint(2, 2)),
              std::make_pair(1, 1));
    e.CancelButton->click();
  });
  EXPECT_EQ(TempRoot::ReadFile(File()), before);
  onPreview = [](TMyPreview& preview) { EXPECT_EQ(preview.PageLabel->text(), "Page 1 of 1"); };
  Select("Damaged");
  Run(window->ViewButton);
  EXPECT_EQ(previews, 1);
}

TEST_F(ReportEditorTest, TheLayoutShowsEachCellAndAClickEditsIt) {
  ReportDefinition def = DefaultReportDefinitions()[2];  // "Medium Report": labels, fillers, fields
  std::array<std::string, 22> titles;
  for (size_t i = 0; i < titles.size(); ++i) titles[i] = std::string(ItemFields[i].title);
  TRepLayout layout(nullptr, def, 120, true, titles);
  layout.show();
  EXPECT_EQ(layout.CaptionLabel->text(), "Report: Medium Report");
  layout.grab().save(QString::fromStdString(report_test::ArtifactPath("treplayout.png")));
  // A click on the first cell of line 2 opens the cell editor there.
  WhenReady([] {
    auto* part = qobject_cast<TReportPart*>(QApplication::activeModalWidget());
    if (!part) return false;
    EXPECT_EQ(part->SelPartLabel->text(), "Line 2, Item 1");
    EXPECT_TRUE(part->RadioLabel->isChecked());
    EXPECT_EQ(part->LabelName->text(), "Brand:");
    part->LabelName->setText("Make:");
    part->OkButtonClick();
    return true;
  });
  const QPoint at = layout.Layout->RowRect(2).topLeft() + QPoint(3, 5);
  QMouseEvent press(QEvent::MouseButtonPress, at, layout.Layout->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton,
                    Qt::NoModifier);
  QMouseEvent release(QEvent::MouseButtonRelease, at, layout.Layout->mapToGlobal(at), Qt::LeftButton,
                      Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(layout.Layout, &press);
  QApplication::sendEvent(layout.Layout, &release);
  EXPECT_EQ(layout.WorkCopy().bodyLines[1].cells[0].labelText, "Make:");
  EXPECT_EQ(def.bodyLines[1].cells[0].labelText, "Brand:") << "only OK copies the work back";
  layout.OkButtonClick();
  EXPECT_EQ(def.bodyLines[1].cells[0].labelText, "Make:");
}

TEST_F(ReportEditorTest, TheFontDialogOffersSixToSixteenPointsAndColours) {
  ReportFont font{"Arial", 8, true, false, false, false, 0x0000FF};
  TReportFontDialog dialog(nullptr, font);
  dialog.show();
  EXPECT_EQ(dialog.FontSize->count(), 11);
  EXPECT_EQ(dialog.FontSize->itemText(0), "6");
  EXPECT_EQ(dialog.FontSize->itemText(10), "16");
  EXPECT_EQ(dialog.FontColor->currentText(), "Red");
  dialog.Underline->setChecked(true);
  dialog.StrikeOut->setChecked(true);
  dialog.FontSize->setCurrentIndex(10);
  dialog.grab().save(QString::fromStdString(report_test::ArtifactPath("font_dialog.png")));
  const ReportFont chosen = dialog.Chosen();
  EXPECT_EQ(chosen.size, 16);
  EXPECT_EQ(chosen.name, "Arial") << "kept while the user picks no other font";
  EXPECT_TRUE(chosen.bold && chosen.underline && chosen.strikeOut);
  EXPECT_EQ(chosen.color, 0x0000FF);
}

TEST_F(ReportEditorTest, ReportFontsChangesTheSlotItsRowShows) {
  ReportDefinition def = DefaultReportDefinitions()[0];
  TReportFonts fonts(nullptr, def);
  fonts.show();
  EXPECT_EQ(fonts.windowTitle(), "Report Fonts");
  EXPECT_EQ(fonts.Descriptions[3]->text(), "Arial 10pt");
  fonts.grab().save(QString::fromStdString(report_test::ArtifactPath("treportfonts.png")));
  WhenReady([] {
    auto* dialog = qobject_cast<TReportFontDialog*>(QApplication::activeModalWidget());
    if (!dialog) return false;
    dialog->FontSize->setCurrentIndex(0);  // 6 points
    dialog->Italic->setChecked(true);
    dialog->OkButton->click();
    return true;
  });
  fonts.ChooseFont(3);  // the footnotes: slot 5
  EXPECT_EQ(def.fonts[4].size, 6);
  EXPECT_TRUE(def.fonts[4].italic);
  EXPECT_EQ(def.fonts[3], DefaultReportDefinitions()[0].fonts[3]) << "slot 4 is never changed";
  EXPECT_EQ(fonts.Descriptions[3]->text(), "Arial 6pt");
}

// The editor's four windows at two scales: scaled from their design, centred
// on their screen, in the report colours.
TEST_F(ReportEditorTest, TheEditorsWindowsAreScaledCentredAndInTheReportColours) {
  Settings.colors[3].colors[0] = 0x00800000;  // background: navy
  Settings.colors[3].colors[1] = 0x000000FF;  // major titles: red
  Settings.colors[3].colors[3] = 0x0000FFFF;  // edit background: yellow
  ReportDefinition def = DefaultReportDefinitions()[2];
  std::array<std::string, 22> titles;
  for (size_t i = 0; i < titles.size(); ++i) titles[i] = std::string(ItemFields[i].title);
  for (double scale : {1.0, 1.6}) {
    ScaleFactor = scale;
    const std::string suffix = scale == 1.0 ? "_100.png" : "_160.png";
    TReportPart part(nullptr, def, 1, 2, 120, titles);
    TRepLayout layout(nullptr, def, 120, true, titles);
    TReportFonts fonts(nullptr, def);
    TReportFontDialog font(nullptr, def.fonts[0]);
    struct Window {
      QDialog* window;
      const char* name;
      int designWidth;
      QWidget* edit;
    };
    for (const Window& w : {Window{&part, "treportpart", 400, part.LabelName},
                            Window{&layout, "treplayout", 640, nullptr},
                            Window{&fonts, "treportfonts", 420, fonts.Descriptions[0]},
                            Window{&font, "treportfontdialog", 380, font.FontSize}}) {
      SCOPED_TRACE(std::string(w.name) + " at " + std::to_string(scale));
      w.window->show();
      EXPECT_EQ(w.window->width(), qRound(w.designWidth * scale));
      const QSize screen = w.window->screen()->size();
      EXPECT_NEAR(w.window->frameGeometry().center().x(), screen.width() / 2, 1);
      EXPECT_NEAR(w.window->frameGeometry().center().y(), screen.height() / 2, 1);
      EXPECT_EQ(w.window->palette().color(QPalette::Window), QColor(0, 0, 128));
      if (w.edit) {
        EXPECT_EQ(w.edit->palette().color(QPalette::Base), QColor(255, 255, 0));
      }
      w.window->grab().save(QString::fromStdString(report_test::ArtifactPath(w.name + suffix)));
      w.window->hide();
    }
    EXPECT_EQ(part.SelPartLabel->palette().color(QPalette::WindowText), QColor(255, 0, 0));
    EXPECT_EQ(layout.CaptionLabel->palette().color(QPalette::WindowText), QColor(255, 0, 0));
    // The picture's rows grow with the form.
    EXPECT_EQ(layout.Layout->RowRect(1), QRect(qRound(8 * scale), qRound(6 * scale),
                                               layout.Layout->width() - 2 * qRound(8 * scale), qRound(26 * scale)));
  }
  ScaleFactor = 1.0;
}

}  // namespace
}  // namespace keldro::reports
