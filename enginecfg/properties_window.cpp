#include "properties_window.h"

#include <QFontMetrics>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QScrollBar>
#include <QStyleOption>
#include <QTimer>
#include <QToolButton>
#include <atomic>
#include <filesystem>

#include "core/cfg_strings.h"
#include "platform/text.h"
#include "platform/ui.h"

namespace vtxcfg {
namespace {

std::atomic<uint64_t> g_nextRowId{1};

QString Q(const std::string& ansi) { return QString::fromStdString(platform::Cp1252ToUtf8(ansi)); }
std::string A(const QString& text) { return platform::Utf8ToCp1252(text.toStdString()); }

QFont PageFont() {
  QFont font(QString::fromStdString(CfgString(1051)));
  font.setPixelSize(14);
  font.setWeight(QFont::Normal);
  return font;
}

}  // namespace

// ---------------------------------------------------------------- TProp

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
  if (descriptionControl_) descriptionControl_->setText(Q(description_));
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

// ---------------------------------------------------------------- PropertiesWindow

PropertiesWindow::PropertiesWindow(QWidget* parent) : QWidget(parent), bar_(new QScrollBar(Qt::Vertical, this)) {
  setObjectName("PropertiesWindow");
  setFont(PageFont());
  setFocusPolicy(Qt::StrongFocus);
  setAutoFillBackground(true);
  QPalette pal = palette();
  pal.setColor(QPalette::Window, pal.color(QPalette::Button));
  setPalette(pal);
  QFontMetrics fm(font());
  rowHeight_ = fm.height() + 4;
  bar_->setSingleStep(1);
  bar_->setPageStep(4);
  bar_->hide();
  connect(bar_, &QScrollBar::valueChanged, this, &PropertiesWindow::OnScroll);
}

PropertiesWindow::~PropertiesWindow() { rows_.clear(); }

void PropertiesWindow::AddRow(std::unique_ptr<TProp> row) {
  row->owner_ = this;
  rows_.push_back(std::move(row));
}

void PropertiesWindow::Clear() {
  rows_.clear();
  selected_ = -1;
  firstVisible_ = 0;
  update();
}

QRect PropertiesWindow::ClientRect() const {
  QRect r = rect().adjusted(1, 1, -1, -1);  // the sunken border
  if (!bar_->isHidden()) r.setRight(r.right() - bar_->width());
  return r;
}

void PropertiesWindow::SetupRows() {
  firstVisible_ = 0;
  settingBar_ = true;
  if (RowCount() > kVisibleRows) {
    bar_->setRange(0, RowCount() - kVisibleRows);
    bar_->setValue(0);
    bar_->show();
  } else {
    bar_->setRange(0, 0);
    bar_->hide();
  }
  settingBar_ = false;
  bar_->setGeometry(width() - 1 - bar_->sizeHint().width(), 1, bar_->sizeHint().width(), height() - 2);
  PlaceRows();
}

void PropertiesWindow::PlaceRows() {
  QRect client = ClientRect();
  int y = client.top();
  for (int i = 0; i < RowCount(); ++i) {
    TProp* row = Row(i);
    if (i < firstVisible_) {
      row->row_ = QRect();
      continue;
    }
    row->row_ = QRect(client.left(), y, client.width(), rowHeight_);
    row->split_ = client.left() + client.width() / 2;
    y += rowHeight_;
    if (row->editor_)
      row->editor_->setGeometry(QRect(QPoint(row->split_ + 2, row->row_.top() + 1),
                                      QPoint(row->row_.right(), row->row_.bottom())));
  }
  update();
}

void PropertiesWindow::resizeEvent(QResizeEvent*) {
  bar_->setGeometry(width() - 1 - bar_->sizeHint().width(), 1, bar_->sizeHint().width(), height() - 2);
  PlaceRows();
}

void PropertiesWindow::OnScroll(int value) {
  if (settingBar_) return;
  // A scroll closes (and commits) the editor first; no row stays selected.
  if (selected_ >= 0 && selected_ < RowCount()) Row(selected_)->Deselect();
  selected_ = -1;
  firstVisible_ = std::clamp(value, 0, std::max(0, RowCount() - kVisibleRows));
  PlaceRows();
}

void PropertiesWindow::ShowEditor() {
  if (selected_ >= 0 && selected_ < RowCount()) Row(selected_)->Select();
}

void PropertiesWindow::HideEditor() {
  if (selected_ >= 0 && selected_ < RowCount()) Row(selected_)->Deselect();
}

void PropertiesWindow::SelectRow(int index) {
  index = std::max(index, 0);
  if (index >= RowCount() || index == selected_) return;
  if (selected_ >= 0 && selected_ < RowCount()) Row(selected_)->Deselect();
  int lastVisible = firstVisible_ + kVisibleRows - 1;
  if (index > lastVisible || index < firstVisible_) {
    int target = index > lastVisible ? index - kVisibleRows + 1 : index;
    settingBar_ = true;
    bar_->setValue(target);
    settingBar_ = false;
    firstVisible_ = std::clamp(target, 0, std::max(0, RowCount() - kVisibleRows));
    PlaceRows();
  }
  selected_ = index;
  Row(index)->Select();
}

void PropertiesWindow::SelectRow(const std::string& name) {
  for (int i = 0; i < RowCount(); ++i)
    if (Row(i)->name() == name) return SelectRow(i);
}

TProp* PropertiesWindow::FindRow(uint64_t rowId, int* index) const {
  for (int i = 0; i < RowCount(); ++i)
    if (Row(i)->id() == rowId) {
      if (index) *index = i;
      return Row(i);
    }
  return nullptr;
}

void PropertiesWindow::PostCommit(uint64_t rowId) {
  QMetaObject::invokeMethod(this, [this, rowId] { OnCommit(rowId); }, Qt::QueuedConnection);
}

void PropertiesWindow::PostLeave(uint64_t rowId, bool previous) {
  QMetaObject::invokeMethod(this, [this, rowId, previous] { OnLeave(rowId, previous); }, Qt::QueuedConnection);
}

void PropertiesWindow::OnCommit(uint64_t rowId) {
  if (TProp* row = FindRow(rowId)) row->Commit();  // a row rebuilt away meanwhile is gone: nothing to do
}

void PropertiesWindow::OnLeave(uint64_t rowId, bool previous) {
  int index = -1;
  if (!FindRow(rowId, &index)) return;
  SelectRow(previous ? index - 1 : index + 1);
}

void PropertiesWindow::paintEvent(QPaintEvent*) {
  QPainter p(this);
  const QPalette& pal = palette();
  QColor face = pal.color(QPalette::Button), shadow = pal.color(QPalette::Dark);
  p.fillRect(rect(), face);
  p.setFont(font());
  QFontMetrics fm(font());
  QRect client = ClientRect();
  for (int i = firstVisible_; i < RowCount() && i < firstVisible_ + kVisibleRows; ++i) {
    TProp* row = Row(i);
    const QRect& r = row->row_;
    QRect nameCell(r.left(), r.top(), row->split_ - r.left(), r.height());
    QRect valueCell(row->split_ + 1, r.top(), r.right() - row->split_, r.height());
    p.setPen(shadow);
    p.drawLine(r.topLeft(), r.topRight());
    p.setPen(pal.color(QPalette::ButtonText));
    p.save();
    p.setClipRect(nameCell);
    p.drawText(r.left() + kRowLeftMargin, r.top() + 3 + fm.ascent(), Q(row->name()));
    p.restore();
    if (i == selected_) {
      p.setPen(shadow);
      p.drawRect(valueCell.adjusted(0, 0, -1, -1));
    }
    p.save();
    p.setClipRect(valueCell);
    p.drawText(row->split_ + 2, r.top() + 3 + fm.ascent(), Q(row->value()));
    p.restore();
  }
  int split = client.left() + client.width() / 2;
  p.setPen(shadow);
  p.drawLine(split, client.top(), split, client.bottom());
  p.setPen(pal.color(QPalette::Light));
  p.drawLine(split + 1, client.top(), split + 1, client.bottom());
  // The sunken border.
  p.setPen(shadow);
  p.drawLine(0, 0, width() - 1, 0);
  p.drawLine(0, 0, 0, height() - 1);
  p.setPen(pal.color(QPalette::Light));
  p.drawLine(0, height() - 1, width() - 1, height() - 1);
  p.drawLine(width() - 1, 0, width() - 1, height() - 1);
}

void PropertiesWindow::mousePressEvent(QMouseEvent* event) {
  for (int i = firstVisible_; i < RowCount() && i < firstVisible_ + kVisibleRows; ++i)
    if (Row(i)->row_.contains(event->position().toPoint())) {
      if (i != selected_) SelectRow(i);
      return;
    }
}

void PropertiesWindow::focusInEvent(QFocusEvent*) {
  if (selected_ >= 0 && selected_ < RowCount()) {
    Row(selected_)->Select();
    return;
  }
  if (RowCount() > firstVisible_) SelectRow(firstVisible_);
}

// ---------------------------------------------------------------- combo box

TComboEdit::TComboEdit(QWidget* parent) : QLineEdit(parent) {
  setObjectName("TComboEdit");
  setMaxLength(kEditLimit);
  setFrame(false);
}

void TComboEdit::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Down:
      if (event->modifiers() & Qt::AltModifier) {
        emit DropDown();
        return;
      }
      emit Notify(kNotifyDown);
      return;
    case Qt::Key_Up: emit Notify(kNotifyUp); return;
    case Qt::Key_Return:
    case Qt::Key_Enter: emit Notify(kNotifySelEndOk); return;
    case Qt::Key_Escape: emit Notify(kNotifySelEndCancel); return;
    default: QLineEdit::keyPressEvent(event);
  }
}

TComboLBox::TComboLBox(QWidget* parent) : QListWidget(parent) {
  setObjectName("TComboLBox");
  setWindowFlags(Qt::Popup);
}

void TComboLBox::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter || event->key() == Qt::Key_Escape) {
    hide();
    emit Notify(event->key() == Qt::Key_Escape ? kNotifySelEndCancel : kNotifySelEndOk);
    return;
  }
  QListWidget::keyPressEvent(event);
}

void TComboLBox::focusOutEvent(QFocusEvent* event) {
  QListWidget::focusOutEvent(event);
  hide();
}

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

void TNiceComboBox::AddChoice(const std::string& text) { list_->addItem(Q(text)); }

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

// ---------------------------------------------------------------- TPropEdit

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
  combo_->Edit()->setText(Q(row->value()));
  for (const std::string& c : choices) combo_->AddChoice(c);
  combo_->Edit()->selectAll();
  connect(combo_, &TNiceComboBox::Notify, this, &TPropEdit::OnNotify);
}

void TPropEdit::resizeEvent(QResizeEvent*) {
  int dotsWidth = dots_ ? height() : 0;
  combo_->setGeometry(0, 0, width() - dotsWidth, height());
  if (dots_) dots_->setGeometry(width() - dotsWidth, 0, dotsWidth, height());
}

void TPropEdit::StoreText() { row_->SetShown(A(combo_->Edit()->text())); }

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
