#include "ttipofday.h"

#include <chrono>

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QStyle>

#include "app_state.h"
#include "core/tips.h"

namespace keldro {

TTipOfDay::TTipOfDay(QWidget* parent, QSize screen) : TDialog(parent, screen, 1) {
  setObjectName("TipOfDay");
  setWindowTitle("Tip of the Day");
  resize(392, 190);

  auto* bulb = new QLabel(this);
  bulb->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxInformation).pixmap(32, 32));
  bulb->setGeometry(16, 16, 32, 32);

  HeadingLabel = new QLabel("Did you know?", this);
  HeadingLabel->setObjectName("HeadingLabel");
  HeadingLabel->setProperty("majorTitle", true);
  QFont heading = HeadingLabel->font();
  heading.setPointSize(heading.pointSize() + 4);
  heading.setBold(true);
  HeadingLabel->setFont(heading);
  HeadingLabel->setGeometry(64, 16, 312, 28);

  TipComment = new QLabel(this);
  TipComment->setObjectName("TipComment");
  TipComment->setWordWrap(true);
  TipComment->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  TipComment->setGeometry(64, 52, 312, 80);

  ShowTips = new QCheckBox("&Show Tips at Startup", this);
  ShowTips->setObjectName("ShowTips");
  ShowTips->setGeometry(16, 150, 180, 24);

  NextTipButton = new QPushButton("&Next Tip", this);
  NextTipButton->setObjectName("NextTipButton");
  NextTipButton->setGeometry(208, 148, 80, 27);
  CloseButton = new QPushButton("&Close", this);
  CloseButton->setObjectName("CloseButton");
  CloseButton->setGeometry(296, 148, 80, 27);
  CloseButton->setDefault(true);
  connect(NextTipButton, &QPushButton::clicked, this, &TTipOfDay::NextTipButtonClick);
  connect(CloseButton, &QPushButton::clicked, this, &TTipOfDay::CloseButtonClick);
  SaveDesign();
}

void TTipOfDay::FormShow() {
  ShowTips->setChecked(Settings.showTips);
  const auto clock = std::chrono::system_clock::now().time_since_epoch().count();
  ShowTip(RandomTip(static_cast<uint64_t>(clock)));
}

void TTipOfDay::ShowTip(int number) {
  tip_ = number;
  TipComment->setText(QString::fromUtf8(TipText(number).data(), static_cast<qsizetype>(TipText(number).size())));
}

void TTipOfDay::NextTipButtonClick() { ShowTip(NextTip(tip_)); }

void TTipOfDay::CloseButtonClick() { accept(); }

void TTipOfDay::done(int result) {
  Settings.showTips = ShowTips->isChecked();
  TDialog::done(result);
}

}  // namespace keldro

#include "moc_ttipofday.cpp"
