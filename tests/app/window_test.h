// The fixture of the tests that start keldro's windows offscreen: one Qt
// application for the program, the engine from the build's bin directory,
// a temporary root, and the scripted message boxes (an unexpected one fails
// the test).
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QPointer>
#include <QTimer>

#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "core/settings.h"
#include "framework/dbtables.h"
#include "platform/ui.h"
#include "temp_root.h"

namespace keldro {

// Answers the modal windows a test's commands open, from inside their own
// event loop: a handler by window name runs once the window is shown. The
// tip of the day, which the main window's first activation shows by
// default, is closed unless a test says otherwise. With `failOnUnexpected`
// any other window without a handler fails the test and is closed, so
// nothing waits for a user.
class ModalWatcher : public QObject {
 public:
  using Handler = std::function<void(QDialog&)>;
  ModalWatcher() { qApp->installEventFilter(this); }
  ~ModalWatcher() override { qApp->removeEventFilter(this); }

  // Handlers are used once each, in order, per window name.
  void On(const std::string& name, Handler handler) { handlers_[name].push_back(std::move(handler)); }
  std::vector<std::string> shown;  // names, in order
  bool failOnUnexpected = false;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    auto* dialog = qobject_cast<QDialog*>(watched);
    // The progress window is modal without an event loop of its own.
    if (event->type() != QEvent::Show || !dialog || dialog->windowModality() == Qt::NonModal ||
        dialog->objectName() == "Progress")
      return false;
    const std::string name = dialog->objectName().toStdString();
    shown.push_back(name);
    Handler handler;
    auto& queue = handlers_[name];
    if (!queue.empty()) {
      handler = std::move(queue.front());
      queue.erase(queue.begin());
    } else if (name == "TipOfDay") {
      handler = [](QDialog& d) { d.reject(); };
    } else if (failOnUnexpected) {
      ADD_FAILURE() << "unexpected window " << name;
      handler = [](QDialog& d) { d.reject(); };
    } else {
      return false;
    }
    QPointer<QDialog> guarded(dialog);
    QTimer::singleShot(0, dialog, [guarded, handler] {
      if (guarded) handler(*guarded);
    });
    return false;
  }

 private:
  std::map<std::string, std::vector<Handler>> handlers_;
};

// The Midnight Black colour set, as the colour window stores it.
inline ColorScheme MidnightBlack() {
  auto rgb = [](int r, int g, int b) { return static_cast<int32_t>(r | (g << 8) | (b << 16)); };
  const int32_t back = rgb(0, 0, 0), major = rgb(192, 192, 192), minor = rgb(255, 255, 255),
                edit = rgb(127, 127, 127), text = rgb(0, 0, 0), radio = rgb(255, 255, 255);
  return {{back, major, minor, edit, text, edit, text, edit, text, back, radio, back, radio}};
}

class WindowTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    static int argc = 1;
    static char name[] = "keldro_window_tests";
    static char* argv[] = {name, nullptr};
    if (!QApplication::instance()) new QApplication(argc, argv);
    // The build puts the engine beside the test program.
    framework::TSession::Default().LibraryDirs = {std::filesystem::canonical("/proc/self/exe").parent_path()};
  }

  void SetUp() override {
    ui = std::make_shared<platform::ui::ScriptedUi>();
    ui->onUnexpected = [](const std::string& what) { ADD_FAILURE() << "unexpected " << what; };
    platform::ui::Install(ui);
    // The engine sorts texts by the language driver's locale, as installed.
    root.RegisterShippedLocales();
    modals = std::make_unique<ModalWatcher>();
  }
  void TearDown() override {
    modals.reset();
    platform::ui::Install(nullptr);
  }

  std::filesystem::path Program(const std::string& name) const { return root.programDir() / name; }

  // Runs `command` (which shows a modal window) and `inside` while that
  // window is up; the window, left open by `inside`, is closed and fails
  // the test. Nests: `inside` may run a WhileModal of its own.
  void WhileModal(const std::function<void()>& command, const std::function<void()>& inside) {
    bool ran = false;
    QTimer::singleShot(0, [&] {
      ran = true;
      QWidget* opened = QApplication::activeModalWidget();
      inside();
      if (opened && opened->isVisible()) {
        ADD_FAILURE() << "the window stayed open: " << opened->objectName().toStdString();
        if (auto* d = qobject_cast<QDialog*>(opened)) d->done(0);
      }
    });
    command();
    EXPECT_TRUE(ran);
  }

  testing_support::TempRoot root;
  std::shared_ptr<platform::ui::ScriptedUi> ui;
  std::unique_ptr<ModalWatcher> modals;
};

}  // namespace keldro
