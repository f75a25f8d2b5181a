// Used only while the platform's own user-interface service is not in the
// tree (see CMakeLists.txt): the scripted service as its header describes it.
#include "platform/ui.h"

namespace platform::ui {
namespace {
std::shared_ptr<Ui>& Slot() {
  static std::shared_ptr<Ui> ui = std::make_shared<ScriptedUi>();
  return ui;
}
}  // namespace

Ui& Current() { return *Slot(); }
void Install(std::shared_ptr<Ui> ui) { Slot() = ui ? std::move(ui) : std::make_shared<ScriptedUi>(); }
Answer ShowMessage(const std::string& text, const std::string& caption, Buttons buttons, Icon icon,
                   int defaultButton, bool beep) {
  MessageBoxRequest r{text, caption, buttons, icon, defaultButton, beep};
  return Current().MessageBox(r);
}

Answer ScriptedUi::MessageBox(const MessageBoxRequest& request) {
  Call c{Call::kMessage, request, {}, {}, {}};
  calls.push_back(c);
  if (onMessage) onMessage(request);
  if (answers.empty()) return request.buttons == Buttons::Ok ? Answer::Ok : Answer::Cancel;
  Answer a = answers.front();
  answers.pop_front();
  return a;
}
FileDialogResult ScriptedUi::FileDialog(const FileDialogRequest& request) {
  calls.push_back(Call{Call::kFile, {}, request, {}, {}});
  if (files.empty()) return {};
  FileDialogResult r = files.front();
  files.pop_front();
  return r;
}
std::string ScriptedUi::BrowseDirectory(const std::string& title, const std::string&) {
  calls.push_back(Call{Call::kDirectory, {}, {}, {}, title});
  if (directories.empty()) return {};
  std::string d = directories.front();
  directories.pop_front();
  return d;
}
FontDialogResult ScriptedUi::FontDialog(const FontSpec&) { return {}; }
ColorDialogResult ScriptedUi::ColorDialog(uint32_t) { return {}; }
bool ScriptedUi::Help(const HelpRequest& request) {
  calls.push_back(Call{Call::kHelp, {}, {}, request, {}});
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
