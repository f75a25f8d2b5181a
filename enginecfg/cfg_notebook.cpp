#include "cfg_notebook.h"

#include <algorithm>

#include "alias_panel.h"
#include "core/cfg_strings.h"
#include "date_panel.h"
#include "driver_panel.h"
#include "number_panel.h"
#include "properties_window.h"
#include "system_panel.h"
#include "tab_control.h"
#include "time_panel.h"

namespace vtxcfg {

const std::vector<int>& TCfgNotebook::TabIds() {
  static const std::vector<int> ids = {1073, 1072, 1075, 1076, 1080, 1081};
  return ids;
}

TCfgNotebook::TCfgNotebook(QWidget* parent) : QWidget(parent), tabs_(new TTabControl(this)) {
  setObjectName("TCfgNotebook");
  for (int id : TabIds()) {
    tabs_->addTab(QString::fromStdString(CfgString(id)));
    TPanel* page = nullptr;
    switch (id) {
      case 1073: page = new TDriverPanel(this); break;
      case 1072: page = new TAliasPanel(this); break;
      case 1075: page = new TSystemPanel(this); break;
      case 1076: page = new TDatePanel(this); break;
      case 1080: page = new TTimePanel(this); break;
      default: page = new TNumberPanel(this); break;
    }
    page->hide();
    pages_.push_back(page);
  }
  connect(tabs_, &QTabBar::currentChanged, this, [this](int index) { ShowIndex(index); });
  ShowIndex(0);
}

void TCfgNotebook::SelectPage(int tabId) {
  for (size_t i = 0; i < TabIds().size(); ++i)
    if (TabIds()[i] == tabId) tabs_->setCurrentIndex(static_cast<int>(i));
}

void TCfgNotebook::ShowIndex(int index) {
  if (index < 0 || index >= PageCount() || index == current_) return;
  if (current_ >= 0) {
    Page(current_)->Properties()->HideEditor();
    Page(current_)->hide();
  }
  current_ = index;
  Page(index)->show();
  Page(index)->setFocus();
  if (tabs_->currentIndex() != index) tabs_->setCurrentIndex(index);
}

void TCfgNotebook::RefreshAll(bool loaded) {
  for (TPanel* page : pages_) page->Refill(loaded);
}

void TCfgNotebook::resizeEvent(QResizeEvent*) {
  int pageHeight = std::max(0, height() - TTabControl::kHeight);
  for (TPanel* page : pages_) page->setGeometry(0, 0, width(), pageHeight);
  tabs_->setGeometry(0, pageHeight, width(), TTabControl::kHeight);
}

}  // namespace vtxcfg

#include "moc_cfg_notebook.cpp"
