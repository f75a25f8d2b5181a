#include "about_dlg.h"

#include <QLabel>
#include <QPushButton>

#include "ansi_text.h"

namespace vtxcfg {
namespace {

const char* const kAbout[] = {"VTX Configuration Utility",
                              "Version 1.0 for Stashwell Inventory 95",
                              "",
                              "Copyright \xA9 Stashwell Software.",
                              "All rights reserved.",
                              "",
                              "Edits the database engine's configuration."};
const char* const kCredits[] = {"VTX Configuration Utility",
                                "Developed by",
                                "",
                                "the Stashwell Inventory 95 team",
                                "",
                                "",
                                "Thank you for using it."};

}  // namespace

TAboutDialog::TAboutDialog(QWidget* parent) : TCfgDialog(parent, "ABOUTBOX_DLG", "About VTXCFG32", 0) {
  for (int i = 0; i < 7; ++i) {
    QLabel* label = AddText(kAbout[i], 352 + i);
    label->setAlignment(Qt::AlignHCenter);
    if (i == 0) {
      QFont bold = label->font();
      bold.setBold(true);
      label->setFont(bold);
    }
  }
  AddButton("OK", kIdOk, true);
  QPushButton* credits = new QPushButton(this);
  credits->setObjectName("381");
  credits->hide();
  connect(credits, &QPushButton::clicked, this, [this] { ShowCredits(); });
}

std::vector<std::string> TAboutDialog::Texts() const {
  std::vector<std::string> out;
  for (int i = 0; i < 7; ++i) out.push_back(ToAnsi(findChild<QLabel*>(QString::number(352 + i))->text()));
  return out;
}

void TAboutDialog::ShowCredits() {
  for (int i = 0; i < 7; ++i) findChild<QLabel*>(QString::number(352 + i))->setText(FromAnsi(kCredits[i]));
  setWindowTitle("About VTXCFG32 Developers");
}

}  // namespace vtxcfg

#include "moc_about_dlg.cpp"
