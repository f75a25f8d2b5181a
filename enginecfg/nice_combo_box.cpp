#include "nice_combo_box.h"

#include <QToolButton>

#include "ansi_text.h"
#include "combo_edit.h"
#include "combo_lbox.h"
#include "combo_notify.h"

namespace vtxcfg {

TNiceComboBox::TNiceComboBox(QWidget* parent, bool withArrow)
    : QWidget(parent), edit_(new TComboEdit(this)), list_(new TComboLBox(this)) {
  setObjectName("TNiceComboBox");
  setAutoFillBackground(true);
  QPalette pal = palette();
  pal.setColor(QPalette::Window, pal.color(QPalette::Base));
  setPalette(pal);
  if (withArrow) {
    arrow_ = new QToolButton(this);
    arrow_->setObjectName("COMBO_ARROW");
    arrow_->setArrowType(Qt::DownArrow);
    arrow_->setFocusPolicy(Qt::NoFocus);
    connect(arrow_, &QToolButton::pressed, this, &TNiceComboBox::ShowDropDown);
  }
  list_->hide();
  connect(edit_, &TComboEdit::Notify, this, &TNiceComboBox::Notify);
  connect(edit_, &TComboEdit::DropDown, this, &TNiceComboBox::ShowDropDown);
  // Typing and pasting alike change the value.
  connect(edit_, &QLineEdit::textEdited, this, [this] { emit Notify(kNotifyEditChange); });
  connect(list_, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) {
    edit_->setText(item->text());
    list_->hide();
    edit_->setFocus();
    emit Notify(kNotifySelEndOk);
  });
  connect(list_, &QListWidget::currentItemChanged, this, [this](QListWidgetItem* item) {
    if (item && list_->isVisible()) edit_->setText(item->text());
  });
  connect(list_, &TComboLBox::Notify, this, [this](int code) {
    edit_->setFocus();
    emit Notify(code);
  });
}

void TNiceComboBox::AddChoice(const std::string& text) { list_->addItem(FromAnsi(text)); }

void TNiceComboBox::ShowDropDown() {
  if (!arrow_ || list_->count() == 0) return;
  QPoint below = mapToGlobal(QPoint(0, height()));
  list_->setGeometry(below.x(), below.y(), width(), kDropDownHeight);
  auto found = list_->findItems(edit_->text(), Qt::MatchExactly);
  if (!found.isEmpty()) list_->setCurrentItem(found.front());
  list_->show();
  list_->setFocus();
}

void TNiceComboBox::resizeEvent(QResizeEvent*) {
  int arrowWidth = arrow_ ? height() : 0;
  edit_->setGeometry(0, 0, width() - arrowWidth, height());
  if (arrow_) arrow_->setGeometry(width() - arrowWidth, 0, arrowWidth, height());
}

}  // namespace vtxcfg

#include "moc_nice_combo_box.cpp"
