// The first set-up an install runs: it registers the engine and writes its
// configuration on a fresh root, changes nothing a second time, and never
// overwrites what a user already has.
#include <gtest/gtest.h>

#include <QApplication>
#include <filesystem>

#include "cfg_app.h"
#include "first_setup.h"
#include "orbex32_cfg.h"
#include "platform/paths.h"
#include "platform/registry.h"
#include "platform/text.h"
#include "platform/ui.h"
#include "temp_root.h"

namespace fs = std::filesystem;
namespace reg = platform::registry;
using testing_support::TempRoot;

namespace {

fs::path BinDir() { return fs::read_symlink("/proc/self/exe").parent_path(); }

std::string Value(const char* key, const char* name) {
  reg::Key k;
  std::string out;
  if (reg::OpenKey(reg::Hive::LocalMachine, key, false, k) != reg::kSuccess) return "<no key>";
  if (k.QueryString(name, out) != reg::kSuccess) return "<no value>";
  return out;
}

std::string Hive() { return TempRoot::ReadFile(platform::RegistryDir() / "HKLM.reg"); }

class Setup : public ::testing::Test {
 protected:
  TempRoot root;
  fs::path locales = root.path() / "lib";
  void SetUp() override {
    fs::create_directories(locales);
    TempRoot::WriteFile(locales / "LOCALE.SLL", "locale library");
    TempRoot::WriteFile(locales / "USA.SLL", "locale library");
  }
};

TEST_F(Setup, AFreshRootGetsTheEngineItsConfigurationAndTheLocaleLibraries) {
  setup::Outcome out = setup::FirstSetup(BinDir(), locales);
  ASSERT_EQ(out.error, "");
  EXPECT_TRUE(out.engineRegistered);
  EXPECT_TRUE(out.configWritten);
  EXPECT_EQ(out.localesRegistered, 2);

  const fs::path config = platform::SystemDir() / "ORBEX.CFG";
  EXPECT_EQ(Value("Software\\Vantrix\\Database Engine", "DLLPATH"), BinDir().string());
  EXPECT_EQ(Value("Software\\Vantrix\\Database Engine", "CONFIGFILE01"), config.string());
  EXPECT_EQ(Value("Software\\Vantrix\\Slw32", "LOCALE_LIB1"), (locales / "LOCALE.SLL").string());
  EXPECT_EQ(Value("Software\\Vantrix\\Slw32", "LOCALE_LIB2"), (locales / "USA.SLL").string());

  // The file is the engine's own, readable by it, with its built-in defaults.
  uint32_t handle = 0;
  ASSERT_EQ(EngineOpenConfigFile(config.c_str(), 0, &handle), 0);
  uint16_t count = 0;
  EXPECT_EQ(EngineGetConfigRecord(handle, "\\SYSTEM\\INIT", &count, nullptr, nullptr), 0);
  EXPECT_GT(count, 0);
  EXPECT_EQ(EngineCloseConfigFile(&handle, 0, 0, 0), 0);
}

TEST_F(Setup, ASecondRunChangesNothing) {
  ASSERT_EQ(setup::FirstSetup(BinDir(), locales).error, "");
  const fs::path config = platform::SystemDir() / "ORBEX.CFG";
  const std::string hive = Hive(), file = TempRoot::ReadFile(config);
  const auto stamp = fs::last_write_time(config);

  setup::Outcome again = setup::FirstSetup(BinDir(), locales);
  EXPECT_EQ(again.error, "");
  EXPECT_FALSE(again.engineRegistered);
  EXPECT_FALSE(again.configWritten);
  EXPECT_EQ(again.localesRegistered, 0);
  EXPECT_EQ(Hive(), hive);
  EXPECT_EQ(TempRoot::ReadFile(config), file);
  EXPECT_EQ(fs::last_write_time(config), stamp);
}

TEST_F(Setup, WhatAUserHasIsKept) {
  reg::Key key;
  ASSERT_EQ(reg::CreateKey(reg::Hive::LocalMachine, "Software\\Vantrix\\Database Engine", key), reg::kSuccess);
  ASSERT_EQ(key.SetString("CONFIGFILE01", "/elsewhere/MINE.CFG"), reg::kSuccess);
  ASSERT_EQ(reg::CreateKey(reg::Hive::LocalMachine, "Software\\Vantrix\\Slw32", key), reg::kSuccess);
  ASSERT_EQ(key.SetString("LOCALE_LIB1", "/elsewhere/MINE.SLL"), reg::kSuccess);
  // A configuration already in the system directory is the user's too.
  const fs::path config = platform::SystemDir() / "ORBEX.CFG";
  TempRoot::WriteFile(config, "ORBEX32 CONFIGURATION 1\r\n");

  setup::Outcome out = setup::FirstSetup(BinDir(), locales);
  EXPECT_EQ(out.error, "");
  EXPECT_FALSE(out.engineRegistered);
  EXPECT_FALSE(out.configWritten);
  EXPECT_EQ(Value("Software\\Vantrix\\Database Engine", "CONFIGFILE01"), "/elsewhere/MINE.CFG");
  EXPECT_EQ(Value("Software\\Vantrix\\Database Engine", "DLLPATH"), "<no value>");
  EXPECT_EQ(Value("Software\\Vantrix\\Slw32", "LOCALE_LIB1"), "/elsewhere/MINE.SLL");
  EXPECT_EQ(Value("Software\\Vantrix\\Slw32", "LOCALE_LIB2"), (locales / "USA.SLL").string());
  EXPECT_EQ(TempRoot::ReadFile(config), "ORBEX32 CONFIGURATION 1\r\n");
}

TEST_F(Setup, AConfigurationThatCannotBeWrittenIsAnErrorAndRegistersNothing) {
  // A file where the system directory should be: nothing can be written below it.
  TempRoot::WriteFile(root.path() / "WINDOWS" / "SYSTEM", "not a folder");
  setup::Outcome out = setup::FirstSetup(BinDir(), locales);
  EXPECT_NE(out.error, "");
  EXPECT_FALSE(out.engineRegistered);
  EXPECT_EQ(Value("Software\\Vantrix\\Database Engine", "CONFIGFILE01"), "<no key>");
}

TEST_F(Setup, Vtxcfg32StartsOnTheWrittenConfigurationWithoutAnErrorBox) {
  ASSERT_EQ(setup::FirstSetup(BinDir(), locales).error, "");
  auto ui = std::make_shared<platform::ui::ScriptedUi>();
  platform::ui::Install(ui);
  {
    vtxcfg::TCfgApp app;
    ASSERT_TRUE(app.InitInstance());
    app.InitMainWindow();
    ASSERT_NE(app.MainWindow(), nullptr);
    EXPECT_TRUE(app.Loaded());
    const std::string title = app.MainWindow()->windowTitle().toStdString();
    EXPECT_NE(title.find("ORBEX.CFG"), std::string::npos) << title;
  }
  EXPECT_TRUE(ui->MessageTexts().empty());
  EXPECT_TRUE(ui->unexpected.empty());
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
