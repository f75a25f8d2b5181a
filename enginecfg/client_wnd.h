// The client window of vtxcfg32's frame: it holds the notebook.
#pragma once

#include <QWidget>

namespace vtxcfg {

class TCfgNotebook;

class TClientWnd : public QWidget {
  Q_OBJECT
 public:
  explicit TClientWnd(QWidget* parent = nullptr);
  TCfgNotebook* Notebook() const { return notebook_; }

 protected:
  void resizeEvent(QResizeEvent*) override;
  void focusInEvent(QFocusEvent*) override;

 private:
  TCfgNotebook* notebook_;
};

}  // namespace vtxcfg
