#include "reports/tuserreport.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include "app_state.h"
#include "platform/text.h"
#include "platform/ui.h"
#include "report/base_report.h"
#include "reports/editor_rules.h"
#include "reports/preview_rules.h"
#include "reports/report_file.h"
#include "reports/report_forms.h"
#include "reports/report_rules.h"
#include "reports/tmyreport.h"
#include "reports/treplayout.h"
#include "reports/treportfonts.h"
#include "ui_utilities.h"

namespace keldro::reports {

namespace ui = platform::ui;

namespace {
QString Text(const std::string& ansi) { return report::FromAnsi(ansi); }
std::string Ansi(const QLineEdit* edit, size_t limit) {
  std::string text = platform::Utf8ToCp1252(edit->text().toStdString());
  if (text.size() > limit) text.resize(limit);
  return text;
}
ReportDefinition& Buffer() {
  if (!ReportDefinitionBuffer) ReportDefinitionBuffer = std::make_unique<ReportDefinition>();
  return *ReportDefinitionBuffer;
}
void Notice(std::string_view text) {
  ui::ShowMessage(std::string(text), "Notice", ui::Buttons::Ok, ui::Icon::Information, 0, true);
}
}  // namespace

TUserReport::TUserReport(TMyReport* selection, bool isNew, size_t index)
    : TDialog(selection, QSize(), 4), selection_(selection), isNew_(isNew), index_(index) {
  setObjectName("UserReport");
  setWindowTitle("Report Definition");
  UseOwnScreenWhenUnset();
  // Dialogs closing over the editor must not reload it.
  ShowOnlyOnce();
  resize(600, 430);
  auto label = [this](const char* text, int x, int y, int w = 120) {
    auto* l = new QLabel(text, this);
    l->setGeometry(x, y, w, 18);
    return l;
  };
  auto edit = [this](QLineEdit*& e, const char* name, int maxLength, QRect r) {
    e = new QLineEdit(this);
    e->setObjectName(name);
    e->setMaxLength(maxLength);
    e->setGeometry(r);
  };
  label("Report Name", 12, 8);
  edit(ReportName, "ReportName", 30, QRect(12, 26, 250, 24));
  auto* width = new QGroupBox("Characters Per Line", this);
  width->setGeometry(276, 6, 312, 48);
  auto radio = [width](QRadioButton*& r, const char* name, const char* text, int x) {
    r = new QRadioButton(text, width);
    r->setObjectName(name);
    r->setGeometry(x, 22, 96, 20);
  };
  radio(Chars90, "Chars90", "90 Chars", 10);
  radio(Chars120, "Chars120", "120 Chars", 110);
  radio(Chars150, "Chars150", "150 Chars", 210);
  label("Titles", 12, 58);
  edit(Title1, "Title1", 80, QRect(12, 76, 576, 24));
  edit(Title2, "Title2", 80, QRect(12, 104, 576, 24));
  edit(Title3, "Title3", 80, QRect(12, 132, 576, 24));
  label("Number of Lines", 12, 166);
  edit(NumLines, "NumLines", 2, QRect(130, 164, 40, 24));
  auto* margins = new QGroupBox("Margins (in inches)", this);
  margins->setGeometry(12, 196, 250, 84);
  auto margin = [margins](QLineEdit*& e, const char* name, const char* text, int x, int y) {
    auto* l = new QLabel(text, margins);
    l->setGeometry(x, y + 3, 50, 18);
    e = new QLineEdit(margins);
    e->setObjectName(name);
    e->setMaxLength(5);
    e->setGeometry(x + 52, y, 56, 24);
  };
  margin(TopMargin, "TopMargin", "Top", 10, 22);
  margin(BottomMargin, "BottomMargin", "Bottom", 126, 22);
  margin(LeftMargin, "LeftMargin", "Left", 10, 52);
  margin(RightMargin, "RightMargin", "Right", 126, 52);
  auto check = [this](QCheckBox*& c, const char* name, const char* text, int x, int y) {
    c = new QCheckBox(text, this);
    c->setObjectName(name);
    c->setGeometry(x, y, 170, 20);
  };
  check(ColumnHeaders, "ColumnHeaders", "Column Headers", 280, 166);
  check(PageNumbers, "PageNumbers", "Page Numbers", 280, 188);
  check(LandOrient, "LandOrient", "Print Landscape", 280, 210);
  check(DateOnPage, "DateOnPage", "Date On Pages", 280, 232);
  check(UseTotals, "UseTotals", "Use Totals", 280, 254);
  check(HorzLines, "HorzLines", "Horizontal Lines", 440, 166);
  check(VertLines, "VertLines", "Vertical Lines", 440, 188);
  check(Level1Group, "Level1Group", "Group by Level 1 Sort", 440, 210);
  check(Level2Group, "Level2Group", "Group by Level 2 Sort", 440, 232);
  auto font = [&](QLineEdit*& e, const char* name, const char* text, int y) {
    label(text, 12, y + 3, 150);
    e = new QLineEdit(this);
    e->setObjectName(name);
    e->setReadOnly(true);
    e->setGeometry(160, y, 170, 24);
  };
  font(TitleLineFont, "TitleLineFont", "Title Line Font", 290);
  font(ColumnHeaderFont, "ColumnHeaderFont", "Column Header Font", 318);
  font(RepBodyDataFont, "RepBodyDataFont", "Report Body Data Font", 346);
  font(FootnoteFont, "FootnoteFont", "Footnote Font", 374);
  auto button = [this](QPushButton*& b, const char* name, const char* text, QRect r) {
    b = new QPushButton(text, this);
    b->setObjectName(name);
    b->setGeometry(r);
  };
  button(SetFonts, "SetFonts", "&Set Fonts", QRect(344, 290, 110, 28));
  button(SpecifyButton, "SpecifyButton", "&Specify Report Content", QRect(344, 326, 244, 28));
  button(UpdateButton, "UpdateButton", "&Update", QRect(344, 392, 76, 28));
  button(DeleteButton, "DeleteButton", "&Delete", QRect(428, 392, 76, 28));
  button(HelpButton, "HelpButton", "&Help", QRect(512, 290, 76, 28));
  button(CancelButton, "CancelButton", "&Cancel", QRect(512, 392, 76, 28));

  connect(Chars90, &QRadioButton::clicked, this, [this] { ChangeWidth(90); });
  connect(Chars120, &QRadioButton::clicked, this, [this] { ChangeWidth(120); });
  connect(Chars150, &QRadioButton::clicked, this, [this] { ChangeWidth(150); });
  for (QLineEdit* e : {NumLines, TopMargin, BottomMargin, LeftMargin, RightMargin})
    connect(e, &QLineEdit::editingFinished, this, [this] { NumLinesExit(); });
  connect(ReportName, &QLineEdit::editingFinished, this, [this] { ReportNameExit(); });
  connect(Level1Group, &QCheckBox::toggled, this, [this](bool on) { Level2Group->setEnabled(on); });
  connect(SetFonts, &QPushButton::clicked, this, [this] { SetFontsClick(); });
  connect(SpecifyButton, &QPushButton::clicked, this, [this] { SpecifyButtonClick(); });
  connect(UpdateButton, &QPushButton::clicked, this, [this] { UpdateButtonClick(); });
  connect(DeleteButton, &QPushButton::clicked, this, [this] { DeleteButtonClick(); });
  connect(HelpButton, &QPushButton::clicked, this, [this] { HelpButtonClick(); });
  connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
  SaveDesign();
}

void TUserReport::FormShow() {
  const ReportDefinition& d = Buffer();
  ReportName->setText(Text(d.name));
  originalName_ = d.name;
  // A width the file got wrong is shown, and kept, as 120.
  CheckWidthButton(UsableCharsPerLine(d.charsPerLine));
  Title1->setText(Text(d.titles[0]));
  Title2->setText(Text(d.titles[1]));
  Title3->setText(Text(d.titles[2]));
  NumLines->setText(QString::number(d.numLines));
  TopMargin->setText(QString::number(d.topMargin, 'f', 2));
  BottomMargin->setText(QString::number(d.bottomMargin, 'f', 2));
  LeftMargin->setText(QString::number(d.leftMargin, 'f', 2));
  RightMargin->setText(QString::number(d.rightMargin, 'f', 2));
  ColumnHeaders->setChecked(d.columnHeaders);
  PageNumbers->setChecked(d.pageNumbers);
  LandOrient->setChecked(d.printLandscape);
  DateOnPage->setChecked(d.dateOnPages);
  UseTotals->setChecked(d.useTotals);
  HorzLines->setChecked(d.horizontalLines);
  VertLines->setChecked(d.verticalLines);
  Level1Group->setChecked(d.groupLevel1);
  Level2Group->setChecked(d.groupLevel1 && d.groupLevel2);
  Level2Group->setEnabled(d.groupLevel1);
  ShowFontDescriptions();
  EnableLineOptions(d.numLines);
  DeleteButton->setEnabled(!isNew_);
  ReportName->setFocus();
}

void TUserReport::SetColors() {
  ReportColorParts parts;
  parts.form = this;
  parts.edits = {ReportName, Title1, Title2, Title3, NumLines, TopMargin, BottomMargin, LeftMargin, RightMargin};
  parts.radios = {Chars90, Chars120, Chars150};
  parts.checks = {ColumnHeaders, PageNumbers, LandOrient, DateOnPage, UseTotals, HorzLines, VertLines,
                  Level1Group, Level2Group};
  ApplyReportColors(parts);
}

void TUserReport::ShowFontDescriptions() {
  const ReportDefinition& d = Buffer();
  TitleLineFont->setText(Text(FontDescription(d.fonts[0])));
  ColumnHeaderFont->setText(Text(FontDescription(d.fonts[1])));
  RepBodyDataFont->setText(Text(FontDescription(d.fonts[2])));
  FootnoteFont->setText(Text(FontDescription(d.fonts[4])));
}

void TUserReport::EnableLineOptions(int numLines) {
  for (QCheckBox* c : {ColumnHeaders, HorzLines, VertLines}) c->setEnabled(numLines < 2);
}

int TUserReport::CheckedWidth() const { return Chars90->isChecked() ? 90 : Chars150->isChecked() ? 150 : 120; }

void TUserReport::CheckWidthButton(int charsPerLine) {
  (charsPerLine == 90 ? Chars90 : charsPerLine == 150 ? Chars150 : Chars120)->setChecked(true);
}

void TUserReport::NumLinesExit() {
  const int n = ParseNumLines(NumLines->text().toStdString());
  Buffer().numLines = static_cast<int16_t>(n);
  NumLines->setText(QString::number(n));
  EnableLineOptions(n);
}

bool TUserReport::NumLinesOk() {
  const int n = ParseNumLines(NumLines->text().toStdString());
  if (!NumLinesInRange(n)) {
    Notice(kNumLinesOutOfRange);
    NumLines->setFocus();
    return false;
  }
  Buffer().numLines = static_cast<int16_t>(n);
  return true;
}

bool TUserReport::MarginsOk() {
  QLineEdit* edits[] = {TopMargin, BottomMargin, LeftMargin, RightMargin};
  for (QLineEdit* e : edits) {
    const std::optional<double> v = ParseRealNumber(e->text().toStdString());
    if (!v || *v < 0) {
      Notice(kBadMargins);
      e->setFocus();
      return false;
    }
  }
  double pageWidth = 8.5, pageHeight = 11;
  if (auto printer = report::InstalledPrinter()) {
    const report::DeviceCaps c = printer->Caps();
    pageWidth = static_cast<double>(c.physicalWidth) / c.dpiX;
    pageHeight = static_cast<double>(c.physicalHeight) / c.dpiY;
  }
  if ((pageWidth > pageHeight) != LandOrient->isChecked()) std::swap(pageWidth, pageHeight);
  if (!CheckMargins(TopMargin->text().toStdString(), BottomMargin->text().toStdString(),
                    LeftMargin->text().toStdString(), RightMargin->text().toStdString(), pageWidth, pageHeight,
                    Buffer().fonts[2].size)) {
    Notice(kBadMargins);
    BottomMargin->setFocus();
    return false;
  }
  return true;
}

void TUserReport::ReportNameExit() {
  if (isNew_) return;
  const std::string name = TrimBlanks(Ansi(ReportName, 255)).substr(0, 30);
  Buffer().name = name;
  DeleteButton->setEnabled(name == originalName_);
}

void TUserReport::ChangeWidth(int charsPerLine) {
  const int current = UsableCharsPerLine(Buffer().charsPerLine);
  if (charsPerLine == current) return;
  if (const auto question = WidthSwitchQuestion(current, charsPerLine)) {
    if (ui::ShowMessage(std::string(*question), "Warning", ui::Buttons::YesNo, ui::Icon::Warning, 1, true) !=
        ui::Answer::Yes) {
      CheckWidthButton(current);
      return;
    }
  }
  SwitchCharsPerLine(Buffer(), charsPerLine);
  ShowFontDescriptions();
  if (const auto notice = WidthSwitchNotice(charsPerLine)) Notice(*notice);
}

void TUserReport::SaveOutVars() {
  ReportDefinition& d = Buffer();
  d.numLines = static_cast<int16_t>(ParseNumLines(NumLines->text().toStdString()));
  d.topMargin = ParseRealNumber(TopMargin->text().toStdString()).value_or(0.5);
  d.leftMargin = ParseRealNumber(LeftMargin->text().toStdString()).value_or(0.5);
  d.bottomMargin = ParseRealNumber(BottomMargin->text().toStdString()).value_or(0.5);
  d.rightMargin = ParseRealNumber(RightMargin->text().toStdString()).value_or(0.5);
  d.name = TrimBlanks(Ansi(ReportName, 255)).substr(0, 30);
  d.titles = {Ansi(Title1, 80), Ansi(Title2, 80), Ansi(Title3, 80)};
  d.charsPerLine = static_cast<int16_t>(CheckedWidth());
  d.columnHeaders = ColumnHeaders->isChecked();
  d.groupLevel1 = Level1Group->isChecked();
  d.groupLevel2 = d.groupLevel1 && Level2Group->isChecked();
  d.pageNumbers = PageNumbers->isChecked();
  d.printLandscape = LandOrient->isChecked();
  d.dateOnPages = DateOnPage->isChecked();
  d.horizontalLines = HorzLines->isChecked();
  d.verticalLines = VertLines->isChecked();
  d.useTotals = UseTotals->isChecked();
}

void TUserReport::UpdateButtonClick() {
  if (!NumLinesOk() || !MarginsOk()) return;
  SaveOutVars();
  ReportFile file = ReportFile::InDirectory(ProgramDir);
  const SaveResult saved = SaveReportDefinition(file, Buffer(), SaveRequest{isNew_, originalName_, index_});
  if (saved.outcome == SaveResult::Cancelled) return;
  if (saved.outcome == SaveResult::Failed) {
    ui::ShowMessage(saved.status.message, "Error", ui::Buttons::Ok, ui::Icon::Error);
    return;
  }
  if (selection_) selection_->ShowSaved(static_cast<int>(saved.index));
  accept();
}

void TUserReport::DeleteButtonClick() {
  ReportFile file = ReportFile::InDirectory(ProgramDir);
  const DeleteResult deleted = DeleteReportDefinition(file, index_);
  if (deleted.outcome == DeleteResult::Cancelled) return;
  if (deleted.outcome == DeleteResult::Failed) {
    ui::ShowMessage(deleted.status.message, "Error", ui::Buttons::Ok, ui::Icon::Error);
    return;
  }
  if (selection_) selection_->ShowSaved(-1);
  accept();
}

void TUserReport::SetFontsClick() {
  TReportFonts fonts(this, Buffer());
  fonts.exec();
  ShowFontDescriptions();
}

void TUserReport::SpecifyButtonClick() {
  if (!NumLinesOk()) return;
  std::array<std::string, 22> titles;
  for (size_t i = 0; i < titles.size(); ++i) titles[i] = Settings.fields[i].title;
  TRepLayout layout(this, Buffer(), CheckedWidth(), UseTotals->isChecked(), titles);
  layout.exec();
}

void TUserReport::HelpButtonClick() {
  ShowHelp("User Defined Reports");
}

}  // namespace keldro::reports

#include "moc_tuserreport.cpp"
