#include "tprogress.h"

#include <algorithm>

#include <QApplication>
#include <QCloseEvent>
#include <QElapsedTimer>
#include <QWindow>
#include <QLabel>
#include <QProgressBar>

namespace keldro {

namespace {
// The bar counts in tenths of a percent, so any 32-bit total fits an int.
constexpr int kBarSteps = 1000;
// How long Start waits for the window's first expose, and how often a step
// serves the window's events.
constexpr qint64 kExposeWaitMs = 1000;
constexpr qint64 kServeEveryMs = 50;
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
  // The window is drawn before the work starts: its first expose may come a
  // moment after it shows (a window manager maps it), and no event is
  // handled once the work runs.
  QElapsedTimer waited;
  waited.start();
  while (windowHandle() && !windowHandle()->isExposed() && waited.elapsed() < kExposeWaitMs)
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 10);
  QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  repaint();
  served_.start();
}

void TProgress::Step(uint32_t done, uint32_t total) {
  done_ = done;
  total_ = total;
  const int value = total == 0 ? kBarSteps : static_cast<int>(uint64_t{std::min(done, total)} * kBarSteps / total);
  const bool moved = value != ProgressBar->value();
  ProgressBar->setValue(value);
  // Window events (an expose, a move) are served now and then, and the whole
  // window drawn again, so that it never stands blank; the user's input
  // waits for the end.
  if (!served_.isValid() || served_.elapsed() >= kServeEveryMs) {
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    repaint();
    served_.start();
  } else if (moved) {
    ProgressBar->repaint();
  }
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

#include "moc_tprogress.cpp"
