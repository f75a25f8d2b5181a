// TRepLayout, "Specify Report Layout": a picture of the body lines and the
// totals line of a work copy of the definition, in which a click on a cell
// opens TReportPart for it; OK copies the work copy back. Shown in the
// report colours, scaled and centred.
#pragma once

#include <array>
#include <functional>
#include <string>

#include <QWidget>

#include "reports/report_definition.h"
#include "tdialog.h"

class QLabel;
class QPushButton;

namespace keldro::reports {

// The painted layout.
class TLayoutArea : public QWidget {
  Q_OBJECT
 public:
  TLayoutArea(QWidget* parent, const ReportDefinition& work, const std::array<std::string, 22>& fieldTitles);
  bool showTotals = true;
  // At the design scale; the picture is drawn at the form's scale.
  static constexpr int kLeft = 8, kRowHeight = 26, kGap = 6;
  void SetScale(double scale) { scale_ = scale; }
  int RowWidth() const { return width() - 2 * Scaled(kLeft); }
  // Line (1..12, 100 the totals line) and cell under a point; -1 elsewhere.
  std::pair<int, int> CalcPosition(QPoint p) const;
  // Where a line is drawn (its row rectangle).
  QRect RowRect(int line) const;
  std::function<void(int line, int cell)> OnCellClicked;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  void PaintRow(QPainter& p, const ReportLine& line, int row, bool totals);
  int BodyRows() const;
  int Scaled(int designPixels) const;
  double scale_ = 1.0;
  const ReportDefinition& work_;
  const std::array<std::string, 22>& titles_;
  std::pair<int, int> pressed_{-1, -1};
};

class TRepLayout : public TDialog {
  Q_OBJECT
 public:
  // `charsPerLine` is the editor's checked width; `showTotals` its Use Totals.
  TRepLayout(QWidget* parent, ReportDefinition& buffer, int charsPerLine, bool showTotals,
             const std::array<std::string, 22>& fieldTitles);

  QLabel* CaptionLabel = nullptr;
  TLayoutArea* Layout = nullptr;
  QPushButton *OkButton = nullptr, *CancelButton = nullptr;

  // Opens the cell editor on a cell of the work copy.
  void EditCell(int line, int cell);
  const ReportDefinition& WorkCopy() const { return work_; }
  void OkButtonClick();

 protected:
  void FormPlaced() override;
  void SetColors() override;
  void FormShow() override;

 private:
  ReportDefinition& buffer_;
  ReportDefinition work_;
  int charsPerLine_;
  std::array<std::string, 22> titles_;
};

}  // namespace keldro::reports
