#include "cfg_app.h"

#include <QApplication>
#include <QFontMetrics>
#include <QWidget>

#include "cfg_pages.h"
#include "cfg_startup.h"
#include "cfg_strings.h"
#include "config_model.h"
#include "engine_binding.h"
#include "platform/text.h"
#include "platform/ui.h"

namespace vtxcfg {

TCfgDecFrame::TCfgDecFrame(QWidget* client) {
  setObjectName("TCfgDecFrame");
  setCentralWidget(client);
}

QSize TCfgDecFrame::FrameSize() const {
  QFontMetrics fm(font());
  int baseX = fm.averageCharWidth();
  int baseY = fm.height();
  int width = std::stoi(CfgString(2006)) * baseX / 4;
  int height = std::stoi(CfgString(2005)) * baseY / 8;
  return QSize(width, height);
}

TClientWnd* TCfgDecFrame::Client() const { return qobject_cast<TClientWnd*>(centralWidget()); }

TCfgApp::TCfgApp() = default;

TCfgApp::~TCfgApp() {
  frame_.reset();
  if (loaded_) FreeConfigEntries();
  CloseConfigHandle();
  DriverNames() = DriverNameTable{};
  if (engineStarted_) StopEngine();
}

bool TCfgApp::InitInstance() {
  int ok = 0;
  int rc = StartEngine(&ok);
  if (!ok) return false;
  engineStarted_ = true;
  DriverNames() = DriverNameTable{};
  if (rc != 0) {
    fileName_ = CfgString(1085);
  } else {
    LocateConfigFile(fileName_);
  }
  return true;
}

void TCfgApp::InitMainWindow() {
  int readOnly = 0;
  loaded_ = LoadConfiguration(nullptr, &readOnly) == 1;
  readOnly_ = readOnly != 0;
  ReadLanguageDrivers();
  auto* client = new TClientWnd;
  frame_ = std::make_unique<TCfgDecFrame>(client);
  // The pages fill at once when a configuration is loaded.
  client->Notebook()->RefreshAll(loaded_);
  frame_->setWindowFlag(Qt::WindowMaximizeButtonHint, false);
  UpdateTitle();
  frame_->setFixedSize(frame_->FrameSize());
  frame_->show();
}

void TCfgApp::UpdateTitle() {
  if (frame_) frame_->setWindowTitle(QString::fromStdString(platform::Cp1252ToUtf8(MakeTitle(fileName_))));
}

void TCfgApp::QuitHelp() {
  platform::ui::HelpRequest request;
  request.file = kHelpFile;
  request.command = platform::ui::HelpCommand::Quit;
  helpQuitOk_ = platform::ui::Current().Help(request);
}

int TCfgApp::Run() {
  if (!InitInstance()) return 0;
  InitMainWindow();
  return QApplication::exec();
}

}  // namespace vtxcfg
