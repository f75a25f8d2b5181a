// TViewConfig, the Viewer Configuration window: how the main window's grid
// shows the inventory (title, lines, indicator, editing, fonts and colours)
// and which fields it shows, in which width, order and under which titles.
// It edits the settings directly; closing writes its grids back and hands
// over to the main window to apply them.
#pragma once

#include <array>
#include <functional>

#include "tdialog.h"

#include "app_state.h"
#include "core/viewer_config.h"

class QCheckBox;
class QFrame;
class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QTabWidget;
class QTableWidget;

namespace keldro {

class TViewConfig : public TDialog {
  Q_OBJECT
 public:
  TViewConfig(ItemDataSet& table, QSize screen, QWidget* parent = nullptr);

  // Applies the settings to the main window's grid once they are written
  // back (TMain::SetViewerOptions).
  std::function<void()> OnApplyViewerOptions;

  // The pages, in order.
  enum Page { pgTitle, pgLook, pgShow, pgWidths, pgOrder, pgNames };

  // ---- components
  QTabWidget* MyTabbedPage = nullptr;
  QCheckBox* ShowGridTitle = nullptr;
  QLabel* TitleFont = nullptr;
  QPushButton *TitleFontButton = nullptr, *Button1 = nullptr;
  QFrame* TitleShape = nullptr;
  QGroupBox* TitleAlignment = nullptr;
  QRadioButton *TitleLeft = nullptr, *TitleCenter = nullptr, *TitleRight = nullptr;
  QCheckBox *ColumnLines = nullptr, *RowLines = nullptr, *RowIndicator = nullptr, *FieldEditing = nullptr;
  QLabel* GridFont = nullptr;
  QPushButton *NewFontButton = nullptr, *NewColorBUtton = nullptr;
  QFrame* CellColorShape = nullptr;
  QLabel* ShowLabel = nullptr;
  QTableWidget *FieldsToDisplay = nullptr, *FieldWidthGrid = nullptr, *FieldOrderGrid = nullptr,
               *FieldNameGrid = nullptr;
  QPushButton *OrderUp = nullptr, *OrderDown = nullptr, *OrderDefaults = nullptr;
  QPushButton *ExitButton = nullptr, *HelpButton = nullptr;

  // ---- handlers
  void TitleFontButtonClick();
  void NewFontButtonClick();
  void Button1Click();
  void NewColorBUttonClick();
  void FieldsToDisplayDblClick(int row, int column);
  void OrderUpClick();
  void OrderDownClick();
  void OrderDefaultsClick();
  void HelpButtonClick();
  void ExitButtonClick();

  // The field each row of the order grid carries (-1: none).
  const std::array<int, kItemFieldCount>& OrderRows() const { return orderRows_; }

 protected:
  void FormPlaced() override;

 public slots:
  void reject() override;

 private:
  void CreateComponents();
  void FormCreate();
  bool FormCloseQuery();
  void FormClose();
  void ShowOrderTitles();
  void ShowFontCaptions();
  void ShowColors();
  void MoveOrder(int direction);
  ViewerGrids GridTexts() const;

  ItemDataSet& table_;
  std::array<int, kItemFieldCount> orderRows_{};
  bool closed_ = false;
};

}  // namespace keldro
