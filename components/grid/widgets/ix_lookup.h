// The lookup list and the lookup combo: a field of one dataset edited by
// choosing a record of a lookup table.
//
// TixDBLookupList is a grid over the lookup table that follows (and sets)
// the edited field; TixDBLookupCombo is an edit box with a drop-down button
// whose drop-down is such a list (TixPopupGrid), searched as the user types:
//
//   grid::TixDBLookupCombo combo(form);  // TixDBCustomLookupCombo, published
//   combo.SetDataSource(&itemsSource);  combo.SetDataField("BRAND");
//   combo.SetLookupTable(&brands);      combo.SetLookupField("NAME");
//
// A data field that is a calculated lookup field of its dataset (its
// LookupFields and LookupLinks lines) receives, on a choice, the link
// values in the local fields instead.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include <QAbstractButton>
#include <QLineEdit>
#include <QPoint>
#include <QTimer>

#include "framework/db.h"
#include "grid/ix_table.h"
#include "ix_custom_dbgrid.h"

namespace grid {

enum TixLookupListOption : unsigned { loColLines = 1u << 0, loRowLines = 1u << 1, loTitles = 1u << 2 };

// The letter case typed text takes, as the framework's edit controls have it.
enum TEditCharCase { ecNormal, ecUpperCase, ecLowerCase };

class TixDBCustomLookupCombo;

class TixDBLookupList : public TixCustomDBGrid {
  Q_OBJECT
 public:
  explicit TixDBLookupList(QWidget* parent = nullptr);
  ~TixDBLookupList() override;

  // SelectedEntry lines (field, tab, width, tab, title) of the lookup table's
  // shown fields.
  TLines Selected;
  TixTable* LookupTable() const { return lookupTable_; }
  // Raises "Unable to use duplicate DataSource and LookupSource" when the
  // table is the edited dataset.
  void SetLookupTable(TixTable* table);
  const std::string& LookupField() const { return lookupField_; }
  // Up to three ";"-separated fields: the value field, then further keys.
  // A value field the open lookup table lacks raises "Field 'X' not found".
  void SetLookupField(const std::string& fields);
  unsigned ListOptions() const { return listOptions_; }
  void SetListOptions(unsigned options);
  // Search style: bit 0 searches a lookup table without index, bit 1
  // matches the beginning of values.
  virtual unsigned SearchStyle() const { return 3; }

  // The edited field.
  framework::TDataSource* EditSource() const { return fieldLink_.DataSource(); }
  // The list may change the edited field: there is none, or it can be
  // modified (for a calculated lookup field: its dataset can).
  bool FieldCanChange() const;
  void SetDataSource(framework::TDataSource* source) override;
  const std::string& DataField() const { return fieldLink_.FieldName(); }
  void SetDataField(const std::string& name);
  framework::TField* Field() const { return fieldLink_.Field(); }

  // The value field, then the further key fields, of LookupField.
  std::vector<std::string> KeyFields() const;
  // The field the list shows and searches: the first Selected line's, else
  // the value field.
  std::string DisplayField() const;
  // The value field's text in the lookup table's current record, and the
  // shown field's.
  std::string Value() const;
  std::string DisplayValue() const;
  // Positions the lookup table on the record of the value (its further key
  // values in `more`); true when found. An index on fewer fields than the
  // keys finds the first record of the value, then equal keys are passed
  // until every key field matches.
  bool SyncToValue(const std::string& value, const std::vector<std::string>& more = {});
  // Writes the current record's value into the edited field (its link
  // values for a calculated lookup field).
  void SyncFromList();
  // Moves the lookup table towards the typed text in the shown field: by
  // its index (a key search, or the incremental search of the index field),
  // else by locating the record when the search style allows; true when
  // the record reached holds the text.
  bool SearchText(const std::string& text);

  // The columns again: the lookup table's visible fields in order (the
  // value field alone when none is visible); the last one widened.
  void ShowColumns();
  // The list's key rules before the grid's: Insert is refused; the arrows
  // are refused while the field cannot change; when the value was not
  // found, the first navigation key goes to the first record and is used up.
  bool KeyDown(int key, Qt::KeyboardModifiers modifiers) override;

  std::function<void(TixDBLookupList&)> OnClick;
  // While the left button is held after a press on a row, the row under the
  // mouse is selected every 60 ms (the list scrolls when the mouse is above
  // or below it).
  QTimer& MouseFollowTimer() { return mouseTimer_; }

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void BuildFieldMap() override;
  // A release of the left button over the list (after the row followed the mouse).
  virtual void Clicked();
  void FollowMouse();

 private:
  bool PassEqualKeysTo(const std::vector<std::string>& keys, const std::vector<std::string>& values,
                       const std::vector<std::string>& indexKey);
  // The last column takes the room the others leave.
  void FitLastColumn();

  framework::TFieldDataLink fieldLink_;
  framework::TDataSource lookupSource_;
  TixTable* lookupTable_ = nullptr;
  std::string lookupField_;
  unsigned listOptions_ = 0;
  bool found_ = false;
  QTimer mouseTimer_;
  QPoint mouseAt_;
  bool following_ = false;
};

// The combo's drop-down: a lookup list in a top-level tool window that
// never takes the focus, holding the display texts of its current record.
class TixPopupGrid : public TixDBLookupList {
  Q_OBJECT
 public:
  explicit TixPopupGrid(TixDBCustomLookupCombo* combo);
  TixDBCustomLookupCombo* Combo() const { return combo_; }
  unsigned SearchStyle() const override;

  // 0: the shown field, 1: the value field, 2 and 3: the further key
  // fields, of the record last stored.
  const std::string& DisplayText(int i) const { return displayTexts_[static_cast<size_t>(i)]; }
  void StoreDisplayTexts();
  void ClearDisplayTexts();
  // At drop-down: with no Selected line, one made from the value field;
  // the lines then decide the lookup table's shown fields (its others are
  // hidden, in every grid on it).
  void UseSelectedColumns();

 protected:
  void Clicked() override;
  bool OwnsFocusWidget(const QWidget* widget) const override;

 private:
  TixDBCustomLookupCombo* combo_;
  std::string displayTexts_[4];
};

// The combo's drop-down button, drawn as the system's combo-box arrow:
// pushed while pressed, inactive while the combo is disabled. A press
// focuses the combo, then closes an open list taking its value, or opens it.
class TixComboButton : public QAbstractButton {
  Q_OBJECT
 public:
  explicit TixComboButton(TixDBCustomLookupCombo* combo);
  TixDBCustomLookupCombo* Combo() const { return combo_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  TixDBCustomLookupCombo* combo_;
};

class TixDBCustomLookupCombo : public QLineEdit {
  Q_OBJECT
 public:
  explicit TixDBCustomLookupCombo(QWidget* parent = nullptr);
  ~TixDBCustomLookupCombo() override;

  framework::TDataSource* DataSource() const { return fieldLink_.DataSource(); }
  void SetDataSource(framework::TDataSource* source);
  const std::string& DataField() const { return fieldLink_.FieldName(); }
  void SetDataField(const std::string& name);
  TixTable* LookupTable() const { return list_->LookupTable(); }
  void SetLookupTable(TixTable* table) { list_->SetLookupTable(table); }
  const std::string& LookupField() const { return list_->LookupField(); }
  void SetLookupField(const std::string& fields) { list_->SetLookupField(fields); }
  TLines& Selected() { return list_->Selected; }
  // The grid that placed this combo over its cell (null when none): keys
  // the closed combo does not use go back to it.
  TixCustomDBGrid* OwnerGrid() const { return ownerGrid_; }
  void SetOwnerGrid(TixCustomDBGrid* grid) { ownerGrid_ = grid; }

  int DropDownCount = 8;
  // Search style: bit 0 searches a lookup table without index, bit 1
  // matches the beginning of values.
  unsigned SearchStyle = 3;
  std::function<void(TixDBCustomLookupCombo&)> OnDropDown, OnCloseUp;
  // The case typed characters are put into the text in.
  TEditCharCase CharCase() const { return charCase_; }
  void SetCharCase(TEditCharCase charCase) { charCase_ = charCase; }
  TixComboButton& Button() { return *button_; }

  // Opens the list below the combo (above when the screen's bottom would
  // cut it); warns when there is no lookup table or it is closed.
  void DropDown();
  // Closes the list; with accept the chosen record's value is written.
  void CloseUp(bool accept);
  bool ListVisible() const { return list_->isVisible(); }
  TixPopupGrid& List() { return *list_; }
  // The search the typing timer would run, now.
  void RunPendingSearch();
  bool SearchPending() const { return searchTimer_.isActive(); }
  int SearchInterval() const { return searchTimer_.interval(); }

  // What the closed combo shows: the shown field of the value's lookup
  // record, else the edit text.
  QString DisplayText() const;
  // The further key values of the last choice: with a LookupField of two or
  // three fields they find the value's record among equal values.
  const std::string& DisplayValue2() const { return displayValue2_; }
  const std::string& DisplayValue3() const { return displayValue3_; }
  // Typing goes into the text: the list is open, or the user has typed
  // since the field was last shown. Otherwise the combo paints itself.
  bool TakesTypedText() const;
  // The height for the font (the closed combo's text and its border).
  int AdjustedHeight() const;

 protected:
  bool event(QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void changeEvent(QEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;

 private:
  friend class TixPopupGrid;
  friend class TixComboButton;
  void ButtonPressed();
  // A typed text in the CharCase.
  QString CharCased(const QString& typed) const;
  void ShowFieldText();
  void TextTyped();
  bool HandToGrid(int key, Qt::KeyboardModifiers modifiers);
  // The grid's own key-down event; false when it took the key away.
  bool GridKeyEvent(int& key, Qt::KeyboardModifiers modifiers);
  // The text may be typed into: not read-only, and the field (when there
  // is one) can be modified.
  bool CanTypeText() const;
  // The edited dataset goes into edit and the field counts as modified,
  // keeping what the user sees; false when it cannot.
  bool BeginTyping();
  bool IsCharKey(const QKeyEvent& event) const;

  framework::TFieldDataLink fieldLink_;
  TixComboButton* button_ = nullptr;
  TixCustomDBGrid* ownerGrid_ = nullptr;
  TixPopupGrid* list_ = nullptr;
  QTimer searchTimer_;
  std::string lastSearch_;
  // Text and value when the combo got the focus (Esc without a field).
  std::string focusText_, focusValue_;
  QString displayText_;
  std::string displayValue2_, displayValue3_;
  bool showing_ = false;
  bool typed_ = false;
  TEditCharCase charCase_ = ecNormal;
};

// The lookup combo as forms use it.
class TixDBLookupCombo : public TixDBCustomLookupCombo {
  Q_OBJECT
 public:
  using TixDBCustomLookupCombo::TixDBCustomLookupCombo;
};

}  // namespace grid
