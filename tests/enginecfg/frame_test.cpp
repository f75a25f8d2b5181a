// The whole program through its main frame: menus, help on a highlighted
// item, open, save, save as, merge and exit with their questions, the error
// dialog, and the alias and ODBC driver commands, over the real engine.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>

#include "cfg_app.h"
#include "cfg_dialog.h"
#include "alias_panel.h"
#include "cfg_notebook.h"
#include "client_wnd.h"
#include "list_panel.h"
#include "driver_panel.h"
#include "core/alias_rules.h"
#include "core/cfg_strings.h"
#include "core/config_model.h"
#include "core/engine_binding.h"
#include "core/odbc.h"
#include "dialog_script.h"
#include "delete_alias_warning_dlg.h"
#include "delete_driver_warning_dlg.h"
#include "merge_warning_dlg.h"
#include "new_alias_dlg.h"
#include "new_driver_dlg.h"
#include "overwrite_warning_dlg.h"
#include "warning_dlg.h"
#include "win_ini_dlg.h"
#include "odbc_driver_rows.h"
#include "odbc_ini.h"
#include "platform/paths.h"
#include "platform/registry.h"
#include "platform/text.h"
#include "platform/ui.h"
#include "temp_root.h"
#include "shot_path.h"

namespace fs = std::filesystem;
using namespace vtxcfg;
using testing_support::TempRoot;
namespace reg = platform::registry;
namespace ui = platform::ui;
using Names = std::vector<std::string>;

namespace {

fs::path BinDir() { return fs::read_symlink("/proc/self/exe").parent_path(); }
std::string Ansi(const fs::path& p) { return platform::Utf8ToCp1252(p.string()); }

void SetEngineValue(const std::string& name, const std::string& value) {
  reg::Key key;
  ASSERT_EQ(reg::CreateKey(reg::Hive::LocalMachine, "Software\\Vantrix\\Database Engine", key), reg::kSuccess);
  ASSERT_EQ(key.SetString(name, value), reg::kSuccess);
}

std::string EngineValue(const std::string& name) {
  reg::Key key;
  std::string value;
  if (reg::OpenKey(reg::Hive::LocalMachine, "Software\\Vantrix\\Database Engine", false, key) == reg::kSuccess)
    key.QueryString(name, value);
  return value;
}

const char* const kConfig =
    "ORBEX32 CONFIGURATION 1\r\n"
    "[\\DATABASES\\MyData\\DB INFO]\r\nTYPE=STANDARD\r\nPATH=C:\\DATA\r\n"
    "[\\SYSTEM\\INIT]\r\nLOCAL SHARE=FALSE\r\nDEFAULT DRIVER=DBASE\r\n";

class Frame : public ::testing::Test {
 protected:
  TempRoot root;
  std::shared_ptr<ui::ScriptedUi> ui = std::make_shared<ui::ScriptedUi>();
  DialogScript dialogs;
  std::unique_ptr<TCfgApp> app;
  TCfgDecFrame* frame = nullptr;
  std::string systemFile;

  void SetUp() override {
    ui::Install(ui);
    SetEngineValue("DLLPATH", Ansi(BinDir()));
    systemFile = Ansi(platform::SystemDir() / "ORBEX.CFG");
  }
  void TearDown() override {
    app.reset();
    SetOdbcLibraryForTesting("");
    EXPECT_TRUE(ui->unexpected.empty()) << ui->unexpected.front();
    EXPECT_TRUE(dialogs.unexpected.empty()) << dialogs.unexpected.front();
  }
  std::string Write(const std::string& name, const std::string& text) {
    fs::path p = root.path() / name;
    TempRoot::WriteFile(p, text);
    return Ansi(p);
  }
  void Start() {
    app = std::make_unique<TCfgApp>();
    ASSERT_TRUE(app->InitInstance());
    app->InitMainWindow();
    frame = app->MainWindow();
    ASSERT_NE(frame, nullptr);
  }
  // Starts on the system directory's "ORBEX.CFG": the engine's defaults
  // and the alias "MyData".
  void StartOnFile() {
    app = std::make_unique<TCfgApp>();
    ASSERT_TRUE(app->InitInstance());
    uint32_t h = 0;
    ASSERT_EQ(Engine().OpenConfigFile(platform::AnsiToOem(systemFile).c_str(), 1, &h), 0);
    uint8_t rows[2 * 62] = {};
    char values[2 * 128] = {};
    const char* params[2][2] = {{"TYPE", "STANDARD"}, {"PATH", "C:\\DATA"}};
    for (int i = 0; i < 2; ++i) {
      rows[i * 62] = static_cast<uint8_t>(i);
      std::memcpy(rows + i * 62 + 2, params[i][0], std::strlen(params[i][0]));
      rows[i * 62 + 34] = 1;
      rows[i * 62 + 42] = static_cast<uint8_t>(i * 128);
      rows[i * 62 + 44] = 128;
      std::memcpy(values + i * 128, params[i][1], std::strlen(params[i][1]));
    }
    ASSERT_EQ(Engine().AddConfigNode(h, "\\DATABASES\\MyData\\DB INFO", 2, rows, values), 0);
    ASSERT_EQ(Engine().CloseConfigFile(&h, 1, 0, 1), 0);
    app->InitMainWindow();
    frame = app->MainWindow();
    ASSERT_TRUE(app->Loaded());
  }
  std::string Title() const { return platform::Utf8ToCp1252(frame->windowTitle().toStdString()); }
  TListPanel* Page(const char* className) {
    TCfgNotebook* nb = frame->Client()->Notebook();
    for (int i = 0; i < nb->PageCount(); ++i)
      if (nb->Page(i)->objectName() == className) return static_cast<TListPanel*>(nb->Page(i));
    return nullptr;
  }
  Names Items(TListPanel* page) {
    Names out;
    for (int i = 0; i < page->List()->count(); ++i) out.push_back(page->List()->item(i)->text().toStdString());
    return out;
  }
  void Choose(TListPanel* page, const char* item) {
    auto found = page->List()->findItems(item, Qt::MatchExactly);
    ASSERT_FALSE(found.isEmpty()) << item;
    page->List()->setCurrentItem(found.front());
  }
  std::string Entry(const std::string& path, const std::string& name) {
    std::string value;
    GetEntryValue(path, name, value);
    return value;
  }
  // A file chosen in the next file dialog.
  void ChooseFile(const std::string& ansiPath) { ui->files.push_back({true, platform::Cp1252ToUtf8(ansiPath), 1}); }
  std::vector<const ui::HelpRequest*> Helps() const {
    std::vector<const ui::HelpRequest*> out;
    for (const auto& c : ui->calls)
      if (c.kind == ui::ScriptedUi::Call::kHelp) out.push_back(&c.help);
    return out;
  }
  void SavePicture(QWidget* w, const std::string& name) {
    QApplication::processEvents();
    EXPECT_TRUE(w->grab().save(QString::fromStdString(testing_support::ShotPath("vtxcfg32-" + name + ".png"))));
  }
};

TEST_F(Frame, MenusAsListedAndF1OnAHighlightedItemShowsItsHelpInstead) {
  StartOnFile();
  std::vector<std::pair<std::string, Names>> menus;
  for (QAction* top : frame->menuBar()->actions()) {
    Names items;
    for (QAction* a : top->menu()->actions())
      if (!a->isSeparator()) items.push_back(a->text().toStdString());
    menus.emplace_back(top->text().toStdString(), items);
  }
  EXPECT_EQ(menus, (std::vector<std::pair<std::string, Names>>{
                       {"&File", {"&Open...", "&Save", "Save &As...", "&Merge...", "E&xit"}},
                       {"&Options", {"&Configure WIN3.1"}},
                       {"&Pages",
                        {"&Alias", "&Drivers", "&System", "Date &Formats", "&Time Formats", "&Number Formats"}},
                       {"&Help", {"&Contents", "&About..."}}}));
  EXPECT_EQ(frame->size(), frame->FrameSize());
  SavePicture(frame, "frame");

  // F1 on the highlighted "Open...": its topic, and no file dialog.
  QMenu* file = frame->menuBar()->actions()[0]->menu();
  file->popup(frame->mapToGlobal(QPoint(0, 0)));
  file->setActiveAction(frame->Command(24332));
  SavePicture(file, "menu-file");
  QTest::keyClick(file, Qt::Key_F1);
  EXPECT_FALSE(file->isVisible());
  EXPECT_FALSE(frame->HelpFlag());
  ASSERT_EQ(ui->calls.size(), 1u);
  EXPECT_EQ(ui->calls[0].kind, ui::ScriptedUi::Call::kHelp);
  EXPECT_EQ(ui->calls[0].help.file, "VTXCFG32.HLP");
  EXPECT_EQ(ui->calls[0].help.context, 2u);

  // The same on the WIN3.1 option leaves its check mark alone.
  QMenu* options = frame->menuBar()->actions()[1]->menu();
  QAction* win31 = frame->Command(24346);
  bool checked = win31->isChecked();
  options->popup(frame->mapToGlobal(QPoint(0, 0)));
  options->setActiveAction(win31);
  QTest::keyClick(options, Qt::Key_F1);
  EXPECT_EQ(win31->isChecked(), checked);
  EXPECT_EQ(Helps().back()->context, 60u);

  // Without F1 the commands run.
  win31->trigger();
  EXPECT_EQ(EngineValue("SAVECONFIG"), checked ? "WIN32" : "WIN31");
  frame->Command(24340)->trigger();
  EXPECT_EQ(frame->Client()->Notebook()->CurrentPage()->objectName(), "TNumberPanel");
  frame->Command(24381)->trigger();
  EXPECT_EQ(Helps().back()->command, ui::HelpCommand::Finder);
  dialogs.Expect("ABOUTBOX_DLG", [](QDialog& d) {
    d.findChild<QPushButton*>("381")->click();  // the hidden button
    EXPECT_EQ(d.windowTitle().toStdString(), "About VTXCFG32 Developers");
    return DialogScript::Click(d, 1);
  });
  frame->Command(24389)->trigger();
  ASSERT_EQ(dialogs.shown.size(), 1u);
  EXPECT_EQ(dialogs.shown[0].caption, "About VTXCFG32");
  EXPECT_EQ(dialogs.shown[0].texts.front(), "VTX Configuration Utility");
}

TEST_F(Frame, TheDefaultConfigurationIsSavedAsANewFileWithoutTheRegistryQuestion) {
  SetEngineValue("CONFIGFILE01", Write("BROKEN.CFG", "garbage"));
  dialogs.Press("ERROR_DLG", 1);  // the engine refuses the file
  Start();
  ASSERT_TRUE(app->Loaded());
  EXPECT_EQ(app->FileName(), "Default Configuration");
  ASSERT_EQ(SetEntryValue("\\SYSTEM\\INIT", "LOCAL SHARE", "TRUE"), 0);
  std::string saved = Ansi(root.path() / "NEW.CFG");
  ChooseFile(Ansi(root.path() / "NEW"));  // typed without its extension
  frame->Command(24333)->trigger();
  ASSERT_FALSE(ui->calls.empty());
  EXPECT_EQ(ui->calls[0].file.title, "Save Configuration File As");
  EXPECT_EQ(dialogs.Names(), (Names{"ERROR_DLG"}));  // no "INIWARN_DLG"
  ASSERT_TRUE(fs::exists(root.path() / "NEW.CFG"));
  EXPECT_EQ(app->FileName(), saved);
  EXPECT_FALSE(IsConfigModified());
  EXPECT_NE(Title().find("NEW.CFG"), std::string::npos) << Title();

  // Another file, then the saved one again: it holds the defaults and the change.
  std::string other = Write("OTHER.CFG", kConfig);
  ChooseFile(other);
  frame->Command(24332)->trigger();
  EXPECT_EQ(app->FileName(), other);
  EXPECT_EQ(Entry("\\SYSTEM\\INIT", "LOCAL SHARE"), "FALSE");
  ChooseFile(saved);
  frame->Command(24332)->trigger();
  EXPECT_EQ(app->FileName(), saved);
  EXPECT_NE(Title().find("NEW.CFG"), std::string::npos) << Title();
  EXPECT_EQ(Entry("\\SYSTEM\\INIT", "LOCAL SHARE"), "TRUE");
  EXPECT_EQ(Entry("\\DRIVERS\\DBASE\\INIT", "TYPE"), "FILE");
}

TEST_F(Frame, ANewUserWithoutAFileSavesOneAndRegistersIt) {
  dialogs.Press("ERROR_DLG", 1);
  Start();
  EXPECT_EQ(dialogs.Errors(), (Names{"System configuration file not found."}));
  ASSERT_TRUE(app->Loaded());
  EXPECT_EQ(Title(), "VTX Configuration Utility - ");
  EXPECT_EQ(Items(Page("TDriverPanel")), (Names{"TESSALY", "DBASE", "ASCIIDRV", "ORACLE"}));
  SavePicture(frame, "new-user");
  std::string saved = Ansi(root.path() / "MINE.CFG");
  ChooseFile(saved);
  dialogs.Press("INIWARN_DLG", 1);
  frame->Command(24333)->trigger();
  EXPECT_EQ(EngineValue("CONFIGFILE01"), saved);
  EXPECT_EQ(app->FileName(), saved);
  // The next start finds it.
  app.reset();
  Start();
  EXPECT_EQ(app->FileName(), saved);
}

TEST_F(Frame, TheDefaultConfigurationSavedOverAFileHoldsTheDefaultsNotThatFile) {
  SetEngineValue("CONFIGFILE01", Write("BROKEN.CFG", "garbage"));
  dialogs.Press("ERROR_DLG", 1);
  Start();
  ASSERT_EQ(app->FileName(), "Default Configuration");
  ASSERT_EQ(SetEntryValue("\\SYSTEM\\INIT", "LOCAL SHARE", "TRUE"), 0);
  std::string there = Write("THERE.CFG", "ORBEX32 CONFIGURATION 1\r\n[\\DATABASES\\OLD\\DB INFO]\r\nTYPE=STANDARD\r\n");
  ChooseFile(there);
  dialogs.Press("OVERWRITEWARN_DLG", 1);
  frame->Command(24334)->trigger();
  EXPECT_EQ(app->FileName(), there);
  EXPECT_EQ(Items(Page("TAliasPanel")), Names{});
  EXPECT_EQ(Entry("\\SYSTEM\\INIT", "LOCAL SHARE"), "TRUE");
  EXPECT_EQ(Entry("\\DRIVERS\\DBASE\\INIT", "TYPE"), "FILE");
  EXPECT_FALSE(fs::exists(root.path() / "THERE.CFG.new"));
}

TEST_F(Frame, SavingAFileTheRegistryDoesNotNameAsksToRegisterIt) {
  StartOnFile();
  ASSERT_EQ(SetEntryValue("\\SYSTEM\\INIT", "LOCAL SHARE", "TRUE"), 0);
  dialogs.Press("INIWARN_DLG", 1);
  frame->Command(24333)->trigger();
  EXPECT_EQ(dialogs.Names(), (Names{"INIWARN_DLG"}));
  EXPECT_EQ(dialogs.shown[0].caption, "Non-system Configuration File");
  EXPECT_EQ(EngineValue("CONFIGFILE01"), systemFile);
  EXPECT_FALSE(IsConfigModified());
  // Now registered: the next save asks nothing.
  ASSERT_EQ(SetEntryValue("\\SYSTEM\\INIT", "LOCAL SHARE", "FALSE"), 0);
  frame->Command(24333)->trigger();
  EXPECT_EQ(dialogs.shown.size(), 1u);
  EXPECT_NE(TempRoot::ReadFile(platform::SystemDir() / "ORBEX.CFG").find("LOCAL SHARE=FALSE"), std::string::npos);
}

TEST_F(Frame, SaveAsOverAnExistingFileAsksFirst) {
  StartOnFile();
  SetEngineValue("CONFIGFILE01", systemFile);
  std::string target = Write("THERE.CFG", "ORBEX32 CONFIGURATION 1\r\n");
  ASSERT_EQ(SetEntryValue("\\SYSTEM\\INIT", "LOCAL SHARE", "TRUE"), 0);
  ChooseFile(target);
  dialogs.Press("OVERWRITEWARN_DLG", 2);
  frame->Command(24334)->trigger();
  EXPECT_EQ(TempRoot::ReadFile(root.path() / "THERE.CFG"), "ORBEX32 CONFIGURATION 1\r\n");
  EXPECT_EQ(app->FileName(), systemFile);
  ChooseFile(target);
  dialogs.Press("OVERWRITEWARN_DLG", 1);
  dialogs.Press("INIWARN_DLG", 2);
  frame->Command(24334)->trigger();
  EXPECT_EQ(app->FileName(), target);
  EXPECT_EQ(EngineValue("CONFIGFILE01"), systemFile);  // answered No
  EXPECT_EQ(Entry("\\DATABASES\\MyData\\DB INFO", "PATH"), "C:\\DATA");  // copied from the current file
  EXPECT_EQ(Entry("\\SYSTEM\\INIT", "LOCAL SHARE"), "TRUE");
}

TEST_F(Frame, MergeAnsweredNoChangesNothingAndYesBringsTheOtherFilesNodes) {
  StartOnFile();
  SetEngineValue("CONFIGFILE01", systemFile);
  std::string other = Write("OTHER.CFG", "ORBEX32 CONFIGURATION 1\r\n[\\DATABASES\\FROMS\\DB INFO]\r\nTYPE=STANDARD\r\n");
  std::string before = TempRoot::ReadFile(platform::SystemDir() / "ORBEX.CFG");
  ChooseFile(other);
  dialogs.Press("MERGEWARN_DLG", 2);
  dialogs.Press("ERROR_DLG", 1);
  frame->Command(24335)->trigger();
  EXPECT_EQ(dialogs.Errors(), (Names{"File was not merged."}));
  EXPECT_EQ(dialogs.shown.back().caption, "VTXCFG Error");
  EXPECT_EQ(TempRoot::ReadFile(platform::SystemDir() / "ORBEX.CFG"), before);
  EXPECT_EQ(Items(Page("TAliasPanel")), (Names{"MyData"}));

  // Cancel in the save question stops the merge too.
  ASSERT_EQ(SetEntryValue("\\SYSTEM\\INIT", "LOCAL SHARE", "TRUE"), 0);
  ChooseFile(other);
  dialogs.Press("MERGEWARN_DLG", 1);
  dialogs.Press("EXITWARN_DLG", 2);
  frame->Command(24335)->trigger();
  EXPECT_EQ(TempRoot::ReadFile(platform::SystemDir() / "ORBEX.CFG"), before);
  EXPECT_TRUE(IsConfigModified());

  // Yes, and No to saving the change first: the change is given up.
  ChooseFile(other);
  dialogs.Press("MERGEWARN_DLG", 1);
  dialogs.Press("EXITWARN_DLG", 7);
  frame->Command(24335)->trigger();
  EXPECT_EQ(Items(Page("TAliasPanel")), (Names{"MyData", "FROMS"}));
  EXPECT_EQ(Entry("\\SYSTEM\\INIT", "LOCAL SHARE"), "FALSE");
  EXPECT_FALSE(IsConfigModified());
}

TEST_F(Frame, OpenOfAFileThatIsNoConfigurationKeepsTheCurrentOne) {
  StartOnFile();
  std::string title = Title();
  ChooseFile(Write("BAD.CFG", "garbage"));
  dialogs.Press("ERROR_DLG", 1);
  frame->Command(24332)->trigger();
  EXPECT_EQ(dialogs.Errors(), (Names{"Invalid Configuration file format."}));
  EXPECT_EQ(Title(), title);
  EXPECT_TRUE(app->Loaded());
  EXPECT_EQ(Items(Page("TAliasPanel")), (Names{"MyData"}));
  // A missing name is told and the dialog comes again; Cancel ends it.
  ui->files.push_back({true, (root.path() / "GONE.CFG").string(), 1});
  ui->files.push_back({false, "", 1});
  ui->answers.push_back(ui::Answer::Ok);
  frame->Command(24332)->trigger();
  ASSERT_EQ(ui->MessageTexts().size(), 1u);
  EXPECT_NE(ui->MessageTexts()[0].find("File not found."), std::string::npos);
  EXPECT_EQ(Title(), title);
}

TEST_F(Frame, ErrorDialogShowsEachCodesMessageAndHelpTopic) {
  StartOnFile();
  struct Case {
    int code;
    const char* message;
    uint32_t context;
  } cases[] = {{99, "Error initializing database engine.", 26},
               {0, "Error initializing database engine.", 26},
               {11, "SHARE.EXE must be loaded to initialize with database engine with Local Share set to TRUE.", 27},
               {4, "Could not modify the VTX configuration file.", 31},
               {26, "Invalid alias name.  Please enter a valid name.", 43},
               {38, "File was not merged.", 51},
               {41, "Your ODBC Driver Manager is not up-to-date.  VTX requires Version 2 or greater of ODBC.", 54},
               {45, "You have the maximum number of drivers defined.", 55}};
  for (const Case& c : cases) {
    dialogs.Expect("ERROR_DLG", [](QDialog& d) {
      EXPECT_EQ(DialogScript::Click(d, 380), 0);  // Help leaves it open
      return DialogScript::Click(d, 1);
    });
    ui->calls.clear();
    ReportCfgError(c.code);
    EXPECT_EQ(dialogs.Errors().back(), c.message) << c.code;
    ASSERT_EQ(Helps().size(), 1u);
    EXPECT_EQ(Helps()[0]->context, c.context) << c.code;
  }
  // Every code of the table: its own message and its own topic; a code
  // outside it shows the first row's.
  const Case table[] = {
      {0, "Error initializing database engine.", 26},
      {11, "SHARE.EXE must be loaded to initialize with database engine with Local Share set to TRUE.", 27},
      {1, "Error loading specified resource.", 28},
      {2, "Error allocating memory.", 29},
      {3, "Could not open the VTX configuration file.", 30},
      {4, "Could not modify the VTX configuration file.", 31},
      {5, "The minimum buffer size must be a number between 32 and 65535.", 32},
      {6, "The maximum buffer size must be a number between 32 and 65535.", 33},
      {7, "The minimum buffer size must not be greater than the maximum buffer size.", 34},
      {10, "The network control file directory must be a valid directory name.", 35},
      {15, "Not enough memory to run VTXCFG.EXE.", 36},
      {16, "The decimal separator and the thousands separator have been set to the same character.", 37},
      {17, "Could not load Language Driver DLL.", 38},
      {18, "System configuration file not found.", 39},
      {19, "Invalid Configuration file format.", 40},
      {20, "Configuration file is read-only.", 41},
      {25, "Error writing file.", 42},
      {26, "Invalid alias name.  Please enter a valid name.", 43},
      {27, "Duplicate alias name.  Please enter a new name.", 44},
      {28, "Invalid driver name.  Please enter a valid name.", 45},
      {29, "Duplicate driver name.  Please enter a new name.", 46},
      {30, "ODBC is not installed. You cannot add a driver.", 47},
      {35, "Please select an ODBC driver name.", 48},
      {36, "Please select an ODBC data source name.", 49},
      {37, "You can delete only ODBC drivers.", 50},
      {38, "File was not merged.", 51},
      {39, "An error occurred while loading ODBC.", 52},
      {40, "ODBC is corrupt or not installed correctly.", 53},
      {41, "Your ODBC Driver Manager is not up-to-date.  VTX requires Version 2 or greater of ODBC.", 54},
      {45, "You have the maximum number of drivers defined.", 55},
      {8, "Error initializing database engine.", 26},
      {31, "Error initializing database engine.", 26},
      {46, "Error initializing database engine.", 26},
      {-1, "Error initializing database engine.", 26}};
  for (const Case& c : table) {
    dialogs.Expect("ERROR_DLG", [](QDialog& d) {
      QTest::keyClick(&d, Qt::Key_F1);
      return DialogScript::Click(d, 1);
    });
    ui->calls.clear();
    ReportCfgError(c.code);
    EXPECT_EQ(dialogs.Errors().back(), c.message) << c.code;
    ASSERT_EQ(Helps().size(), 1u) << c.code;
    EXPECT_EQ(Helps()[0]->context, c.context) << c.code;
  }
}

TEST_F(Frame, ExitWithAChangeAsksAndKeepsRunningOnCancelOrAFailedSave) {
  fs::path dir = root.path() / "CFGDIR";
  fs::create_directories(dir);
  TempRoot::WriteFile(dir / "MY.CFG", kConfig);
  SetEngineValue("CONFIGFILE01", Ansi(dir / "MY.CFG"));
  Start();
  ASSERT_EQ(app->FileName(), Ansi(dir / "MY.CFG"));
  frame->show();
  ASSERT_EQ(SetEntryValue("\\SYSTEM\\INIT", "LOCAL SHARE", "TRUE"), 0);

  dialogs.Press("EXITWARN_DLG", 2);
  EXPECT_FALSE(frame->close());
  EXPECT_TRUE(frame->isVisible());
  EXPECT_EQ(dialogs.shown[0].caption, " Close Configuration File");
  EXPECT_EQ(dialogs.shown[0].buttons, (Names{"&Yes", "&No", "Cancel"}));

  // The file's folder is gone: the save fails, and the program stays.
  fs::remove_all(dir);
  dialogs.Press("EXITWARN_DLG", 1);
  dialogs.Press("ERROR_DLG", 1);
  EXPECT_FALSE(frame->close());
  EXPECT_EQ(dialogs.Errors(), (Names{"Could not modify the VTX configuration file."}));
  EXPECT_TRUE(IsConfigModified());

  fs::create_directories(dir);
  dialogs.Press("EXITWARN_DLG", 1);
  EXPECT_TRUE(frame->close());
  EXPECT_NE(TempRoot::ReadFile(dir / "MY.CFG").find("LOCAL SHARE=TRUE"), std::string::npos);
  EXPECT_EQ(Helps().back()->command, ui::HelpCommand::Quit);
}

TEST_F(Frame, ExitAnsweredNoLeavesTheFileAsItWas) {
  StartOnFile();
  SetEngineValue("CONFIGFILE01", systemFile);
  std::string before = TempRoot::ReadFile(platform::SystemDir() / "ORBEX.CFG");
  ASSERT_EQ(SetEntryValue("\\SYSTEM\\INIT", "LOCAL SHARE", "TRUE"), 0);
  dialogs.Press("EXITWARN_DLG", 7);
  EXPECT_TRUE(frame->close());
  EXPECT_EQ(TempRoot::ReadFile(platform::SystemDir() / "ORBEX.CFG"), before);
}

TEST_F(Frame, NewAliasRefusesBadAndDuplicateNamesAndAStandardAliasGetsTheDefaultDriver) {
  StartOnFile();
  SetEngineValue("CONFIGFILE01", systemFile);
  TListPanel* aliases = Page("TAliasPanel");
  frame->Command(24344)->trigger();
  auto typeAndOk = [](const char* name) {
    return [name](QDialog& d) {
      d.findChild<QLineEdit*>("371")->setText(name);
      return DialogScript::Click(d, 1);
    };
  };
  dialogs.Expect("NEWALIAS_DLG", [&](QDialog& d) {
    auto* type = d.findChild<QComboBox*>("372");
    Names types;
    for (int i = 0; i < type->count(); ++i) types.push_back(type->itemText(i).toStdString());
    EXPECT_EQ(types.front(), "STANDARD");
    EXPECT_EQ(std::count(types.begin(), types.end(), "DBASE"), 0);
    EXPECT_EQ(d.findChild<QLineEdit*>("371")->maxLength(), 31);
    for (const char* bad : {"my data", "my-data", "MYDATA"})
      if (typeAndOk(bad)(d) != 0) return d.result();
    type->setCurrentText("STANDARD");
    return typeAndOk("my_data1")(d);
  });
  dialogs.Press("ERROR_DLG", 1);
  dialogs.Press("ERROR_DLG", 1);
  dialogs.Press("ERROR_DLG", 1);
  aliases->NewButton()->click();
  EXPECT_EQ(dialogs.Errors(), (Names{"Invalid alias name.  Please enter a valid name.",
                                     "Invalid alias name.  Please enter a valid name.",
                                     "Duplicate alias name.  Please enter a new name."}));
  EXPECT_EQ(Items(aliases), (Names{"MyData", "my_data1"}));
  EXPECT_EQ(aliases->SelectedName(), "my_data1");
  SavePicture(frame, "aliases");

  frame->Command(24333)->trigger();
  ChooseFile(systemFile);
  frame->Command(24332)->trigger();
  EXPECT_EQ(Entry("\\DATABASES\\my_data1\\DB INFO", "DEFAULT DRIVER"), "TESSALY");
  EXPECT_EQ(Entry("\\DATABASES\\my_data1\\DB INFO", "TYPE"), "STANDARD");

  // Delete: No keeps it, Yes takes it away.
  Choose(aliases, "my_data1");
  dialogs.Press("DELALIASWARN_DLG", 2);
  aliases->DeleteButton()->click();
  EXPECT_EQ(Items(aliases), (Names{"MyData", "my_data1"}));
  Choose(aliases, "my_data1");
  dialogs.Press("DELALIASWARN_DLG", 1);
  aliases->DeleteButton()->click();
  EXPECT_EQ(Items(aliases), (Names{"MyData"}));
  EXPECT_EQ(dialogs.shown.back().texts, (Names{"Are you sure you want to delete this Alias?"}));
}

TEST_F(Frame, OnlyOdbcDriversCanBeDeleted) {
  StartOnFile();
  TListPanel* drivers = Page("TDriverPanel");
  Choose(drivers, "DBASE");
  dialogs.Press("ERROR_DLG", 1);
  drivers->DeleteButton()->click();
  EXPECT_EQ(dialogs.Errors(), (Names{"You can delete only ODBC drivers."}));
  EXPECT_FALSE(IsConfigModified());
  // With 34 drivers a new one has no room left.
  DriverNames().count = 34;
  dialogs.Press("ERROR_DLG", 1);
  drivers->NewButton()->click();
  EXPECT_EQ(dialogs.Errors().back(), "You have the maximum number of drivers defined.");
}

TEST_F(Frame, AnOdbcDriverIsAddedFromUnixOdbcsDriversAndDataSources) {
  OdbcIni ini(root.path() / "odbc", "[Stashwell Test Driver]\nDriver=/nonexistent/libtestdrv.so\n",
              "[TestData]\nDriver=Stashwell Test Driver\n");
  StartOnFile();
  SetEngineValue("CONFIGFILE01", systemFile);
  TListPanel* drivers = Page("TDriverPanel");
  dialogs.Expect("NEWDRIVER_DLG", [](QDialog& d) {
    auto& dlg = static_cast<TNewDriver&>(d);
    EXPECT_EQ(dlg.NameEdit()->maxLength(), 26);
    EXPECT_EQ(dlg.DriverCombo()->count(), 1);
    EXPECT_EQ(dlg.DriverCombo()->itemText(0).toStdString(), "Stashwell Test Driver");
    EXPECT_EQ(DialogScript::Click(d, 1), 0);  // no name
    dlg.NameEdit()->setText("Y");
    EXPECT_EQ(DialogScript::Click(d, 1), 0);  // no ODBC driver
    dlg.DriverCombo()->setCurrentIndex(0);
    EXPECT_EQ(dlg.DataSourceCombo()->currentText().toStdString(), "TestData");
    return DialogScript::Click(d, 1);
  });
  dialogs.Press("ERROR_DLG", 1);
  dialogs.Press("ERROR_DLG", 1);
  drivers->NewButton()->click();
  EXPECT_EQ(dialogs.Errors(), (Names{"Invalid driver name.  Please enter a valid name.",
                                     "Please select an ODBC driver name."}));
  EXPECT_EQ(Items(drivers).back(), "ODBC_Y");

  frame->Command(24333)->trigger();
  ChooseFile(systemFile);
  frame->Command(24332)->trigger();
  std::vector<std::pair<std::string, std::string>> init, open;
  for (int n = 0; const ConfigEntry* e = GetNodeEntry("\\DRIVERS\\ODBC_Y\\INIT", n); ++n)
    init.emplace_back(e->name, e->value);
  for (int n = 0; const ConfigEntry* e = GetNodeEntry("\\DRIVERS\\ODBC_Y\\DB OPEN", n); ++n)
    open.emplace_back(e->name, e->value);
  // The rows of a new ODBC driver, in order, with the choices of the dialog.
  EXPECT_EQ(init, vtxcfg_test::NewOdbcInitRows("Stashwell Test Driver"));
  EXPECT_EQ(open, vtxcfg_test::NewOdbcOpenRows("TestData"));

  // The name is in use now, in any letter case.
  dialogs.Expect("NEWDRIVER_DLG", [](QDialog& d) {
    auto& dlg = static_cast<TNewDriver&>(d);
    dlg.NameEdit()->setText("y");
    dlg.DriverCombo()->setCurrentIndex(0);
    DialogScript::Click(d, 1);
    return DialogScript::Click(d, 2);
  });
  dialogs.Press("ERROR_DLG", 1);
  drivers->NewButton()->click();
  EXPECT_EQ(dialogs.Errors().back(), "Duplicate driver name.  Please enter a new name.");

  Choose(drivers, "ODBC_Y");
  dialogs.Press("DELDRIVERWARN_DLG", 1);
  drivers->DeleteButton()->click();
  Names left = Items(drivers);
  EXPECT_EQ(std::count(left.begin(), left.end(), "ODBC_Y"), 0);
  EXPECT_EQ(DriverNames().count, static_cast<int>(left.size()));
}

TEST_F(Frame, TheOdbcManagersOwnVersionDecidesWhetherADriverCanBeAdded) {
  StartOnFile();
  // The engine is loaded; DLLPATH now only says where the ODBC conduit lies.
  const fs::path conduitDir = root.path() / "conduit";
  TempRoot::WriteFile(conduitDir / "OXODBC01.DLL", "");
  const fs::path noConduitDir = root.path() / "none";
  fs::create_directories(noConduitDir);
  const std::string corrupt = "ODBC is corrupt or not installed correctly.";
  struct Case {
    std::string library;
    fs::path dllPath;
    std::string error;  // "": the dialog opens
  } cases[] = {
      {"libstashwell-no-odbc.so.2", conduitDir, corrupt},
      {(BinDir() / "libodbc_standin_empty.so").string(), conduitDir, corrupt},
      {(BinDir() / "libodbc_standin_v1.so").string(), conduitDir,
       "Your ODBC Driver Manager is not up-to-date.  VTX requires Version 2 or greater of ODBC."},
      {(BinDir() / "libodbc_standin_v1.so").string(), noConduitDir, ""},
  };
  for (const Case& c : cases) {
    SetOdbcLibraryForTesting(c.library);
    SetEngineValue("DLLPATH", Ansi(c.dllPath) + ";" + Ansi(root.path() / "gone"));
    dialogs.shown.clear();
    if (c.error.empty())
      dialogs.Press("NEWDRIVER_DLG", 2);
    else
      dialogs.Press("ERROR_DLG", 1);
    Page("TDriverPanel")->NewButton()->click();
    EXPECT_EQ(dialogs.Errors(), c.error.empty() ? Names{} : Names{c.error}) << c.library;
    EXPECT_EQ(dialogs.Names(), Names{c.error.empty() ? "NEWDRIVER_DLG" : "ERROR_DLG"}) << c.library;
  }
}

TEST_F(Frame, EveryDialogOpensItsOwnHelpTopicOnF1) {
  struct Case {
    std::function<std::unique_ptr<TCfgDialog>()> make;
    const char* caption;
    uint32_t context;
  } cases[] = {
      {[] { return std::make_unique<TWarningDlg>(nullptr); }, " Close Configuration File", 17},
      {[] { return std::make_unique<TDeleteAliasWarningDlg>(nullptr); }, "Delete Alias", 19},
      {[] { return std::make_unique<TNewAlias>(nullptr); }, "Add New Alias", 20},
      {[] { return std::make_unique<TWinIniDlg>(nullptr); }, "Non-system Configuration File", 21},
      {[] { return std::make_unique<TNewDriver>(nullptr); }, "Add ODBC Driver", 24},
      {[] { return std::make_unique<TDeleteDriverWarningDlg>(nullptr); }, "Delete Driver", 25},
      {[] { return std::make_unique<TOverwriteWarningDlg>(nullptr); }, "Overwrite Existing File", 56},
      {[] { return std::make_unique<TMergeWarningDlg>(nullptr); }, "Merge Configuration Files", 59},
  };
  for (const Case& c : cases) {
    std::unique_ptr<TCfgDialog> dialog = c.make();
    ui->calls.clear();
    QTest::keyClick(dialog.get(), Qt::Key_F1);
    EXPECT_EQ(dialog->windowTitle().toStdString(), c.caption);
    ASSERT_EQ(Helps().size(), 1u) << c.caption;
    EXPECT_EQ(Helps()[0]->context, c.context) << c.caption;
    if (QPushButton* help = dialog->Button(380)) {
      help->click();
      EXPECT_EQ(Helps().size(), 2u) << c.caption;
      EXPECT_EQ(dialog->result(), 0) << c.caption;  // Help does not close it
    }
  }
}

// Runs `body` in a forked child as an ordinary user: uid and gid 65534 when
// the tests run as root, so that read-only files and a Registry folder the
// user does not own refuse it as they refuse any user. The child's failures
// fail the test.
void AsOrdinaryUser(const std::function<void()>& body) {
  ASSERT_FALSE(::testing::Test::HasFailure());
  std::fflush(nullptr);
  pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    if (geteuid() == 0 && (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0)) _exit(3);
    body();
    std::fflush(nullptr);
    _exit(::testing::Test::HasFailure() ? 1 : 0);
  }
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status)) << "the ordinary user's run ended by signal " << WTERMSIG(status);
  EXPECT_EQ(WEXITSTATUS(status), 0) << "the ordinary user's run failed (above)";
}

// A folder of the ordinary user's own under the test root, which the user
// may pass through.
fs::path UserFolder(const TempRoot& root) {
  fs::path dir = root.path() / "user";
  fs::create_directories(dir);
  fs::permissions(root.path(), fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                   fs::perms::others_read | fs::perms::others_exec);
  if (geteuid() == 0) {
    EXPECT_EQ(chown(dir.c_str(), 65534, 65534), 0);
  }
  return dir;
}

TEST_F(Frame, ARegistryTheUserMayNotWriteIsToldAndTheFileIsSavedAnyway) {
  StartOnFile();
  SetEngineValue("CONFIGFILE01", systemFile);
  const fs::path registry = platform::RegistryDir() / "HKLM.reg";
  const std::string registryBefore = TempRoot::ReadFile(registry);
  ASSERT_FALSE(registryBefore.empty());
  const fs::path saved = UserFolder(root) / "NEW.CFG";
  AsOrdinaryUser([&] {
    ASSERT_NE(access(registry.c_str(), W_OK), 0) << "the Registry is writable by the user";
    ASSERT_EQ(SetEntryValue("\\SYSTEM\\INIT", "LOCAL SHARE", "TRUE"), 0);
    ChooseFile(Ansi(saved));
    dialogs.Press("INIWARN_DLG", 1);
    dialogs.Press("ERROR_DLG", 1);
    frame->Command(24334)->trigger();
    ASSERT_EQ(dialogs.Names(), (Names{"INIWARN_DLG", "ERROR_DLG"}));
    EXPECT_EQ(dialogs.shown[1].caption, "VTXCFG Error");
    EXPECT_EQ(dialogs.shown[1].buttons, (Names{"OK", "&Help"}));
    EXPECT_EQ(dialogs.Errors(),
              Names{"Could not update the Registry. The next start will use the previous configuration file."});
    EXPECT_EQ(app->FileName(), Ansi(saved));
    EXPECT_FALSE(IsConfigModified());
  });
  EXPECT_EQ(TempRoot::ReadFile(registry), registryBefore);
  EXPECT_EQ(EngineValue("CONFIGFILE01"), systemFile);
  EXPECT_NE(TempRoot::ReadFile(saved).find("LOCAL SHARE=TRUE"), std::string::npos);
}

TEST_F(Frame, AReadOnlyFileIsToldOnOpenSaveMergeAndSaveAsAndKeepsEveryByte) {
  StartOnFile();
  SetEngineValue("CONFIGFILE01", systemFile);
  const fs::path dir = UserFolder(root);
  const fs::path readOnly = dir / "LOCKED.CFG";
  TempRoot::WriteFile(readOnly, kConfig);
  if (geteuid() == 0) {
    ASSERT_EQ(chown(readOnly.c_str(), 65534, 65534), 0);
  }
  fs::permissions(readOnly, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  const std::string systemBefore = TempRoot::ReadFile(platform::SystemDir() / "ORBEX.CFG");
  const std::string kReadOnly = "Configuration file is read-only.";
  AsOrdinaryUser([&] {
    // Open: told, and loaded read-only.
    ChooseFile(Ansi(readOnly));
    dialogs.Press("ERROR_DLG", 1);
    frame->Command(24332)->trigger();
    EXPECT_EQ(dialogs.Errors(), Names{kReadOnly});
    EXPECT_TRUE(app->Loaded());
    EXPECT_TRUE(app->ReadOnly());
    EXPECT_EQ(app->FileName(), Ansi(readOnly));
    EXPECT_EQ(Items(Page("TAliasPanel")), (Names{"MyData"}));
    ASSERT_EQ(SetEntryValue("\\SYSTEM\\INIT", "LOCAL SHARE", "TRUE"), 0);

    // Save, and Merge without a file dialog.
    dialogs.Press("ERROR_DLG", 1);
    frame->Command(24333)->trigger();
    ui->calls.clear();
    dialogs.Press("ERROR_DLG", 1);
    frame->Command(24335)->trigger();
    for (const auto& call : ui->calls) EXPECT_NE(call.kind, ui::ScriptedUi::Call::kFile) << call.file.title;
    EXPECT_EQ(dialogs.Errors(), Names(3, kReadOnly));

    // Save As onto it, from the system file the user may not write either.
    ChooseFile(Ansi(readOnly));
    dialogs.Press("ERROR_DLG", 1);
    frame->Command(24334)->trigger();
    EXPECT_EQ(dialogs.Errors(), Names(4, kReadOnly));
    EXPECT_EQ(dialogs.Names(), Names(4, "ERROR_DLG"));
    EXPECT_EQ(TempRoot::ReadFile(readOnly), kConfig);
  });
  EXPECT_EQ(TempRoot::ReadFile(readOnly), kConfig);
  EXPECT_EQ(TempRoot::ReadFile(platform::SystemDir() / "ORBEX.CFG"), systemBefore);
  EXPECT_FALSE(fs::exists(dir / "LOCKED.CFG.new"));
}

}  // namespace
