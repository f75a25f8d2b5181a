// TixCustomDBGrid: the data-aware grid base of the component library. It
// shows the visible fields of a dataset as columns and the link's window of
// buffered records as rows (the window is as tall as the viewport: the grid
// never reads more records than it shows, nor asks how many there are on a
// dBASE table), with an optional title row and indicator column; it moves
// the dataset as the user scrolls and types, and edits fields through the
// in-place editor.
//
// Failures of the dataset inside a key or mouse handler are shown as
// "Error" messages; the grid stays as it was.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include <QFont>

#include "custom_grid.h"
#include "framework/db.h"
#include "ix_grid_datalink.h"

namespace grid {

enum TixDBGridOption : unsigned {
  dgEditing = 1u << 0,
  dgAlwaysShowEditor = 1u << 1,
  dgTitles = 1u << 2,
  dgIndicator = 1u << 3,
  dgColumnResize = 1u << 4,
  dgColLines = 1u << 5,
  dgRowLines = 1u << 6,
  dgTabs = 1u << 7,
  dgRowSelect = 1u << 8,
  dgAlwaysShowSelection = 1u << 9,
  dgConfirmDelete = 1u << 10,
  dgCancelOnExit = 1u << 11,
};
using TixDBGridOptions = unsigned;
inline constexpr TixDBGridOptions kDefaultDBGridOptions = dgEditing | dgTitles | dgIndicator | dgColumnResize |
                                                          dgColLines | dgRowLines | dgTabs | dgConfirmDelete |
                                                          dgCancelOnExit;

enum TixIndicatorColor { icBlack, icYellow };

inline constexpr int kIndicatorWidth = 11;
inline constexpr const char* kDeleteRecordQuestion = "Delete record?";

// Field text is Windows-1252; the grid's windows work in Unicode.
QString AnsiToQString(const std::string& text);
std::string QStringToAnsi(const QString& text);

class TixCustomDBGrid;
using TixDrawDataCellEvent =
    std::function<void(TixCustomDBGrid&, const QRect&, framework::TField*, TGridDrawState)>;
using TixGridNotifyEvent = std::function<void(TixCustomDBGrid&)>;
// The owner's key handler runs first; setting `key` to 0 takes the key away.
using TixGridKeyEvent = std::function<void(TixCustomDBGrid&, int& key, Qt::KeyboardModifiers)>;

class TixCustomDBGrid : public TCustomGrid {
  Q_OBJECT
 public:
  explicit TixCustomDBGrid(QWidget* parent = nullptr);
  ~TixCustomDBGrid() override;

  TixDBGridOptions Options() const { return options_; }
  void SetOptions(TixDBGridOptions options);
  const QFont& TitleFont() const { return titleFont_; }
  void SetTitleFont(const QFont& font);
  TixIndicatorColor IndicatorColor() const { return indicatorColor_; }
  void SetIndicatorColor(TixIndicatorColor color);
  framework::TDataSource* DataSource() const { return dataLink_.DataSource(); }
  virtual void SetDataSource(framework::TDataSource* source);
  bool ReadOnly() const { return readOnly_; }
  void SetReadOnly(bool readOnly);
  bool DefaultDrawing = true;
  QColor TitleColor() const { return titleColor_; }
  void SetTitleColor(const QColor& color);

  TixGridNotifyEvent OnColEnter, OnColExit, OnDblClick;
  TixDrawDataCellEvent OnDrawDataCell;
  TixGridKeyEvent OnKeyDown;

  TixGridDataLink& DataLink() { return dataLink_; }
  framework::TDataSet* DataSet() const { return dataLink_.DataSet(); }
  // The field of the current column, null when none.
  framework::TField* SelectedField() const;
  int SelectedIndex() const { return Col() - indicatorOffset_; }
  void SetSelectedIndex(int index);
  // The field shown in a grid column, null for the indicator or past the map.
  framework::TField* ColumnField(int col) const;
  int TitleOffset() const { return titleOffset_; }
  int IndicatorOffset() const { return indicatorOffset_; }
  // Data rows the viewport holds: the link's window.
  int VisibleDataRows() const;
  // The grid can change data: editing on, not read-only, the dataset modifiable.
  bool CanEditGrid() const;

  // After the owner built its controls (a form loaded from its resource).
  virtual void Loaded();
  // Lays the grid out again (fields, widths, rows).
  void LayoutChanged();
  void BeginLayout();
  void EndLayout();

  bool KeyDown(int key, Qt::KeyboardModifiers modifiers) override;

  // The colours of the grid font and the title font.
  QColor FontColor = Qt::black;
  QColor TitleFontColor = Qt::black;

 protected:
  friend class TixGridDataLink;
  // Notifications from the link.
  virtual void LinkActive(bool active);
  virtual void DataChanged();
  virtual void Scroll(int distance);
  virtual void EditingChanged();
  virtual void RecordChanged(framework::TField* field);
  virtual void UpdateData();

  virtual void BuildFieldMap();
  virtual void ColumnsUpdate();
  virtual void UpdateScrollBar();
  // Whether the cell carries an in-cell control (check box, combo, memo).
  virtual bool IsInCellControlCell(int col, int row) const { return false; }
  // Row heights for the current fonts.
  virtual int DataRowHeight() const;
  virtual int TitleRowHeight() const;
  virtual void DrawTitleCell(QPainter& painter, int col, const QRect& rect, framework::TField* field);
  virtual void DrawDataCell(QPainter& painter, int col, int row, const QRect& rect, framework::TField* field,
                            TGridDrawState state);
  void DrawIndicatorCell(QPainter& painter, int row, const QRect& rect);
  // The colours of a data cell in its state.
  void CellColors(TGridDrawState state, QColor& background, QColor& text) const;
  void DrawCellText(QPainter& painter, const QRect& rect, const QString& text, framework::TAlignment alignment,
                    int leftInset, int rightInset, int topInset);
  // Runs `read` with the fields reading the record of a data row.
  void WithDataRow(int dataRow, const std::function<void()>& read);
  // Runs a dataset operation; a failure is shown and the grid stays usable.
  bool Guarded(const std::function<void()>& action);
  virtual void ColEnter();
  virtual void ColExit();

  void DrawCell(QPainter& painter, int col, int row, const QRect& rect, TGridDrawState state) override;
  bool SelectCell(int col, int row) override;
  void ColumnMoved(int from, int to) override;
  void ColWidthsChanged() override;
  void VerticalScrollAction(int action) override;
  bool CanEditShow() const override;
  QString GetEditText(int col, int row) override;
  void SetEditText(int col, int row, const QString& text) override;
  bool CanEditModify() override;
  bool CanEditAcceptKey(QChar c) const override;

  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void changeEvent(QEvent* event) override;

  // The last data column (indicator and fixed columns counted).
  int LastDataCol() const { return ColCount() - 1; }
  int FirstDataCol() const { return FixedCols(); }
  void UpdateRowCount();
  void UpdateActive();
  // The vertical bar's position for where the dataset stands.
  void CurrentScrollRange(int& maximum, int& position);
  // Leaving the grid: an untouched new record is cancelled, or the editor's text written.
  virtual void LeaveGrid();
  // Whether focus moving to `widget` stays within the grid (its editor, its controls).
  virtual bool OwnsFocusWidget(const QWidget* widget) const;


 private:
  void InternalLayout();
  void DeleteCurrentRecord();
  void NextColumn(bool forward);
  void MoveCol(int col);
  bool AtEndOfInsert() const;
  bool CanAppend() const;
  int zeroWidth() const;

  TixGridDataLink dataLink_;
  TixDBGridOptions options_ = 0;
  QFont titleFont_;
  TixIndicatorColor indicatorColor_ = icBlack;
  bool readOnly_ = false;
  int titleOffset_ = 0;
  int indicatorOffset_ = 0;
  int layoutLock_ = 0;
  bool inLayout_ = false;
  QString editText_;
  int indicatorRow_ = -1;
  bool vertScrollShown_ = true;
  QColor titleColor_;
  std::vector<bool> tabStops_;

 protected:
  int rowHeightMultiplier_ = 1;
  bool IsTabStop(int col) const;
  void SetTabStop(int col, bool on);
};

}  // namespace grid
