// Used only while the platform library lacks its ui implementation: the
// scripted service and the shortcuts the report writer calls, so these tests
// link. Dropped by CMake as soon as platform provides its own.
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
  return Current().MessageBox({text, caption, buttons, icon, defaultButton, beep});
}
Answer ScriptedUi::MessageBox(const MessageBoxRequest& r) {
  Call c{Call::kMessage, r, {}, {}, {}};
  calls.push_back(c);
  if (onMessage) onMessage(r);
  if (answers.empty()) return Answer::Ok;
  Answer a = answers.front();
  answers.pop_front();
  return a;
}
FileDialogResult ScriptedUi::FileDialog(const FileDialogRequest&) { return {}; }
std::string ScriptedUi::BrowseDirectory(const std::string&, const std::string&) { return {}; }
FontDialogResult ScriptedUi::FontDialog(const FontSpec&) { return {}; }
ColorDialogResult ScriptedUi::ColorDialog(uint32_t) { return {}; }
bool ScriptedUi::Help(const HelpRequest&) { return helpResult; }
void ScriptedUi::Beep() {}
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
