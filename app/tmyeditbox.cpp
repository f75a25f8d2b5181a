#include "tmyeditbox.h"

#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

#include "app_state.h"
#include "core/record_editor.h"
#include "platform/text.h"
#include "platform/ui.h"
#include "tmyedit.h"
#include "ui_utilities.h"

namespace ui = platform::ui;

namespace keldro {

TMyEditBox::TMyEditBox(TMyEdit& editor, int list, QWidget* parent)
    : TDialog(parent, {640, 480}, 5), editor_(editor), list_(list < 1 || list > 5 ? 1 : list) {
  setObjectName("MyEditBox");
  resize(360, 300);
  const std::string_view name = kPickListNames[static_cast<size_t>(list_ - 1)];
  setWindowTitle(QString::fromStdString("Edit \"" + std::string(name) + "\" List"));
  TheList = new QListWidget(this);
  TheList->setObjectName("TheList");
  TheList->setGeometry(8, 8, 248, 248);
  AddInfo = new QLineEdit(this);
  AddInfo->setObjectName("AddInfo");
  AddInfo->setGeometry(8, 266, 248, 24);
  AddInfo->setMaxLength(kPickListEntryLengths[static_cast<size_t>(list_ - 1)]);
  auto button = [this](const char* objectName, const char* caption, int y) {
    auto* b = new QPushButton(QString::fromUtf8(caption), this);
    b->setObjectName(objectName);
    b->setGeometry(268, y, 84, 27);
    b->setAutoDefault(false);
    return b;
  };
  AddButton = button("AddButton", "&Add", 264);
  DeleteButton = button("DeleteButton", "&Delete", 8);
  SortButton = button("SortButton", "&Sort", 42);
  OkButton = button("OkButton", "&Ok", 160);
  CancelButton = button("CancelButton", "&Cancel", 194);
  connect(AddButton, &QPushButton::clicked, this, &TMyEditBox::AddButtonClick);
  connect(DeleteButton, &QPushButton::clicked, this, &TMyEditBox::DeleteButtonClick);
  connect(SortButton, &QPushButton::clicked, this, &TMyEditBox::SortButtonClick);
  connect(OkButton, &QPushButton::clicked, this, &TMyEditBox::OkButtonClick);
  connect(CancelButton, &QPushButton::clicked, this, &TMyEditBox::CancelButtonClick);
  connect(AddInfo, &QLineEdit::returnPressed, this, &TMyEditBox::AddButtonClick);
  SaveSharedDesign<TMyEditBox>();
  SetItems(editor_.PickListItems(list_), -1);
  AddInfo->clear();
}

std::vector<std::string> TMyEditBox::Items() const {
  std::vector<std::string> items;
  for (int i = 0; i < TheList->count(); ++i)
    items.push_back(platform::Utf8ToCp1252(TheList->item(i)->text().toStdString()));
  return items;
}

void TMyEditBox::SetItems(const std::vector<std::string>& items, int selected) {
  TheList->clear();
  for (const std::string& s : items) TheList->addItem(FromAnsi(s));
  TheList->setCurrentRow(selected);
}

void TMyEditBox::FormShow() {
  TheList->setCurrentRow(TheList->count() > 0 ? 0 : -1);
  TheList->setFocus();
}

void TMyEditBox::AddButtonClick() {
  std::vector<std::string> items = Items();
  if (ListEditorAdd(items, platform::Utf8ToCp1252(AddInfo->text().toStdString())))
    TheList->addItem(FromAnsi(items.back()));
  AddInfo->clear();
  AddInfo->setFocus();
}

void TMyEditBox::DeleteButtonClick() {
  std::vector<std::string> items = Items();
  const int selected = TheList->currentItem() ? TheList->currentRow() : -1;
  if (selected < 0) return;
  const int next = ListEditorDelete(items, selected);
  SetItems(items, next);
}

void TMyEditBox::SortButtonClick() {
  if (ui::ShowMessage("Are you sure you want to sort the data?  Sorting cannot be undone.", "Confirm",
                      ui::Buttons::YesNo) != ui::Answer::Yes)
    return;
  std::vector<std::string> items = Items();
  ListEditorSort(items);
  SetItems(items, TheList->count() > 0 ? 0 : -1);
}

void TMyEditBox::UpdateList() { editor_.ReplacePickList(list_, Items()); }

void TMyEditBox::OkButtonClick() {
  UpdateList();
  editor_.SaveAllLists();
  accept();
}

void TMyEditBox::CancelButtonClick() { reject(); }

}  // namespace keldro

#include "moc_tmyeditbox.cpp"
