#include "taboutbox.h"

#include <QLabel>
#include <QPushButton>
#include <QStyle>

namespace keldro {

const char* ProgramVersion() { return STASHWELL_VERSION; }

TAboutBox::TAboutBox(QWidget* parent, QSize screen) : TDialog(parent, screen, 1) {
  setObjectName("AboutBox");
  setWindowTitle("About");
  resize(300, 150);

  auto* icon = new QLabel(this);
  icon->setPixmap(style()->standardIcon(QStyle::SP_DriveHDIcon).pixmap(32, 32));
  icon->setGeometry(16, 20, 32, 32);

  ProductName = new QLabel("Stashwell Inventory 95", this);
  ProductName->setObjectName("ProductName");
  ProductName->setProperty("majorTitle", true);
  QFont big = ProductName->font();
  big.setPointSize(big.pointSize() + 3);
  big.setBold(true);
  ProductName->setFont(big);
  ProductName->setGeometry(64, 20, 220, 24);

  Version = new QLabel(QString("Version %1").arg(ProgramVersion()), this);
  Version->setObjectName("Version");
  Version->setGeometry(64, 50, 220, 20);

  OKButton = new QPushButton("OK", this);
  OKButton->setObjectName("OKButton");
  OKButton->setGeometry(112, 108, 76, 27);
  OKButton->setDefault(true);
  connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);
  SaveDesign();
}

}  // namespace keldro

#include "moc_taboutbox.cpp"
