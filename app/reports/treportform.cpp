#include "reports/treportform.h"

#include <QCloseEvent>
#include <QFontMetrics>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <algorithm>
#include <cstring>

#include "app_state.h"
#include "framework/db.h"
#include "platform/text.h"
#include "platform/ui.h"
#include "reports/report_forms.h"
#include "ui_utilities.h"

namespace keldro::reports {

TReportForm::TReportForm(QWidget* parent, const ReportDefinition& def, ReportRows& rows, ReportEnvironment env,
                         int destination)
    : TDialog(parent, QSize(), 4),
      MyPrinterReport(report::InstalledPrinter()),
      MyStreamReport(report::InstalledPrinter()),
      destination_(destination),
      generator_(def, rows, std::move(env), destination) {
  setObjectName("ReportForm");
  setWindowTitle("Report Status Screen");
  UseOwnScreenWhenUnset();
  setFixedSize(260, 130);
  Label1 = new QLabel("Printing Status", this);
  Label1->setObjectName("Label1");
  Label1->setGeometry(10, 10, 240, 66);
  Label1->setAlignment(Qt::AlignCenter);
  Label1->setWordWrap(true);
  QFont bold("Arial");
  bold.setBold(true);
  Label1->setFont(bold);
  BitBtn1 = new QPushButton("Cancel", this);
  BitBtn1->setObjectName("BitBtn1");
  BitBtn1->setGeometry(90, 88, 80, 28);
  connect(BitBtn1, &QPushButton::clicked, this, &TReportForm::BitBtn1Click);

  for (report::TBaseReport* w : {static_cast<report::TBaseReport*>(&MyPrinterReport),
                                 static_cast<report::TBaseReport*>(&MyStreamReport)}) {
    ConfigureReportWriter(*w);
    w->SetStatusLabel(Label1);
  }
  // A printer that writes a file (the PDF stand-in where there is no
  // printer) titles the document by the report; paper keeps the job name.
  if (const std::string file = PrintoutFile(); !file.empty()) MyPrinterReport.Title = def.name;
  MyPrinterReport.StatusFormat = "Printing Page %p";
  MyStreamReport.StatusFormat = "Printing page %p";
  MyStreamReport.StreamMode = report::smUser;
  SaveDesign();
}

TReportForm::~TReportForm() = default;

std::string TReportForm::PrintoutFile() const {
  return MyPrinterReport.Printer() ? MyPrinterReport.Printer()->OutputFile() : std::string();
}

report::TBaseReport& TReportForm::ActiveReport() {
  if (destination_ == kToPrinter) return MyPrinterReport;
  return MyStreamReport;
}

void TReportForm::showEvent(QShowEvent* event) {
  TDialog::showEvent(event);
  if (!ran_) {
    // The run starts once the window is up, inside its own modal loop, so
    // that Cancel can be pressed while it goes.
    QTimer::singleShot(0, this, &TReportForm::FormActivate);
  }
}

void TReportForm::FormActivate() {
  if (ran_) return;
  ran_ = true;
  running_ = true;
  report::TBaseReport& writer = ActiveReport();
  std::string failure;
  try {
    writer.Execute();
  } catch (const std::exception& e) {
    failure = e.what();
  }
  running_ = false;
  aborted_ = writer.Aborted() || !failure.empty();
  if (!failure.empty()) platform::ui::ShowMessage(failure, "Error", platform::ui::Buttons::Ok, platform::ui::Icon::Error);
  if (generator_.TextFileFailed()) {
    aborted_ = true;
    std::string text = "The report could not be written to the file \"" + generator_.TextFileName().string() + "\"";
    if (generator_.TextFileError() != 0) text += ": " + std::string(std::strerror(generator_.TextFileError()));
    platform::ui::ShowMessage(text + ".", "Error", platform::ui::Buttons::Ok, platform::ui::Icon::Error);
  }
  ShowFinalStatus();
}

void TReportForm::ShowFinalStatus() {
  report::TBaseReport& writer = ActiveReport();
  BitBtn1->setText("OK");
  writer.StatusFormat = std::string("\r") + std::string(aborted_ ? kReportCanceled : kReportCompleted);
  // Where the printout went when it went to a file, not to paper.
  if (!aborted_ && destination_ == kToPrinter) {
    if (const std::string file = PrintoutFile(); !file.empty())
      writer.StatusFormat += "\rThe report was written to " + file + ".";
  }
  writer.UpdateStatus();
  FitStatus();
}

// A status line too long for the window (a file's path, which cannot wrap)
// widens it, and more lines than fit make it taller, OK staying below.
void TReportForm::FitStatus() {
  const QFontMetrics metrics(Label1->font());
  int widest = 0;
  for (const QString& line : Label1->text().split('\n'))
    for (const QString& word : line.split(' ')) widest = std::max(widest, metrics.horizontalAdvance(word));
  const int labelWidth = std::max(Label1->width(), widest + 8);
  const int labelHeight = std::max(Label1->height(), Label1->heightForWidth(labelWidth));
  const QSize grow(labelWidth - Label1->width(), labelHeight - Label1->height());
  if (grow.isNull()) return;
  Label1->resize(labelWidth, labelHeight);
  setFixedSize(size() + grow);
  BitBtn1->move((width() - BitBtn1->width()) / 2, BitBtn1->y() + grow.height());
}

void TReportForm::BitBtn1Click() {
  if (running_) {
    ActiveReport().Abort();
    return;
  }
  accept();
}

void TReportForm::reject() {
  // Escape and the close box act as Cancel while the report runs.
  if (running_) {
    ActiveReport().Abort();
    return;
  }
  QDialog::reject();
}

void TReportForm::closeEvent(QCloseEvent* event) {
  if (running_) {
    ActiveReport().Abort();
    event->ignore();
    return;
  }
  QDialog::closeEvent(event);
}

}  // namespace keldro::reports

#include "moc_treportform.cpp"
