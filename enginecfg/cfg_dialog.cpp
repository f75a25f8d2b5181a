#include "cfg_dialog.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

#include "ansi_text.h"
#include "core/cfg_strings.h"
#include "platform/ui.h"

namespace vtxcfg {

QWidget* DialogParent(QWidget* fallback) {
  if (QWidget* modal = QApplication::activeModalWidget()) return modal;
  for (QWidget* w : QApplication::topLevelWidgets())
    if (w->isVisible() && qobject_cast<QDialog*>(w) && w->isModal()) return w;
  return fallback;
}

TCfgDialog::TCfgDialog(QWidget* parent, const char* resource, const std::string& caption, int helpContext)
    : QDialog(parent), helpContext_(helpContext) {
  setObjectName(resource);
  setWindowTitle(FromAnsi(caption));
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);
  setModal(true);
  auto* outer = new QVBoxLayout(this);
  auto* top = new QHBoxLayout;
  icon_ = new QLabel(this);
  icon_->setAlignment(Qt::AlignTop);
  icon_->hide();
  top->addWidget(icon_);
  body_ = new QVBoxLayout;
  top->addLayout(body_, 1);
  outer->addLayout(top);
  buttons_ = new QHBoxLayout;
  buttons_->addStretch(1);
  outer->addSpacing(6);
  outer->addLayout(buttons_);
  outer->setSizeConstraint(QLayout::SetFixedSize);
}

TCfgDialog::TCfgDialog(QWidget* parent, const QuestionSpec& spec)
    : TCfgDialog(parent, spec.resource, spec.caption, spec.helpContext) {
  SetIcon(QStyle::SP_MessageBoxQuestion);
  for (const char* line : spec.lines) AddText(line);
  for (const QuestionSpec::Button& b : spec.buttons) AddButton(b.text, b.id, b.id == spec.defaultId);
}

QLabel* TCfgDialog::AddText(const std::string& text, int id) {
  auto* label = new QLabel(FromAnsi(text), this);
  if (id) label->setObjectName(QString::number(id));
  label->setWordWrap(text.size() > 60);
  if (label->wordWrap()) label->setMinimumWidth(320);
  body_->addWidget(label);
  return label;
}

QPushButton* TCfgDialog::AddButton(const QString& text, int id, bool isDefault) {
  auto* button = new QPushButton(text, this);
  button->setObjectName(QString::number(id));
  button->setDefault(isDefault);
  button->setAutoDefault(isDefault);
  buttons_->addWidget(button);
  if (id == kIdHelp)
    connect(button, &QPushButton::clicked, this, [this] { ShowHelp(); });
  else
    connect(button, &QPushButton::clicked, this, [this, id] { done(id); });
  return button;
}

void TCfgDialog::SetIcon(int standardPixmap) {
  int size = style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, this);
  icon_->setPixmap(style()->standardIcon(static_cast<QStyle::StandardPixmap>(standardPixmap), nullptr, this)
                       .pixmap(size, size));
  icon_->show();
}

QPushButton* TCfgDialog::Button(int id) const { return findChild<QPushButton*>(QString::number(id)); }

void TCfgDialog::ShowHelp() {
  if (helpContext_ <= 0) return;
  platform::ui::HelpRequest request;
  request.file = kHelpFile;
  request.command = platform::ui::HelpCommand::Context;
  request.context = static_cast<uint32_t>(helpContext_);
  platform::ui::Current().Help(request);
}

void TCfgDialog::done(int result) {
  if (!CanClose(result)) return;
  QDialog::done(result);
}

void TCfgDialog::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_F1) {
    ShowHelp();
    return;
  }
  QDialog::keyPressEvent(event);
}

}  // namespace vtxcfg

#include "moc_cfg_dialog.cpp"
