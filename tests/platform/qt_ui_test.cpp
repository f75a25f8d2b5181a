#include "qt_ui.h"

#include <QApplication>
#include <QCursor>

#include <gtest/gtest.h>

#include "temp_root.h"

namespace {

int argc = 1;
char arg0[] = "qt_ui_test";
char* argv[] = {arg0, nullptr};

TEST(QtUi, BusyCursorNestsAndHelpWithoutAFileIsRefused) {
  // The test environment is meant to give this; be safe when it does not.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  testing_support::TempRoot root;
  platform::ui::InstallQtUi();
  {
    platform::ui::BusyCursor outer;
    {
      platform::ui::BusyCursor inner;
      ASSERT_NE(QApplication::overrideCursor(), nullptr);
      EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    }
    EXPECT_NE(QApplication::overrideCursor(), nullptr);
  }
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
  // No HTML help beside the program: the request is not accepted.
  EXPECT_FALSE(platform::ui::Current().Help({"KELDRO.HLP", platform::ui::HelpCommand::Keyword, "Search Window", 0}));
  platform::ui::Install(nullptr);
}

}  // namespace
