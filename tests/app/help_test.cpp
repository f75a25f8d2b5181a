// Help as a user meets it: the pages installed for the contents and for each
// window's keyword, and every window's Help saying so when its page is
// missing instead of doing nothing.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QRadioButton>

#include <filesystem>
#include <functional>
#include <memory>
#include <regex>
#include <string>
#include <vector>

#include "platform/paths.h"
#include "tmain.h"
#include "tmyedit.h"
#include "tmyimport.h"
#include "window_test.h"

namespace keldro {
namespace {

namespace fs = std::filesystem;
using platform::ui::FileDialogResult;
using testing_support::TempRoot;

// The pages as they are installed beside the program.
const fs::path kHelpSource = STASHWELL_HELP_SOURCE;

// Keyword and page name of every window's help, as the user reaches them.
const struct {
  const char* keyword;
  const char* page;
} kPages[] = {
    {"Input Window", "input-window.html"},
    {"Search Window", "search-window.html"},
    {"Export Window", "export-window.html"},
    {"Import Window", "import-window.html"},
    {"Viewer Configuration Title", "viewer-configuration-title.html"},
    {"Viewer Configuration Look", "viewer-configuration-look.html"},
    {"Viewer Configuration Show", "viewer-configuration-show.html"},
    {"Viewer Configuration Widths", "viewer-configuration-widths.html"},
    {"Viewer Configuration Order", "viewer-configuration-order.html"},
    {"Viewer Configuration Names", "viewer-configuration-names.html"},
    {"Backup and Restore", "backup-and-restore.html"},
    {"Report Window", "report-window.html"},
    {"User Defined Reports", "user-defined-reports.html"},
};

TEST(HelpPages, EveryKeywordHasAPageTitledByItAndTheContentsLinkThemAll) {
  const std::string index = TempRoot::ReadFile(kHelpSource / "index.html");
  for (const auto& p : kPages) {
    const std::string page = TempRoot::ReadFile(kHelpSource / p.page);
    ASSERT_FALSE(page.empty()) << p.page;
    EXPECT_NE(page.find("<title>" + std::string(p.keyword) + "</title>"), std::string::npos) << p.page;
    EXPECT_NE(page.find("<h1>" + std::string(p.keyword) + "</h1>"), std::string::npos) << p.page;
    EXPECT_NE(page.find("<meta charset=\"utf-8\">"), std::string::npos) << p.page;
    EXPECT_NE(index.find("href=\"" + std::string(p.page) + "\""), std::string::npos) << p.page;
  }
  // Every link of every page leads to a page that is there.
  const std::regex link("href=\"([^\"#]+)\"");
  for (const auto& entry : fs::directory_iterator(kHelpSource)) {
    const std::string text = TempRoot::ReadFile(entry.path());
    for (auto it = std::sregex_iterator(text.begin(), text.end(), link); it != std::sregex_iterator(); ++it)
      EXPECT_TRUE(fs::exists(kHelpSource / (*it)[1].str())) << entry.path() << " -> " << (*it)[1].str();
  }
}

class HelpTest : public WindowTest {
 protected:
  void TearDown() override {
    main.reset();
    WindowTest::TearDown();
  }
  void Start() {
    const fs::path ini = platform::WindowsDir() / "KELDRO.INI";
    TempRoot::WriteFile(ini, "[Misc]\r\nShow Tips=No\r\n");
    main = std::make_unique<TMain>(TMain::StartOptions{{"keldro"}, QSize(1280, 1024)});
    ASSERT_FALSE(main->Terminated());
    main->show();
    QApplication::processEvents();
  }
  static QDialog* Shown() { return qobject_cast<QDialog*>(QApplication::activeModalWidget()); }
  static void Click(const char* name) {
    QDialog* w = Shown();
    ASSERT_NE(w, nullptr);
    auto* button = w->findChild<QAbstractButton*>(name);
    ASSERT_NE(button, nullptr) << w->objectName().toStdString() << " " << name;
    button->click();
  }
  std::unique_ptr<TMain> main;
};

TEST_F(HelpTest, EveryWindowSaysSoWhenItsPageIsNotInstalled) {
  Start();
  ui->helpResult = false;
  const fs::path folder = root.programDir() / "KELDRO";
  const std::string importFile = (root.path() / "ITEMS.TXT").string();
  TempRoot::WriteFile(importFile, "\"Hammer\",\"Acme\"\r\n");
  // Each way opens its window, presses its Help and closes it again; the
  // contents are the main window's own.
  struct Way {
    const char* keyword;
    std::function<void()> help;
  };
  const auto helpButton = [] { Click("HelpButton"); };
  const auto within = [this](QAction* action, std::function<void()> inside) {
    return [this, action, inside] {
      WhileModal([action] { action->trigger(); },
                 [inside] {
                   inside();
                   if (QDialog* w = Shown()) w->reject();
                 });
    };
  };
  const std::vector<Way> ways = {
      {"", [this] { main->MenuHelpContents->trigger(); }},
      {"Input Window", [&] { within(main->MenuEdit, [this] { main->MyEdit->MenuHelp->trigger(); })(); }},
      {"Search Window", [&] { within(main->MenuSearch, helpButton)(); }},
      {"Export Window", [&] { within(main->MenuExport, helpButton)(); }},
      {"Viewer Configuration Title", [&] { within(main->MenuViewer, helpButton)(); }},
      {"Backup and Restore", [&] { within(main->MenuBackup, helpButton)(); }},
      {"Backup and Restore", [&] { within(main->MenuRestore, helpButton)(); }},
      {"Report Window", [&] { within(main->MenuReports, helpButton)(); }},
      {"User Defined Reports",
       [&] {
         within(main->MenuReports, [&] {
           WhileModal([] { Click("NewButton"); },
                      [&] {
                        helpButton();
                        if (QDialog* w = Shown()) w->reject();
                      });
         })();
       }},
      {"Import Window",
       [&] {
         within(main->MenuImport, [&] {
           ui->files.push_back(FileDialogResult{true, importFile, 1});
           Shown()->findChild<QRadioButton*>("AsciiDelimited")->setChecked(true);
           WhileModal([] { Click("FileButton"); },
                      [&] {
                        ASSERT_NE(qobject_cast<TMyImport*>(Shown()), nullptr);
                        helpButton();
                        if (QDialog* w = Shown()) w->reject();
                      });
         })();
       }},
  };
  for (const Way& way : ways) {
    ui->calls.clear();
    ui->answers.push_back(platform::ui::Answer::Ok);
    way.help();
    std::string page = "index.html";
    for (const auto& p : kPages)
      if (p.keyword == std::string(way.keyword)) page = p.page;
    const std::string file = (folder / page).string();
    const std::string want = *way.keyword ? "The help page for \"" + std::string(way.keyword) +
                                                "\" is not installed (" + file + ")."
                                          : "The help contents are not installed (" + file + ").";
    EXPECT_EQ(ui->MessageTexts(), std::vector<std::string>{want}) << way.keyword;
    EXPECT_EQ(ui->MessageCaptions(), std::vector<std::string>{"Help"}) << way.keyword;
    for (const auto& call : ui->calls) {
      if (call.kind == platform::ui::ScriptedUi::Call::kMessage) {
        EXPECT_EQ(call.message.icon, platform::ui::Icon::Information) << way.keyword;
      }
      if (call.kind == platform::ui::ScriptedUi::Call::kHelp) {
        EXPECT_EQ(call.help.keyword, way.keyword);
      }
    }
  }
  EXPECT_TRUE(ui->unexpected.empty());
}

}  // namespace
}  // namespace keldro
