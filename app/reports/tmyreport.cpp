#include "reports/tmyreport.h"

#include <QFrame>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>

#include "app_state.h"
#include "framework/sysutils.h"
#include "platform/ui.h"
#include "report/stream_format.h"
#include "reports/report_forms.h"
#include "reports/report_file.h"
#include "reports/report_rows.h"
#include "reports/tmyinsurance.h"
#include "reports/tmypreview.h"
#include "reports/treportform.h"
#include "reports/tuserreport.h"
#include "ui_utilities.h"

namespace keldro::reports {

namespace ui = platform::ui;

std::string SortOrderText(const SortLevels& levels, const AppSettings& settings) {
  std::string out;
  for (int level : levels.levels) {
    if (!ItemFieldByNumber(level)) continue;
    if (!out.empty()) out += ", ";
    out += settings.fields[static_cast<size_t>(level - 1)].title;
  }
  return out.empty() ? std::string(kNoSortOrder) : out;
}

TMyReport::TMyReport(QWidget* parent, framework::TDataSet& table, SearchHooks hooks, QSize screen)
    : TDialog(parent, screen, 4), table_(table), hooks_(std::move(hooks)) {
  setObjectName("MyReport");
  setWindowTitle("Reports");
  UseOwnScreenWhenUnset();
  resize(460, 336);
  auto label = [this](QLabel*& l, const char* name, const char* caption, QRect r) {
    l = new QLabel(caption, this);
    l->setObjectName(name);
    l->setGeometry(r);
  };
  auto button = [this](QPushButton*& b, const char* name, const char* caption, int top) {
    b = new QPushButton(caption, this);
    b->setObjectName(name);
    b->setGeometry(324, top, 120, 28);
  };
  label(WhatLabel, "WhatLabel", "What to Print", QRect(16, 8, 200, 18));
  ExportSearch = new QRadioButton("Print Search Criteria", this);
  ExportSearch->setObjectName("ExportSearch");
  ExportSearch->setGeometry(28, 28, 260, 20);
  ExportEntire = new QRadioButton("Print Entire Database", this);
  ExportEntire->setObjectName("ExportEntire");
  ExportEntire->setGeometry(28, 50, 260, 20);
  label(StyleLabel, "StyleLabel", "Report Selection", QRect(16, 80, 200, 18));
  ReportBox = new QListWidget(this);
  ReportBox->setObjectName("ReportBox");
  ReportBox->setGeometry(16, 100, 292, 168);
  Panel1 = new QFrame(this);
  Panel1->setObjectName("Panel1");
  Panel1->setFrameShape(QFrame::Panel);
  Panel1->setFrameShadow(QFrame::Sunken);
  Panel1->setGeometry(16, 278, 292, 46);
  Label1 = new QLabel("Current Sort Order", Panel1);
  Label1->setObjectName("Label1");
  Label1->setGeometry(8, 4, 276, 18);
  SortOrderLabel = new QLabel(Panel1);
  SortOrderLabel->setObjectName("SortOrderLabel");
  SortOrderLabel->setGeometry(8, 24, 276, 18);
  button(ViewButton, "ViewButton", "&View", 20);
  button(PrintButton, "PrintButton", "&Print", 54);
  button(FileButton, "FileButton", "Print To &File", 88);
  button(NewButton, "NewButton", "&New Report", 132);
  button(ModifyButton, "ModifyButton", "&Modify Report", 166);
  button(InsButton, "InsButton", "&Insurance", 200);
  button(HelpButton, "HelpButton", "&Help", 250);
  button(ExitButton, "ExitButton", "E&xit", 296);

  connect(ViewButton, &QPushButton::clicked, this, [this] { ViewButtonClick(); });
  connect(PrintButton, &QPushButton::clicked, this, [this] { PrintButtonClick(); });
  connect(FileButton, &QPushButton::clicked, this, [this] { FileButtonClick(); });
  connect(NewButton, &QPushButton::clicked, this, [this] { NewButtonClick(); });
  connect(ModifyButton, &QPushButton::clicked, this, [this] { ModifyButtonClick(); });
  connect(InsButton, &QPushButton::clicked, this, [this] { InsButtonClick(); });
  connect(HelpButton, &QPushButton::clicked, this, [this] { HelpButtonClick(); });
  connect(ExitButton, &QPushButton::clicked, this, [this] { ExitButtonClick(); });
  FormCreate();
}

TMyReport::~TMyReport() = default;

void TMyReport::FormCreate() {
  SaveDesign();
  LoadReportBox();
}

void TMyReport::LoadReportBox() {
  ReportBox->clear();
  for (const std::string& name : ReportFile::InDirectory(ProgramDir).Names())
    ReportBox->addItem(report::FromAnsi(name));
}

void TMyReport::FormPlaced() {
  if (y() > 10) move(x(), y() - 10);
}

void TMyReport::FormShow() {
  if (SearchActive) {
    ExportSearch->setEnabled(true);
    ExportSearch->setChecked(true);
  } else {
    ExportEntire->setChecked(true);
    ExportSearch->setEnabled(false);
  }
  const int last = Settings.reports.lastReport;
  if (last >= 0 && last < ReportBox->count()) ReportBox->setCurrentRow(last);
  // Through the view, so that taking the focus does not pick the first row.
  else ReportBox->setCurrentIndex(QModelIndex());
  ReportBox->setFocus();
  SortOrderLabel->setText(QString::fromStdString(SortOrderText(Settings.sortLevels, Settings)));
}

void TMyReport::SetColors() {
  ReportColorParts parts;
  parts.form = this;
  parts.majorTitles = {WhatLabel, StyleLabel};
  parts.minorTitles = {Panel1, Label1, SortOrderLabel};
  parts.lists = {ReportBox};
  parts.radios = {ExportSearch, ExportEntire};
  ApplyReportColors(parts);
}

void TMyReport::done(int result) {
  FormClose();
  QDialog::done(result);
}

void TMyReport::FormClose() { Settings.reports.lastReport = ReportBox->currentRow(); }

void TMyReport::FileButtonClick() {
  ui::FileDialogRequest request;
  request.save = true;
  request.title = "Save Report As a Text File";
  request.filter = "Text Files (*.TXT)|*.TXT";
  request.defaultExt = "TXT";
  request.overwritePrompt = true;
  request.pathMustExist = true;
  request.fileName = saveFileName_;
  const ui::FileDialogResult chosen = ui::Current().FileDialog(request);
  if (!chosen.accepted || chosen.fileName.empty()) return;
  saveFileName_ = chosen.fileName;
  DoIt(kToTextFile);
}

void TMyReport::HelpButtonClick() {
  ShowHelp("Report Window");
}

void TMyReport::ShowError(std::string_view text) {
  ui::ShowMessage(std::string(text), "Error", ui::Buttons::Ok, ui::Icon::Warning, 0, true);
}

void TMyReport::DoIt(int destination) {
  const bool searchChosen = ExportSearch->isChecked();
  const int index = ReportBox->currentRow();
  if (index < 0) {
    ShowError(kNoReportSelected);
    return;
  }
  if (!ReportDefinitionBuffer) ReportDefinitionBuffer = std::make_unique<ReportDefinition>();
  if (!ReportFile::InDirectory(ProgramDir).Read(static_cast<size_t>(index), *ReportDefinitionBuffer).ok()) {
    ShowError(kReportFormatMissing);
    return;
  }
  // A run over the whole table lifts the search for its duration; it is
  // back afterwards whatever became of the run.
  struct SearchPause {
    const SearchHooks& hooks;
    bool ended = false;
    ~SearchPause() {
      if (ended && hooks.resumeSearch) hooks.resumeSearch();
    }
  } pause{hooks_};
  if (SearchActive && !searchChosen && hooks_.endSearch) {
    hooks_.endSearch();
    pause.ended = true;
  }

  DataSetReportRows rows(table_);
  const std::string today = framework::DateToStr(framework::Date());
  TReportForm form(this, *ReportDefinitionBuffer, rows, ReportEnvironment::From(Settings, Intl, today), destination);
  report::MemoryStream stream;
  if (destination == kToTextFile) form.SetTextFileName(saveFileName_);
  if (destination != kToPrinter) form.MyStreamReport.Stream = &stream;
  report::TBaseReport& writer = form.ActiveReport();
  form.Generator().Attach(writer);
  writer.SetOrientation(ReportDefinitionBuffer->printLandscape ? report::poLandScape : report::poPortrait);
  form.exec();
  lastRunAborted_ = form.Aborted();
  if (destination == kToPreview && !lastRunAborted_) {
    TMyPreview preview(this, stream);
    preview.exec();
  }
}

void TMyReport::NewButtonClick() {
  if (!ReportDefinitionBuffer) ReportDefinitionBuffer = std::make_unique<ReportDefinition>();
  FillNewReportDefinition(*ReportDefinitionBuffer);
  TUserReport editor(this, true, 0);
  editor.exec();
}

void TMyReport::ModifyButtonClick() {
  const int index = ReportBox->currentRow();
  if (index < 0) {
    ShowError(kNoReportSelected);
    ReportBox->setFocus();
    return;
  }
  if (!ReportDefinitionBuffer) ReportDefinitionBuffer = std::make_unique<ReportDefinition>();
  // Without the record the editor would open on whatever the buffer holds,
  // and a save would write it past the file's end.
  if (!ReportFile::InDirectory(ProgramDir).Read(static_cast<size_t>(index), *ReportDefinitionBuffer).ok()) {
    ShowError(kReportFormatMissing);
    return;
  }
  TUserReport editor(this, false, static_cast<size_t>(index));
  editor.exec();
}

void TMyReport::ShowSaved(int index) {
  LoadReportBox();
  if (index >= 0 && index < ReportBox->count()) ReportBox->setCurrentRow(index);
}

void TMyReport::InsButtonClick() {
  TMyInsurance insurance(this);
  insurance.exec();
}

}  // namespace keldro::reports

#include "moc_tmyreport.cpp"
