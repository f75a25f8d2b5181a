#include "tproducts.h"

#include <QLabel>
#include <QPushButton>

namespace keldro {

TProducts::TProducts(QWidget* parent, QSize screen) : TDialog(parent, screen, 1) {
  setObjectName("Products");
  setWindowTitle("Other Products");
  resize(360, 200);

  Heading = new QLabel("Stashwell Inventory 95", this);
  Heading->setObjectName("Heading");
  Heading->setProperty("majorTitle", true);
  QFont bold = Heading->font();
  bold.setBold(true);
  Heading->setFont(bold);
  Heading->setGeometry(16, 16, 328, 20);

  Information = new QLabel(
      "Stashwell Inventory 95 keeps the record of your possessions that an insurance claim needs: "
      "what you own, where it is, what it cost and what it is worth.\n\n"
      "Further programs of this family will be announced with its updates.",
      this);
  Information->setObjectName("Information");
  Information->setWordWrap(true);
  Information->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  Information->setGeometry(16, 44, 328, 100);

  OKButton = new QPushButton("OK", this);
  OKButton->setObjectName("OKButton");
  OKButton->setGeometry(142, 158, 76, 27);
  OKButton->setDefault(true);
  connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);
  SaveDesign();
}

}  // namespace keldro

#include "moc_tproducts.cpp"
