// The application the widget tests share, made once, with the engine
// loaded from the build's bin directory.
#pragma once

#include <QApplication>

#include <filesystem>

#include "framework/dbtables.h"

namespace grid {

inline void StartWidgetApplication() {
  static int argc = 1;
  static char name[] = "grid_widget_tests";
  static char* argv[] = {name, nullptr};
  if (!QApplication::instance()) new QApplication(argc, argv);
  framework::TSession::Default().LibraryDirs = {std::filesystem::canonical("/proc/self/exe").parent_path()};
}

}  // namespace grid
