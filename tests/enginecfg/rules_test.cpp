#include <gtest/gtest.h>

#include <filesystem>

#include "core/alias_rules.h"
#include "core/cfg_strings.h"
#include "core/config_model.h"
#include "core/engine_binding.h"
#include "core/file_dialogs.h"
#include "core/frame_rules.h"
#include "core/odbc.h"
#include "fake_engine.h"
#include "odbc_driver_rows.h"
#include "odbc_ini.h"
#include "platform/registry.h"
#include "platform/text.h"
#include "platform/ui.h"
#include "temp_root.h"

namespace fs = std::filesystem;
using namespace vtxcfg;
using Params = std::vector<std::pair<std::string, std::string>>;
namespace reg = platform::registry;
namespace ui = platform::ui;

namespace {

void SetEngineValue(const std::string& name, const std::string& value) {
  reg::Key key;
  ASSERT_EQ(reg::CreateKey(reg::Hive::LocalMachine, "Software\\Vantrix\\Database Engine", key), reg::kSuccess);
  ASSERT_EQ(key.SetString(name, value), reg::kSuccess);
}

std::string Ansi(const fs::path& p) { return platform::Utf8ToCp1252(p.string()); }

class Rules : public ::testing::Test {
 protected:
  testing_support::TempRoot root;
  FakeEngine engine;
  std::shared_ptr<ui::ScriptedUi> scripted = std::make_shared<ui::ScriptedUi>();
  std::string file = "C:\\CFG\\ORBEX.CFG";

  void SetUp() override {
    ui::Install(scripted);
    engine.Leaf("\\DRIVERS\\TESSALY\\INIT", {{"TYPE", "FILE"}, {"PATH", ""}});
    engine.Leaf("\\DRIVERS\\ORACLE\\INIT", {{"TYPE", "SERVER"}, {"PATH", "ORA:"}, {"DLL32", "CNDORA32.DLL"}});
    engine.Leaf("\\DRIVERS\\ORACLE\\DB OPEN", {{"SERVER NAME", "ORA_SERVER"}, {"USER NAME", "SCOTT"}});
    engine.Leaf("\\DRIVERS\\DBASE\\INIT", {{"TYPE", "FILE"}});
    engine.Leaf("\\DRIVERS\\ODBC_X\\INIT", {{"TYPE", "SERVER"}, {"DLL", "OXODBC01.DLL"}});
    engine.Leaf("\\DATABASES\\MyData\\DB INFO", {{"TYPE", "STANDARD"}, {"PATH", "C:\\DATA"}});
    engine.Leaf("\\SYSTEM\\INIT", {{"LOCAL SHARE", "FALSE"}, {"DEFAULT DRIVER", "DBASE"}});
    ASSERT_EQ(ReadConfigFile(&file), 0);
    RefreshDriverTable();
    engine.calls.clear();
  }
  void TearDown() override {
    FreeConfigEntries();
    CloseConfigHandle();
    DriverNames() = DriverNameTable{};
  }
  std::vector<std::string> PathsInOrder() const {
    std::vector<std::string> out;
    for (const ConfigEntry& e : TheConfig().entries)
      if (out.empty() || out.back() != e.path) out.push_back(e.path);
    return out;
  }
};

TEST_F(Rules, AliasNamesOfLettersDigitsAndUnderscoresOnly) {
  struct Case {
    const char* name;
    bool invalid;
  } cases[] = {{"my data", true}, {"my-data", true}, {"my_data1", false}, {"", true},
               {"a\tb", true},    {"a.b", true},     {"a\\b", true},      {"caf\xE9", false}};
  for (const Case& c : cases) EXPECT_EQ(CheckAliasName(c.name), c.invalid) << c.name;
}

TEST_F(Rules, AliasAndDriverNamesInUseIgnoreLetterCase) {
  EXPECT_TRUE(AliasExists("MYDATA"));
  EXPECT_TRUE(AliasExists("mydata"));
  EXPECT_FALSE(AliasExists("MYDATA2"));
  EXPECT_TRUE(DriverExists("odbc_x"));
  EXPECT_FALSE(DriverExists("ODBC_Y"));
  // A "\" would split the node path of the new driver.
  EXPECT_TRUE(CheckDriverName(""));
  EXPECT_TRUE(CheckDriverName("A\\B"));
  EXPECT_FALSE(CheckDriverName("Y"));
}

TEST_F(Rules, AliasTypesOfferTessalyAndDbaseAsOneStandard) {
  EXPECT_EQ(AliasTypeChoices(), (std::vector<std::string>{"STANDARD", "ORACLE", "ODBC_X"}));
}

TEST_F(Rules, ANewAliasTakesItsRowsFromItsDriverAndGoesAfterTheLastAlias) {
  AddAliasNode("NEWSTD", "STANDARD");
  AddAliasNode("NEWORA", "ORACLE");
  AddAliasNode("", "ORACLE");  // nothing
  std::string value;
  EXPECT_EQ((GetEntryValue("\\DATABASES\\NEWSTD\\DB INFO", "DEFAULT DRIVER", value), value), "DBASE");
  EXPECT_EQ((GetEntryValue("\\DATABASES\\NEWORA\\DB INFO", "PATH", value), value), "ORA:");
  EXPECT_EQ((GetEntryValue("\\DATABASES\\NEWORA\\DB INFO", "TYPE", value), value), "ORACLE");
  EXPECT_EQ(GetEntryValue("\\DATABASES\\NEWORA\\DB INFO", "DEFAULT DRIVER", value), 1);
  EXPECT_EQ((GetEntryValue("\\DATABASES\\NEWORA\\DB OPEN", "USER NAME", value), value), "SCOTT");
  EXPECT_EQ(PathsInOrder(),
            (std::vector<std::string>{"\\DRIVERS\\TESSALY\\INIT", "\\DRIVERS\\ORACLE\\INIT", "\\DRIVERS\\ORACLE\\DB OPEN",
                                      "\\DRIVERS\\DBASE\\INIT", "\\DRIVERS\\ODBC_X\\INIT", "\\DATABASES\\MyData\\DB INFO",
                                      "\\DATABASES\\NEWSTD\\DB INFO", "\\DATABASES\\NEWORA\\DB INFO",
                                      "\\DATABASES\\NEWORA\\DB OPEN", "\\SYSTEM\\INIT"}));
  ASSERT_EQ(WriteConfigFile(&file, nullptr, 1, 1), 0);
  auto changes = engine.Changes();
  ASSERT_EQ(changes.size(), 3u);
  EXPECT_EQ(changes[0].op, "add");
  EXPECT_EQ(changes[0].rows, (Params{{"TYPE", "STANDARD"}, {"PATH", ""}, {"DEFAULT DRIVER", "DBASE"}}));
}

TEST_F(Rules, ANewOdbcDriverGetsItsSixteenRowsInOrder) {
  AddOdbcDriverNode("ODBC_Y", "Test Driver", "TestData");
  EXPECT_TRUE(DriverExists("ODBC_Y"));
  EXPECT_EQ(DriverNames().names[static_cast<size_t>(DriverNames().count - 1)], "ODBC_Y");
  EXPECT_TRUE(IsOdbcDriver("ODBC_Y"));
  ASSERT_EQ(WriteConfigFile(&file, nullptr, 1, 1), 0);
  auto changes = engine.Changes();
  ASSERT_EQ(changes.size(), 2u);
  EXPECT_EQ(changes[0].path, "\\DRIVERS\\ODBC_Y\\INIT");
  EXPECT_EQ(changes[0].rows, vtxcfg_test::NewOdbcInitRows("Test Driver"));
  EXPECT_EQ(changes[1].path, "\\DRIVERS\\ODBC_Y\\DB OPEN");
  EXPECT_EQ(changes[1].rows, vtxcfg_test::NewOdbcOpenRows("TestData"));
  // The driver's nodes lie with the other drivers, before the aliases.
  auto paths = PathsInOrder();
  EXPECT_EQ(paths[5], "\\DRIVERS\\ODBC_Y\\INIT");
  EXPECT_EQ(paths[6], "\\DRIVERS\\ODBC_Y\\DB OPEN");
}

TEST_F(Rules, SaveAndRegistryQuestions) {
  EXPECT_FALSE(SaveQuestionNeeded(false));
  ASSERT_EQ(SetEntryValue("\\SYSTEM\\INIT", "LOCAL SHARE", "TRUE"), 0);
  EXPECT_TRUE(SaveQuestionNeeded(false));
  EXPECT_FALSE(SaveQuestionNeeded(true));  // a read-only file cannot take them

  EXPECT_TRUE(SaveNeedsSaveAs("Default Configuration"));
  EXPECT_TRUE(SaveNeedsSaveAs(""));
  EXPECT_FALSE(SaveNeedsSaveAs(file));
  // Nothing registered: every file but the defaults asks.
  EXPECT_FALSE(RegistryQuestionNeeded("Default Configuration", "C:\\NEW.CFG"));
  EXPECT_TRUE(RegistryQuestionNeeded(file, file));
  SetEngineValue("CONFIGFILE01", "c:\\cfg\\orbex.cfg");
  EXPECT_FALSE(RegistryQuestionNeeded(file, file));
  EXPECT_TRUE(RegistryQuestionNeeded(file, "C:\\CFG\\OTHER.CFG"));
}

TEST_F(Rules, SaveConfigSettingIsWin31UnlessItReadsWin32) {
  EXPECT_TRUE(ReadSaveConfigSetting());
  WriteSaveConfigSetting(false);
  EXPECT_FALSE(ReadSaveConfigSetting());
  WriteSaveConfigSetting(true);
  EXPECT_TRUE(ReadSaveConfigSetting());
  SetEngineValue("SAVECONFIG", "WIN32X");
  EXPECT_TRUE(ReadSaveConfigSetting());
}

TEST_F(Rules, TypedFileNamesAreTrimmedAndGetTheDefaultExtension) {
  fs::path existing = root.path() / "PLAIN";
  testing_support::TempRoot::WriteFile(existing, "x");
  std::string dir = Ansi(root.path());
  struct Case {
    std::string typed, expected;
  } cases[] = {{"  " + dir + "/NEW  ", dir + "/NEW.CFG"},
               {dir + "/NEW.", dir + "/NEW."},
               {dir + "/NEW.TXT", dir + "/NEW.TXT"},
               {dir + "/PLAIN", dir + "/PLAIN"},  // exists as it is
               {"   ", ""}};
  for (const Case& c : cases) EXPECT_EQ(CompleteFileName(c.typed, "CFG"), c.expected) << c.typed;
}

TEST_F(Rules, OpenAsksAgainForAMissingFileAndTheDialogsUseTheConfigFilter) {
  fs::path there = root.path() / "THERE.CFG";
  testing_support::TempRoot::WriteFile(there, "x");
  std::string missing = (root.path() / "GONE").string();
  scripted->files = {{true, missing, 1}, {true, (root.path() / "THERE").string(), 1}};
  scripted->answers = {ui::Answer::Ok};
  std::string chosen;
  ASSERT_TRUE(RunOpenFileDialog("Open Configuration File", "C:\\CFG", chosen));
  EXPECT_EQ(chosen, Ansi(there));
  EXPECT_EQ(scripted->MessageTexts(),
            (std::vector<std::string>{missing + ".CFG\nFile not found.\nPlease verify the correct file name was given.\n"}));
  EXPECT_EQ(scripted->MessageCaptions(), (std::vector<std::string>{"Open Configuration File"}));
  ASSERT_EQ(scripted->calls.front().kind, ui::ScriptedUi::Call::kFile);
  const ui::FileDialogRequest& request = scripted->calls.front().file;
  EXPECT_EQ(request.filter, "Config Files (*.cfg)|*.cfg|All Files (*.*)|*.*|");
  EXPECT_EQ(request.defaultExt, "CFG");
  EXPECT_FALSE(request.fileMustExist);  // the missing name is told here
  EXPECT_EQ(request.initialDir, "C:\\CFG");

  scripted->files = {{false, "", 1}};
  EXPECT_FALSE(RunSaveFileDialog("Save Configuration File As", "", chosen));
  EXPECT_FALSE(scripted->calls.back().file.overwritePrompt);  // the frame asks itself
  EXPECT_TRUE(scripted->unexpected.empty());
}

TEST(OdbcPath, FindFileOnPathTriesEachDirectoryOfTheList) {
  testing_support::TempRoot root;
  fs::path a = root.path() / "A", b = root.path() / "B";
  fs::create_directories(a);
  fs::create_directories(b);
  testing_support::TempRoot::WriteFile(b / "OXODBC01.DLL", "x");
  std::string found;
  EXPECT_TRUE(FindFileOnPath(Ansi(a) + ";;" + Ansi(b), "OXODBC01.DLL", found));
  EXPECT_EQ(found, Ansi(b) + "/OXODBC01.DLL");
  EXPECT_TRUE(FindFileOnPath(Ansi(b) + "/", "OXODBC01.DLL", found));
  EXPECT_EQ(found, Ansi(b) + "/OXODBC01.DLL");
  EXPECT_FALSE(FindFileOnPath(Ansi(a), "OXODBC01.DLL", found));
  EXPECT_FALSE(FindFileOnPath("", "OXODBC01.DLL", found));
}

class Odbc : public ::testing::Test {
 protected:
  testing_support::TempRoot root;
  void TearDown() override { SetOdbcLibraryForTesting(""); }
};

TEST_F(Odbc, TheVersionCheckNeedsTheManagerAndItsEntries) {
  EXPECT_EQ(OdbcVersionCheck(), 0);
  SetOdbcLibraryForTesting("libstashwell-no-odbc.so.2");
  EXPECT_EQ(OdbcVersionCheck(), 40);  // no library: no version to be had
  SetOdbcLibraryForTesting("libm.so.6");  // loads, but is no driver manager
  EXPECT_EQ(OdbcVersionCheck(), 40);
}

TEST_F(Odbc, DriversAndTheDataSourcesOfEach) {
  std::string longName(130, 'L');
  OdbcIni ini(root.path() / "odbc",
              "[Stashwell Test Driver]\nDescription=test\nDriver=/nonexistent/libtestdrv.so\n\n"
              "[Other Driver]\nDriver=/nonexistent/libother.so\n",
              "[TestData]\nDriver=Stashwell Test Driver\n\n[Elsewhere]\nDriver=Other Driver\n\n"
              "[MoreTest]\nDriver=STASHWELL TEST DRIVER\n\n[" + longName + "]\nDriver=Stashwell Test Driver\n");
  OdbcDriverManager odbc;
  ASSERT_TRUE(odbc.Bound());
  EXPECT_EQ(odbc.MajorVersion(), 3);  // unixODBC answers "03.52...." for itself
  EXPECT_EQ(odbc.Drivers(), (std::vector<std::string>{"Stashwell Test Driver", "Other Driver"}));
  // Names too long for a configuration value are not offered.
  EXPECT_EQ(odbc.DataSources("Stashwell Test Driver"), (std::vector<std::string>{"TestData", "MoreTest"}));
  EXPECT_EQ(odbc.DataSources("Other Driver"), (std::vector<std::string>{"Elsewhere"}));
  EXPECT_TRUE(odbc.DataSources("None").empty());
  SetOdbcLibraryForTesting("libstashwell-no-odbc.so.2");
  OdbcDriverManager none;
  EXPECT_FALSE(none.Bound());
  EXPECT_EQ(none.MajorVersion(), -1);
  EXPECT_TRUE(none.Drivers().empty());
}

}  // namespace
