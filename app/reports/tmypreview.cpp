#include "reports/tmypreview.h"

#include <QAction>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QScrollArea>
#include <QShortcut>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include "app_state.h"
#include "platform/ui.h"
#include "reports/preview_rules.h"
#include "reports/tprintrange.h"
#include "tdialog.h"
#include "tprintersetup.h"
#include "ui_utilities.h"

namespace keldro::reports {

namespace ui = platform::ui;

TMyPreview::TMyPreview(QWidget* parent, report::ByteStream& stream)
    : QDialog(parent), MyStreamPreview(report::InstalledPrinter()), MyStreamPrinter(report::InstalledPrinter()) {
  setObjectName("MyPreview");
  setModal(true);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  MainMenu = new QMenuBar(this);
  MainMenu->setObjectName("MainMenu");
  layout->setMenuBar(MainMenu);

  Panel2 = new QFrame(this);
  Panel2->setObjectName("Panel2");
  Panel2->setFrameShape(QFrame::Panel);
  Panel2->setFrameShadow(QFrame::Raised);
  Panel2->setFixedHeight(36);
  layout->addWidget(Panel2);
  int left = 4;
  auto speed = [this, &left](QToolButton*& b, const char* name, const char* text, const char* hint) {
    b = new QToolButton(Panel2);
    b->setObjectName(name);
    b->setText(text);
    b->setToolTip(hint);
    b->setGeometry(left, 4, 28, 28);
    left += 30;
  };
  speed(SBZoomIn, "SBZoomIn", "+", "Zoom In");
  speed(SBZoomOut, "SBZoomOut", "-", "Zoom Out");
  speed(SBZoomPageWidth, "SBZoomPageWidth", "\u2194", "Zoom Page Width");
  speed(SBZoomPage, "SBZoomPage", "\u25a1", "Zoom Whole Page");
  left += 6;
  speed(SBPrevPage, "SBPrevPage", "<", "Prev Page");
  speed(SBNextPage, "SBNextPage", ">", "Next Page");
  left += 6;
  speed(SBPrint, "SBPrint", "P", "Print Page");
  speed(SBDone, "SBDone", "X", "Done");
  left += 8;
  auto label = [this](QLabel*& l, const char* name, const char* text, int x, int w) {
    l = new QLabel(text, Panel2);
    l->setObjectName(name);
    l->setGeometry(x, 9, w, 18);
  };
  label(ZoomLabel, "ZoomLabel", "Zoom %", left, 48);
  ZoomEdit = new QLineEdit(Panel2);
  ZoomEdit->setObjectName("ZoomEdit");
  ZoomEdit->setGeometry(left + 50, 6, 52, 24);
  label(PageNumberLabel, "PageNumberLabel", "Page #", left + 110, 46);
  PageEdit = new QLineEdit(Panel2);
  PageEdit->setObjectName("PageEdit");
  PageEdit->setGeometry(left + 158, 6, 44, 24);
  label(PageLabel, "PageLabel", "Page 1 of 1", left + 210, 120);

  ScrollBox1 = new QScrollArea(this);
  ScrollBox1->setObjectName("ScrollBox1");
  ScrollBox1->setBackgroundRole(QPalette::Dark);
  layout->addWidget(ScrollBox1, 1);

  for (report::TStreamPrinter* p : {static_cast<report::TStreamPrinter*>(&MyStreamPreview), &MyStreamPrinter}) {
    p->StreamMode = report::smUser;
    p->Stream = &stream;
  }
  MyStreamPreview.ScrollBox = ScrollBox1;
  MyStreamPreview.MarginPercent = 2.5;
  MyStreamPreview.OnPageChange = [this](report::TStreamPreview&) { MyStreamPreviewPageChange(); };
  MyStreamPreview.OnZoomChange = [this](report::TStreamPreview&) { MyStreamPreviewZoomChange(); };

  connect(SBZoomIn, &QToolButton::clicked, this, [this] { MyStreamPreview.ZoomIn(); });
  connect(SBZoomOut, &QToolButton::clicked, this, [this] { MyStreamPreview.ZoomOut(); });
  connect(SBZoomPageWidth, &QToolButton::clicked, this, [this] { DoZoomPageWidth(); });
  connect(SBZoomPage, &QToolButton::clicked, this, [this] { DoZoomWholePage(); });
  connect(SBPrevPage, &QToolButton::clicked, this, [this] { MyStreamPreview.PrevPage(); });
  connect(SBNextPage, &QToolButton::clicked, this, [this] { MyStreamPreview.NextPage(); });
  connect(SBPrint, &QToolButton::clicked, this, [this] { PrintPageClick(); });
  connect(SBDone, &QToolButton::clicked, this, [this] { close(); });
  connect(ZoomEdit, &QLineEdit::editingFinished, this, [this] { ZoomEditExit(); });
  connect(PageEdit, &QLineEdit::editingFinished, this, [this] { PageEditExit(); });
  CreateMenus();
  MenuShortcutsFirst(this, MainMenu);

  // FormCreate: the kept bounds and the definition's name.
  const ReportSettings& r = Settings.reports;
  setGeometry(r.viewLeft, r.viewTop, std::max(r.viewWidth, 200), std::max(r.viewHeight, 150));
  if (ReportDefinitionBuffer) setWindowTitle(report::FromAnsi(ReportDefinitionBuffer->name));
}

TMyPreview::~TMyPreview() = default;

void TMyPreview::CreateMenus() {
  auto item = [this](QMenu* menu, const char* name, const char* caption, const char* key) {
    QAction* a = menu->addAction(QString::fromUtf8(caption));
    a->setObjectName(name);
    if (key) a->setShortcut(QKeySequence(key));
    addAction(a);  // the shortcuts work while an edit has the focus
    return a;
  };
  QMenu* file = MainMenu->addMenu("&File");
  MenuPrintPage = item(file, "MenuPrintPage", "&Print Page", "Ctrl+P");
  MenuPrintReport = item(file, "MenuPrintReport", "Print &Report", "Ctrl+R");
  MenuPrintRange = item(file, "MenuPrintRange", "Print Ran&ge", "Ctrl+G");
  MenuPrinterSetup = item(file, "MenuPrinterSetup", "Printer &Setup", "Ctrl+S");
  file->addSeparator();
  MenuExit = item(file, "MenuExit", "E&xit", "Ctrl+X");
  QMenu* navigate = MainMenu->addMenu("&Navigate");
  MenuPrevPage = item(navigate, "MenuPrevPage", "&Previous Page", "Ctrl+E");
  MenuNextPage = item(navigate, "MenuNextPage", "&Next Page", "Ctrl+N");
  MenuFirstPage = item(navigate, "MenuFirstPage", "&First Page", "Ctrl+F");
  MenuLastPage = item(navigate, "MenuLastPage", "&Last Page", "Ctrl+L");
  QMenu* view = MainMenu->addMenu("&View");
  MenuUseColor = item(view, "MenuUseColor", "Use Color", "Ctrl+C");
  MenuUseColor->setCheckable(true);
  MenuUseColor->setChecked(true);
  QMenu* in = view->addMenu("Zoom &In");
  QMenu* out = view->addMenu("Zoom &Out");
  auto zoom = [this](QMenu* menu, const char* caption, double factor) {
    QAction* a = menu->addAction(caption);
    connect(a, &QAction::triggered, this, [this, factor] {
      MyStreamPreview.SetZoomFactor(factor);
      MyStreamPreview.RedrawPage();
    });
  };
  zoom(in, "&1 : 1", 100);
  zoom(in, "&2 : 1", 200);
  zoom(out, "1 : &1", 100);
  zoom(out, "1 : &2", 50);
  zoom(out, "1 : &3", 33.3);
  zoom(out, "1 : &4", 25);
  zoom(out, "1 : &5", 20);
  // The submenus' own keys step the zoom.
  connect(new QShortcut(QKeySequence("Ctrl+I"), this), &QShortcut::activated, this, [this] { MyStreamPreview.ZoomIn(); });
  connect(new QShortcut(QKeySequence("Ctrl+O"), this), &QShortcut::activated, this, [this] { MyStreamPreview.ZoomOut(); });
  MenuZoomPageWidth = item(view, "MenuZoomPageWidth", "Zoom &Page Width", "Ctrl+Z");
  MenuZoomWholePage = item(view, "MenuZoomWholePage", "Zoom &Whole Page", "Ctrl+W");

  connect(MenuPrintPage, &QAction::triggered, this, [this] { PrintPageClick(); });
  connect(MenuPrintReport, &QAction::triggered, this, [this] { PrintReportClick(); });
  connect(MenuPrintRange, &QAction::triggered, this, [this] { PrintRangeClick(); });
  connect(MenuPrinterSetup, &QAction::triggered, this, [this] { PrinterSetupClick(); });
  connect(MenuExit, &QAction::triggered, this, [this] { close(); });
  connect(MenuPrevPage, &QAction::triggered, this, [this] { MyStreamPreview.PrevPage(); });
  connect(MenuNextPage, &QAction::triggered, this, [this] { MyStreamPreview.NextPage(); });
  connect(MenuFirstPage, &QAction::triggered, this, [this] { MyStreamPreview.PlayPage(1); });
  connect(MenuLastPage, &QAction::triggered, this, [this] { MyStreamPreview.PlayPage(MyStreamPreview.PageCount()); });
  connect(MenuUseColor, &QAction::triggered, this, [this] { UseColorClick(); });
  connect(MenuZoomPageWidth, &QAction::triggered, this, [this] { DoZoomPageWidth(); });
  connect(MenuZoomWholePage, &QAction::triggered, this, [this] { DoZoomWholePage(); });
}

void TMyPreview::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  // Started once, when the window is first up; dialogs closing over it do
  // not start it again.
  if (!started_) QTimer::singleShot(0, this, &TMyPreview::FormActivate);
}

void TMyPreview::FormActivate() {
  if (started_) return;
  started_ = true;
  try {
    MyStreamPreview.Start();
  } catch (const std::exception& e) {
    ui::ShowMessage(e.what(), "Error", ui::Buttons::Ok, ui::Icon::Error);
  }
}

void TMyPreview::done(int result) {
  FormClose();
  QDialog::done(result);
}

void TMyPreview::FormClose() {
  if (MyStreamPreview.Printing()) MyStreamPreview.Finish();
  ReportSettings& r = Settings.reports;
  r.viewLeft = x();
  r.viewTop = y();
  r.viewWidth = width();
  r.viewHeight = height();
}

void TMyPreview::MyStreamPreviewPageChange() {
  const int page = MyStreamPreview.PageNumber();
  PageEdit->setText(QString::number(page));
  PageLabel->setText(QString::fromStdString(
      PageLabelText(page, MyStreamPreview.Header().firstPage, MyStreamPreview.PageCount())));
}

void TMyPreview::MyStreamPreviewZoomChange() {
  ZoomEdit->setText(QString::fromStdString(ZoomText(MyStreamPreview.ZoomFactor())));
  MyStreamPreview.RedrawPage();
}

void TMyPreview::ZoomEditExit() {
  const std::optional<double> zoom = ParseRealNumber(ZoomEdit->text().toStdString());
  if (zoom && *zoom != MyStreamPreview.ZoomFactor()) MyStreamPreview.SetZoomFactor(*zoom);
  else ZoomEdit->setText(QString::fromStdString(ZoomText(MyStreamPreview.ZoomFactor())));
}

void TMyPreview::PageEditExit() {
  const std::optional<int> page = ParseWholeNumber(PageEdit->text().toStdString());
  if (page && *page != MyStreamPreview.PageNumber()) MyStreamPreview.PlayPage(*page);
  else PageEdit->setText(QString::number(MyStreamPreview.PageNumber()));
}

void TMyPreview::DoZoomPageWidth() { MyStreamPreview.SetZoomFactor(MyStreamPreview.ZoomPageWidthFactor()); }
void TMyPreview::DoZoomWholePage() { MyStreamPreview.SetZoomFactor(MyStreamPreview.ZoomPageFactor()); }

void TMyPreview::UseColorClick() {
  if (!MyStreamPreview.Printing()) return;
  MyStreamPreview.Finish();
  MyStreamPreview.Monochrome = !MyStreamPreview.Monochrome;
  MenuUseColor->setChecked(!MyStreamPreview.Monochrome);
  try {
    MyStreamPreview.Start();
  } catch (const std::exception& e) {
    ui::ShowMessage(e.what(), "Error", ui::Buttons::Ok, ui::Icon::Error);
  }
}

bool TMyPreview::PrinterBusy() {
  if (!MyStreamPrinter.Printing()) return false;
  ui::ShowMessage(std::string(kPrintJobBusy), "Error");
  return true;
}

template <typename F>
void TMyPreview::Print(F&& run) {
  if (PrinterBusy()) return;
  try {
    run();
  } catch (const std::exception& e) {
    ui::ShowMessage(e.what(), "Error", ui::Buttons::Ok, ui::Icon::Error);
  }
}

void TMyPreview::PrintPageClick() {
  Print([this] {
    const int page = MyStreamPreview.PageNumber();
    MyStreamPrinter.PrintPages(page, page, 1);
  });
}

void TMyPreview::PrintReportClick() {
  Print([this] { MyStreamPrinter.Execute(); });
}

void TMyPreview::PrintRangeClick() {
  if (PrinterBusy()) return;
  TPrintRange range(this, MyStreamPreview.PageCount());
  range.exec();
  if (range.RangeChosen()) Print([this, &range] { MyStreamPrinter.PrintPages(range.Start(), range.End(), 1); });
}

void TMyPreview::PrinterSetupClick() {
  // The window that opened the preview knows the configured screen.
  QSize screen;
  if (auto* owner = qobject_cast<TDialog*>(parentWidget())) screen = owner->Screen;
  if (!screen.isValid() && this->screen()) screen = this->screen()->size();
  std::shared_ptr<report::ReportPrinter> printer = report::InstalledPrinter();
  if (!RunPrinterSetup(this, screen) || !printer) return;
  // A replay applies the recorded orientation and copies to the printer:
  // the recorded ones become the chosen ones, so the next print keeps them.
  report::ByteStream& stream = *MyStreamPrinter.Stream;
  const uint64_t here = stream.Position();
  try {
    stream.Seek(0);
    report::StreamReader reader(stream);
    report::FileHeader header = report::ReadFileHeader(reader);
    header.orientation = printer->Orientation();
    header.copies = std::max(1, printer->Copies());
    stream.Seek(0);
    report::StreamWriter writer(stream);
    report::WriteFileHeader(writer, header);
  } catch (const std::exception& e) {
    ui::ShowMessage(e.what(), "Error", ui::Buttons::Ok, ui::Icon::Error);
  }
  stream.Seek(here);
}

}  // namespace keldro::reports

#include "moc_tmypreview.cpp"
