#include <gtest/gtest.h>

#include "core/cfg_rules.h"
#include "core/cfg_strings.h"
#include "core/config_model.h"
#include "fake_engine.h"
#include "platform/ui.h"
#include "temp_root.h"

using namespace vtxcfg;
using Params = std::vector<std::pair<std::string, std::string>>;

namespace {

Params Numbered(int count) {
  Params p;
  for (int i = 1; i <= count; ++i) p.emplace_back("P" + std::to_string(i), "v" + std::to_string(i));
  return p;
}

class Model : public ::testing::Test {
 protected:
  testing_support::TempRoot root;
  FakeEngine engine;
  std::shared_ptr<platform::ui::ScriptedUi> ui = std::make_shared<platform::ui::ScriptedUi>();
  std::string file = "C:\\CFG\\ORBEX.CFG";

  void SetUp() override {
    platform::ui::Install(ui);
    engine.Leaf("\\DRIVERS\\DBASE\\INIT", {{"TYPE", "FILE"}, {"LANGDRIVER", "DB437US0"}});
    engine.Leaf("\\DRIVERS\\ODBC_X\\INIT", {{"TYPE", "SERVER"}, {"DLL", "OXODBC01.DLL"}, {"DLL32", "OXODBC32.DLL"}});
    engine.Leaf("\\DATABASES\\OLD\\DB INFO", {{"TYPE", "STANDARD"}, {"PATH", "C:\\OLD"}});
    engine.Leaf("\\DATABASES\\OLD\\DB OPEN", {{"OPEN MODE", "READ/WRITE"}});
    engine.Leaf("\\SYSTEM\\INIT", {{"LOCAL SHARE", "FALSE"}, {"LANGDRIVER", "ascii"}});
    engine.Leaf("\\SYSTEM\\BIG", Numbered(20));
    engine.langDrivers = {{"ascii", "Tessaly 'ascii'"}, {"DB437US0", "dBASE ENU cp437"}};
    engine.langValueB = {1, 2};
  }
  void TearDown() override {
    FreeConfigEntries();
    CloseConfigHandle();
    LanguageDrivers() = LanguageDriverList{};
  }
  void Load() {
    ASSERT_EQ(ReadConfigFile(&file), 0);
    engine.calls.clear();
  }
  int Save() { return WriteConfigFile(&file, nullptr, 0, 0); }
};

TEST_F(Model, ReadWalksTheTreeInFileOrderAndSkipsTheRootHelp) {
  engine.Leaf("\\HELP\\TOPICS", {{"X", "1"}});
  engine.Leaf("\\DATABASES\\CAF\x82\\DB INFO", {{"PATH", "C:\\CAF\x82"}});  // OEM bytes from the engine
  Load();
  const auto& entries = TheConfig().entries;
  ASSERT_EQ(entries.size(), 2u + 3u + 2u + 1u + 1u + 2u + 20u);
  EXPECT_EQ(entries.front().path, "\\DRIVERS\\DBASE\\INIT");
  EXPECT_EQ(entries.front().name, "TYPE");
  for (const ConfigEntry& e : entries) EXPECT_EQ(e.path.find("\\HELP"), std::string::npos);
  std::string value;
  ASSERT_EQ(GetEntryValue("\\databases\\CAF\xE9\\db info", "path", value), 0);
  EXPECT_EQ(value, "C:\\CAF\xE9");  // the list holds Windows-1252
  std::string child;
  std::vector<std::string> aliases;
  for (int n = 0; GetChildName("\\DATABASES", n, child) == 0; ++n) aliases.push_back(child);
  EXPECT_EQ(aliases, (std::vector<std::string>{"OLD", "CAF\xE9"}));
  EXPECT_FALSE(IsConfigModified());
}

TEST_F(Model, ChangingParameter18OfATwentyParameterNodeSendsOneModifyOfThreeRows) {
  Load();
  ASSERT_EQ(SetEntryValue("\\SYSTEM\\BIG", "P18", "changed"), 0);
  EXPECT_TRUE(IsConfigModified());
  ASSERT_EQ(Save(), 0);
  auto changes = engine.Changes();
  ASSERT_EQ(changes.size(), 1u);
  EXPECT_EQ(changes[0].op, "modify");
  EXPECT_EQ(changes[0].path, "\\SYSTEM\\BIG");
  EXPECT_EQ(changes[0].rows, (Params{{"P18", "changed"}, {"P19", "v19"}, {"P20", "v20"}}));
  const FakeCall* close = engine.LastClose();
  ASSERT_NE(close, nullptr);
  EXPECT_EQ(close->save, 1);
  EXPECT_EQ(close->format, 1);  // neither flag set: the format flag
  EXPECT_FALSE(IsConfigModified());
}

TEST_F(Model, AnAliasAddedAndDeletedBeforeSaveSendsNothingAndAFileAliasSendsOneDelete) {
  Load();
  FindDatabasesEnd();
  InsertEntry("\\DATABASES\\NEW\\DB INFO", "TYPE", "STANDARD", kAdded);
  InsertEntry("\\DATABASES\\NEW\\DB OPEN", "OPEN MODE", "READ/WRITE", kAdded);
  EXPECT_TRUE(IsConfigModified());
  DeleteNodeEntries("\\DATABASES\\NEW");
  EXPECT_FALSE(IsConfigModified());
  ASSERT_EQ(Save(), 0);
  EXPECT_TRUE(engine.Changes().empty());

  Load();
  DeleteNodeEntries("\\DATABASES\\OLD");
  std::string name;
  EXPECT_EQ(GetChildName("\\DATABASES", 0, name), 1);
  EXPECT_EQ(GetNodeEntry("\\DATABASES\\OLD\\DB INFO", 0), nullptr);
  ASSERT_EQ(Save(), 0);
  auto changes = engine.Changes();
  ASSERT_EQ(changes.size(), 1u);
  EXPECT_EQ(changes[0].op, "delete");
  EXPECT_EQ(changes[0].path, "\\DATABASES\\OLD");
}

TEST_F(Model, AddedNodesAreSentAsAdds) {
  Load();
  FindDatabasesEnd();
  InsertEntry("\\DATABASES\\NEW\\DB INFO", "TYPE", "STANDARD", kAdded);
  InsertEntry("\\DATABASES\\NEW\\DB INFO", "PATH", "C:\\N", kAdded);
  // Inserted behind the last alias, before the system nodes.
  EXPECT_EQ(TheConfig().entries[8].path, "\\DATABASES\\NEW\\DB INFO");
  EXPECT_EQ(TheConfig().entries[10].path, "\\SYSTEM\\INIT");
  ASSERT_EQ(Save(), 0);
  auto changes = engine.Changes();
  ASSERT_EQ(changes.size(), 1u);
  EXPECT_EQ(changes[0].op, "add");
  EXPECT_EQ(changes[0].rows, (Params{{"TYPE", "STANDARD"}, {"PATH", "C:\\N"}}));
}

TEST_F(Model, ACaseOnlyChangeIsNoChange) {
  Load();
  EXPECT_EQ(SetEntryValue("\\SYSTEM\\INIT", "LOCAL SHARE", "false"), 1);
  EXPECT_EQ(SetEntryValue("\\SYSTEM\\INIT", "NO SUCH", "x"), 1);
  EXPECT_FALSE(IsConfigModified());
  ASSERT_EQ(Save(), 0);
  EXPECT_TRUE(engine.Changes().empty());
}

TEST_F(Model, ALanguageDriverChosenByDescriptionIsKeptAndWrittenByName) {
  ASSERT_EQ(ReadLanguageDrivers(), 1);
  Load();
  ASSERT_EQ(SetEntryValue("\\SYSTEM\\INIT", "LANGDRIVER", "dBASE ENU cp437"), 0);
  std::string value;
  GetEntryValue("\\SYSTEM\\INIT", "LANGDRIVER", value);
  EXPECT_EQ(value, "DB437US0");
  // The description of the driver already stored changes nothing.
  EXPECT_EQ(SetEntryValue("\\DRIVERS\\DBASE\\INIT", "LANGDRIVER", "dBASE ENU cp437"), 1);
  ASSERT_EQ(Save(), 0);
  auto changes = engine.Changes();
  ASSERT_EQ(changes.size(), 1u);
  EXPECT_EQ(changes[0].rows[1], (std::pair<std::string, std::string>{"LANGDRIVER", "DB437US0"}));
  EXPECT_EQ(LangDriverDescFromName("DB437US0"), "dBASE ENU cp437");
  EXPECT_EQ(LangDriverNameFromDesc(""), "");
}

TEST_F(Model, AFailedNodeWriteIsReturnedNotSavedAndTheEditsStayModified) {
  Load();
  engine.failModify = 0x2102;
  ASSERT_EQ(SetEntryValue("\\SYSTEM\\INIT", "LOCAL SHARE", "TRUE"), 0);
  ASSERT_EQ(SetEntryValue("\\SYSTEM\\BIG", "P1", "x"), 0);
  EXPECT_EQ(Save(), 0x2102);
  EXPECT_EQ(engine.Changes().size(), 2u);
  ASSERT_NE(engine.LastClose(), nullptr);
  EXPECT_EQ(engine.LastClose()->save, 0);
  EXPECT_TRUE(IsConfigModified());
}

TEST_F(Model, ATargetThatCannotBeOpenedLeavesTheListInWindows1252) {
  engine.Leaf("\\DATABASES\\CAF\x82\\DB INFO", {{"PATH", "C:\\CAF\x82"}});
  Load();
  ASSERT_EQ(SetEntryValue("\\DATABASES\\CAF\xE9\\DB INFO", "PATH", "C:\\NEUF\xE9"), 0);
  engine.failOpenForWriting = 0x2105;
  EXPECT_EQ(Save(), 1);
  std::string value;
  EXPECT_EQ(GetEntryValue("\\DATABASES\\CAF\xE9\\DB INFO", "PATH", value), 0);
  EXPECT_EQ(value, "C:\\NEUF\xE9");
  EXPECT_TRUE(IsConfigModified());
  engine.failOpenForWriting = 0;
  ASSERT_EQ(Save(), 0);
  ASSERT_EQ(engine.Changes().size(), 1u);
  EXPECT_EQ(engine.Changes()[0].path, "\\DATABASES\\CAF\x82\\DB INFO");  // OEM to the engine
  EXPECT_EQ(engine.Changes()[0].rows[0].second, "C:\\NEUF\x82");
}

TEST_F(Model, EngineDataIsBoundedByTheFixedSizes) {
  std::string longAlias(31, 'A');
  // 11 + 4 * (31 + 1) = 139 bytes: that node's path does not fit and is skipped.
  engine.Leaf("\\DATABASES\\" + longAlias + "\\" + longAlias + "\\" + longAlias + "\\" + longAlias, {{"X", "1"}});
  std::string longDriver(40, 'D');
  engine.Leaf("\\DRIVERS\\" + longDriver + "\\INIT", {{"TYPE", "SERVER"}});
  for (int i = 0; i < 300; ++i) engine.langDrivers.emplace_back("N" + std::to_string(i), "D" + std::to_string(i));
  Load();
  for (const ConfigEntry& e : TheConfig().entries) EXPECT_LT(e.path.size(), kEntryPathChars);
  RefreshDriverTable();
  EXPECT_EQ(DriverNames().count, 2);
  EXPECT_EQ(DriverNames().names[0], "DBASE");
  EXPECT_EQ(DriverNames().names[1], "ODBC_X");
  ASSERT_EQ(ReadLanguageDrivers(), 1);
  EXPECT_EQ(LanguageDrivers().drivers.size(), kMaxLanguageDrivers);
}

TEST_F(Model, AReadThatFailsPartWayKeepsTheListItHad) {
  Load();
  size_t before = TheConfig().entries.size();
  ASSERT_EQ(SetEntryValue("\\SYSTEM\\INIT", "LOCAL SHARE", "TRUE"), 0);
  engine.recordReads = 0;
  engine.failRecordAt = 3;
  EXPECT_NE(ReadConfigFile(&file), 0);
  EXPECT_EQ(TheConfig().entries.size(), before);
  EXPECT_TRUE(IsConfigModified());
  // The handle of the failed read is closed, the held one stays.
  ASSERT_NE(engine.LastClose(), nullptr);
  EXPECT_NE(engine.LastClose()->handle, TheConfig().heldHandle);
  std::string missing = "C:\\NONE.CFG";
  engine.failOpen[missing] = 0x21F1;
  EXPECT_EQ(ReadConfigFile(&missing), 19);
  EXPECT_EQ(TheConfig().entries.size(), before);
}

TEST_F(Model, AFailedMergeIsReturnedAndNeverSaved) {
  struct Case {
    const char* what;
    uint16_t failSourceOpen, failTargetOpen, failMerge;
    int expected;
    bool targetSaved;
  } cases[] = {
      {"merged", 0, 0, 0, 0, true},
      {"source cannot be read", 0x21F1, 0, 0, 0x21F1, false},
      {"target cannot be written", 0, 0x2105, 0, 0x2105, false},
      {"merge refused", 0, 0, 0x2803, 0x2803, false},
  };
  for (const Case& c : cases) {
    engine.calls.clear();
    engine.failOpen.clear();
    if (c.failSourceOpen) engine.failOpen["C:\\SRC.CFG"] = c.failSourceOpen;
    engine.failOpenForWriting = c.failTargetOpen;
    engine.failMerge = c.failMerge;
    EXPECT_EQ(MergeConfigFiles("C:\\DST.CFG", "C:\\SRC.CFG", 0, 0), c.expected) << c.what;
    bool saved = false;
    int opens = 0, closes = 0;
    for (const FakeCall& call : engine.calls) {
      opens += call.op == "open" && call.handle != 0;
      closes += call.op == "close";
      saved |= call.op == "close" && call.save == 1;
    }
    EXPECT_EQ(saved, c.targetSaved) << c.what;
    EXPECT_EQ(opens, closes) << c.what;  // every handle opened is closed
  }
}

TEST_F(Model, SaveAsCopiesTheCurrentFileOnlyWhenItCanBeRead) {
  auto dir = root.path() / "C" / "CFG";
  testing_support::TempRoot::WriteFile(dir / "DEST.CFG", "keep me");
  Load();
  std::string target = "C:\\CFG\\DEST.CFG", missing = "C:\\CFG\\MISSING.CFG";
  EXPECT_EQ(WriteConfigFile(&target, &missing, 0, 0), 1);
  EXPECT_EQ(testing_support::TempRoot::ReadFile(dir / "DEST.CFG"), "keep me");
  EXPECT_TRUE(engine.Changes().empty());
  testing_support::TempRoot::WriteFile(dir / "CUR.CFG", "current bytes");
  std::string current = "C:\\CFG\\CUR.CFG";
  EXPECT_EQ(WriteConfigFile(&target, &current, 0, 0), 0);
  EXPECT_EQ(testing_support::TempRoot::ReadFile(dir / "DEST.CFG"), "current bytes");
}

TEST_F(Model, LookupsAndDescriptionsFollowTheAliasesDriver) {
  Load();
  const ConfigEntry* second = GetNodeEntry("\\SYSTEM\\INIT", 1);
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(second->name, "LANGDRIVER");
  EXPECT_EQ(GetNodeEntry("\\SYSTEM\\INIT", 2), nullptr);
  struct Case {
    const char* path;
    const char* name;
    const char* expected;
  } cases[] = {
      {"\\SYSTEM\\INIT", "LOCAL SHARE", "help of \\SYSTEM\\INIT:LOCAL SHARE"},
      {"\\DATABASES\\OLD\\DB INFO", "PATH", "help of \\DRIVERS\\STANDARD\\DB OPEN:PATH"},
      {"\\DATABASES\\OLD\\DB INFO", "TYPE", ""},
  };
  for (const Case& c : cases) {
    std::string text;
    GetParamDescription(c.path, c.name, text);
    EXPECT_EQ(text, c.expected) << c.path << " " << c.name;
  }
  std::string text;
  GetNodeDescription("\\DATABASES\\OLD", text);
  EXPECT_EQ(text, "help of \\DRIVERS\\STANDARD");
  EXPECT_TRUE(IsOdbcDriver("ODBC_X"));
  EXPECT_FALSE(IsOdbcDriver("DBASE"));
  std::string help;
  GetDriverHelpFile("ODBC_X", help);
  EXPECT_EQ(help, "OXODBC32.hlp");
  GetDriverHelpFile("DBASE", help);
  EXPECT_EQ(help, "");
}

TEST_F(Model, LanguageDriverChoicesHaveRoomForTheWholeList) {
  EXPECT_FALSE(ChoicesFor("\\SYSTEM\\INIT", "LANGDRIVER").hasList);  // the list is not loaded yet
  engine.langDrivers.clear();
  engine.langValueB.clear();
  for (int i = 0; i < 200; ++i) {
    engine.langDrivers.emplace_back("DB" + std::to_string(i), "dBASE " + std::to_string(i));
    engine.langValueB.push_back(2);
  }
  engine.langDrivers.emplace_back("ascii", "Tessaly 'ascii'");
  engine.langValueB.push_back(1);
  ASSERT_EQ(ReadLanguageDrivers(), 1);
  ParamChoices dbase = ChoicesFor("\\drivers\\dbase\\init", "langdriver");
  EXPECT_TRUE(dbase.hasList);
  EXPECT_EQ(dbase.choices.size(), 200u);
  EXPECT_EQ(ChoicesFor("\\SYSTEM\\INIT", "LANGDRIVER").choices.size(), 201u);
  engine.langDrivers = {{"ascii", "Tessaly 'ascii'"}};
  engine.langValueB = {1};
  ASSERT_EQ(ReadLanguageDrivers(), 1);
  EXPECT_FALSE(ChoicesFor("\\DRIVERS\\DBASE\\INIT", "LANGDRIVER").hasList);  // none qualifies
  EXPECT_EQ(ChoicesFor("\\X", "sqlqrymode").choices, (std::vector<std::string>{"LOCAL", "SERVER", " "}));
  EXPECT_TRUE(ChoicesFor("\\X", "NET DIR").browse);
  EXPECT_FALSE(ChoicesFor("\\X", "PATH").hasList);
}

TEST_F(Model, AliasPageHelpFollowsTheAliasType) {
  engine.Leaf("\\DATABASES\\ODBCALIAS\\DB INFO", {{"TYPE", "ODBC_ACCESS"}});
  engine.Leaf("\\DATABASES\\VIAODBC\\DB INFO", {{"TYPE", "MYODBC"}});
  engine.Leaf("\\DRIVERS\\MYODBC\\INIT", {{"DLL32", "OXODBC32.DLL"}});
  engine.Leaf("\\DATABASES\\ORA\\DB INFO", {{"TYPE", "ORACLE"}});
  engine.Leaf("\\DRIVERS\\ORACLE\\INIT", {{"TYPE", "SERVER"}, {"DLL32", "CNDORA32.DLL"}});
  Load();
  struct Case {
    bool loaded;
    const char* alias;
    bool helpWorks;
    std::vector<std::pair<std::string, uint32_t>> expected;
  } cases[] = {
      {false, "OLD", true, {{"VTXCFG32.HLP", 8}}},
      {true, "", true, {{"VTXCFG32.HLP", 8}}},
      {true, "OLD", true, {{"VTXCFG32.HLP", 22}}},
      {true, "ODBCALIAS", true, {{"VTXCFG32.HLP", 23}}},
      {true, "VIAODBC", true, {{"VTXCFG32.HLP", 58}, {"VTXCFG32.HLP", 8}}},
      {true, "ORA", true, {{"CNDGEN32.HLP", 102}}},
      {true, "ORA", false, {{"CNDGEN32.HLP", 102}, {"VTXCFG32.HLP", 8}}},
  };
  for (const Case& c : cases) {
    ui->calls.clear();
    ui->helpResult = c.helpWorks;
    ShowAliasPageHelp(c.loaded, c.alias);
    std::vector<std::pair<std::string, uint32_t>> got;
    for (const auto& call : ui->calls) got.emplace_back(call.help.file, call.help.context);
    EXPECT_EQ(got, c.expected) << c.alias;
  }
  ui->calls.clear();
  ui->helpResult = true;
  ShowDriverPageHelp("ODBC_X");
  ShowDriverPageHelp("TESSALY");
  ASSERT_EQ(ui->calls.size(), 2u);
  EXPECT_EQ(ui->calls[0].help.context, 58u);
  EXPECT_EQ(ui->calls[1].help.context, 14u);
}

TEST(ErrorTable, CodesMapToTheirStringsAndContexts) {
  EXPECT_EQ(CfgString(ErrorStringId(38)), "File was not merged.");
  EXPECT_EQ(ErrorHelpContext(38), 51);
  EXPECT_EQ(ErrorStringId(12345), 1000);
  EXPECT_EQ(ErrorHelpContext(12345), 26);
  EXPECT_EQ(CfgString(1000), "Error initializing database engine.");
}

}  // namespace
