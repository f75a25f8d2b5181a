// The tab strip of the notebook, along the bottom of the client window.
#pragma once

#include <QTabBar>

namespace vtxcfg {

class TTabControl : public QTabBar {
  Q_OBJECT
 public:
  explicit TTabControl(QWidget* parent);
  static constexpr int kHeight = 18;
};

}  // namespace vtxcfg
