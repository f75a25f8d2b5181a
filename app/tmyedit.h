// TMyEdit, the record editor: one inventory record added, edited or copied
// on four notebook pages. It loads the current record of the inventory
// table, checks the entries, writes the record back, steps to the previous
// or next record, asks before changes are lost, and keeps the five pick
// lists with their files (shared with the main window's in-grid combos).
#pragma once

#include <array>
#include <string>
#include <vector>

#include <QSize>

#include "app_state.h"
#include "core/record_editor.h"
#include "tdialog.h"

class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenuBar;
class QPushButton;
class QTabWidget;

namespace keldro {

class TMaskEdit;

// The main window's pick lists, in kPickListFiles order.
using PickListSet = std::array<std::vector<std::string>, 5>;

class TMyEdit : public TDialog {
  Q_OBJECT
 public:
  TMyEdit(ItemDataSet& table, PickListSet& mainLists, QWidget* parent = nullptr);

  // ---- components
  QMenuBar* MainMenu = nullptr;
  QAction *MenuNew = nullptr, *MenuCopyRecord = nullptr, *MenuClear = nullptr, *MenuUpdate = nullptr,
          *MenuUpdateExit = nullptr, *MenuPrevious = nullptr, *MenuNext = nullptr, *MenuExit = nullptr;
  QAction *MenuCut = nullptr, *MenuCopy = nullptr, *MenuPaste = nullptr, *MenuDelete = nullptr,
          *MenuHelp = nullptr;
  QTabWidget* MyTabbedNoteBook = nullptr;
  QLineEdit *Item = nullptr, *Model = nullptr, *Serial = nullptr, *IDMarks = nullptr, *Comments = nullptr,
            *Quantity = nullptr, *Value = nullptr, *Cost = nullptr, *RepCost = nullptr, *WarNotes = nullptr,
            *UserDef1 = nullptr, *UserDef2 = nullptr, *UserDef3 = nullptr, *UserDef4 = nullptr;
  QComboBox *Brand = nullptr, *Category = nullptr, *Location = nullptr, *TheOwner = nullptr, *Bought = nullptr;
  TMaskEdit *WarDate = nullptr, *PurchDate = nullptr;
  QCheckBox* Warranty = nullptr;
  // The label of each entry, in EditorEntry order.
  std::array<QLabel*, kEditorEntryCount> FieldLabels{};
  QLabel *WorthItem = nullptr, *WarrantyItem = nullptr, *OtherItem = nullptr;
  QLabel *TotLabel = nullptr, *TotCostLabel = nullptr, *TotValueLabel = nullptr, *TotRepCostLabel = nullptr;
  QPushButton *BlankWarDate = nullptr, *BlankPurchDate = nullptr;
  QPushButton *UpdateButton = nullptr, *UpdateExitButton = nullptr, *ClearButton = nullptr, *PrevButton = nullptr,
              *NextButton = nullptr, *CancelButton = nullptr;

  // The entry widget of each EditorEntry.
  QWidget* Entry(EditorEntry e) const { return entries_[static_cast<size_t>(e)]; }
  // The editor's combo box of pick list 1..5.
  QComboBox* PickListCombo(int list) const;
  // The items of that combo box (Windows-1252).
  std::vector<std::string> PickListItems(int list) const;
  // Replaces the items of the editor's and the main window's lists.
  void ReplacePickList(int list, const std::vector<std::string>& items);

  // ---- operations
  void LoadInData();
  void SaveValues();
  bool ValuesChanged() const;
  bool DoUpdate();
  void DoAnUpdate();
  void DoUpdateAndExit();
  void DoClear();
  void DoExit();
  void DoPreviousRecord();
  void DoNextRecord();
  void MenuNewClick();
  void MenuCopyRecordClick();
  void CalcTotals();
  void SetColors() override;
  void ItemExit();
  void CostExit();
  void ValueExit();
  void RepCostExit();
  void QuantityExit();
  void LoadList(int list);
  bool SaveList(int list);
  void LoadAllList();
  // False when a list file could not be written.
  bool SaveAllLists();
  void AddToList(QComboBox* combo, const std::string& entry);
  void AddToListTixDB(std::vector<std::string>& list, const std::string& entry);
  void ClipboardCut();
  void ClipboardCopy();
  void ClipboardPaste();
  void ClipboardDelete();
  void ShowHelp();

  // The values shown (Windows-1252 texts).
  EditorValues CurrentValues() const;

 protected:
  void FormPlaced() override;
  void FormShow() override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 public slots:
  void reject() override;
  void done(int result) override;

 private:
  void FormCreate();
  void FormClose();
  void CreateComponents();
  void CreateMenu();
  void SetItemLabels();
  void SetText(EditorEntry e, const std::string& cp1252);
  std::string Text(EditorEntry e) const;
  void FocusEntry(EditorEntry e);
  // Asks `question` (Yes/No/Cancel, No default) and updates on Yes: false
  // when the user stays (Cancel, or a failed update).
  bool AskUpdateFirst(const std::string& question);
  void Move(int direction);
  void MoneyExit(QLineEdit* edit);

  ItemDataSet& table_;
  PickListSet& mainLists_;
  std::array<QWidget*, kEditorEntryCount> entries_{};
  EditorValues snapshot_;
  // Lists whose file exists but could not be read: never written over.
  std::array<bool, 5> unreadable_{};
};

}  // namespace keldro
