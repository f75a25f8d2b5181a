#include "cfg_app.h"

#include <QApplication>
#include <QWidget>

#include "cfg_notebook.h"
#include "client_wnd.h"
#include "core/cfg_startup.h"
#include "core/cfg_strings.h"
#include "core/config_model.h"
#include "core/engine_binding.h"
#include "error_dlg.h"
#include "core/frame_rules.h"
#include "platform/text.h"
#include "platform/ui.h"

namespace vtxcfg {

namespace {
// Failures appear in the error dialog over the window in front.
void ReportInErrorDialog(int code) { ShowErrorDialog(code, QApplication::activeWindow()); }
}  // namespace

TCfgApp::TCfgApp() { SetErrorReporter(&ReportInErrorDialog); }


TCfgApp::~TCfgApp() {
  frame_.reset();
  if (loaded_) FreeConfigEntries();
  CloseConfigHandle();
  DriverNames() = DriverNameTable{};
  if (engineStarted_) StopEngine();
  SetErrorReporter(nullptr);
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
  if (IsDefaultConfiguration(fileName_)) {
    // The engine refused the file and runs on its built-in defaults: those
    // are what is shown and saved, not the file it refused.
    loaded_ = LoadDefaultConfiguration() == 1;
  } else {
    loaded_ = LoadConfiguration(nullptr, &readOnly, &fileName_) == 1;
  }
  readOnly_ = readOnly != 0;
  ReadLanguageDrivers();
  auto* client = new TClientWnd;
  frame_ = std::make_unique<TCfgDecFrame>(*this, client);
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
