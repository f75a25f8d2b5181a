// The Qt implementation of platform::ui, installed by the programs.
#pragma once

#include "platform/ui.h"

class QWidget;

namespace platform::ui {

class QtUi : public Ui {
 public:
  Answer MessageBox(const MessageBoxRequest& request) override;
  FileDialogResult FileDialog(const FileDialogRequest& request) override;
  std::string BrowseDirectory(const std::string& title, const std::string& initialDir) override;
  FontDialogResult FontDialog(const FontSpec& initial) override;
  ColorDialogResult ColorDialog(uint32_t initial) override;
  bool Help(const HelpRequest& request) override;
  void Beep() override;
  void SetBusyCursor(bool busy) override;
};

// Installs QtUi as the current service.
void InstallQtUi();

}  // namespace platform::ui
