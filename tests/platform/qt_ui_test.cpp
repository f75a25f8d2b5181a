#include "qt_ui.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCursor>
#include <QFileDialog>
#include <QKeyEvent>
#include <QMessageBox>
#include <QTimer>

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

TEST(QtUi, EscapeAnswersCancelOrOkAndIsIgnoredWhereThereIsNeither) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  testing_support::TempRoot root;
  platform::ui::InstallQtUi();
  using platform::ui::Answer;
  using platform::ui::Buttons;
  // Escape is pressed once; a box still open afterwards is closed with its
  // last button. The first button is the default every time.
  const struct {
    Buttons buttons;
    QMessageBox::StandardButton last;
    Answer want;
    bool stillOpen;
  } cases[] = {
      {Buttons::Ok, QMessageBox::Ok, Answer::Ok, false},
      {Buttons::OkCancel, QMessageBox::Cancel, Answer::Cancel, false},
      {Buttons::YesNoCancel, QMessageBox::Cancel, Answer::Cancel, false},
      {Buttons::RetryCancel, QMessageBox::Cancel, Answer::Cancel, false},
      {Buttons::YesNo, QMessageBox::No, Answer::No, true},
      {Buttons::AbortRetryIgnore, QMessageBox::Ignore, Answer::Ignore, true},
  };
  for (const auto& c : cases) {
    bool stillOpen = false;
    int step = 0;
    QTimer driver;
    QObject::connect(&driver, &QTimer::timeout, [&] {
      QMessageBox* open = nullptr;
      for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* b = qobject_cast<QMessageBox*>(w); b && b->isVisible()) open = b;
      if (step == 0 && open) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QApplication::sendEvent(open, &press);
        step = 1;
      } else if (step == 1) {
        stillOpen = open != nullptr;
        if (open) open->button(c.last)->click();
        step = 2;
      }
    });
    driver.start(5);
    platform::ui::MessageBoxRequest request;
    request.text = "Delete the record?";
    request.caption = "Stashwell Inventory 95";
    request.buttons = c.buttons;
    Answer got = platform::ui::Current().MessageBox(request);
    EXPECT_EQ(got, c.want) << static_cast<int>(c.buttons);
    EXPECT_EQ(stillOpen, c.stillOpen) << static_cast<int>(c.buttons);
  }
  platform::ui::Install(nullptr);
}

TEST(QtUi, FilterListEndsAtTheFirstEmptyDescription) {
  // Windows reads a filter list up to its first empty entry, so the "||"
  // that closes many filter strings adds no filter of its own.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  testing_support::TempRoot root;
  platform::ui::InstallQtUi();
  const struct {
    const char* filter;
    QStringList want;
  } cases[] = {
      {"Database Files (*.DBF)|*.DBF||", {"Database Files (*.DBF) (*.DBF)"}},
      {"Text (*.TXT)|*.TXT|All files|*.*||ignored|*.X", {"Text (*.TXT) (*.TXT)", "All files (*)"}},
      {"DBase Files (*.DBF) | *.DBF", {"DBase Files (*.DBF) (*.DBF)"}},
  };
  for (const auto& c : cases) {
    QStringList seen;
    QTimer driver;
    QObject::connect(&driver, &QTimer::timeout, [&] {
      for (QWidget* w : QApplication::topLevelWidgets()) {
        if (auto* d = qobject_cast<QFileDialog*>(w); d && d->isVisible()) {
          seen = d->nameFilters();
          d->reject();
        }
      }
    });
    driver.start(5);
    platform::ui::FileDialogRequest request;
    request.title = "Open Database File";
    request.filter = c.filter;
    request.initialDir = root.path().string();
    EXPECT_FALSE(platform::ui::Current().FileDialog(request).accepted);
    EXPECT_EQ(seen, c.want) << c.filter;
  }
  platform::ui::Install(nullptr);
}

}  // namespace
