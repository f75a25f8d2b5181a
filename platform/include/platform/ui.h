// The user-interface services that library code and windows ask for:
// message boxes, file, font and colour dialogs, Windows Help and the
// hourglass cursor. One interface, two implementations: the Qt one the
// programs install (platform/ui/qt_ui.h) and a scripted one for tests
// (ScriptedUi below) that records every call and answers from a queue.
//
// Texts are UTF-8 here; callers that hold Windows-1252 convert first.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace platform::ui {

enum class Buttons { Ok, OkCancel, YesNo, YesNoCancel, RetryCancel, AbortRetryIgnore };
enum class Icon { None, Information, Warning, Error, Question };
enum class Answer { None, Ok, Cancel, Yes, No, Retry, Abort, Ignore };

struct MessageBoxRequest {
  std::string text;
  std::string caption;
  Buttons buttons = Buttons::Ok;
  Icon icon = Icon::None;
  int defaultButton = 0;  // 0 = first button, 1 = second, 2 = third
  bool beep = false;      // a beep before the box (MessageBeep)
};

struct FileDialogRequest {
  bool save = false;
  std::string title;
  std::string filter;          // Windows form: "Text files (*.TXT)|*.TXT|All files|*.*"
  int filterIndex = 1;         // 1-based, as Windows counts
  std::string defaultExt;      // without the dot
  std::string initialDir;
  std::string fileName;        // initial name
  bool overwritePrompt = false;
  bool fileMustExist = false;
  bool pathMustExist = false;
};

struct FileDialogResult {
  bool accepted = false;
  std::string fileName;  // full path
  int filterIndex = 1;
};

struct FontSpec {
  std::string name = "Arial";
  int size = 10;         // points
  bool bold = false;
  bool italic = false;
  bool underline = false;
  bool strikeOut = false;
  uint32_t color = 0;    // 0x00BBGGRR, as Windows keeps colours
  int pitch = 0;         // 0 default, 1 fixed, 2 variable
};

struct FontDialogResult {
  bool accepted = false;
  FontSpec font;
};

struct ColorDialogResult {
  bool accepted = false;
  uint32_t color = 0;    // 0x00BBGGRR
};

enum class HelpCommand { Keyword, Context, Contents, Finder, Quit };
struct HelpRequest {
  std::string file;      // "KELDRO.HLP"
  HelpCommand command = HelpCommand::Contents;
  std::string keyword;
  uint32_t context = 0;
};

// The HTML page that stands for a help request, there being no Windows Help
// here: "DIR/KELDRO.HLP" is the folder "DIR/KELDRO"; a keyword is its page
// named in lower case with blanks as hyphens ("Export Window" ->
// "export-window.html"), anything else the folder's "index.html". A bare
// file name lies in the program directory.
std::string HelpPage(const HelpRequest& request);

class Ui {
 public:
  virtual ~Ui() = default;
  virtual Answer MessageBox(const MessageBoxRequest& request) = 0;
  virtual FileDialogResult FileDialog(const FileDialogRequest& request) = 0;
  // Chooses a directory; empty when cancelled.
  virtual std::string BrowseDirectory(const std::string& title, const std::string& initialDir) = 0;
  virtual FontDialogResult FontDialog(const FontSpec& initial) = 0;
  virtual ColorDialogResult ColorDialog(uint32_t initial) = 0;
  // Opens the help page of the request (HelpPage); true when it was opened.
  virtual bool Help(const HelpRequest& request) = 0;
  virtual void Beep() = 0;
  // The hourglass while `busy` is true; nests.
  virtual void SetBusyCursor(bool busy) = 0;
};

// The service in force; a do-nothing default answers every question with its
// default button until a program or test installs its own.
Ui& Current();
void Install(std::shared_ptr<Ui> ui);

// Shortcuts over Current().
Answer ShowMessage(const std::string& text, const std::string& caption, Buttons buttons = Buttons::Ok,
                   Icon icon = Icon::None, int defaultButton = 0, bool beep = false);

// The hourglass for the lifetime of the object.
class BusyCursor {
 public:
  BusyCursor() { Current().SetBusyCursor(true); }
  ~BusyCursor() { Current().SetBusyCursor(false); }
  BusyCursor(const BusyCursor&) = delete;
  BusyCursor& operator=(const BusyCursor&) = delete;
};

// For tests: records every call and answers from queues. A dialog with no
// scripted answer is a failure: it is recorded in `unexpected` (and
// `onUnexpected` runs, where a test hooks its own failure), and the dialog
// is answered with Cancel (or the box's default).
class ScriptedUi : public Ui {
 public:
  struct Call {
    enum Kind { kMessage, kFile, kDirectory, kFont, kColor, kHelp, kBeep } kind;
    MessageBoxRequest message;
    FileDialogRequest file;
    HelpRequest help;
    std::string title;
  };

  Answer MessageBox(const MessageBoxRequest& request) override;
  FileDialogResult FileDialog(const FileDialogRequest& request) override;
  std::string BrowseDirectory(const std::string& title, const std::string& initialDir) override;
  FontDialogResult FontDialog(const FontSpec& initial) override;
  ColorDialogResult ColorDialog(uint32_t initial) override;
  bool Help(const HelpRequest& request) override;
  void Beep() override;
  void SetBusyCursor(bool busy) override;

  // Queued answers, taken in order.
  std::deque<Answer> answers;
  std::deque<FileDialogResult> files;
  std::deque<std::string> directories;
  std::deque<FontDialogResult> fonts;
  std::deque<ColorDialogResult> colors;
  // Runs before a message box is answered (e.g. to check the window state).
  std::function<void(const MessageBoxRequest&)> onMessage;
  std::function<void(const std::string&)> onUnexpected;

  std::vector<Call> calls;
  std::vector<std::string> unexpected;
  int busyDepth = 0;
  bool helpResult = true;

  // The captions and texts of the message boxes shown so far.
  std::vector<std::string> MessageTexts() const;
  std::vector<std::string> MessageCaptions() const;
};

}  // namespace platform::ui
