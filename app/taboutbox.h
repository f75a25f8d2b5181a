// TAboutBox, "About": the program's name and the build's version.
#pragma once

#include "tdialog.h"

class QLabel;
class QPushButton;

namespace keldro {

class TAboutBox : public TDialog {
  Q_OBJECT
 public:
  TAboutBox(QWidget* parent, QSize screen);

  QLabel* ProductName = nullptr;
  QLabel* Version = nullptr;
  QPushButton* OKButton = nullptr;
};

// The version of this build ("1.0").
const char* ProgramVersion();

}  // namespace keldro
