#include "list_panel.h"

#include <QLabel>
#include <QListWidget>
#include <QPushButton>

#include "ansi_text.h"
#include "core/config_model.h"
#include "properties_window.h"

namespace vtxcfg {
namespace {

constexpr int kListWidth = 132;

}  // namespace

TListPanel::TListPanel(QWidget* parent, int dialogId, std::string root)
    : TPanel(parent, dialogId),
      list_(new QListWidget(this)),
      new_(new QPushButton(this)),
      delete_(new QPushButton(this)),
      root_(std::move(root)) {
  list_->setObjectName("350");
  new_->setObjectName("364");
  delete_->setObjectName("370");
  connect(list_, &QListWidget::currentRowChanged, this, [this] { SelectionChanged(); });
}

void TListPanel::Layout() {
  TPanel::Layout();
  int buttonHeight = new_->sizeHint().height();
  int listHeight = props_->ListHeight() - 2 * (buttonHeight + 4);
  list_->setGeometry(kMargin, kMargin, kListWidth, listHeight);
  new_->setGeometry(kMargin, kMargin + listHeight + 4, kListWidth, buttonHeight);
  delete_->setGeometry(kMargin, kMargin + listHeight + 8 + buttonHeight, kListWidth, buttonHeight);
  props_->setGeometry(2 * kMargin + kListWidth, kMargin, width() - 3 * kMargin - kListWidth, props_->ListHeight());
  props_->SetupRows();
}

std::string TListPanel::SelectedName() const {
  QListWidgetItem* item = list_->currentItem();
  return item ? ToAnsi(item->text()) : std::string();
}

void TListPanel::Refill(bool loaded) {
  loaded_ = loaded;
  std::string keep = SelectedName();
  QSignalBlocker block(list_);
  list_->clear();
  std::string name;
  int select = 0;
  for (int n = 0; loaded && GetChildName(root_, n, name) == 0; ++n) {
    list_->addItem(FromAnsi(name));
    if (name == keep) select = n;
  }
  if (list_->count() > 0) list_->setCurrentRow(select);
  block.unblock();
  SelectionChanged();
}

bool TListPanel::SelectName(const std::string& name) {
  for (int i = 0; i < list_->count(); ++i)
    if (PathEqual(ToAnsi(list_->item(i)->text()), name)) {
      list_->setCurrentRow(i);
      return true;
    }
  return false;
}

std::string TListPanel::EnsureSelection() {
  if (!list_->currentItem() && list_->count() > 0) list_->setCurrentRow(0);
  return SelectedName();
}

void TListPanel::SelectionChanged() {
  props_->Clear();
  std::string selected = SelectedName();
  if (!selected.empty()) {
    std::string node = root_ + "\\" + selected;
    std::string child;
    for (int n = 0; n < kMaxPageNodes && GetChildName(node, n, child) == 0; ++n) AddNodeParams(node + "\\" + child);
    if (loaded_) {
      std::string text;
      GetNodeDescription(node, text);
      description_->setText(FromAnsi(text));
    }
  } else {
    description_->clear();
  }
  props_->SetupRows();
  props_->update();
}

}  // namespace vtxcfg

#include "moc_list_panel.cpp"
