#include "grid_bitmaps.h"

#include <array>
#include <memory>

#include <QPainter>

namespace grid {

namespace {

struct Marks {
  std::array<QBitmap, 3> masks;
};
int references = 0;
std::unique_ptr<Marks> marks;

// The three marks are 8 x 10 pixels, as the indicator column is 11 wide.
QBitmap Draw(TIndicatorKind kind) {
  QBitmap b(8, 10);
  b.clear();
  QPainter p(&b);
  p.setPen(Qt::color1);
  p.setBrush(Qt::color1);
  switch (kind) {
    case TIndicatorKind::Arrow: {
      const QPoint tri[] = {{2, 1}, {6, 5}, {2, 9}};
      p.drawPolygon(tri, 3);
      break;
    }
    case TIndicatorKind::Edit:
      // An I-beam.
      p.drawLine(1, 0, 6, 0);
      p.drawLine(3, 0, 3, 9);
      p.drawLine(4, 0, 4, 9);
      p.drawLine(1, 9, 6, 9);
      break;
    case TIndicatorKind::Insert:
      // An asterisk.
      p.drawLine(4, 1, 4, 8);
      p.drawLine(1, 3, 7, 6);
      p.drawLine(1, 6, 7, 3);
      p.drawLine(3, 1, 3, 8);
      break;
  }
  return b;
}

}  // namespace

void GridBitmaps::Acquire() {
  if (references++ == 0) {
    marks = std::make_unique<Marks>();
    marks->masks = {Draw(TIndicatorKind::Arrow), Draw(TIndicatorKind::Edit), Draw(TIndicatorKind::Insert)};
  }
}

void GridBitmaps::Release() {
  if (references > 0 && --references == 0) marks.reset();
}

const QBitmap& GridBitmaps::Mask(TIndicatorKind kind) {
  if (!marks) Acquire();  // a caller outside any grid still gets its mark
  return marks->masks[static_cast<size_t>(kind)];
}

void GridBitmaps::PaintIndicator(QPainter& painter, const QRect& cell, TIndicatorKind kind, const QColor& color) {
  const QBitmap& mask = Mask(kind);
  const int left = cell.right() - 2 - mask.width() + 1;
  const int top = cell.top() + (cell.height() - mask.height()) / 2;
  painter.save();
  painter.setPen(color);
  painter.setBackgroundMode(Qt::TransparentMode);
  painter.drawPixmap(left, top, mask.width(), mask.height(), [&] {
    QPixmap px(mask.size());
    px.fill(color);
    px.setMask(mask);
    return px;
  }());
  painter.restore();
}

}  // namespace grid
