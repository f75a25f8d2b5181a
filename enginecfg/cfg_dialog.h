// The dialogs of the utility: a caption, static texts, a row of buttons
// that close the dialog with their ids, and a Help button and F1 that open
// the dialog's topic in "VTXCFG32.HLP" without closing it. Escape and the
// close box answer with id 2, as Windows' IDCANCEL does.
#pragma once

#include <QDialog>
#include <string>
#include <vector>

class QLabel;
class QPushButton;
class QVBoxLayout;
class QHBoxLayout;

namespace vtxcfg {

// Button ids of the dialog resources.
enum DialogId { kIdOk = 1, kIdCancel = 2, kIdNo7 = 7, kIdHelp = 380 };

// A question: its texts and its buttons, each closing with its id (380 is Help).
struct QuestionSpec {
  const char* resource;
  const char* caption;
  int helpContext;
  std::vector<const char*> lines;
  struct Button {
    const char* text;
    int id;
  };
  std::vector<Button> buttons;
  int defaultId;
};

class TCfgDialog : public QDialog {
  Q_OBJECT
 public:
  // A question dialog made from its description.
  TCfgDialog(QWidget* parent, const QuestionSpec& spec);
  // `resource` is the dialog's resource name, kept as the object name.
  TCfgDialog(QWidget* parent, const char* resource, const std::string& caption, int helpContext);

  QPushButton* Button(int id) const;
  int HelpContext() const { return helpContext_; }
  void ShowHelp();
  void done(int result) override;
  void reject() override { done(kIdCancel); }

 protected:
  // Adds a static text (Windows-1252) with its control id; 0 for none.
  QLabel* AddText(const std::string& text, int id = 0);
  // Adds a button that closes the dialog with `id` (380: the Help button).
  QPushButton* AddButton(const QString& text, int id, bool isDefault = false);
  // A question's picture beside its texts.
  void SetIcon(int standardPixmap);
  void keyPressEvent(QKeyEvent* event) override;
  // Called before a button other than Help closes the dialog; false keeps it open.
  virtual bool CanClose(int id) { return true; }
  QVBoxLayout* body_;
  QHBoxLayout* buttons_;

 private:
  int helpContext_;
  QLabel* icon_;
};

// The dialog over which a message for `fallback`'s window appears: the open
// modal dialog, else `fallback`.
QWidget* DialogParent(QWidget* fallback);

}  // namespace vtxcfg
