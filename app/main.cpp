// keldro, "Stashwell Inventory 95": the program entry.
#include <string>
#include <vector>

#include <QApplication>

#include "qt_ui.h"
#include "tmain.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName("Stashwell Inventory");
  platform::ui::InstallQtUi();
  // Qt has taken its own options out of the command line by now.
  std::vector<std::string> arguments(argv, argv + argc);
  keldro::TMain main(keldro::TMain::StartOptions{arguments, std::nullopt});
  if (main.Terminated()) return 0;
  main.ReportWindow();  // the report selection window lives for the whole run
  main.show();
  return QApplication::exec();
}
