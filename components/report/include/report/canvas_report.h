// The canvas writer draws every primitive of the base on a QPainter in device
// pixels; TPrinterReport runs a report straight onto the printer, owning the
// print job, the order of the report events and the suppression of pages
// outside FirstPage..LastPage.
#pragma once

#include "report/base_report.h"

namespace report {

class TCanvasReport : public TBaseReport {
 public:
  using TBaseReport::TBaseReport;

 protected:
  // The painter the primitives draw on while printing.
  virtual QPainter* CanvasPainter();
  void Emit(const DrawOp& op) override;
  // Sets the painter's pen, brush, font and background from the state.
  void ApplyAttributes(QPainter& p) const;

 private:
  QPoint Dev(const QPointF& inches) const { return QPoint(XDev(inches.x()), YDev(inches.y())); }
  QRect DevRect(const QPointF& a, const QPointF& b) const;
  void FloodFillImage(QPainter& p, QPoint at, TColor color, TFillStyle style);
  QPoint penPos_;
  bool rawRefusedShown_ = false;

 protected:
  void ResetRunState() { rawRefusedShown_ = false; penPos_ = QPoint(); }
};

class TPrinterReport : public TCanvasReport {
 public:
  using TCanvasReport::TCanvasReport;
  void Execute() override;
  void NewPage() override;
};

// The message for a printer that cannot take PrintData's raw bytes.
inline constexpr const char* kRawDataRefused =
    "The printer cannot take raw printer data; the data was left out of the print job.";

}  // namespace report
