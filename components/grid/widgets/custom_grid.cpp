#include "custom_grid.h"

#include <algorithm>

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPalette>
#include <QScrollBar>

namespace grid {

namespace {

// How close to a column's right edge a press in a fixed row starts sizing.
constexpr int kSizingMargin = 3;
constexpr int kMinColWidth = 4;

}  // namespace

// ------------------------------------------------------------- TInplaceEdit

TInplaceEdit::TInplaceEdit(TCustomGrid* grid) : QLineEdit(grid->viewport()), grid_(grid) {
  setFrame(false);
  hide();
}

bool TInplaceEdit::event(QEvent* event) {
  // Tab belongs to the grid, which moves to the next column.
  if (event->type() == QEvent::KeyPress) {
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab) {
      grid_->KeyDown(Qt::Key_Tab,
                     key->key() == Qt::Key_Backtab ? (key->modifiers() | Qt::ShiftModifier) : key->modifiers());
      return true;
    }
  }
  return QLineEdit::event(event);
}

void TInplaceEdit::keyPressEvent(QKeyEvent* event) {
  const int key = event->key();
  const Qt::KeyboardModifiers mods = event->modifiers();
  switch (key) {
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_Escape:
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Insert:
    case Qt::Key_F2:
      grid_->KeyDown(key, mods);
      return;
    default: break;
  }
  if (mods & Qt::ControlModifier) {
    if (key == Qt::Key_Home || key == Qt::Key_End || key == Qt::Key_Delete) {
      grid_->KeyDown(key, mods);
      return;
    }
  }
  // A key that changes the text needs the grid's leave first.
  const QString text = event->text();
  const bool changes = key == Qt::Key_Backspace || key == Qt::Key_Delete ||
                       (!text.isEmpty() && text.at(0).unicode() >= 32 && !(mods & Qt::ControlModifier));
  if (changes) {
    if (!text.isEmpty() && text.at(0).unicode() >= 32 && !grid_->CanEditAcceptKey(text.at(0))) return;
    if (!grid_->CanEditModify()) return;
  }
  const QString before = this->text();
  QLineEdit::keyPressEvent(event);
  if (this->text() != before) grid_->SetEditText(grid_->Col(), grid_->Row(), this->text());
}

// -------------------------------------------------------------- TCustomGrid

TCustomGrid::TCustomGrid(QWidget* parent) : QAbstractScrollArea(parent) {
  setFocusPolicy(Qt::StrongFocus);
  viewport()->setAutoFillBackground(false);
  fixedColor_ = palette().color(QPalette::Button);
  colWidths_.assign(5, defaultColWidth_);
  rowCount_ = 5;
  fixedCols_ = fixedRows_ = 1;
  col_ = leftCol_ = 1;
  row_ = topRow_ = 1;
  editor_ = new TInplaceEdit(this);
  horizontalScrollBar()->setSingleStep(1);
  connect(verticalScrollBar(), &QScrollBar::actionTriggered, this, [this](int action) {
    if (!inScrollUpdate_) VerticalScrollAction(action);
  });
  connect(verticalScrollBar(), &QScrollBar::sliderReleased, this, [this] {
    if (!inScrollUpdate_) VerticalScrollAction(kThumbPosition);
  });
  SetScrollBars(TScrollStyle::ssBoth);
}

TCustomGrid::~TCustomGrid() = default;

int TCustomGrid::VertLineWidth() const {
  return (gridOptions_ & (goVertLine | goFixedVertLine)) ? GridLineWidth() : 0;
}
int TCustomGrid::HorzLineWidth() const {
  return (gridOptions_ & (goHorzLine | goFixedHorzLine)) ? GridLineWidth() : 0;
}

int TCustomGrid::FixedWidth() const {
  int w = 0;
  for (int c = 0; c < fixedCols_; ++c) w += colWidths_[static_cast<size_t>(c)] + VertLineWidth();
  return w;
}

int TCustomGrid::FixedHeight() const { return fixedRows_ * (fixedRowHeight_ + HorzLineWidth()); }

void TCustomGrid::SetColCount(int count) {
  count = std::max(1, count);
  if (count == ColCount()) return;
  colWidths_.resize(static_cast<size_t>(count), defaultColWidth_);
  if (fixedCols_ >= count) fixedCols_ = count - 1;
  ClampCurrent();
  UpdateScrollRange();
  viewport()->update();
}

void TCustomGrid::SetRowCount(int count) {
  count = std::max(1, count);
  if (count == rowCount_) return;
  rowCount_ = count;
  if (fixedRows_ >= count) fixedRows_ = count - 1;
  ClampCurrent();
  UpdateScrollRange();
  viewport()->update();
}

void TCustomGrid::SetFixedCols(int count) {
  count = std::clamp(count, 0, ColCount() - 1);
  if (count == fixedCols_) return;
  fixedCols_ = count;
  ClampCurrent();
  UpdateScrollRange();
  viewport()->update();
}

void TCustomGrid::SetFixedRows(int count) {
  count = std::clamp(count, 0, rowCount_ - 1);
  if (count == fixedRows_) return;
  fixedRows_ = count;
  ClampCurrent();
  UpdateScrollRange();
  viewport()->update();
}

void TCustomGrid::ClampCurrent() {
  leftCol_ = std::clamp(leftCol_, fixedCols_, std::max(fixedCols_, ColCount() - 1));
  topRow_ = std::clamp(topRow_, fixedRows_, std::max(fixedRows_, rowCount_ - 1));
  col_ = std::clamp(col_, fixedCols_, std::max(fixedCols_, ColCount() - 1));
  row_ = std::clamp(row_, fixedRows_, std::max(fixedRows_, rowCount_ - 1));
}

int TCustomGrid::ColWidths(int col) const {
  if (col < 0 || col >= ColCount()) return 0;
  return colWidths_[static_cast<size_t>(col)];
}

void TCustomGrid::SetColWidths(int col, int width) {
  if (col < 0 || col >= ColCount() || colWidths_[static_cast<size_t>(col)] == width) return;
  colWidths_[static_cast<size_t>(col)] = std::max(0, width);
  UpdateScrollRange();
  UpdateEditor();
  viewport()->update();
}

void TCustomGrid::SetDefaultRowHeight(int height) {
  height = std::max(1, height);
  if (height == defaultRowHeight_) return;
  defaultRowHeight_ = height;
  UpdateEditor();
  viewport()->update();
}

void TCustomGrid::SetFixedRowHeight(int height) {
  height = std::max(1, height);
  if (height == fixedRowHeight_) return;
  fixedRowHeight_ = height;
  UpdateEditor();
  viewport()->update();
}

void TCustomGrid::SetGridOptions(TGridOptions options) {
  if (options == gridOptions_) return;
  gridOptions_ = options;
  if (!(gridOptions_ & goEditing) || (gridOptions_ & goRowSelect)) HideEditor();
  viewport()->update();
}

void TCustomGrid::SetScrollBars(TScrollStyle style) {
  scrollBars_ = style;
  const bool h = style == TScrollStyle::ssHorizontal || style == TScrollStyle::ssBoth;
  const bool v = style == TScrollStyle::ssVertical || style == TScrollStyle::ssBoth;
  setHorizontalScrollBarPolicy(h ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
  setVerticalScrollBarPolicy(v ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
  UpdateScrollRange();
}

void TCustomGrid::SetColor(const QColor& color) {
  color_ = color;
  viewport()->update();
}

void TCustomGrid::SetFixedColor(const QColor& color) {
  fixedColor_ = color;
  viewport()->update();
}

void TCustomGrid::SetCtl3D(bool on) {
  ctl3D_ = on;
  setFrameShadow(on ? QFrame::Sunken : QFrame::Plain);
  viewport()->update();
}

// ------------------------------------------------------------ geometry

int TCustomGrid::VisibleRowCountFor(int viewportHeight) const {
  const int avail = viewportHeight - FixedHeight();
  const int step = defaultRowHeight_ + HorzLineWidth();
  return std::max(0, avail / std::max(1, step));
}

int TCustomGrid::VisibleRowCount() const {
  return std::min(VisibleRowCountFor(viewport()->height()), std::max(0, rowCount_ - topRow_));
}

int TCustomGrid::VisibleColCount() const {
  int x = FixedWidth();
  int n = 0;
  for (int c = leftCol_; c < ColCount(); ++c) {
    x += colWidths_[static_cast<size_t>(c)] + VertLineWidth();
    if (x > viewport()->width()) break;
    ++n;
  }
  return n;
}

QRect TCustomGrid::CellRect(int col, int row) const {
  if (col < 0 || col >= ColCount() || row < 0 || row >= rowCount_) return {};
  if ((col >= fixedCols_ && col < leftCol_) || (row >= fixedRows_ && row < topRow_)) return {};
  int x = 0;
  if (col < fixedCols_) {
    for (int c = 0; c < col; ++c) x += colWidths_[static_cast<size_t>(c)] + VertLineWidth();
  } else {
    x = FixedWidth();
    for (int c = leftCol_; c < col; ++c) x += colWidths_[static_cast<size_t>(c)] + VertLineWidth();
  }
  int y = 0;
  if (row < fixedRows_) {
    y = row * (fixedRowHeight_ + HorzLineWidth());
  } else {
    y = FixedHeight() + (row - topRow_) * (defaultRowHeight_ + HorzLineWidth());
  }
  if (x >= viewport()->width() || y >= viewport()->height()) return {};
  return QRect(x, y, colWidths_[static_cast<size_t>(col)], RowHeights(row));
}

TCustomGrid::Coord TCustomGrid::MouseCoord(int x, int y) const {
  Coord c;
  if (x < 0 || y < 0) return c;
  int at = 0;
  for (int col = 0; col < ColCount(); ++col) {
    if (col >= fixedCols_ && col < leftCol_) continue;
    const int next = at + colWidths_[static_cast<size_t>(col)] + VertLineWidth();
    if (x < next) {
      c.col = col;
      break;
    }
    at = next;
  }
  if (y < FixedHeight()) {
    c.row = y / (fixedRowHeight_ + HorzLineWidth());
  } else {
    const int r = topRow_ + (y - FixedHeight()) / (defaultRowHeight_ + HorzLineWidth());
    c.row = r < rowCount_ ? r : -1;
  }
  if (c.col < 0 || c.row < 0) return Coord{};
  return c;
}

void TCustomGrid::SetLeftCol(int col) {
  col = std::clamp(col, fixedCols_, std::max(fixedCols_, ColCount() - 1));
  if (col == leftCol_) return;
  leftCol_ = col;
  UpdateScrollRange();
  UpdateEditor();
  viewport()->update();
  TopLeftChanged();
}

void TCustomGrid::SetTopRow(int row) {
  row = std::clamp(row, fixedRows_, std::max(fixedRows_, rowCount_ - 1));
  if (row == topRow_) return;
  topRow_ = row;
  UpdateScrollRange();
  UpdateEditor();
  viewport()->update();
  TopLeftChanged();
}

bool TCustomGrid::FocusCell(int col, int row) {
  col = std::clamp(col, fixedCols_, std::max(fixedCols_, ColCount() - 1));
  row = std::clamp(row, fixedRows_, std::max(fixedRows_, rowCount_ - 1));
  if (col == col_ && row == row_) return true;
  if (!SelectCell(col, row)) return false;
  MoveCurrent(col, row);
  return true;
}

void TCustomGrid::MoveCurrent(int col, int row) {
  col = std::clamp(col, fixedCols_, std::max(fixedCols_, ColCount() - 1));
  row = std::clamp(row, fixedRows_, std::max(fixedRows_, rowCount_ - 1));
  if (col == col_ && row == row_) return;
  InvalidateRow(row_);
  col_ = col;
  row_ = row;
  // Keep the current column in view.
  if (col_ < leftCol_) {
    SetLeftCol(col_);
  } else {
    while (leftCol_ < col_) {
      const QRect r = CellRect(col_, row_);
      if (r.isValid() && r.right() < viewport()->width()) break;
      SetLeftCol(leftCol_ + 1);
    }
  }
  InvalidateRow(row_);
  if (EditorMode()) {
    if (CanEditShow())
      UpdateEditor();
    else
      HideEditor();
  } else if ((gridOptions_ & goAlwaysShowEditor) && hasFocus()) {
    ShowEditor();
  }
  CurrentCellChanged();
}

// ------------------------------------------------------------ scroll bars

void TCustomGrid::UpdateScrollRange() {
  QScrollBar* h = horizontalScrollBar();
  inScrollUpdate_ = true;
  const int scrollable = std::max(0, ColCount() - fixedCols_ - 1);
  h->setRange(0, scrollable);
  h->setPageStep(std::max(1, VisibleColCount()));
  h->setValue(leftCol_ - fixedCols_);
  QScrollBar* v = verticalScrollBar();
  v->setRange(0, std::max(0, rowCount_ - fixedRows_ - 1));
  v->setValue(topRow_ - fixedRows_);
  inScrollUpdate_ = false;
}

void TCustomGrid::scrollContentsBy(int dx, int dy) {
  // The grid scrolls by whole columns; the viewport is never shifted.
  if (inScrollUpdate_) return;
  if (dx != 0) SetLeftCol(fixedCols_ + horizontalScrollBar()->value());
}

void TCustomGrid::VerticalScrollAction(int action) {
  QScrollBar* v = verticalScrollBar();
  int top = topRow_;
  switch (action) {
    case QAbstractSlider::SliderSingleStepAdd: ++top; break;
    case QAbstractSlider::SliderSingleStepSub: --top; break;
    case QAbstractSlider::SliderPageStepAdd: top += std::max(1, VisibleRowCount()); break;
    case QAbstractSlider::SliderPageStepSub: top -= std::max(1, VisibleRowCount()); break;
    case QAbstractSlider::SliderToMinimum: top = fixedRows_; break;
    case QAbstractSlider::SliderToMaximum: top = rowCount_ - 1; break;
    case QAbstractSlider::SliderMove:
    case kThumbPosition: top = fixedRows_ + v->sliderPosition(); break;
    default: return;
  }
  SetTopRow(top);
  inScrollUpdate_ = true;
  v->setSliderPosition(topRow_ - fixedRows_);
  inScrollUpdate_ = false;
}

// --------------------------------------------------------------- editing

bool TCustomGrid::CanEditShow() const {
  return (gridOptions_ & goEditing) && !(gridOptions_ & goRowSelect) && col_ >= fixedCols_ && row_ >= fixedRows_;
}

void TCustomGrid::SetEditorMode(bool on) {
  if (on)
    ShowEditor();
  else
    HideEditor();
}

void TCustomGrid::ShowEditor() {
  if (!CanEditShow()) return;
  editor_->setText(GetEditText(col_, row_));
  UpdateEditor();
  if (!CellRect(col_, row_).isValid()) return;
  editor_->show();
  editor_->selectAll();
  if (hasFocus() || isActiveWindow()) editor_->setFocus();
}

void TCustomGrid::HideEditor() {
  if (!editor_->isVisible()) return;
  const bool hadFocus = editor_->hasFocus();
  editor_->hide();
  if (hadFocus) setFocus();
}

void TCustomGrid::UpdateEditor() {
  if (!editor_ || !editor_->isVisible()) return;
  const QRect r = CellRect(col_, row_);
  if (!r.isValid()) {
    HideEditor();
    return;
  }
  editor_->setGeometry(r);
}

// ---------------------------------------------------------------- paint

void TCustomGrid::InvalidateCell(int col, int row) {
  const QRect r = CellRect(col, row);
  if (r.isValid()) viewport()->update(r.adjusted(-1, -1, 1, 1));
}

void TCustomGrid::InvalidateRow(int row) {
  const QRect first = CellRect(0, row);
  if (first.isValid()) viewport()->update(QRect(0, first.top() - 1, viewport()->width(), first.height() + 2));
}

void TCustomGrid::InvalidateGrid() { viewport()->update(); }

void TCustomGrid::paintEvent(QPaintEvent* event) {
  QPainter painter(viewport());
  PaintCells(painter, event->rect());
}

void TCustomGrid::PaintCells(QPainter& painter, const QRect& area) {
  // One fill for the whole area: cells in the grid's colour need no
  // background of their own, and the lines go on top in one pass.
  painter.fillRect(area, color_);
  const bool focused = hasFocus();
  std::vector<QRect> colSpans;  // x and width per column on screen
  std::vector<int> cols;
  for (int col = 0; col < ColCount(); ++col) {
    if (col >= fixedCols_ && col < leftCol_) continue;
    const QRect r = CellRect(col, fixedRows_ < rowCount_ ? std::max(fixedRows_, topRow_) : 0);
    if (!r.isValid()) {
      if (col >= fixedCols_) break;
      continue;
    }
    cols.push_back(col);
    colSpans.push_back(r);
  }
  std::vector<int> rows;
  std::vector<QRect> rowSpans;
  auto addRow = [&](int row) {
    const QRect r = CellRect(cols.empty() ? 0 : cols.front(), row);
    if (!r.isValid()) return false;
    rows.push_back(row);
    rowSpans.push_back(r);
    return true;
  };
  for (int row = 0; row < fixedRows_; ++row) addRow(row);
  for (int row = topRow_; row < rowCount_; ++row)
    if (!addRow(row)) break;
  if (cols.empty() || rows.empty()) return;

  for (size_t ri = 0; ri < rows.size(); ++ri) {
    const int row = rows[ri];
    for (size_t ci = 0; ci < cols.size(); ++ci) {
      const int col = cols[ci];
      const QRect r(colSpans[ci].left(), rowSpans[ri].top(), colSpans[ci].width(), rowSpans[ri].height());
      if (!r.adjusted(0, 0, VertLineWidth(), HorzLineWidth()).intersects(area)) continue;
      const bool fixed = col < fixedCols_ || row < fixedRows_;
      TGridDrawState state = fixed ? TGridDrawState{gdFixed} : TGridDrawState{0};
      if (!fixed) {
        if (row == row_ && (col == col_ || (gridOptions_ & goRowSelect))) state |= gdSelected;
        if (row == row_ && col == col_ && focused) state |= gdFocused;
      }
      DrawCell(painter, col, row, r, state);
    }
  }

  // Lines as one-pixel fills: far cheaper than stroked lines.
  const QColor lineColor = ctl3D_ ? palette().color(QPalette::Dark) : QColor(Qt::black);
  const int fixedBottom = fixedRows_ > 0 && !rows.empty() && rows.front() < fixedRows_
                              ? rowSpans[static_cast<size_t>(std::min<int>(fixedRows_, static_cast<int>(rows.size())) - 1)].bottom() + HorzLineWidth()
                              : -1;
  const int bottom = rowSpans.back().bottom() + HorzLineWidth();
  const int fixedRight = fixedCols_ > 0 && cols.front() < fixedCols_
                             ? colSpans[static_cast<size_t>(std::min<int>(fixedCols_, static_cast<int>(cols.size())) - 1)].right() + VertLineWidth()
                             : -1;
  const int right = colSpans.back().right() + VertLineWidth();
  if (VertLineWidth()) {
    for (size_t ci = 0; ci < cols.size(); ++ci) {
      const int x = colSpans[ci].right() + 1;
      const bool fixedCol = cols[ci] < fixedCols_;
      // Through the fixed rows, then through the data rows.
      if (fixedBottom >= 0 && (gridOptions_ & goFixedVertLine)) painter.fillRect(x, 0, 1, fixedBottom + 1, lineColor);
      if ((fixedCol ? (gridOptions_ & goFixedVertLine) : (gridOptions_ & goVertLine)) && bottom > fixedBottom)
        painter.fillRect(x, fixedBottom + 1, 1, bottom - fixedBottom, lineColor);
    }
  }
  if (HorzLineWidth()) {
    for (size_t ri = 0; ri < rows.size(); ++ri) {
      const int y = rowSpans[ri].bottom() + 1;
      const bool fixedRow = rows[ri] < fixedRows_;
      if (fixedRight >= 0 && (gridOptions_ & goFixedHorzLine)) painter.fillRect(0, y, fixedRight + 1, 1, lineColor);
      if ((fixedRow ? (gridOptions_ & goFixedHorzLine) : (gridOptions_ & goHorzLine)) && right > fixedRight)
        painter.fillRect(fixedRight + 1, y, right - fixedRight, 1, lineColor);
    }
  }
}

void TCustomGrid::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  UpdateScrollRange();
  UpdateEditor();
}

// ----------------------------------------------------------------- keys

void TCustomGrid::keyPressEvent(QKeyEvent* event) {
  if (KeyDown(event->key(), event->modifiers())) return;
  const QString text = event->text();
  if (!text.isEmpty() && (text.at(0).unicode() >= 32 || event->key() == Qt::Key_Backspace) &&
      !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier)))
    TypedChar(event);
}

bool TCustomGrid::KeyDown(int key, Qt::KeyboardModifiers modifiers) {
  switch (key) {
    case Qt::Key_Up: FocusCell(col_, row_ - 1); return true;
    case Qt::Key_Down: FocusCell(col_, row_ + 1); return true;
    case Qt::Key_Left: FocusCell(col_ - 1, row_); return true;
    case Qt::Key_Right: FocusCell(col_ + 1, row_); return true;
    case Qt::Key_F2: ShowEditor(); return true;
    default: return false;
  }
}

void TCustomGrid::TypedChar(QKeyEvent* event) {
  if (EditorMode() || !CanEditShow()) return;
  if (event->key() != Qt::Key_Backspace && !CanEditAcceptKey(event->text().at(0))) return;
  if (!CanEditModify()) return;
  ShowEditor();
  if (EditorMode()) QApplication::sendEvent(editor_, event);
}

bool TCustomGrid::focusNextPrevChild(bool next) {
  // With tabs on, Tab moves between columns instead of leaving the grid.
  if (gridOptions_ & goTabs) return false;
  return QAbstractScrollArea::focusNextPrevChild(next);
}

void TCustomGrid::focusInEvent(QFocusEvent* event) {
  QAbstractScrollArea::focusInEvent(event);
  InvalidateCell(col_, row_);
}

void TCustomGrid::focusOutEvent(QFocusEvent* event) {
  QAbstractScrollArea::focusOutEvent(event);
  InvalidateCell(col_, row_);
}

// ---------------------------------------------------------------- mouse

bool TCustomGrid::BeginSizingOrMoving(const QPoint& at) {
  if (at.y() >= FixedHeight()) return false;
  if (gridOptions_ & goColSizing) {
    for (int col = 0; col < ColCount(); ++col) {
      const QRect r = CellRect(col, 0);
      if (!r.isValid()) continue;
      if (std::abs(at.x() - (r.right() + 1)) <= kSizingMargin) {
        sizingCol_ = col;
        sizingStartX_ = at.x();
        sizingStartWidth_ = colWidths_[static_cast<size_t>(col)];
        return true;
      }
    }
  }
  if (gridOptions_ & goColMoving) {
    const Coord c = MouseCoord(at.x(), at.y());
    if (c.col >= fixedCols_) {
      movingCol_ = c.col;
      return true;
    }
  }
  return false;
}

void TCustomGrid::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  const QPoint at = event->position().toPoint();
  if (BeginSizingOrMoving(at)) return;
  const Coord c = MouseCoord(at.x(), at.y());
  if (c.col >= fixedCols_ && c.row >= fixedRows_) FocusCell(c.col, c.row);
}

void TCustomGrid::mouseMoveEvent(QMouseEvent* event) {
  if (sizingCol_ >= 0) {
    const int w = std::max(kMinColWidth, sizingStartWidth_ + event->position().toPoint().x() - sizingStartX_);
    colWidths_[static_cast<size_t>(sizingCol_)] = w;
    UpdateEditor();
    viewport()->update();
  }
}

void TCustomGrid::mouseReleaseEvent(QMouseEvent* event) {
  if (sizingCol_ >= 0) {
    sizingCol_ = -1;
    UpdateScrollRange();
    ColWidthsChanged();
    return;
  }
  if (movingCol_ >= 0) {
    const int from = movingCol_;
    movingCol_ = -1;
    const QPoint at = event->position().toPoint();
    const Coord c = MouseCoord(at.x(), std::min(at.y(), FixedHeight() - 1));
    if (c.col >= fixedCols_ && c.col != from) ColumnMoved(from, c.col);
  }
}

void TCustomGrid::mouseDoubleClickEvent(QMouseEvent* event) { mousePressEvent(event); }

}  // namespace grid

#include "moc_custom_grid.cpp"
