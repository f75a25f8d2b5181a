#include "dialog_script.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <filesystem>

#include "modal.h"
#include "shot_path.h"

DialogScript::DialogScript() {
  vtxcfg::SetModalRunnerForTesting([this](QDialog& d) { return Run(d); });
}

DialogScript::~DialogScript() { vtxcfg::SetModalRunnerForTesting(nullptr); }

void DialogScript::Expect(const std::string& name, Action action) { queue_.emplace_back(name, std::move(action)); }

void DialogScript::Press(const std::string& name, int id) {
  Expect(name, [id](QDialog& d) { return Click(d, id); });
}

int DialogScript::Click(QDialog& dialog, int id) {
  auto* button = dialog.findChild<QPushButton*>(QString::number(id));
  if (!button) return -1;
  dialog.setResult(0);
  button->click();
  return dialog.result();
}

int DialogScript::Run(QDialog& dialog) {
  dialog.show();
  QApplication::processEvents();
  Shown s;
  s.name = dialog.objectName().toStdString();
  s.caption = dialog.windowTitle().toStdString();
  for (QLabel* label : dialog.findChildren<QLabel*>())
    if (!label->text().isEmpty()) s.texts.push_back(label->text().toStdString());
  for (QPushButton* button : dialog.findChildren<QPushButton*>())
    if (!button->isHidden()) s.buttons.push_back(button->text().toStdString());
  shown.push_back(s);
  std::filesystem::path png =
      testing_support::ShotPath("vtxcfg32-" + s.name + ".png");
  dialog.grab().save(QString::fromStdString(png.string()));
  if (queue_.empty() || queue_.front().first != s.name) {
    unexpected.push_back(s.name + (queue_.empty() ? "" : " instead of " + queue_.front().first));
    dialog.done(2);
    return 2;
  }
  Action action = std::move(queue_.front().second);
  queue_.pop_front();
  int result = action(dialog);
  dialog.hide();
  return result;
}

std::vector<std::string> DialogScript::Names() const {
  std::vector<std::string> out;
  for (const Shown& s : shown) out.push_back(s.name);
  return out;
}

std::vector<std::string> DialogScript::Errors() const {
  std::vector<std::string> out;
  for (const Shown& s : shown)
    if (s.name == "ERROR_DLG" && !s.texts.empty()) out.push_back(s.texts.back());
  return out;
}
