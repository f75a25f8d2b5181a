// A page of the children of "\DATABASES" or "\DRIVERS": their names in list
// 350, the parameters of the selected one beside it, with the buttons that
// add one and delete the selected one.
#pragma once

#include <string>

#include "panel.h"

class QListWidget;

namespace vtxcfg {

class TListPanel : public TPanel {
  Q_OBJECT
 public:
  TListPanel(QWidget* parent, int dialogId, std::string root);
  QListWidget* List() const { return list_; }
  QPushButton* NewButton() const { return new_; }
  QPushButton* DeleteButton() const { return delete_; }
  void Refill(bool loaded) override;
  std::string SelectedName() const;
  // Selects the item of that name (ignoring case); false when there is none.
  bool SelectName(const std::string& name);

 protected:
  void Layout() override;
  void SelectionChanged();
  // The selected item, or the first when none is selected; "" for none.
  std::string EnsureSelection();
  QListWidget* list_;
  QPushButton* new_;     // 364
  QPushButton* delete_;  // 370
  std::string root_;
  bool loaded_ = false;
};

}  // namespace vtxcfg
