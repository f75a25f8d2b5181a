// The application object of vtxcfg32: starts the engine, loads the
// configuration, holds the name of the loaded file and its flags, and
// makes the main frame.
#pragma once

#include <memory>
#include <string>

#include "cfg_frame.h"

namespace vtxcfg {

class TCfgApp {
 public:
  TCfgApp();
  ~TCfgApp();
  TCfgApp(const TCfgApp&) = delete;
  TCfgApp& operator=(const TCfgApp&) = delete;

  // Starts the engine and names the file; false: the program quits, no window.
  bool InitInstance();
  void InitMainWindow();
  void UpdateTitle();
  void QuitHelp();
  // InitInstance, InitMainWindow and the event loop; the exit code.
  int Run();

  TCfgDecFrame* MainWindow() const { return frame_.get(); }
  const std::string& FileName() const { return fileName_; }  // Windows-1252
  bool Loaded() const { return loaded_; }
  bool ReadOnly() const { return readOnly_; }
  void SetFileName(const std::string& file) { fileName_ = file; }
  void SetLoaded(bool loaded, bool readOnly) {
    loaded_ = loaded;
    readOnly_ = readOnly;
  }

 private:
  std::string fileName_;
  bool loaded_ = false;
  bool readOnly_ = false;
  bool helpQuitOk_ = false;
  bool engineStarted_ = false;
  std::unique_ptr<TCfgDecFrame> frame_;
};

}  // namespace vtxcfg
