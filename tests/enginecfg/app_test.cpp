#include <gtest/gtest.h>

#include <QApplication>
#include <QPixmap>
#include <filesystem>

#include "cfg_app.h"
#include "core/config_model.h"
#include "core/engine_binding.h"
#include "platform/paths.h"
#include "platform/registry.h"
#include "platform/text.h"
#include "platform/ui.h"
#include "dialog_script.h"
#include "temp_root.h"
#include "shot_path.h"

namespace fs = std::filesystem;
using namespace vtxcfg;
using testing_support::TempRoot;
namespace reg = platform::registry;

namespace {

void SetEngineValue(const std::string& name, const std::string& value) {
  reg::Key key;
  ASSERT_EQ(reg::CreateKey(reg::Hive::LocalMachine, "Software\\Vantrix\\Database Engine", key), reg::kSuccess);
  ASSERT_EQ(key.SetString(name, value), reg::kSuccess);
}

class App : public ::testing::Test {
 protected:
  TempRoot root;
  std::shared_ptr<platform::ui::ScriptedUi> ui = std::make_shared<platform::ui::ScriptedUi>();
  DialogScript dialogs;
  void SetUp() override {
    platform::ui::Install(ui);
    SetEngineValue("DLLPATH",
                   platform::Utf8ToCp1252(fs::read_symlink("/proc/self/exe").parent_path().string()));
  }
  void TearDown() override {
    SetEngineLibraryNameForTesting("");
    EXPECT_TRUE(dialogs.unexpected.empty()) << dialogs.unexpected.front();
  }
};

TEST_F(App, StartsWithTheTitleAndTheFileAndAFixedFrame) {
  fs::path file = platform::SystemDir() / "ORBEX.CFG";
  TempRoot::WriteFile(file, "ORBEX32 CONFIGURATION 1\r\n[\\DATABASES\\A\\DB INFO]\r\nTYPE=STANDARD\r\n");
  {
    TCfgApp app;
    ASSERT_TRUE(app.InitInstance());
    app.InitMainWindow();
    ASSERT_NE(app.MainWindow(), nullptr);
    EXPECT_TRUE(app.Loaded());
    EXPECT_FALSE(app.ReadOnly());
    // The test's system directory is too long a path for the title: only
    // the file name shows.
    ASSERT_GE(file.string().size(), 36u);
    EXPECT_EQ(app.MainWindow()->windowTitle().toStdString(), "VTX Configuration Utility - ORBEX.CFG");
    EXPECT_TRUE(app.MainWindow()->isVisible());
    EXPECT_EQ(app.MainWindow()->minimumSize(), app.MainWindow()->maximumSize());  // fixed size
    std::string alias;
    EXPECT_EQ(GetChildName("\\DATABASES", 0, alias), 0);
    EXPECT_EQ(alias, "A");
    QPixmap shot = app.MainWindow()->grab();
    fs::path png = testing_support::ShotPath("vtxcfg32-start.png");
    EXPECT_TRUE(shot.save(QString::fromStdString(png.string())));
    EXPECT_TRUE(ui->MessageTexts().empty());
    EXPECT_TRUE(ui->unexpected.empty());
  }
  EXPECT_EQ(EngineUseCountForTesting(), 0);  // the application stopped the engine
}

TEST_F(App, AnEngineOnItsDefaultsShowsDefaultConfiguration) {
  fs::path broken = root.path() / "BROKEN.CFG";
  TempRoot::WriteFile(broken, "garbage");
  SetEngineValue("CONFIGFILE01", platform::Utf8ToCp1252(broken.string()));
  dialogs.Press("ERROR_DLG", 1);
  TCfgApp app;
  ASSERT_TRUE(app.InitInstance());
  EXPECT_EQ(app.FileName(), "Default Configuration");
  app.InitMainWindow();
  EXPECT_EQ(app.MainWindow()->windowTitle().toStdString(), "VTX Configuration Utility - DEFAULT CONFIGURATION");
  // The engine refused the file and then started on its defaults, which
  // are shown rather than the refused file.
  EXPECT_EQ(dialogs.Errors(), (std::vector<std::string>{"Error initializing database engine."}));
  EXPECT_TRUE(app.Loaded());
  std::string type;
  EXPECT_EQ(GetEntryValue("\\DRIVERS\\DBASE\\INIT", "TYPE", type), 0);
  EXPECT_TRUE(ui->unexpected.empty());
}

TEST_F(App, NoEngineLibraryShowsErrorZeroAndNoWindow) {
  SetEngineLibraryNameForTesting("NOENGINE.DLL");
  dialogs.Press("ERROR_DLG", 1);
  TCfgApp app;
  EXPECT_FALSE(app.InitInstance());
  EXPECT_EQ(app.MainWindow(), nullptr);
  EXPECT_EQ(dialogs.Errors(), (std::vector<std::string>{"Error initializing database engine."}));
  EXPECT_TRUE(QApplication::topLevelWidgets().isEmpty());
}

}  // namespace

int main(int argc, char** argv) {
  // Test discovery runs the program without the test environment.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
