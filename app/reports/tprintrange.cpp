#include "reports/tprintrange.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>

#include "app_state.h"
#include "platform/ui.h"
#include "reports/preview_rules.h"
#include "reports/report_forms.h"
#include "ui_utilities.h"

namespace keldro::reports {

TPrintRange::TPrintRange(QWidget* parent, int pageCount) : TDialog(parent, QSize(), 4), pageCount_(pageCount) {
  setObjectName("PrintRange");
  setWindowTitle("Page Printing");
  UseOwnScreenWhenUnset();
  resize(250, 120);
  auto edit = [this](QLineEdit*& e, QLabel*& l, const char* name, const char* labelName, const char* caption,
                     int top) {
    l = new QLabel(caption, this);
    l->setObjectName(labelName);
    l->setGeometry(16, top + 3, 110, 20);
    e = new QLineEdit(this);
    e->setObjectName(name);
    e->setMaxLength(3);
    e->setGeometry(130, top, 60, 24);
  };
  edit(StartPage, StartPageLabel, "StartPage", "StartPageLabel", "Starting Page", 14);
  edit(EndPage, EndPageLabel, "EndPage", "EndPageLabel", "Ending Page", 44);
  PrintButton = new QPushButton("&Print", this);
  PrintButton->setObjectName("PrintButton");
  PrintButton->setGeometry(30, 82, 86, 28);
  PrintButton->setDefault(true);
  CancelButton = new QPushButton("&Cancel", this);
  CancelButton->setObjectName("CancelButton");
  CancelButton->setGeometry(134, 82, 86, 28);
  connect(PrintButton, &QPushButton::clicked, this, [this] { PrintButtonClick(); });
  connect(CancelButton, &QPushButton::clicked, this, [this] { CancelButtonClick(); });
  SaveDesign();
}

void TPrintRange::FormShow() {
  StartPage->setText("1");
  EndPage->setText(QString::number(pageCount_));
  chosen_ = false;
}

void TPrintRange::SetColors() {
  ReportColorParts parts;
  parts.form = this;
  parts.minorTitles = {StartPageLabel, EndPageLabel};
  parts.edits = {StartPage, EndPage};
  ApplyReportColors(parts);
}

void TPrintRange::PrintButtonClick() {
  const PageRange r = CheckPageRange(StartPage->text().toStdString(), EndPage->text().toStdString(), pageCount_);
  if (r.outcome != PageRange::Ok) {
    const bool start = r.outcome == PageRange::BadStart;
    platform::ui::ShowMessage(std::string(start ? kBadStartPage : kBadEndPage), "Error");
    (start ? StartPage : EndPage)->setFocus();
    return;
  }
  start_ = r.start;
  end_ = r.end;
  chosen_ = true;
  accept();
}

}  // namespace keldro::reports

#include "moc_tprintrange.cpp"
