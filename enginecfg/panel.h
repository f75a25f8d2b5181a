// A page of the notebook: its parameters in a property list, the
// description of the selected one below it, and a Help button.
#pragma once

#include <QWidget>
#include <string>

class QLabel;
class QPushButton;

namespace vtxcfg {

class PropertiesWindow;

inline constexpr int kMaxPageNodes = 10;
inline constexpr int kMaxNodeParams = 50;

class TPanel : public QWidget {
  Q_OBJECT
 public:
  TPanel(QWidget* parent, int dialogId);
  PropertiesWindow* Properties() const { return props_; }
  QLabel* Description() const { return description_; }
  QPushButton* HelpButton() const { return help_; }
  int DialogId() const { return dialogId_; }
  // Rebuilds the page from the model.
  virtual void Refill(bool loaded) = 0;
  virtual void ShowHelp() = 0;

 protected:
  static constexpr int kMargin = 8;
  void keyPressEvent(QKeyEvent* event) override;
  void resizeEvent(QResizeEvent*) override;
  void AddNodeParams(const std::string& path);
  virtual void Layout();
  PropertiesWindow* props_;
  QLabel* caption_;
  QLabel* description_;
  QPushButton* help_;
  int dialogId_;
};

}  // namespace vtxcfg
