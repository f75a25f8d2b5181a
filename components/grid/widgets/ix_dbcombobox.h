// TixDBComboBox: a data-aware combo box (one field of a data source) that
// the data grid places over the current cell of a "Combo" column. Tab and
// Enter hand the key back to the grid it belongs to, Esc returns there.
#pragma once

#include <string>

#include <QComboBox>

#include "framework/db.h"

namespace grid {

class TixCustomDBGrid;

class TixDBComboBox : public QComboBox {
  Q_OBJECT
 public:
  explicit TixDBComboBox(QWidget* parent = nullptr);
  ~TixDBComboBox() override;

  framework::TDataSource* DataSource() const { return dataLink_.DataSource(); }
  void SetDataSource(framework::TDataSource* source) { dataLink_.SetDataSource(source); }
  const std::string& DataField() const { return dataLink_.FieldName(); }
  void SetDataField(const std::string& name) { dataLink_.SetFieldName(name); }
  framework::TField* Field() const { return dataLink_.Field(); }
  // The grid that placed this control over its cell (null when none).
  TixCustomDBGrid* OwnerGrid() const { return ownerGrid_; }
  void SetOwnerGrid(TixCustomDBGrid* grid) { ownerGrid_ = grid; }
  // Shows the field's text: the matching item, or the text itself.
  void ShowFieldText();
  bool Modified() const { return dataLink_.Modified(); }

 protected:
  bool event(QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;

 private:
  void UserChanged(const QString& text);
  bool HandToGrid(int key, Qt::KeyboardModifiers modifiers);

  framework::TFieldDataLink dataLink_;
  TixCustomDBGrid* ownerGrid_ = nullptr;
  bool showing_ = false;
};

}  // namespace grid
