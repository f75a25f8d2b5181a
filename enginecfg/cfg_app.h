// The application object of vtxcfg32 and its main frame.
#pragma once

#include <QMainWindow>
#include <memory>
#include <string>

namespace vtxcfg {

// The main window: a fixed-size frame around the client window.
class TClientWnd;

class TCfgDecFrame : public QMainWindow {
  Q_OBJECT
 public:
  explicit TCfgDecFrame(QWidget* client);
  // 281 by 200 dialog units, in pixels of the frame's font.
  QSize FrameSize() const;
  TClientWnd* Client() const;
};

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

 private:
  std::string fileName_;
  bool loaded_ = false;
  bool readOnly_ = false;
  bool helpQuitOk_ = false;
  bool engineStarted_ = false;
  std::unique_ptr<TCfgDecFrame> frame_;
};

}  // namespace vtxcfg
