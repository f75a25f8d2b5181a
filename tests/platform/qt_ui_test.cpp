#include "qt_ui.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCursor>
#include <QFileDialog>
#include <QKeyEvent>
#include <QMessageBox>
#include <QDesktopServices>
#include <QMainWindow>
#include <QTimer>
#include <QUrl>

#include <gtest/gtest.h>

#include "platform/paths.h"
#include "temp_root.h"

// Stands for the desktop's handler of file addresses: notes what it is asked
// to open, so no browser starts.
class OpenedUrls : public QObject {
  Q_OBJECT
 public:
  QList<QUrl> urls;
 public slots:
  void open(const QUrl& url) { urls << url; }
};

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

TEST(QtUi, FilterListEndsAtTheFirstEmptyDescriptionAndNamesEachPatternOnce) {
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
      {"Database Files (*.DBF)|*.DBF||", {"Database Files (*.DBF)"}},
      {"Text (*.TXT)|*.TXT|All files|*.*||ignored|*.X", {"Text (*.TXT)", "All files (*)"}},
      {"DBase Files (*.DBF) | *.DBF", {"DBase Files (*.DBF)"}},
      {"Text Files (*.TXT)|*.TXT", {"Text Files (*.TXT)"}},
      {"DBase  (*.DBF)|*.DBF", {"DBase (*.DBF)"}},
      // A description that names other patterns than it matches keeps them.
      {"Text (*.TXT)|*.TXT;*.CSV", {"Text (*.TXT) (*.TXT *.CSV)"}},
      {"Lists|*.LST", {"Lists (*.LST)"}},
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

TEST(QtUi, HelpOpensTheInstalledPageOfTheKeywordAndRefusesAMissingOne) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  testing_support::TempRoot root;
  platform::SetProgramDir(root.programDir());
  platform::ui::InstallQtUi();
  OpenedUrls opened;
  QDesktopServices::setUrlHandler("file", &opened, "open");
  const std::filesystem::path folder = root.programDir() / "KELDRO";
  testing_support::TempRoot::WriteFile(folder / "index.html", "<title>Contents</title>");
  testing_support::TempRoot::WriteFile(folder / "viewer-configuration-look.html", "<title>x</title>");
  using platform::ui::HelpCommand;
  const struct {
    platform::ui::HelpRequest request;
    bool opened;
    std::filesystem::path page;
  } cases[] = {
      {{"KELDRO.HLP", HelpCommand::Contents, "", 0}, true, folder / "index.html"},
      {{(root.programDir() / "KELDRO.HLP").string(), HelpCommand::Keyword, "Viewer Configuration Look", 0}, true,
       folder / "viewer-configuration-look.html"},
      {{"KELDRO.HLP", HelpCommand::Keyword, "Export Window", 0}, false, folder / "export-window.html"},
      {{"VTXCFG32.HLP", HelpCommand::Finder, "", 0}, false, root.programDir() / "VTXCFG32" / "index.html"},
  };
  for (const auto& c : cases) {
    opened.urls.clear();
    EXPECT_EQ(platform::ui::HelpPage(c.request), c.page.string()) << c.request.keyword;
    EXPECT_EQ(platform::ui::Current().Help(c.request), c.opened) << c.request.keyword;
    if (c.opened) {
      EXPECT_EQ(opened.urls, QList<QUrl>{QUrl::fromLocalFile(QString::fromStdString(c.page.string()))});
    } else {
      EXPECT_TRUE(opened.urls.isEmpty());
    }
  }
  QDesktopServices::unsetUrlHandler("file");
  platform::ui::Install(nullptr);
  platform::SetProgramDir({});
}

TEST(QtUi, BoxesBelongToTheActiveWindowAndShowTheIconOfTheirCaption) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  testing_support::TempRoot root;
  platform::ui::InstallQtUi();
  QMainWindow main;
  main.setWindowTitle("Stashwell Inventory 95");
  main.show();
  QDialog window(&main);
  window.setWindowTitle("Export");
  window.setWindowModality(Qt::ApplicationModal);
  using platform::ui::Icon;
  const struct {
    const char* caption;
    Icon icon;
    bool overWindow;  // shown while the export window is up
    QMessageBox::Icon want;
  } cases[] = {
      {"Error", Icon::None, false, QMessageBox::Critical},
      {"Warning", Icon::None, true, QMessageBox::Warning},
      {"Confirm", Icon::None, false, QMessageBox::Question},
      {"Notice", Icon::None, true, QMessageBox::Information},
      {"Ok", Icon::None, false, QMessageBox::Information},
      {"Export", Icon::None, true, QMessageBox::Information},
      // The icon the caller names wins over the caption's.
      {"Error", Icon::Warning, false, QMessageBox::Warning},
      {"Warning", Icon::Question, true, QMessageBox::Question},
  };
  for (const auto& c : cases) {
    if (c.overWindow) window.show();
    else window.hide();
    QApplication::processEvents();
    QMessageBox* seen = nullptr;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QWidget* owner = nullptr;
    Qt::WindowFlags flags;
    QTimer driver;
    QObject::connect(&driver, &QTimer::timeout, [&] {
      for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* b = qobject_cast<QMessageBox*>(w); b && b->isVisible() && !seen) {
          seen = b;
          icon = b->icon();
          owner = b->parentWidget();
          flags = b->windowFlags();
          b->button(QMessageBox::Ok)->click();
        }
    });
    driver.start(5);
    platform::ui::MessageBoxRequest request;
    request.text = "Export Complete.";
    request.caption = c.caption;
    request.icon = c.icon;
    platform::ui::Current().MessageBox(request);
    ASSERT_NE(seen, nullptr) << c.caption;
    EXPECT_EQ(icon, c.want) << c.caption;
    EXPECT_EQ(owner, c.overWindow ? static_cast<QWidget*>(&window) : static_cast<QWidget*>(&main)) << c.caption;
    EXPECT_FALSE(flags & Qt::WindowMinimizeButtonHint) << c.caption;
    EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint) << c.caption;
  }
  platform::ui::Install(nullptr);
}

}  // namespace

#include "qt_ui_test.moc"
