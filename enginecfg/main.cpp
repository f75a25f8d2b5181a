// vtxcfg32: the VTX Configuration Utility.
#include <QApplication>
#include <cstdio>
#include <exception>

#include "cfg_app.h"
#include "qt_ui.h"

namespace {

bool AskRunAgain(const std::string& text, const std::string& caption) {
  return platform::ui::ShowMessage(text + "\nRunAgain?", caption, platform::ui::Buttons::YesNo,
                                   platform::ui::Icon::Error) == platform::ui::Answer::Yes;
}

int AppMain() {
  while (true) {
    bool again = false;
    try {
      vtxcfg::TCfgApp app;
      int rc = app.Run();
      if (rc != 0) {
        char code[16];
        std::snprintf(code, sizeof code, "%i", rc);
        again = AskRunAgain(code, "Abnormal Termination");
      }
    } catch (const std::exception& e) {
      again = AskRunAgain(e.what(), "Abnormal Termination, uncaught xmsg");
    } catch (...) {
      again = AskRunAgain("", "Abnormal Termination, uncaught ...");
    }
    if (!again) return 0;
  }
}

}  // namespace

int main(int argc, char** argv) {
  QApplication qapp(argc, argv);
  platform::ui::InstallQtUi();
  return AppMain();
}
