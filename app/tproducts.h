// TProducts, "Other Products": a fixed information text and its button.
#pragma once

#include "tdialog.h"

class QLabel;
class QPushButton;

namespace keldro {

class TProducts : public TDialog {
  Q_OBJECT
 public:
  TProducts(QWidget* parent, QSize screen);

  QLabel* Heading = nullptr;
  QLabel* Information = nullptr;
  QPushButton* OKButton = nullptr;
};

}  // namespace keldro
