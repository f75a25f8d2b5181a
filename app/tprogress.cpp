#include "tprogress.h"

#include <algorithm>

#include <QCloseEvent>
#include <QLabel>
#include <QProgressBar>

namespace keldro {

namespace {
// The bar counts in tenths of a percent, so any 32-bit total fits an int.
constexpr int kBarSteps = 1000;
}  // namespace

TProgress::TProgress(QWidget* parent, QSize screen, const QString& caption, const QString& text)
    : TDialog(parent, screen, 1) {
  setObjectName("Progress");
  setWindowTitle(caption);
  setWindowFlags(windowFlags() & ~Qt::WindowCloseButtonHint & ~Qt::WindowContextHelpButtonHint);
  setWindowModality(Qt::ApplicationModal);
  resize(320, 96);

  ProgressLabel = new QLabel(text, this);
  ProgressLabel->setObjectName("ProgressLabel");
  ProgressLabel->setGeometry(16, 14, 288, 20);

  ProgressBar = new QProgressBar(this);
  ProgressBar->setObjectName("ProgressBar");
  ProgressBar->setRange(0, kBarSteps);
  ProgressBar->setValue(0);
  ProgressBar->setFormat("%p%");
  ProgressBar->setGeometry(16, 46, 288, 24);
  SaveDesign();
}

void TProgress::Start() {
  show();
  repaint();
}

void TProgress::Step(uint32_t done, uint32_t total) {
  done_ = done;
  total_ = total;
  const int value = total == 0 ? kBarSteps : static_cast<int>(uint64_t{std::min(done, total)} * kBarSteps / total);
  ProgressBar->setValue(value);
  ProgressBar->repaint();
  emit Stepped(done, total);
}

void TProgress::Finish() {
  finished_ = true;
  close();
}

void TProgress::reject() {
  if (finished_) TDialog::reject();
}

void TProgress::closeEvent(QCloseEvent* event) {
  if (finished_)
    event->accept();
  else
    event->ignore();
}

}  // namespace keldro
