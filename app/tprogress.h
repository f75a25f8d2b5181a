// TProgress: the modal window shown while a long piece of work runs on the
// user-interface thread (pack, index rebuild), with a bar fed by the
// work's reports. It has no Cancel: such work is never stopped half way,
// and neither Escape nor the frame closes it before Finish.
#pragma once

#include <cstdint>

#include <QElapsedTimer>

#include "tdialog.h"

class QLabel;
class QProgressBar;

namespace keldro {

class TProgress : public TDialog {
  Q_OBJECT
 public:
  TProgress(QWidget* parent, QSize screen, const QString& caption, const QString& text);

  QLabel* ProgressLabel = nullptr;
  QProgressBar* ProgressBar = nullptr;

  // Shows the window modally without entering an event loop.
  void Start();
  // `done` of `total`; painted at once, as no event loop runs meanwhile.
  // Window events are served every few dozen milliseconds.
  void Step(uint32_t done, uint32_t total);
  void Finish();

  uint32_t Done() const { return done_; }
  uint32_t Total() const { return total_; }

  void reject() override;

 signals:
  void Stepped(uint32_t done, uint32_t total);

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  uint32_t done_ = 0;
  uint32_t total_ = 0;
  bool finished_ = false;
  QElapsedTimer served_;  // since window events were last served
};

}  // namespace keldro
