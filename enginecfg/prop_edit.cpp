#include "prop_edit.h"

#include <QToolButton>
#include <filesystem>

#include "ansi_text.h"
#include "combo_edit.h"
#include "combo_notify.h"
#include "core/cfg_strings.h"
#include "nice_combo_box.h"
#include "platform/text.h"
#include "platform/ui.h"
#include "prop.h"
#include "properties_window.h"

namespace vtxcfg {

TPropEdit::TPropEdit(PropertiesWindow* list, TProp* row)
    : QWidget(list), list_(list), row_(row), rowId_(row->id()) {
  setObjectName("TPropEdit");
  const auto& choices = row->Choices();
  if (row->Browse()) {
    dots_ = new QToolButton(this);
    dots_->setObjectName("DOTS_BUTTON");
    dots_->setText("...");
    dots_->setFocusPolicy(Qt::NoFocus);
    connect(dots_, &QToolButton::clicked, this, &TPropEdit::Browse);
  }
  combo_ = new TNiceComboBox(this, !choices.empty());
  combo_->Edit()->setFont(list->font());
  combo_->Edit()->setText(FromAnsi(row->value()));
  for (const std::string& c : choices) combo_->AddChoice(c);
  combo_->Edit()->selectAll();
  connect(combo_, &TNiceComboBox::Notify, this, &TPropEdit::OnNotify);
}

void TPropEdit::resizeEvent(QResizeEvent*) {
  int dotsWidth = dots_ ? height() : 0;
  combo_->setGeometry(0, 0, width() - dotsWidth, height());
  if (dots_) dots_->setGeometry(width() - dotsWidth, 0, dotsWidth, height());
}

void TPropEdit::StoreText() { row_->SetShown(ToAnsi(combo_->Edit()->text())); }

void TPropEdit::OnNotify(int code) {
  switch (code) {
    case kNotifySelEndOk:
      row_->SetChanged(true);
      StoreText();
      list_->PostCommit(rowId_);
      break;
    case kNotifySelEndCancel:
      // Escape keeps, and commits, the text shown.
      combo_->Edit()->selectAll();
      row_->SetChanged(true);
      StoreText();
      list_->PostCommit(rowId_);
      break;
    case kNotifyEditChange:
      row_->SetChanged(true);
      StoreText();
      break;
    case kNotifyUp:
    case kNotifyDown:
      if (row_->changed()) StoreText();
      list_->PostLeave(rowId_, code == kNotifyUp);
      break;
    default: break;
  }
}

void TPropEdit::Browse() {
  platform::ui::FileDialogRequest request;
  request.title = CfgString(1071);
  request.filter = CfgString(1070);
  request.defaultExt = "NET";
  request.fileName = platform::Cp1252ToUtf8(row_->value());
  platform::ui::FileDialogResult result = platform::ui::Current().FileDialog(request);
  if (!result.accepted) return;
  std::string dir = std::filesystem::path(result.fileName).parent_path().string();
  combo_->Edit()->setText(QString::fromStdString(dir));
  row_->SetChanged(true);
  StoreText();
  list_->PostCommit(rowId_);
}

}  // namespace vtxcfg

#include "moc_prop_edit.cpp"
