#include "platform/ui.h"

#include <filesystem>
#include <mutex>

#include "platform/paths.h"

namespace platform::ui {
namespace {

std::vector<Answer> ButtonsOf(Buttons buttons) {
  switch (buttons) {
    case Buttons::Ok: return {Answer::Ok};
    case Buttons::OkCancel: return {Answer::Ok, Answer::Cancel};
    case Buttons::YesNo: return {Answer::Yes, Answer::No};
    case Buttons::YesNoCancel: return {Answer::Yes, Answer::No, Answer::Cancel};
    case Buttons::RetryCancel: return {Answer::Retry, Answer::Cancel};
    case Buttons::AbortRetryIgnore: return {Answer::Abort, Answer::Retry, Answer::Ignore};
  }
  return {Answer::Ok};
}

Answer DefaultAnswer(const MessageBoxRequest& r) {
  std::vector<Answer> b = ButtonsOf(r.buttons);
  if (r.defaultButton < 0 || static_cast<size_t>(r.defaultButton) >= b.size()) return b.front();
  return b[static_cast<size_t>(r.defaultButton)];
}

// Until a program or test installs its own: nothing shown, every question
// answered as if the user pressed Enter.
class DefaultUi : public Ui {
 public:
  Answer MessageBox(const MessageBoxRequest& r) override { return DefaultAnswer(r); }
  FileDialogResult FileDialog(const FileDialogRequest&) override { return {}; }
  std::string BrowseDirectory(const std::string&, const std::string&) override { return {}; }
  FontDialogResult FontDialog(const FontSpec& initial) override { return {false, initial}; }
  ColorDialogResult ColorDialog(uint32_t initial) override { return {false, initial}; }
  bool Help(const HelpRequest&) override { return false; }
  void Beep() override {}
  void SetBusyCursor(bool) override {}
};

std::mutex g_mutex;
std::shared_ptr<Ui>& Slot() {
  static std::shared_ptr<Ui> current = std::make_shared<DefaultUi>();
  return current;
}

}  // namespace

Ui& Current() {
  std::lock_guard<std::mutex> lock(g_mutex);
  return *Slot();
}

void Install(std::shared_ptr<Ui> ui) {
  std::lock_guard<std::mutex> lock(g_mutex);
  Slot() = ui ? std::move(ui) : std::make_shared<DefaultUi>();
}

std::string HelpPage(const HelpRequest& request) {
  std::filesystem::path file(request.file);
  if (file.is_relative()) file = ProgramDir() / file;
  std::filesystem::path folder = file.parent_path() / file.stem();
  if (request.command != HelpCommand::Keyword || request.keyword.empty()) return (folder / "index.html").string();
  std::string name;
  for (char c : request.keyword) {
    if (c == ' ') name += '-';
    else if (c >= 'A' && c <= 'Z') name += static_cast<char>(c - 'A' + 'a');
    else name += c;
  }
  return (folder / (name + ".html")).string();
}

Answer ShowMessage(const std::string& text, const std::string& caption, Buttons buttons, Icon icon,
                   int defaultButton, bool beep) {
  MessageBoxRequest r;
  r.text = text;
  r.caption = caption;
  r.buttons = buttons;
  r.icon = icon;
  r.defaultButton = defaultButton;
  r.beep = beep;
  return Current().MessageBox(r);
}

namespace {
void Unexpected(ScriptedUi& ui, const std::string& what) {
  ui.unexpected.push_back(what);
  if (ui.onUnexpected) ui.onUnexpected(what);
}
}  // namespace

Answer ScriptedUi::MessageBox(const MessageBoxRequest& request) {
  Call call{Call::kMessage, request, {}, {}, request.caption};
  calls.push_back(call);
  if (onMessage) onMessage(request);
  if (answers.empty()) {
    Unexpected(*this, "message box \"" + request.caption + "\": " + request.text);
    return DefaultAnswer(request);
  }
  Answer a = answers.front();
  answers.pop_front();
  return a;
}

FileDialogResult ScriptedUi::FileDialog(const FileDialogRequest& request) {
  calls.push_back(Call{Call::kFile, {}, request, {}, request.title});
  if (files.empty()) {
    Unexpected(*this, "file dialog \"" + request.title + "\"");
    FileDialogResult r;
    r.filterIndex = request.filterIndex;
    return r;
  }
  FileDialogResult r = files.front();
  files.pop_front();
  return r;
}

std::string ScriptedUi::BrowseDirectory(const std::string& title, const std::string&) {
  calls.push_back(Call{Call::kDirectory, {}, {}, {}, title});
  if (directories.empty()) {
    Unexpected(*this, "directory dialog \"" + title + "\"");
    return {};
  }
  std::string d = directories.front();
  directories.pop_front();
  return d;
}

FontDialogResult ScriptedUi::FontDialog(const FontSpec& initial) {
  calls.push_back(Call{Call::kFont, {}, {}, {}, initial.name});
  if (fonts.empty()) {
    Unexpected(*this, "font dialog");
    return {false, initial};
  }
  FontDialogResult r = fonts.front();
  fonts.pop_front();
  return r;
}

ColorDialogResult ScriptedUi::ColorDialog(uint32_t initial) {
  calls.push_back(Call{Call::kColor, {}, {}, {}, {}});
  if (colors.empty()) {
    Unexpected(*this, "colour dialog");
    return {false, initial};
  }
  ColorDialogResult r = colors.front();
  colors.pop_front();
  return r;
}

bool ScriptedUi::Help(const HelpRequest& request) {
  calls.push_back(Call{Call::kHelp, {}, {}, request, request.file});
  return helpResult;
}

void ScriptedUi::Beep() { calls.push_back(Call{Call::kBeep, {}, {}, {}, {}}); }

void ScriptedUi::SetBusyCursor(bool busy) { busyDepth += busy ? 1 : -1; }

std::vector<std::string> ScriptedUi::MessageTexts() const {
  std::vector<std::string> out;
  for (const Call& c : calls)
    if (c.kind == Call::kMessage) out.push_back(c.message.text);
  return out;
}

std::vector<std::string> ScriptedUi::MessageCaptions() const {
  std::vector<std::string> out;
  for (const Call& c : calls)
    if (c.kind == Call::kMessage) out.push_back(c.message.caption);
  return out;
}

}  // namespace platform::ui
