#include "op_codec.h"

#include <QBuffer>
#include <cmath>

namespace report::detail {

StreamGraphic SaveGraphic(const QImage& image, TGraphicKind kind) {
  StreamGraphic g;
  g.kind = kind == gkMetafile ? gkOther : kind;
  if (image.isNull()) return g;
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, g.kind == gkBitmap ? "BMP" : g.kind == gkIcon ? "ICO" : "PNG");
  g.bytes.assign(bytes.constData(), static_cast<size_t>(bytes.size()));
  return g;
}

QImage LoadGraphic(const StreamGraphic& g) {
  if (g.kind == gkMetafile || g.bytes.empty()) return {};
  const char* format = g.kind == gkBitmap ? "BMP" : g.kind == gkIcon ? "ICO" : "PNG";
  return QImage::fromData(reinterpret_cast<const uchar*>(g.bytes.data()), static_cast<int>(g.bytes.size()), format);
}

namespace {
bool Positional(RecordCode code, size_t index) {
  // A bitmap's source rectangle is in the bitmap's own pixels.
  return !((code == rcBrushCopy || code == rcCopyRect) && index >= 2);
}
bool HasGraphic(RecordCode c) {
  return c == rcBrushCopy || c == rcDraw || c == rcPrintBitmap || c == rcPrintBitmapRect || c == rcStretchDraw;
}
}  // namespace

Record ToRecord(const DrawOp& op, double ox, double oy) {
  Record r;
  r.code = op.code;
  for (size_t i = 0; i < op.points.size(); ++i) {
    bool pos = Positional(op.code, i);
    r.points.push_back({static_cast<float>(op.points[i].x() + (pos ? ox : 0)),
                        static_cast<float>(op.points[i].y() + (pos ? oy : 0))});
  }
  r.text = op.text;
  switch (op.code) {
    case rcTextCenter:
    case rcTextLeft:
    case rcTextRight:
      r.points.clear();
      r.floats = {static_cast<float>(op.points[0].y() + oy), static_cast<float>(op.points[0].x() + ox)};
      break;
    case rcBrushCopy:
    case rcFloodFill:
      for (double n : op.numbers) r.ints.push_back(static_cast<int32_t>(n));
      break;
    case rcPrintBitmap:
    case rcRoundRect:
      for (double n : op.numbers) r.floats.push_back(static_cast<float>(n));
      break;
    case rcPolygon:
    case rcPolyline: r.ints.push_back(static_cast<int32_t>(op.points.size())); break;
    default: break;
  }
  if (HasGraphic(op.code)) {
    r.graphic = SaveGraphic(op.image, op.kind);
    r.hasGraphic = true;
  }
  return r;
}

DrawOp ToOp(const Record& r) {
  if (r.code < rcArc || r.code > rcPrintData || r.code == rcTextBkMode || r.code == rcBkColor ||
      r.code == rcScaleX || r.code == rcScaleY)
    throw StreamError(kUnexpectedCode);
  DrawOp op;
  op.code = static_cast<RecordCode>(r.code);
  auto finite = [](float v) {
    if (!std::isfinite(v)) throw StreamError(kUnexpectedCode);
    return static_cast<double>(v);
  };
  for (const StreamPoint& p : r.points) op.points.emplace_back(finite(p.x), finite(p.y));
  op.text = r.text;
  switch (op.code) {
    case rcTextCenter:
    case rcTextLeft:
    case rcTextRight: op.points = {QPointF(finite(r.floats[1]), finite(r.floats[0]))}; break;
    case rcBrushCopy:
    case rcFloodFill:
      for (int32_t n : r.ints) op.numbers.push_back(n);
      break;
    case rcPrintBitmap:
    case rcRoundRect:
      for (float f : r.floats) op.numbers.push_back(finite(f));
      break;
    default: break;
  }
  if (r.hasGraphic) {
    op.kind = static_cast<TGraphicKind>(r.graphic.kind);
    op.image = LoadGraphic(r.graphic);
  }
  return op;
}

}  // namespace report::detail
