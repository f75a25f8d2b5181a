// The lookup list and the lookup combo: a field of one dataset edited by
// choosing a record of a lookup table.
//
// TixDBLookupList is a grid over the lookup table that follows (and sets)
// the edited field; TixDBLookupCombo is an edit box with a drop-down button
// whose drop-down is such a list, searched as the user types:
//
//   grid::TixDBLookupCombo combo(form);
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

#include <QLineEdit>
#include <QTimer>
#include <QToolButton>

#include "framework/db.h"
#include "grid/ix_table.h"
#include "ix_custom_dbgrid.h"

namespace grid {

enum TixLookupListOption : unsigned { loColLines = 1u << 0, loRowLines = 1u << 1, loTitles = 1u << 2 };

class TixDBLookupCombo;

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

  // The edited field.
  framework::TDataSource* EditSource() const { return fieldLink_.DataSource(); }
  void SetDataSource(framework::TDataSource* source) override;
  const std::string& DataField() const { return fieldLink_.FieldName(); }
  void SetDataField(const std::string& name);
  framework::TField* Field() const { return fieldLink_.Field(); }

  // The value field's text in the lookup table's current record, and the
  // shown field's.
  std::string Value() const;
  std::string DisplayValue() const;
  // Positions the lookup table on the record of the value (its further key
  // values in `more`); true when found.
  bool SyncToValue(const std::string& value, const std::vector<std::string>& more = {});
  // Writes the current record's value into the edited field (its link
  // values for a calculated lookup field).
  void SyncFromList();
  // Moves the lookup table to the first record whose search field begins
  // with the text (without regard to case); true when one does.
  bool SearchText(const std::string& text);

  std::function<void(TixDBLookupList&)> OnClick;
  // Set by a combo whose drop-down this list is.
  TixDBLookupCombo* Combo = nullptr;

 protected:
  void mouseReleaseEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  std::vector<std::string> KeyFields() const;
  void ApplyColumns();

  framework::TDataSource lookupSource_;
  framework::TFieldDataLink fieldLink_;
  TixTable* lookupTable_ = nullptr;
  std::string lookupField_;
  unsigned listOptions_ = 0;
  bool found_ = false;
};

class TixDBLookupCombo : public QLineEdit {
  Q_OBJECT
 public:
  explicit TixDBLookupCombo(QWidget* parent = nullptr);
  ~TixDBLookupCombo() override;

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
  std::function<void(TixDBLookupCombo&)> OnDropDown, OnCloseUp;

  // Opens the list below the combo (above when the screen's bottom would
  // cut it); warns when there is no lookup table or it is closed.
  void DropDown();
  // Closes the list; with accept the chosen record's value is written.
  void CloseUp(bool accept);
  bool ListVisible() const { return list_->isVisible(); }
  TixDBLookupList& List() { return *list_; }
  // The search the typing timer would run, now.
  void RunPendingSearch();
  bool SearchPending() const { return searchTimer_.isActive(); }

 protected:
  bool event(QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void ShowFieldText();
  void TextTyped();
  bool HandToGrid(int key, Qt::KeyboardModifiers modifiers);

  framework::TFieldDataLink fieldLink_;
  QToolButton* button_ = nullptr;
  TixCustomDBGrid* ownerGrid_ = nullptr;
  TixDBLookupList* list_ = nullptr;
  QTimer searchTimer_;
  std::string lastSearch_;
  std::string savedText_;
};

}  // namespace grid
