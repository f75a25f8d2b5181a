// The fixture of the tests that start keldro's windows offscreen: one Qt
// application for the program, the engine from the build's bin directory,
// a temporary root, and the scripted message boxes (an unexpected one fails
// the test).
#pragma once

#include <gtest/gtest.h>

#include <QApplication>

#include <filesystem>
#include <memory>
#include <string>

#include "framework/dbtables.h"
#include "platform/ui.h"
#include "temp_root.h"

namespace keldro {

class WindowTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    static int argc = 1;
    static char name[] = "keldro_window_tests";
    static char* argv[] = {name, nullptr};
    if (!QApplication::instance()) new QApplication(argc, argv);
    // The build puts the engine beside the test program.
    framework::TSession::Default().LibraryDirs = {std::filesystem::canonical("/proc/self/exe").parent_path()};
  }

  void SetUp() override {
    ui = std::make_shared<platform::ui::ScriptedUi>();
    ui->onUnexpected = [](const std::string& what) { ADD_FAILURE() << "unexpected " << what; };
    platform::ui::Install(ui);
    // The engine sorts texts by the language driver's locale, as installed.
    root.RegisterShippedLocales();
  }
  void TearDown() override { platform::ui::Install(nullptr); }

  std::filesystem::path Program(const std::string& name) const { return root.programDir() / name; }

  testing_support::TempRoot root;
  std::shared_ptr<platform::ui::ScriptedUi> ui;
};

}  // namespace keldro
