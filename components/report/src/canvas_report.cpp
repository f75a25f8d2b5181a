#include "report/canvas_report.h"

#include <QPaintEngine>
#include <cmath>
#include <deque>

#include "platform/ui.h"

namespace report {

namespace {

Qt::PenStyle QtPenStyle(TPenStyle s) {
  switch (s) {
    case psDash: return Qt::DashLine;
    case psDot: return Qt::DotLine;
    case psDashDot: return Qt::DashDotLine;
    case psDashDotDot: return Qt::DashDotDotLine;
    case psClear: return Qt::NoPen;
    default: return Qt::SolidLine;
  }
}

Qt::BrushStyle QtBrushStyle(TBrushStyle s) {
  switch (s) {
    case bsClear: return Qt::NoBrush;
    case bsHorizontal: return Qt::HorPattern;
    case bsVertical: return Qt::VerPattern;
    case bsFDiagonal: return Qt::FDiagPattern;
    case bsBDiagonal: return Qt::BDiagPattern;
    case bsCross: return Qt::CrossPattern;
    case bsDiagCross: return Qt::DiagCrossPattern;
    default: return Qt::SolidPattern;
  }
}

// Windows measures arc angles counter-clockwise from the centre to the
// start and end points; Qt wants sixteenths of a degree.
void ArcAngles(const QRect& box, QPoint a, QPoint b, int& start, int& span) {
  QPointF c = QRectF(box).center();
  double sa = std::atan2(-(a.y() - c.y()), a.x() - c.x()) * 180 / M_PI;
  double ea = std::atan2(-(b.y() - c.y()), b.x() - c.x()) * 180 / M_PI;
  double sp = ea - sa;
  while (sp <= 0) sp += 360;
  start = static_cast<int>(std::lround(sa * 16));
  span = static_cast<int>(std::lround(sp * 16));
}

}  // namespace

QPainter* TCanvasReport::CanvasPainter() { return printer_ ? printer_->Painter() : nullptr; }

QRect TCanvasReport::DevRect(const QPointF& a, const QPointF& b) const {
  QPoint p1 = Dev(a), p2 = Dev(b);
  return QRect(p1, QSize(p2.x() - p1.x(), p2.y() - p1.y()));
}

void TCanvasReport::ApplyAttributes(QPainter& p) const {
  QPen pen(ToQColor(pen_.color));
  pen.setStyle(QtPenStyle(pen_.style));
  pen.setWidth(std::max(1, pen_.width));
  QColor fixed;
  QPainter::CompositionMode mode = QPainter::CompositionMode_SourceOver;
  switch (pen_.mode) {
    case pmBlack: fixed = Qt::black; break;
    case pmWhite: fixed = Qt::white; break;
    case pmNop: pen.setStyle(Qt::NoPen); break;
    case pmNot: mode = QPainter::RasterOp_NotDestination; break;
    case pmNotCopy: mode = QPainter::RasterOp_NotSource; break;
    case pmXor: mode = QPainter::RasterOp_SourceXorDestination; break;
    case pmNotXor: mode = QPainter::RasterOp_NotSourceXorDestination; break;
    case pmMerge: mode = QPainter::RasterOp_SourceOrDestination; break;
    case pmMask: mode = QPainter::RasterOp_SourceAndDestination; break;
    case pmNotMerge: mode = QPainter::RasterOp_NotSourceAndNotDestination; break;
    case pmNotMask: mode = QPainter::RasterOp_NotSourceOrNotDestination; break;
    default: break;
  }
  if (fixed.isValid()) pen.setColor(fixed);
  p.setPen(pen);
  if (mode != QPainter::CompositionMode_SourceOver && p.paintEngine() &&
      p.paintEngine()->hasFeature(QPaintEngine::RasterOpModes))
    p.setCompositionMode(mode);
  else
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);
  if (brush_.bitmap && !brush_.bitmap->isNull())
    p.setBrush(QBrush(*brush_.bitmap));
  else
    p.setBrush(QBrush(ToQColor(brush_.color), QtBrushStyle(brush_.style)));
  p.setFont(ToQFont(font_));
  p.setBackground(QBrush(ToQColor(bkColor_)));
  p.setBackgroundMode(bkMode_ == bkOpaque ? Qt::OpaqueMode : Qt::TransparentMode);
  p.setRenderHint(QPainter::Antialiasing, false);
}

void TCanvasReport::Emit(const DrawOp& op) {
  QPainter* painter = CanvasPainter();
  if (!painter || !painter->isActive()) return;
  QPainter& p = *painter;
  ApplyAttributes(p);
  const auto& pts = op.points;
  auto rect = [&](size_t i) { return DevRect(pts[i], pts[i + 1]); };
  // Windows draws a rectangle up to, not including, its right and bottom edge.
  auto inner = [](const QRect& r) { return r.adjusted(0, 0, -1, -1); };
  switch (op.code) {
    case rcTextCenter:
    case rcTextLeft:
    case rcTextRight: {
      QString text = FromAnsi(op.text);
      double w = QFontMetricsF(p.font(), p.device()).horizontalAdvance(text);
      QPoint at = Dev(pts[0]);
      double x = at.x();
      if (op.code == rcTextCenter) x -= w / 2;
      else if (op.code == rcTextRight) x -= w;
      p.setPen(ToQColor(font_.color));
      p.drawText(QPointF(std::round(x), at.y()), text);
      break;
    }
    case rcTextRect: {
      p.save();
      p.setClipRect(rect(0));
      p.setPen(ToQColor(font_.color));
      p.drawText(Dev(pts[2]), FromAnsi(op.text));
      p.restore();
      break;
    }
    case rcTabRectangle:
    case rcRectangle: {
      QRect r = rect(0);
      if (op.code == rcTabRectangle) r.adjust(-1, -1, 1, 1);
      if (p.pen().style() == Qt::NoPen) p.fillRect(r, p.brush());
      else p.drawRect(inner(r));
      break;
    }
    case rcRoundRect: {
      QRect r = inner(rect(0));
      double cw = std::lround(op.numbers[0] * scaleX_ * zoom_ / 10000 * dpiX_);
      double ch = std::lround(op.numbers[1] * scaleY_ * zoom_ / 10000 * dpiY_);
      p.drawRoundedRect(r, cw / 2, ch / 2);
      break;
    }
    case rcEllipse: p.drawEllipse(inner(rect(0))); break;
    case rcFillRect: p.fillRect(rect(0), p.brush()); break;
    case rcFrameRect: {
      QRect r = inner(rect(0));
      p.setPen(QPen(p.brush().color(), 1));
      p.setBrush(Qt::NoBrush);
      p.drawRect(r);
      break;
    }
    case rcDrawFocusRect: {
      p.setPen(QPen(Qt::black, 1, Qt::DotLine));
      p.setBrush(Qt::NoBrush);
      p.drawRect(inner(rect(0)));
      break;
    }
    case rcArc:
    case rcChord:
    case rcPie: {
      QRect box = inner(rect(0));
      int start, span;
      ArcAngles(box, Dev(pts[2]), Dev(pts[3]), start, span);
      if (op.code == rcArc) p.drawArc(box, start, span);
      else if (op.code == rcChord) p.drawChord(box, start, span);
      else p.drawPie(box, start, span);
      break;
    }
    case rcMoveTo: penPos_ = Dev(pts[0]); break;
    case rcLineTo: {
      QPoint to = Dev(pts[0]);
      p.drawLine(penPos_, to);
      penPos_ = to;
      break;
    }
    case rcPolygon:
    case rcPolyline: {
      QPolygon poly;
      for (const QPointF& pt : pts) poly << Dev(pt);
      if (op.code == rcPolygon) p.drawPolygon(poly);
      else p.drawPolyline(poly);
      break;
    }
    case rcFloodFill:
      FloodFillImage(p, Dev(pts[0]), static_cast<TColor>(op.numbers[0]), static_cast<TFillStyle>(op.numbers[1]));
      break;
    case rcDraw:
      if (!op.image.isNull()) p.drawImage(Dev(pts[0]), op.image);
      break;
    case rcStretchDraw:
    case rcPrintBitmapRect:
      if (!op.image.isNull()) p.drawImage(rect(0), op.image);
      break;
    case rcPrintBitmap:
      if (!op.image.isNull()) {
        QPoint at = Dev(pts[0]);
        QSize size(static_cast<int>(std::lround(op.image.width() * op.numbers[0])),
                   static_cast<int>(std::lround(op.image.height() * op.numbers[1])));
        p.drawImage(QRect(at, size), op.image);
      }
      break;
    case rcBrushCopy:
    case rcCopyRect:
      if (!op.image.isNull()) {
        // Only the part of the source inside the bitmap is copied, to the
        // matching part of the destination: a source rectangle from a
        // damaged stream must not make a huge image of invented pixels.
        QRect dest = rect(0);
        QRectF from = QRectF(pts[2], pts[3]).normalized();
        QRect source = (from & QRectF(op.image.rect())).toAlignedRect() & op.image.rect();
        QRectF to(dest);
        if (!source.isEmpty() && from.width() > 0 && from.height() > 0) {
          double sx = to.width() / from.width(), sy = to.height() / from.height();
          to = QRectF(to.left() + (source.left() - from.left()) * sx, to.top() + (source.top() - from.top()) * sy,
                      source.width() * sx, source.height() * sy);
        }
        QImage part = source.isEmpty() ? QImage() : op.image.copy(source).convertToFormat(QImage::Format_ARGB32);
        if (op.code == rcBrushCopy) {
          // Pixels of the given colour show the brush instead.
          QRgb key = ToQColor(static_cast<TColor>(op.numbers[0])).rgb();
          for (int y = 0; y < part.height(); ++y)
            for (int x = 0; x < part.width(); ++x)
              if ((part.pixel(x, y) & 0xFFFFFF) == (key & 0xFFFFFF)) part.setPixel(x, y, 0);
          p.fillRect(dest, p.brush());
        }
        if (!part.isNull()) p.drawImage(to, part);
      }
      break;
    case rcPrintData:
      if (printer_ && !printer_->PassThrough(op.text) && !rawRefusedShown_) {
        rawRefusedShown_ = true;
        platform::ui::ShowMessage(kRawDataRefused, "Warning", platform::ui::Buttons::Ok,
                                  platform::ui::Icon::Warning);
      }
      break;
    default: break;
  }
}

void TCanvasReport::FloodFillImage(QPainter& p, QPoint at, TColor color, TFillStyle style) {
  // Only an image canvas can be read back; other devices ignore the fill.
  auto* image = dynamic_cast<QImage*>(p.device());
  if (!image || !image->rect().contains(at)) return;
  QRgb key = ToQColor(color).rgb() & 0xFFFFFF;
  QRgb fill = p.brush().color().rgb() | 0xFF000000;
  auto inside = [&](QPoint q) {
    QRgb c = image->pixel(q) & 0xFFFFFF;
    return style == fsSurface ? c == key : c != key;
  };
  if (!inside(at) || (image->pixel(at) | 0xFF000000) == fill) return;
  p.end();
  std::deque<QPoint> todo{at};
  while (!todo.empty()) {
    QPoint q = todo.front();
    todo.pop_front();
    if (!image->rect().contains(q) || !inside(q) || (image->pixel(q) | 0xFF000000) == fill) continue;
    image->setPixel(q, fill);
    todo.push_back(q + QPoint(1, 0));
    todo.push_back(q + QPoint(-1, 0));
    todo.push_back(q + QPoint(0, 1));
    todo.push_back(q + QPoint(0, -1));
  }
  p.begin(image);
}

// ---- the print run ----

void TPrinterReport::Execute() {
  if (!printer_) {
    platform::ui::ShowMessage(kNoPrinters, "Error", platform::ui::Buttons::Ok, platform::ui::Icon::Error);
    return;
  }
  CheckNotPrinting();
  pageNumber_ = 0;
  struct AfterPrint {
    TPrinterReport& r;
    ~AfterPrint() noexcept(false) {
      if (r.OnAfterPrint) r.OnAfterPrint(r);
    }
  } after{*this};
  if (OnBeforePrint) OnBeforePrint(*this);
  if (!OnPrint && !OnPrintPage) return;
  ReadDeviceMetrics();
  if (!printer_->BeginDoc(Title)) throw EReportWriter("The print job could not be started.");
  printing_ = true;
  aborted_ = false;
  ResetRunState();
  struct EndJob {
    TPrinterReport& r;
    ~EndJob() {
      if (r.aborted_) r.printer_->Abort();
      r.printer_->EndDoc();
      r.printing_ = false;
    }
  } end{*this};
  InitPageState();
  pageNumber_ = 1;
  suppressed_ = pageNumber_ < FirstPage || pageNumber_ > LastPage;
  UpdateStatus();
  if (OnNewPage) OnNewPage(*this);
  if (OnPrintHeader) OnPrintHeader(*this);
  if (OnPrint) {
    OnPrint(*this);
  } else {
    while (OnPrintPage(*this) && !aborted_) NewPage();
  }
  if (OnPrintFooter) OnPrintFooter(*this);
}

void TPrinterReport::NewPage() {
  CheckPrinting();
  if (OnPrintFooter) OnPrintFooter(*this);
  bool oldSuppressed = suppressed_;
  TCanvasReport::NewPage();
  if (!oldSuppressed && !suppressed_) printer_->NewPage();
  if (OnNewPage) OnNewPage(*this);
  if (OnPrintHeader) OnPrintHeader(*this);
}

}  // namespace report
