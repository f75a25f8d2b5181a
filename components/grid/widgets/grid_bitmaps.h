// The grid's indicator marks: the arrow of the current record, the edit
// mark and the insert mark, drawn by us as masks (shared by every grid,
// made by the first and freed with the last), and painted in black or yellow.
#pragma once

#include <QBitmap>
#include <QColor>
#include <QRect>

class QPainter;

namespace grid {

enum class TIndicatorKind { Arrow, Edit, Insert };

class GridBitmaps {
 public:
  // Every grid holds one reference for its life.
  static void Acquire();
  static void Release();
  static const QBitmap& Mask(TIndicatorKind kind);
  // Paints the mark right-aligned 2 pixels from the cell's right edge,
  // vertically centred.
  static void PaintIndicator(QPainter& painter, const QRect& cell, TIndicatorKind kind, const QColor& color);
};

}  // namespace grid
