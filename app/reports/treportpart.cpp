#include "reports/treportpart.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>

#include <algorithm>

#include "platform/text.h"
#include "platform/ui.h"
#include "report/base_report.h"
#include "reports/editor_rules.h"
#include "reports/report_forms.h"

namespace keldro::reports {

namespace ui = platform::ui;

TReportPart::TReportPart(QWidget* parent, ReportDefinition& work, int line, int cell, int charsPerLine,
                         const std::array<std::string, 22>& fieldTitles)
    : TDialog(parent, QSize(), 4),
      work_(work),
      line_(line),
      cell_(cell),
      charsPerLine_(charsPerLine),
      titles_(fieldTitles),
      copy_(Target()) {
  setObjectName("ReportPart");
  setWindowTitle("Select Report Part");
  UseOwnScreenWhenUnset();
  ShowOnlyWhenOpened();
  resize(400, 300);
  SelPartLabel = new QLabel(this);
  SelPartLabel->setObjectName("SelPartLabel");
  SelPartLabel->setGeometry(12, 8, 370, 20);
  auto radio = [this](QRadioButton*& r, const char* name, const char* text, int y) {
    r = new QRadioButton(text, this);
    r->setObjectName(name);
    r->setGeometry(12, y, 200, 20);
    connect(r, &QRadioButton::toggled, this, [this] { EnableForKind(); });
  };
  radio(RadioFiller, "RadioFiller", "Filler (empty space)", 36);
  radio(RadioLabel, "RadioLabel", "Label (constant value)", 60);
  radio(RadioField, "RadioField", "Field (database value)", 84);
  LabelTextLabel = new QLabel("Label Text", this);
  LabelTextLabel->setObjectName("LabelTextLabel");
  LabelTextLabel->setGeometry(12, 114, 100, 18);
  LabelName = new QLineEdit(this);
  LabelName->setObjectName("LabelName");
  LabelName->setMaxLength(40);
  LabelName->setGeometry(12, 134, 190, 24);
  WidthLabel = new QLabel("Width", this);
  WidthLabel->setObjectName("WidthLabel");
  WidthLabel->setGeometry(12, 170, 100, 18);
  FieldWidth = new QLineEdit(this);
  FieldWidth->setObjectName("FieldWidth");
  FieldWidth->setMaxLength(3);
  FieldWidth->setGeometry(12, 190, 60, 24);
  FieldList = new QListWidget(this);
  FieldList->setObjectName("FieldList");
  FieldList->setGeometry(216, 36, 172, 210);
  OkButton = new QPushButton("&Ok", this);
  OkButton->setObjectName("OkButton");
  OkButton->setGeometry(112, 260, 84, 28);
  OkButton->setDefault(true);
  CancelButton = new QPushButton("&Cancel", this);
  CancelButton->setObjectName("CancelButton");
  CancelButton->setGeometry(206, 260, 84, 28);
  connect(OkButton, &QPushButton::clicked, this, [this] { OkButtonClick(); });
  connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
  SaveDesign();
}

void TReportPart::FormShow() {
  const bool totals = line_ == kTotalsLineNumber;
  copy_ = Target();
  FieldList->clear();
  if (totals) {
    for (const TotalsField& t : TotalsFields) FieldList->addItem(QString::fromUtf8(t.name.data(), t.name.size()));
  } else {
    for (const std::string& title : titles_) FieldList->addItem(report::FromAnsi(title));
  }
  SelPartLabel->setText(totals ? QString("Totals Line, Item %1").arg(cell_)
                               : QString("Line %1, Item %2").arg(line_).arg(cell_));
  // Preselect by what the cell holds; a field number the file got wrong
  // shows as a filler.
  const ReportCell& c = copy_.cells[static_cast<size_t>(cell_ - 1)];
  switch (ShownKindOf(c, totals)) {
    case ShownKind::Label:
      RadioLabel->setChecked(true);
      LabelName->setText(report::FromAnsi(c.labelText));
      break;
    case ShownKind::Field:
      RadioField->setChecked(true);
      FieldList->setCurrentRow(c.fieldNumber - 1);
      break;
    case ShownKind::Filler: RadioFiller->setChecked(true); break;
  }
  FieldWidth->setText(QString::number(c.width));
  EnableForKind();
}

void TReportPart::SetColors() {
  ReportColorParts parts;
  parts.form = this;
  parts.majorTitles = {SelPartLabel};
  parts.minorTitles = {LabelTextLabel, WidthLabel};
  parts.edits = {LabelName, FieldWidth};
  parts.lists = {FieldList};
  parts.radios = {RadioFiller, RadioLabel, RadioField};
  ApplyReportColors(parts);
}

ReportLine& TReportPart::Target() {
  if (line_ == kTotalsLineNumber) return work_.totalsLine;
  return work_.bodyLines[static_cast<size_t>(std::clamp(line_, 1, kBodyLineCount) - 1)];
}

void TReportPart::EnableForKind() {
  LabelName->setEnabled(RadioLabel->isChecked());
  FieldList->setEnabled(RadioField->isChecked());
}

void TReportPart::OkButtonClick() {
  CellEdit edit;
  edit.kind = RadioLabel->isChecked() ? 1 : RadioField->isChecked() ? 2 : 0;
  edit.widthText = FieldWidth->text().toStdString();
  edit.labelText = platform::Utf8ToCp1252(LabelName->text().toStdString());
  edit.fieldIndex = FieldList->currentItem() && FieldList->currentItem()->isSelected() ? FieldList->currentRow() : -1;
  ReportLine line = copy_;
  switch (ApplyCellEdit(line, cell_, edit, charsPerLine_, line_ == kTotalsLineNumber)) {
    case CellEditResult::InvalidWidth:
      ui::ShowMessage(std::string(kInvalidWidth), "Error", ui::Buttons::Ok, ui::Icon::Error, 0, true);
      FieldWidth->setFocus();
      return;
    case CellEditResult::NoField:
      ui::ShowMessage(std::string(kNoFieldChosen), "Error", ui::Buttons::Ok, ui::Icon::Error, 0, true);
      FieldList->setFocus();
      return;
    case CellEditResult::Ok: break;
  }
  Target() = line;
  accept();
}

}  // namespace keldro::reports

#include "moc_treportpart.cpp"
