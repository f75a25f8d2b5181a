// The main window of vtxcfg32: menu 100 over the notebook, the file
// commands with their questions, page selection and help, and the
// help-on-menu mode (F1 on a highlighted item shows that item's help
// instead of running it).
#pragma once

#include <QMainWindow>
#include <string>

class QAction;
class QCloseEvent;

namespace vtxcfg {

class TCfgApp;
class TClientWnd;

class TCfgDecFrame : public QMainWindow {
  Q_OBJECT
 public:
  TCfgDecFrame(TCfgApp& app, TClientWnd* client);
  // 281 by 200 dialog units, in pixels of the frame's font.
  QSize FrameSize() const;
  TClientWnd* Client() const;
  // The menu item of a command (its id is its object name); null for none.
  QAction* Command(int id) const;
  bool HelpFlag() const { return helpFlag_; }

  // Runs a command of menu 100, or shows its help in help-on-menu mode.
  void Dispatch(int command);
  void CmFileOpen();
  void CmFileSave();
  void CmFileSaveAs();
  void CmFileMerge();
  void CmFileExit();
  void CmConfigureWin31();
  void CmPage(int command);
  void CmHelpContents();
  void CmHelpAbout();

  // 1 go on (saved, or the changes given up), 0 cancelled.
  int ConfirmSave();
  // The registry flag of a save of `saved`.
  int ConfirmRegistryUpdate(const std::string& saved);

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  enum class SaveResult { kSaved, kCancelled, kFailed };
  SaveResult Save();
  SaveResult SaveAs();
  // Reads the current file again after a save or merge and shows it.
  void Reload();
  void ShowConfiguration();
  void BuildMenu();

  TCfgApp& app_;
  bool helpFlag_ = false;
  bool exiting_ = false;
};

}  // namespace vtxcfg
