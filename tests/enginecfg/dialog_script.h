// Answers the utility's dialogs in tests: each dialog run modally comes
// here set up and shown; it is recorded (name, caption, texts, buttons),
// saved as a picture beside the test program, and driven by the next
// scripted action. A dialog with no action left is recorded as unexpected
// and closed with id 2.
#pragma once

#include <QDialog>
#include <deque>
#include <functional>
#include <string>
#include <vector>

class DialogScript {
 public:
  struct Shown {
    std::string name;  // the resource name, e.g. "EXITWARN_DLG"
    std::string caption;
    std::vector<std::string> texts;    // the static texts, in order
    std::vector<std::string> buttons;  // the visible buttons' captions
  };
  using Action = std::function<int(QDialog&)>;

  DialogScript();
  ~DialogScript();
  DialogScript(const DialogScript&) = delete;
  DialogScript& operator=(const DialogScript&) = delete;

  // The next dialog must be `name`; `action` drives it and gives its result.
  void Expect(const std::string& name, Action action);
  // The next dialog must be `name`; button `id` is pressed.
  void Press(const std::string& name, int id);
  // Clicks button `id` of a dialog; the dialog's result (0 while it stays open).
  static int Click(QDialog& dialog, int id);

  std::vector<std::string> Names() const;
  // The message of every error dialog shown.
  std::vector<std::string> Errors() const;

  std::vector<Shown> shown;
  std::vector<std::string> unexpected;

 private:
  int Run(QDialog& dialog);
  std::deque<std::pair<std::string, Action>> queue_;
};
