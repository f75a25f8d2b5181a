#include "reports/treplayout.h"

#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>

#include <algorithm>
#include <cmath>

#include "app_state.h"
#include "report/base_report.h"
#include "reports/editor_rules.h"
#include "reports/report_forms.h"
#include "reports/treportpart.h"

namespace keldro::reports {

namespace {
int Usable(int cpl) { return cpl == 90 || cpl == 120 || cpl == 150 ? cpl : 120; }
}  // namespace

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

#include "moc_treplayout.cpp"
