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

#include "grid/ix_table.h"
#include "ix_custom_dbgrid.h"

class QWidget;

namespace grid {

class TixDBComboBox;

enum TixMemoAttribute : unsigned {
  mSizeable = 1u << 0,
  mWordWrap = 1u << 1,
  mGridShow = 1u << 2,
  mViewOnly = 1u << 3,
  mDisableDialog = 1u << 4,
};
using TixMemoAttributes = unsigned;

enum class TixCellControl { None, CheckBox, Combo, LookupCombo, Memo };

inline constexpr const char* kNotALibraryDataSetMessage = "ixGrid must use descendent of TixTable, TixQuery, or TixQBE.";
inline constexpr const char* kDiscardChangesQuestion = "Discard changes to this record?";
inline constexpr const char* kMemoCellText = "(Memo)";

class TixDBGrid;
using TixCalcCellColorsEvent = std::function<void(TixDBGrid&, framework::TField*, TGridDrawState, bool highlighted,
                                                  QFont& font, QColor& text, QColor& brush)>;
// Runs the memo dialog for the current cell: grid, field, whether the
// dialog may change it. Unassigned, memo cells only show their text.
using TixMemoDialogRunner = std::function<void(TixDBGrid&, framework::TField&, bool viewOnly)>;

class TixDBGrid : public TixCustomDBGrid {
  Q_OBJECT
 public:
  explicit TixDBGrid(QWidget* parent = nullptr);
  ~TixDBGrid() override;

  const TLines& Selected() const { return selected_; }
  void SetSelected(const TLines& lines);
  TixMemoAttributes MemoAttributes() const { return memoAttributes_; }
  void SetMemoAttributes(TixMemoAttributes attributes);
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
  // Where the memo dialog plugs in.
  TixMemoDialogRunner MemoDialogRunner;

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
  // The text a memo cell shows.
  virtual QString MemoCellText(framework::TField& field, int dataRow);

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
  void PlaceCombo(TixDBComboBox* combo, const QRect& cell, int col, int row);
  void HideCombo();
  void OpenMemo();
  void RebuildColumnControls();
  bool EnsureComboShown();

  struct ColumnControl {
    TixCellControl kind = TixCellControl::None;
    TixDBComboBox* combo = nullptr;
    std::string checked, unchecked;
  };
  std::vector<ColumnControl> columnControls_;  // by data column
  const ColumnControl* ControlOf(int col) const;

  TLines selected_;
  TixMemoAttributes memoAttributes_ = mSizeable | mWordWrap;
  framework::TAlignment titleAlignment_ = framework::taLeftJustify;
  int fixedDataCols_ = 0;
  bool showHorzScrollBar_ = true;
  int titleLines_ = 1;

  TixDBComboBox* shownCombo_ = nullptr;
  int comboCol_ = -1, comboRow_ = -1;
  bool hasComboColumns_ = false;
  bool hasLookupColumns_ = false;
  bool controlsAttached_ = false;
  bool inPaint_ = false;
  bool selectedApplied_ = false;
  bool checking_ = false;
};

}  // namespace grid
