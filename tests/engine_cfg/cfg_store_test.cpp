#include <gtest/gtest.h>

#include <filesystem>

#include "cfg/cfg_store.h"
#include "cfg_test_util.h"
#include "ordinals.h"
#include "platform/paths.h"
#include "platform/registry.h"
#include "temp_root.h"

namespace fs = std::filesystem;
using testing_support::TempRoot;

namespace {

class CfgStore : public ::testing::Test {
 protected:
  TempRoot root;
  std::string File(const std::string& name) { return (root.path() / name).string(); }
  uint32_t Open(const std::string& file, uint16_t mode) {
    uint32_t h = 0;
    EXPECT_EQ(EngineOpenConfigFile(file.c_str(), mode, &h), 0) << file;
    return h;
  }
  void Close(uint32_t h, uint16_t save) {
    EXPECT_EQ(EngineCloseConfigFile(&h, save, 0, 1), 0);
    EXPECT_EQ(h, 0u);
  }
};

TEST_F(CfgStore, DefaultsHoldEveryNodeAndParameterThePagesExpect) {
  struct Case {
    const char* path;
    std::vector<std::string> params;
  } cases[] = {
      {"\\DRIVERS\\TESSALY\\INIT", {"VERSION", "TYPE", "NET DIR", "LANGDRIVER"}},
      {"\\DRIVERS\\DBASE\\INIT", {"VERSION", "TYPE", "LANGDRIVER"}},
      {"\\DRIVERS\\ASCIIDRV\\INIT", {"TYPE"}},
      {"\\DRIVERS\\ORACLE\\INIT", {"TYPE", "DLL", "DLL32", "VENDOR INIT"}},
      {"\\DRIVERS\\ORACLE\\DB OPEN", {"NET PROTOCOL", "OPEN MODE", "SQLQRYMODE", "SQLPASSTHRU MODE",
                                      "ENABLE SCHEMA CACHE", "LANGDRIVER"}},
      {"\\SYSTEM\\INIT", {"LOCAL SHARE", "LANGDRIVER", "DEFAULT DRIVER", "AUTO ODBC"}},
      {"\\SYSTEM\\FORMATS\\DATE", {"SEPARATOR", "FOURDIGITYEAR", "YEARBIASED", "LEADINGZEROM", "LEADINGZEROD"}},
      {"\\SYSTEM\\FORMATS\\TIME", {"TWELVEHOUR", "SECONDS", "MILSECONDS"}},
      {"\\SYSTEM\\FORMATS\\NUMBER", {"DECIMALSEPARATOR", "THOUSANDSEPARATOR", "LEADINGZERON"}},
  };
  for (const Case& c : cases) {
    auto params = ReadNode(0, c.path);
    ASSERT_FALSE(params.empty()) << c.path;
    for (const std::string& want : c.params) {
      bool found = false;
      for (auto& [n, v] : params) found |= n == want;
      EXPECT_TRUE(found) << c.path << " " << want;
    }
    char help[ORB_CFG_HELP_BYTES];
    EXPECT_EQ(EngineGetConfigHelp(0, c.path, "", help), 0);
    EXPECT_STRNE(help, "") << c.path;
    EXPECT_EQ(EngineGetConfigHelp(0, c.path, c.params[0].c_str(), help), 0);
    EXPECT_STRNE(help, "") << c.path << " " << c.params[0];
  }
  EXPECT_EQ(Children(0, "\\"), (std::vector<std::string>{"DRIVERS", "DATABASES", "SYSTEM"}));
  // The defaults are read only.
  RowBlock rows({{"X", "1"}});
  EXPECT_EQ(EngineAddConfigNode(0, "\\SYSTEM\\INIT", rows.count, rows.rows.data(), rows.values.data()),
            ORBCFG_READ_ONLY);
}

TEST_F(CfgStore, ChildWalkEndsWith2205AndALeafAnswersItsFirstRequestWithItsOwnCode) {
  uint16_t last = 0;
  EXPECT_EQ(Children(0, "\\SYSTEM\\FORMATS", &last), (std::vector<std::string>{"DATE", "TIME", "NUMBER"}));
  EXPECT_EQ(last, ORBCFG_END_OF_CHILDREN);
  ASSERT_EQ(EngineSetConfigNode(0, "\\system\\init"), 0);  // paths ignore letter case
  char name[ORB_CFG_NAME_BYTES];
  EXPECT_EQ(EngineNextConfigChild(0, name), ORBCFG_NO_CHILDREN);
  EXPECT_EQ(EngineNextConfigChild(0, name), ORBCFG_END_OF_CHILDREN);
  EXPECT_EQ(EngineSetConfigNode(0, "\\NO\\SUCH"), ORBCFG_NOT_FOUND);
  EXPECT_EQ(EngineSetConfigNode(0, "SYSTEM"), ORBCFG_NOT_FOUND);
  char rootPath[ORB_CFG_PATH_BYTES];
  EXPECT_EQ(EngineGetConfigRoot(0, 0, 0, 0, rootPath), 0);
  EXPECT_STREQ(rootPath, "\\");
  EXPECT_EQ(EngineGetConfigRoot(777, 0, 0, 0, rootPath), ORBCFG_INVALID_HANDLE);
}

TEST_F(CfgStore, RecordRowsAreLaidOutFieldByField) {
  uint16_t count = 0;
  ASSERT_EQ(EngineGetConfigRecord(0, "\\SYSTEM\\FORMATS\\TIME", &count, nullptr, nullptr), 0);
  ASSERT_EQ(count, 5);
  std::vector<uint8_t> rows(count * 62, 0xAA);
  std::vector<char> values(count * 128, 'x');
  ASSERT_EQ(EngineGetConfigRecord(0, "\\SYSTEM\\FORMATS\\TIME", &count, rows.data(), values.data()), 0);
  const uint8_t* r1 = rows.data() + 62;
  EXPECT_EQ(r1[0] | (r1[1] << 8), 1);
  EXPECT_STREQ(reinterpret_cast<const char*>(r1 + 2), "AMSTRING");
  EXPECT_EQ(r1[34] | (r1[35] << 8), 1);
  for (int i = 36; i < 42; ++i) EXPECT_EQ(r1[i], 0);
  EXPECT_EQ(r1[42] | (r1[43] << 8), 128);
  EXPECT_EQ(r1[44] | (r1[45] << 8), 128);
  for (int i = 46; i < 62; ++i) EXPECT_EQ(r1[i], 0);
  EXPECT_STREQ(values.data() + 128, "AM");
  // Buffers for fewer rows than the node has are never overrun.
  std::vector<uint8_t> small(2 * 62 + 1, 0xEE);
  std::vector<char> smallValues(2 * 128 + 1, 'E');
  count = 2;
  EXPECT_EQ(EngineGetConfigRecord(0, "\\SYSTEM\\FORMATS\\TIME", &count, small.data(), smallValues.data()),
            ORBCFG_BUFFER_TOO_SMALL);
  EXPECT_EQ(count, 2);
  EXPECT_EQ(small.back(), 0xEE);
  EXPECT_EQ(smallValues.back(), 'E');
}

TEST_F(CfgStore, ChangesSavedThroughAWriteHandleReadBackFromTheFile) {
  std::string file = File("MY.CFG");
  uint32_t w = Open(file, 1);  // a new file starts from the defaults
  RowBlock alias({{"TYPE", "STANDARD"}, {"PATH", "C:\\DATA"}});
  ASSERT_EQ(EngineAddConfigNode(w, "\\DATABASES\\MYDATA\\DB INFO", alias.count, alias.rows.data(),
                                alias.values.data()),
            0);
  RowBlock open({{"OPEN MODE", "READ ONLY"}});
  ASSERT_EQ(EngineAddConfigNode(w, "\\DATABASES\\MYDATA\\DB OPEN", open.count, open.rows.data(),
                                open.values.data()),
            0);
  // Add onto an existing node sets the named parameter and appends the new one.
  RowBlock more({{"PATH", "C:\\OTHER"}, {"DEFAULT DRIVER", "DBASE"}});
  ASSERT_EQ(EngineAddConfigNode(w, "\\DATABASES\\MYDATA\\DB INFO", more.count, more.rows.data(),
                                more.values.data()),
            0);
  RowBlock share({{"local share", "TRUE"}});
  ASSERT_EQ(EngineModifyConfigNode(w, "\\SYSTEM\\INIT", share.count, share.rows.data(), share.values.data()), 0);
  ASSERT_EQ(EngineDeleteConfigNode(w, "\\DRIVERS\\ORACLE"), 0);
  Close(w, 1);

  std::string text = TempRoot::ReadFile(file);
  EXPECT_NE(text.find("[\\DATABASES\\MYDATA\\DB INFO]\r\nTYPE=STANDARD\r\nPATH=C:\\OTHER\r\nDEFAULT DRIVER=DBASE\r\n"),
            std::string::npos)
      << text;
  uint32_t r = Open(file, 0);
  EXPECT_EQ(Value(r, "\\SYSTEM\\INIT", "LOCAL SHARE"), "TRUE");
  EXPECT_EQ(Value(r, "\\DATABASES\\MYDATA\\DB OPEN", "OPEN MODE"), "READ ONLY");
  EXPECT_EQ(Children(r, "\\DRIVERS"), (std::vector<std::string>{"TESSALY", "DBASE", "ASCIIDRV"}));
  EXPECT_EQ(Children(r, "\\DATABASES\\MYDATA"), (std::vector<std::string>{"DB INFO", "DB OPEN"}));
  // A read handle changes nothing and cannot save.
  EXPECT_EQ(EngineDeleteConfigNode(r, "\\SYSTEM"), ORBCFG_READ_ONLY);
  uint32_t copy = r;
  EXPECT_EQ(EngineCloseConfigFile(&copy, 1, 0, 0), ORBCFG_READ_ONLY);
  EXPECT_EQ(TempRoot::ReadFile(file), text);
}

TEST_F(CfgStore, RefusedChangesLeaveTheTreeAsItWas) {
  uint32_t w = Open(File("A.CFG"), 1);
  RowBlock good({{"LOCAL SHARE", "TRUE"}});
  RowBlock mixed({{"LOCAL SHARE", "TRUE"}, {"NO SUCH", "1"}});
  RowBlock badName({{"=X", "1"}});
  RowBlock control({{"LOCAL SHARE", "A\tB\x01"}});
  struct Case {
    const char* what;
    uint16_t rc;
    uint16_t expected;
  } cases[] = {
      {"modify with an unknown parameter",
       EngineModifyConfigNode(w, "\\SYSTEM\\INIT", mixed.count, mixed.rows.data(), mixed.values.data()),
       ORBCFG_NOT_FOUND},
      {"modify of a missing node",
       EngineModifyConfigNode(w, "\\SYSTEM\\NONE", good.count, good.rows.data(), good.values.data()),
       ORBCFG_NOT_FOUND},
      {"bad parameter name",
       EngineAddConfigNode(w, "\\SYSTEM\\INIT", badName.count, badName.rows.data(), badName.values.data()),
       ORBCFG_INVALID_ARGUMENT},
      {"control character in a value",
       EngineAddConfigNode(w, "\\SYSTEM\\INIT", control.count, control.rows.data(), control.values.data()),
       ORBCFG_INVALID_ARGUMENT},
      {"relative path", EngineAddConfigNode(w, "SYSTEM", good.count, good.rows.data(), good.values.data()),
       ORBCFG_INVALID_ARGUMENT},
      {"empty component",
       EngineAddConfigNode(w, "\\SYSTEM\\\\X", good.count, good.rows.data(), good.values.data()),
       ORBCFG_INVALID_ARGUMENT},
      {"component over 31 bytes",
       EngineAddConfigNode(w, "\\DATABASES\\ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456", good.count, good.rows.data(),
                           good.values.data()),
       ORBCFG_INVALID_ARGUMENT},
      {"rows without buffers", EngineAddConfigNode(w, "\\SYSTEM\\INIT", 1, nullptr, nullptr),
       ORBCFG_INVALID_ARGUMENT},
      {"delete the root", EngineDeleteConfigNode(w, "\\"), ORBCFG_INVALID_ARGUMENT},
      {"delete a missing node", EngineDeleteConfigNode(w, "\\SYSTEM\\NONE"), ORBCFG_NOT_FOUND},
  };
  for (const Case& c : cases) EXPECT_EQ(c.rc, c.expected) << c.what;
  EXPECT_EQ(Value(w, "\\SYSTEM\\INIT", "LOCAL SHARE"), "FALSE");
  Close(w, 0);
  EXPECT_FALSE(fs::exists(File("A.CFG")));  // closed without saving: nothing written
}

TEST_F(CfgStore, SeveralHandlesOnOneFileKeepTheirOwnTrees) {
  std::string file = File("SHARED.CFG");
  uint32_t w = Open(file, 1);
  Close(w, 1);
  uint32_t a = Open(file, 1);
  uint32_t b = Open(file, 0);
  uint32_t c = Open(file, 0);
  ASSERT_EQ(EngineDeleteConfigNode(a, "\\SYSTEM\\FORMATS"), 0);
  EXPECT_EQ(Children(b, "\\SYSTEM"), (std::vector<std::string>{"INIT", "FORMATS"}));
  Close(a, 1);
  EXPECT_EQ(Children(c, "\\SYSTEM"), (std::vector<std::string>{"INIT", "FORMATS"}));
  Close(b, 0);
  Close(c, 0);
  uint32_t d = Open(file, 0);
  EXPECT_EQ(Children(d, "\\SYSTEM"), (std::vector<std::string>{"INIT"}));
  Close(d, 0);
}

TEST_F(CfgStore, OpenFailuresNameTheirCause) {
  TempRoot::WriteFile(root.path() / "BAD.CFG", "not a configuration\r\n");
  uint32_t h = 99;
  EXPECT_EQ(EngineOpenConfigFile(File("NONE.CFG").c_str(), 0, &h), ORBCFG_FILE_NOT_FOUND);
  EXPECT_EQ(h, 0u);
  EXPECT_EQ(EngineOpenConfigFile(File("BAD.CFG").c_str(), 0, &h), ORBCFG_BAD_FORMAT);
  EXPECT_EQ(EngineOpenConfigFile(File("BAD.CFG").c_str(), 1, &h), ORBCFG_BAD_FORMAT);  // never overwritten
  EXPECT_EQ(EngineOpenConfigFile(File("NODIR/X.CFG").c_str(), 1, &h), ORBCFG_ACCESS_DENIED);
  EXPECT_EQ(EngineOpenConfigFile(File("X.CFG").c_str(), 2, &h), ORBCFG_INVALID_ARGUMENT);
  EXPECT_EQ(EngineOpenConfigFile("", 0, &h), ORBCFG_INVALID_ARGUMENT);
  uint32_t none = 12345;
  EXPECT_EQ(EngineCloseConfigFile(&none, 0, 0, 0), ORBCFG_INVALID_HANDLE);
}

TEST_F(CfgStore, AFailedSaveIsReportedAndLeavesNoPartFile) {
  fs::create_directories(root.path() / "GONE");
  uint32_t w = Open(File("GONE/X.CFG"), 1);
  fs::remove_all(root.path() / "GONE");
  EXPECT_EQ(EngineCloseConfigFile(&w, 1, 0, 0), ORBCFG_WRITE_FAILED);
  EXPECT_EQ(w, 0u);
}

TEST_F(CfgStore, StringsCrossTheInterfaceInTheOemCodePageAndTheFileHoldsWindows1252) {
  std::string file = File("OEM.CFG");
  uint32_t w = Open(file, 1);
  RowBlock rows({{"PATH", "C:\\CAF\x82"}});  // e acute in code page 850
  ASSERT_EQ(EngineAddConfigNode(w, "\\DATABASES\\CAF\x82\\DB INFO", rows.count, rows.rows.data(),
                                rows.values.data()),
            0);
  Close(w, 1);
  std::string text = TempRoot::ReadFile(file);
  EXPECT_NE(text.find("[\\DATABASES\\CAF\xE9\\DB INFO]\r\nPATH=C:\\CAF\xE9\r\n"), std::string::npos);
  uint32_t r = Open(file, 0);
  EXPECT_EQ(Children(r, "\\DATABASES"), (std::vector<std::string>{"CAF\x82"}));
  EXPECT_EQ(Value(r, "\\DATABASES\\CAF\x82\\DB INFO", "PATH"), "C:\\CAF\x82");
  Close(r, 0);
}

TEST_F(CfgStore, MergeBringsTheSourcesNodesAndValuesIntoTheTarget) {
  std::string target = File("T.CFG"), source = File("S.CFG");
  TempRoot::WriteFile(target,
                      "ORBEX32 CONFIGURATION 1\r\n[\\DATABASES\\KEEP\\DB INFO]\r\nTYPE=STANDARD\r\nPATH=A\r\n"
                      "[\\SYSTEM\\INIT]\r\nLOCAL SHARE=FALSE\r\nMINBUFSIZE=128\r\n");
  TempRoot::WriteFile(source,
                      "ORBEX32 CONFIGURATION 1\r\n[\\DATABASES\\NEW\\DB INFO]\r\n?=From the source.\r\n"
                      "TYPE=DBASE\r\n[\\SYSTEM\\INIT]\r\nLOCAL SHARE=TRUE\r\n");
  uint32_t t = Open(target, 1), s = Open(source, 0);
  ASSERT_EQ(EngineMergeConfig(t, s, 0), 0);
  EXPECT_EQ(EngineMergeConfig(s, t, 0), ORBCFG_READ_ONLY);
  Close(t, 1);
  Close(s, 0);
  uint32_t r = Open(target, 0);
  EXPECT_EQ(Children(r, "\\DATABASES"), (std::vector<std::string>{"KEEP", "NEW"}));
  EXPECT_EQ(Value(r, "\\SYSTEM\\INIT", "LOCAL SHARE"), "TRUE");
  EXPECT_EQ(Value(r, "\\SYSTEM\\INIT", "MINBUFSIZE"), "128");
  char help[ORB_CFG_HELP_BYTES];
  EXPECT_EQ(EngineGetConfigHelp(r, "\\DATABASES\\NEW\\DB INFO", nullptr, help), 0);
  EXPECT_STREQ(help, "From the source.");
  EXPECT_EQ(EngineGetConfigHelp(r, "\\DATABASES\\NEW\\DB INFO", "NOPE", help), ORBCFG_NOT_FOUND);
  Close(r, 0);
}

TEST_F(CfgStore, LanguageDriverListIsAFixedTableWithBoundedTexts) {
  uint32_t list = 0;
  ASSERT_EQ(EngineOpenLdList(&list), 0);
  uint32_t item = 0;
  int count = 0, dbase = 0;
  bool sawAscii = false;
  while (EngineNextLd(list, &item) == 0) {
    char name[ORB_LD_TEXT_BYTES + 1] = {}, desc[ORB_LD_TEXT_BYTES + 1] = {};
    name[ORB_LD_TEXT_BYTES] = desc[ORB_LD_TEXT_BYTES] = 'Z';
    int16_t a = 0, b = 0;
    ASSERT_EQ(EngineGetLdName(item, name), 0);
    ASSERT_EQ(EngineGetLdDescription(item, desc), 0);
    ASSERT_EQ(EngineGetLdValueA(item, &a), 0);
    ASSERT_EQ(EngineGetLdValueB(item, &b), 0);
    EXPECT_EQ(name[ORB_LD_TEXT_BYTES], 'Z');
    EXPECT_EQ(desc[ORB_LD_TEXT_BYTES], 'Z');
    EXPECT_GT(std::strlen(name), 0u);
    EXPECT_GT(std::strlen(desc), 0u);
    sawAscii |= std::string(name) == "ascii";
    dbase += b == 2;
    ++count;
  }
  EXPECT_EQ(EngineNextLd(list, &item), ORBCFG_LD_END_OF_LIST);
  EXPECT_EQ(EngineCloseLdList(list), 0);
  EXPECT_EQ(EngineCloseLdList(list), ORBCFG_INVALID_HANDLE);
  EXPECT_TRUE(sawAscii);
  EXPECT_GT(dbase, 0);
  EXPECT_LT(dbase, count);
}

TEST_F(CfgStore, StartReadsTheNamedOrRegisteredFileAndFallsBackToDefaultsOnlyWhenItIsMissing) {
  std::vector<uint8_t> env(ORB_ENV_BYTES, 0);
  ASSERT_EQ(OrbExit(), 0);
  // Nothing registered and no ORBEX.CFG: the defaults.
  ASSERT_EQ(OrbInitFn(300, env.data()), 0);
  EXPECT_EQ(OrbInitFn(300, env.data()), ORBCFG_ALREADY_STARTED);
  EXPECT_NE(orb::cfg::ActiveConfig().Child("DRIVERS"), nullptr);
  ASSERT_EQ(OrbExit(), 0);
  EXPECT_EQ(OrbExit(), 0);

  // A registered file that cannot be read refuses the start.
  std::string bad = File("BROKEN.CFG");
  TempRoot::WriteFile(bad, "garbage");
  platform::registry::Key key;
  ASSERT_EQ(platform::registry::CreateKey(platform::registry::Hive::LocalMachine,
                                          "Software\\Vantrix\\Database Engine", key),
            0);
  ASSERT_EQ(key.SetString("CONFIGFILE01", bad), 0);
  EXPECT_EQ(OrbInitFn(300, env.data()), ORBCFG_BAD_FORMAT);
  EXPECT_FALSE(orb::cfg::EngineStarted());
  // The start record's file wins over the registry; a missing one means defaults.
  std::string missing = File("NOWHERE.CFG");
  std::memcpy(env.data() + ORB_ENV_CONFIG_FILE, missing.data(), missing.size());
  EXPECT_EQ(OrbInitFn(300, env.data()), 0);
  EXPECT_EQ(OrbExit(), 0);
  // The system directory's ORBEX.CFG when nothing is registered.
  ASSERT_EQ(key.DeleteValue("CONFIGFILE01"), 0);
  TempRoot::WriteFile(platform::SystemDir() / "ORBEX.CFG",
                      "ORBEX32 CONFIGURATION 1\r\n[\\SYSTEM\\INIT]\r\nLOCAL SHARE=TRUE\r\n");
  std::vector<uint8_t> plain(ORB_ENV_BYTES, 0);
  ASSERT_EQ(OrbInitFn(300, plain.data()), 0);
  EXPECT_EQ(orb::cfg::ActiveConfig().Child("DRIVERS"), nullptr);
  EXPECT_EQ(OrbExit(), 0);
}

TEST(CfgOrdinals, EveryConfigurationEntryIsReachableByItsOrdinal) {
  struct Case {
    uint16_t ordinal;
    void* entry;
  } cases[] = {{1064, (void*)&EngineOpenConfigFile}, {1065, (void*)&EngineCloseConfigFile},
               {401, (void*)&EngineGetConfigRoot},   {402, (void*)&EngineSetConfigNode},
               {403, (void*)&EngineNextConfigChild}, {404, (void*)&EngineGetConfigRecord},
               {405, (void*)&EngineAddConfigNode},   {406, (void*)&EngineModifyConfigNode},
               {407, (void*)&EngineDeleteConfigNode}, {409, (void*)&EngineGetConfigHelp},
               {410, (void*)&EngineMergeConfig},     {814, (void*)&EngineOpenLdList},
               {815, (void*)&EngineNextLd},          {798, (void*)&EngineGetLdName},
               {813, (void*)&EngineGetLdDescription}, {800, (void*)&EngineGetLdValueA},
               {819, (void*)&EngineGetLdValueB},     {818, (void*)&EngineCloseLdList}};
  for (const Case& c : cases) EXPECT_EQ(orb::FindOrdinal(c.ordinal), c.entry) << c.ordinal;
  EXPECT_EQ(orb::DuplicateOrdinals(), 0);
}

}  // namespace
