#include "reports/tmyinsurance.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>

#include "app_state.h"
#include "platform/text.h"
#include "reports/report_forms.h"
#include "ui_utilities.h"

namespace keldro::reports {

namespace {
// Settings hold Windows-1252 bytes; the edits Unicode.
QString FromSetting(const std::string& text) { return QString::fromStdString(platform::Cp1252ToUtf8(text)); }
std::string ToSetting(const QLineEdit* edit, size_t limit) {
  std::string text = platform::Utf8ToCp1252(edit->text().toStdString());
  if (text.size() > limit) text.resize(limit);
  return text;
}
}  // namespace

TMyInsurance::TMyInsurance(QWidget* parent) : TDialog(parent, QSize(), 4) {
  setObjectName("MyInsurance");
  setWindowTitle("Insurance Information");
  UseOwnScreenWhenUnset();
  resize(420, 230);
  auto edit = [this](QLineEdit*& e, QLabel*& l, const char* name, const char* caption, int length, int top) {
    l = new QLabel(caption, this);
    l->setObjectName(QString(name) + "Label");
    l->setGeometry(16, top, 200, 18);
    e = new QLineEdit(this);
    e->setObjectName(name);
    e->setMaxLength(length);
    e->setGeometry(16, top + 20, 260, 24);
  };
  auto check = [this](QCheckBox*& c, const char* name, const char* caption, QRect r) {
    c = new QCheckBox(caption, this);
    c->setObjectName(name);
    c->setGeometry(r);
  };
  edit(YourName, YourNameLabel, "YourName", "Your Name", 30, 10);
  edit(InsCo, InsCoLabel, "InsCo", "Insurance Company", 40, 60);
  check(PrintInsCo, "PrintInsCo", "Print On Report", QRect(288, 82, 130, 20));
  edit(PolNum, PolNumLabel, "PolNum", "Policy Number", 20, 110);
  check(PrintPolNum, "PrintPolNum", "Print On Report", QRect(288, 132, 130, 20));
  check(PrintStatement, "PrintStatement", "Print Insurance Inventory Statement", QRect(16, 164, 300, 20));
  Button1 = new QPushButton("&Ok", this);
  Button1->setObjectName("Button1");
  Button1->setGeometry(166, 194, 88, 28);
  Button1->setDefault(true);
  connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
  SaveDesign();
}

void TMyInsurance::FormShow() {
  const ReportSettings& r = Settings.reports;
  PrintInsCo->setChecked(r.printInsuranceCompany);
  PrintPolNum->setChecked(r.printPolicyNumber);
  PrintStatement->setChecked(r.printStatement);
  YourName->setText(FromSetting(r.yourName));
  InsCo->setText(FromSetting(r.insuranceCompany));
  PolNum->setText(FromSetting(r.policyNumber));
}

void TMyInsurance::SetColors() {
  ReportColorParts parts;
  parts.form = this;
  parts.minorTitles = {YourNameLabel, InsCoLabel, PolNumLabel};
  parts.edits = {YourName, InsCo, PolNum};
  parts.checks = {PrintInsCo, PrintPolNum, PrintStatement};
  ApplyReportColors(parts);
}

void TMyInsurance::done(int result) {
  FormClose();
  QDialog::done(result);
}

void TMyInsurance::FormClose() {
  ReportSettings& r = Settings.reports;
  r.printInsuranceCompany = PrintInsCo->isChecked();
  r.printPolicyNumber = PrintPolNum->isChecked();
  r.printStatement = PrintStatement->isChecked();
  r.yourName = ToSetting(YourName, 30);
  r.insuranceCompany = ToSetting(InsCo, 40);
  r.policyNumber = ToSetting(PolNum, 20);
}

}  // namespace keldro::reports

#include "moc_tmyinsurance.cpp"
