#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>

#include "core/cfg_startup.h"
#include "core/cfg_strings.h"
#include "core/config_model.h"
#include "core/engine_binding.h"
#include "platform/dynlib.h"
#include "platform/paths.h"
#include "platform/registry.h"
#include "platform/text.h"
#include "platform/ui.h"
#include "temp_root.h"

namespace fs = std::filesystem;
using namespace vtxcfg;
using testing_support::TempRoot;
namespace reg = platform::registry;

namespace {

// Where the build put libORBEX32.so: beside this test program.
fs::path BuildBinDir() { return fs::read_symlink("/proc/self/exe").parent_path(); }

void SetEngineValue(const std::string& name, const std::string& value) {
  reg::Key key;
  ASSERT_EQ(reg::CreateKey(reg::Hive::LocalMachine, "Software\\Vantrix\\Database Engine", key), reg::kSuccess);
  ASSERT_EQ(key.SetString(name, value), reg::kSuccess);
}

class Binding : public ::testing::Test {
 protected:
  TempRoot root;
  std::shared_ptr<platform::ui::ScriptedUi> ui = std::make_shared<platform::ui::ScriptedUi>();
  void SetUp() override { platform::ui::Install(ui); }
  void TearDown() override {
    FreeConfigEntries();
    CloseConfigHandle();
    while (EngineUseCountForTesting() > 0) EngineExit();
    SetEngineLibraryNameForTesting("");
  }
  std::string Ansi(const fs::path& p) { return platform::Utf8ToCp1252(p.string()); }
};

TEST(Title, FollowsTheLengthRule) {
  const std::string head = "VTX Configuration Utility - ";
  struct Case {
    const char* what;
    std::string file;
    std::string expected;
  } cases[] = {
      {"short path in upper case", "c:\\cfg\\orbex.cfg", head + "C:\\CFG\\ORBEX.CFG"},
      {"default configuration", "Default Configuration", head + "DEFAULT CONFIGURATION"},
      {"long path shows only its name", "/home/someone/with/a/long/folder/path/orbex.cfg", head + "ORBEX.CFG"},
      {"path of exactly the room left", std::string(36, 'p'), head + std::string(32, 'P') + "..."},
      {"path one shorter fits", "/" + std::string(34, 'q'), head + "/" + std::string(34, 'Q')},
      {"long name is cut", "/x/" + std::string(50, 'n') + ".cfg", head + std::string(32, 'N') + "..."},
  };
  for (const Case& c : cases) {
    std::string title = MakeTitle(c.file);
    EXPECT_EQ(title, c.expected) << c.what;
    EXPECT_LT(title.size(), 64u) << c.what;
  }
}

TEST_F(Binding, LocateFallsBackFromAMissingRegisteredFileToTheSystemDirectory) {
  std::string path = "unchanged";
  EXPECT_EQ(LocateConfigFile(path), 1);
  EXPECT_EQ(path, "");
  SetEngineValue("CONFIGFILE01", Ansi(root.path() / "GONE.CFG"));
  fs::path system = platform::SystemDir() / "ORBEX.CFG";
  TempRoot::WriteFile(system, "ORBEX32 CONFIGURATION 1\r\n");
  EXPECT_EQ(LocateConfigFile(path), 0);
  EXPECT_EQ(path, Ansi(system));
  fs::path mine = root.path() / "MINE.CFG";
  TempRoot::WriteFile(mine, "ORBEX32 CONFIGURATION 1\r\n");
  SetEngineValue("CONFIGFILE01", Ansi(mine));
  EXPECT_EQ(LocateConfigFile(path), 0);
  EXPECT_EQ(path, Ansi(mine));
}

TEST_F(Binding, RegistryWritesReportTheirFailure) {
  EXPECT_EQ(SetRegisteredConfigFile("C:\\A.CFG"), 0);
  std::string path;
  GetRegisteredConfigFile(path);
  EXPECT_EQ(path, "C:\\A.CFG");
  reg::SetHiveReadOnlyForTesting(reg::Hive::LocalMachine, true);
  EXPECT_EQ(SetRegisteredConfigFile("C:\\B.CFG"), kRegistryWriteFailed);
  reg::SetHiveReadOnlyForTesting(reg::Hive::LocalMachine, false);
  GetRegisteredConfigFile(path);
  EXPECT_EQ(path, "C:\\A.CFG");
  std::string dir;
  EXPECT_EQ(GetEngineDllPath(dir), kNoDllPath);
}

TEST_F(Binding, NoEngineLibraryGivesErrorZeroAndNoStart) {
  SetEngineLibraryNameForTesting("NOENGINE.DLL");
  int ok = 1;
  EXPECT_EQ(StartEngine(&ok), kEngineNotFound);
  EXPECT_EQ(ok, 0);
  EXPECT_EQ(ui->MessageTexts(), (std::vector<std::string>{"Error initializing database engine."}));
  EXPECT_EQ(ui->MessageCaptions(), (std::vector<std::string>{"VTXCFG Error"}));
  EXPECT_EQ(EngineExit(), 0);
}

// Stand-in engines: one without file sharing (started on the second
// attempt), one that says it was already started.
TEST_F(Binding, TheStartCodesOfFileSharingMissingAndAlreadyStarted) {
  SetEngineValue("DLLPATH", Ansi(BuildBinDir()));
  struct Case {
    const char* library;
    int code;
    std::vector<std::string> messages;
  } cases[] = {
      {"libengine_standin_11273.so", 11273,
       {"SHARE.EXE must be loaded to initialize with database engine with Local Share set to TRUE.",
        "Error initializing database engine."}},
      {"libengine_standin_10759.so", 10759, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.library);
    SetEngineLibraryNameForTesting(c.library);
    ui->calls.clear();
    int ok = 0;
    EXPECT_EQ(StartEngine(&ok), c.code);
    EXPECT_EQ(ok, 1);  // started: on the second attempt, or already
    EXPECT_EQ(ui->MessageTexts(), c.messages);
    while (EngineUseCountForTesting() > 0) EXPECT_EQ(EngineExit(), 0);
  }
}

TEST_F(Binding, TheEngineIsNeverLoadedFromTheCurrentDirectory) {
  fs::path here = root.path() / "HERE";
  fs::create_directories(here);
  fs::copy_file(BuildBinDir() / "libORBEX32.so", here / "libCWDONLY.so");
  fs::path old = fs::current_path();
  fs::current_path(here);
  EXPECT_EQ(LoadEngineLibrary(nullptr, "CWDONLY.DLL"), nullptr);
  SetEngineValue("DLLPATH", Ansi(here));
  void* module = LoadEngineLibrary(nullptr, "CWDONLY.DLL");
  EXPECT_NE(module, nullptr);
  if (module) platform::dynlib::Free(module);
  fs::current_path(old);
}

TEST_F(Binding, StartBindsByOrdinalAndASecondExitFreesNothing) {
  SetEngineValue("DLLPATH", Ansi(BuildBinDir()));
  int ok = 0;
  ASSERT_EQ(StartEngine(&ok), 0);
  EXPECT_EQ(ok, 1);
  EXPECT_EQ(EngineUseCountForTesting(), 1);
  // The defaults (handle 0) through the entries bound by ordinal.
  ASSERT_EQ(ReadConfigFile(nullptr), 0);
  std::string value;
  EXPECT_EQ(GetEntryValue("\\SYSTEM\\INIT", "DEFAULT DRIVER", value), 0);
  EXPECT_EQ(value, "TESSALY");
  int frees = EngineModuleFreesForTesting();
  EXPECT_EQ(EngineExit(), 0);
  EXPECT_EQ(EngineUseCountForTesting(), 0);
  EXPECT_GT(EngineModuleFreesForTesting(), frees);
  frees = EngineModuleFreesForTesting();
  EXPECT_EQ(EngineExit(), 0);
  EXPECT_EQ(EngineModuleFreesForTesting(), frees);
  EXPECT_TRUE(ui->MessageTexts().empty());
}

TEST_F(Binding, AnUnreadableConfigurationStartsTheEngineOnItsDefaults) {
  SetEngineValue("DLLPATH", Ansi(BuildBinDir()));
  fs::path broken = root.path() / "BROKEN.CFG";
  TempRoot::WriteFile(broken, "not a configuration");
  SetEngineValue("CONFIGFILE01", Ansi(broken));
  int ok = 0;
  EXPECT_NE(StartEngine(&ok), 0);  // "Default Configuration" for the title
  EXPECT_EQ(ok, 1);
  EXPECT_EQ(ui->MessageTexts(), (std::vector<std::string>{"Error initializing database engine."}));
  EXPECT_EQ(EngineUseCountForTesting(), 1);
}

class RealEngine : public Binding {
 protected:
  void SetUp() override {
    Binding::SetUp();
    SetEngineValue("DLLPATH", Ansi(BuildBinDir()));
    int ok = 0;
    ASSERT_EQ(StartEngine(&ok), 0);
  }
  std::string Write(const std::string& name, const std::string& text) {
    fs::path p = root.path() / name;
    TempRoot::WriteFile(p, text);
    return Ansi(p);
  }
};

TEST_F(RealEngine, ReadChangeSaveAndReopenShowsTheChange) {
  std::string file = Write("MY.CFG",
                           "ORBEX32 CONFIGURATION 1\r\n[\\DATABASES\\OLD\\DB INFO]\r\nTYPE=STANDARD\r\nPATH=C:\\OLD\r\n"
                           "[\\SYSTEM\\INIT]\r\nLOCAL SHARE=FALSE\r\nLANGDRIVER=ascii\r\n");
  int readOnly = 1;
  ASSERT_EQ(LoadConfiguration(&file, &readOnly), 1);
  EXPECT_EQ(readOnly, 0);
  ASSERT_EQ(ReadLanguageDrivers(), 1);
  ASSERT_EQ(SetEntryValue("\\SYSTEM\\INIT", "LOCAL SHARE", "TRUE"), 0);
  ASSERT_EQ(SetEntryValue("\\SYSTEM\\INIT", "LANGDRIVER", "dBASE DEU cp850"), 0);
  FindDatabasesEnd();
  InsertEntry("\\DATABASES\\NEW\\DB INFO", "TYPE", "STANDARD", kAdded);
  InsertEntry("\\DATABASES\\NEW\\DB INFO", "PATH", "C:\\CAF\xE9", kAdded);
  DeleteNodeEntries("\\DATABASES\\OLD");
  ASSERT_EQ(WriteConfigFile(&file, nullptr, 0, 0), 0);
  FreeConfigEntries();
  ASSERT_EQ(ReadConfigFile(&file), 0);
  std::string value;
  EXPECT_EQ((GetEntryValue("\\SYSTEM\\INIT", "LOCAL SHARE", value), value), "TRUE");
  EXPECT_EQ((GetEntryValue("\\SYSTEM\\INIT", "LANGDRIVER", value), value), "DB850DE0");
  EXPECT_EQ((GetEntryValue("\\DATABASES\\NEW\\DB INFO", "PATH", value), value), "C:\\CAF\xE9");
  std::string alias;
  EXPECT_EQ(GetChildName("\\DATABASES", 0, alias), 0);
  EXPECT_EQ(alias, "NEW");
  EXPECT_EQ(GetChildName("\\DATABASES", 1, alias), 1);
  EXPECT_FALSE(IsConfigModified());
  std::string text;
  GetParamDescription("\\SYSTEM\\INIT", "LOCAL SHARE", text);
  EXPECT_TRUE(text.empty());  // a file without descriptions
}

// An alias of one node, deleted and made again under the same name: the
// deleted entries and the new ones lie side by side under one path.
TEST_F(RealEngine, AnAliasDeletedAndMadeAgainUnderItsNameIsSaved) {
  std::string file = Write("AGAIN.CFG",
                           "ORBEX32 CONFIGURATION 1\r\n[\\DATABASES\\OLD\\DB INFO]\r\nTYPE=STANDARD\r\nPATH=C:\\OLD\r\n"
                           "LANGDRIVER=ascii\r\n[\\SYSTEM\\INIT]\r\nLOCAL SHARE=FALSE\r\n");
  int readOnly = 1;
  ASSERT_EQ(LoadConfiguration(&file, &readOnly), 1);
  DeleteNodeEntries("\\DATABASES\\OLD");
  FindDatabasesEnd();
  InsertEntry("\\DATABASES\\OLD\\DB INFO", "TYPE", "STANDARD", kAdded);
  InsertEntry("\\DATABASES\\OLD\\DB INFO", "PATH", "C:\\NEW", kAdded);
  ASSERT_EQ(WriteConfigFile(&file, nullptr, 0, 0), 0);
  FreeConfigEntries();
  ASSERT_EQ(ReadConfigFile(&file), 0);
  std::string value;
  EXPECT_EQ((GetEntryValue("\\DATABASES\\OLD\\DB INFO", "PATH", value), value), "C:\\NEW");
  // The old node went first: none of its other parameters came back.
  EXPECT_EQ(GetEntryValue("\\DATABASES\\OLD\\DB INFO", "LANGDRIVER", value), 1);
  EXPECT_FALSE(IsConfigModified());
}

TEST_F(RealEngine, MergeAddsTheOtherFilesNodes) {
  std::string target = Write("T.CFG", "ORBEX32 CONFIGURATION 1\r\n[\\DATABASES\\KEEP\\DB INFO]\r\nTYPE=STANDARD\r\n");
  std::string source = Write("S.CFG", "ORBEX32 CONFIGURATION 1\r\n[\\DATABASES\\FROMS\\DB INFO]\r\nTYPE=DBASE\r\n");
  ASSERT_EQ(MergeConfigFiles(target, source, 0, 0), 0);
  ASSERT_EQ(ReadConfigFile(&target), 0);
  std::vector<std::string> aliases;
  std::string name;
  for (int n = 0; GetChildName("\\DATABASES", n, name) == 0; ++n) aliases.push_back(name);
  EXPECT_EQ(aliases, (std::vector<std::string>{"KEEP", "FROMS"}));
  std::string missing = Ansi(root.path() / "NONE.CFG");
  EXPECT_NE(MergeConfigFiles(target, missing, 0, 0), 0);
}

TEST_F(RealEngine, ProbeAndReadOnlyDefaults) {
  std::string good = Write("G.CFG", "ORBEX32 CONFIGURATION 1\r\n[\\SYSTEM]\r\n");
  std::string bad = Write("B.CFG", "garbage");
  EXPECT_EQ(ProbeConfigFile(good), 0);
  EXPECT_NE(ProbeConfigFile(bad), 0);
  ASSERT_EQ(ReadConfigFile(nullptr), 0);
  ASSERT_EQ(SetEntryValue("\\SYSTEM\\INIT", "LOCAL SHARE", "TRUE"), 0);
  // Saving the defaults to a new file writes the whole configuration.
  std::string fresh = Ansi(root.path() / "FRESH.CFG");
  ASSERT_EQ(WriteConfigFile(&fresh, nullptr, 1, 0), 0);
  ASSERT_EQ(ReadConfigFile(&fresh), 0);
  std::string value;
  EXPECT_EQ((GetEntryValue("\\SYSTEM\\INIT", "LOCAL SHARE", value), value), "TRUE");
  EXPECT_EQ((GetEntryValue("\\DRIVERS\\DBASE\\INIT", "TYPE", value), value), "FILE");
}

}  // namespace
