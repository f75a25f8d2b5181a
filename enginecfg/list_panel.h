// The client window of vtxcfg32: a notebook of six pages on a tab strip at
// the bottom, each page showing configuration nodes in a property list.
// Every edit goes into the configuration model; nothing reaches the file
// before Save.
#pragma once

#include <QTabBar>
#include <QWidget>
#include <memory>
#include <string>
#include <vector>

#include "core/cfg_rules.h"
#include "prop_list.h"

class QLabel;
class QListWidget;
class QPushButton;

namespace vtxcfg {

// One displayed parameter of a node of the model.
class TCfgProp : public TProp {
 public:
  TCfgProp(const std::string& name, const std::string& path, QLabel* description);
  std::string ReadValue() override;
  bool WriteValue(const std::string& text) override;
  const std::vector<std::string>& Choices() const override { return choices_.choices; }
  bool Browse() const override { return choices_.browse; }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
  ParamChoices choices_;
};

std::unique_ptr<TCfgProp> BuildNodeProperties(PropertiesWindow* list, const std::string& name,
                                              const std::string& path, QLabel* description);

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

// A page of the children of "\DATABASES" or "\DRIVERS" in list 350.
class TListPanel : public TPanel {
  Q_OBJECT
 public:
  TListPanel(QWidget* parent, int dialogId, std::string root);
  QListWidget* List() const { return list_; }
  QPushButton* NewButton() const { return new_; }
  QPushButton* DeleteButton() const { return delete_; }
  void Refill(bool loaded) override;
  std::string SelectedName() const;
  // Selects the item of that name (ignoring case); false when there is none.
  bool SelectName(const std::string& name);

 protected:
  void Layout() override;
  void SelectionChanged();
  // The selected item, or the first when none is selected; "" for none.
  std::string EnsureSelection();
  QListWidget* list_;
  QPushButton* new_;     // 364
  QPushButton* delete_;  // 370
  std::string root_;
  bool loaded_ = false;
};

// A page of one fixed node.
class TNodePanel : public TPanel {
  Q_OBJECT
 public:
  TNodePanel(QWidget* parent, const char* className, std::string node, int helpContext);
  void Refill(bool loaded) override;
  void ShowHelp() override { ShowFixedPageHelp(helpContext_); }

 private:
  std::string node_;
  int helpContext_;
};

class TSystemPanel : public TNodePanel {
 public:
  explicit TSystemPanel(QWidget* parent) : TNodePanel(parent, "TSystemPanel", "\\SYSTEM\\INIT", 10) {}
};
class TDatePanel : public TNodePanel {
 public:
  explicit TDatePanel(QWidget* parent) : TNodePanel(parent, "TDatePanel", "\\SYSTEM\\FORMATS\\DATE", 11) {}
};
class TTimePanel : public TNodePanel {
 public:
  explicit TTimePanel(QWidget* parent) : TNodePanel(parent, "TTimePanel", "\\SYSTEM\\FORMATS\\TIME", 12) {}
};
class TNumberPanel : public TNodePanel {
 public:
  explicit TNumberPanel(QWidget* parent) : TNodePanel(parent, "TNumberPanel", "\\SYSTEM\\FORMATS\\NUMBER", 13) {}
};

// The tab strip, along the bottom of the client window.
class TTabControl : public QTabBar {
  Q_OBJECT
 public:
  explicit TTabControl(QWidget* parent);
  static constexpr int kHeight = 18;
};

class TCfgNotebook : public QWidget {
  Q_OBJECT
 public:
  explicit TCfgNotebook(QWidget* parent);
  // The tab of string `tabId` (1073 "Drivers" ... 1081 "Number").
  void SelectPage(int tabId);
  void RefreshAll(bool loaded);
  TTabControl* Tabs() const { return tabs_; }
  TPanel* Page(int index) const { return pages_[static_cast<size_t>(index)]; }
  int PageCount() const { return static_cast<int>(pages_.size()); }
  int CurrentIndex() const { return current_; }
  TPanel* CurrentPage() const { return current_ >= 0 ? Page(current_) : nullptr; }
  static const std::vector<int>& TabIds();

 protected:
  void resizeEvent(QResizeEvent*) override;

 private:
  void ShowIndex(int index);
  TTabControl* tabs_;
  std::vector<TPanel*> pages_;
  int current_ = -1;
};

class TClientWnd : public QWidget {
  Q_OBJECT
 public:
  explicit TClientWnd(QWidget* parent = nullptr);
  TCfgNotebook* Notebook() const { return notebook_; }

 protected:
  void resizeEvent(QResizeEvent*) override;
  void focusInEvent(QFocusEvent*) override;

 private:
  TCfgNotebook* notebook_;
};

}  // namespace vtxcfg
