// TMySearch, the Search window: a grid of the 22 fields with one criterion
// cell each, level after level, turned into the query that restricts the
// inventory table; and TSearchOptions, the small dialog its "..." cells
// open (the comparison of a number or date row, or a row's pick list).
//
// The window keeps two queries: the one being typed (cleared by every
// showing, Clear Search, an invalid first level and the item overflow) and
// the one applied to the table, which only a successful Ok replaces. The
// table's record filter reads the applied one, so a search stays as it was
// applied while the window is used again.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include <QSize>
#include <QTableWidget>

#include "app_state.h"
#include "core/search_query.h"
#include "tdialog.h"

class QLabel;
class QListWidget;
class QPushButton;

namespace keldro {

class TSearchOptions : public TDialog {
  Q_OBJECT
 public:
  TSearchOptions(QSize screen, QWidget* parent);

  QLabel* FieldNameLabel = nullptr;
  QListWidget* ListBox1 = nullptr;
  QPushButton *OkButton = nullptr, *CancelButton = nullptr;

  void LoadList(const std::vector<std::string>& list);  // Windows-1252 entries

 protected:
  void FormShow() override;
};

// The criteria grid, whose current criterion cell always has its editor.
class TSearchGrid : public QTableWidget {
  Q_OBJECT
 public:
  using QTableWidget::QTableWidget;
  // Writes the open cell editor's text into its cell.
  void CommitEdit();
  // Opens the current cell's editor anew, on the cell's text and mask.
  void ReloadEdit();
};

class TMySearch : public TDialog {
  Q_OBJECT
 public:
  TMySearch(ItemDataSet& table, QWidget* parent = nullptr);

  // What the main window does for a search: turn the search state on
  // (EnableEndSearch), end a search (DoEndSearch), and close and reopen the
  // table with the viewer options applied again.
  std::function<void()> OnEnableEndSearch;
  std::function<void()> OnEndSearch;
  std::function<void()> OnReopenTable;
  // The record editor's pick list 1..5 (brand, location, bought, category,
  // owner).
  std::function<std::vector<std::string>(int list)> PickList;

  // ---- components
  TSearchGrid* SearchGrid = nullptr;
  QPushButton *OkButton = nullptr, *MoreButton = nullptr, *ClearButton = nullptr, *ExitButton = nullptr,
              *HelpButton = nullptr;

  // ---- operations
  void OkButtonClick();
  void MoreButtonClick();
  void ClearButtonClick() { ClearSearch(); }
  void ClearSearch();
  void ExitButtonClick();
  void HelpButtonClick();
  bool SaveFields();
  bool Doit();
  // Accepts or rejects the record under filter test of the table, by the
  // applied query.
  bool BuildFilter();
  // What a click on row r's "..." does.
  void OptionClick(int row);

  int Level() const { return level_; }
  int CriterionTypeOf(int row) const { return types_[static_cast<size_t>(row - 1)]; }
  const SearchItems& Items() const { return items_; }
  const SearchItems& AppliedItems() const { return applied_; }
  // Row r's criterion cell (Windows-1252).
  std::string CellText(int row) const;
  void SetCellText(int row, const std::string& text);

 public slots:
  // Esc leaves as Exit does.
  void reject() override;

 protected:
  void FormPlaced() override;
  void FormShow() override;

 private:
  void CreateComponents();
  void FormCreate();
  void EmptyCriteria();
  void SetHeading();
  void PaintFixedCells();
  void SetCurrentRow(int row);

  ItemDataSet& table_;
  SearchItems items_;
  SearchItems applied_;
  CriterionTypes types_{};
  int level_ = 1;
};

}  // namespace keldro
