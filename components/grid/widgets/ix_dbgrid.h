// TixDBGrid: the data grid of the component library. On top of the grid
// base it has a column list (`Selected`: one "FIELD<tab>width<tab>title"
// line per shown field, "~" in a title breaking it into lines), title lines,
// colour and alignment, fixed data columns, and in-cell controls taken from
// the dataset's ControlType lines: check boxes drawn in the cell and combo
// boxes (TixDBComboBox, found by name on the grid's form) placed over the
// current cell. It works only over the library's datasets, through a
// TixDataSource.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "grid/ix_memo_stream.h"
#include "grid/ix_table.h"
#include "ix_custom_dbgrid.h"

class QWidget;

namespace grid {

class TixDBComboBox;
class TixDBCustomLookupCombo;

enum class TixCellControl { None, CheckBox, Combo, LookupCombo, Memo };

inline constexpr const char* kNotALibraryDataSetMessage = "ixGrid must use descendent of TixTable, TixQuery, or TixQBE.";
inline constexpr const char* kDiscardChangesQuestion = "Discard changes to this record?";

class TixDBGrid;
using TixCalcCellColorsEvent = std::function<void(TixDBGrid&, framework::TField*, TGridDrawState, bool highlighted,
                                                  QFont& font, QColor& text, QColor& brush)>;
class TixMemoDialog;
// Before the memo dialog opens (its settings may be changed), and after it
// closed (cancelled: it did not end with OK).
using TixMemoOpenEvent = std::function<void(TixDBGrid&, TixMemoDialog&)>;
using TixMemoCloseEvent = std::function<void(TixDBGrid&, bool cancelled)>;

class TixDBGrid : public TixCustomDBGrid {
  Q_OBJECT
 public:
  explicit TixDBGrid(QWidget* parent = nullptr);
  ~TixDBGrid() override;

  const TLines& Selected() const { return selected_; }
  void SetSelected(const TLines& lines);
  TMemoAttributes MemoAttributes() const { return memoAttributes_; }
  void SetMemoAttributes(TMemoAttributes attributes);
  framework::TAlignment TitleAlignment() const { return titleAlignment_; }
  void SetTitleAlignment(framework::TAlignment alignment);
  int FixedDataCols() const { return fixedDataCols_; }
  // Data columns kept fixed at the left; applied only when it fits.
  void SetFixedDataCols(int count);
  bool ShowHorzScrollBar() const { return showHorzScrollBar_; }
  void SetShowHorzScrollBar(bool show);
  int TitleLines() const { return titleLines_; }
  // Below 1 is ignored.
  void SetTitleLines(int lines);
  // Only a TixDataSource is taken; any other leaves the grid without one.
  void SetDataSource(framework::TDataSource* source) override;

  TixCalcCellColorsEvent OnCalcCellColors;
  TixMemoOpenEvent OnMemoOpen;
  TixMemoCloseEvent OnMemoClose;

  // Applies `Selected` lines to the dataset's fields: every field hidden,
  // then each named one shown at the line's position with its width and title.
  static void ApplySelectedToFields(framework::TDataSet& dataSet, const TLines& lines);
  // Finds the form's combo boxes named by "Combo" lines and binds them.
  void AttachControlTypes();
  void CheckDataSetClass();
  void Loaded() override;

  TixCellControl CellControl(int col, int row) const;
  // The combo shown over the current cell, null when none.
  TixDBComboBox* ShownCombo() const { return shownCombo_; }
  // Space or a double click on a check-box cell.
  void ToggleCheckBox();
  // The text a memo cell shows: "(Memo)", or with mGridShow the memo's
  // first line; nothing on the row being inserted.
  virtual QString MemoText(framework::TField& field, int dataRow);
  // F2 or a double click on a memo cell: the memo dialog over its field.
  void OpenMemo();

  bool KeyDown(int key, Qt::KeyboardModifiers modifiers) override;

 protected:
  void LinkActive(bool active) override;
  void ColumnsUpdate() override;
  void UpdateScrollBar() override;
  bool IsInCellControlCell(int col, int row) const override;
  int DataRowHeight() const override;
  int TitleRowHeight() const override;
  void DrawTitleCell(QPainter& painter, int col, const QRect& rect, framework::TField* field) override;
  void DrawDataCell(QPainter& painter, int col, int row, const QRect& rect, framework::TField* field,
                    TGridDrawState state) override;
  void TopLeftChanged() override;
  void TypedChar(QKeyEvent* event) override;
  bool OwnsFocusWidget(const QWidget* widget) const override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;

 private:
  QWidget* Form() const;
  TixDBComboBox* FindCombo(const std::string& name) const;
  TixDBCustomLookupCombo* FindLookupCombo(const std::string& name) const;
  void PlaceLookupCombo(TixDBCustomLookupCombo* combo, const QRect& cell, int col, int row);
  void PlaceCombo(TixDBComboBox* combo, const QRect& cell, int col, int row);
  void HideCombo();
  void RebuildColumnControls();
  bool EnsureComboShown();
  bool EnsureLookupShown();

  struct ColumnControl {
    TixCellControl kind = TixCellControl::None;
    TixDBComboBox* combo = nullptr;
    TixDBCustomLookupCombo* lookup = nullptr;
    std::string checked, unchecked;
  };
  std::vector<ColumnControl> columnControls_;  // by data column
  const ColumnControl* ControlOf(int col) const;

  TLines selected_;
  TMemoAttributes memoAttributes_ = kDefaultMemoAttributes;
  framework::TAlignment titleAlignment_ = framework::taLeftJustify;
  int fixedDataCols_ = 0;
  bool showHorzScrollBar_ = true;
  int titleLines_ = 1;

  TixDBComboBox* shownCombo_ = nullptr;
  TixDBCustomLookupCombo* shownLookup_ = nullptr;  // shown over the cell at comboCol_, comboRow_
  int comboCol_ = -1, comboRow_ = -1;
  bool hasComboColumns_ = false;
  bool hasLookupColumns_ = false;
  bool controlsAttached_ = false;
  bool inPaint_ = false;
  bool selectedApplied_ = false;
  bool checking_ = false;
};

}  // namespace grid
