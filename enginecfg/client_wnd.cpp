#include "client_wnd.h"

#include "cfg_notebook.h"
#include "panel.h"

namespace vtxcfg {

TClientWnd::TClientWnd(QWidget* parent) : QWidget(parent), notebook_(new TCfgNotebook(this)) {
  setObjectName("TClientWnd");
  setFocusPolicy(Qt::StrongFocus);
}

void TClientWnd::resizeEvent(QResizeEvent*) { notebook_->setGeometry(rect()); }

void TClientWnd::focusInEvent(QFocusEvent*) {
  if (TPanel* page = notebook_->CurrentPage()) page->setFocus();
}

}  // namespace vtxcfg

#include "moc_client_wnd.cpp"
