#include "panel.h"

#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>

#include "cfg_prop.h"
#include "core/config_model.h"
#include "properties_window.h"

namespace vtxcfg {

TPanel::TPanel(QWidget* parent, int dialogId) : QWidget(parent), dialogId_(dialogId) {
  setAutoFillBackground(true);
  QPalette pal = palette();
  pal.setColor(QPalette::Window, pal.color(QPalette::Button));
  setPalette(pal);
  props_ = new PropertiesWindow(this);
  caption_ = new QLabel("Description:", this);
  caption_->setObjectName("363");
  description_ = new QLabel(this);
  description_->setObjectName("362");
  description_->setWordWrap(true);
  description_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  help_ = new QPushButton("&Help", this);
  help_->setObjectName("380");
  connect(help_, &QPushButton::clicked, this, [this] { ShowHelp(); });
}

void TPanel::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_F1: ShowHelp(); return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape: return;  // a page has no OK or Cancel
    default: QWidget::keyPressEvent(event);
  }
}

void TPanel::resizeEvent(QResizeEvent*) { Layout(); }

void TPanel::Layout() {
  int listTop = kMargin;
  props_->setGeometry(kMargin, listTop, width() - 2 * kMargin, props_->ListHeight());
  props_->SetupRows();
  int y = listTop + props_->ListHeight() + 6;
  QSize helpSize = help_->sizeHint();
  caption_->setGeometry(kMargin, y, width() - 2 * kMargin, caption_->sizeHint().height());
  y += caption_->sizeHint().height() + 2;
  description_->setGeometry(kMargin, y, width() - 3 * kMargin - helpSize.width(), height() - y - kMargin);
  help_->setGeometry(width() - kMargin - helpSize.width(), height() - kMargin - helpSize.height(),
                     helpSize.width(), helpSize.height());
}

void TPanel::AddNodeParams(const std::string& path) {
  for (int n = 0; n < kMaxNodeParams; ++n) {
    const ConfigEntry* e = GetNodeEntry(path, n);
    if (!e) break;
    std::string name = e->name;
    props_->AddRow(BuildNodeProperties(props_, name, path, description_));
  }
}

}  // namespace vtxcfg

#include "moc_panel.cpp"
