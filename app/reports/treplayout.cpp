#include "reports/treplayout.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>

#include <cmath>

#include "app_state.h"
#include "core/item_fields.h"
#include "platform/text.h"
#include "platform/ui.h"
#include "report/base_report.h"
#include "reports/editor_rules.h"
#include "reports/report_forms.h"

namespace keldro::reports {

namespace ui = platform::ui;

namespace {
int Usable(int cpl) { return cpl == 90 || cpl == 120 || cpl == 150 ? cpl : 120; }
}  // namespace

// ------------------------------------------------------------ TReportPart

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

// ------------------------------------------------------------ TLayoutArea

TLayoutArea::TLayoutArea(QWidget* parent, const ReportDefinition& work, const std::array<std::string, 22>& titles)
    : QWidget(parent), work_(work), titles_(titles) {
  setObjectName("LayoutArea");
  setAutoFillBackground(true);
}

int TLayoutArea::BodyRows() const { return std::clamp<int>(work_.numLines, 0, kBodyLineCount); }

int TLayoutArea::Scaled(int designPixels) const { return static_cast<int>(std::lround(designPixels * scale_)); }

QRect TLayoutArea::RowRect(int line) const {
  const int left = Scaled(kLeft), rowHeight = Scaled(kRowHeight), gap = Scaled(kGap);
  if (line == kTotalsLineNumber)
    return QRect(left, gap + BodyRows() * rowHeight + 2 * gap, RowWidth(), rowHeight);
  return QRect(left, gap + (line - 1) * rowHeight, RowWidth(), rowHeight);
}

std::pair<int, int> TLayoutArea::CalcPosition(QPoint p) const {
  const int cpl = Usable(work_.charsPerLine);
  for (int line = 1; line <= BodyRows(); ++line) {
    const QRect r = RowRect(line);
    if (r.contains(p))
      return {line, CellAt(work_.bodyLines[static_cast<size_t>(line - 1)], cpl, RowWidth(), p.x() - r.left())};
  }
  const QRect totals = RowRect(kTotalsLineNumber);
  if (showTotals && totals.contains(p))
    return {kTotalsLineNumber, CellAt(work_.totalsLine, cpl, RowWidth(), p.x() - totals.left())};
  return {-1, -1};
}

void TLayoutArea::mousePressEvent(QMouseEvent* event) { pressed_ = CalcPosition(event->position().toPoint()); }

void TLayoutArea::mouseReleaseEvent(QMouseEvent* event) {
  const auto at = CalcPosition(event->position().toPoint());
  if (at == pressed_ && at.first > 0 && at.second > 0 && OnCellClicked) OnCellClicked(at.first, at.second);
  pressed_ = {-1, -1};
}

void TLayoutArea::paintEvent(QPaintEvent*) {
  QPainter p(this);
  for (int line = 1; line <= BodyRows(); ++line) PaintRow(p, work_.bodyLines[static_cast<size_t>(line - 1)], line, false);
  if (showTotals) PaintRow(p, work_.totalsLine, kTotalsLineNumber, true);
}

void TLayoutArea::PaintRow(QPainter& p, const ReportLine& line, int row, bool totals) {
  const QRect r = RowRect(row);
  const std::vector<int> edges = CellRightEdges(line, Usable(work_.charsPerLine), RowWidth());
  int left = 0;
  for (size_t i = 0; i < edges.size(); ++i) {
    const ReportCell& c = line.cells[i];
    const QRect box(r.left() + left, r.top(), std::max(edges[i] - left, 1), r.height());
    p.setPen(Qt::black);
    p.setBrush(Qt::white);
    p.drawRect(box.adjusted(0, 0, -1, -1));
    QString text;
    QColor color = Qt::black;
    int align = Qt::AlignLeft;
    switch (ShownKindOf(c, totals)) {
      case ShownKind::Label:
        text = report::FromAnsi(c.labelText);
        color = Qt::red;
        align = Qt::AlignRight;
        break;
      case ShownKind::Filler:
        text = "Filler";
        color = QColor(0, 128, 0);
        align = Qt::AlignHCenter;
        break;
      case ShownKind::Field:
        text = totals ? QString::fromUtf8(TotalsFields[c.fieldNumber - 1u].name.data(),
                                          TotalsFields[c.fieldNumber - 1u].name.size())
                      : report::FromAnsi(titles_[c.fieldNumber - 1u]);
        break;
    }
    const QRect inner = box.adjusted(2, 0, -2, 0);
    // Too wide for its box: cut from the end and start at the left edge.
    if (p.fontMetrics().horizontalAdvance(text) > inner.width()) {
      text = p.fontMetrics().elidedText(text, Qt::ElideNone, inner.width());
      while (!text.isEmpty() && p.fontMetrics().horizontalAdvance(text) > inner.width()) text.chop(1);
      align = Qt::AlignLeft;
    }
    p.setPen(color);
    p.drawText(inner, align | Qt::AlignVCenter, text);
    left = edges[i];
  }
}

// ------------------------------------------------------------ TRepLayout

TRepLayout::TRepLayout(QWidget* parent, ReportDefinition& buffer, int charsPerLine, bool showTotals,
                       const std::array<std::string, 22>& fieldTitles)
    : TDialog(parent, QSize(), 4), buffer_(buffer), work_(buffer), charsPerLine_(charsPerLine), titles_(fieldTitles) {
  setObjectName("RepLayout");
  setWindowTitle("Specify Report Layout");
  UseOwnScreenWhenUnset();
  ShowOnlyWhenOpened();
  const int rows = std::clamp<int>(buffer.numLines, 0, kBodyLineCount);
  const int areaHeight = TLayoutArea::kGap * 4 + (rows + 1) * TLayoutArea::kRowHeight;
  resize(640, areaHeight + 90);
  CaptionLabel = new QLabel(this);
  CaptionLabel->setObjectName("CaptionLabel");
  CaptionLabel->setGeometry(8, 6, 620, 20);
  Layout = new TLayoutArea(this, work_, titles_);
  Layout->showTotals = showTotals;
  Layout->setGeometry(0, 30, 640, areaHeight);
  Layout->OnCellClicked = [this](int line, int cell) { EditCell(line, cell); };
  OkButton = new QPushButton("&Ok", this);
  OkButton->setObjectName("OkButton");
  OkButton->setGeometry(226, areaHeight + 46, 88, 28);
  CancelButton = new QPushButton("&Cancel", this);
  CancelButton->setObjectName("CancelButton");
  CancelButton->setGeometry(326, areaHeight + 46, 88, 28);
  connect(OkButton, &QPushButton::clicked, this, [this] { OkButtonClick(); });
  connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
  SaveDesign();
}

// The rows and offsets of the picture grow with the form.
void TRepLayout::FormPlaced() { Layout->SetScale(ScaleFactor); }

void TRepLayout::SetColors() {
  ReportColorParts parts;
  parts.form = this;
  parts.majorTitles = {CaptionLabel};
  ApplyReportColors(parts);
}

void TRepLayout::FormShow() {
  work_ = buffer_;
  work_.charsPerLine = static_cast<int16_t>(Usable(charsPerLine_));
  CaptionLabel->setText(report::FromAnsi(("Report: " + buffer_.name).substr(0, 38)));
  Layout->update();
}

void TRepLayout::EditCell(int line, int cell) {
  TReportPart part(this, work_, line, cell, charsPerLine_, titles_);
  part.exec();
  Layout->update();
}

void TRepLayout::OkButtonClick() {
  // The width is the editor's to store.
  const int16_t charsPerLine = buffer_.charsPerLine;
  buffer_ = work_;
  buffer_.charsPerLine = charsPerLine;
  accept();
}

}  // namespace keldro::reports
