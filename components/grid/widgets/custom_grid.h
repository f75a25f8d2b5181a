// TCustomGrid: the grid the data-aware grids build on. A QAbstractScrollArea
// whose viewport shows a table of cells: counts, fixed (title and indicator)
// rows and columns, column widths and row heights, the current cell, the
// first scrollable row and column on screen, cell rectangles and hit tests,
// sizing and moving columns with the mouse, the horizontal scroll bar by
// columns and an in-place editor. What a cell shows is the descendant's
// DrawCell; the vertical scroll bar's actions go to VerticalScrollAction.
#pragma once

#include <functional>
#include <vector>

#include <QAbstractScrollArea>
#include <QColor>
#include <QLineEdit>
#include <QRect>

#include "framework/sysutils.h"

class QPainter;

namespace grid {

enum TGridOption : unsigned {
  goFixedVertLine = 1u << 0,
  goFixedHorzLine = 1u << 1,
  goVertLine = 1u << 2,
  goHorzLine = 1u << 3,
  goColSizing = 1u << 4,
  goColMoving = 1u << 5,
  goEditing = 1u << 6,
  goTabs = 1u << 7,
  goRowSelect = 1u << 8,
  goAlwaysShowEditor = 1u << 9,
};
using TGridOptions = unsigned;

enum TGridDrawStateFlag : unsigned { gdSelected = 1u, gdFocused = 2u, gdFixed = 4u };
using TGridDrawState = unsigned;

enum class TScrollStyle { ssNone, ssHorizontal, ssVertical, ssBoth };

// A misuse of the grid (a column count it cannot show).
class EInvalidGridOperation : public framework::Exception {
 public:
  using framework::Exception::Exception;
};

class TCustomGrid;

// The editor shown over the current cell. Keys that leave the cell go to
// the grid; the others edit the text once the grid allows the change.
class TInplaceEdit : public QLineEdit {
  Q_OBJECT
 public:
  explicit TInplaceEdit(TCustomGrid* grid);

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  bool event(QEvent* event) override;

 private:
  TCustomGrid* grid_;
};

class TCustomGrid : public QAbstractScrollArea {
  Q_OBJECT
 public:
  explicit TCustomGrid(QWidget* parent = nullptr);
  ~TCustomGrid() override;

  int ColCount() const { return static_cast<int>(colWidths_.size()); }
  void SetColCount(int count);
  int RowCount() const { return rowCount_; }
  void SetRowCount(int count);
  int FixedCols() const { return fixedCols_; }
  void SetFixedCols(int count);  // kept below the column count
  int FixedRows() const { return fixedRows_; }
  void SetFixedRows(int count);  // kept below the row count
  int ColWidths(int col) const;
  void SetColWidths(int col, int width);
  int DefaultColWidth() const { return defaultColWidth_; }
  // The height of every row but the fixed ones, and of the fixed rows.
  int DefaultRowHeight() const { return defaultRowHeight_; }
  void SetDefaultRowHeight(int height);
  int FixedRowHeight() const { return fixedRowHeight_; }
  void SetFixedRowHeight(int height);
  int RowHeights(int row) const { return row < fixedRows_ ? fixedRowHeight_ : defaultRowHeight_; }

  TGridOptions GridOptions() const { return gridOptions_; }
  void SetGridOptions(TGridOptions options);
  void SetScrollBars(TScrollStyle style);
  TScrollStyle ScrollBars() const { return scrollBars_; }

  // The current cell, the first scrollable column on screen and the first
  // scrollable row on screen.
  int Col() const { return col_; }
  int Row() const { return row_; }
  void SetCol(int col) { FocusCell(col, row_); }
  void SetRow(int row) { FocusCell(col_, row); }
  // Moves the current cell when SelectCell agrees; true when it moved.
  bool FocusCell(int col, int row);
  int LeftCol() const { return leftCol_; }
  void SetLeftCol(int col);
  int TopRow() const { return topRow_; }
  void SetTopRow(int row);
  // Scrollable rows and columns that fit wholly in the viewport.
  int VisibleRowCount() const;
  int VisibleColCount() const;
  int VisibleRowCountFor(int viewportHeight) const;

  // A cell's rectangle in viewport coordinates, empty when not on screen.
  QRect CellRect(int col, int row) const;
  struct Coord {
    int col = -1, row = -1;
  };
  Coord MouseCoord(int x, int y) const;

  QColor Color() const { return color_; }
  void SetColor(const QColor& color);
  QColor FixedColor() const { return fixedColor_; }
  void SetFixedColor(const QColor& color);
  bool Ctl3D() const { return ctl3D_; }
  void SetCtl3D(bool on);
  int GridLineWidth() const { return 1; }

  TInplaceEdit* InplaceEditor() const { return editor_; }
  bool EditorMode() const { return editor_ && editor_->isVisible(); }
  void SetEditorMode(bool on);

  void InvalidateCell(int col, int row);
  void InvalidateRow(int row);
  void InvalidateGrid();

  // Keys as the grid takes them (also handed over by in-cell controls);
  // true when the key did something here.
  virtual bool KeyDown(int key, Qt::KeyboardModifiers modifiers);
  // The vertical bar's action for a thumb let go (after dragging).
  static constexpr int kThumbPosition = 100;
  // Paints the whole viewport into `painter` (for rendering outside a paint event).
  void PaintCells(QPainter& painter, const QRect& area);

 protected:
  // The area is filled with Color() before the cells are drawn: a cell
  // paints its own background only when it differs. Lines come after.
  virtual void DrawCell(QPainter& painter, int col, int row, const QRect& rect, TGridDrawState state) {}
  virtual bool SelectCell(int col, int row) { return true; }
  virtual void ColumnMoved(int from, int to) {}
  virtual void ColWidthsChanged() {}
  virtual void TopLeftChanged() {}
  virtual void CurrentCellChanged() {}
  virtual void VerticalScrollAction(int action);
  virtual void UpdateScrollRange();
  // The in-place editor: whether it may show over the current cell, its
  // text, the text typed into it, and whether the cell's value may change.
  virtual bool CanEditShow() const;
  virtual QString GetEditText(int col, int row) { return {}; }
  virtual void SetEditText(int col, int row, const QString& text) {}
  virtual bool CanEditModify() { return true; }
  virtual bool CanEditAcceptKey(QChar c) const { return true; }
  // A character typed while no editor is shown.
  virtual void TypedChar(QKeyEvent* event);
  // Sets the current cell without asking SelectCell (the data grids follow
  // their dataset).
  void MoveCurrent(int col, int row);
  void ShowEditor();
  void HideEditor();
  void UpdateEditor();  // text and place of a shown editor

  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;
  void keyPressEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  bool focusNextPrevChild(bool next) override;

  // A press that starts sizing or moving a column; true when it did.
  bool BeginSizingOrMoving(const QPoint& at);
  bool SizingOrMoving() const { return sizingCol_ >= 0 || movingCol_ >= 0; }

 private:
  friend class TInplaceEdit;
  int VertLineWidth() const;
  int HorzLineWidth() const;
  int FixedWidth() const;
  int FixedHeight() const;
  void ClampCurrent();

  std::vector<int> colWidths_;
  int rowCount_ = 0;
  int fixedCols_ = 0, fixedRows_ = 0;
  int defaultColWidth_ = 64;
  int defaultRowHeight_ = 24;
  int fixedRowHeight_ = 24;
  int col_ = 0, row_ = 0;
  int leftCol_ = 0, topRow_ = 0;
  TGridOptions gridOptions_ = goFixedVertLine | goFixedHorzLine | goVertLine | goHorzLine;
  TScrollStyle scrollBars_ = TScrollStyle::ssBoth;
  QColor color_ = Qt::white;
  QColor fixedColor_;
  bool ctl3D_ = true;
  TInplaceEdit* editor_ = nullptr;
  int sizingCol_ = -1, sizingStartX_ = 0, sizingStartWidth_ = 0;
  int movingCol_ = -1;
  bool inScrollUpdate_ = false;
};

}  // namespace grid
