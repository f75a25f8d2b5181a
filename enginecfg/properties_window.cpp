#include "properties_window.h"

#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <algorithm>

#include "ansi_text.h"
#include "core/cfg_strings.h"
#include "prop.h"
#include "prop_edit.h"

namespace vtxcfg {
namespace {

QFont PageFont() {
  QFont font(QString::fromStdString(CfgString(1051)));
  font.setPixelSize(14);
  font.setWeight(QFont::Normal);
  return font;
}

}  // namespace

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
    p.drawText(r.left() + kRowLeftMargin, r.top() + 3 + fm.ascent(), FromAnsi(row->name()));
    p.restore();
    if (i == selected_) {
      p.setPen(shadow);
      p.drawRect(valueCell.adjusted(0, 0, -1, -1));
    }
    p.save();
    p.setClipRect(valueCell);
    p.drawText(row->split_ + 2, r.top() + 3 + fm.ascent(), FromAnsi(row->value()));
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

}  // namespace vtxcfg

#include "moc_properties_window.cpp"
