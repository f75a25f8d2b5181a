#include "prop.h"

#include <QLabel>
#include <atomic>

#include "ansi_text.h"
#include "combo_edit.h"
#include "nice_combo_box.h"
#include "prop_edit.h"
#include "properties_window.h"

namespace vtxcfg {
namespace {

std::atomic<uint64_t> g_nextRowId{1};

}  // namespace

TProp::TProp(std::string name, QLabel* descriptionControl, std::string description)
    : id_(g_nextRowId++), name_(std::move(name)), descriptionControl_(descriptionControl),
      description_(std::move(description)) {}

TProp::~TProp() { delete editor_; }

bool TProp::WriteValue(const std::string& text) {
  bool changed = text != value_;
  SetShown(text);
  return changed;
}

const std::vector<std::string>& TProp::Choices() const {
  static const std::vector<std::string> none;
  return none;
}

void TProp::Select() {
  if (!owner_ || editor_) return;
  state_ = 1;
  editor_ = new TPropEdit(owner_, this);
  editor_->setGeometry(QRect(QPoint(split_ + 2, row_.top() + 1), QPoint(row_.right(), row_.bottom())));
  editor_->show();
  editor_->Combo()->Edit()->setFocus();
  if (descriptionControl_) descriptionControl_->setText(FromAnsi(description_));
  owner_->update();
}

void TProp::Deselect() {
  if (!editor_) return;
  TPropEdit* e = editor_;
  editor_ = nullptr;
  e->hide();
  e->deleteLater();
  state_ = 0;
  Commit();
  if (owner_) owner_->update();
}

void TProp::Commit() {
  if (!changed_) return;
  changed_ = false;
  WriteValue(value_);
}

}  // namespace vtxcfg
